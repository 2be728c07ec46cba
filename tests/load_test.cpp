// Sixteen processes at a time hammer one basket and one tavra.cfg with mixed
// commands of both programs for a bounded time. Afterwards no line is lost or
// doubled, no invoice number is issued twice, every file is whole and the
// run log holds one whole record per request of tavra.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "fault_support.h"
#include "order_shop.h"
#include "platform/profile_document.h"

namespace {

constexpr int kProcesses = 16;
// How long the processes hammer: TAVRA_LOAD_SECONDS (tests/run_all.sh asks
// for 20), else a few seconds so that the suite stays quick.
constexpr int kShortLoadSeconds = 2;

std::chrono::seconds load_time() {
    const char* asked = std::getenv("TAVRA_LOAD_SECONDS");
    if (!asked || !*asked) return std::chrono::seconds(kShortLoadSeconds);
    char* end = nullptr;
    const long seconds = std::strtol(asked, &end, 10);
    if (*end || seconds < 1 || seconds > 3600) {
        ADD_FAILURE() << "TAVRA_LOAD_SECONDS=" << asked << " is not a number of seconds from 1 to 3600";
        return std::chrono::seconds(kShortLoadSeconds);
    }
    return std::chrono::seconds(seconds);
}
constexpr unsigned kSeed = 20260608;

const std::string kRedirect = kSafetyHeaders + "Location: http://shop.example/thanks.html\n\nFile or path not found.\n";
const std::string kPageHead = kHeader + "</pre>\n";
// A confirmation that finds the basket's current summary ordered already.
const std::string kRepeatedRedirect = kSafetyHeaders + "Location: http://shop.example/thanks.html\n\n";


enum Kind { add, check, lookup, edit, show, step4, ship_step4, confirm, newbasket, info, kinds };
const char* const kKindNames[kinds] = {"add2basket", "add2check", "lookup",    "edit",      "goto",
                                       "step4",      "ship step4", "confirm", "newbasket", "info"};
// Out of every 100 requests.
const int kShare[kinds] = {36, 10, 10, 8, 10, 6, 6, 6, 3, 5};

// What one worker saw: requests served by kind, and the basket lines its
// adding requests made (ITEM value -> NAME value).
struct Served {
    int count[kinds] = {};
    int orders = 0;  // confirmations that made an order
    std::map<std::string, std::string> lines;
    std::vector<std::string> wrong;  // replies that were not whole
};

Kind pick(std::mt19937& random) {
    int roll = std::uniform_int_distribution<int>(0, 99)(random);
    for (int k = 0; k < kinds; ++k) {
        if (roll < kShare[k]) return static_cast<Kind>(k);
        roll -= kShare[k];
    }
    return show;
}

// One run record as write_run_log makes it for the shop's configuration.
std::regex run_record(const OrderShop& shop) {
    auto quoted = [](const std::string& text) { return std::regex_replace(text, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)"); };
    const std::string root = quoted(shop.root());
    return std::regex("\\[[A-Z][a-z]{2} [A-Z][a-z]{2} [0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}\\]\n"
                      "Config File=" + root + "/tavra\\.cfg\n"
                      "Web Directory=" + root + "/web/\n"
                      "Email=merchant@shop\\.example\n"
                      "Name=Test Shop\n"
                      "Start Page=index\\.html\n"
                      "Table=items\\.ini\n"
                      "Thanks=http://shop\\.example/thanks\\.html\n"
                      "Basket Directory=" + root + "/baskets/\n\n");
}

TEST(Load, SixteenProcessesOnOneBasketLoseNothingAndTearNothing) {
    OrderShop shop;
    const std::string order_control = "tables=on\ncustomer=" + shop.path("customers.csv") + "\norder=" +
                                      shop.path("orders.csv") + "\nshipment=" + shop.path("shipments.csv") + "\n";
    shop.put("tavra.cfg", shop.config_with("1000", order_control));
    shop.remove("blat.exe");  // each confirmation reports the missing mailer
    shop.put("web/page.html", "<html>\n");
    shop.put("web/items.ini", "[100]\nNAME=Mug\nPRICE=4.50\nSHIP=1\nSHIPTYPE=quantity\nfirst=5\nremain=1\n");
    const std::string basket = kBasketName;
    const std::string basket_file = "baskets/" + basket;
    // The shopper's details and totals of the sample order, and no line yet.
    const std::string sample = kSampleBasket;
    shop.put(basket_file, "[Basket]\nNumKeys=0\n" + sample.substr(sample.find("[Shipping]")));

    const std::chrono::seconds length = load_time();
    const auto start = std::chrono::steady_clock::now();
    const auto deadline = start + length;
    // Most confirmations meet a summary out of date; a short run on a busy
    // machine goes on until one order is made, for at most ten seconds more.
    const auto last_chance = deadline + std::chrono::seconds(10);
    std::atomic<int> ordered{0};
    auto go_on = [&] {
        const auto now = std::chrono::steady_clock::now();
        return now < deadline || (ordered.load() == 0 && now < last_chance);
    };
    std::vector<Served> served(kProcesses);
    std::vector<std::thread> workers;
    for (int w = 0; w < kProcesses; ++w)
        workers.emplace_back([&, w] {
            std::mt19937 random(kSeed + static_cast<unsigned>(w));
            Served& mine = served[static_cast<std::size_t>(w)];
            for (int n = 0; go_on(); ++n) {
                const std::string tag = std::to_string(w) + "-" + std::to_string(n);
                const Kind kind = pick(random);
                Reply r;
                std::string head = kPageHead;
                auto post = [&](std::vector<std::pair<std::string, std::string>> fields,
                                const std::string& program = "tavra") {
                    fields.insert(fields.begin(), {{"basket", basket}, {"where", "page.html"}});
                    return shop.post(form(fields), program);
                };
                switch (kind) {
                    case add:
                        r = post({{"command", "add2basket"}, {"qty", "1"}, {"name", "N" + tag}, {"item", tag},
                                  {"price", "1"}, {"ship", "0.5"}});
                        mine.lines[tag] = "N" + tag;
                        break;
                    case check:
                        r = post({{"command", "add2check"}, {"numentries", "1"}, {"f1", "2"}, {"f2", "c" + tag},
                                  {"f3", "T" + tag}, {"f4", "1"}, {"f5", "0.5"}, {"f6", "on"}});
                        mine.lines["c" + tag] = "T" + tag;
                        break;
                    case lookup:
                        r = shop.get_words({"lookup", "page.html", basket, "100", "items.ini", "1"});
                        break;
                    case edit:
                        r = post({{"command", "edit"}, {"1", "2"}, {"2", "3"}});
                        break;
                    case show:
                        r = post({{"command", "goto"}});
                        break;
                    case step4:
                        r = post({{"command", "step4"}, {"agent", "predetermined"}, {"salestax", "on"}});
                        head = "Cache-Control: no-store\n" + kPageHead;
                        break;
                    case ship_step4:
                        r = post({{"command", "step4"}, {"agent", "lookup"}, {"lookup", "items.ini"}}, "ship");
                        head = kStepHeader;
                        break;
                    case confirm:
                        r = post({{"command", "confirm"}});
                        head = kRedirect;
                        break;
                    case newbasket:
                        r = shop.get_words({"newbasket", "page.html"});
                        head = "Set-Cookie: TAVRA=basket/";
                        break;
                    case info:
                        r = shop.get_words({"info"});
                        head = kHeader + "<BODY";
                        break;
                    default:
                        break;
                }
                ++mine.count[kind];
                if (kind == confirm && r.out == kRedirect) {
                    ++mine.orders;
                    ++ordered;
                }
                const bool whole = kind == confirm ? r.status == 1 && (r.out == kRedirect || r.out == kRepeatedRedirect ||
                                                                       r.out == kErrorPage)
                                                   : r.status == 1 && r.out.compare(0, head.size(), head) == 0;
                if (!whole) mine.wrong.push_back(std::string(kKindNames[kind]) + ": " + r.out.substr(0, 200));
            }
        });
    for (std::thread& t : workers) t.join();
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);

    int count[kinds] = {};
    int orders = 0;
    std::map<std::string, std::string> added;
    for (const Served& s : served) {
        orders += s.orders;
        for (int k = 0; k < kinds; ++k) count[k] += s.count[k];
        added.insert(s.lines.begin(), s.lines.end());
        for (const std::string& w : s.wrong) ADD_FAILURE() << "reply not whole: " << w;
    }
    int total = 0;
    std::string by_kind;
    for (int k = 0; k < kinds; ++k) {
        total += count[k];
        by_kind += std::string(k ? ", " : "") + kKindNames[k] + " " + std::to_string(count[k]);
    }
    std::printf("[ load     ] %d requests from %d %s in %.1f s (%s), %d orders made\n", total, kProcesses,
                via_fastcgi() ? "clients to FastCGI processes" : "processes", static_cast<double>(took.count()) / 1000,
                by_kind.c_str(), orders);

    // No lost line: every adding request left exactly its line, numbered
    // without a gap.
    const auto doc = profile::Document::parse(shop.get(basket_file));
    const int lines = std::stoi(std::string(doc.get("Basket", "NumKeys").value_or("0")));
    EXPECT_EQ(lines, count[add] + count[check] + count[lookup]);
    std::vector<long long> numbers(static_cast<std::size_t>(lines));
    for (int n = 0; n < lines; ++n) numbers[static_cast<std::size_t>(n)] = n + 1;
    EXPECT_EQ(doc.numbered_sections(), numbers);
    int mugs = 0;
    std::set<std::string> seen;
    for (int n = 1; n <= lines; ++n) {
        const std::string section = std::to_string(n);
        const std::string item(doc.get(section, "ITEM").value_or("?"));
        const std::string name(doc.get(section, "NAME").value_or("?"));
        if (item == "100") {
            ++mugs;
            EXPECT_EQ(name, "Mug");
            continue;
        }
        const auto made = added.find(item);
        ASSERT_NE(made, added.end()) << "line " << n << " was never added: " << item;
        EXPECT_EQ(name, made->second) << "line " << n;
        EXPECT_EQ(doc.get(section, "SHIP"), "0.5") << "line " << n;
        EXPECT_TRUE(seen.insert(item).second) << item << " added twice";
    }
    EXPECT_EQ(mugs, count[lookup]);
    EXPECT_EQ(seen.size(), added.size());

    // No invoice number twice: the configuration advanced once per order,
    // each mail shows its own number, each table holds each order whole.
    EXPECT_GT(orders, 0);
    EXPECT_EQ(shop.get("tavra.cfg"), shop.config_with(std::to_string(1000 + orders), order_control));
    std::set<int> mailed;
    for (const std::string& name : shop.mail_files()) {
        const std::string mail = shop.get("mail/" + name);
        const std::size_t at = mail.find("\nInvoice Number :");
        ASSERT_NE(at, std::string::npos) << name;
        EXPECT_TRUE(mailed.insert(std::stoi(mail.substr(at + 17))).second) << "invoice shown twice";
    }
    EXPECT_EQ(mailed.size(), static_cast<std::size_t>(orders));
    if (!mailed.empty()) {
        EXPECT_EQ(*mailed.begin(), 1001);
        EXPECT_EQ(*mailed.rbegin(), 1000 + orders);
    }
    std::set<std::string> customers;
    for (const auto& row : read_csv(orders ? shop.get("customers.csv") : "")) {
        EXPECT_EQ(row.size(), 19u);
        EXPECT_TRUE(customers.insert(row.at(0)).second) << "customer row of " << row.at(0) << " twice";
    }
    EXPECT_EQ(customers.size(), static_cast<std::size_t>(orders));
    // Each order's lines stand together: an invoice, once left, never returns.
    std::set<std::string> finished;
    std::string current;
    for (const auto& row : read_csv(orders ? shop.get("orders.csv") : "")) {
        EXPECT_EQ(row.size(), 6u);
        if (row.at(0) == current) continue;
        EXPECT_TRUE(finished.insert(current).second || current.empty()) << current;
        EXPECT_EQ(finished.count(row.at(0)), 0u) << "order " << row.at(0) << " interleaved";
        current = row.at(0);
    }
    // One payment record per order; a batch file takes 451 before the next begins.
    constexpr int kPerBatchFile = 451;
    const int batch_files = orders ? (orders - 1) / kPerBatchFile + 1 : 0;
    std::size_t payments = 0;
    for (int f = 0; f < batch_files; ++f) {
        const std::size_t records = read_csv(shop.get("batch/" + std::to_string(f) + ".imp")).size();
        if (f + 1 < batch_files) {
            EXPECT_EQ(records, static_cast<std::size_t>(kPerBatchFile)) << "batch file " << f;
        }
        payments += records;
    }
    EXPECT_EQ(payments, static_cast<std::size_t>(orders));
    if (orders) {
        EXPECT_EQ(profile_value(shop, "batchcfg.ini", "BatchConfig", "File"), std::to_string(batch_files - 1));
        EXPECT_EQ(profile_value(shop, "batchcfg.ini", "BatchConfig", "Last"),
                  std::to_string(orders - (batch_files - 1) * kPerBatchFile));
    }

    // No torn file and no interleaved record: the run log is whole records
    // only, one per request of tavra (ship keeps no log), and nothing failed.
    const std::string log = shop.get("runlog.txt");
    const std::regex record = run_record(shop);
    int records = 0;
    auto at = log.cbegin();
    for (std::smatch m; at != log.cend() && std::regex_search(at, log.cend(), m, record,
                                                               std::regex_constants::match_continuous);
         at = m[0].second)
        ++records;
    EXPECT_EQ(at - log.cbegin(), static_cast<long>(log.size())) << "torn run record at byte " << (at - log.cbegin());
    EXPECT_EQ(records, total - count[ship_step4]);
    // The only errors are confirmations refused for a summary out of date or
    // a basket not yet holding a line.
    const std::string errors = shop.exists("errlog.txt") ? shop.get("errlog.txt") : "";
    std::istringstream error_lines(errors);
    for (std::string line; std::getline(error_lines, line);) {
        if (line.rfind("Error Message=", 0) != 0) continue;
        EXPECT_TRUE(line == "Error Message=Order not confirmed: the order summary is out of date" ||
                    line == "Error Message=Order not confirmed: the basket has no items")
            << line;
    }
    for (const auto& entry : std::filesystem::recursive_directory_iterator(shop.root()))
        EXPECT_NE(entry.path().extension(), ".tmp") << "temporary file left: " << entry.path();
}

}  // namespace
