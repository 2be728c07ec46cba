// newbasket: a new basket name and its cookie; the name alone, no file.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <regex>
#include <set>
#include <thread>

#include "basket_support.h"

namespace {

// The basket name a newbasket reply sets in its cookie; empty when the reply
// does not begin with the cookie line and the content-type header.
std::string cookie_basket(const std::string& out) {
    static const std::regex head(
        "Set-Cookie: TAVRA=(basket/[^;\n]*); path=/; expires=Wednesday, 09-Nov-1999 00:00:00 GMT\n" + kHeader);
    std::smatch m;
    return std::regex_search(out, m, head, std::regex_constants::match_continuous) ? m[1].str() : "";
}

// Whether a generated name has the form: two unsigned 64-bit decimals, ".bsk".
bool well_formed(const std::string& basket) {
    static const std::regex form_of_name("basket/([1-9][0-9]{0,19}|0)\\.([1-9][0-9]{0,19}|0)\\.bsk");
    std::smatch m;
    if (!std::regex_match(basket, m, form_of_name)) return false;
    for (std::size_t i : {1u, 2u})
        if (m[i].length() == 20 && m[i].str() > "18446744073709551615") return false;
    return true;
}

class NewBasket : public ::testing::Test {
protected:
    NewBasket() { shop.put("web/page.html", "<html>\nYour basket: {SHOPPER}\n"); }
    // The reply expected after the headers for `basket`.
    static std::string page_for(const std::string& basket) {
        std::string table = golden("basket_table_empty.html");
        for (std::size_t at; (at = table.find(kBasket)) != std::string::npos;) table.replace(at, kBasket.size(), basket);
        return "</pre>\nYour basket: " + basket + "\n" + table;
    }
    Install shop;
};

TEST_F(NewBasket, GetAndPostIssueANameAndSetItsCookieButMakeNoFile) {
    const std::string baskets_before = snapshot(shop, "baskets");
    for (bool get : {true, false}) {
        const Reply r = get ? shop.get_words({"newbasket", kPage}) : shop.post(form({{"command", "newbasket"}, {"where", kPage}}));
        const std::string basket = cookie_basket(r.out);
        ASSERT_TRUE(well_formed(basket)) << r.out;
        EXPECT_EQ(r.out.substr(r.out.find("\n\n") + 2), page_for(basket));
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(snapshot(shop, "baskets"), baskets_before);
        // The first line added makes the file of an issued name.
        shop.post(form({{"command", "add2basket"}, {"basket", basket}, {"where", kPage}, {"qty", "1"}, {"price", "2.00"}}));
        EXPECT_TRUE(basket_exists(shop, basket)) << basket;
        shop.remove("baskets/" + basket);
    }
    // The shop's key is made once, for the owner alone.
    struct stat key {};
    ASSERT_EQ(::stat(shop.path("basket.key").c_str(), &key), 0);
    EXPECT_EQ(key.st_mode & 0777, 0600u);
    EXPECT_EQ(shop.get("basket.key").size(), 45u);  // base64 of 32 bytes and a line end
}

// A write names a basket whose file exists, or one the shop issued: a name
// changed by one digit, made up, or issued by another shop's key is
// refused with the error page and makes no file.
TEST_F(NewBasket, NamesTheShopDidNotIssueAreRefusedAndMakeNoFile) {
    const std::string issued = cookie_basket(shop.get_words({"newbasket", kPage}).out);
    ASSERT_TRUE(well_formed(issued));
    std::string altered = issued;
    altered[altered.size() - 5] = altered[altered.size() - 5] == '1' ? '2' : '1';
    Install other;
    const std::string foreign = cookie_basket(other.get_words({"newbasket", kPage}).out);
    const std::string before = snapshot(shop, "baskets");
    for (const std::string& name : {altered, foreign, std::string("basket/promo"), std::string("basket/1.2.bsk")}) {
        for (const Reply& r : {shop.post(form({{"command", "add2basket"}, {"basket", name}, {"where", kPage}, {"qty", "1"}})),
                               shop.get_words({"lookup", kPage, name, "1", "items.ini", "1"}),
                               shop.post(form({{"command", "step1"}, {"basket", name}, {"where", kPage}, {"fname", "E"}}))}) {
            EXPECT_NE(r.out.find(kErrorPage), std::string::npos) << name << r.out;
        }
        EXPECT_NE(shop.get("errlog.txt").find("Error Message=Refused name " + name + "\n"), std::string::npos) << name;
    }
    EXPECT_EQ(snapshot(shop, "baskets"), before);
    // A basket whose file exists may be written under any allowed name.
    shop.put("baskets/basket/promo", "");
    shop.post(form({{"command", "add2basket"}, {"basket", "basket/promo"}, {"where", kPage}, {"qty", "1"}}));
    EXPECT_TRUE(basket_exists(shop, "basket/promo"));
}

TEST_F(NewBasket, MissingBasketFolderIsReportedAndThePageStillFollows) {
    shop.remove("baskets/basket");
    const Reply get = shop.get_words({"newbasket", kPage});
    std::string basket = cookie_basket(get.out);
    ASSERT_TRUE(well_formed(basket)) << get.out;
    EXPECT_EQ(get.out.substr(get.out.find("\n\n") + 2),
              "The file " + shop.path("baskets/" + basket) + " was not opened\n" + page_for(basket));

    const Reply post = shop.post(form({{"command", "newbasket"}, {"where", kPage}}));
    basket = cookie_basket(post.out);
    ASSERT_TRUE(well_formed(basket)) << post.out;
    EXPECT_EQ(post.out.substr(post.out.find("\n\n") + 2), "The file " + basket + " was not opened\n" + page_for(basket));
    EXPECT_FALSE(shop.exists("baskets/basket"));
}

TEST_F(NewBasket, ManyBasketsInARowAllHaveNamesOfTheirOwn) {
    std::set<std::string> names;
    for (int i = 0; i < 64; ++i) {
        const std::string basket = cookie_basket(shop.get_words({"newbasket", kPage}).out);
        EXPECT_TRUE(well_formed(basket)) << basket;
        names.insert(basket);
    }
    EXPECT_EQ(names.size(), 64u);
}

TEST_F(NewBasket, ShoppersStartingTogetherNeverShareABasket) {
    constexpr int kShoppers = 6;
    shop.way = Runs::as_processes;
    std::vector<std::string> names(kShoppers);
    std::vector<std::thread> shoppers;
    for (int i = 0; i < kShoppers; ++i)
        shoppers.emplace_back([&, i] { names[static_cast<std::size_t>(i)] = cookie_basket(shop.get_words({"newbasket", kPage}).out); });
    for (std::thread& t : shoppers) t.join();
    const std::set<std::string> distinct(names.begin(), names.end());
    EXPECT_EQ(distinct.size(), static_cast<std::size_t>(kShoppers));
    for (const std::string& name : names) EXPECT_TRUE(well_formed(name)) << name;
    // However many started at once, they all got their names from one key.
    EXPECT_EQ(shop.get("basket.key").size(), 45u);
}

}  // namespace
