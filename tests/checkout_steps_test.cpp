// Checkout steps 1 to 4 of tavra, run as CGI requests: what each leaves in
// the basket file and what step 4 answers.
#include <gtest/gtest.h>

#include <chrono>

#include "harness.h"

namespace {

const char* const kBasket = "basket/100.350.bsk";
const char* const kBasketFile = "baskets/basket/100.350.bsk";

class CheckoutSteps : public ::testing::Test {
protected:
    Install shop;

    // The reply without the checkout cookie of step 1.
    Reply step(const std::string& command, std::vector<std::pair<std::string, std::string>> fields) {
        fields.insert(fields.begin(), {{"command", command}, {"basket", kBasket}, {"where", "next.html"}});
        Reply r = shop.post(form(fields));
        r.out = without_checkout_cookie(r.out);
        return r;
    }
    // The basket file without its checkout key.
    std::string basket() const { return without_checkout_key(shop.get(kBasketFile)); }
};

TEST_F(CheckoutSteps, EachStepAnswersWithThePageAndTheBasketTable) {
    // The basket and page of the golden basket table.
    const std::string cup = "[Basket]\nNumKeys=1\n[1]\nNAME=Cup\nITEM=C-1\nPRICE=3.25\nSHIP=0.50\nQUANTITY=2\n";
    shop.put("web/page.html", "<html>\nNext for {SHOPPER}\n");
    const std::pair<const char*, const char*> rows[] = {
        {"step1",
         "[Shipping]\nfname=Ana\nminitial=\nlname=\naddr1=\naddr2=\ncity=\nstpr=\ncountry=\nzip=\n"
         "dphone=\nfphone=\nemail=\n"},
        {"step2", "[Shipping]\npaytype=\ncname=\ncnum1=\ncnum2=\nexpmo=\nexpyr=\n"},
        {"step3", "[Optional]\nnumfields=1\noption1=\n"},
    };
    for (const auto& [command, stored] : rows) {
        shop.put("baskets/basket/t.bsk", cup);
        std::vector<std::pair<std::string, std::string>> fields{{"command", command},
                                                                {"basket", "basket/t.bsk"},
                                                                {"where", "page.html"},
                                                                {"fname", "Ana"},
                                                                {"option", "1"}};
        for (const char* key : {"minitial", "lname", "addr1", "addr2", "city", "stpr", "country", "zip", "dphone",
                                "fphone", "email", "paytype", "cname", "cnum1", "cnum2", "expmo", "expyr", "option1"})
            fields.emplace_back(key, "");
        Reply r = shop.post(form(fields));
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(without_checkout_cookie(r.out),
                  kStepHeader + "</pre>\nNext for basket/t.bsk\n" + golden("basket_table_one_line.html"))
            << command;
        EXPECT_EQ(without_checkout_key(shop.get("baskets/basket/t.bsk")), cup + stored) << command;
    }
}

TEST_F(CheckoutSteps, Step1StoresTheAddressAndAbsentFieldsRemoveTheirKeys) {
    shop.put(kBasketFile, "[Basket]\nNumKeys=0\n[Shipping]\naddr2=old\nfphone=old\npaytype=Visa\n");
    Reply r = step("step1", {{"fname", "Ana"},
                             {"minitial", ""},
                             {"lname", "Berg"},
                             {"addr1", "1 Main St"},
                             {"city", "Oslo"},
                             {"stpr", "OS"},
                             {"country", "NO"},
                             {"zip", "0150"},
                             {"dphone", "555"},
                             {"email", "ana@example.org"},
                             {"fname", "second"}});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.substr(0, kStepHeader.size()), kStepHeader);
    // addr2 and fphone came without a field; paytype is not step 1's.
    EXPECT_EQ(basket(),
              "[Basket]\nNumKeys=0\n[Shipping]\npaytype=Visa\nfname=Ana\nminitial=\nlname=Berg\naddr1=1 Main St\n"
              "city=Oslo\nstpr=OS\ncountry=NO\nzip=0150\ndphone=555\nemail=ana@example.org\n");
}

