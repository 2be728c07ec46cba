// Amounts in baskets: every command stores a quantity, price, shipping value
// or extra charge without the blanks around it and at most 12 characters
// long, and every reader, from the basket table to the payment batch, reads
// the same number from it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <random>

#include "common/numbers.h"
#include "fault_support.h"
#include "order_shop.h"

namespace {

using Fields = std::vector<std::pair<std::string, std::string>>;

const std::string kPad(79, ' ');

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    return text.replace(text.find(from), from.size(), to);
}

// An order shop with a page, an item table and a modifier file.
struct AmountShop : OrderShop {
    explicit AmountShop(const std::string& order_control = "") : OrderShop(order_control) {
        put("web/page.html", "<html>\n");
        put("web/items.ini", "[T-1]\nNAME=Teapot\nPRICE=18.00\nSHIP=2.00\n[T-2]\nNAME=Tin\nPRICE=0.34\nSHIP=0.10\n");
        put("web/mods.ini", "[m1]\nXL=4\nS=0\n");
    }
    Reply send(Fields fields, const std::string& program = "tavra") const {
        fields.insert(fields.begin(), {{"basket", kBasketName}, {"where", "page.html"}});
        return post(form(fields), program);
    }
    std::optional<std::string> value(const std::string& section, const std::string& key) const {
        return profile_value(*this, std::string("baskets/") + kBasketName, section, key);
    }
};

// Every file of the shop but its logs.
std::map<std::string, std::string> recorded(const Install& shop) {
    auto files = files_of(shop);
    for (const char* log : {"errlog.txt", "runlog.txt"}) files.erase(log);
    return files;
}

// One way an amount `a` enters a basket, and where it is stored.
struct Way {
    const char* what;
    std::function<void(const AmountShop&, const std::string& a)> send;
    const char* section;
    const char* key;
};

const Way kWays[] = {
    {"add2basket qty", [](auto& s, auto& a) { s.send({{"command", "add2basket"}, {"qty", a}, {"item", "T-1"}, {"price", "18"}}); }, "1", "QUANTITY"},
    {"add2basket price", [](auto& s, auto& a) { s.send({{"command", "add2basket"}, {"qty", "1"}, {"price", a}}); }, "1", "PRICE"},
    {"add2basket ship", [](auto& s, auto& a) { s.send({{"command", "add2basket"}, {"qty", "1"}, {"ship", a}}); }, "1", "SHIP"},
    {"add2lookup qty", [](auto& s, auto& a) { s.send({{"command", "add2lookup"}, {"qty", a}, {"item", "T-1"}, {"lookup", "items.ini"}}); }, "1", "QUANTITY"},
    {"lookup qty", [](auto& s, auto& a) { s.get_words({"lookup", "page.html", kBasketName, "T-1", "items.ini", a}); }, "1", "QUANTITY"},
    {"add2mod qty", [](auto& s, auto& a) { s.send({{"command", "add2mod"}, {"qty", a}, {"price", "18"}, {"modifier", "1"}, {"define", "mods.ini"}, {"m1", "XL"}}); }, "1", "QUANTITY"},
    {"add2mod price", [](auto& s, auto& a) { s.send({{"command", "add2mod"}, {"qty", "1"}, {"price", a}, {"modifier", "0"}}); }, "1", "PRICE"},
    {"add2check qty", [](auto& s, auto& a) { s.send({{"command", "add2check"}, {"numentries", "1"}, {"f1", a}, {"f4", "18"}, {"f6", "on"}}); }, "1", "QUANTITY"},
    {"add2check ship", [](auto& s, auto& a) { s.send({{"command", "add2check"}, {"numentries", "1"}, {"f1", "1"}, {"f5", a}, {"f6", "on"}}); }, "1", "SHIP"},
    {"edit qty", [](auto& s, auto& a) { s.put_basket(kBasketName, "[Basket]\nNumKeys=1\n[1]\nQUANTITY=1\n"); s.send({{"command", "edit"}, {"1", a}}); }, "1", "QUANTITY"},
    {"step3 charge", [](auto& s, auto& a) { s.send({{"command", "step3"}, {"addcharge", "3"}, {"a1", a}, {"a2", "on"}, {"a3", "Wrap"}, {"option", "1"}, {"option1", "x"}}); }, "Additional", "a1"},
};

