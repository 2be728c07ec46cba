// tavra-shop run as a merchant would: the layout create makes, clean on old,
// empty and busy baskets, set racing confirmations, and check on a shop
// with planted faults.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <set>
#include <thread>

#include "order_shop.h"
#include "tool_run.h"

namespace fs = std::filesystem;

namespace {

TEST(ShopTool, CreateLaysOutAPrivateShopOnceAndRegistersIt) {
    if (geteuid() != 0) GTEST_SKIP() << "create gives the shop to www-data only when run by root";
    ToolShop t;
    Reply made = t.create(" --url http://127.0.0.1:8080/shop");
    ASSERT_EQ(made.status, 0) << made.out;
    EXPECT_NE(made.out.find(t.shop() + "/server/nginx.conf"), std::string::npos) << made.out;

    struct Expected {
        const char* path;
        const char* owner;
        unsigned mode;  // permission bits; 0 for a link
    };
    const Expected layout[] = {
        {"", "root", 0755},           {"cgi-bin", "root", 01770},         {"cgi-bin/tavra.cfg", "www-data", 0600},
        {"cgi-bin/tavra.exe", "root", 0}, {"cgi-bin/ship.exe", "root", 0}, {"cgi-bin/blat.exe", "root", 0},
        {"web/index.html", "root", 0644}, {"pages/items.ini", "root", 0644}, {"styles/card.sty", "root", 0644},
        {"data", "www-data", 0700},   {"data/baskets/basket", "www-data", 0700}, {"data/mail", "www-data", 0700},
        {"data/batch", "www-data", 0700}, {"data/exports", "www-data", 0700}, {"server/apache.conf", "root", 0644},
    };
    const passwd* server_user = getpwnam("www-data");
    ASSERT_NE(server_user, nullptr);
    const uid_t www = server_user->pw_uid;
    for (const Expected& e : layout) {
        struct stat st {};
        const std::string path = t.shop() + (*e.path ? "/" : "") + e.path;
        ASSERT_EQ(lstat(path.c_str(), &st), 0) << e.path;
        EXPECT_EQ(st.st_uid, std::string(e.owner) == "root" ? 0u : www) << e.path;
        if (e.mode) EXPECT_EQ(st.st_mode & 07777, e.mode) << e.path;
        else EXPECT_TRUE(S_ISLNK(st.st_mode)) << e.path;
    }
    EXPECT_EQ(fs::read_symlink(t.shop() + "/cgi-bin/blat.exe"), t.root() + "/programs/mailer");

    const std::string cfg = read_file(t.shop() + "/cgi-bin/tavra.cfg");
    EXPECT_NE(cfg.find("\nthanks=http://127.0.0.1:8080/shop/thanks.html\n"), std::string::npos) << cfg;
    EXPECT_NE(cfg.find("\nbasketdir=" + t.shop() + "/data/baskets/\n"), std::string::npos) << cfg;
    for (const char* server : {"apache", "nginx", "lighttpd"}) {
        const std::string snippet = read_file(t.shop() + "/server/" + server + ".conf");
        EXPECT_EQ(snippet.find('@'), std::string::npos) << server << ": " << snippet;
        EXPECT_NE(snippet.find(t.shop()), std::string::npos) << server;
    }
    EXPECT_EQ(read_file(t.root() + "/registry/shops"), t.shop() + "\n");

    // The shop as laid out is whole; a second create leaves it alone.
    Reply checked = tool("check " + t.shop());
    EXPECT_EQ(checked.status, 0) << checked.out;
    Reply again = t.create();
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.out.find("already holds a shop"), std::string::npos) << again.out;
    EXPECT_EQ(read_file(t.shop() + "/cgi-bin/tavra.cfg"), cfg);

    // Refused command lines write nothing.
    for (const char* refused : {" --url ftp://x/", " --user nobody-here", " --url http:///"}) {
        ToolShop other;
        EXPECT_NE(other.create(refused).status, 0) << refused;
        EXPECT_FALSE(fs::exists(other.shop())) << refused;
    }
}

// The clean-up's sandbox opens exactly the data folders of the registered
// shops, in the registry's order; a shop kept out of the registry stays shut.
TEST(ShopTool, TheCleanUpMayWriteTheRegisteredShopsDataFoldersOnly) {
    ToolShop t;
    const std::string second = t.root() + "/second";
    ASSERT_EQ(t.create().status, 0);
    ASSERT_EQ(tool("create " + t.root() + "/unlisted --no-register" + t.places()).status, 0);
    Reply made = tool("create " + second + t.places());
    ASSERT_EQ(made.status, 0) << made.out;
    EXPECT_EQ(read_file(t.root() + "/registry/tavra-clean.service.d/shops.conf"),
              "# Written by tavra-shop create from the registered shops: the daily\n"
              "# clean-up may write their data folders and nothing else.\n"
              "[Service]\n"
              "ReadWritePaths=-" + t.shop() + "/data\n"
              "ReadWritePaths=-" + second + "/data\n");
}