TEST_F(CheckoutSteps, Step2StoresThePaymentData) {
    Reply r = step("step2", {{"paytype", "Visa"},
                             {"cname", "A Berg"},
                             {"cnum1", "4111 1111"},
                             {"cnum2", ""},
                             {"expmo", "07"},
                             {"expyr", "29"}});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(basket(), "[Shipping]\npaytype=Visa\ncname=A Berg\ncnum1=4111 1111\ncnum2=\nexpmo=07\nexpyr=29\n");
}

TEST_F(CheckoutSteps, Step3Options) {
    const std::string before = "[Optional]\nnumfields=2\noption1=old1\noption2=old2\nOPTION9=keep\n";
    struct Row {
        std::vector<std::pair<std::string, std::string>> fields;
        std::string want;
    } rows[] = {
        // Numbered fields up to the count; an absent one removes its key.
        {{{"option", "3"}, {"option1", "gift wrap"}, {"option3", "card"}, {"option4", "beyond"}},
         "[Optional]\nnumfields=3\noption1=gift wrap\nOPTION9=keep\noption3=card\n"},
        // The count is stored as it came, letter and all.
        {{{"option", "2x"}, {"option2", "b"}}, "[Optional]\nnumfields=2x\noption2=b\nOPTION9=keep\n"},
        {{{"option", "9"}}, "[Optional]\nnumfields=9\n"},
        {{}, before},
        {{{"option", ""}, {"option1", "x"}}, before},
        {{{"option", "0"}, {"option1", "x"}}, before},
        {{{"option", "-2"}, {"option1", "x"}}, before},
    };
    for (const Row& row : rows) {
        shop.put(kBasketFile, before);
        EXPECT_EQ(step("step3", row.fields).status, 1);
        EXPECT_EQ(basket(), row.want) << form(row.fields);
    }
}

TEST_F(CheckoutSteps, Step3StoresOnlyTickedCharges) {
    const std::string before = "[Additional]\nnumfields=3\na1=9.00\na3=earlier\n";
    struct Row {
        std::vector<std::pair<std::string, std::string>> fields;
        std::string want;
    } rows[] = {
        // The first charge is not ticked this time: its earlier entries stay.
        {{{"addcharge", "6"}, {"a1", "2.50"}, {"a3", "wrap"}, {"a4", "4"}, {"a5", "on"}, {"a6", "express"}},
         "[Additional]\nnumfields=6\na1=9.00\na3=earlier\na4=4\na6=express\n"},
        {{{"addcharge", "6"}, {"a1", "2.50"}, {"a2", "on"}, {"a3", "wrap"}},
         "[Additional]\nnumfields=6\na1=2.50\na3=wrap\n"},
        // The charge at the count itself is examined; its absent fields remove keys.
        {{{"addcharge", "7"}, {"a8", "on"}}, "[Additional]\nnumfields=7\na1=9.00\na3=earlier\n"},
        {{{"addcharge", "7"}, {"a7", "1"}, {"a8", "on"}, {"a9", "late"}},
         "[Additional]\nnumfields=7\na1=9.00\na3=earlier\na7=1\na9=late\n"},
        // Any field of the box's name may say "on"; other words and cases do not count.
        {{{"addcharge", "3"}, {"a1", "5"}, {"a2", "x"}, {"a2", "on"}, {"a3", "d"}},
         "[Additional]\nnumfields=3\na1=5\na3=d\n"},
        {{{"addcharge", "3"}, {"a1", "5"}, {"a2", "ON"}, {"a3", "d"}},
         "[Additional]\nnumfields=3\na1=9.00\na3=earlier\n"},
        {{{"addcharge", "0"}, {"a1", "5"}, {"a2", "on"}}, before},
        {{{"a1", "5"}, {"a2", "on"}}, before},
    };
    for (const Row& row : rows) {
        shop.put(kBasketFile, before);
        EXPECT_EQ(step("step3", row.fields).status, 1);
        EXPECT_EQ(basket(), row.want) << form(row.fields);
    }
}

