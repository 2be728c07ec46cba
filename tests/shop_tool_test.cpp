// tavra-shop run as a merchant would: the layout create makes, clean on old,
// empty and busy baskets, set racing confirmations, check on a shop with
// planted faults, and the orders of a shop's tables.
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
#include <regex>
#include <set>
#include <thread>

#include "order_shop.h"
#include "request/command_words.h"
#include "shop_tool/fastcgi.h"
#include "shop_tool/page_check.h"
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

// A shop's folder named as the service manager escapes a path, checked
// against systemd-escape --path.
TEST(ShopTool, FastcgiUnitsNameTheShopAsTheServiceManagerEscapesIt) {
    const std::pair<const char*, const char*> rows[] = {
        {"/srv/shop", "srv-shop"},
        {"/srv/a+b@c_d.e:f", "srv-a\\x2bb\\x40c_d.e:f"},
        {"/tmp/24d-try/my-shop", "tmp-24d\\x2dtry-my\\x2dshop"},
        {"/srv//s/", "srv-s"},
        {"/x/.y", "x-.y"},
        {"/.y", "\\x2ey"},
    };
    for (const auto& [shop, instance] : rows) EXPECT_EQ(shop_tool::unit_instance(shop), instance) << shop;
}

// create --fastcgi adds the FastCGI snippets beside the CGI ones, the
// sockets' folder, and the drop-ins that give each program's socket and
// service to the shop's user; the snippets pass to the very sockets the
// package's units listen on, and the units with their drop-ins are sound
// for the service manager.
TEST(ShopTool, CreateFastcgiGivesEachProgramsSocketAndServiceToTheShopsUser) {
    ToolShop t;
    const std::string user = geteuid() == 0 ? "www-data" : getpwuid(geteuid())->pw_name;
    Reply made = t.create(" --fastcgi --url http://127.0.0.1:8080/tea/");
    ASSERT_EQ(made.status, 0) << made.out;
    const std::string instance = shop_tool::unit_instance(t.shop());
    const std::string quoted = instance.find('\\') == std::string::npos ? "" : "'";
    EXPECT_NE(made.out.find("systemctl enable --now " + quoted + "tavra-fcgi@" + instance + ".socket" + quoted + " " +
                            quoted + "tavra-ship-fcgi@" + instance + ".socket" + quoted + "\n"),
              std::string::npos) << made.out;
    struct stat st {};
    ASSERT_EQ(lstat((t.shop() + "/fcgi").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);

    const std::string sockets[] = {t.shop() + "/fcgi/tavra.sock", t.shop() + "/fcgi/ship.sock"};
    const std::pair<const char*, std::string> passes[] = {
        {"nginx", "fastcgi_pass unix:" + sockets[0] + ";"},
        {"nginx", "fastcgi_pass unix:" + sockets[1] + ";"},
        {"apache", "\"unix:" + sockets[0] + "|fcgi://localhost/\""},
        {"apache", "\"unix:" + sockets[1] + "|fcgi://localhost/\""},
        {"lighttpd", "\"socket\" => \"" + sockets[0] + "\""},
        {"lighttpd", "\"socket\" => \"" + sockets[1] + "\""},
    };
    for (const auto& [server, pass] : passes) {
        const std::string snippet = read_file(t.shop() + "/server/" + server + "-fastcgi.conf");
        EXPECT_NE(snippet.find(pass), std::string::npos) << server << " lacks " << pass;
        EXPECT_FALSE(std::regex_search(snippet, std::regex("@[A-Z_]+@"))) << server << ": " << snippet;
        EXPECT_NE(snippet.find("tavra-fcgi@" + instance + ".socket"), std::string::npos) << server;
    }

    // The units as the package installs them, instantiated for this shop
    // beside the drop-ins create wrote.
    const std::string units = t.root() + "/units";
    fs::create_directories(units);
    std::vector<std::string> unit_files;
    for (const char* unit : {"tavra-fcgi", "tavra-ship-fcgi"})
        for (const char* kind : {".socket", ".service"}) {
            const std::string name = std::string(unit) + "@" + instance + kind;
            const std::string settings = read_file(t.root() + "/registry/" + name + ".d/shop.conf");
            EXPECT_NE(settings.find(std::string(kind) == ".socket" ? "\nSocketUser=" + user + "\n"
                                                                     : "\nUser=" + user + "\n"),
                      std::string::npos) << name << ": " << settings;
            fs::copy_file(std::string(UNITS_DIR) + "/" + unit + "@" + kind, units + "/" + name);
            fs::create_directories(units + "/" + name + ".d");
            write_file(units + "/" + name + ".d/shop.conf", settings);
            unit_files.push_back(units + "/" + name);
        }
    // Each socket unit listens where the snippets pass, for this shop.
    for (std::size_t i = 0; i < 2; ++i) {
        const std::string socket_unit = read_file(unit_files[i * 2]);
        std::smatch listen;
        ASSERT_TRUE(std::regex_search(socket_unit, listen, std::regex("\nListenStream=%f(/[^\n]*)\n")));
        EXPECT_EQ(t.shop() + listen[1].str(), sockets[i]);
    }
    if (std::system("command -v systemd-analyze >/dev/null") == 0) {
        Program verify;
        verify.binary = "/bin/sh";
        verify.args = {"sh", "-c", "systemd-analyze verify --man=no \"$@\" 2>&1", "sh"};
        verify.args.insert(verify.args.end(), unit_files.begin(), unit_files.end());
        verify.env = own_environment();
        verify.dir = ".";
        EXPECT_EQ(run_program(verify).out, "") << "systemd-analyze verify finds faults in the units";
    }

    // The CGI way stays the default; --no-register writes no unit settings.
    ToolShop plain;
    ASSERT_EQ(plain.create(" --no-register").status, 0);
    EXPECT_FALSE(fs::exists(plain.shop() + "/fcgi"));
    EXPECT_FALSE(fs::exists(plain.shop() + "/server/nginx-fastcgi.conf"));
    ToolShop unregistered;
    Reply by_hand = unregistered.create(" --no-register --fastcgi");
    ASSERT_EQ(by_hand.status, 0) << by_hand.out;
    EXPECT_NE(by_hand.out.find("spawn-fcgi -s " + unregistered.shop() + "/fcgi/tavra.sock -M 0600"), std::string::npos);
    EXPECT_FALSE(fs::exists(unregistered.root() + "/registry"));

    // A socket path longer than a socket address holds is refused first.
    ToolShop deep;
    const std::string long_shop = deep.root() + "/" + std::string(100, 's');
    Reply refused = tool("create " + long_shop + " --fastcgi" + deep.places());
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.out.find("longer than the 107 characters"), std::string::npos) << refused.out;
    EXPECT_FALSE(fs::exists(long_shop));
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
    const int tag_line = static_cast<int>(std::count(page.begin(), page.end(), '\n')) + 1;
    std::string items = read_file(shop + "/pages/items.ini");
    write_file(shop + "/pages/items.ini", items + "\n[777]\nname=Bad\nprice=4,50\nstyle=nosuch\n");
    const int item_line = static_cast<int>(std::count(items.begin(), items.end(), '\n')) + 4;
    write_file(shop + "/pages/wizard.html", read_file(shop + "/pages/wizard.html") + "{ITEM=777}\n");
    fs::remove(shop + "/cgi-bin/blat.exe");
    fs::remove_all(shop + "/data/batch");
    fs::permissions(shop + "/data/mail", fs::perms(0500));

    Reply r = tool("check " + shop);
    EXPECT_EQ(r.status, 1);
    for (const std::string& fault : std::vector<std::string>{"thanks=shop.example/thanks.html: not an absolute address",
                              "tax=8%: not a plain decimal",
                              "pages/shop.html:" + std::to_string(tag_line) + ": {ITEM=999} names no item",
                              "pages/items.ini:" + std::to_string(item_line) + ": [777] price=4,50 is not a plain amount",
                              "pages/items.ini:" + std::to_string(item_line + 1) + ": [777] style=nosuch: the style sheet styles/nosuch.sty",
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
    EXPECT_EQ(name.out, "Pages & Co\n");
}

}  // namespace

namespace {

int line_of(const std::string& text, const std::string& needle) {
    const std::size_t at = text.find(needle);
    return at == std::string::npos ? -1 : static_cast<int>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n')) + 1;
}

TEST(ShopTool, CheckReadsEveryPageAndTableAsTheProgramsDo) {
    ToolShop t;
    ASSERT_EQ(t.create(" --no-register").status, 0);
    const std::string shop = t.shop();
    Reply clean = tool("check " + shop);
    EXPECT_EQ(clean.status, 0) << clean.out;
    EXPECT_EQ(clean.out, shop + ": nothing found that would break a purchase\n");

    // One planted fault each, in the file `edit`; it is reported in `file`
    // on the line that holds `at` once all are planted.
    const struct {
        const char *edit, *from, *to, *file, *at, *finding;
    } planted[] = {
        {"pages/delivery.html", "value=\"step4\"", "value=\"stepp4\"", nullptr, "stepp4", "command=stepp4 is no command of tavra"},
        {"pages/shop.html", "<input type=\"hidden\" name=\"item\" value=\"GIFT\">\n", "", nullptr, "<form",
         "the add2basket form has no field item"},
        {"pages/summary.html", "goto+wizard", "gotoo+wizard", nullptr, "gotoo", "?gotoo is no command of tavra"},
        {"pages/payment.html", "name=\"basket\" value=\"{SHOPPER}\"", "name=\"basket\" value=\"basket/1\"", nullptr,
         "basket/1", "the basket field is \"basket/1\", not {SHOPPER}"},
        {"pages/wizard.html", "value=\"payment.html\"", "value=\"paymnet.html\"", nullptr, "paymnet",
         "where=paymnet.html names the page paymnet.html, which is not in pages/"},
        {"pages/saver.html", "value=\"items.ini\"", "value=\"item.ini\"", nullptr, "item.ini",
         "lookup=item.ini names no item table"},
        {"pages/shirts.html", "value=\"shirts.ini\"", "value=\"shirt.ini\"", nullptr, "shirt.ini",
         "define=shirt.ini names no modifier file"},
        {"pages/payment.html", "value=\"step2\"", "value=\"step1\"", nullptr, "<form",
         "the form posts step1 but holds the fields of step 2"},
        {"pages/extras.html", "name=\"a1\" value=\"4.50\"", "name=\"a1\" value=\"4,50\"", nullptr, "4,50",
         "a1=4,50 is not a plain amount (it reads as 4.00)"},
        {"pages/sampler.html", "<h2>Sample tins</h2>", "<h2>Sample tins {Shopper}</h2>", nullptr, "{Shopper}",
         "{Shopper} is not replaced: tags are upper case"},
        {"pages/sampler.html", "<p>Try", "<p>{item=500} Try", nullptr, "{item=500}", "{item=500} is not replaced"},
        {"pages/shop.html", "{ITEM=200}", "{ITEM=200", nullptr, "{ITEM=200", "the item tag is not closed"},
        {"pages/shop.html", "<h2>Gift card</h2>", "<h2>{SHOPPER} {SHOPPER}</h2>", nullptr, "{SHOPPER} {SHOPPER}",
         "a second {SHOPPER} on one line"},
        {"pages/items.ini", "style=row\nshiptype=bulk\nminimum=10", "shiptype=bulk\nminimum=10", "pages/shop.html",
         "{ITEM=300}", "{ITEM=300}: the item has no style="},
        {"pages/items.ini", "style=row\nshiptype=bulk\nminimum=5", "style=rows\nshiptype=bulk\nminimum=5", nullptr,
         "style=rows", "[301] style=rows: the style sheet styles/rows.sty does not exist"},
        {"pages/items.ini", "price=3.60", "price=3,60", nullptr, "price=3,60", "[302] price=3,60 is not a plain amount"},
        {"styles/row.sty", "%NAME%", "%NAEM%", nullptr, "%NAEM%", "%NAEM% is not a placeholder"},
        {"cgi-bin/tavra.cfg", "name=Pages & Co", "name=The Little Tea Shop", nullptr, "name=The",
         "name=The Little Tea Shop is the sample shop's name"},
        {"cgi-bin/tavra.cfg", "from=\n", "from=orders@teashop.example\n", nullptr, "from=orders",
         "from=orders@teashop.example is the sample shop's sender"},
        {"cgi-bin/tavra.cfg", "thanks=http://localhost/", "thanks=https://teashop.example/", nullptr, "thanks=https",
         "thanks=https://teashop.example/thanks.html is the sample shop's page"},
    };
    for (const auto& p : planted) {
        std::string text = read_file(shop + "/" + p.edit);
        const std::size_t at = text.find(p.from);
        ASSERT_NE(at, std::string::npos) << p.edit << ": " << p.from;
        write_file(shop + "/" + p.edit, text.replace(at, std::string(p.from).size(), p.to));
    }
    Reply r = tool("check " + shop);
    EXPECT_EQ(r.status, 1);
    for (const auto& p : planted) {
        const std::string file = p.file ? p.file : p.edit;
        const std::string expected =
            file + ":" + std::to_string(line_of(read_file(shop + "/" + file), p.at)) + ": " + p.finding;
        EXPECT_NE(r.out.find(expected), std::string::npos) << expected << "\n" << r.out;
    }
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), static_cast<long>(std::size(planted))) << r.out;
}

