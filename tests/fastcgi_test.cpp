// Long-lived FastCGI processes: requests of two checkouts, and of two shops,
// taken in turn by the same processes, each answered as if it were alone;
// and a process that goes on serving after every kind of failed request.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "fastcgi_client.h"
#include "order_shop.h"

namespace {

using Fields = std::vector<std::pair<std::string, std::string>>;

const std::string kRedirect = kSafetyHeaders + "Location: http://shop.example/thanks.html\n\n";

// A browser of its own: it sends the checkout cookie its own replies set.
struct Browser {
    const Install& shop;
    std::string cookie;

    Reply post(const Fields& fields, const std::string& program = "tavra") {
        const std::string body = form(fields);
        Reply r = shop.run(program,
                           {{"REQUEST_METHOD", "POST"},
                            {"CONTENT_TYPE", "application/x-www-form-urlencoded"},
                            {"CONTENT_LENGTH", std::to_string(body.size())},
                            {"HTTP_COOKIE", cookie}},
                           {}, body);
        const std::string set = "Set-Cookie: ";
        if (r.out.compare(0, set.size(), set) == 0) cookie = r.out.substr(set.size(), r.out.find(';') - set.size());
        EXPECT_EQ(r.status, 1) << body << "\n" << r.out;
        return r;
    }
};

// One shopper's checkout, step by step, with details of their own.
struct Shopper {
    Browser browser;
    std::string basket, name, item;