TEST(ShopTool, CleanRemovesOldEmptyAndLeftoverBasketsButNoneInUse) {
    ToolShop t;
    ASSERT_EQ(t.create(" --no-register").status, 0);
    const std::string folder = t.shop() + "/data/baskets/basket/";
    const auto days_ago = [](double days) {
        return fs::file_time_type::clock::now() - std::chrono::seconds(static_cast<long long>(days * 86400));
    };
    struct Planted {
        const char* name;
        const char* content;
        double age_days;
        bool locked;
        bool removed;
    } baskets[] = {
        {"old.bsk", "[Basket]\nNumKeys=1\n", 31, false, true},
        {"recent.bsk", "[Basket]\nNumKeys=1\n", 29, false, false},
        {"empty-old.bsk", "", 2, false, true},
        {"empty-new.bsk", "", 0.5, false, false},
        {"busy-old.bsk", "[Basket]\nNumKeys=2\n", 40, true, false},
        {".old.bsk.123.tmp", "[Bas", 2, false, true},
    };
    std::vector<int> held;
    struct stat server {};  // baskets are the server user's, as the programs write them
    ASSERT_EQ(stat(folder.c_str(), &server), 0);
    for (const Planted& p : baskets) {
        write_file(folder + p.name, p.content);
        ASSERT_EQ(chown((folder + p.name).c_str(), server.st_uid, server.st_gid), 0);
        fs::last_write_time(folder + p.name, days_ago(p.age_days));
        if (p.locked) {
            held.push_back(open((folder + p.name).c_str(), O_RDONLY));
            ASSERT_EQ(flock(held.back(), LOCK_EX), 0);
        }
    }
    Reply r = tool("clean " + t.shop());
    EXPECT_EQ(r.status, 0) << r.out;
    for (const Planted& p : baskets) {
        EXPECT_EQ(fs::exists(folder + p.name), !p.removed) << p.name << "\n" << r.out;
        EXPECT_EQ(r.out.find(folder + p.name) != std::string::npos, p.removed) << p.name << "\n" << r.out;
    }
    EXPECT_NE(r.out.find("3 basket files removed, 1 in use kept"), std::string::npos) << r.out;
    for (int fd : held) close(fd);

    // --days counts from the option; a count that is not one is refused.
    EXPECT_EQ(tool("clean " + t.shop() + " --days 20").status, 0);
    EXPECT_FALSE(fs::exists(folder + "recent.bsk"));
    EXPECT_FALSE(fs::exists(folder + "busy-old.bsk"));
    EXPECT_TRUE(fs::exists(folder + "empty-new.bsk"));
    for (const char* days : {"0", "-3", "2x", "999999"}) EXPECT_EQ(tool("clean " + t.shop() + " --days " + days).status, 2);
}

TEST(ShopTool, SetRacingConfirmationsNeverRepeatsAnInvoiceNumber) {
    OrderShop shop;
    shop.remove("blat.exe");  // confirmations go on without mail to anyone
    // An order is made once per summary: each confirmation has a summarised
    // basket of its own.
    for (int b = 0; b < 100; ++b) shop.put_basket("basket/race." + std::to_string(b), kSampleBasket);
    // The tool finds tavra.cfg in DIR/cgi-bin/, and follows no link there:
    // the confirmations run from that folder, with the test shop's files.
    const TempFolder folder("tavra-set-test");
    const std::string& dir = folder.root();
    fs::create_directories(dir + "/shop/cgi-bin");
    fs::copy_file(shop.path("tavra.cfg"), dir + "/shop/cgi-bin/tavra.cfg");
    const auto confirm = [&](const std::string& basket) {
        const std::string body = form({{"command", "confirm"}, {"basket", basket}});
        Program p;
        p.binary = TAVRA_BIN;
        p.args = {dir + "/shop/cgi-bin/tavra.exe"};
        p.env = {"REQUEST_METHOD=POST", "CONTENT_TYPE=application/x-www-form-urlencoded",
                 "CONTENT_LENGTH=" + std::to_string(body.size())};
        p.dir = dir + "/shop/cgi-bin";
        p.input = body;
        return run_program(p);
    };

    std::atomic<bool> done{false};
    std::atomic<int> confirmed{0}, sets{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < 4; ++w)
        workers.emplace_back([&, w] {
            for (int n = 0; n < 25; ++n) {
                Reply r = confirm("basket/race." + std::to_string(w * 25 + n));
                if (r.status == 1 && r.out.find("Location: ") != std::string::npos) ++confirmed;
            }
        });
    std::thread merchant([&] {
        for (int n = 0; !done; ++n) {
            Reply r = tool("set " + dir + "/shop 'Program Config' name 'Shop " + std::to_string(n) + "'");
            if (r.status == 0) ++sets;
            else ADD_FAILURE() << r.out;
        }
    });
    for (std::thread& t : workers) t.join();
    done = true;
    merchant.join();
    ASSERT_GT(sets, 1);
    EXPECT_EQ(confirmed, 100);

    Reply last = tool("get " + dir + "/shop 'Program Config' invnumber");
    EXPECT_EQ(last.out, std::to_string(1000 + confirmed) + "\n");
    std::set<int> invoices;
    for (const std::string& mail : shop.mail_files()) {
        const std::string text = shop.get("mail/" + mail);
        const std::size_t at = text.find("\nInvoice Number :");
        ASSERT_NE(at, std::string::npos);
        EXPECT_TRUE(invoices.insert(std::stoi(text.substr(at + 17))).second) << "invoice issued twice";
    }
    EXPECT_EQ(static_cast<int>(invoices.size()), confirmed.load());
}

