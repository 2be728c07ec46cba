// Template pages as the shopper gets them: the mode line, "{SHOPPER}", item
// tags, line pieces, unparsed pages and pages that cannot be opened.
#include <gtest/gtest.h>

#include "basket_support.h"

namespace {

struct PageCase {
    const char* what;
    std::string file;  // web/page.html
    std::string body;  // what follows "</pre>\n", before the basket table
};

class TemplatePage : public ::testing::Test {
protected:
    TemplatePage() {
        shop.put("web/items.ini", "[100]\nname=Mug\nprice=4.50\nstyle=short\n[200]\nname=Cap\nstyle=short\n");
        shop.put("styles/short.sty", "[%ITEM% %NAME%]");
    }
    Reply show(const std::string& basket = kBasket) const {
        return shop.post(form({{"command", "goto"}, {"where", kPage}, {"basket", basket}}));
    }
    Install shop;
};

TEST_F(TemplatePage, ParsedPagesAreWrittenWithTheirTagsExpanded) {
    const std::string long_line(1500, 'x');
    const std::string piece_line(1023, 'y');
    const PageCase cases[] = {
        {"mode line dropped", "<html>\n<p>Hi</p>\n</html>\n", "<p>Hi</p>\n</html>\n"},
        {"one line only", "<html>\n", ""},
        {"empty file", "", ""},
        {"last line without its end", "<html>\nend", "end\n"},
        {"CR LF line ends", "<html>\r\na\r\nb\r\n", "a\nb\n"},
        {"first {SHOPPER} only", "-\n<a {SHOPPER} {SHOPPER}>\n", "<a basket/t.bsk {SHOPPER}>\n"},
        {"item tag: entry, text after it, no line end", "-\nItem: {ITEM=100}.\nnext\n",
         "Item: [100 Mug]\n.next\n"},
        {"basket name before and after an item tag", "-\n{ITEM=100} for {SHOPPER}\n",
         "[100 Mug]\n for basket/t.bsk"},
        {"only the first item tag", "-\n{ITEM=100}{ITEM=200}\n", "[100 Mug]\n{ITEM=200}"},
        {"unknown item", "-\n{ITEM=999}\n", "No style sheet\n"},
        {"tag without its brace is plain text", "-\na {ITEM=100 b\n", "a {ITEM=100 b\n"},
        {"brace before the tag does not close it", "-\n} {ITEM=100\n", "} {ITEM=100\n"},
        {"long line in pieces of 1023", "-\n" + long_line + "\n",
         long_line.substr(0, 1023) + "\n" + long_line.substr(1023) + "\n"},
        {"line of exactly one piece leaves its break as an empty line", "-\n" + piece_line + "\nz\n",
         piece_line + "\n\nz\n"},
    };
    for (const PageCase& c : cases) {
        shop.put("web/page.html", c.file);
        const Reply r = show();
        EXPECT_EQ(r.out, page_reply(c.body, "basket_table_empty.html")) << c.what;
        EXPECT_EQ(r.status, 1) << c.what;
    }
}

TEST_F(TemplatePage, ItemNotInTheTableShowsEmptyValues) {
    shop.put("styles/.sty", "(%ITEM%|%NAME%|%PRICE%)\n");
    shop.put("web/page.html", "-\n{ITEM=}\n{ITEM= 7 }\n");
    EXPECT_EQ(show().out, page_reply("(||)\n( 7 ||)\n", "basket_table_empty.html"));
}

TEST_F(TemplatePage, EmptyBasketNameRemovesTheTag) {
    shop.put("web/page.html", "-\n[{SHOPPER}]\n");
    const Reply r = shop.post(form({{"command", "goto"}, {"where", kPage}, {"basket", ""}}));
    const std::string start = kHeader + "</pre>\n[]\n<form";
    EXPECT_EQ(r.out.substr(0, start.size()), start);
}

TEST_F(TemplatePage, UnparsedPageIsCopiedWithEmptyLinesAndNoTable) {
    shop.put("web/page.html", "<!--NO PARSE-->\nA {SHOPPER}\n{ITEM=100}\n");
    const Reply r = show();
    EXPECT_EQ(r.out, kHeader + "</pre>\nA {SHOPPER}\n\n{ITEM=100}\n\n");
    EXPECT_EQ(r.status, 1);
}

TEST_F(TemplatePage, PageThatCannotBeOpenedEndsTheReply) {
    const Reply r = shop.post(form({{"command", "goto"}, {"where", "nope.html"}, {"basket", kBasket}}));
    EXPECT_EQ(r.out, kHeader + "Could not open " + shop.path("web/nope.html") + "\n");
    EXPECT_EQ(r.status, 1);
    const Reply no_name = shop.post(form({{"command", "goto"}, {"basket", kBasket}}));
    EXPECT_EQ(no_name.out, kHeader + "Could not open " + shop.path("web/") + "\n");
}

}  // namespace