TEST(ShopTool, CreateTakesTheMerchantsDetailsOrLeavesThemForCheckToReport) {
    ToolShop t;
    ASSERT_EQ(t.create(" --no-register").status, 0);
    const std::string cfg = read_file(t.shop() + "/cgi-bin/tavra.cfg");
    for (const char* line : {"\nemail=orders@pages.example\n", "\nname=Pages & Co\n", "\nfrom=\n"})
        EXPECT_NE(cfg.find(line), std::string::npos) << line << cfg;
    EXPECT_EQ(cfg.find("teashop"), std::string::npos) << cfg;
    // --renew keeps the details it is not given.
    ASSERT_EQ(t.create(" --renew", " --name 'Pages'").status, 0);
    EXPECT_EQ(tool("get " + t.shop() + " 'Program Config' email").out, "orders@pages.example\n");
    EXPECT_EQ(tool("get " + t.shop() + " 'Program Config' name").out, "Pages\n");

    ToolShop bare;
    ASSERT_EQ(bare.create(" --no-register", "").status, 0);
    Reply r = tool("check " + bare.shop());
    EXPECT_EQ(r.status, 1);
    const std::string bare_cfg = read_file(bare.shop() + "/cgi-bin/tavra.cfg");
    for (const std::string& finding : {"cgi-bin/tavra.cfg:" + std::to_string(line_of(bare_cfg, "\nemail=\n") + 1) +
                                           ": no merchant address in email=",
                                       "cgi-bin/tavra.cfg:" + std::to_string(line_of(bare_cfg, "\nname=\n") + 1) +
                                           ": no merchant name in name="})
        EXPECT_NE(r.out.find(finding), std::string::npos) << finding << "\n" << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2) << r.out;

    // A detail that cannot stand in tavra.cfg is refused before anything is laid out.
    ToolShop refused;
    EXPECT_EQ(refused.create(" --no-register", " --name \"$(printf 'two\\nlines')\"").status, 1);
    EXPECT_FALSE(fs::exists(refused.shop()));
}

}  // namespace