TEST(Amounts, EveryCommandStoresThemWithoutBlanksAroundAndAtMostTwelveLong) {
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {" 2 ", "2"}, {kPad + "50", "50"}, {"\t2.5  ", "2.5"}, {"2 boxes.", "2 boxes."},
        {" 123456789012 ", "123456789012"}, {"1234567890123", std::nullopt}, {kPad + "1e2", std::nullopt},
    };
    for (const Way& way : kWays) {
        for (const auto& [amount, stored] : cases) {
            AmountShop shop;
            way.send(shop, amount);
            // A refused amount stores nothing: edit keeps the quantity, step 3 its options too.
            const bool edit = std::string(way.what) == "edit qty";
            EXPECT_EQ(shop.value(way.section, way.key), stored ? stored : edit ? std::optional<std::string>("1") : std::nullopt)
                << way.what << " '" << amount << "'";
            if (!stored && !edit) {
                EXPECT_EQ(shop.value("Optional", "option1"), std::nullopt) << way.what;
            }
        }
    }
}

TEST(Amounts, APaddedAmountStoredBeforeReadsAlikeEverywhereAndIsNotOrdered) {
    AmountShop shop;
    const std::string before = replaced(kSampleBasket, "QUANTITY=2\n", "QUANTITY=" + kPad + "50\n");
    shop.put_basket(kBasketName, before);
    // The summary charges 50 mugs, as the mail and the tables would list them.
    const Reply summary = shop.send({{"command", "step4"}, {"agent", "predetermined"}});
    EXPECT_NE(summary.out.find(">" + kPad + "50</td>"), std::string::npos);
    EXPECT_NE(summary.out.find(">375.00</td>"), std::string::npos);
    EXPECT_NE(summary.out.find("$455.00</td>"), std::string::npos);  // 375 + shipping 75 + charge 5
    const auto files = recorded(shop);
    EXPECT_EQ(shop.confirm().out, kErrorPage);
    EXPECT_NE(shop.get("errlog.txt").find("Order not confirmed: an amount is not valid"), std::string::npos);
    EXPECT_EQ(recorded(shop), files);
}

// Amounts a shopper may type or a page may post: plain ones, padded, long,
// fractional and malformed.
std::string random_amount(std::mt19937& random) {
    static const char* const numbers[] = {"1", "2", "3", "0.5", "0.01", "12.75", "0", "2 boxes.", "1234567890123",
                                          "1e3", "-2", "abc", "2,5", "inf", ""};
    static const std::string pads[] = {"", " ", "\t", "  ", kPad};
    const std::string number = numbers[random() % std::size(numbers)];
    return pads[random() % std::size(pads)] + number + pads[random() % 3];
}

