// The merchant's switches: prices from the item table, masked and sealed
// card numbers, exports a spreadsheet cannot run. Off, each leaves replies
// and files as the other tests expect them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "common/base64.h"
#include "common/card_number.h"
#include "order_shop.h"
#include "tool_run.h"

namespace {

const std::string kLine1 = "[Basket]\nNumKeys=1\n[1]\n";

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    return text.replace(text.find(from), from.size(), to);
}

// One adding request per command, each posting item `item` at the price 0.01.
std::vector<std::vector<std::pair<std::string, std::string>>> adding_forms(const std::string& item) {
    const std::vector<std::pair<std::string, std::string>> common{{"basket", "basket/p"}, {"where", "page.html"}};
    auto with = [&](std::vector<std::pair<std::string, std::string>> fields) {
        fields.insert(fields.begin(), common.begin(), common.end());
        return fields;
    };
    return {
        with({{"command", "add2basket"}, {"qty", "1"}, {"name", "Pot"}, {"item", item}, {"price", "0.01"}, {"ship", "0"}}),
        with({{"command", "add2mod"}, {"qty", "1"}, {"name", "Pot"}, {"item", item}, {"price", "0.01"}, {"ship", "0"},
              {"modifier", "0"}}),
        with({{"command", "add2mod"}, {"qty", "1"}, {"name", "Pot"}, {"item", item}, {"price", "0.01"}, {"ship", "0"},
              {"modifier", "1"}, {"define", "mods.ini"}, {"m1", "Big"}}),
        with({{"command", "add2check"}, {"numentries", "1"}, {"f1", "1"}, {"f2", item}, {"f3", "Pot"}, {"f4", "0.01"},
              {"f5", "0"}, {"f6", "on"}}),
    };
}

TEST(PriceCheck, TakesPriceAndShippingFromTheItemTableAndRefusesUnknownItems) {
    // Stored line of each command: as posted when off, priced by the table when on.
    const char* const off[] = {"NAME=Pot\nITEM=T-1\nPRICE=0.01\nSHIP=0\n", "NAME=Pot\nITEM=T-1\nPRICE=0.01\nSHIP=0\n",
                               "NAME=Pot ( Big ) \nITEM=T-1\nPRICE=2.01\nSHIP=0\n",
                               "NAME=Pot\nITEM=T-1\nPRICE=0.01\nSHIP=0\n"};
    const char* const on[] = {"NAME=Teapot\nITEM=T-1\nPRICE=40.00\nSHIP=3.50\n", "NAME=Teapot\nITEM=T-1\nPRICE=40.00\nSHIP=3.50\n",
                              "NAME=Teapot ( Big ) \nITEM=T-1\nPRICE=42.00\nSHIP=3.50\n",
                              "NAME=Teapot\nITEM=T-1\nPRICE=40.00\nSHIP=3.50\n"};
    for (const bool check : {false, true}) {
        for (std::size_t i = 0; i < 4; ++i) {
            Install shop;
            shop.put("tavra.cfg", shop.default_config() + (check ? "[Order Control]\npricecheck=on\n" : ""));
            shop.put("web/page.html", "<html>\n");
            shop.put("web/mods.ini", "[m1]\nBig=2\n");
            shop.put("web/items.ini", "[T-1]\nNAME=Teapot\nPRICE=40.00\nSHIP=3.50\n[T-2]\nNAME=No price\n[T-3]\nPRICE= \n");
            shop.put("baskets/basket/p", "");  // a basket begun before
            shop.post(form(adding_forms("T-1")[i]));
            const std::string stored = shop.get("baskets/basket/p");
            EXPECT_EQ(stored.substr(0, stored.find("QUANTITY")), kLine1 + (check ? on[i] : off[i])) << i;
            // An item without a section, or without a price, adds no line.
            for (const char* unknown : {"T-9", "T-2", "T-3", ""}) {
                if (!check) break;
                shop.post(form(adding_forms(unknown)[i]));
                EXPECT_EQ(shop.get("baskets/basket/p"), stored) << i << unknown;
            }
        }
    }
}

