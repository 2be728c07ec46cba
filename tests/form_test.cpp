#include <gtest/gtest.h>

#include "request/form.h"
#include "request/names.h"
#include "request/request.h"

TEST(UrlDecode, DecodesEscapesAndPlus) {
    const std::pair<std::string, std::string> rows[] = {
        {"%41", "A"},  {"%2B", "+"},   {"%2b", "+"}, {"a+b", "a b"},  {"%4g", " "},   {"%zz", " "},
        {"%3D%26", "=&"}, {"50%", "50%"}, {"5%4", "5%4"}, {"%", "%"}, {"a%00b", "a"}, {"%C3%A9", "\xC3\xA9"},
    };
    for (const auto& [in, want] : rows) EXPECT_EQ(url_decode(in), want) << in;
}

TEST(FormTable, SplitsFieldsInBodyOrderKeepingDuplicates) {
    auto t = FormTable::decode("command=edit&command=goto&where=&x=%3D%26");
    ASSERT_TRUE(t);
    EXPECT_EQ(t->size(), 4u);
    EXPECT_EQ(t->lookup("command"), "edit");
    EXPECT_EQ(t->collect("command"), (std::vector<std::string>{"edit", "goto"}));
    EXPECT_TRUE(t->test("command", "goto"));
    EXPECT_FALSE(t->test("command", "Goto"));
    EXPECT_EQ(t->lookup("where"), "");
    EXPECT_EQ(t->lookup("x"), "=&");
    EXPECT_FALSE(t->lookup("absent"));
    EXPECT_EQ(t->text("absent"), "");
}

TEST(FormTable, EmptyBodyGivesEmptyTable) {
    auto t = FormTable::decode("");
    ASSERT_TRUE(t);
    EXPECT_EQ(t->size(), 0u);
}

TEST(FormTable, RejectsMalformedBodies) {
    for (const char* body : {"=a", "a=1&&b=2", "&a=1", "a=1&", "a=b=c", "word", "&", "a=1&=2"})
        EXPECT_FALSE(FormTable::decode(body)) << body;
}

TEST(FormTable, NameEndsAtDecodedZeroByte) {
    auto t = FormTable::decode("ab%00cd=1");
    ASSERT_TRUE(t);
    EXPECT_EQ(t->lookup("ab"), "1");
}

TEST(IndexedQuery, SplitsAtPlusAndDecodesOnce) {
    EXPECT_EQ(indexed_query_words("goto+page.html+basket%2F1.2.bsk"),
              (std::vector<std::string>{"goto", "page.html", "basket/1.2.bsk"}));
    EXPECT_EQ(indexed_query_words("a%2Bb+%252F"), (std::vector<std::string>{"a+b", "%2F"}));
    EXPECT_EQ(indexed_query_words("info"), (std::vector<std::string>{"info"}));
    EXPECT_TRUE(indexed_query_words("").empty());
    EXPECT_TRUE(indexed_query_words("command=goto").empty());
    EXPECT_EQ(indexed_query_words("a++b"), (std::vector<std::string>{"a", "", "b"}));
}

TEST(Names, BasketNamesMustHaveTheGeneratedForm) {
    const std::pair<std::string, bool> rows[] = {
        {"", true},
        {"basket/123.456.bsk", true},
        {"basket/-5.300.bsk", true},
        {"basket/" + std::string(200, 'a'), true},
        {"basket/" + std::string(201, 'a'), false},
        {"basket/", false},
        {"basket/.hidden", false},
        {"basket/../tavra.cfg", false},
        {"basket/a/b", false},
        {"Basket/1.bsk", false},
        {"1.bsk", false},
        {"/etc/passwd", false},
        {"basket/a b", false},
        {"basket/a\nb", false},
        {"basket/a%2e", false},
    };
    for (const auto& [name, ok] : rows) EXPECT_EQ(is_basket_name(name), ok) << name;
}

TEST(Names, FileNamesAreRelativePathsOfPlainSegments) {
    const std::pair<std::string, bool> rows[] = {
        {"", true},           {"index.html", true},   {"pages/step1.html", true}, {"a.b/c.html", true},
        {"a/../b", false},    {"../tavra.cfg", false}, {"./a", false},             {"/etc/passwd", false},
        {"a//b", false},      {"a/", false},           {"a\\b", false},            {"a b.html", false},
        {"x.html><script", false}, {".hidden", false},      {".git/config", false},     {"a/.htaccess", false},
        {".x.html", false},
    };
    for (const auto& [name, ok] : rows) EXPECT_EQ(is_file_name(name), ok) << name;
    EXPECT_EQ(refused_name_message("a\r\nb\x1b"), "Refused name a\\x0D\\x0Ab\\x1B");
}
