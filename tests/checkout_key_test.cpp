// The checkout belongs to the browser that began it: step 1's cookie, and
// every later step and the confirmation refused to any other browser.
#include <gtest/gtest.h>

#include <regex>

#include "order_shop.h"

namespace {

// The shopper of kBasketName with a basket of items (no checkout begun),
// pages for every step and a mailer.
class TakeOver : public ::testing::Test {
protected:
    TakeOver() {
        shop.put_mailer();
        shop.put("web/page.html", "<html>\n");
        std::string basket = kSampleBasket;
        basket.erase(basket.find("[Order State]"));  // not summarised yet
        shop.put_basket(kBasketName, basket);
    }
    Reply step(const std::string& command, const std::string& program = "tavra") {
        const std::string body = form({{"command", command}, {"basket", kBasketName}, {"where", "page.html"},
                                       {"fname", "Eve"}, {"agent", "predetermined"}, {"cnum1", "5555"}});
        return shop.run(program, {{"REQUEST_METHOD", "POST"},
                                  {"CONTENT_TYPE", "application/x-www-form-urlencoded"},
                                  {"CONTENT_LENGTH", std::to_string(body.size())}},
                        {}, body);
    }
    // The request from another browser, which shows `cookie`.
    Reply stranger(const std::string& command, const std::string& cookie, const std::string& program = "tavra") {
        shop.base_env["HTTP_COOKIE"] = cookie;
        Reply r = step(command, program);
        shop.base_env.erase("HTTP_COOKIE");
        return r;
    }
    OrderShop shop{"email=on\n"};
};

TEST_F(TakeOver, StepOneSetsAPrivateCookieAndKeepsOnlyItsDigest) {
    for (const bool https : {false, true}) {
        OrderShop fresh;
        fresh.put("web/page.html", "<html>\n");
        if (https) fresh.base_env["HTTPS"] = "on";
        const Reply r = fresh.post(form({{"command", "step1"}, {"basket", kBasketName}, {"where", "page.html"}}));
        static const std::regex line("Set-Cookie: TAVRA_CHECKOUT=([0-9a-f]{32}); Path=/; HttpOnly; SameSite=Strict(; Secure)?\n");
        std::smatch m;
        ASSERT_TRUE(std::regex_search(r.out, m, line, std::regex_constants::match_continuous)) << r.out;
        EXPECT_EQ(m[2].matched, https);
        EXPECT_EQ(r.out.substr(static_cast<std::size_t>(m.length(0)), kStepHeader.size()), kStepHeader);
        const std::string basket = fresh.basket_file(kBasketName);
        EXPECT_EQ(basket.find(m[1].str()), std::string::npos) << "the key itself is stored";
        EXPECT_NE(basket.find("[Checkout]\nkeydigest="), std::string::npos) << basket;
        // Step 1 again from the same browser keeps the key and sets no cookie.
        const Reply again = fresh.post(form({{"command", "step1"}, {"basket", kBasketName}, {"where", "page.html"}}));
        EXPECT_EQ(again.out.rfind(kStepHeader, 0), 0u) << again.out;
        EXPECT_EQ(fresh.basket_file(kBasketName), basket);
    }
}

// The attack: the shopper began checkout; a stranger who knows the name
// posts each step and the confirmation from his own browser, with no
// cookie, an empty one or a guessed one. Each is refused and records
// nothing; the shopper's own browser then orders as before.
TEST_F(TakeOver, EveryStepFromAnotherBrowserIsRefusedAndChangesNothing) {
    ASSERT_EQ(step("step1").status, 1);
    const std::string cookie = shop.checkout_cookie();
    ASSERT_FALSE(cookie.empty());
    const std::string basket = shop.basket_file(kBasketName);
    const std::string config = shop.get("tavra.cfg");
    const std::pair<const char*, const char*> steps[] = {{"step1", "tavra"}, {"step2", "tavra"}, {"step3", "tavra"},
                                                         {"step4", "tavra"}, {"step4", "ship"},  {"confirm", "tavra"}};
    for (const std::string& theirs : {std::string(), std::string("TAVRA_CHECKOUT="),
                                      std::string("TAVRA_CHECKOUT=00000000000000000000000000000000"),
                                      "other=1; " + cookie.substr(0, cookie.size() - 1)}) {
        for (const auto& [command, program] : steps) {
            shop.remove("errlog.txt");
            const Reply r = stranger(command, theirs, program);
            EXPECT_EQ(r.out, std::string(command) == "confirm" ? kErrorPage : kStepErrorPage) << command << theirs;
            EXPECT_NE(shop.get("errlog.txt").find("Error Message=Checkout started in another browser\n"),
                      std::string::npos)
                << command;
        }
    }
    EXPECT_EQ(shop.basket_file(kBasketName), basket);
    EXPECT_EQ(shop.get("tavra.cfg"), config);
    EXPECT_TRUE(shop.mail_files().empty());
    EXPECT_FALSE(shop.exists("batch/0.imp"));

    // The shopper's browser, its cookie among others, goes through.
    shop.base_env["HTTP_COOKIE"] = "a=b; " + cookie + "; c=d";
    for (const char* command : {"step2", "step3", "step4"}) EXPECT_EQ(step(command).out.rfind(kStepHeader, 0), 0u) << command;
    EXPECT_EQ(step("confirm").out, kSafetyHeaders + "Location: http://shop.example/thanks.html\n\n");
    EXPECT_EQ(shop.mail_files().size(), 1u);
    // The card the order used is no longer there to order with.
    const std::string after = shop.basket_file(kBasketName);
    for (const char* key : {"cnum1=", "cnum2=", "expmo=", "expyr="}) EXPECT_EQ(after.find(key), std::string::npos) << key;
}

// A basket made before checkouts had keys, or one whose checkout has not
// begun, goes through every step from any browser as before.
TEST_F(TakeOver, ABasketWithoutAKeyWorksAsBefore) {
    for (const char* command : {"step2", "step3", "step4"}) EXPECT_EQ(stranger(command, "").out.rfind(kStepHeader, 0), 0u) << command;
    EXPECT_EQ(stranger("confirm", "").out, kSafetyHeaders + "Location: http://shop.example/thanks.html\n\n");
}

}  // namespace
