// Merchant files that are missing, unreadable, folders where files belong,
// and files where folders belong: every reply is the system's own answer for
// a file it cannot open, byte for byte, and no run crashes. The programs run
// as a user without rights to the tree (kNobody when the tests run as root),
// so that unreadable files are unreadable to them.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>

#include "basket_support.h"
#include "fault_support.h"
#include "order_shop.h"

namespace {

const std::string kCup = "[Basket]\nNumKeys=1\n[1]\nNAME=Cup\nITEM=C-1\nPRICE=3.25\nSHIP=0.50\nQUANTITY=2\n";

using Damage = std::function<void(const Install&)>;

// Damages that take a merchant file or folder away in each of the ways a
// file can be out of reach.
Damage missing(const std::string& rel) {
    return [rel](const Install& s) { s.remove(rel); };
}
Damage folder_instead(const std::string& rel) {
    return [rel](const Install& s) {
        s.remove(rel);
        std::filesystem::create_directories(s.path(rel));
    };
}
Damage file_instead(const std::string& rel) {
    return [rel](const Install& s) {
        s.remove(rel);
        s.put(rel, "not a folder\n");
    };
}
Damage unreadable(const std::string& rel) {
    return [rel](const Install& s) { chmod(s.path(rel).c_str(), 0); };
}

struct Case {
    const char* what;
    Damage damage;
    // The reply expected, from the shop's paths.
    std::function<std::string(const Install&)> reply;
};

// The page of a goto with `entry` in place of item 100 and the basket table
// of golden file `table`.
std::string page(const std::string& entry, const std::string& table = "basket_table_one_line.html") {
    return kHeader + "</pre>\nBasket " + kBasket + "\n<" + entry + ">" + golden(table);
}

// The tests below run the programs as a user without rights; when that user
// cannot start them at all they are skipped, and this one fails instead.
TEST(MerchantFiles, AUserWithoutRightsCanStartThePrograms) {
    EXPECT_TRUE(unprivileged_runs_can_start()) << kUnprivilegedRunsNote;
}

// A shop whose basket holds one line and whose page shows item 100.
class MerchantShop {
public:
    MerchantShop() {
        shop.put("web/page.html", "<html>\nBasket {SHOPPER}\n<{ITEM=100}>\n");
        shop.put("web/items.ini", "[100]\nname=Mug\nstyle=short\n");
        shop.put("web/mods.ini", "[m1]\nRed=1.25\n");
        shop.put("styles/short.sty", "[%ITEM% %NAME%]");
        shop.put("baskets/" + kBasket, kCup);
        open_tree_to_others(shop);
        chmod(shop.path("baskets/basket").c_str(), 0777);
        chmod(shop.path("baskets/" + kBasket).c_str(), 0666);
    }
    Reply post(const std::vector<std::pair<std::string, std::string>>& fields, const std::string& program = "tavra") const {
        std::vector<std::pair<std::string, std::string>> all{{"basket", kBasket}, {"where", kPage}};
        all.insert(all.end(), fields.begin(), fields.end());
        return shop.post(form(all), without_privileges(), program);
    }
    Install shop;
};

TEST(MerchantFiles, PagesItemTablesAndStyleSheetsOutOfReach) {
    SKIP_UNLESS_UNPRIVILEGED_RUNS_CAN_START();
    const auto could_not_open_page = [](const Install& s) {
        return kHeader + "Could not open " + s.path("web/page.html") + "\n";
    };
    const auto no_style_sheet = [](const Install&) { return page("No style sheet\n"); };
    const Case cases[] = {
        {"nothing out of reach", [](const Install&) {}, [](const Install&) { return page("[100 Mug]\n"); }},
        {"page missing", missing("web/page.html"), could_not_open_page},
        {"page is a folder", folder_instead("web/page.html"), could_not_open_page},
        {"page unreadable", unreadable("web/page.html"), could_not_open_page},
        {"web folder is a file", file_instead("web"), could_not_open_page},
        {"web folder unreadable", unreadable("web"), could_not_open_page},
        // An item the item table cannot give has every value empty, so its
        // style sheet is ".sty", which is not there either.
        {"item table missing", missing("web/items.ini"), no_style_sheet},
        {"item table is a folder", folder_instead("web/items.ini"), no_style_sheet},
        {"item table unreadable", unreadable("web/items.ini"), no_style_sheet},
        {"style sheet missing", missing("styles/short.sty"), no_style_sheet},
        {"style sheet is a folder", folder_instead("styles/short.sty"), no_style_sheet},
        {"style sheet unreadable", unreadable("styles/short.sty"), no_style_sheet},
        {"style folder is a file", file_instead("styles"), no_style_sheet},
        {"basket file is a folder", folder_instead("baskets/" + kBasket),
         [](const Install&) { return page("[100 Mug]\n", "basket_table_empty.html"); }},
        {"basket folder is a file", file_instead("baskets/basket"),
         [](const Install&) { return page("[100 Mug]\n", "basket_table_empty.html"); }},
        {"run log is a folder", folder_instead("runlog.txt"),
         [](const Install& s) { return "Could not open " + s.path("runlog.txt") + "\n" + page("[100 Mug]\n"); }},
        {"configuration missing", missing("tavra.cfg"), [](const Install&) { return kErrorPage; }},
        {"configuration is a folder", folder_instead("tavra.cfg"), [](const Install&) { return kErrorPage; }},
        {"configuration unreadable", unreadable("tavra.cfg"), [](const Install&) { return kErrorPage; }},
        {"error log is a folder too", [](const Install& s) {
             s.remove("tavra.cfg");
             folder_instead("errlog.txt")(s);
         },
         [](const Install& s) { return "Could not open " + s.path("errlog.txt") + "\n" + kErrorPage; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MerchantShop fresh;
        c.damage(fresh.shop);
        const Reply r = fresh.post({{"command", "goto"}});
        EXPECT_EQ(r.out, c.reply(fresh.shop));
        EXPECT_EQ(r.status, 1);
    }
}

// Adding from an item table or with a modifier file that cannot be read adds
// the line all the same, with what could be read.
TEST(MerchantFiles, AddingFromTablesOutOfReach) {
    SKIP_UNLESS_UNPRIVILEGED_RUNS_CAN_START();
    struct Adding {
        const char* what;
        Damage damage;
        std::vector<std::pair<std::string, std::string>> fields;
        const char* line;
    } cases[] = {
        {"item table missing", missing("web/items.ini"),
         {{"command", "add2lookup"}, {"qty", "1"}, {"item", "100"}, {"lookup", "items.ini"}},
         "[2]\nNAME=\nITEM=100\nPRICE=\nSHIP=\nQUANTITY=1\n"},
        {"item table is a folder", folder_instead("web/items.ini"),
         {{"command", "add2lookup"}, {"qty", "1"}, {"item", "100"}, {"lookup", "items.ini"}},
         "[2]\nNAME=\nITEM=100\nPRICE=\nSHIP=\nQUANTITY=1\n"},
        {"item table unreadable", unreadable("web/items.ini"),
         {{"command", "add2lookup"}, {"qty", "1"}, {"item", "100"}, {"lookup", "items.ini"}},
         "[2]\nNAME=\nITEM=100\nPRICE=\nSHIP=\nQUANTITY=1\n"},
        {"modifier file missing", missing("web/mods.ini"),
         {{"command", "add2mod"}, {"qty", "1"}, {"name", "Shirt"}, {"item", "S-1"}, {"price", "10"},
          {"ship", "0"}, {"define", "mods.ini"}, {"modifier", "1"}, {"m1", "Red"}},
         "[2]\nNAME=Shirt ( Red ) \nITEM=S-1\nPRICE=10.00\nSHIP=0\nQUANTITY=1\n"},
        {"modifier file is a folder", folder_instead("web/mods.ini"),
         {{"command", "add2mod"}, {"qty", "1"}, {"name", "Shirt"}, {"item", "S-1"}, {"price", "10"},
          {"ship", "0"}, {"define", "mods.ini"}, {"modifier", "1"}, {"m1", "Red"}},
         "[2]\nNAME=Shirt ( Red ) \nITEM=S-1\nPRICE=10.00\nSHIP=0\nQUANTITY=1\n"},
        {"modifier file unreadable", unreadable("web/mods.ini"),
         {{"command", "add2mod"}, {"qty", "1"}, {"name", "Shirt"}, {"item", "S-1"}, {"price", "10"},
          {"ship", "0"}, {"define", "mods.ini"}, {"modifier", "1"}, {"m1", "Red"}},
         "[2]\nNAME=Shirt ( Red ) \nITEM=S-1\nPRICE=10.00\nSHIP=0\nQUANTITY=1\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MerchantShop fresh;
        c.damage(fresh.shop);
        const Reply r = fresh.post(c.fields);
        EXPECT_EQ(r.status, 1);
        std::string want = kCup + c.line;
        want.replace(want.find("NumKeys=1"), 9, "NumKeys=2");
        EXPECT_EQ(basket_file(fresh.shop), want);
        // The reply is the page of the basket as it now stands.
        EXPECT_EQ(r.out, fresh.post({{"command", "goto"}}).out);
    }
}

// Step 4 of both programs with its page or item table out of reach.
TEST(MerchantFiles, Step4WithPageOrRulesOutOfReach) {
    SKIP_UNLESS_UNPRIVILEGED_RUNS_CAN_START();
    for (const char* program : {"tavra", "ship"}) {
        SCOPED_TRACE(program);
        const std::vector<std::pair<std::string, std::string>> step4{
            {"command", "step4"}, {"agent", "lookup"}, {"lookup", "rules.ini"}, {"salestax", "on"}};
        for (const Damage& damage : {missing("web/page.html"), folder_instead("web/page.html"),
                                     unreadable("web/page.html")}) {
            MerchantShop fresh;
            damage(fresh.shop);
            const Reply r = fresh.post(step4, program);
            EXPECT_EQ(r.out, kStepHeader + "Could not open " + fresh.shop.path("web/page.html") + "\n");
            EXPECT_EQ(r.status, 1);
            // The carrier is stored before anything is shown; no totals for a
            // summary that never was.
            EXPECT_EQ(basket_file(fresh.shop).substr(0, kCup.size()), kCup);
            EXPECT_EQ(basket_file(fresh.shop).find("[Total]"), std::string::npos);
        }
        if (std::string(program) != "ship") continue;
        // An item table of rules that cannot be read prices like one without
        // rules for these items.
        MerchantShop fresh;
        fresh.shop.put("web/rules.ini", "");
        const std::string without_rules = fresh.post(step4, program).out;
        for (const Damage& damage : {missing("web/rules.ini"), folder_instead("web/rules.ini"),
                                     unreadable("web/rules.ini")}) {
            fresh.shop.remove("web/rules.ini");
            fresh.shop.put("web/rules.ini", "");
            damage(fresh.shop);
            EXPECT_EQ(fresh.post(step4, program).out, without_rules);
        }
    }
}

// Confirmation with its folders or its mailer out of reach.
TEST(MerchantFilesOfOrders, ConfirmWithFoldersOrMailerOutOfReach) {
    SKIP_UNLESS_UNPRIVILEGED_RUNS_CAN_START();
    const std::string redirect = kSafetyHeaders + "Location: http://shop.example/thanks.html\n\n";
    struct Confirming {
        const char* what;
        Damage damage;
        std::string reply;
        bool recorded;  // whether the invoice number advanced
    } cases[] = {
        {"mail folder is a file", file_instead("mail"), kErrorPage, false},
        {"mail folder unreadable and unwritable", unreadable("mail"), kErrorPage, false},
        {"batch folder missing", missing("batch"), redirect, true},
        {"mailer missing", missing("blat.exe"), redirect + "File or path not found.\n", true},
        {"mailer is a folder", folder_instead("blat.exe"),
         redirect + "The specified file is not executable or has an invalid executable-file format.\n", true},
        {"mailer unreadable", unreadable("blat.exe"),
         redirect + "The specified file is not executable or has an invalid executable-file format.\n", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        OrderShop shop("email=on\n");
        shop.put_basket(kBasketName, kSampleBasket);
        open_tree_to_others(shop);
        for (const char* folder : {"", "mail", "batch", "baskets/basket"}) chmod(shop.path(folder).c_str(), 0777);
        chmod(shop.path(std::string("baskets/") + kBasketName).c_str(), 0666);
        chmod(shop.path("tavra.cfg").c_str(), 0666);
        c.damage(shop);
        const Reply r = shop.post(form({{"command", "confirm"}, {"basket", kBasketName}}), without_privileges());
        EXPECT_EQ(r.out, c.reply);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(profile_value(shop, "tavra.cfg", "Program Config", "invnumber"), c.recorded ? "1001" : "1000");
    }
}

}  // namespace
