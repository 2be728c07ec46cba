// add2check (ticked entries of a check list), edit (quantities typed into the
// basket table) and calc.
#include <gtest/gtest.h>

#include <chrono>

#include "basket_support.h"

namespace {

using Fields = std::vector<std::pair<std::string, std::string>>;

class CheckList : public ::testing::Test {
protected:
    CheckList() { shop.put("web/page.html", "<html>\n"); }
    Reply post(const std::string& command, const Fields& fields) const {
        Fields all{{"command", command}, {"basket", kBasket}, {"where", kPage}};
        all.insert(all.end(), fields.begin(), fields.end());
        return shop.post(form(all));
    }
    // Entry k of a check list: quantity, item, name, price, shipping, box.
    static Fields entry(int k, const std::string& qty, const std::string& box, const std::string& tag = "") {
        auto f = [k](int j) { return "f" + std::to_string(6 * k + j); };
        return {{f(1), qty}, {f(2), "I" + tag}, {f(3), "N" + tag}, {f(4), "1.00"}, {f(5), "0"}, {f(6), box}};
    }
    static Fields join(std::initializer_list<Fields> parts) {
        Fields all;
        for (const Fields& p : parts) all.insert(all.end(), p.begin(), p.end());
        return all;
    }
    Install shop;
};

TEST_F(CheckList, AddsTheTickedEntriesWithAQuantity) {
    const Reply r = post("add2check", join({{{"numentries", "6"}}, entry(0, "2", "on", "a"), entry(1, "1", "off", "b"),
                                            entry(2, "0", "on", "c"), entry(3, "abc", "on", "d"),
                                            entry(4, "-1", "on", "e"), entry(5, "", "on", "f")}));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(basket_file(shop), "[Basket]\nNumKeys=1\n"
                                 "[1]\nNAME=Na\nITEM=Ia\nPRICE=1.00\nSHIP=0\nQUANTITY=2\n");
    EXPECT_NE(r.out.find("align=right>$2.00</td></tr>"), std::string::npos);
}

TEST_F(CheckList, CountDecidesWhichEntriesAreLookedAt) {
    struct Case {
        const char* what;
        Fields fields;
        int lines;
    } cases[] = {
        {"count covers one of two", join({{{"numentries", "1"}}, entry(0, "1", "on"), entry(1, "1", "on")}), 1},
        {"third entry absent", join({{{"numentries", "3"}}, entry(0, "1", "on"), entry(1, "1", "on")}), 2},
        {"box among several values", join({{{"numentries", "1"}}, entry(0, "1", "off"), {{"f6", "on"}}}), 1},
        {"count absent", entry(0, "1", "on"), 0},
        {"count zero", join({{{"numentries", "0"}}, entry(0, "1", "on")}), 0},
        {"count negative", join({{{"numentries", "-2"}}, entry(0, "1", "on")}), 0},
        {"count with blanks and text", join({{{"numentries", " 2 entries"}}, entry(1, "1", "on")}), 1},
        {"leading zero names another field", join({{{"numentries", "1"}}, {{"f01", "1"}, {"f06", "on"}}}), 0},
    };
    for (const Case& c : cases) {
        shop.put("baskets/" + kBasket, "");  // empty again
        post("add2check", c.fields);
        if (c.lines == 0) {
            EXPECT_FALSE(basket_exists(shop)) << c.what;
        } else {
            EXPECT_NE(basket_file(shop).find("NumKeys=" + std::to_string(c.lines) + "\n"), std::string::npos)
                << c.what;
        }
    }
}

TEST_F(CheckList, AbsentItemFieldsAreEmptyText) {
    post("add2check", {{"numentries", "1"}, {"f1", "3"}, {"f6", "on"}});
    EXPECT_EQ(basket_file(shop), "[Basket]\nNumKeys=1\n[1]\nNAME=\nITEM=\nPRICE=\nSHIP=\nQUANTITY=3\n");
}

TEST_F(CheckList, HugeCountCostsNothing) {
    const auto start = std::chrono::steady_clock::now();
    post("add2check", join({{{"numentries", "2000000000"}}, entry(0, "1", "on", "a"), entry(199999999, "2", "on", "z")}));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(basket_file(shop), "[Basket]\nNumKeys=2\n"
                                 "[1]\nNAME=Na\nITEM=Ia\nPRICE=1.00\nSHIP=0\nQUANTITY=1\n"
                                 "[2]\nNAME=Nz\nITEM=Iz\nPRICE=1.00\nSHIP=0\nQUANTITY=2\n");
}

const std::string kThreeLines =
    "[Basket]\nNumKeys=3\n"
    "[1]\nNAME=A\nITEM=1\nPRICE=1\nSHIP=0\nQUANTITY=1\n"
    "[2]\nNAME=B\nITEM=2\nPRICE=1\nSHIP=0\nQUANTITY=1\n"
    "[3]\nNAME=C\nITEM=3\nPRICE=1\nSHIP=0\nQUANTITY=1\n";

TEST_F(CheckList, EditStoresTypedQuantitiesAndHidesLinesNotInTheForm) {
    shop.put("baskets/" + kBasket, kThreeLines);
    const Reply r = post("edit", {{"1", "4"}, {"2", "0"}});
    EXPECT_EQ(basket_file(shop), "[Basket]\nNumKeys=3\n"
                                 "[1]\nNAME=A\nITEM=1\nPRICE=1\nSHIP=0\nQUANTITY=4\n"
                                 "[2]\nNAME=B\nITEM=2\nPRICE=1\nSHIP=0\nQUANTITY=0\n"
                                 "[3]\nNAME=C\nITEM=3\nPRICE=1\nSHIP=0\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.rfind(kHeader, 0), 0u);
    EXPECT_EQ(r.out.find("Content-type", kHeader.size()), std::string::npos);
    EXPECT_NE(r.out.find("name=1 value=\"4\""), std::string::npos);
    EXPECT_EQ(r.out.find("name=2 value="), std::string::npos);
    EXPECT_EQ(r.out.find("name=3 value="), std::string::npos);
}

TEST_F(CheckList, EditKeepsQuantitiesThatFailTheRule) {
    shop.put("baskets/" + kBasket, kThreeLines);
    post("edit", {{"1", "two"}, {"2", ""}, {"3", " 5.5"}, {"4", "9"}});
    EXPECT_EQ(basket_file(shop), "[Basket]\nNumKeys=3\n"
                                 "[1]\nNAME=A\nITEM=1\nPRICE=1\nSHIP=0\nQUANTITY=1\n"
                                 "[2]\nNAME=B\nITEM=2\nPRICE=1\nSHIP=0\nQUANTITY=\n"
                                 "[3]\nNAME=C\nITEM=3\nPRICE=1\nSHIP=0\nQUANTITY=5.5\n");
}

TEST_F(CheckList, EditOfAnEmptyBasketShowsItAndMakesNoFile) {
    const Reply r = post("edit", {{"1", "4"}});
    EXPECT_EQ(r.out, page_reply("", "basket_table_empty.html"));
    EXPECT_FALSE(basket_exists(shop));
}

TEST_F(CheckList, EditVisitsOnlyLinesThatCanExist) {
    shop.put("baskets/" + kBasket, "[Basket]\nNumKeys=2000000000\n[2]\nQUANTITY=1\n");
    const auto start = std::chrono::steady_clock::now();
    post("edit", {{"5", "2"}});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(basket_file(shop), "[Basket]\nNumKeys=2000000000\n[2]\n[5]\nQUANTITY=2\n");
}

TEST_F(CheckList, CalcAnswersAlone) {
    shop.put("baskets/" + kBasket, kThreeLines);
    const Reply r = post("calc", {{"1", "0"}});
    EXPECT_EQ(r.out, kHeader + "Called Calculate Command\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(basket_file(shop), kThreeLines);
}

}  // namespace