TEST_F(CheckoutSteps, Step3StoresOptionsBeforeCharges) {
    step("step3", {{"addcharge", "3"}, {"a1", "1"}, {"a2", "on"}, {"a3", "d"}, {"option", "1"}, {"option1", "o"}});
    EXPECT_EQ(basket(), "[Optional]\nnumfields=1\noption1=o\n[Additional]\nnumfields=3\na1=1\na3=d\n");
}

// Step 3 stores at most 100 options and 100 extra charges (three fields
// each); a form that asks for more is refused whole, however large its count.
TEST_F(CheckoutSteps, MoreThanAHundredOptionsOrChargesAreRefused) {
    const std::string stored = "[Optional]\noption3=old\n";
    const struct {
        const char* option;
        const char* addcharge;
        bool refused;
    } cases[] = {
        {"100", "300", false}, {"101", "0", true},           {"0", "301", true},
        {"2147483647", "0", true}, {"0", "99999999999", true}, {" 101 options", "", true},
    };
    for (const auto& c : cases) {
        shop.put(kBasketFile, stored);
        shop.remove("errlog.txt");
        Reply r = step("step3", {{"option", c.option}, {"option1", "a"}, {"option100", "b"}, {"option101", "c"},
                                 {"addcharge", c.addcharge}, {"a298", "9"}, {"a299", "on"}, {"a300", "last"},
                                 {"a301", "1"}, {"a302", "on"}, {"a303", "beyond"}});
        EXPECT_EQ(r.status, 1);
        if (c.refused) {
            EXPECT_EQ(r.out, kStepErrorPage) << c.option << " " << c.addcharge;
            EXPECT_EQ(basket(), stored);
            EXPECT_NE(shop.get("errlog.txt").find("Error Message=Too many options or charges\n"), std::string::npos);
        } else {
            EXPECT_EQ(basket(), "[Optional]\nnumfields=100\noption1=a\noption100=b\n"
                                "[Additional]\nnumfields=300\na298=9\na300=last\n");
        }
    }
}

TEST_F(CheckoutSteps, RefusedNamesWriteNothing) {
    for (const auto& [basket_name, page] : std::vector<std::pair<std::string, std::string>>{
             {"basket/../../tavra.cfg", "next.html"}, {"/tmp/x.bsk", "next.html"}, {kBasket, "../tavra.cfg"}}) {
        for (const char* command : {"step1", "step2", "step3", "step4"}) {
            Reply r = shop.post(form({{"command", command},
                                      {"basket", basket_name},
                                      {"where", page},
                                      {"fname", "x"},
                                      {"option", "1"},
                                      {"option1", "x"},
                                      {"agent", "predetermined"}}));
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.out, kStepErrorPage) << command;
            EXPECT_NE(shop.get("errlog.txt").find("Refused name "), std::string::npos);
        }
    }
    EXPECT_EQ(basket(), "");
    EXPECT_EQ(shop.get("tavra.cfg"), shop.default_config());
}

// A basket with two lines, a removed line, the shopper's details and two
// extra charges, one of them without a description.
const char* const kFullBasket =
    "[Basket]\nNumKeys=3\n"
    "[1]\nNAME=Blue Mug\nITEM=100\nPRICE=40.00\nSHIP=1.50\nQUANTITY=2\n"
    "[2]\nNAME=Teapot\nITEM=200\nPRICE=20\nSHIP=2.00\nQUANTITY=1\n"
    "[3]\nNAME=Removed\nITEM=300\nPRICE=99\nSHIP=7\nQUANTITY=0\n"
    "[Shipping]\nfname=Ana\nminitial=Q\nlname=Berg\naddr1=1 Main St\naddr2=Flat 2\ncity=Oslo\nstpr=OS\n"
    "country=NO\nzip=0150\ndphone=555-1\nfphone=555-2\nemail=ana@example.org\npaytype=Visa\ncnum1=4111\n"
    "[Additional]\nnumfields=6\na1=5\na3=Gift wrap\na4=2.25\n";