// The user create gave the shop to.
std::string accounts_name(const std::string& shop) {
    struct stat st {};
    stat((shop + "/cgi-bin/tavra.cfg").c_str(), &st);
    const passwd* owner = getpwuid(st.st_uid);
    return owner ? owner->pw_name : "?";
}

TEST(ShopTool, CheckReportsEachPlantedFault) {
    ToolShop t;
    ASSERT_EQ(t.create(" --no-register").status, 0);
    const std::string shop = t.shop();
    const std::string tool_shop = "set " + shop + " 'Program Config' ";
    ASSERT_EQ(tool(tool_shop + "thanks shop.example/thanks.html").status, 0);
    ASSERT_EQ(tool(tool_shop + "tax 8%").status, 0);
    std::string page = read_file(shop + "/pages/shop.html");
    write_file(shop + "/pages/shop.html", page + "{ITEM=999}\n");
    std::string items = read_file(shop + "/pages/items.ini");
    write_file(shop + "/pages/items.ini", items + "\n[777]\nname=Bad\nprice=4,50\nstyle=nosuch\n");
    write_file(shop + "/pages/wizard.html", read_file(shop + "/pages/wizard.html") + "{ITEM=777}\n");
    fs::remove(shop + "/cgi-bin/blat.exe");
    fs::remove_all(shop + "/data/batch");
    fs::permissions(shop + "/data/mail", fs::perms(0500));

    Reply r = tool("check " + shop);
    EXPECT_EQ(r.status, 1);
    for (const std::string& fault : std::vector<std::string>{"thanks=shop.example/thanks.html: not an absolute address",
                              "tax=8%: not a plain decimal",
                              "shop.html line ",
                              "{ITEM=999} names no item",
                              "[777] price=4,50 is not a plain decimal",
                              "needs the style sheet " ,
                              "nosuch.sty",
                              "cgi-bin/blat.exe: the mailer is missing",
                              "/data/batch/: no such folder",
                              "/data/mail/: " + accounts_name(shop) + " cannot write it"})
        EXPECT_NE(r.out.find(fault), std::string::npos) << fault << "\n" << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 8) << r.out;
}

}  // namespace

namespace {

TEST(ShopTool, SetRefusesWhatCannotStandInTheFileAndChangesNothing) {
    ToolShop t;
    ASSERT_EQ(t.create(" --no-register").status, 0);
    const std::string cfg = read_file(t.shop() + "/cgi-bin/tavra.cfg");
    const std::string shop = t.shop();
    const std::string refused[] = {
        "'Program Config' name \"$(printf 'two\\nlines')\"",  // a second line would set another key
        "'Program Config' 'na=me' x",
        "'Pro]gram' name x",
        "'' name x",
        "'Program Config' name " + std::string(300, 'x'),
    };
    for (const std::string& words : refused) {
        EXPECT_EQ(tool("set " + shop + " " + words).status, 1) << words;
        EXPECT_EQ(read_file(shop + "/cgi-bin/tavra.cfg"), cfg) << words;
    }
    EXPECT_EQ(tool("set " + t.root() + "/nothing 'Program Config' name x").status, 1);
    EXPECT_FALSE(fs::exists(t.root() + "/nothing"));
    EXPECT_EQ(tool("get " + shop + " 'Program Config' nosuchkey").status, 1);
    Reply name = tool("get " + shop + " 'program config' NAME");
    EXPECT_EQ(name.out, "The Little Tea Shop\n");
}

}  // namespace