namespace {

TEST(ShopTool, CheckKnowsWhatEachCommandOfTavraNeeds) {
    for (std::string_view word : kPostCommandWords) EXPECT_TRUE(shop_tool::fields_needed(word)) << word;
    for (const char* word : {"Goto", "add2mods", "info", ""}) EXPECT_FALSE(shop_tool::fields_needed(word)) << word;
    const struct {
        const char* text;
        bool written;
    } amounts[] = {{"4.50", true}, {"0", true}, {"12.", true}, {".5", true},  {"4,50", false},
                   {"$4", false},  {"-1", false}, {"1e3", false}, {" 4", false}, {"4.5.0", false}};
    for (const auto& a : amounts) EXPECT_EQ(shop_tool::written_amount(a.text), a.written) << a.text;
}

TEST(ShopTool, OrdersListsEachInvoiceFromTheThreeTables) {
    OrderShop shop("");
    shop.put("tavra.cfg", shop.config_with("1000", "tables=on\ncustomer=" + shop.path("customers.csv") + "\norder=" +
                                                       shop.path("orders.csv") + "\nshipment=" + shop.path("shipments.csv") +
                                                       "\n"));
    shop.remove("blat.exe");
    std::string plain = kSampleBasket;  // no options: the tables hold no tax or total for it
    plain.erase(plain.find("[Optional]"), plain.find("[Additional]") - plain.find("[Optional]"));
    shop.put_basket("basket/a", kSampleBasket);
    shop.put_basket("basket/b", plain);
    ASSERT_EQ(shop.confirm("basket/a").status, 1);
    ASSERT_EQ(shop.confirm("basket/b").status, 1);
    // The tool reads a shop laid out as create lays it out, with no link.
    const TempFolder folder("tavra-orders-test");
    const std::string dir = folder.root() + "/shop";
    fs::create_directories(dir + "/cgi-bin");
    fs::create_directories(dir + "/data/exports");
    std::string cfg = read_file(shop.path("tavra.cfg"));
    for (const char* table : {"customers.csv", "orders.csv", "shipments.csv"}) {
        fs::copy_file(shop.path(table), dir + "/data/exports/" + table);
        cfg.replace(cfg.find(shop.path(table)), shop.path(table).size(), dir + "/data/exports/" + table);
    }
    write_file(dir + "/cgi-bin/tavra.cfg", cfg);

    const std::string first =
        "Invoice 1001\n"
        "  Name:     Ana Q Berg\n"
        "  City:     Springfield, OR, US\n"
        "  Items:\n"
        "    2 x Blue Mug (M-100) at 7.50\n"
        "  Items total: 15.00\n"
        "  Options:\n"
        "    Gift wrap\n"
        "    Leave at \"side\" door\n"
        "  Charges:\n"
        "    Express handling 5\n"
        "  Tax:      1.20\n"
        "  Total:    26.70\n"
        "  Carrier:  predetermined\n"
        "  Card:     Ana Q Berg 41111111111111112222 05/99\n\n";
    const std::string second =
        "Invoice 1002\n"
        "  Name:     Ana Q Berg\n"
        "  City:     Springfield, OR, US\n"
        "  Items:\n"
        "    2 x Blue Mug (M-100) at 7.50\n"
        "  Items total: 15.00\n"
        "  Charges:\n"
        "    Express handling 5\n"
        "  Tax:      not in the tables (they hold it with an order's options)\n"
        "  Total:    not in the tables (they hold it with an order's options)\n"
        "  Carrier:  predetermined\n"
        "  Card:     Ana Q Berg 41111111111111112222 05/99\n\n";
    EXPECT_EQ(tool("orders " + dir).out, first + second);
    EXPECT_EQ(tool("orders " + dir + " --since 1002").out, second);
    EXPECT_EQ(tool("orders " + dir + " --since 1003").out, "no orders from invoice 1003 on\n");
    EXPECT_EQ(tool("orders " + dir + " --since 10x").status, 2);

    const auto rows = read_csv(tool("orders " + dir + " --csv").out);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"invoice", "name", "city", "email", "items", "options", "charges", "tax",
                                                 "total", "carrier", "card"}));
    EXPECT_EQ(rows[1], (std::vector<std::string>{"1001", "Ana Q Berg", "Springfield, OR, US", "ana@example.org",
                                                 "2 x Blue Mug (M-100) at 7.50", "Gift wrap; Leave at \"side\" door",
                                                 "Express handling 5", "1.20", "26.70", "predetermined",
                                                 "Ana Q Berg 41111111111111112222 05/99"}));
    EXPECT_EQ(rows[2].at(0), "1002");
    EXPECT_EQ(rows[2].at(7) + rows[2].at(8), "");
}

}  // namespace