TEST(Amounts, EveryOrderChargesWhatItsSummaryShowedForTheLinesItsMailLists) {
    std::mt19937 random(19);
    int ordered = 0;
    for (int round = 0; round < 48; ++round) {
        const bool pricecheck = round % 2;
        AmountShop shop(std::string("tables=on\ncustomer=customers.csv\norder=orders.csv\nshipment=shipments.csv\n") +
                        (pricecheck ? "pricecheck=on\n" : "") + "[Extra Charges]\nWrap=4.50\n");
        auto amount = [&] { return random_amount(random); };
        const std::string item = random() % 2 ? "T-1" : "T-2";
        for (int request = 0, requests = 2 + static_cast<int>(random() % 5); request < requests; ++request) {
            switch (random() % 7) {
                case 0: shop.send({{"command", "add2basket"}, {"qty", amount()}, {"name", item}, {"item", item}, {"price", amount()}, {"ship", amount()}}); break;
                case 1: shop.send({{"command", "add2lookup"}, {"qty", amount()}, {"item", item}, {"lookup", "items.ini"}}); break;
                case 2: shop.get_words({"lookup", "page.html", kBasketName, item, "items.ini", amount()}); break;
                case 3: shop.send({{"command", "add2mod"}, {"qty", amount()}, {"name", "Teapot"}, {"item", "T-1"}, {"price", amount()}, {"ship", "2"},
                                   {"modifier", "1"}, {"define", "mods.ini"}, {"m1", random() % 2 ? "XL " : "S"}}); break;
                case 4: shop.send({{"command", "add2check"}, {"numentries", "1"}, {"f1", amount()}, {"f2", item}, {"f3", item}, {"f4", amount()}, {"f5", amount()}, {"f6", "on"}}); break;
                case 5: shop.send({{"command", "edit"}, {"1", amount()}, {"2", amount()}}); break;
                case 6: shop.send({{"command", "step3"}, {"addcharge", "6"}, {"a1", amount()}, {"a2", "on"}, {"a3", "Wrap"}, {"a4", amount()}, {"a5", "on"}, {"a6", "Other"}}); break;
            }
        }
        const std::string basket = shop.basket_file(kBasketName);
        if (random() % 8 == 0 && basket.find("QUANTITY=") != std::string::npos)  // as stored before amounts were trimmed
            shop.put_basket(kBasketName, replaced(basket, "QUANTITY=", "QUANTITY=  "));
        const bool taxed = random() % 2;
        const Reply summary = shop.send({{"command", "step4"}, {"agent", "predetermined"}, {"salestax", taxed ? "on" : "off"}},
                                        random() % 2 ? "ship" : "tavra");
        const std::string mark = "Total:</td><td bgcolor=80FFFF align=right>$";
        const std::size_t at = summary.out.rfind(mark) + mark.size();
        const std::string shown = summary.out.substr(at, summary.out.find('<', at) - at);
        const auto files = recorded(shop);
        const Reply confirmed = shop.confirm();
        SCOPED_TRACE("round " + std::to_string(round) + "\n" + shop.basket_file(kBasketName));
        if (confirmed.out == kErrorPage) {  // refused: nothing recorded
            EXPECT_EQ(recorded(shop), files);
            continue;
        }
        ++ordered;
        const std::string sep = "===========================================\n", mail = shop.get("mail/" + shop.mail_files().at(0));
        const std::string batch = shop.get("batch/0.imp");
        EXPECT_EQ(batch.substr(batch.rfind(',') + 1), shown + "\n");
        // The mail lists the order table's lines, whose prices and shipping
        // values, with its charges, make up the total.
        double subtotal = 0, shipping = 0, charges = 0;
        std::string listed = sep;
        for (const auto& row : read_csv(shop.get("orders.csv"))) {
            listed += row[1] + "\t" + row[2] + "\t\t" + row[5] + "\t\n";
            subtotal += read_decimal(row[5]) * read_decimal(row[3]);
            shipping += read_decimal(row[5]) * read_decimal(row[4]);
            EXPECT_TRUE(!pricecheck || row[3] == "18.00" || row[3] == "22.00" || row[3] == "0.34") << row[3];
        }
        EXPECT_NE(mail.find(listed + sep + "Agreed upon price of :" + shown + "\n"), std::string::npos) << mail;
        EXPECT_NE(mail.find("\nTax :" + two_decimals(subtotal * (taxed ? 0.08 : 0)) + "\n"), std::string::npos);
        for (std::size_t line = mail.rfind(sep) + sep.size(); line < mail.size(); line = mail.find('\n', line) + 1)
            charges += read_decimal(mail.substr(mail.find('=', line) + 1));
        EXPECT_NEAR(subtotal * (taxed ? 1.08 : 1) + shipping + charges, read_decimal(shown), 0.0051);
    }
    std::printf("%d of 48 random orders confirmed\n", ordered);
    EXPECT_GE(ordered, 12);
}

}  // namespace