    Reply step(int n) {
        const Fields each = {{"basket", basket}, {"where", "page.html"}};
        Fields fields;
        switch (n) {
            case 0:
                fields = {{"command", "add2basket"}, {"qty", "2"},    {"name", item},
                          {"item", item},            {"price", "3"}, {"ship", "0.50"}};
                break;
            case 1:
                fields = {{"command", "step1"}, {"fname", name}, {"lname", "Shopper"}, {"city", name + "ville"},
                          {"email", name + "@example.org"}};
                break;
            case 2:
                fields = {{"command", "step2"}, {"paytype", "card"}, {"cname", name}, {"cnum1", "4111111111111111"},
                          {"expmo", "05"},      {"expyr", "29"}};
                break;
            case 3:
                fields = {{"command", "step3"}, {"option", "1"}, {"option1", name + " wrap"}};
                break;
            case 4:
                fields = {{"command", "step4"}, {"agent", "predetermined"}, {"carrier", "predetermined"}};
                break;
            default:
                fields = {{"command", "confirm"}};
        }
        fields.insert(fields.begin(), each.begin(), each.end());
        return browser.post(fields, "tavra");
    }
};

TEST(LongLivedProcesses, TwoCheckoutsTakenInTurnKeepEachShoppersOwn) {
    OrderShop shop("email=on\n");
    shop.fastcgi = true;
    shop.put("web/page.html", "<html>\nBasket {SHOPPER}\n");
    Shopper ana{{shop, ""}, "basket/t.bsk", "Ana", "Mug"};
    Shopper bo{{shop, ""}, "basket/100.350.bsk", "Bo", "Tea"};
    const std::vector<pid_t> serving = shop.fastcgi_pool("tavra").processes();
    for (int n = 0; n <= 5; ++n) {
        const Reply a = ana.step(n), b = bo.step(n);
        if (n == 4) {
            EXPECT_NE(a.out.find("Mug"), std::string::npos);
            EXPECT_EQ(a.out.find("Tea"), std::string::npos);
            EXPECT_NE(b.out.find("Tea"), std::string::npos);
            EXPECT_EQ(b.out.find("Mug"), std::string::npos);
        }
        if (n == 5) {
            EXPECT_EQ(a.out, kRedirect);
            EXPECT_EQ(b.out, kRedirect);
        }
    }
    EXPECT_EQ(shop.fastcgi_pool("tavra").processes(), serving) << "one process served every request";
    EXPECT_NE(ana.browser.cookie, bo.browser.cookie);

    // One mail to each shopper and each to the merchant, with that order alone.
    std::map<std::string, std::string> mail_to;
    for (const MailerRun& run : shop.mailer_runs()) mail_to[run.argv.at(5)] += run.mail;
    ASSERT_EQ(mail_to.size(), 3u);
    for (const auto& [mine, theirs] : {std::pair{"Ana", "Bo"}, std::pair{"Bo", "Ana"}}) {
        const std::string& mail = mail_to[std::string(mine) + "@example.org"];
        EXPECT_NE(mail.find(std::string(mine) + " wrap"), std::string::npos) << mail;
        EXPECT_EQ(mail.find(std::string(theirs) + " wrap"), std::string::npos) << mail;
    }
    const std::string& merchant = mail_to["merchant@shop.example"];
    EXPECT_NE(merchant.find("Invoice Number :1001"), std::string::npos) << merchant;
    EXPECT_NE(merchant.find("Invoice Number :1002"), std::string::npos) << merchant;
}

TEST(LongLivedProcesses, TwoShopsTakenInTurnEachAnswerFromTheirOwnFiles) {
    Install shops[2];
    const char* const names[2] = {"First Shop", "Second Shop"};
    std::string configs[2];
    for (int i = 0; i < 2; ++i) {
        shops[i].fastcgi = true;
        configs[i] = shops[i].default_config();
        configs[i].replace(configs[i].find("Test Shop"), 9, names[i]);
        shops[i].put("tavra.cfg", configs[i]);
        shops[i].put("web/page.html", std::string("<html>\n") + names[i] + " {SHOPPER}\n");
    }
    for (int round = 0; round < 3; ++round)
        for (int i = 0; i < 2; ++i) {
            const Install& shop = shops[i];
            // The second shop's merchant takes the tax out after the first
            // round: the process must not keep the one it read before.
            const bool taxed = i == 0 || round == 0;
            if (i == 1 && round == 1) shop.put("tavra.cfg", configs[i].erase(configs[i].find("tax=0.08\n"), 9));
            const Reply info = shop.get_words({"info"});
            EXPECT_NE(info.out.find(std::string("Merchant Name is ") + names[i]), std::string::npos) << info.out;
            EXPECT_NE(info.out.find(taxed ? "Applicable Tax is 0.08<br>" : "Applicable Tax is <br>"), std::string::npos)
                << info.out;
            const Reply added = shop.post(form({{"command", "add2basket"}, {"basket", "basket/t.bsk"},
                                                {"where", "page.html"}, {"qty", "1"}, {"name", names[i]},
                                                {"item", std::to_string(round)}, {"price", "1"}, {"ship", "0"}}));
            EXPECT_NE(added.out.find(std::string(names[i]) + " basket/t.bsk"), std::string::npos) << added.out;
        }
    for (int i = 0; i < 2; ++i) {
        const std::string basket = shops[i].get("baskets/basket/t.bsk");
        EXPECT_NE(basket.find("NumKeys=3\n"), std::string::npos) << basket;
        EXPECT_EQ(basket.find(names[1 - i]), std::string::npos) << basket;
    }
    EXPECT_NE(shops[0].fastcgi_pool("tavra").processes(), shops[1].fastcgi_pool("tavra").processes());
}

// After each failed request the same process answers the next one whole.
TEST(LongLivedProcesses, EveryKindOfFailureLeavesTheProcessServing) {
    Install shop;
    shop.fastcgi = true;
    shop.put("web/page.html", "<html>\nPage {SHOPPER}\n");
    const auto good = [&shop] {
        const Reply r = shop.post(form({{"command", "goto"}, {"basket", "basket/t.bsk"}, {"where", "page.html"}}));
        return r.status == 1 && r.out.rfind(kHeader + "</pre>\nPage basket/t.bsk\n", 0) == 0;
    };
    const std::vector<pid_t> serving = shop.fastcgi_pool("tavra").processes();
    const std::string config = shop.get("tavra.cfg");
    struct Failure {
        const char* what;
        std::map<std::string, std::string> env;
        std::string body;
        int status;
    } failures[] = {
        {"a body that is no form", {{"CONTENT_TYPE", "application/x-www-form-urlencoded"}}, "a=%zz&b", 1},
        {"a body of another type", {{"CONTENT_TYPE", "text/plain"}}, "command=goto", 1},
        {"a body shorter than announced", {{"CONTENT_TYPE", "application/x-www-form-urlencoded"},
                                           {"CONTENT_LENGTH", "100000"}}, "command=goto", 1},
        {"a body too long to take", {{"CONTENT_TYPE", "application/x-www-form-urlencoded"},
                                     {"CONTENT_LENGTH", "99999999999"}}, "command=goto", 1},
        {"a refused basket name", {{"CONTENT_TYPE", "application/x-www-form-urlencoded"}},
         "command=goto&where=page.html&basket=../../tavra.cfg", 1},
        {"a method nobody answers", {{"REQUEST_METHOD", "HEAD"}}, "", 255},
        {"a missing configuration", {{"CONTENT_TYPE", "application/x-www-form-urlencoded"}}, "command=goto", 1},
    };
    for (const Failure& f : failures) {
        SCOPED_TRACE(f.what);
        std::map<std::string, std::string> env = {{"REQUEST_METHOD", "POST"},
                                                  {"CONTENT_LENGTH", std::to_string(f.body.size())}};
        for (const auto& [k, v] : f.env) env[k] = v;
        if (std::string(f.what) == "a missing configuration") shop.remove("tavra.cfg");
        EXPECT_EQ(shop.run("tavra", env, {}, f.body).status, f.status);
        shop.put("tavra.cfg", config);
        EXPECT_TRUE(good());
    }
    EXPECT_EQ(shop.fastcgi_pool("tavra").processes(), serving);
}

// The processes a keeper started, as the kernel lists them.
std::vector<pid_t> children_of(pid_t keeper) {
    std::ifstream list("/proc/" + std::to_string(keeper) + "/task/" + std::to_string(keeper) + "/children");
    std::vector<pid_t> found;
    for (pid_t pid; list >> pid;) found.push_back(pid);
    return found;
}

// Waits up to two seconds for `done`.
bool soon(const std::function<bool()>& done) {
    for (int i = 0; i < 200; ++i) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

TEST(WorkerPool, SharesTheSocketReplacesAWorkerThatDiesAndStopsWhole) {
    Install shop;
    shop.put("web/page.html", "<html>\nPage {SHOPPER}\n");
    TempFolder sockets("tavra-pool");
    const std::string socket = sockets.path("tavra.sock");
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socket.c_str(), socket.size() + 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 64), 0);

