// The shipping calculator: its replies and exit statuses, the shipping
// rules, and its variant of the step-4 page.
#include <gtest/gtest.h>

#include "harness.h"
#include "order_shop.h"
#include "ship/calculator.h"
#include "ship/rules.h"

namespace {

const char* const kBasket = "basket/100.350.bsk";
const char* const kBasketFile = "baskets/basket/100.350.bsk";

const char* const kItemTable =
    "[mug]\nSHIPTYPE=quantity\nfirst=5.00\nremain=1.50\n"
    "[tea]\nSHIPTYPE=bulk\nminimum=10\nunitship=0.50\nregular=1.00\n"
    "[pot]\nSHIPTYPE=percent\npercent=0.1\n"
    "[big]\nSHIPTYPE=Bulk\nminimum=1\nunitship=9\nregular=9\n"
    "[odd]\nSHIPTYPE=PERCENT\npercent=1\n";

class Ship : public ::testing::Test {
protected:
    Install shop;

    void SetUp() override {
        shop.put("web/items.ini", kItemTable);
        shop.put("web/confirm.html", "<html>\n");
    }

    Reply step4(std::vector<std::pair<std::string, std::string>> fields) const {
        fields.insert(fields.begin(), {{"command", "step4"}, {"basket", kBasket}, {"where", "confirm.html"}});
        return shop.post(form(fields), "ship");
    }
    std::string basket() const { return shop.get(kBasketFile); }

