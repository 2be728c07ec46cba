// Order confirmation from request to reply: the order mail, the stored
// invoice numbers, the payment record and the mailer's runs and failures.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "checkout/mail.h"
#include "common/limits.h"
#include "order_shop.h"

namespace {

const std::string kRedirect = kSafetyHeaders + "Location: http://shop.example/thanks.html\n\n";

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

std::string with_crlf(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

std::vector<std::string> recipients(const std::vector<MailerRun>& runs) {
    std::vector<std::string> to;
    for (const MailerRun& run : runs) to.push_back(run.argv.size() > 5 ? run.argv[5] : "?");
    return to;
}

}  // namespace

TEST(MailCommands, AnswerWithFixedText) {
    const struct {
        const char* command;
        std::string reply;
    } cases[] = {
        {"sendmail", kHeader + "Called Send Mail Command\n"},
        {"showmail", kHeader + "Called Show Mail Command\nObsolete in Version 1.0\n"},
    };
    for (const auto& c : cases) {
        OrderShop shop;
        const std::string config = shop.get("tavra.cfg");
        Reply r = shop.post(form({{"command", c.command}, {"basket", kBasketName}}));
        EXPECT_EQ(r.out, c.reply) << c.command;
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(shop.get("tavra.cfg"), config) << c.command;
        EXPECT_TRUE(shop.mail_files().empty()) << c.command;
    }
}

TEST(Confirm, WritesOrderMailAndSendsItToMerchantAndShopper) {
    OrderShop shop("email=on\n");
    shop.put_basket(kBasketName, kSampleBasket);
    Reply r = shop.confirm();
    EXPECT_EQ(r.out, kRedirect);
    EXPECT_EQ(r.status, 1);

    const std::vector<std::string> mails = shop.mail_files();
    ASSERT_EQ(mails.size(), 1u);
    const std::string mail_file = shop.path("mail/" + mails[0]);
    EXPECT_TRUE(matches_golden(shop.get("mail/" + mails[0]), "order_mail_two_lines_options_charges.txt"));
    const std::string expected_mail = golden("order_mail_two_lines_options_charges.txt");

    const std::vector<MailerRun> runs = shop.mailer_runs();
    ASSERT_EQ(runs.size(), 2u);
    const std::vector<std::string> to_merchant{shop.path("blat.exe"), mail_file, "-s", "\"Order Delivery\"", "-t",
                                               "merchant@shop.example", "-q"};
    EXPECT_EQ(runs[0].argv, to_merchant);
    EXPECT_EQ(runs[0].argv[3].size(), 16u);
    EXPECT_EQ(runs[0].mail, expected_mail);
    // The shopper's copy shows the card masked; its own file is gone once sent.
    std::vector<std::string> to_shopper = to_merchant;
    to_shopper[1] = runs[1].argv[1];
    to_shopper[5] = "ana@example.org";
    EXPECT_EQ(runs[1].argv, to_shopper);
    EXPECT_NE(runs[1].argv[1], mail_file);
    EXPECT_EQ(runs[1].mail, replaced(expected_mail, "\n41111111111111112222\n", "\n****************2222\n"));
    EXPECT_FALSE(std::filesystem::exists(runs[1].argv[1]));

    EXPECT_EQ(shop.get("tavra.cfg"), shop.config_with("1001", "email=on\n"));
    // The card and its expiry leave the basket with the order.
    EXPECT_EQ(shop.basket_file(kBasketName),
              replaced(replaced(replaced(kSampleBasket, "cnum1=41111111111111112222\ncnum2=\nexpmo=05\nexpyr=99\n", ""),
                                "carrier=predetermined\n", "carrier=predetermined\ninvnumber=1001\n"),
                       "state=summarised", "state=ordered"));
    // The card number is cut to 18 characters in the payment record.
    EXPECT_EQ(shop.get("batch/0.imp"), "411111111111111122,0599,P,26.70\n");
    EXPECT_EQ(shop.get("batchcfg.ini"), "[BatchConfig]\nFile=0\nLast=1\n");
    EXPECT_FALSE(shop.exists("errlog.txt"));
}

TEST(Confirm, AdvancesInvoiceNumberAndKeepsTheRestOfTheConfiguration) {
    const struct {
        const char* held;
        const char* shown;
        const char* stored;
    } cases[] = {
        {"1000", "1001", "1001"},
        {"none yet", "1", "1"},
        {"2147483647", "2147483648", "2147483648"},
    };
    for (const auto& c : cases) {
        OrderShop shop;
        // A merchant's file: comments, a blank line and CR LF line ends.
        auto merchant_file = [&shop](const std::string& number) {
            std::string text = shop.config_with(number, "email=off\n");
            text = replaced(text, "[Order Control]", "\n; switches for order mail and tables\n[Order Control]");
            return with_crlf("; Test Shop, edited by hand\n" + text);
        };
        shop.put("tavra.cfg", merchant_file(c.held));
        shop.put_basket(kBasketName, kSampleBasket);
        Reply r = shop.confirm();
        EXPECT_EQ(r.out, kRedirect) << c.held;

        EXPECT_EQ(shop.get("tavra.cfg"), merchant_file(c.stored)) << c.held;
        EXPECT_NE(shop.basket_file(kBasketName).find(std::string("\ninvnumber=") + c.stored + "\n"), std::string::npos)
            << c.held;
        const std::vector<std::string> mails = shop.mail_files();
        ASSERT_EQ(mails.size(), 1u);
        const std::string head = std::string("Tavra Order Processed for Merchant Test Shop\nInvoice Number :") + c.shown +
                                 "\n\nOrdered Items\n";
        EXPECT_EQ(shop.get("mail/" + mails[0]).substr(0, head.size()), head) << c.held;
    }
}

TEST(Confirm, SendsMerchantCopyOnlyWhenSwitchedOnAndShopperCopyFromSixCharacters) {
    const struct {
        const char* order_control;
        const char* shopper_address;
        std::vector<std::string> recipients;
    } cases[] = {
        {"email=on\n", "a@b.c", {"merchant@shop.example"}},
        {"email=On\n", "ab@c.d", {"ab@c.d"}},
        {"", "", {}},
    };
    for (const auto& c : cases) {
        OrderShop shop(c.order_control);
        shop.put_basket(kBasketName, replaced(kSampleBasket, "email=ana@example.org",
                                              std::string("email=") + c.shopper_address));
        Reply r = shop.confirm();
        EXPECT_EQ(r.out, kRedirect) << c.shopper_address;
        EXPECT_EQ(recipients(shop.mailer_runs()), c.recipients) << c.shopper_address;
    }
}

TEST(Confirm, ReportsTheFailedMailerStartAfterTheRedirectAndStillRecordsTheOrder) {
    const std::string not_found = "File or path not found.\n";
    const std::string not_executable =
        "The specified file is not executable or has an invalid executable-file format.\n";
    const std::string busy = "The specified file has a locking or sharing violation.\n";
    const struct {
        const char* what;
        void (*spoil)(const OrderShop&, int& held_fd);
        std::string message;
    } cases[] = {
        {"missing", [](const OrderShop& s, int&) { s.remove("blat.exe"); }, not_found},
        {"no execute bit", [](const OrderShop& s, int&) { chmod(s.path("blat.exe").c_str(), 0644); }, not_executable},
        {"not a program",
         [](const OrderShop& s, int&) {
             s.put("blat.exe", "garbage\n");
             chmod(s.path("blat.exe").c_str(), 0755);
         },
         not_executable},
        {"a folder",
         [](const OrderShop& s, int&) {
             s.remove("blat.exe");
             std::filesystem::create_directory(s.path("blat.exe"));
         },
         not_executable},
        {"open for writing",
         [](const OrderShop& s, int& fd) { fd = open(s.path("blat.exe").c_str(), O_WRONLY | O_CLOEXEC); }, busy},
    };
    for (const auto& c : cases) {
        OrderShop shop("email=on\n");
        shop.put_basket(kBasketName, kSampleBasket);
        int held_fd = -1;
        c.spoil(shop, held_fd);
        Reply r = shop.confirm();
        if (held_fd >= 0) close(held_fd);
        // Both copies fail; one message follows the redirect.
        EXPECT_EQ(r.out, kRedirect + c.message) << c.what;
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(shop.mailer_runs().empty()) << c.what;
        ASSERT_EQ(shop.mail_files().size(), 1u) << c.what;
        EXPECT_EQ(shop.get("mail/" + shop.mail_files()[0]), golden("order_mail_two_lines_options_charges.txt"));
        EXPECT_EQ(shop.get("tavra.cfg"), shop.config_with("1001", "email=on\n")) << c.what;
        EXPECT_EQ(shop.get("batch/0.imp"), "411111111111111122,0599,P,26.70\n") << c.what;
    }
}

TEST(Confirm, NamesEveryCauseOfAFailedMailerStart) {
    // The causes that a test cannot bring about by spoiling the mailer file.
    const std::string too_many =
        "Too many files open (the specified file must be opened to determine whether it is executable).\n";
    const struct {
        int start_errno;
        std::string message;
    } cases[] = {
        {EMFILE, too_many},
        {ENFILE, too_many},
        {ENOTDIR, "File or path not found.\n"},
        {ENOMEM,
         "Not enough memory is available to execute the new process; or the available memory has been corrupted; or "
         "an invalid block exists, indicating that the calling process was not allocated properly.\n"},
        {EPERM, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(mailer_failure_message(c.start_errno), c.message) << c.start_errno;
}

namespace {

// Bytes an exec counts against the room for arguments and environment: each
// string with its terminating zero, one pointer per string, the file name.
std::size_t exec_room_used(const std::string& file, const std::vector<std::string>& argv,
                           const std::vector<std::string>& env) {
    std::size_t used = file.size() + 1;
    for (const auto& s : argv) used += s.size() + 1 + sizeof(void*);
    for (const auto& s : env) used += s.size() + 1 + sizeof(void*);
    return used;
}

}  // namespace

TEST(Confirm, ReportsArgumentsAndEnvironmentTooLargeForTheMailer) {
    SKIP_UNDER_FASTCGI("the environment of the process");
    // The environment is filled so that tavra itself still starts but the
    // mailer, whose argument list is longer by the mail path and the
    // recipient, does not.
    rlimit stack{};
    ASSERT_EQ(getrlimit(RLIMIT_STACK, &stack), 0);
    constexpr std::size_t kMostRoom = 6u << 20, kLeastRoom = 128u << 10, kLongestString = 128u << 10;
    std::size_t room = stack.rlim_cur == RLIM_INFINITY ? kMostRoom : std::min<std::size_t>(stack.rlim_cur / 4, kMostRoom);
    room = std::max(room, kLeastRoom);

    OrderShop shop("");
    const std::string shopper(240, 'x');
    shop.put_basket(kBasketName, replaced(kSampleBasket, "ana@example.org", shopper + "@example.org"));
    const std::string body = form({{"command", "confirm"}, {"basket", kBasketName}});
    std::map<std::string, std::string> env{{"REQUEST_METHOD", "POST"},
                                           {"CONTENT_TYPE", "application/x-www-form-urlencoded"},
                                           {"CONTENT_LENGTH", std::to_string(body.size())}};
    // The mailer gets the environment without the request's variables.
    auto env_list = [&env](bool for_mailer) {
        std::vector<std::string> list;
        for (const auto& [k, v] : env)
            if (!for_mailer || k.rfind("FILL", 0) == 0) list.push_back(k + "=" + v);
        return list;
    };
    const std::string mail_file = shop.path("mail/18446744073709551615.18446744073709551615.mail");
    const std::vector<std::string> mailer_argv{shop.path("blat.exe"), mail_file, "-s", "\"Order Delivery\"",
                                               "-t", shopper + "@example.org", "-q"};
    const std::vector<std::string> tavra_argv{shop.path("tavra.exe")};

    // Filler variables until tavra's start uses the room less half the gap.
    for (int i = 0;; ++i) {
        const std::size_t tavra = exec_room_used(TAVRA_BIN, tavra_argv, env_list(false));
        const std::size_t mailer = exec_room_used(shop.path("blat.exe"), mailer_argv, env_list(true));
        ASSERT_GT(mailer, tavra + 200);
        const std::size_t target = room - (mailer - tavra) / 2;
        if (tavra + 64 >= target) break;
        const std::string name = "FILL" + std::to_string(i);
        const std::size_t value = std::min(kLongestString - 64, target - tavra - name.size() - 2 - sizeof(void*));
        env[name] = std::string(value, 'f');
    }
    Reply r = shop.run("tavra", env, {}, body);
    EXPECT_EQ(r.out, kRedirect + "The space required for the arguments and environment settings exceeds 32K.\n");
    EXPECT_TRUE(shop.mailer_runs().empty());
}

TEST(Confirm, MailFileThatCannotBeCreatedStopsTheOrder) {
    OrderShop shop;
    const std::string config = replaced(shop.get("tavra.cfg"), "/mail/", "/no-such-folder/");
    shop.put("tavra.cfg", config);
    shop.put_basket(kBasketName, kSampleBasket);
    Reply r = shop.confirm();
    EXPECT_EQ(r.out, kErrorPage);
    EXPECT_EQ(r.status, 1);
    const std::string log = shop.get("errlog.txt");
    const std::string message = "Error Message=Could not find " + shop.path("no-such-folder/");
    ASSERT_NE(log.find(message), std::string::npos) << log;
    EXPECT_EQ(log.substr(log.size() - 6), ".mail\n");
    EXPECT_EQ(shop.get("tavra.cfg"), config);
    EXPECT_EQ(shop.basket_file(kBasketName), kSampleBasket);
    EXPECT_FALSE(shop.exists("batchcfg.ini"));
    EXPECT_TRUE(shop.mailer_runs().empty());
}

TEST(Confirm, RefusesABasketNameOutsideTheBasketFolder) {
    OrderShop shop;
    const std::string config = shop.get("tavra.cfg");
    Reply r = shop.confirm("basket/../../tavra.cfg");
    EXPECT_EQ(r.out, kErrorPage);
    EXPECT_NE(shop.get("errlog.txt").find("Error Message=Refused name basket/../../tavra.cfg\n"), std::string::npos);
    EXPECT_EQ(shop.get("tavra.cfg"), config);
    EXPECT_TRUE(shop.mail_files().empty());
    EXPECT_FALSE(shop.exists("batchcfg.ini"));
}

TEST(Confirm, HostileCountsAreCappedInTheMail) {
    OrderShop shop("");
    std::string basket = replaced(kSampleBasket, "[Optional]\nnumfields=2", "[Optional]\nnumfields=2000000000");
    basket = replaced(basket, "[Additional]\nnumfields=6", "[Additional]\nnumfields=2000000000");
    shop.put_basket(kBasketName, basket);
    Reply r = shop.confirm();
    EXPECT_EQ(r.out, kRedirect);
    const std::string mail = shop.get("mail/" + shop.mail_files().at(0));
    const std::string separator(43, '=');
    const std::size_t options = mail.find(separator + "\nGift wrap\n");
    const std::size_t charges = mail.find(separator + "\nExpress handling=5\n");
    ASSERT_NE(options, std::string::npos);
    ASSERT_NE(charges, std::string::npos);
    const std::string option_part = mail.substr(options, charges - options);
    const std::string charge_part = mail.substr(charges);
    const int lines_of_options = static_cast<int>(std::count(option_part.begin(), option_part.end(), '\n')) - 1;
    const int lines_of_charges = static_cast<int>(std::count(charge_part.begin(), charge_part.end(), '\n')) - 1;
    EXPECT_EQ(lines_of_options, limits::kMaxCountedEntries);
    EXPECT_EQ(lines_of_charges, (limits::kMaxCountedEntries + 2) / 3);
}

// The relay: the shopper's address is any a stranger typed, and the basket
// holds as much text as the caps allow (here far more, written directly, as a
// basket from before the caps could). The merchant's copy is the whole order;
// the copy to the typed address is at most 64 KiB of whole lines, with the
// card masked although no switch asks for it.
TEST(Confirm, TheShopperCopyIsMaskedAndBounded) {
    OrderShop shop("email=on\n");
    std::string options;
    for (int i = 1; i <= 3700; ++i) options += "option" + std::to_string(i) + "=" + std::string(250, 'o') + "\n";
    std::string basket = replaced(kSampleBasket, "[Optional]\nnumfields=2\n", "[Optional]\nnumfields=3700\n" + options);
    basket = replaced(basket, "email=ana@example.org", "email=victim@elsewhere.example");
    shop.put_basket(kBasketName, basket);
    EXPECT_EQ(shop.confirm().out, kRedirect);
    const std::vector<MailerRun> runs = shop.mailer_runs();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[1].argv[5], "victim@elsewhere.example");
    const std::string& whole = runs[0].mail;
    const std::string& copy = runs[1].mail;
    EXPECT_GT(whole.size(), 900000u);
    EXPECT_LE(copy.size(), 65536u);
    EXPECT_GT(copy.size(), 65536u - 260u);
    EXPECT_EQ(copy.back(), '\n');
    EXPECT_NE(whole.find("\n41111111111111112222\n"), std::string::npos);
    EXPECT_EQ(copy.find("41111111111111112222"), std::string::npos);
    EXPECT_NE(copy.find("\n****************2222\n"), std::string::npos);
    const std::size_t card = whole.find("\n41111111111111112222\n");
    EXPECT_EQ(whole.substr(0, card), copy.substr(0, card));
    EXPECT_EQ(shop.mail_files().size(), 1u);  // the copy's own file is gone
}

TEST(Confirm, ConcurrentOrdersGetDistinctNumbersAndEveryPaymentRecord) {
    constexpr int kOrders = 6;
    OrderShop shop("tables=on\ncustomer=customers.csv\norder=orders.csv\nshipment=shipments.csv\n");
    shop.put("batchcfg.ini", "[BatchConfig]\nFile=3\nLast=449\n");
    const std::string baskets[kOrders] = {"basket/1.2", "basket/3.4", "basket/5.6",
                                          "basket/7.8", "basket/9.10", "basket/11.12"};
    for (const auto& b : baskets) shop.put_basket(b, kSampleBasket);

    std::vector<std::thread> runs;
    std::vector<Reply> replies(kOrders);
    for (int i = 0; i < kOrders; ++i)
        runs.emplace_back([&, i] { replies[static_cast<std::size_t>(i)] = shop.confirm(baskets[i]); });
    for (auto& t : runs) t.join();
    for (const Reply& r : replies) EXPECT_EQ(r.out, kRedirect);

    std::set<std::string> shown;
    for (const std::string& name : shop.mail_files()) {
        const std::string mail = shop.get("mail/" + name);
        const std::size_t at = mail.find("Invoice Number :") + 16;
        shown.insert(mail.substr(at, mail.find('\n', at) - at));
    }
    EXPECT_EQ(shown, (std::set<std::string>{"1001", "1002", "1003", "1004", "1005", "1006"}));
    EXPECT_EQ(shop.get("tavra.cfg"), shop.config_with("1006", "tables=on\ncustomer=customers.csv\norder=orders."
                                                              "csv\nshipment=shipments.csv\n"));
    std::set<std::string> exported;
    for (const auto& row : read_csv(shop.get("customers.csv"))) exported.insert(row.at(0));
    EXPECT_EQ(exported, (std::set<std::string>{"1001", "1002", "1003", "1004", "1005", "1006"}));
    EXPECT_EQ(read_csv(shop.get("orders.csv")).size(), 2u * kOrders);
    for (const auto& b : baskets) EXPECT_NE(shop.basket_file(b).find("state=ordered"), std::string::npos) << b;

    // Records 450 and 451 fill file 3; the other four begin file 4.
    const std::string record = "411111111111111122,0599,P,26.70\n";
    EXPECT_EQ(shop.get("batch/3.imp"), record + record);
    EXPECT_EQ(shop.get("batch/4.imp"), record + record + record + record);
    EXPECT_EQ(shop.get("batchcfg.ini"), "[BatchConfig]\nFile=4\nLast=4\n");
}
