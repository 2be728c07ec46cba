// tavra-shop run as root over a shop whose server user plants links, hard
// links and files of other owners where the tool works: each subcommand
// refuses the place by name and never touches what a link points at. Also
// the sealing of card numbers already in baskets, and what open writes.
#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <set>

#include "platform/sealed_box.h"
#include "tool_run.h"

namespace fs = std::filesystem;

namespace {

const std::string kClearBasket = "[Basket]\nNumKeys=0\n[Shipping]\ncnum1=4111111111111111\ncnum2=5500000000000004\n";

uid_t server_uid() {
    const passwd* user = getpwnam("www-data");
    return user ? user->pw_uid : 65534;
}

void give_to_server(const std::string& path) { ASSERT_EQ(lchown(path.c_str(), server_uid(), server_uid()), 0) << path; }

// Each file and folder below `path` (or the file itself): name, type and
// mode, owner, last change and content.
std::set<std::string> snapshot(const std::string& path) {
    std::set<std::string> seen;
    auto add = [&](const fs::path& p) {
        struct stat st {};
        lstat(p.c_str(), &st);
        seen.insert(p.string() + " " + std::to_string(st.st_mode) + " " + std::to_string(st.st_uid) + " " +
                    std::to_string(st.st_mtime) + " " + (S_ISREG(st.st_mode) ? read_file(p.string()) : ""));
    };
    add(path);
    if (fs::is_directory(fs::symlink_status(path)))
        for (const auto& entry : fs::recursive_directory_iterator(path)) add(entry.path());
    return seen;
}

// A basket file of the server user in `folder`, changed `days` ago.
void put_basket(const std::string& folder, const std::string& name, const std::string& text, int days) {
    write_file(folder + "/" + name, text);
    fs::last_write_time(folder + "/" + name, fs::file_time_type::clock::now() - std::chrono::hours(24 * days));
    give_to_server(folder + "/" + name);
}

TEST(ShopToolLinks, PlantedLinksAndForeignOwnersAreRefusedByNameAndNeverFollowed) {
    if (geteuid() != 0) GTEST_SKIP() << "the server user's parts belong to www-data only when root lays them out";
    using Plant = std::function<std::string(const ToolShop&, const std::string& victim)>;  // gives what must not change
    // The server user's link at `rel` in place of what is there, to `to`.
    auto link = [](const std::string& rel, const std::string& to) {
        return [=](const ToolShop& t, const std::string& victim) {
            const std::string at = t.shop() + "/" + rel;
            if (fs::exists(fs::symlink_status(at))) fs::rename(at, at + ".real");
            fs::create_symlink(victim + to, at);
            give_to_server(at);
            return victim;
        };
    };
    struct Row {
        const char* what;
        Plant plant;
        std::string place;               // named by each refusal
        std::set<std::string> refusing;  // the subcommands that must refuse
    };
    const std::set<std::string> all = {"get", "set", "check", "clean", "keygen", "create"};
    const Row rows[] = {
        {"basket folder", link("data/baskets/basket", ""), "/data/baskets/basket:", {"clean", "keygen", "create"}},
        {"mail folder", link("data/mail", ""), "/data/mail:", {"clean", "create"}},
        {"batch folder", link("data/batch", ""), "/data/batch:", {"clean", "create"}},
        {"export folder", link("data/exports", ""), "/data/exports:", {"create"}},
        {"tavra.cfg", link("cgi-bin/tavra.cfg", "/keep"), "/cgi-bin/tavra.cfg:", all},
        {"tavra.cfg's temporary file", link("cgi-bin/.tavra.cfg.new", "/keep"), "", {}},
        {"run log", link("cgi-bin/runlog.txt", "/keep"), "", {}},
        {"error log", link("cgi-bin/errlog.txt", "/keep"), "", {}},
        {"basketdir outside the shop",
         [](const ToolShop& t, const std::string& victim) {
             EXPECT_EQ(tool("set " + t.shop() + " 'Program Config' basketdir " + victim + "/").status, 0);
             return victim;
         },
         "basketdir=", {"clean", "keygen"}},
        {"basket folder of root",
         [](const ToolShop& t, const std::string&) {
             const std::string folder = t.shop() + "/data/baskets/basket";
             put_basket(folder, "old", kClearBasket, 40);
             EXPECT_EQ(chown(folder.c_str(), 0, 0), 0);
             return folder;
         },
         "/data/baskets/basket: does not belong", {"clean", "keygen", "create"}},
        {"basket of root",
         [](const ToolShop& t, const std::string&) {
             const std::string basket = t.shop() + "/data/baskets/basket/old";
             put_basket(t.shop() + "/data/baskets/basket", "old", kClearBasket, 40);
             EXPECT_EQ(lchown(basket.c_str(), 0, 0), 0);
             return basket;
         },
         "/data/baskets/basket/old: ", {"clean", "keygen"}},
        {"tavra.cfg of root",
         [](const ToolShop& t, const std::string&) {
             EXPECT_EQ(chown((t.shop() + "/cgi-bin/tavra.cfg").c_str(), 0, 0), 0);
             return t.shop() + "/cgi-bin/tavra.cfg";
         },
         "/cgi-bin/tavra.cfg: does not belong", all},
    };
    for (const Row& row : rows) {
        ToolShop t;
        ASSERT_EQ(t.create(" --no-register").status, 0);
        // What the links lead to: a secret, an old and an empty basket, and
        // a basket/ folder for a basketdir= that points here. All of it is
        // the server user's, so that only the refusal of links guards it,
        // not the owner checks as well.
        const std::string victim = t.root() + "/victim";
        fs::create_directories(victim + "/basket");
        write_file(victim + "/keep", "root's own\n");
        for (const std::string& path : {victim, victim + "/basket", victim + "/keep"}) give_to_server(path);
        for (const std::string& folder : {victim, victim + "/basket"}) {
            put_basket(folder, "old", kClearBasket, 40);
            put_basket(folder, "empty", "", 2);
        }
        const std::string kept = row.plant(t, victim);
        const auto before = snapshot(kept);
        const std::pair<std::string, std::string> commands[] = {
            {"get", "get " + t.shop() + " 'Program Config' name"},
            {"set", "set " + t.shop() + " 'Program Config' name Other"},
            {"check", "check " + t.shop()},
            {"clean", "clean " + t.shop()},
            {"keygen", "keygen " + t.shop() + " --secret " + t.root() + "/key.secret"},
            {"create", "create " + t.shop() + " --renew" + t.places()},
        };
        for (const auto& [name, words] : commands) {
            const Reply r = tool(words);
            if (row.refusing.count(name)) {
                EXPECT_EQ(r.status, 1) << row.what << ", " << name << ": " << r.out;
                EXPECT_NE(r.out.find(row.place), std::string::npos) << row.what << ", " << name << ": " << r.out;
            } else if (row.place.empty()) {
                EXPECT_EQ(r.status, 0) << row.what << ", " << name << ": " << r.out;
            }
            EXPECT_EQ(snapshot(kept), before) << row.what << ", " << name << ": " << r.out;
        }
    }
}

TEST(ShopToolLinks, KeygenSealsTheCardNumbersBasketsHoldAndCheckFindsOnesLeftClear) {
    if (geteuid() != 0) GTEST_SKIP() << "the baskets belong to www-data only when root lays the shop out";
    ToolShop t;
    ASSERT_EQ(t.create(" --no-register").status, 0);
    const std::string folder = t.shop() + "/data/baskets/basket";
    put_basket(folder, "two", kClearBasket, 0);
    put_basket(folder, "one", "[Shipping]\ncnum1=4000000000000002\nexpmo=05\n", 0);
    put_basket(folder, "none", "[Basket]\nNumKeys=0\n", 0);
    EXPECT_EQ(tool("check " + t.shop()).status, 0) << "no seal key: numbers in the clear are no fault";

    const Reply made = tool("keygen " + t.shop() + " --secret " + t.root() + "/key.secret");
    EXPECT_EQ(made.status, 0) << made.out;
    EXPECT_NE(made.out.find("\n3 card numbers already in baskets sealed\n"), std::string::npos) << made.out;
    const std::string two = read_file(folder + "/two");
    EXPECT_EQ(two.find("4111111111111111"), std::string::npos) << two;
    EXPECT_NE(two.find("cnum1=sealed:"), std::string::npos) << two;
    EXPECT_NE(two.find("cnum2mask=************0004"), std::string::npos) << two;
    EXPECT_EQ(read_file(folder + "/none"), "[Basket]\nNumKeys=0\n");
    struct stat st {};
    ASSERT_EQ(stat((folder + "/one").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, server_uid()) << "a sealed basket stays the server user's";
    const Reply opened = tool("open --secret " + t.root() + "/key.secret " + folder + "/one");
    EXPECT_NE(opened.out.find("cnum1=4000000000000002\n"), std::string::npos) << opened.out;
    EXPECT_EQ(tool("check " + t.shop()).status, 0);

    // A basket a run wrote in the clear after the key was set.
    put_basket(folder, "late", kClearBasket, 0);
    const Reply checked = tool("check " + t.shop());
    EXPECT_EQ(checked.status, 1);
    EXPECT_NE(checked.out.find(folder + "/late: holds a card number in the clear"), std::string::npos) << checked.out;
}

TEST(ShopToolLinks, OpenWritesControlBytesEscapedAndDefusesFormulasWhenAsked) {
    ToolShop t;
    ASSERT_EQ(t.create(" --no-register").status, 0);
    ASSERT_EQ(tool("set " + t.shop() + " 'Order Control' safecsv on").status, 0);
    const sealed_box::KeyPair pair = sealed_box::new_key_pair().value();
    t.put("key.secret", pair.secret_key + "\n");
    struct Row {
        std::string plain;
        std::vector<std::string> options;
        std::string out;
        int status;
    } rows[] = {
        {"4111111111111111", {}, "4111111111111111,0599\n", 0},
        {"=HYPERLINK(\"http://x.example\")", {}, "\"=HYPERLINK(\"\"http://x.example\"\")\",0599\n", 0},
        {"=HYPERLINK(\"http://x.example\")", {"--safecsv"}, "\"'=HYPERLINK(\"\"http://x.example\"\")\",0599\n", 0},
        {"+1", {"--shop", t.shop()}, "'+1,0599\n", 0},
        {"41\x1b]0;x\x07\x7f", {}, "41\\x1b]0;x\\x07\\x7f,0599\n", 1},
        {"-\x1b[2J", {"--safecsv"}, "'-\\x1b[2J,0599\n", 1},
    };
    for (const Row& row : rows) {
        t.put("0.imp", sealed_box::seal(row.plain, pair.public_key).value() + ",0599\n");
        Program p;
        p.binary = SHOP_TOOL_BIN;
        p.args = {"tavra-shop", "open", "--secret", t.path("key.secret")};
        p.args.insert(p.args.end(), row.options.begin(), row.options.end());
        p.args.push_back(t.path("0.imp"));
        p.env = own_environment();
        p.dir = ".";
        p.errors_apart = true;
        const Reply r = run_program(p);
        EXPECT_EQ(r.out, row.out) << row.plain;
        EXPECT_EQ(r.status, row.status) << row.out;
        EXPECT_EQ(r.err.find("0.imp:1: an opened value holds") != std::string::npos, row.status == 1) << r.err;
    }
}

}  // namespace
