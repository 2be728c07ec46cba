// Adding one line: add2basket from the form, add2lookup and GET lookup from
// an item table, and the basket file each leaves.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "basket_support.h"

namespace {

class Adding : public ::testing::Test {
protected:
    Adding() {
        shop.put("web/page.html", "<html>\n");
        shop.put("web/items.ini", "[100]\nNAME=Mug\nPRICE=4.50\nSHIP=1.25\n[200]\nname=Cap\nprice=9\n");
    }
    Reply add2basket(const std::vector<std::pair<std::string, std::string>>& fields) const {
        std::vector<std::pair<std::string, std::string>> all{{"command", "add2basket"}, {"basket", kBasket},
                                                             {"where", kPage}};
        all.insert(all.end(), fields.begin(), fields.end());
        return shop.post(form(all));
    }
    Reply add2lookup(const std::string& item, const std::string& qty, const std::string& table = "items.ini") const {
        return shop.post(form({{"command", "add2lookup"}, {"qty", qty}, {"basket", kBasket}, {"lookup", table},
                               {"item", item}, {"price", "0.01"}, {"where", kPage}}));
    }
    Install shop;
};

TEST_F(Adding, Add2basketStoresTheFormLineAndShowsIt) {
    const Reply r = add2basket({{"qty", " 2"}, {"name", "Cup"}, {"item", "C-1"}, {"price", "3.25"}, {"ship", "0.50"}});
    EXPECT_TRUE(matches_golden(r.out, "basket_table_one_line.html", page_head("")));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(basket_file(shop), "[Basket]\nNumKeys=1\n[1]\nNAME=Cup\nITEM=C-1\nPRICE=3.25\nSHIP=0.50\nQUANTITY=2\n");
}

TEST_F(Adding, Add2basketLeavesOutKeysTheFormLacks) {
    add2basket({{"qty", "1"}, {"name", "Cup"}});
    EXPECT_EQ(basket_file(shop), "[Basket]\nNumKeys=1\n[1]\nNAME=Cup\nQUANTITY=1\n");
}

TEST_F(Adding, NewLineFollowsNumKeysWhateverTheLinesHold) {
    const std::string before = "[Basket]\nNumKeys=3\n[1]\nQUANTITY=0\n[2]\nQUANTITY=1\n[3]\nQUANTITY=0\n";
    shop.put("baskets/" + kBasket, before);
    add2basket({{"qty", "1"}, {"name", "Cup"}});
    EXPECT_EQ(basket_file(shop), "[Basket]\nNumKeys=4\n[1]\nQUANTITY=0\n[2]\nQUANTITY=1\n[3]\nQUANTITY=0\n"
                                 "[4]\nNAME=Cup\nQUANTITY=1\n");
}

TEST_F(Adding, ItemTableGivesNamePriceAndShipping) {
    add2lookup("100", "1.5");
    add2lookup("200", "2");
    add2lookup("100", "1.5");
    EXPECT_EQ(basket_file(shop), "[Basket]\nNumKeys=3\n"
                                 "[1]\nNAME=Mug\nITEM=100\nPRICE=4.50\nSHIP=1.25\nQUANTITY=1.5\n"
                                 "[2]\nNAME=Cap\nITEM=200\nPRICE=9\nSHIP=\nQUANTITY=2\n"
                                 "[3]\nNAME=Mug\nITEM=100\nPRICE=4.50\nSHIP=1.25\nQUANTITY=1.5\n");
}

TEST_F(Adding, UnknownItemOrTableAddsAnEmptyLine) {
    add2lookup("999", "1");
    add2lookup("100", "1", "none.ini");
    EXPECT_EQ(basket_file(shop), "[Basket]\nNumKeys=2\n"
                                 "[1]\nNAME=\nITEM=999\nPRICE=\nSHIP=\nQUANTITY=1\n"
                                 "[2]\nNAME=\nITEM=100\nPRICE=\nSHIP=\nQUANTITY=1\n");
}

TEST_F(Adding, GetLookupAddsFromQueryWords) {
    const Reply r = shop.get_words({"lookup", kPage, kBasket, "100", "items.ini", "3"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(basket_file(shop), "[Basket]\nNumKeys=1\n[1]\nNAME=Mug\nITEM=100\nPRICE=4.50\nSHIP=1.25\nQUANTITY=3\n");
    EXPECT_NE(r.out.find("<td align=right bgcolor=#CEE7E7>13.50</td>"), std::string::npos);
}

TEST_F(Adding, NamesKeepTheirBlanksAmountsLoseThemAndNoneCanBreakTheFile) {
    add2basket({{"qty", "1 "}, {"name", " Tea  "}, {"item", "x\n[Basket]\nNumKeys=99"}, {"price", "1\r\n2"}});
    EXPECT_EQ(basket_file(shop),
              "[Basket]\nNumKeys=1\n[1]\nNAME= Tea  \nITEM=x [Basket] NumKeys=99\nPRICE=1 2\nQUANTITY=1\n");
    add2basket({{"qty", "1"}});
    EXPECT_NE(basket_file(shop).find("NumKeys=2\n"), std::string::npos);
}

TEST_F(Adding, EmptyBasketNameShowsTheEmptyBasketAndWritesNothing) {
    const std::string before = snapshot(shop, "baskets");
    const Reply r = shop.post(form({{"command", "add2basket"}, {"qty", "1"}, {"basket", ""}, {"where", kPage}}));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("<input type=hidden name=basket value=>\n"), std::string::npos);
    EXPECT_NE(r.out.find("$0.00"), std::string::npos);
    shop.get_words({"lookup", kPage, "", "100", "items.ini", "1"});
    EXPECT_EQ(snapshot(shop, "baskets"), before);
    // Only the install's empty test baskets are there.
    EXPECT_EQ(static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n')), 1 + std::size(kTestBaskets));
    EXPECT_EQ(before.find("NumKeys"), std::string::npos);
}

}  // namespace

namespace {

// What a link or a form stores is shown as text on the shop's own pages: the
// script link, and a quantity that passes the quantity rule and is short
// enough to be stored, each alike in the basket table and in the summary of
// both programs. (A longer one, such as 1"><svg onload=alert(2)>.5, is not
// stored at all.)
TEST_F(Adding, StoredValuesAreShownAsText) {
    shop.put("web/confirm.html", "<html>\n");
    const Reply link = shop.get_words({"lookup", kPage, kBasket, "<script>alert(document.domain)</script>", "nosuch.ini", "1"});
    const Reply quantity = add2basket({{"qty", "1\"><svg>.5"}, {"name", "<b>Tea</b>"}, {"item", "'x'"},
                                       {"price", "1&2"}});
    EXPECT_NE(link.out.find(">&lt;script&gt;alert(document.domain)&lt;/script&gt;</td>"), std::string::npos) << link.out;
    EXPECT_NE(quantity.out.find("value=\"1&quot;&gt;&lt;svg&gt;.5\""), std::string::npos) << quantity.out;
    EXPECT_NE(quantity.out.find(">&#39;x&#39;</td><td align=left bgcolor=#CEE7E7>&lt;b&gt;Tea&lt;/b&gt;</td>"
                                "<td align=right bgcolor=#CEE7E7>1&amp;2</td>"),
              std::string::npos);
    for (const char* program : {"tavra", "ship"}) {
        const Reply summary = shop.post(form({{"command", "step4"}, {"basket", kBasket}, {"where", "confirm.html"},
                                              {"agent", "predetermined"}}), program);
        for (const Reply* r : {&link, &quantity, &summary}) {
            EXPECT_EQ(r->out.find("<script>"), std::string::npos) << program;
            EXPECT_EQ(r->out.find("<svg"), std::string::npos) << program;
        }
        EXPECT_NE(summary.out.find(">1&quot;&gt;&lt;svg&gt;.5</td>"), std::string::npos) << program;
    }
    // The basket keeps the values as they came.
    EXPECT_NE(basket_file(shop).find("ITEM=<script>alert(document.domain)</script>\n"), std::string::npos);
}

// Every value a request stores is cut to 259 characters; a basket file
// grows to 1 MiB at most: the add that would pass it is refused whole and the
// basket is left as it was, while one that fits is still made.
TEST_F(Adding, StoredValuesAndBasketsAreBounded) {
    const std::string long_value(100000, 'n');
    add2basket({{"qty", "1"}, {"name", long_value}, {"item", std::string(300, 'i')}, {"price", "1"}});
    EXPECT_EQ(basket_file(shop), "[Basket]\nNumKeys=1\n[1]\nNAME=" + std::string(259, 'n') + "\nITEM=" +
                                     std::string(259, 'i') + "\nPRICE=1\nQUANTITY=1\n");

    const std::string head = "[Basket]\nNumKeys=1\n[1]\nNAME=";
    const std::string near_full = head + std::string(1048576 - 200 - head.size() - 1, 'x') + "\n";
    shop.put("baskets/" + kBasket, near_full);
    const Reply refused = add2basket({{"qty", "1"}, {"name", long_value}, {"price", "1"}});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out.rfind(kHeader, 0), 0u);
    EXPECT_TRUE(basket_file(shop) == near_full) << "a write past 1 MiB was stored";
    add2basket({{"qty", "1"}, {"name", "small"}, {"price", "1"}});
    const std::string grown = basket_file(shop);
    EXPECT_EQ(grown.substr(near_full.size()), "[2]\nNAME=small\nPRICE=1\nQUANTITY=1\n");
    EXPECT_LE(grown.size(), 1048576u);
}

}  // namespace