// A shop that checks prices: item 200 is a teapot at 18.00 (4.00 more in
// XL), 302 a filter at 3.60, 400 tea sold by weight, 300 has no price.
struct CheckedShop : OrderShop {
    explicit CheckedShop(const std::string& order_control = "pricecheck=on\n") : OrderShop(order_control) {
        put("web/page.html", "<html>\n");
        put("web/mods.ini", "[m1]\nXL=4.00\nS=0\n");
        put("web/items.ini", "[200]\nNAME=Teapot\nPRICE=18.00\nSHIP=2.00\n[302]\nNAME=Filter\nPRICE=3.60\n"
                             "[300]\nNAME=Cup\nPRICE=\n[400]\nNAME=Tea\nPRICE=8\nFRACTIONS=on\n");
        put("web/ship.ini", "[200]\nSHIPTYPE=quantity\nfirst=5\nremain=1.80\n");
        put("web/cheap.ini", "[200]\nNAME=Teapot\nPRICE=0.01\nSHIPTYPE=percent\npercent=0\n");
    }
    Reply send(std::vector<std::pair<std::string, std::string>> fields, const std::string& program = "tavra") const {
        fields.insert(fields.begin(), {{"basket", kBasketName}, {"where", "page.html"}});
        return post(form(fields), program);
    }
    std::string lines() const {  // the basket's lines, or empty text
        const std::string basket = basket_file(kBasketName);
        return basket.empty() ? basket : basket.substr(basket.find("[1]\n") + 4);
    }
};

TEST(PriceCheck, EveryWayUnderTheMerchantsPriceGivesThatPriceOrNoLine) {
    const std::string teapot = "NAME=Teapot\nITEM=200\nPRICE=18.00\nSHIP=2.00\n";
    const struct {
        const char* what;
        std::vector<std::pair<std::string, std::string>> fields;
        std::string lines;
    } cases[] = {
        {"another table", {{"command", "add2lookup"}, {"lookup", "cheap.ini"}, {"item", "200"}, {"qty", "3"}}, teapot + "QUANTITY=3\n"},
        {"no table", {{"command", "add2lookup"}, {"lookup", ""}, {"item", "200"}, {"qty", "3"}}, teapot + "QUANTITY=3\n"},
        {"empty price", {{"command", "add2lookup"}, {"lookup", "items.ini"}, {"item", "300"}, {"qty", "3"}}, ""},
        {"choice with a blank", {{"command", "add2mod"}, {"qty", "1"}, {"name", "Mug"}, {"item", "200"}, {"price", "1"},
                                 {"modifier", "1"}, {"define", "mods.ini"}, {"m1", " XL "}},
         "NAME=Teapot ( XL ) \nITEM=200\nPRICE=22.00\nSHIP=2.00\nQUANTITY=1\n"},
        {"choice of no option", {{"command", "add2mod"}, {"qty", "1"}, {"item", "200"}, {"modifier", "1"}, {"define", "mods.ini"}, {"m1", "XXL"}}, ""},
        {"choice missing", {{"command", "add2mod"}, {"qty", "1"}, {"item", "200"}, {"modifier", "2"}, {"define", "mods.ini"}, {"m1", "XL"}}, ""},
        {"name from the form", {{"command", "add2basket"}, {"qty", "1"}, {"name", "Teapot"}, {"item", "302"}}, "NAME=Filter\nITEM=302\nPRICE=3.60\nSHIP=\nQUANTITY=1\n"},
        {"fraction", {{"command", "add2basket"}, {"qty", "0.01"}, {"item", "200"}}, ""},
        {"fraction of a check list", {{"command", "add2check"}, {"numentries", "1"}, {"f1", "0.5"}, {"f2", "200"}, {"f6", "on"}}, ""},
        {"fraction sold so", {{"command", "add2lookup"}, {"lookup", "items.ini"}, {"item", "400"}, {"qty", "0.25"}}, "NAME=Tea\nITEM=400\nPRICE=8\nSHIP=\nQUANTITY=0.25\n"},
    };
    for (const auto& c : cases) {
        CheckedShop shop;
        shop.send(c.fields);
        EXPECT_EQ(shop.lines(), c.lines) << c.what;
    }
    CheckedShop shop;
    shop.get_words({"lookup", "page.html", kBasketName, "200", "cheap.ini", "2"});
    EXPECT_EQ(shop.lines(), teapot + "QUANTITY=2\n");
    shop.send({{"command", "edit"}, {"1", "0.01"}});
    EXPECT_EQ(shop.lines(), teapot + "QUANTITY=2\n");
}