    // Started as a spawner starts it: the socket on standard input.
    std::string program = shop.root() + "/tavra.exe", workers = "TAVRA_FASTCGI_WORKERS=3";
    const pid_t keeper = fork();
    ASSERT_GE(keeper, 0);
    if (keeper == 0) {
        dup2(listener, 0);
        if (chdir("/") != 0) _exit(127);
        char* argv[] = {program.data(), nullptr};
        char* envp[] = {workers.data(), nullptr};
        execve(TAVRA_BIN, argv, envp);
        _exit(127);
    }
    ::close(listener);
    const std::string body = "command=goto&basket=basket/t.bsk&where=page.html";
    const std::vector<std::pair<std::string, std::string>> post = {
        {"REQUEST_METHOD", "POST"},
        {"CONTENT_TYPE", "application/x-www-form-urlencoded"},
        {"CONTENT_LENGTH", std::to_string(body.size())}};
    const auto answered = [&] {
        const FastcgiReply r = fastcgi_request(socket, post, body);
        return r.status == 1 && r.out.find("Page basket/t.bsk\n") != std::string::npos;
    };

    ASSERT_TRUE(soon([&] { return children_of(keeper).size() == 3; }));
    for (int i = 0; i < 6; ++i) EXPECT_TRUE(answered());
    const std::vector<pid_t> first = children_of(keeper);
    kill(first[0], SIGKILL);
    EXPECT_TRUE(soon([&] {
        const auto now = children_of(keeper);
        return now.size() == 3 && std::find(now.begin(), now.end(), first[0]) == now.end();
    })) << "a worker that died is replaced";
    for (int i = 0; i < 6; ++i) EXPECT_TRUE(answered());

    const std::vector<pid_t> last = children_of(keeper);
    kill(keeper, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(keeper, &status, 0), keeper);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    for (pid_t pid : last) EXPECT_NE(kill(pid, 0), 0) << "worker " << pid << " outlived its keeper";
}

}  // namespace
