// What a shop leaves on disk is the server user's alone: files the programs
// and the mailer create get no permission for others whatever the umask,
// replaced files keep their mode, and a symbolic link planted where a log,
// table or batch file belongs is never written through.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <regex>
#include <set>

#include "order_shop.h"

namespace fs = std::filesystem;

namespace {

// The shop with its order tables switched on and the real mailer linked in as
// blat.exe, filling the outbox folder.
class RealShop : public OrderShop {
public:
    RealShop() {
        put("tavra.cfg", config_with("1000", "tables=on\nemail=on\ncustomer=" + path("customers.csv") + "\norder=" +
                                                 path("orders.csv") + "\nshipment=" + path("shipments.csv") + "\n"));
        remove("blat.exe");
        fs::create_symlink(MAILER_BIN, path("blat.exe"));
        put("web/page.html", "<html>\n{SHOPPER}\n");
        put("web/items.ini", "[1]\nNAME=Mug\nPRICE=5\n");
        // What a web server hands every CGI program.
        base_env = {{"GATEWAY_INTERFACE", "CGI/1.1"}, {"SERVER_NAME", "shop.example"}, {"HTTP_HOST", "shop.example"}};
    }
};

mode_t mode_of(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

std::set<std::string> paths_under(const std::string& root) {
    std::set<std::string> paths;
    for (const auto& entry : fs::recursive_directory_iterator(root)) paths.insert(entry.path().string());
    return paths;
}

}  // namespace

TEST(PrivateFiles, EverythingCreatedIsClosedToOthersUnderAnOpenUmask) {
    SKIP_UNDER_FASTCGI("the umask of the process");
    RealShop shop;
    chmod(shop.path("tavra.cfg").c_str(), 0604);
    const std::set<std::string> before = paths_under(shop.root());
    RunControl open_umask;
    open_umask.before_exec = [] { umask(0); };
    auto post = [&](const std::vector<std::pair<std::string, std::string>>& fields) {
        return shop.post(form(fields), open_umask);
    };

    const Reply made = post({{"command", "newbasket"}, {"where", "page.html"}});
    std::smatch m;
    ASSERT_TRUE(std::regex_search(made.out, m, std::regex("TAVRA=(basket/[0-9.]+bsk)"))) << made.out;
    const std::string basket = m[1].str();
    post({{"command", "add2lookup"}, {"basket", basket}, {"where", "page.html"}, {"qty", "1"}, {"item", "1"}});
    post({{"command", "step1"}, {"basket", basket}, {"where", "page.html"}, {"email", "ana@example.org"}});
    post({{"command", "step2"}, {"basket", basket}, {"where", "page.html"}, {"cnum1", "4111111111111111"}});
    post({{"command", "step4"}, {"basket", basket}, {"where", "page.html"}, {"agent", "predetermined"}});
    EXPECT_EQ(post({{"command", "confirm"}, {"basket", basket}}).out, kSafetyHeaders + "Location: http://shop.example/thanks.html\n\n");
    post({{"command", "goto"}, {"basket", basket}, {"where", "../tavra.cfg"}});  // an error log record

    std::set<std::string> created;
    for (const std::string& p : paths_under(shop.root()))
        if (!before.count(p)) created.insert(p.substr(shop.root().size() + 1));
    for (const char* expected : {"runlog.txt", "errlog.txt", "customers.csv", "orders.csv", "shipments.csv",
                                 "batchcfg.ini", "batch/0.imp", "outbox"})
        EXPECT_TRUE(created.count(expected)) << expected;
    EXPECT_TRUE(created.count("baskets/" + basket));
    EXPECT_EQ(shop.mail_files().size(), 1u);
    EXPECT_EQ(fs::is_directory(shop.path("outbox")) ? std::distance(fs::directory_iterator(shop.path("outbox")),
                                                                     fs::directory_iterator())
                                                     : 0,
              2);  // the merchant's copy and the shopper's
    for (const std::string& rel : created) EXPECT_EQ(mode_of(shop.path(rel)) & 007, 0u) << rel;
    EXPECT_EQ(mode_of(shop.path("tavra.cfg")), 0604u);  // replaced, with the mode it had
    EXPECT_NE(shop.get("tavra.cfg").find("invnumber=1001\n"), std::string::npos);
}

TEST(PrivateFiles, APlantedLinkIsAFileThatCannotBeOpened) {
    const struct {
        const char* link;  // in the install tree
        bool confirm;      // a confirmation rather than a page request
        const char* reply_starts;
        bool reported;  // "Could not open" and the path follow in the reply
    } cases[] = {
        {"runlog.txt", false, "Could not open ", true},
        {"errlog.txt", false, "Could not open ", true},
        {"customers.csv", true, "Could not open ", true},  // the tables are written before the redirect
        {"batch/0.imp", true, "X-Content-Type-Options: nosniff\nReferrer-Policy: same-origin\nX-Frame-Options: SAMEORIGIN\nLocation: ", false},  // a lost payment record is not reported
    };
    for (const auto& c : cases) {
        RealShop shop;
        shop.put("target.txt", "kept\n");
        fs::create_symlink(shop.path("target.txt"), shop.path(c.link));
        shop.put_basket(kBasketName, kSampleBasket);
        const Reply r = c.confirm ? shop.confirm() : shop.get_words({"goto", ".htaccess", kBasketName});
        EXPECT_EQ(r.out.rfind(c.reply_starts, 0), 0u) << c.link << ": " << r.out;
        EXPECT_EQ(r.out.find("Could not open " + shop.path(c.link) + "\n") != std::string::npos, c.reported)
            << c.link << ": " << r.out;
        EXPECT_EQ(shop.get("target.txt"), "kept\n") << c.link;
        EXPECT_TRUE(fs::is_symlink(shop.path(c.link))) << c.link;
    }
}