const char* const kStep4Page = "<html>\n<h1>Check {SHOPPER} {SHOPPER}</h1>\r\n{ITEM=100} stays\n</html>\n";

TEST_F(CheckoutSteps, Step4ShowsTheSummaryAndStoresTheTotals) {
    shop.put(kBasketFile, kFullBasket);
    shop.put("web/confirm.html", kStep4Page);
    Reply r = shop.post(form({{"command", "step4"},
                              {"basket", kBasket},
                              {"where", "confirm.html"},
                              {"agent", "predetermined"},
                              {"salestax", "on"}}));
    EXPECT_EQ(r.status, 1);
    // Shipping 2 x 1.50 + 1 x 2.00 (the removed line ships 7 x 0); items
    // 100.00, tax 8.00 at 0.08; charges 5 + 2.25.
    EXPECT_TRUE(matches_golden(r.out, "step4_predetermined_with_tax.html"));
    std::string want = kFullBasket;
    want.replace(want.find("cnum1=4111\n"), 11, "cnum1=4111\ncarrier=predetermined\n");
    EXPECT_EQ(basket(), want + "[Total]\nTax=8.00\nTotal=120.25\n[Order State]\nstate=summarised\n");
}

TEST_F(CheckoutSteps, Step4ShowsWhatTheShopperTypedAsTextInBothPrograms) {
    const std::string markup = "<script>x('&\"')</script>";
    const std::string shown = "&lt;script&gt;x(&#39;&amp;&quot;&#39;)&lt;/script&gt;";
    shop.put("web/next.html", "<html>\n");
    shop.put("web/confirm.html", "<html>\n");
    // An item name with markup is shown as text too.
    shop.put(kBasketFile, "[Basket]\nNumKeys=1\n[1]\nNAME=<b>Mug</b>\nITEM=1\nPRICE=2\nSHIP=0\nQUANTITY=1\n");
    step("step1", {{"fname", markup}, {"email", markup}});
    step("step2", {{"paytype", markup}});
    step("step3", {{"addcharge", "3"}, {"a1", "1<2"}, {"a2", "on"}, {"a3", markup}});
    const std::string stored = basket();
    for (const char* program : {"tavra", "ship"}) {
        const Reply r = shop.post(form({{"command", "step4"}, {"basket", kBasket}, {"where", "confirm.html"},
                                        {"agent", "predetermined"}}),
                                  program);
        EXPECT_EQ(r.out.find("<script>"), std::string::npos) << program;
        std::size_t count = 0;
        for (std::size_t at = 0; (at = r.out.find(shown, at)) != std::string::npos; at += shown.size()) ++count;
        EXPECT_EQ(count, 4u) << program << ": " << r.out;  // first name, e-mail, payment type, charge
        EXPECT_NE(r.out.find(">1&lt;2</td>"), std::string::npos) << program;
        EXPECT_NE(r.out.find(">&lt;b&gt;Mug&lt;/b&gt;</td>"), std::string::npos) << program;
    }
    // The basket keeps the values as they came.
    EXPECT_NE(stored.find("fname=" + markup + "\n"), std::string::npos);
}