namespace {

// Pages written into a whole shop, one at a time: what check finds in each,
// as "FILE:LINE: the start of the finding", and nothing else.
TEST(ShopTool, CheckFindsTheMistakesOfSinglePages) {
    ToolShop t;
    ASSERT_EQ(t.create(" --no-register").status, 0);
    const std::string form = "<form method=post action=tavra.exe>\n<input type=hidden name=basket value={SHOPPER}>\n"
                             "<input type=hidden name=where value=shop.html>\n";
    const struct {
        const char* file;
        std::string text;
        std::vector<std::string> findings;
    } cases[] = {
        {"pages/t.html", "<!--NO PARSE-->\n" + form + "<input name=command value=goto></form>\n",
         {"pages/t.html:3: the basket field is not filled: the page begins with <!--NO PARSE-->"}},
        {"web/t.html", "<p><a href=\"tavra.exe?goto+shop.html+x\">x</a> <a href=\"tavra.exe?newbasket+shop.html\">y</a>\n",
         {"web/t.html:1: the link's basket word is not filled here"}},
        {"pages/t.html", "\n<a href=\"tavra.exe?lookup+shop.html+{SHOPPER}+100\">x</a>\n"
                         "<a href=\"tavra.exe?lookup+shop.html+{SHOPPER}+999+items.ini+1\">y</a>\n"
                         "<a href=\"tavra.exe?lookup+shop.html+{SHOPPER}+100+items.ini+-2\">z</a>\n"
                         "<a href=\"ship.exe?step4\">s</a> <a href=\"cgi-bin/tavra.exe\">n</a>\n",
         {"pages/t.html:2: the lookup link has no word 5 (the item table)",
          "pages/t.html:2: the lookup link has no word 6 (the quantity)",
          "pages/t.html:3: the lookup link's item 999 is no item of items.ini",
          "pages/t.html:4: the lookup link's quantity -2 is refused",
          "pages/t.html:5: a link to ship.exe gets only its usage line",
          "pages/t.html:5: the link to tavra.exe names no command"}},
        {"pages/t.html", "\n" + form + "<input name=command value=step3><input name=addcharge value=2>\n"
                         "<input name=a1 value=1.00><input type=checkbox name=a2><input name=a3 value=Wrap>\n"
                         "<input name=a4 value=2.00><input type=checkbox name=a5><input name=a6 value=Bag>\n"
                         "<input name=option value=2><input name=option1></form>\n",
         {"pages/t.html:5: addcharge=2 counts fields, three per charge: a4",
          "pages/t.html:8: option=2 but the form has no field option2"}},
        {"pages/t.html", "\n" + form + "<input name=command value=add2check><input name=numentries value=1>\n"
                         "<input name=f1 value=1><input name=f2 value=500><input name=f3 value=Tin>\n"
                         "<input name=f4 value=2,90><input name=f5 value=0.40>\n"
                         "<input name=f7 value=1></form>\n",
         {"pages/t.html:5: numentries=1 but entry 1 has no field f6 (its tick box",
          "pages/t.html:7: f4=2,90 is not a plain amount", "pages/t.html:5: numentries=1 but the form has f7"}},
        {"pages/t.html", "\n" + form + "<input name=command value=add2mod><input name=qty value=1>\n"
                         "<input name=item value=T><input name=name value=T><input name=price value=5>\n"
                         "<input name=modifier value=2><input name=define value=m.ini><select name=m1><option>L</option></select></form>\n",
         {"pages/t.html:7: modifier=2 but the form has no field m2",
          "pages/m.ini:2: [m1] L=1,50 is not an amount"}},
        {"pages/t.html", "\n" + form + "<input name=command value=step4><input name=agent value=lookup></form>\n"
                         "<form action=ship.exe method=post><input name=command value=step3></form>\n"
                         "<form action=tavra.exe><input name=command value=goto></form>\n",
         {"pages/t.html:5: agent=lookup posted to tavra charges no shipping",
          "pages/t.html:6: ship does only step4, not \"step3\"",
          "pages/t.html:7: the form to tavra.exe is sent with GET"}},
        {"pages/t.html", "\n" + form + "<input name=command value=add2lookup><input name=lookup value=items.ini>\n"
                         "<input name=item value=999><input name=qty value=abc></form>\n{ITEM=100}{ITEM=101}\n"
                         "<p>" + std::string(1500, 'x') + "</p>\n{ITEM=\n",
         {"pages/t.html:6: item=999 is no item of items.ini", "pages/t.html:6: qty=abc is a quantity the basket refuses",
          "pages/t.html:7: a second item tag on one line", "pages/t.html:9: the item tag is not closed"}},
    };
    const std::string shop = t.shop();
    write_file(shop + "/pages/m.ini", "[m1]\nL=1,50\n");
    for (const auto& c : cases) {
        write_file(shop + "/" + c.file, c.text);
        Reply r = tool("check " + shop);
        for (const std::string& finding : c.findings) EXPECT_NE(r.out.find(finding), std::string::npos) << finding << "\n" << r.out;
        EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), static_cast<long>(c.findings.size())) << r.out;
        fs::remove(shop + "/" + c.file);
    }
}

}  // namespace
