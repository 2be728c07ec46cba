// Runs killed (SIGKILL) at random moments, seeded, while they add lines,
// edit quantities, run step 4 (tavra and ship) and confirm orders.
// Afterwards every profile file is either as it was or as a whole run leaves
// it, so each key holds its old or its new value, and the next request works.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <set>

#include "basket_support.h"
#include "fault_support.h"
#include "order_shop.h"
#include "platform/profile_document.h"

namespace {

using std::chrono::microseconds;
using Request = std::function<Reply(const RunControl&)>;

constexpr unsigned kSeed = 20260608;

RunControl killed_after(microseconds delay) {
    RunControl control;
    control.kill_after = delay;
    return control;
}

bool was_killed(const Reply& r) { return r.status == 1000 + SIGKILL; }

// The file's bytes; a missing file reads as empty, as every key in it does.
std::string bytes_of(const Install& shop, const std::string& rel) { return shop.exists(rel) ? shop.get(rel) : ""; }

void put_back(const Install& shop, const std::string& rel, const std::string& bytes) {
    if (bytes.empty()) shop.remove(rel);
    else shop.put(rel, bytes);
}

// How long the request takes unkilled here and now (the slowest of three),
// so that kill delays drawn below it mostly land inside a run.
microseconds run_time(const Request& request) {
    microseconds slowest{1};
    for (int i = 0; i < 3; ++i) {
        const auto start = std::chrono::steady_clock::now();
        request({});
        slowest = std::max(slowest,
                           std::chrono::duration_cast<microseconds>(std::chrono::steady_clock::now() - start));
    }
    return slowest;
}

// Runs started, runs killed, and killed runs that had stored their change.
struct KillCount {
    const char* what;
    int runs = 0, landed = 0, stored = 0;
    ~KillCount() {
        std::printf("[ kills    ] %s: %d of %d runs killed, %d of them after storing\n", what, landed, runs, stored);
    }
};

// Kills `request` after a random delay in [0, span) with `file` as `old`, and
// checks that the file is afterwards either `old` or what an unkilled run
// makes of `old`; then runs the request unkilled on what the kill left, which
// must answer whole.
void kill_once(const Install& shop, const std::string& file, const std::string& old, const Request& request,
               std::mt19937& random, microseconds span, KillCount& count) {
    put_back(shop, file, old);
    std::uniform_int_distribution<long long> delay(0, span.count());
    const Reply killed = request(killed_after(microseconds(delay(random))));
    const std::string left = bytes_of(shop, file);
    if (left != old) {
        put_back(shop, file, old);
        const Reply whole = request({});
        EXPECT_EQ(whole.status, 1);
        EXPECT_EQ(left, bytes_of(shop, file)) << "neither the old file nor the new one";
        put_back(shop, file, left);
    }
    const Reply next = request({});
    EXPECT_EQ(next.status, 1) << next.out;
    // A page, kept from caches when it is a checkout step's.
    EXPECT_TRUE(next.out.rfind(kHeader, 0) == 0 || next.out.rfind(kStepHeader, 0) == 0) << next.out.substr(0, 200);
    ++count.runs;
    count.landed += was_killed(killed);
    count.stored += was_killed(killed) && left != old;
}

class KilledRuns : public ::testing::Test {
protected:
    KilledRuns() {
        shop.put("web/page.html", "<html>\nBasket {SHOPPER}\n");
        shop.put("web/confirm.html", "<html>\nCheck {SHOPPER}\n");
        shop.put("web/items.ini",
                 "[100]\nNAME=Mug\nPRICE=4.50\nSHIP=1\nSHIPTYPE=quantity\nfirst=5.00\nremain=1.50\n"
                 "[200]\nNAME=Tea\nPRICE=2\nSHIP=0.5\nSHIPTYPE=bulk\nminimum=3\nunitship=0.25\nregular=1\n");
    }
    Reply post(const std::vector<std::pair<std::string, std::string>>& fields, const RunControl& control,
               const std::string& program = "tavra") const {
        std::vector<std::pair<std::string, std::string>> all{{"basket", kBasket}, {"where", kPage}};
        all.insert(all.end(), fields.begin(), fields.end());
        return shop.post(form(all), control, program);
    }
    const std::string file = "baskets/" + kBasket;
    std::mt19937 random{kSeed};
    Install shop;
};

TEST_F(KilledRuns, AddingLines) {
    KillCount count{"adding lines"};
    microseconds spans[3];
    for (int i = 0; i < 150; ++i) {
        const std::string tag = std::to_string(i);
        Request add;
        switch (i % 3) {
            case 0:
                add = [&, tag](const RunControl& c) {
                    return post({{"command", "add2basket"}, {"qty", "1"}, {"name", "N" + tag}, {"item", tag},
                                 {"price", "1.25"}, {"ship", "0.5"}},
                                c);
                };
                break;
            case 1:
                add = [&, tag](const RunControl& c) {
                    return post({{"command", "add2lookup"}, {"qty", tag}, {"item", "100"}, {"lookup", "items.ini"}}, c);
                };
                break;
            default:
                add = [&, tag](const RunControl& c) {
                    return post({{"command", "add2check"}, {"numentries", "1"}, {"f1", "2"}, {"f2", tag},
                                 {"f3", "T" + tag}, {"f4", "3"}, {"f5", "0"}, {"f6", "on"}},
                                c);
                };
        }
        if (i < 3) spans[i] = run_time(add);
        kill_once(shop, file, bytes_of(shop, file), add, random, spans[i % 3], count);
    }
    EXPECT_GT(count.landed, 0);
    // Whatever was killed, the lines are numbered without a gap.
    const auto doc = profile::Document::parse(bytes_of(shop, file));
    const int lines = std::stoi(std::string(doc.get("Basket", "NumKeys").value_or("0")));
    std::vector<long long> want(static_cast<std::size_t>(lines));
    for (int n = 0; n < lines; ++n) want[static_cast<std::size_t>(n)] = n + 1;
    EXPECT_EQ(doc.numbered_sections(), want);
}

TEST_F(KilledRuns, EditingQuantities) {
    KillCount count{"editing quantities"};
    constexpr int kLines = 12;
    std::string basket = "[Basket]\nNumKeys=" + std::to_string(kLines) + "\n";
    for (int n = 1; n <= kLines; ++n)
        basket += "[" + std::to_string(n) + "]\nNAME=L" + std::to_string(n) + "\nITEM=" + std::to_string(n) +
                  "\nPRICE=2\nSHIP=0\nQUANTITY=1\n";
    shop.put(file, basket);
    microseconds span{};
    for (int i = 0; i < 100; ++i) {
        std::vector<std::pair<std::string, std::string>> fields{{"command", "edit"}};
        // Every line gets a new quantity; a few lose theirs by being left out.
        for (int n = 1; n <= kLines; ++n)
            if ((n + i) % 5 != 0) fields.emplace_back(std::to_string(n), std::to_string((n * 7 + i) % 9 + 1));
        const Request edit = [&, fields](const RunControl& c) { return post(fields, c); };
        if (i == 0) span = run_time(edit);
        kill_once(shop, file, bytes_of(shop, file), edit, random, span, count);
    }
    EXPECT_GT(count.landed, 0);
}

TEST_F(KilledRuns, Step4OfBothPrograms) {
    KillCount count{"step 4"};
    microseconds span{};
    for (int i = 0; i < 120; ++i) {
        // A different basket each time, so that the totals change.
        const std::string quantity = std::to_string(i % 7 + 1);
        const std::string old = "[Basket]\nNumKeys=2\n[1]\nNAME=Mug\nITEM=100\nPRICE=4.50\nSHIP=1\nQUANTITY=" +
                                quantity + "\n[2]\nNAME=Tea\nITEM=200\nPRICE=2\nSHIP=0.5\nQUANTITY=" +
                                std::to_string(i % 4) + "\n[Shipping]\nfname=Ana\n[Additional]\nnumfields=3\na1=" +
                                quantity + ".25\n";
        const bool ship = i % 2 == 1;
        const Request step4 = [&, ship, i](const RunControl& c) {
            return post({{"command", "step4"},
                         {"where", "confirm.html"},
                         {"agent", ship ? "lookup" : "predetermined"},
                         {"lookup", "items.ini"},
                         {"salestax", i % 3 ? "on" : "off"}},
                        c, ship ? "ship" : "tavra");
        };
        if (i < 2) span = std::max(span, run_time(step4));
        kill_once(shop, file, old, step4, random, span, count);
        EXPECT_TRUE(profile::Document::parse(bytes_of(shop, file)).get("Total", "Total")) << "after run " << i;
    }
    EXPECT_GT(count.landed, 0);
}

TEST(KilledConfirms, InvoiceNumbersAdvanceOnceAndNeverGoBack) {
    KillCount count{"confirming"};
    std::mt19937 random{kSeed};
    OrderShop shop("tables=on\nemail=on\n");
    shop.put("tavra.cfg", shop.config_with("1000", "tables=on\ncustomer=" + shop.path("customers.csv") +
                                                      "\norder=" + shop.path("orders.csv") + "\nshipment=" +
                                                      shop.path("shipments.csv") + "\n"));
    shop.remove("blat.exe");  // the mailer's failure is answered after the redirect
    const std::string basket_file = "baskets/" + std::string(kBasketName);
    shop.put(basket_file, kSampleBasket);
    shop.put("web/page.html", "<html>\n");

    const auto request = [&shop](const RunControl& c) {
        return shop.post(form({{"command", "confirm"}, {"basket", kBasketName}}), c);
    };
    const microseconds whole = std::max(run_time(request), microseconds(2000));
    std::uniform_int_distribution<long long> delay(0, whole.count());

    auto invoice_of = [&shop](const std::string& rel, const char* section) {
        return std::stoi(profile_value(shop, rel, section, "invnumber").value_or("0"));
    };
    auto advanced = [](const std::string& text, const char* section, const char* key, int value) {
        auto doc = profile::Document::parse(text);
        doc.set(section, key, std::to_string(value));
        return doc.text();
    };
    auto in_state = [](const std::string& text, const char* state) {
        auto doc = profile::Document::parse(text);
        doc.set("Order State", "state", state);
        return doc.text();
    };
    for (int i = 0; i < 60; ++i) {
        // Each run confirms a freshly summarised basket.
        shop.put(basket_file, in_state(shop.get(basket_file), "summarised"));
        const std::string cfg = shop.get("tavra.cfg"), basket = shop.get(basket_file);
        const std::string batch = bytes_of(shop, "batchcfg.ini");
        const int issued = invoice_of("tavra.cfg", "Program Config");
        const int last = std::stoi(profile_value(shop, "batchcfg.ini", "BatchConfig", "Last").value_or("0"));

        const Reply killed = request(killed_after(microseconds(delay(random))));
        ++count.runs;
        count.landed += was_killed(killed);
        const std::string cfg_after = shop.get("tavra.cfg"), basket_after = shop.get(basket_file);
        const std::string batch_after = bytes_of(shop, "batchcfg.ini");
        const std::string cfg_new = advanced(cfg, "Program Config", "invnumber", issued + 1);
        count.stored += was_killed(killed) && cfg_after != cfg;
        EXPECT_TRUE(cfg_after == cfg || cfg_after == cfg_new) << cfg_after;
        EXPECT_TRUE(basket_after == basket ||
                    basket_after == in_state(advanced(basket, "Shipping", "invnumber", issued + 1), "ordered"))
            << basket_after;
        // The basket never carries a number the configuration has not issued.
        if (basket_after != basket) {
            EXPECT_EQ(cfg_after, cfg_new);
        }
        const std::string batch_new = advanced(advanced(batch, "BatchConfig", "File", 0), "BatchConfig", "Last", last + 1);
        EXPECT_TRUE(batch_after == batch || batch_after == batch_new) << batch_after;

        // The next request works: the page with the basket table, and every
        // sixth time a whole confirmation with the next number.
        const Reply page =
            shop.post(form({{"command", "goto"}, {"basket", kBasketName}, {"where", "page.html"}}));
        EXPECT_EQ(page.status, 1);
        EXPECT_EQ(page.out.substr(0, kHeader.size() + 7), kHeader + "</pre>\n");
        EXPECT_NE(page.out.find("<td align=left bgcolor=#CEE7E7>Blue Mug</td>"), std::string::npos) << page.out;
        if (i % 6 == 5) {
            shop.put(basket_file, in_state(shop.get(basket_file), "summarised"));
            const int next = invoice_of("tavra.cfg", "Program Config");
            const auto before = shop.mail_files();
            EXPECT_EQ(request({}).out, kSafetyHeaders + "Location: http://shop.example/thanks.html\n\nFile or path not found.\n");
            EXPECT_EQ(invoice_of("tavra.cfg", "Program Config"), next + 1);
            EXPECT_EQ(invoice_of(basket_file, "Shipping"), next + 1);
            const auto after = shop.mail_files();
            std::vector<std::string> made;
            std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::back_inserter(made));
            ASSERT_EQ(made.size(), 1u);
            const std::string mail = shop.get("mail/" + made[0]);
            const std::string head = "\nInvoice Number :" + std::to_string(next + 1) + "\n";
            EXPECT_NE(mail.find(head), std::string::npos) << mail;
        }
    }
    EXPECT_GT(count.landed, 0);
    // A mail shows its number only once the configuration holds the next
    // one, so no two mails, killed runs' included, share a number.
    std::set<int> mailed;
    for (const std::string& name : shop.mail_files()) {
        const std::string mail = shop.get("mail/" + name);
        const std::size_t at = mail.find("\nInvoice Number :");
        if (at == std::string::npos) continue;  // killed before its head was written
        const int number = std::stoi(mail.substr(at + 17));
        EXPECT_TRUE(mailed.insert(number).second) << "invoice " << number << " issued twice";
    }
    EXPECT_GE(mailed.size(), 10u);
}

}  // namespace
