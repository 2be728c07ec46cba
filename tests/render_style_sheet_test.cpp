// Item entries through their style sheets: the placeholders, their order,
// missing and empty sheets, and values longer than a sheet line.
#include <gtest/gtest.h>

#include "basket_support.h"

namespace {

class StyleSheet : public ::testing::Test {
protected:
    StyleSheet() { shop.put("web/page.html", "-\n<{ITEM=100}>\n"); }

    // The entry of item 100 as the page shows it, between "<" and ">".
    std::string entry(const std::string& item_section, const std::string& sheet) const {
        shop.put("web/items.ini", "[100]\n" + item_section);
        shop.put("styles/s.sty", sheet);
        const std::string out =
            shop.post(form({{"command", "goto"}, {"where", kPage}, {"basket", kBasket}})).out;
        const std::string before = kHeader + "</pre>\n<";
        const std::string after = ">" + golden("basket_table_empty.html");
        if (out.compare(0, before.size(), before) != 0 || out.size() < before.size() + after.size() ||
            out.compare(out.size() - after.size(), after.size(), after) != 0)
            return "unexpected reply: " + out;
        return out.substr(before.size(), out.size() - before.size() - after.size());
    }
    Install shop;
};

TEST_F(StyleSheet, FillsEachPlaceholderOnce) {
    const std::string item = "name=Mug\nprice=4.50\nship=1.00\ndesc=Big mug\npicture=mug.gif\nstyle=s\n";
    EXPECT_EQ(entry(item, "%CGIURL%|%WHERE%|%BASKET%|%ITEM%|%NAME%|%PRICE%|%SHIP%|%DESC%|%PICTURE%\n"),
              "tavra.exe|page.html|basket/t.bsk|100|Mug|4.50|1.00|Big mug|mug.gif\n");
    EXPECT_EQ(entry(item, "%NAME% and %NAME%\n"), "Mug and %NAME%\n");
    EXPECT_EQ(entry(item, "a\n\nb"), "a\n\nb\n");
    EXPECT_EQ(entry(item, "a\r\nb\r\n"), "a\nb\n");
    EXPECT_EQ(entry(item, ""), "");
    EXPECT_EQ(entry("style=s\n", "<%NAME%>%PRICE%\n"), "<>\n");
}

TEST_F(StyleSheet, ValuesAreFilledInTableOrderOnTheChangedLine) {
    // The name brings a later placeholder with it, which is filled in turn;
    // an earlier one that a value brings stays as it is.
    EXPECT_EQ(entry("name=Cup %PRICE%\nprice=2.00\nstyle=s\n", "%NAME% at %PRICE%\n"), "Cup 2.00 at %PRICE%\n");
    EXPECT_EQ(entry("name=A\ndesc=see %NAME%\nstyle=s\n", "%DESC%\n"), "see %NAME%\n");
}

TEST_F(StyleSheet, MissingSheetAndItemWithoutStyle) {
    EXPECT_EQ(entry("name=Mug\nstyle=other\n", "x\n"), "No style sheet\n");
    EXPECT_EQ(entry("name=Mug\n", "x\n"), "No style sheet\n");
    shop.put("styles/.sty", "plain %NAME%\n");
    EXPECT_EQ(entry("name=Mug\n", "x\n"), "plain Mug\n");
}

TEST_F(StyleSheet, LongValuesAndLinesAreKeptWholeUpToTheirRoom) {
    const std::string desc(3000, 'd');
    const std::string name(300, 'n');
    const std::string sheet_line(400, 's');
    EXPECT_EQ(entry("desc=" + desc + "\nname=" + name + "\nstyle=s\n", sheet_line + "%DESC%|%NAME%\n"),
              sheet_line + desc.substr(0, 2047) + "|" + name.substr(0, 259) + "\n");
}

TEST_F(StyleSheet, ItemKeysMatchWithoutRegardToCase) {
    EXPECT_EQ(entry("NAME=Mug\nStyle=s\n", "%NAME%\n"), "Mug\n");
}

}  // namespace
