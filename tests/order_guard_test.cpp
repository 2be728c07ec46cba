// Orders that cannot go wrong: only plain amounts reach a basket, a basket
// holds a bounded number of lines, and a confirmation makes one order from
// the current summary or records nothing at all.
#include <gtest/gtest.h>

#include "basket_support.h"
#include "fault_support.h"
#include "order_shop.h"

namespace {

using Fields = std::vector<std::pair<std::string, std::string>>;

const std::string kRedirect = kSafetyHeaders + "Location: http://shop.example/thanks.html\n\n";

Reply post_command(const Install& shop, const std::string& command, const std::string& basket, Fields fields) {
    fields.insert(fields.begin(), {{"command", command}, {"basket", basket}, {"where", "page.html"}});
    return shop.post(form(fields));
}

struct AddCase {
    const char* what;
    const char* command;  // "lookup" is the GET command, its quantity in `qty`
    Fields fields;
    bool added;
};

TEST(PlainAmounts, DecideWhetherEachAddingCommandAddsItsLine) {
    const AddCase cases[] = {
        {"quantity 2", "add2basket", {{"qty", "2"}, {"price", "1.50"}}, true},
        {"quantity 1.5", "add2basket", {{"qty", "1.5"}}, true},
        {"quantity with a blank", "add2basket", {{"qty", " 2"}}, true},
        {"quantity with a word", "add2basket", {{"qty", "2 boxes."}}, true},
        {"negative quantity", "add2basket", {{"qty", "-10."}}, false},
        {"quantity with exponent", "add2basket", {{"qty", "1e3."}}, false},
        {"infinite quantity", "add2basket", {{"qty", "1e999."}}, false},
        {"tiny quantity", "add2basket", {{"qty", "1e-9."}}, false},
        {"very long quantity", "add2basket", {{"qty", std::string(400, '9') + "."}}, false},
        {"negative price", "add2basket", {{"qty", "1"}, {"price", "-61.03"}}, false},
        {"price with exponent", "add2basket", {{"qty", "1"}, {"price", "1e2"}}, false},
        {"negative shipping", "add2basket", {{"qty", "1"}, {"ship", "-0.5"}}, false},
        {"price that is no number", "add2basket", {{"qty", "1"}, {"price", "free"}}, true},
        {"table price", "add2lookup", {{"qty", "1"}, {"item", "100"}}, true},
        {"negative table price", "add2lookup", {{"qty", "1"}, {"item", "neg"}}, false},
        {"infinite table shipping", "add2lookup", {{"qty", "1"}, {"item", "inf"}}, false},
        {"negative quantity by link", "lookup", {{"qty", "-1."}, {"item", "100"}}, false},
        {"table price by link", "lookup", {{"qty", "3"}, {"item", "100"}}, true},
        {"options", "add2mod", {{"qty", "1"}, {"price", "5"}, {"modifier", "1"}, {"m1", "Big"}}, true},
        {"negative quantity with options", "add2mod", {{"qty", "-2"}, {"price", "5"}, {"modifier", "0"}}, false},
        {"quantity with exponent with options", "add2mod", {{"qty", "1e1"}, {"modifier", "0"}}, false},
        {"adjusted below zero", "add2mod", {{"qty", "1"}, {"price", "5"}, {"modifier", "1"}, {"m1", "Off"}}, false},
        {"adjusted to infinity", "add2mod", {{"qty", "1"}, {"price", "5"}, {"modifier", "1"}, {"m1", "Huge"}}, false},
        {"posted price without options", "add2mod", {{"qty", "1"}, {"price", "-3"}, {"modifier", "0"}}, false},
    };
    for (const AddCase& c : cases) {
        Install shop;
        shop.put("web/page.html", "<html>\n");
        shop.put("web/items.ini", "[100]\nNAME=Mug\nPRICE=4.50\nSHIP=1\n[neg]\nPRICE=-4.50\n[inf]\nSHIP=1e400\n");
        shop.put("web/mods.ini", "[m1]\nBig=2.50\nOff=-20\nHuge=1e400\n");
        Fields fields = c.fields;
        std::string qty;
        std::string item;
        for (const auto& [name, value] : fields) {
            if (name == "qty") qty = value;
            if (name == "item") item = value;
        }
        Reply r;
        if (std::string(c.command) == "lookup") {
            r = shop.get_words({"lookup", "page.html", kBasket, item, "items.ini", qty});
        } else {
            fields.push_back({"lookup", "items.ini"});
            fields.push_back({"define", "mods.ini"});
            r = post_command(shop, c.command, kBasket, fields);
        }
        EXPECT_EQ(r.status, 1) << c.what;
        EXPECT_EQ(r.out.substr(0, kHeader.size() + 7), kHeader + "</pre>\n") << c.what;
        EXPECT_EQ(basket_exists(shop), c.added) << c.what;
    }
}

TEST(PlainAmounts, CheckListPassesOverEntriesThatAreNotPlain) {
    Install shop;
    shop.put("web/page.html", "<html>\n");
    const struct {
        const char *qty, *price, *ship;
    } entries[] = {
        {"2", "1.00", "0"},  {"-1", "1.00", "0"}, {"1e3.", "1.00", "0"}, {"1", "-1.00", "0"},
        {"1", "1.00", "1e1"}, {"3", "", "free"},
    };
    Fields fields{{"numentries", "6"}};
    int k = 0;
    for (const auto& e : entries) {
        auto f = [k](int j) { return "f" + std::to_string(6 * k + j); };
        fields.insert(fields.end(), {{f(1), e.qty}, {f(2), "I" + std::to_string(k)}, {f(3), "N"}, {f(4), e.price},
                                     {f(5), e.ship}, {f(6), "on"}});
        ++k;
    }
    post_command(shop, "add2check", kBasket, fields);
    EXPECT_EQ(basket_file(shop), "[Basket]\nNumKeys=2\n[1]\nNAME=N\nITEM=I0\nPRICE=1.00\nSHIP=0\nQUANTITY=2\n"
                                 "[2]\nNAME=N\nITEM=I5\nPRICE=\nSHIP=free\nQUANTITY=3\n");
}

TEST(PlainAmounts, EditStoresOnlyZeroOrPlainCounts) {
    const struct {
        const char* typed;
        const char* stored;
    } cases[] = {
        {"3", "3"}, {"0", "0"}, {"", ""}, {"2.5", "2.5"}, {"-10.", "1"}, {"1e3.", "1"}, {"1e-9.", "1"}, {"x", "1"},
    };
    for (const auto& c : cases) {
        Install shop;
        shop.put("web/page.html", "<html>\n");
        shop.put("baskets/" + kBasket, "[Basket]\nNumKeys=1\n[1]\nPRICE=2\nQUANTITY=1\n");
        post_command(shop, "edit", kBasket, {{"1", c.typed}});
        EXPECT_EQ(basket_file(shop), "[Basket]\nNumKeys=1\n[1]\nPRICE=2\nQUANTITY=" + std::string(c.stored) + "\n")
            << '"' << c.typed << '"';
    }
}

TEST(LineCap, AFullBasketTakesNoFurtherLine) {
    const std::string nearly_full = "[Basket]\nNumKeys=9999\n[9999]\nNAME=Last\nPRICE=1\nQUANTITY=1\n";
    Install shop;
    shop.put("web/page.html", "<html>\n");
    shop.put("baskets/" + kBasket, nearly_full);
    Fields entries{{"numentries", "3"}};
    for (int k = 0; k < 3; ++k)
        for (int j = 1; j <= 6; ++j)
            entries.push_back({"f" + std::to_string(6 * k + j), j == 1 ? "1" : j == 6 ? "on" : "C" + std::to_string(k)});
    post_command(shop, "add2check", kBasket, entries);
    const std::string full = basket_file(shop);
    EXPECT_EQ(full, "[Basket]\nNumKeys=10000\n[9999]\nNAME=Last\nPRICE=1\nQUANTITY=1\n"
                    "[10000]\nNAME=C0\nITEM=C0\nPRICE=C0\nSHIP=C0\nQUANTITY=1\n");
    post_command(shop, "add2basket", kBasket, {{"qty", "1"}, {"name", "More"}});
    shop.get_words({"lookup", "page.html", kBasket, "100", "items.ini", "1"});
    post_command(shop, "add2mod", kBasket, {{"qty", "1"}, {"modifier", "0"}});
    EXPECT_EQ(basket_file(shop), full);
}

TEST(LineCap, EveryReaderStopsAtTheSameLine) {
    OrderShop shop;
    shop.put("tavra.cfg", shop.config_with("1000", "tables=on\ncustomer=" + shop.path("customers.csv") + "\norder=" +
                                                       shop.path("orders.csv") + "\nshipment=" +
                                                       shop.path("shipments.csv") + "\n"));
    shop.put("web/page.html", "<html>\n");
    std::string basket = kSampleBasket;
    basket.replace(basket.find("NumKeys=2"), 9, "NumKeys=10001");
    basket.replace(basket.find("[Shipping]"), 0, "[10001]\nNAME=Beyond\nITEM=B\nPRICE=100\nSHIP=1\nQUANTITY=1\n");
    shop.put_basket(kBasketName, basket);
    const Reply table = post_command(shop, "goto", kBasketName, {});
    EXPECT_EQ(table.out.find("Beyond"), std::string::npos);
    EXPECT_NE(table.out.find("$15.00"), std::string::npos);
    const Reply summary = post_command(shop, "step4", kBasketName, {{"agent", "predetermined"}});
    EXPECT_EQ(summary.out.find("Beyond"), std::string::npos);
    EXPECT_NE(summary.out.find("$23.00"), std::string::npos);  // 15.00 + shipping 3.00 + charge 5
    ASSERT_EQ(shop.confirm().out, kRedirect);
    const std::string mail = shop.get("mail/" + shop.mail_files().at(0));
    EXPECT_EQ(mail.find("Beyond"), std::string::npos);
    EXPECT_NE(mail.find("Agreed upon price of :23.00\n"), std::string::npos);
    EXPECT_EQ(read_csv(shop.get("orders.csv")).size(), 10000u);
    EXPECT_EQ(shop.get("orders.csv").find("Beyond"), std::string::npos);
}

// Everything a confirmation may record, to show that a refused one recorded
// nothing.
std::map<std::string, std::string> recorded(const OrderShop& shop) {
    auto files = files_of(shop);
    files.erase("runlog.txt");
    files.erase("errlog.txt");
    return files;
}

std::string with(std::string text, const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
    return text;
}

struct RefusedCase {
    const char* what;
    std::string basket;  // empty: no basket file
    const char* message;
};

TEST(ConfirmRefusal, RecordsNothingAndSaysWhy) {
    const std::string no_items = "Order not confirmed: the basket has no items";
    const std::string out_of_date = "Order not confirmed: the order summary is out of date";
    const std::string not_valid = "Order not confirmed: an amount is not valid";
    const std::string sample = kSampleBasket;
    const RefusedCase cases[] = {
        {"missing basket", "", no_items.c_str()},
        {"new basket", "\n", no_items.c_str()},
        {"lines of quantity 0 only", with(sample, "QUANTITY=2", "QUANTITY=0"), no_items.c_str()},
        {"summary never shown", with(sample, "state=summarised\n", ""), out_of_date.c_str()},
        {"line added after the summary", with(sample, "state=summarised\n", "state=\n"), out_of_date.c_str()},
        {"negative price", with(sample, "PRICE=7.50", "PRICE=-7.50"), not_valid.c_str()},
        {"quantity with exponent", with(sample, "QUANTITY=2", "QUANTITY=2e0"), not_valid.c_str()},
        {"hidden line with infinite shipping", with(sample, "SHIP=0.50", "SHIP=1e999"), not_valid.c_str()},
        {"negative extra charge", with(sample, "a1=5", "a1=-5"), not_valid.c_str()},
        {"negative tax", with(sample, "Tax=1.20", "Tax=-1.20"), not_valid.c_str()},
        {"total not a finite number", with(sample, "Total=26.70", "Total=nan"), not_valid.c_str()},
        {"infinite total", with(sample, "Total=26.70", "Total=inf"), not_valid.c_str()},
        {"total that is no number", with(sample, "Total=26.70", "Total="), not_valid.c_str()},
        {"negative total", with(sample, "Total=26.70", "Total=-61.03"), not_valid.c_str()},
        {"total too long for the payment record", with(sample, "Total=26.70", "Total=102000000.00"),
         not_valid.c_str()},
    };
    for (const RefusedCase& c : cases) {
        SCOPED_TRACE(c.what);
        OrderShop shop("email=on\n");
        if (!c.basket.empty()) shop.put_basket(kBasketName, c.basket);
        const auto before = recorded(shop);
        const Reply r = shop.confirm();
        EXPECT_EQ(r.out, kErrorPage);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(shop.get("errlog.txt").find("\nError Message=" + std::string(c.message) + "\n"), std::string::npos)
            << shop.get("errlog.txt");
        EXPECT_EQ(recorded(shop), before);
        EXPECT_TRUE(shop.mailer_runs().empty());
    }
}

TEST(ConfirmRefusal, MailThatCannotBeWrittenWholeUsesNoInvoiceNumber) {
    SKIP_UNDER_FASTCGI("a file size limit on the process");
    OrderShop shop("email=on\n");
    // Options long enough that the mail outgrows the file size limit that the
    // configuration and the logs stay under.
    std::string options = "numfields=20\n";
    for (int i = 1; i <= 20; ++i) options += "option" + std::to_string(i) + "=" + std::string(200, 'o') + "\n";
    shop.put_basket(kBasketName, with(kSampleBasket, "numfields=2\n", options));
    const auto before = recorded(shop);
    const Reply r = shop.post(form({{"command", "confirm"}, {"basket", kBasketName}}), file_size_limit(2048));
    EXPECT_EQ(r.out, kErrorPage);
    EXPECT_NE(shop.get("errlog.txt").find("Error Message=Order not confirmed: the order mail could not be written\n"),
              std::string::npos);
    EXPECT_EQ(recorded(shop), before);
    EXPECT_TRUE(shop.mailer_runs().empty());
}

TEST(ConfirmOnce, ARepeatedClickAnswersAgainAndRecordsNothing) {
    OrderShop shop("email=on\n");
    shop.put_basket(kBasketName, kSampleBasket);
    ASSERT_EQ(shop.confirm().out, kRedirect);
    const auto after_order = recorded(shop);
    const std::size_t mails_sent = shop.mailer_runs().size();
    EXPECT_EQ(shop.confirm().out, kRedirect);
    EXPECT_EQ(recorded(shop), after_order);
    EXPECT_EQ(shop.mailer_runs().size(), mails_sent);
    EXPECT_FALSE(shop.exists("errlog.txt"));
}

TEST(ConfirmOnce, AChangeAfterTheSummaryWantsANewSummary) {
    OrderShop shop("");
    shop.put("web/page.html", "<html>\n");
    shop.put_basket(kBasketName, kSampleBasket);
    auto step4 = [&] { return post_command(shop, "step4", kBasketName, {{"agent", "predetermined"}}); };
    step4();
    // Ten teapots added after the summary: the old total must not be charged.
    post_command(shop, "add2basket", kBasketName, {{"qty", "10"}, {"name", "Teapot"}, {"price", "20"}, {"ship", "1"}});
    EXPECT_EQ(shop.confirm().out, kErrorPage);
    EXPECT_FALSE(shop.exists("batch/0.imp"));
    step4();
    EXPECT_EQ(shop.confirm().out, kRedirect);
    EXPECT_EQ(shop.get("batch/0.imp"), "411111111111111122,0599,P,233.00\n");
    // Steps 1 to 3 and the edit are changes too; each wants step 4 again.
    for (const char* command : {"step1", "step2", "step3", "edit"}) {
        step4();
        post_command(shop, command, kBasketName, {{"1", "2"}, {"3", "10"}});
        EXPECT_EQ(shop.confirm().out, kErrorPage) << command;
    }
    step4();
    EXPECT_EQ(shop.confirm().out, kRedirect);
    EXPECT_EQ(profile_value(shop, "tavra.cfg", "Program Config", "invnumber"), "1002");
    EXPECT_EQ(profile_value(shop, "batchcfg.ini", "BatchConfig", "Last"), "2");
}

}  // namespace