    // The amount on the summary's row `label`, or "" when there is none.
    static std::string row(const std::string& out, const std::string& label) {
        const std::string head = "<td>" + label + "</td><td bgcolor=80FFFF align=right>";
        std::size_t at = out.find(head);
        if (at == std::string::npos) return "";
        at += head.size();
        return out.substr(at, out.find('<', at) - at);
    }
};

// One basket line as the basket file holds it.
std::string line(int n, const std::string& item, const std::string& price, const std::string& ship,
                 const std::string& quantity) {
    return "[" + std::to_string(n) + "]\nNAME=" + item + "\nITEM=" + item + "\nPRICE=" + price + "\nSHIP=" + ship +
           "\nQUANTITY=" + quantity + "\n";
}

TEST_F(Ship, RepliesAndStatuses) {
    const std::string post_type = "application/x-www-form-urlencoded";
    const std::string step4_body =
        form({{"command", "step4"}, {"basket", kBasket}, {"where", "confirm.html"}, {"agent", "predetermined"}});
    struct Row {
        std::map<std::string, std::string> env;
        std::vector<std::string> words;
        std::string body;
        std::string out;
        int status;
    } rows[] = {
        {{}, {}, "", "", 0},
        {{{"REQUEST_METHOD", "GET"}}, {}, "", "ship.exe?SHIPPINGMETHOD+WEIGHT+ZIPCODE+EXCHANGEFILENAME\n", 1},
        {{{"REQUEST_METHOD", "GET"}}, {"UPS", "10"}, "", "", 255},
        {{{"REQUEST_METHOD", "GET"}, {"QUERY_STRING", "UPS+10"}}, {}, "", "", 255},
        {{{"REQUEST_METHOD", "HEAD"}}, {}, "", "", 255},
        {{{"REQUEST_METHOD", "PUT"}}, {}, "", "", 1},
        {{{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", std::to_string(step4_body.size())}}, {}, step4_body, "", 0},
        {{{"REQUEST_METHOD", "POST"},
          {"CONTENT_TYPE", post_type + "; charset=UTF-8"},
          {"CONTENT_LENGTH", std::to_string(step4_body.size())}},
         {},
         step4_body,
         kHeader + "Data was not URL encoded.",
         1},
        {{{"REQUEST_METHOD", "POST"}, {"CONTENT_TYPE", post_type}, {"CONTENT_LENGTH", "17"}},
         {},
         "command=step4&&x=1",
         kHeader + "Invalid Input",
         1},
        {{{"REQUEST_METHOD", "POST"}, {"CONTENT_TYPE", post_type}, {"CONTENT_LENGTH", "38"}},
         {},
         "command=confirm&agent=predetermined&x=",
         "",
         0},
        {{{"REQUEST_METHOD", "POST"}, {"CONTENT_TYPE", post_type}, {"CONTENT_LENGTH", "13"}},
         {},
         "command=Step4",
         "",
         0},
    };
    for (const Row& r : rows) {
        Reply got = shop.run("ship", r.env, r.words, r.body);
        EXPECT_EQ(got.out, r.out) << r.body;
        EXPECT_EQ(got.status, r.status) << r.body;
        EXPECT_EQ(basket(), "") << r.body;
    }

    Reply done = shop.post(step4_body, "ship");
    EXPECT_EQ(done.status, 1);
    EXPECT_EQ(done.out.substr(0, kStepHeader.size() + 7), kStepHeader + "</pre>\n");
    EXPECT_EQ(done.out.substr(done.out.size() - 19), "</td></tr></table>\n");

    Reply missing = shop.post(
        form({{"command", "step4"}, {"basket", kBasket}, {"where", "none.html"}, {"agent", "lookup"}}), "ship");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, kStepHeader + "Could not open " + shop.path("web/none.html") + "\n");
    EXPECT_EQ(basket(), "[Shipping]\ncarrier=lookup\n");  // the carrier comes before the page
}

// The request's function, called in this process: every answer, the
// unanswered ones too, is a reply handed back, and the process goes on to
// the next request with nothing of the last one's reply.
TEST(ShipRequest, EveryRequestIsAnsweredAsAValueInOneProcess) {
    const TempFolder folder{"tavra-ship-calls"};
    struct Case {
        std::optional<std::string> method;
        std::vector<std::string> words;
        std::string bytes;
        int status;
    } cases[] = {
        {"HEAD", {}, "", -1},
        {"GET", {}, "ship.exe?SHIPPINGMETHOD+WEIGHT+ZIPCODE+EXCHANGEFILENAME\n", 1},
        {"PUT", {}, "", 1},
        {"GET", {"step4"}, "", -1},
        {std::nullopt, {}, "", 0},
    };
    for (const Case& c : cases) {
        Request r;
        r.program_dir = folder.root() + "/";
        r.method = c.method;
        r.words = c.words;
        const reply::Reply answer = answer_ship(r, read_ship_shop(r.program_dir));
        EXPECT_EQ(answer.bytes, c.bytes) << c.method.value_or("(none)");
        EXPECT_EQ(answer.status, c.status) << c.method.value_or("(none)");
    }
}

TEST(ShippingRules, KindIsNamedByteForByte) {
    using K = ShippingRule::Kind;
    const std::pair<const char*, K> rows[] = {
        {"percent", K::percent}, {"quantity", K::quantity}, {"bulk", K::bulk}, {"Bulk", K::none},
        {"PERCENT", K::none},    {"bulk ", K::none},        {"", K::none},     {"weight", K::none},
    };
    for (const auto& [text, want] : rows) EXPECT_EQ(rule_kind(text), want) << text;
}

TEST(ShippingRules, ChargeForOneLine) {
    ShippingRule quantity;
    quantity.kind = ShippingRule::Kind::quantity;
    quantity.first = 5.00;
    quantity.remain = 1.50;
    ShippingRule bulk;
    bulk.kind = ShippingRule::Kind::bulk;
    bulk.minimum = 10;
    bulk.unitship = 0.50;
    bulk.regular = 1.00;
    ShippingRule percent;
    percent.kind = ShippingRule::Kind::percent;
    percent.percent = 0.1;
    ShippingRule whole_percent = percent;
    whole_percent.percent = 10;
    const ShippingRule none;
    const struct {
        const ShippingRule& rule;
        double price;
        int quantity;
        double want;
    } rows[] = {
        {quantity, 9, 1, 5.00}, {quantity, 9, 3, 8.00}, {quantity, 9, 0, 0},
        {quantity, 9, -2, 0},   {bulk, 9, 10, 5.00},    {bulk, 9, 9, 9.00},
        {bulk, 9, 11, 5.50},    {percent, 20, 3, 6.00}, {whole_percent, 20, 3, 600.00},
        {percent, 20, 0, 0},    {none, 20, 3, 0},
    };
    for (const auto& r : rows) EXPECT_DOUBLE_EQ(line_shipping(r.rule, r.price, r.quantity), r.want) << r.quantity;
}

TEST_F(Ship, ShippingByAgent) {
    const std::string page_table = "lookup";
    struct Row {
        std::string lines;
        std::vector<std::pair<std::string, std::string>> fields;
        std::string shipping;
    } rows[] = {
        // Each line by its item's rule; the same item on two lines twice.
        {line(1, "mug", "2", "9", "1") + line(2, "mug", "2", "9", "1"), {{"agent", "lookup"}}, "10.00"},
        {line(1, "mug", "2", "9", "3") + line(2, "tea", "1", "9", "10") + line(3, "tea", "1", "9", "9") +
             line(4, "pot", "20.00", "9", "3"),
         {{"agent", "lookup"}},
         "28.00"},
        // Other letter case names no rule.
        {line(1, "big", "2", "9", "5") + line(2, "odd", "2", "9", "5") + line(3, "none", "2", "9", "5"),
         {{"agent", "lookup"}},
         "0.00"},
        // A quantity of 2.5 is 2 units under the rules and 2.5 for the lines' own amounts.
        {line(1, "mug", "2", "2", "2.5"), {{"agent", "lookup"}}, "6.50"},
        {line(1, "mug", "2", "2", "2.5"), {{"agent", "predetermined"}}, "5.00"},
        {line(1, "pot", "20", "2", "2.5"), {{"agent", "lookup"}}, "4.00"},
        // With both agents the rules alone price the order.
        {line(1, "mug", "2", "2", "1"), {{"agent", "predetermined"}, {"agent", "lookup"}}, "5.00"},
        {line(1, "mug", "2", "2", "1"), {{"agent", "UPS"}}, "0.00"},
        // A line whose quantity is 0 still ships under the lines' own amounts only.
        {line(1, "tea", "2", "3", "0") + line(2, "mug", "2", "3", "1"), {{"agent", "predetermined"}}, "3.00"},
    };
    for (const Row& r : rows) {
        shop.put(kBasketFile, "[Basket]\nNumKeys=" + std::to_string(std::count(r.lines.begin(), r.lines.end(), '[')) +
                                  "\n" + r.lines);
        auto fields = r.fields;
        fields.emplace_back(page_table, "items.ini");
        Reply got = step4(fields);
        EXPECT_EQ(got.status, 1);
        EXPECT_EQ(row(got.out, "Shipping:"), r.shipping) << r.lines;
        const std::string stored = basket();
        const bool known = r.fields[0].second == "lookup" || r.fields[0].second == "predetermined";
        EXPECT_EQ(stored.find("carrier=" + r.fields[0].second + "\n") != std::string::npos, known) << r.lines;
        EXPECT_EQ(stored.find("carrier=") != std::string::npos, known) << r.lines;
    }
}

TEST_F(Ship, AdditionsStepThroughNumfieldsAndTaxNeedsOn) {
    // Only a1, a4, a7, ... are amounts; the numbers between are not summed.
    const std::string charges = "[Additional]\na1=1\na2=20000\na3=\na4=10\na5=30000\na7=100\na10=1000\n";
    struct Row {
        std::string numfields;
        std::vector<std::pair<std::string, std::string>> fields;
        std::string tax;
        std::string total;
    } rows[] = {
        {"numfields=6\n", {}, "0.00", "31.00"},
        {"numfields=7\n", {}, "0.00", "131.00"},
        {"numfields=9\n", {{"salestax", "on"}}, "1.60", "132.60"},
        {"numfields=9\n", {{"salestax", "ON"}}, "0.00", "131.00"},
        {"", {{"salestax", "on"}}, "1.60", "21.60"},
    };
    for (const Row& r : rows) {
        shop.put(kBasketFile, "[Basket]\nNumKeys=1\n" + line(1, "mug", "10", "0", "2") + charges + r.numfields);
        Reply got = step4(r.fields);
        EXPECT_EQ(row(got.out, "Tax:"), r.tax) << r.numfields;
        EXPECT_EQ(row(got.out, "Total:"), "$" + r.total) << r.numfields;
        EXPECT_NE(basket().find("[Total]\nTax=" + r.tax + "\nTotal=" + r.total + "\n"), std::string::npos)
            << r.numfields;
    }
}

TEST_F(Ship, PageDiffersFromTheBasketProgramsOnlyByFaxAndBreaks) {
    // The same basket through both programs; ship leaves out the fax row and
    // the closing line of eight "<br>".
    const std::string stored =
        "[Basket]\nNumKeys=3\n" + line(1, "mug", "40.00", "1.50", "2") + line(2, "tea", "20", "2.00", "1") +
        line(3, "pot", "99", "7", "0") +
        "[Shipping]\nfname=Ana\nminitial=Q\nlname=Berg\naddr1=1 Main St\naddr2=Flat 2\ncity=Oslo\nstpr=OS\n"
        "country=NO\nzip=0150\ndphone=555-1\nfphone=555-2\nemail=ana@example.org\npaytype=Visa\n"
        "[Additional]\nnumfields=6\na1=5\na3=Gift wrap\na4=2.25\n";
    shop.put("web/confirm.html", "<html>\n<h1>Check {SHOPPER} {SHOPPER}</h1>\r\n{ITEM=100} stays\n</html>\n");
    const std::vector<std::pair<std::string, std::string>> fields{{"command", "step4"},
                                                                  {"basket", kBasket},
                                                                  {"where", "confirm.html"},
                                                                  {"agent", "predetermined"},
                                                                  {"salestax", "on"}};
    shop.put(kBasketFile, stored);
    Reply tavra = shop.post(form(fields));
    const std::string tavra_file = basket();
    shop.put(kBasketFile, stored);
    Reply ship = shop.post(form(fields), "ship");
    EXPECT_EQ(ship.status, 1);
    EXPECT_EQ(basket(), tavra_file);

    std::string want = tavra.out;
    const std::string fax = "</tr><tr>\n<td colspan=3>555-2</td>\n";
    ASSERT_NE(want.find(fax), std::string::npos);
    want.erase(want.find(fax), fax.size());
    const std::string breaks = "<br><br><br><br><br><br><br><br>\n";
    ASSERT_EQ(want.substr(want.size() - breaks.size()), breaks);
    want.resize(want.size() - breaks.size());
    EXPECT_EQ(ship.out, want);
    EXPECT_EQ(ship.out.substr(ship.out.size() - 9), "</table>\n");
}

TEST_F(Ship, EmptyBasketGetsItsCarrierAndNoTotals) {
    for (const char* agent : {"predetermined", "lookup"}) {
        shop.put(kBasketFile, "");
        Reply got = step4({{"agent", agent}, {"lookup", "items.ini"}});
        EXPECT_EQ(got.status, 1);
        EXPECT_EQ(basket(), std::string("[Shipping]\ncarrier=") + agent + "\n");
        EXPECT_NE(got.out.find("<input type=submit value=\"Place Order\">"), std::string::npos);
        EXPECT_EQ(got.out.substr(got.out.size() - 19), "</td></tr></table>\n");
    }
    shop.put(kBasketFile, "[Basket]\nNumKeys=0\n");
    step4({{"agent", "lookup"}});
    EXPECT_EQ(basket(), "[Basket]\nNumKeys=0\n[Shipping]\ncarrier=lookup\n");
}

TEST_F(Ship, RefusedNamesGetTheErrorPageAndWriteNothing) {
    const std::vector<std::pair<std::string, std::string>> rows[] = {
        {{"basket", "basket/../../tavra.cfg"}, {"agent", "predetermined"}},
        {{"basket", "/tmp/x.bsk"}, {"agent", "predetermined"}},
        {{"where", "../tavra.cfg"}, {"agent", "predetermined"}},
        {{"lookup", "../tavra.cfg"}, {"agent", "lookup"}},
        {{"lookup", "/etc/passwd"}, {"agent", "predetermined"}, {"agent", "lookup"}},
    };
    for (const auto& fields : rows) {
        std::vector<std::pair<std::string, std::string>> all{{"command", "step4"}};
        for (const char* name : {"basket", "where", "lookup"}) {
            auto given = std::find_if(fields.begin(), fields.end(), [&](const auto& f) { return f.first == name; });
            if (given == fields.end())
                all.emplace_back(name, name == std::string("basket")  ? kBasket
                                       : name == std::string("where") ? "confirm.html"
                                                                      : "items.ini");
        }
        all.insert(all.end(), fields.begin(), fields.end());
        Reply got = shop.post(form(all), "ship");
        EXPECT_EQ(got.out, kStepErrorPage) << form(all);
        EXPECT_EQ(got.status, 1);
        EXPECT_EQ(basket(), "");
        EXPECT_FALSE(shop.exists("errlog.txt"));
        EXPECT_FALSE(shop.exists("runlog.txt"));
    }
    // The item table name matters only when the rules are asked for.
    Reply got = step4({{"agent", "predetermined"}, {"lookup", "../tavra.cfg"}});
    EXPECT_EQ(got.status, 1);
    EXPECT_EQ(basket(), "[Shipping]\ncarrier=predetermined\n");
}

TEST_F(Ship, ReadsItsThreeValuesThroughTheProfileStore) {
    // ship reads section and keys without regard to case, unlike tavra's
    // line reader, and nothing else of the file.
    shop.put("tavra.cfg", "[program config]\r\nWebDir=" + shop.path("web/") + "\r\nBASKETDIR=" + shop.path("baskets/") +
                              "\r\nTax=0.5\r\n");
    shop.put(kBasketFile, "[Basket]\nNumKeys=1\n" + line(1, "mug", "10", "0", "1"));
    Reply got = step4({{"salestax", "on"}});
    EXPECT_EQ(got.status, 1);
    EXPECT_EQ(row(got.out, "Tax:"), "5.00");
    EXPECT_EQ(row(got.out, "Total:"), "$15.00");
}

}  // namespace

namespace {

// A whole order: lines added and checkout steps 1 to 3 by tavra, step 4 by
// ship with the item table's rules, then confirmed by tavra from what ship
// stored.
TEST(WholeCheckout, Step4ByShipIsConfirmedByTavra) {
    OrderShop shop("email=on\n");
    shop.put("web/items.ini", kItemTable);
    shop.put("web/page.html", "<html>\n");
    auto post = [&](std::vector<std::pair<std::string, std::string>> fields, const std::string& program = "tavra") {
        fields.insert(fields.begin(), {{"basket", kBasket}, {"where", "page.html"}});
        Reply r = shop.post(form(fields), program);
        EXPECT_EQ(r.status, 1) << form(fields);
        return r;
    };
    post({{"command", "add2basket"},
          {"qty", "3"},
          {"name", "Blue Mug"},
          {"item", "mug"},
          {"price", "7.50"},
          {"ship", "1.00"}});
    post({{"command", "add2basket"},
          {"qty", "10"},
          {"name", "Green Tea"},
          {"item", "tea"},
          {"price", "2"},
          {"ship", "0.10"}});
    post({{"command", "step1"},
          {"fname", "Ana"},
          {"minitial", "Q"},
          {"lname", "Berg"},
          {"addr1", "1 Main St"},
          {"addr2", ""},
          {"city", "Oslo"},
          {"stpr", "OS"},
          {"country", "NO"},
          {"zip", "0150"},
          {"dphone", "555-1"},
          {"fphone", "555-2"},
          {"email", "ana@example.org"}});
    post({{"command", "step2"},
          {"paytype", "card"},
          {"cname", "Ana Berg"},
          {"cnum1", "4111111111111111"},
          {"cnum2", ""},
          {"expmo", "05"},
          {"expyr", "29"}});
    post({{"command", "step3"},
          {"option", "1"},
          {"option1", "Gift wrap"},
          {"addcharge", "3"},
          {"a1", "2.50"},
          {"a2", "on"},
          {"a3", "Express"}});
    // Shipping 5.00 + 2 x 1.50 for the mugs and 10 x 0.50 for the tea; tax
    // 0.08 of 42.50; one charge of 2.50.
    Reply step4 =
        post({{"command", "step4"}, {"agent", "lookup"}, {"lookup", "items.ini"}, {"salestax", "on"}}, "ship");
    EXPECT_NE(step4.out.find("<td>Shipping:</td><td bgcolor=80FFFF align=right>13.00</td>"), std::string::npos);
    EXPECT_NE(step4.out.find("<input type=hidden name=basket value=basket/100.350.bsk>\n"
                             "<input type=submit value=\"Finalize Order\">"),
              std::string::npos);

    Reply done = shop.confirm(kBasket);
    EXPECT_EQ(done.out, kSafetyHeaders + "Location: http://shop.example/thanks.html\n\n");
    EXPECT_EQ(done.status, 1);
    const std::vector<MailerRun> runs = shop.mailer_runs();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_TRUE(matches_golden(runs[0].mail, "order_mail_after_ship_step4.txt"));
    EXPECT_EQ(runs[1].argv.at(5), "ana@example.org");
}

}  // namespace