TEST(PriceCheck, ChargesShippingTaxAndTotalAreTheMerchants) {
    CheckedShop shop("pricecheck=on\ntaxstates=CA, NV\n[Extra Charges]\nGift wrapping=4.50\n");
    shop.get_words({"lookup", "page.html", kBasketName, "200", "items.ini", "2"});
    shop.send({{"command", "step1"}, {"stpr", " ca"}});
    shop.send({{"command", "step3"}, {"addcharge", "6"}, {"a1", "0.00"}, {"a2", "on"}, {"a3", "Gift wrapping"},
               {"a4", "0"}, {"a5", "on"}, {"a6", "Unknown"}});
    EXPECT_EQ(shop.basket_file(kBasketName).substr(shop.basket_file(kBasketName).find("[Additional]")),
              "[Additional]\nnumfields=6\na1=4.50\na3=Gift wrapping\n");
    // Rules of ship.ini (shiptable), not of the table the form names; tax by
    // the shopper's state, whatever the form asks: 36.00 + 2.88 + 4.50 + 6.80.
    const Reply summary = shop.send({{"command", "step4"}, {"agent", "lookup"}, {"lookup", "cheap.ini"}}, "ship");
    EXPECT_NE(summary.out.find("Tax:</td><td bgcolor=80FFFF align=right>2.88<"), std::string::npos);
    EXPECT_NE(summary.out.find("Shipping:</td><td bgcolor=80FFFF align=right>6.80<"), std::string::npos);
    EXPECT_NE(summary.out.find("$50.18<"), std::string::npos);
    shop.put("tavra.cfg", replaced(shop.get("tavra.cfg"), "shiptable=ship.ini", "shiptable="));
    EXPECT_NE(shop.send({{"command", "step4"}, {"agent", "lookup"}, {"lookup", "ship.ini"}}, "ship").out.find("$43.38<"),
              std::string::npos);  // dbfile has no rule for the teapot
    shop.send({{"command", "step1"}, {"stpr", "OR"}});
    EXPECT_NE(shop.send({{"command", "step4"}, {"agent", "predetermined"}, {"salestax", "on"}}).out.find("$44.50<"),
              std::string::npos);
}

TEST(PriceCheck, ConfirmRefusesATotalOfNothing) {
    for (const bool check : {false, true}) {
        CheckedShop shop(check ? "pricecheck=on\n" : "");
        shop.put_basket(kBasketName, replaced(replaced(kSampleBasket, "Total=26.70", "Total=0.00"), "PRICE=7.50", "PRICE=0"));
        EXPECT_EQ(shop.confirm().out == kErrorPage, check);
        EXPECT_EQ(shop.mail_files().size(), check ? 0u : 1u);
    }
}

TEST(CardNumbers, MaskedShowsTheLastFourAndBase64ReadsBackWhatItWrote) {
    const std::pair<const char*, const char*> masks[] = {
        {"4111111111111111", "************1111"}, {"12345", "*2345"}, {"1234", "****"}, {"1", "****"}, {"", ""}};
    for (const auto& [number, shown] : masks) EXPECT_EQ(masked_card_number(number), shown) << number;
    for (const char* bytes : {"", "a", "ab", "abc", "abcd\xff\x00"}) EXPECT_EQ(base64_decode(base64_encode(bytes)), bytes);
    for (const char* bad : {"abc", "ab=c", "a===", "ab$="}) EXPECT_FALSE(base64_decode(bad)) << bad;
}