TEST_F(CheckoutSteps, Step4AgentsAndTax) {
    shop.put("web/confirm.html", "<html>\n");
    struct Row {
        std::vector<std::pair<std::string, std::string>> fields;
        const char* shipping_row;
        const char* tax_row;
        const char* total;
        bool carrier;
    } rows[] = {
        {{{"agent", "predetermined"}}, "5.00", "0.00", "112.25", true},
        {{{"agent", "lookup"}, {"salestax", "on"}}, "0.00", "8.00", "115.25", false},
        {{{"salestax", "ON"}}, "0.00", "0.00", "107.25", false},
        {{{"agent", "other"}, {"agent", "predetermined"}, {"salestax", "x"}, {"salestax", "on"}},
         "5.00",
         "8.00",
         "120.25",
         true},
    };
    for (const Row& row : rows) {
        shop.put(kBasketFile, kFullBasket);
        auto fields = row.fields;
        fields.insert(fields.begin(), {{"command", "step4"}, {"basket", kBasket}, {"where", "confirm.html"}});
        Reply r = shop.post(form(fields));
        const std::string label = form(fields);
        EXPECT_NE(r.out.find(std::string("<td>Shipping:</td><td bgcolor=80FFFF align=right>") + row.shipping_row),
                  std::string::npos)
            << label;
        EXPECT_NE(r.out.find(std::string("<td>Tax:</td><td bgcolor=80FFFF align=right>") + row.tax_row),
                  std::string::npos)
            << label;
        EXPECT_NE(basket().find(std::string("\nTotal=") + row.total + "\n"), std::string::npos) << label;
        // The carrier is the first value of `agent`, stored only for "predetermined".
        const std::string stored = basket();
        EXPECT_EQ(stored.find("carrier="),
                  row.carrier ? stored.find("carrier=" + row.fields[0].second) : std::string::npos)
            << label;
    }
}

TEST_F(CheckoutSteps, Step4EmptyBasketStoresNoTotals) {
    shop.put("web/confirm.html", "<html>\nHi {SHOPPER}\n");
    Reply r = shop.post(
        form({{"command", "step4"}, {"basket", kBasket}, {"where", "confirm.html"}, {"agent", "predetermined"}}));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(matches_golden(r.out, "step4_empty_basket.html"));
    EXPECT_EQ(basket(), "[Shipping]\ncarrier=predetermined\n");
}

TEST_F(CheckoutSteps, Step4PageThatEndsTheRunLeavesNoTotals) {
    shop.put(kBasketFile, kFullBasket);
    shop.put("web/plain.html", "<!--NO PARSE-->\n{SHOPPER}\n");
    Reply r = shop.post(
        form({{"command", "step4"}, {"basket", kBasket}, {"where", "plain.html"}, {"agent", "predetermined"}}));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, kStepHeader + "</pre>\n{SHOPPER}\n\n");
    EXPECT_EQ(basket().find("[Total]"), std::string::npos);
    EXPECT_NE(basket().find("carrier=predetermined"), std::string::npos);

    r = shop.post(form({{"command", "step4"}, {"basket", kBasket}, {"where", "missing.html"}}));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, kStepHeader + "Could not open " + shop.path("web/missing.html") + "\n");
    EXPECT_EQ(basket().find("[Total]"), std::string::npos);
}

TEST_F(CheckoutSteps, Step4VisitsOnlyStoredLinesAndCharges) {
    // Counts far beyond what the file holds: only the stored numbers show, and
    // of the lines only those a basket can hold.
    shop.put(kBasketFile,
             "[Basket]\nNumKeys=2147483647\n[1]\nITEM=1\nPRICE=1\nSHIP=1\nQUANTITY=1\n"
             "[2147483647]\nITEM=2\nPRICE=2\nSHIP=2\nQUANTITY=2\n"
             "[Additional]\nnumfields=2147483647\na2147483644=3\na2147483646=far\n");
    shop.put("web/confirm.html", "<html>\n");
    const auto start = std::chrono::steady_clock::now();
    Reply r = shop.post(
        form({{"command", "step4"}, {"basket", kBasket}, {"where", "confirm.html"}, {"agent", "predetermined"}}));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_NE(r.out.find("<td align=left bgcolor=#CEE7E7>far</td><td align=right bgcolor=#CEE7E7>3</td>"),
              std::string::npos);
    EXPECT_NE(r.out.find("<td>Shipping:</td><td bgcolor=80FFFF align=right>1.00</td>"), std::string::npos);
    EXPECT_NE(basket().find("[Total]\nTax=0.00\nTotal=5.00\n"), std::string::npos);
}

}  // namespace
