// Names from a request: basket names and file names.
#include <gtest/gtest.h>

#include "request/names.h"

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

TEST(Names, PageNamesAreFileNamesOfPages) {
    const std::pair<std::string, bool> rows[] = {
        {"", true},           {"shop.html", true},      {"pages/step1.htm", true}, {"OLD.HTM", true},
        {"items.ini", false}, {"shop.html.bak", false}, {"shop.html~", false},     {".html", false},
        {"html", false},      {"a/.x.html", false},     {"shop.css", false},       {"../x.html", false},
    };
    for (const auto& [name, ok] : rows) EXPECT_EQ(is_page_name(name), ok) << name;
}
