// Writes that fail: under a tiny file size limit, in folders the program may
// not write, and into folders that are missing. Every file keeps what it
// held (no log record or table line is left torn), nothing crashes, and the
// reply is the one of a request whose profile writes go unreported: the page
// of the basket as it stands.
#include <gtest/gtest.h>

#include <functional>

#include "basket_support.h"
#include "fault_support.h"
#include "order_shop.h"

namespace {

// Smaller than any file or record that the requests here write.
constexpr rlim_t kTinyFileSize = 16;

const std::string kOneLine = "[Basket]\nNumKeys=1\n[1]\nNAME=Blue Mug\nITEM=M-100\nPRICE=7.50\nSHIP=1.50\nQUANTITY=2\n";
const std::string kRedirect = kSafetyHeaders + "Location: http://shop.example/thanks.html\n\n";

using Command = std::function<Reply(const Install&, const RunControl&)>;

struct BasketCommand {
    const char* what;
    Command run;
};

Reply post_fields(const Install& shop, const RunControl& control,
                  std::vector<std::pair<std::string, std::string>> fields) {
    fields.insert(fields.begin(), {{"basket", kBasket}, {"where", kPage}});
    return shop.post(form(fields), control);
}

// Every command that writes a basket line, each adding to or changing kOneLine.
const BasketCommand kBasketCommands[] = {
    {"add2basket",
     [](const Install& s, const RunControl& c) {
         return post_fields(s, c, {{"command", "add2basket"}, {"qty", "1"}, {"name", "Cap"}, {"item", "C-1"},
                                   {"price", "3"}, {"ship", "0"}});
     }},
    {"add2lookup",
     [](const Install& s, const RunControl& c) {
         return post_fields(s, c, {{"command", "add2lookup"}, {"qty", "1"}, {"item", "100"}, {"lookup", "items.ini"}});
     }},
    {"lookup",
     [](const Install& s, const RunControl& c) {
         return s.run("tavra", {{"REQUEST_METHOD", "GET"}}, {"lookup", kPage, kBasket, "100", "items.ini", "2"}, "",
                      c);
     }},
    {"add2mod",
     [](const Install& s, const RunControl& c) {
         return post_fields(s, c, {{"command", "add2mod"}, {"qty", "1"}, {"name", "Shirt"}, {"item", "S-1"},
                                   {"price", "10"}, {"define", "mods.ini"}, {"modifier", "1"}, {"m1", "Red"}});
     }},
    {"add2check",
     [](const Install& s, const RunControl& c) {
         return post_fields(s, c, {{"command", "add2check"}, {"numentries", "1"}, {"f1", "1"}, {"f2", "T-7"},
                                   {"f3", "Tea"}, {"f4", "4"}, {"f5", "0"}, {"f6", "on"}});
     }},
    {"edit", [](const Install& s, const RunControl& c) { return post_fields(s, c, {{"command", "edit"}, {"1", "5"}}); }},
};

// A shop whose basket holds kOneLine, with the page, item table and modifier
// file the commands name, and an empty run log.
void stock(const Install& shop) {
    shop.put("web/page.html", "<html>\nBasket {SHOPPER}\n");
    shop.put("web/items.ini", "[100]\nNAME=Mug\nPRICE=4.50\nSHIP=1\n");
    shop.put("web/mods.ini", "[m1]\nRed=1.25\n");
    shop.put("baskets/" + kBasket, kOneLine);
    shop.put("runlog.txt", "");
}

// The page reply for the basket as it stands, from a request that writes nothing.
std::string page_as_it_stands(const Install& shop) {
    return post_fields(shop, {}, {{"command", "goto"}}).out;
}

TEST(FailedWrites, BasketCommandsUnderAFileSizeLimitLeaveEveryFileAsItWas) {
    SKIP_UNDER_FASTCGI("a file size limit on the process");
    for (const BasketCommand& command : kBasketCommands) {
        SCOPED_TRACE(command.what);
        Install shop;
        stock(shop);
        const auto before = files_of(shop);
        const Reply r = command.run(shop, file_size_limit(kTinyFileSize));
        EXPECT_EQ(r.status, 1);
        // The basket, the run log (no torn record) and no temporary file left.
        EXPECT_EQ(files_of(shop), before);
        EXPECT_EQ(r.out, page_as_it_stands(shop));

        // Without the limit the same command does change the basket.
        command.run(shop, {});
        EXPECT_NE(basket_file(shop), kOneLine);
    }
}

// Step 4 of either program answers with the same summary whether or not its
// totals can be stored.
TEST(FailedWrites, Step4UnderAFileSizeLimitShowsTheSummaryAndStoresNothing) {
    SKIP_UNDER_FASTCGI("a file size limit on the process");
    for (const char* program : {"tavra", "ship"}) {
        SCOPED_TRACE(program);
        Install shop;
        stock(shop);
        shop.put("web/confirm.html", "<html>\nCheck {SHOPPER}\n");
        const auto step4 = [&shop, program](const RunControl& c) {
            return shop.post(form({{"command", "step4"}, {"basket", kBasket}, {"where", "confirm.html"},
                                   {"agent", "predetermined"}, {"salestax", "on"}}),
                             c, program);
        };
        const auto before = files_of(shop);
        const Reply limited = step4(file_size_limit(kTinyFileSize));
        EXPECT_EQ(limited.status, 1);
        EXPECT_EQ(files_of(shop), before);
        const Reply whole = step4({});
        EXPECT_EQ(limited.out, whole.out);
        EXPECT_NE(basket_file(shop).find("[Total]"), std::string::npos);
    }
}

TEST(FailedWrites, RunRecordThatDoesNotFitIsTakenBackWhole) {
    SKIP_UNDER_FASTCGI("a file size limit on the process");
    Install shop;
    stock(shop);
    shop.put("runlog.txt", "[earlier record]\n\n");
    // Room for part of the next record only.
    post_fields(shop, file_size_limit(18 + 30), {{"command", "goto"}});
    EXPECT_EQ(shop.get("runlog.txt"), "[earlier record]\n\n");
    post_fields(shop, {}, {{"command", "goto"}});
    EXPECT_EQ(shop.get("runlog.txt").substr(0, 19), "[earlier record]\n\n[");
}

// A shop ready to confirm kSampleBasket with the order tables on and no
// mailer installed.
class FailedConfirm : public ::testing::Test {
protected:
    FailedConfirm() {
        shop.put("tavra.cfg", shop.config_with("1000", "tables=on\nemail=on\ncustomer=" + shop.path("customers.csv") +
                                                           "\norder=" + shop.path("orders.csv") + "\nshipment=" +
                                                           shop.path("shipments.csv") + "\n"));
        shop.remove("blat.exe");
        shop.put_basket(kBasketName, kSampleBasket);
        shop.put("runlog.txt", "");
    }
    OrderShop shop;
};

TEST_F(FailedConfirm, UnderAFileSizeLimitEveryOldFileStaysWholeAndNewOnesStayEmpty) {
    SKIP_UNDER_FASTCGI("a file size limit on the process");
    shop.put("batchcfg.ini", "[BatchConfig]\nFile=0\nLast=3\n");
    shop.put("customers.csv", "1000,Earlier,Order\n");
    const auto before = files_of(shop);
    const Reply r = shop.post(form({{"command", "confirm"}, {"basket", kBasketName}}), file_size_limit(kTinyFileSize));
    // The invoice number cannot be stored, so no order is made.
    EXPECT_EQ(r.out, kErrorPage);
    EXPECT_EQ(r.status, 1);
    const auto after = files_of(shop);
    for (const auto& [name, bytes] : after) {
        const auto old = before.find(name);
        if (old != before.end()) EXPECT_EQ(bytes, old->second) << name;
        else EXPECT_EQ(bytes, "") << name << " was made and left with part of a record";
    }
    // The next confirmation, with room to write, is whole.
    EXPECT_EQ(shop.confirm().out, kRedirect + "File or path not found.\n");
    EXPECT_EQ(profile_value(shop, "tavra.cfg", "Program Config", "invnumber"), "1001");
    EXPECT_EQ(profile_value(shop, "batchcfg.ini", "BatchConfig", "Last"), "4");
    EXPECT_EQ(read_csv(shop.get("customers.csv")).size(), 2u);
}

TEST_F(FailedConfirm, ReadOnlyProgramFolderRefusesTheOrderAndRecordsNothing) {
    SKIP_UNLESS_UNPRIVILEGED_RUNS_CAN_START();
    open_tree_to_others(shop);
    for (const char* writable : {"mail", "batch", "baskets/basket", "baskets/" })
        chmod(shop.path(writable).c_str(), 0777);
    for (const char* writable : {"customers.csv", "orders.csv", "shipments.csv"}) {
        shop.put(writable, "");
        chmod(shop.path(writable).c_str(), 0666);
    }
    chmod(shop.path(std::string("baskets/") + kBasketName).c_str(), 0666);
    const std::string config = shop.get("tavra.cfg");
    chmod(shop.root().c_str(), 0555);
    RunControl control = without_privileges();
    const Reply r = shop.post(form({{"command", "confirm"}, {"basket", kBasketName}}), control);
    chmod(shop.root().c_str(), 0755);
    EXPECT_EQ(r.out, kErrorPage);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(shop.get("errlog.txt").find("Error Message=Order not confirmed: the invoice number could not be stored\n"),
              std::string::npos);
    EXPECT_EQ(shop.get("tavra.cfg"), config);
    EXPECT_FALSE(shop.exists("batchcfg.ini"));
    // An invoice number that cannot be stored could be issued twice: nothing
    // of the order is recorded anywhere.
    EXPECT_TRUE(shop.mail_files().empty());
    EXPECT_EQ(shop.get("customers.csv"), "");
    EXPECT_EQ(shop.basket_file(kBasketName), kSampleBasket);
}

TEST(FailedWrites, ReadOnlyBasketFolderLeavesBasketsAndAnswersWithThePageAsItStands) {
    SKIP_UNLESS_UNPRIVILEGED_RUNS_CAN_START();
    for (const BasketCommand& command : kBasketCommands) {
        SCOPED_TRACE(command.what);
        Install shop;
        stock(shop);
        open_tree_to_others(shop);
        chmod(shop.path("baskets/basket").c_str(), 0555);
        const auto before = files_of(shop);
        const Reply r = command.run(shop, without_privileges());
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(basket_file(shop), kOneLine);
        auto after = files_of(shop);
        EXPECT_NE(after["runlog.txt"], "");  // the log stays writable
        after["runlog.txt"] = "";
        EXPECT_EQ(after, before);
        EXPECT_EQ(r.out, page_as_it_stands(shop));
        chmod(shop.path("baskets/basket").c_str(), 0755);
    }
}

// The test basket's file goes with its folder, and its name is none the shop
// issued: the write is refused.
TEST(FailedWrites, MissingBasketFolderMakesNoFile) {
    for (const BasketCommand& command : kBasketCommands) {
        SCOPED_TRACE(command.what);
        Install shop;
        stock(shop);
        shop.remove("baskets");
        const Reply r = command.run(shop, {});
        EXPECT_EQ(r.status, 1);
        EXPECT_FALSE(shop.exists("baskets"));
        EXPECT_EQ(r.out, kErrorPage);
    }
}

TEST_F(FailedConfirm, MissingMailFolderEndsWithTheErrorPageAndUsesNoInvoiceNumber) {
    shop.remove("mail");
    const auto before = files_of(shop);
    const Reply r = shop.confirm();
    EXPECT_EQ(r.out, kErrorPage);
    EXPECT_EQ(r.status, 1);
    auto after = files_of(shop);
    const std::string errors = after["errlog.txt"];
    EXPECT_NE(errors.find("\nError Message=Could not find " + shop.path("mail/")), std::string::npos) << errors;
    after.erase("errlog.txt");
    after["runlog.txt"] = "";
    EXPECT_EQ(after, before);
}

}  // namespace
