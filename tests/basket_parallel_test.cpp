// Shoppers adding to one basket at the same moment: every line is kept whole.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <thread>

#include "basket_support.h"

namespace {

TEST(ParallelAdding, EightAddersOfTwentyFiveLinesLeaveTwoHundredWholeLines) {
    constexpr int kAdders = 8;
    constexpr int kLines = 25;
    Install shop;
    shop.way = Runs::as_processes;
    shop.put("web/page.html", "<html>\n");
    std::string items;
    for (int a = 0; a < kAdders; ++a)
        for (int n = 0; n < kLines; ++n) {
            const std::string tag = std::to_string(a) + "-" + std::to_string(n);
            items += "[" + tag + "]\nNAME=N" + tag + "\nPRICE=1\nSHIP=S" + tag + "\n";
        }
    shop.put("web/items.ini", items);
    // Each adder takes turns with the four adding commands, which all store
    // the same line for the same tag (GET lookup takes the tag as item number).
    auto add = [&shop](int n, const std::string& tag) {
        const std::string name = "N" + tag, item = tag, ship = "S" + tag;
        std::vector<std::pair<std::string, std::string>> fields{{"basket", kBasket}, {"where", kPage}};
        std::vector<std::pair<std::string, std::string>> more;
        switch (n % 4) {
            case 0:
                more = {{"command", "add2basket"}, {"qty", "1"}, {"name", name}, {"item", item}, {"price", "1"},
                        {"ship", ship}};
                break;
            case 1:
                more = {{"command", "add2mod"}, {"modifier", "0"}, {"qty", "1"}, {"name", name}, {"item", item},
                        {"price", "1"}, {"ship", ship}};
                break;
            case 2:
                more = {{"command", "add2check"}, {"numentries", "1"}, {"f1", "1"}, {"f2", item}, {"f3", name},
                        {"f4", "1"}, {"f5", ship}, {"f6", "on"}};
                break;
            default:
                shop.get_words({"lookup", kPage, kBasket, tag, "items.ini", "1"});
                return;
        }
        fields.insert(fields.end(), more.begin(), more.end());
        shop.post(form(fields));
    };
    std::vector<std::thread> adders;
    for (int a = 0; a < kAdders; ++a)
        adders.emplace_back([&add, a] {
            for (int n = 0; n < kLines; ++n) add(n + a, std::to_string(a) + "-" + std::to_string(n));
        });
    for (std::thread& t : adders) t.join();

    // Read the file back: the count, then each section in order.
    std::istringstream file(basket_file(shop));
    std::string line;
    ASSERT_TRUE(std::getline(file, line) && line == "[Basket]");
    ASSERT_TRUE(std::getline(file, line));
    EXPECT_EQ(line, "NumKeys=" + std::to_string(kAdders * kLines));
    std::set<std::string> tags;
    for (int section = 1; section <= kAdders * kLines; ++section) {
        std::string keys[6];
        for (std::string& k : keys) std::getline(file, k);
        ASSERT_EQ(keys[0], "[" + std::to_string(section) + "]");
        const std::string tag = keys[1].substr(keys[1].find('=') + 2);
        EXPECT_EQ(keys[1], "NAME=N" + tag);
        EXPECT_EQ(keys[2], "ITEM=" + tag);
        EXPECT_EQ(keys[3], "PRICE=1");
        EXPECT_EQ(keys[4], "SHIP=S" + tag);
        EXPECT_EQ(keys[5], "QUANTITY=1");
        tags.insert(tag);
    }
    EXPECT_FALSE(std::getline(file, line)) << "more than the counted sections: " << line;
    EXPECT_EQ(tags.size(), static_cast<std::size_t>(kAdders * kLines));
}

}  // namespace
