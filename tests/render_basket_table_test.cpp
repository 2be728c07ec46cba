// The basket table under the page: shown lines, hidden lines, subtotals and
// the total, for baskets as the adding commands and hand edits leave them.
#include <gtest/gtest.h>

#include <chrono>

#include "basket_support.h"

namespace {

class BasketTable : public ::testing::Test {
protected:
    BasketTable() { shop.put("web/page.html", "<html>\n"); }
    Reply show() const { return shop.get_words({"goto", kPage, kBasket}); }
    Install shop;
};

TEST_F(BasketTable, MissingOrEmptyBasketIsTheEmptyTable) {
    EXPECT_TRUE(matches_golden(show().out, "basket_table_empty.html", page_head("")));
    shop.put("baskets/" + kBasket, "");
    EXPECT_TRUE(matches_golden(show().out, "basket_table_empty.html", page_head("")));
    shop.put("baskets/" + kBasket, "[Basket]\nNumKeys=0\n[1]\nQUANTITY=1\n");
    EXPECT_TRUE(matches_golden(show().out, "basket_table_empty.html", page_head("")));
}

TEST_F(BasketTable, LinesWithQuantityZeroAreHidden) {
    shop.put("baskets/" + kBasket,
             "[Basket]\nNumKeys=3\n[1]\nNAME=A\nQUANTITY=0\n[2]\nNAME=B\nQUANTITY=\n[3]\nNAME=C\n");
    EXPECT_TRUE(matches_golden(show().out, "basket_table_all_removed.html", page_head("")));
}

TEST_F(BasketTable, ShowsEachLineAsStoredWithItsSubtotal) {
    shop.put("baskets/" + kBasket,
             "[Basket]\nNumKeys=8\n"
             "[1]\nNAME=Cup\nITEM=C-1\nPRICE=3.25\nSHIP=0\nQUANTITY= 2\n"
             "[2]\nNAME=" + std::string(79, 'L') + "cut\nITEM=M-1\nPRICE=4.50\nQUANTITY=3\n"
             "[3]\nNAME=Gone\nITEM=G-3\nPRICE=1\nQUANTITY=abc\n"
             "[4]\nNAME=Pen\nITEM=P-4\nPRICE=0.3333\nQUANTITY=2 pcs\n"
             "[5]\nNAME=Refund\nITEM=R-5\nPRICE=10\nQUANTITY=-1\n"
             "[6]\nname=Pin\nitem=P-6\nprice=0.3333\nquantity=1\n"
             "[8]\nNAME=Odd\nITEM=X-8\nPRICE=abc\nQUANTITY=1\n");
    EXPECT_TRUE(matches_golden(show().out, "basket_table_lines.html", page_head("")));
}

TEST_F(BasketTable, TotalAddsUnroundedSubtotals) {
    shop.put("baskets/" + kBasket,
             "[Basket]\nNumKeys=2\n[1]\nPRICE=0.3333\nQUANTITY=1\n[2]\nPRICE=0.3333\nQUANTITY=1\n");
    const std::string out = show().out;
    const std::string subtotal = "<td align=right bgcolor=#CEE7E7>0.33</td></tr>\n";
    const std::size_t first = out.find(subtotal);
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(out.find(subtotal, first + 1), std::string::npos);
    EXPECT_NE(out.find("</td><td>Total:</td><td bgcolor=80FFFF align=right>$0.67</td></tr>\n"), std::string::npos);
}

TEST_F(BasketTable, HugeLineCountInTheFileCostsNothing) {
    shop.put("baskets/" + kBasket, "[Basket]\nNumKeys=2000000000\n[1]\nNAME=Cup\nITEM=C-1\nPRICE=1\nQUANTITY=2\n");
    const auto start = std::chrono::steady_clock::now();
    const std::string out = show().out;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_NE(out.find("name=1 value=\"2\""), std::string::npos);
    EXPECT_NE(out.find("align=right>$2.00</td>"), std::string::npos);
}

}  // namespace