std::string tables(const OrderShop& shop) {
    return "tables=on\ncustomer=" + shop.path("customers.csv") + "\norder=" + shop.path("orders.csv") +
           "\nshipment=" + shop.path("shipments.csv") + "\n";
}

TEST(CardNumbers, MaskcardMasksMailAndCustomerTableButNotBatch) {
    OrderShop shop;
    shop.put("tavra.cfg", shop.config_with("1000", tables(shop) + "maskcard=on\n"));
    shop.put_basket(kBasketName, kSampleBasket);
    shop.confirm();
    EXPECT_NE(shop.mailer_runs().at(0).mail.find("\nAna Q Berg\n****************2222\n\n05\n"), std::string::npos);
    EXPECT_EQ(read_csv(shop.get("customers.csv")).at(0).at(14), "****************2222");
    EXPECT_EQ(shop.get("batch/0.imp"), "411111111111111122,0599,P,26.70\n");
    // The basket keeps no card once the order is made.
    EXPECT_EQ(shop.basket_file(kBasketName).find("cnum1="), std::string::npos);
}

// Every file under the shop that holds `text`.
std::vector<std::string> files_holding(const Install& shop, const std::string& text) {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(shop.root())) {
        if (!entry.is_regular_file()) continue;
        std::ifstream f(entry.path(), std::ios::binary);
        if (std::string(std::istreambuf_iterator<char>(f), {}).find(text) != std::string::npos)
            found.push_back(entry.path());
    }
    return found;
}

TEST(CardNumbers, SealedNumbersAreNeverStoredReadableAndOpenWithTheSecretKey) {
    OrderShop shop;
    const std::string keys = shop.path("keys");
    std::filesystem::create_directories(keys + "/shop/cgi-bin");
    shop.put("keys/shop/cgi-bin/tavra.cfg", "[Program Config]\n");
    EXPECT_EQ(tool("keygen " + keys + "/shop --secret " + keys + "/shop/in.secret").status, 1);
    ASSERT_EQ(tool("keygen " + keys + "/shop --secret " + keys + "/k.secret").status, 0);
    EXPECT_EQ(std::filesystem::status(keys + "/k.secret").permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    std::string key = tool("get " + keys + "/shop 'Card Data' sealkey").out;
    key.pop_back();
    ASSERT_EQ(key.size(), 44u);
    EXPECT_EQ(tool("check " + keys + "/shop").out.find("sealkey in [Card Data]"), std::string::npos);
    ASSERT_EQ(tool("set " + keys + "/shop 'Card Data' sealkey " + key.substr(4)).status, 0);
    EXPECT_NE(tool("check " + keys + "/shop").out.find("sealkey in [Card Data]: not the base64"), std::string::npos);
    shop.remove("keys/shop");

    shop.put("tavra.cfg", shop.config_with("1000", tables(shop)) + "[Card Data]\nsealkey=" + key + "\n");
    std::string basket = kSampleBasket;
    basket.replace(basket.find("cnum1=41111111111111112222\n"), 27, "");
    shop.put_basket(kBasketName, basket);
    const std::string number = "4111111111111111", second = "5500000000000004";
    shop.post(form({{"command", "step2"}, {"basket", kBasketName}, {"where", "page.html"}, {"cname", "Ana Q Berg"},
                    {"cnum1", number}, {"cnum2", second}, {"expmo", "05"}, {"expyr", "99"}}));
    // What step 4 would do: the summary is up to date again.
    basket = shop.basket_file(kBasketName);
    basket.replace(basket.find("[Order State]\n"), 14, "[Order State]\nstate=summarised\n");
    shop.put_basket(kBasketName, basket);
    ASSERT_EQ(shop.confirm().out, kSafetyHeaders + "Location: http://shop.example/thanks.html\n\n");

    EXPECT_NE(shop.mailer_runs().at(0).mail.find("\n************1111\n************0004\n"), std::string::npos);
    const auto customer = read_csv(shop.get("customers.csv")).at(0);
    EXPECT_EQ(customer.at(14) + customer.at(15), "************1111************0004");
    EXPECT_EQ(shop.get("batch/0.imp").rfind("sealed:", 0), 0u);
    for (const std::string& clear : {number, second, number.substr(0, 12)})
        EXPECT_EQ(files_holding(shop, clear), std::vector<std::string>{}) << clear;

    const Reply opened = tool("open --secret " + keys + "/k.secret " + shop.path("batch/0.imp"));
    EXPECT_EQ(opened.out, number + ",0599,P,26.70\n");
    EXPECT_EQ(opened.status, 0);
    // The sealed numbers left the basket with the order.
    for (const char* entry : {"\ncnum1=", "\ncnum2=", "mask="})
        EXPECT_EQ(shop.basket_file(kBasketName).find(entry), std::string::npos) << entry;
    // Another key opens nothing: the record is copied as it is and reported.
    shop.put("other.secret", base64_encode(std::string(32, 'x')) + "\n");
    const Reply refused = tool("open --secret " + shop.path("other.secret") + " " + shop.path("batch/0.imp"));
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.out.find(shop.get("batch/0.imp")), std::string::npos);
    EXPECT_NE(refused.out.find(":1: a sealed value does not open"), std::string::npos);
}

