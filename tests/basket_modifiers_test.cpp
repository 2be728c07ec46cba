// add2mod: the line name listing the chosen options and the price adjusted
// from the modifier file.
#include <gtest/gtest.h>

#include <chrono>

#include "basket/modifiers.h"
#include "basket_support.h"

namespace {

FormTable table(const std::vector<std::pair<std::string, std::string>>& fields) {
    FormTable t;
    for (const auto& [n, v] : fields) t.add(n, v);
    return t;
}

TEST(ComposedName, ListsTheOptionFieldsInOrder) {
    const FormTable f = table({{"m2", "XL"}, {"m1", "Red"}, {"m1", "Blue"}, {"m3", ""}});
    EXPECT_EQ(composed_name("Shirt", f, 2), "Shirt ( Red, XL ) ");
    EXPECT_EQ(composed_name("Shirt", f, 4), "Shirt ( Red, XL, ,  ) ");
    EXPECT_EQ(composed_name("Shirt", f, 0), "Shirt (  ) ");
    EXPECT_EQ(composed_name("Shirt", f, -5), "Shirt (  ) ");
}

TEST(ComposedName, IsCutAtItsRoomWhateverTheCount) {
    const std::string long_name(300, 'n');
    EXPECT_EQ(composed_name(long_name, table({}), 3), long_name.substr(0, 263));
    const std::string name(250, 'n');
    EXPECT_EQ(composed_name(name, table({{"m1", "A"}}), 2000000000), (name + " ( A, , , , , ,").substr(0, 263));
    EXPECT_EQ(composed_name(name, table({{"m1", "A"}}), 2), name + " ( A,  ) ");
}

class AddWithOptions : public ::testing::Test {
protected:
    AddWithOptions() {
        shop.put("web/page.html", "<html>\n");
        shop.put("web/mods/shirt.ini", "[m1]\nLarge=-1.5\n[M2]\nxl=2.50\nBig=lots\n");
    }
    Reply add(const std::vector<std::pair<std::string, std::string>>& fields) const {
        std::vector<std::pair<std::string, std::string>> all{{"command", "add2mod"}, {"basket", kBasket},
                                                             {"where", kPage},      {"define", "mods/shirt.ini"},
                                                             {"item", "S-1"},       {"ship", "0.5"}};
        all.insert(all.end(), fields.begin(), fields.end());
        return shop.post(form(all));
    }
    std::string only_line() const {
        const std::string file = basket_file(shop);
        const std::string head = "[Basket]\nNumKeys=1\n[1]\n";
        return file.compare(0, head.size(), head) == 0 ? file.substr(head.size()) : "unexpected file: " + file;
    }
    Install shop;
};

TEST_F(AddWithOptions, NameListsOptionsAndPriceCarriesAdjustments) {
    const Reply r = add({{"qty", "1"}, {"name", "Shirt"}, {"price", "10"}, {"modifier", "2"}, {"m1", "Red"},
                         {"m2", "XL"}});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(only_line(), "NAME=Shirt ( Red, XL ) \nITEM=S-1\nPRICE=12.50\nSHIP=0.5\nQUANTITY=1\n");
    EXPECT_NE(r.out.find("<td align=left bgcolor=#CEE7E7>Shirt ( Red, XL ) </td>"), std::string::npos);
}

TEST_F(AddWithOptions, ModifierCountsAndAdjustments) {
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> fields;
        std::string line;
    } cases[] = {
        {"no options: stored as posted",
         {{"qty", "2"}, {"name", "Cap"}, {"price", "10"}, {"modifier", "0"}},
         "NAME=Cap\nITEM=S-1\nPRICE=10\nSHIP=0.5\nQUANTITY=2\n"},
        {"any value \"0\" counts",
         {{"qty", "2"}, {"name", "Cap"}, {"price", "7.5"}, {"modifier", "3"}, {"modifier", "0"}, {"m1", "Large"}},
         "NAME=Cap\nITEM=S-1\nPRICE=7.5\nSHIP=0.5\nQUANTITY=2\n"},
        {"\"00\" is no count", {{"qty", "1"}, {"name", "Cap"}, {"price", "10"}, {"modifier", "00"}},
         "NAME=Cap (  ) \nITEM=S-1\nPRICE=10.00\nSHIP=0.5\nQUANTITY=1\n"},
        {"a word is no count", {{"qty", "1"}, {"name", "Cap"}, {"price", "10"}, {"modifier", "two"}},
         "NAME=Cap (  ) \nITEM=S-1\nPRICE=10.00\nSHIP=0.5\nQUANTITY=1\n"},
        {"negative adjustment", {{"qty", "1"}, {"name", "Tee"}, {"price", "5"}, {"modifier", "1"}, {"m1", "Large"}},
         "NAME=Tee ( Large ) \nITEM=S-1\nPRICE=3.50\nSHIP=0.5\nQUANTITY=1\n"},
        {"an adjustment that is no number adds 0",
         {{"qty", "1"}, {"name", "Tee"}, {"price", "5"}, {"modifier", "2"}, {"m2", "big"}},
         "NAME=Tee ( , big ) \nITEM=S-1\nPRICE=5.00\nSHIP=0.5\nQUANTITY=1\n"},
        {"options beyond the count are not read",
         {{"qty", "1"}, {"name", "Tee"}, {"price", "5"}, {"modifier", "1"}, {"m1", "x"}, {"m2", "XL"}},
         "NAME=Tee ( x ) \nITEM=S-1\nPRICE=5.00\nSHIP=0.5\nQUANTITY=1\n"},
        {"the character rule is not applied", {{"qty", "2x"}, {"name", "Cap"}, {"price", "1"}, {"modifier", "0"}},
         "NAME=Cap\nITEM=S-1\nPRICE=1\nSHIP=0.5\nQUANTITY=2x\n"},
        {"absent fields read as empty text", {{"qty", "1"}},
         "NAME= (  ) \nITEM=S-1\nPRICE=0.00\nSHIP=0.5\nQUANTITY=1\n"},
        {"a price of -0 with an absent option", {{"qty", "1"}, {"price", "-0"}, {"modifier", "1"}},
         "NAME= (  ) \nITEM=S-1\nPRICE=0.00\nSHIP=0.5\nQUANTITY=1\n"},
    };
    for (const Case& c : cases) {
        shop.put("baskets/" + kBasket, "");  // empty again
        add(c.fields);
        EXPECT_EQ(only_line(), c.line) << c.what;
    }
}

TEST_F(AddWithOptions, MissingModifierFileAdjustsByNothing) {
    shop.remove("web/mods");
    add({{"qty", "1"}, {"name", "Shirt"}, {"price", "10"}, {"modifier", "2"}, {"m1", "Large"}, {"m2", "XL"}});
    EXPECT_EQ(only_line(), "NAME=Shirt ( Large, XL ) \nITEM=S-1\nPRICE=10.00\nSHIP=0.5\nQUANTITY=1\n");
}

TEST_F(AddWithOptions, HugeOptionCountCostsNothing) {
    const auto start = std::chrono::steady_clock::now();
    add({{"qty", "1"}, {"name", "Tee"}, {"price", "5"}, {"modifier", "2000000000"}, {"m1", "Large"},
         {"m1999999999", "XL"}});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    // The composed name is stored cut to the 259 characters its readers take.
    std::string name = "Tee ( Large";
    while (name.size() < 259) name += ", ";
    EXPECT_EQ(only_line(), "NAME=" + name.substr(0, 259) + "\nITEM=S-1\nPRICE=3.50\nSHIP=0.5\nQUANTITY=1\n");
}

}  // namespace
