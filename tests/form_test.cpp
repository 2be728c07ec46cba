#include <gtest/gtest.h>

#include "request/form.h"
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
    EXPECT_TRUE(t->has_value("command", "goto"));
    EXPECT_FALSE(t->has_value("command", "Goto"));
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