TEST(CardNumbers, ASealKeyThatCannotSealStoresNothing) {
    OrderShop shop;
    shop.put("tavra.cfg", shop.default_config() + "[Card Data]\nsealkey=not-a-key\n");
    shop.put_basket(kBasketName, kSampleBasket);
    const Reply r = shop.post(form({{"command", "step2"}, {"basket", kBasketName}, {"where", "page.html"},
                                    {"cnum1", "4111111111111111"}}));
    EXPECT_EQ(r.out, kStepErrorPage);
    EXPECT_EQ(shop.basket_file(kBasketName), kSampleBasket);
}

TEST(SafeCsv, ValuesThatBeginLikeFormulasAreWrittenAsText) {
    std::string basket = kSampleBasket;
    basket.replace(basket.find("fname=Ana"), 9, "fname==HYPERLINK(\"x\")");
    basket.replace(basket.find("NAME=Blue Mug"), 13, "NAME=+1+1");
    basket.replace(basket.find("option1=Gift wrap"), 17, "option1=@SUM(A1)");
    basket.replace(basket.find("a3=Express handling"), 19, "a3=-2,tab\t");
    basket.replace(basket.find("cnum1=41111111111111112222"), 26, "cnum1==cmd|x");
    basket.replace(basket.find("expmo=05"), 8, "expmo=-5");
    for (const bool safe : {false, true}) {
        OrderShop shop;
        shop.put("tavra.cfg", shop.config_with("1000", tables(shop) + (safe ? "safecsv=on\n" : "")));
        shop.put_basket(kBasketName, basket);
        shop.confirm();
        const std::string quote = safe ? "'" : "";
        EXPECT_EQ(read_csv(shop.get("customers.csv")).at(0).at(1), quote + "=HYPERLINK(\"x\")");
        EXPECT_EQ(read_csv(shop.get("orders.csv")).at(0).at(1), quote + "+1+1");
        const auto shipments = read_csv(shop.get("shipments.csv"));
        EXPECT_EQ(shipments.at(0).at(1), quote + "@SUM(A1)");
        EXPECT_EQ(shipments.at(2).at(6), quote + "-2,tab\t");
        EXPECT_EQ(shipments.at(1).at(1), "Leave at \"side\" door");
        // The batch's card number and expiry too; its total is the program's own.
        EXPECT_EQ(shop.get("batch/0.imp"), quote + "=cmd|x," + quote + "-599,P,26.70\n");
    }
}

}  // namespace
