// GET commands reach tavra in two ways: as command-line words (a server
// whose CGI splits an indexed query, as Apache's mod_cgi does) or, from a
// server that does not, only as QUERY_STRING. Both must give the same run;
// the query string wins when it holds an indexed query.
#include <gtest/gtest.h>

#include "harness.h"

namespace {

const std::string kPage = "<!-- mode line -->\n<p>{SHOPPER}</p>\n";

Reply get_query(const Install& shop, const std::string& query, const std::vector<std::string>& words = {}) {
    return shop.run("tavra", {{"REQUEST_METHOD", "GET"}, {"QUERY_STRING", query}}, words);
}

bool starts_with(const std::string& text, const std::string& head) { return text.compare(0, head.size(), head) == 0; }

}  // namespace

TEST(QueryWordPaths, EveryWordOfAGetCommandArrivesEitherWay) {
    // lookup uses all six words; the reply and the basket line must not
    // depend on how the words came.
    std::string by_words, by_query;
    for (bool from_query : {false, true}) {
        Install shop;
        shop.put("web/p.html", kPage);
        shop.put("web/items.ini", "[300]\nNAME=Paper filters\nPRICE=2.40\nSHIP=0.30\n");
        shop.put("baskets/basket/7.8.bsk", "");  // a basket begun before
        Reply r = from_query ? get_query(shop, "lookup+p.html+basket%2F7.8.bsk+300+items.ini+2")
                             : shop.get_words({"lookup", "p.html", "basket/7.8.bsk", "300", "items.ini", "2"});
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(starts_with(r.out, kHeader + "</pre>\n<p>basket/7.8.bsk</p>\n")) << r.out;
        EXPECT_NE(r.out.find("<td align=left bgcolor=#CEE7E7>Paper filters</td>"), std::string::npos) << r.out;
        const std::string basket = shop.get("baskets/basket/7.8.bsk");
        EXPECT_NE(basket.find("NAME=Paper filters"), std::string::npos) << basket;
        EXPECT_NE(basket.find("QUANTITY=2"), std::string::npos) << basket;
        (from_query ? by_query : by_words) = r.out;
    }
    EXPECT_EQ(by_words, by_query);
}

TEST(QueryWordPaths, TheQueryStringIsSplitAtPlusAndDecodedOnce) {
    Install shop;
    shop.put("web/p.html", kPage);
    // %2E and %2F decode to "." and "/".
    Reply r = get_query(shop, "goto+p%2Ehtml+basket%2F1%2E2.bsk");
    EXPECT_TRUE(starts_with(r.out, kHeader + "</pre>\n<p>basket/1.2.bsk</p>\n")) << r.out;

    // An encoded plus stays inside its word: the basket name holds it (and
    // is refused for it, which the error log shows).
    r = get_query(shop, "goto+p.html+basket%2F1%2B2.bsk");
    EXPECT_EQ(r.out, kErrorPage);
    EXPECT_NE(shop.get("errlog.txt").find("basket/1+2.bsk"), std::string::npos) << shop.get("errlog.txt");

    // Decoded once only: "%2569nfo" is the word "%69nfo", which names no
    // command, so nothing is written.
    r = get_query(shop, "%2569nfo");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.status, 255);

    // "k%69ll" is the word "kill"; a trailing "+" gives an empty last word.
    r = get_query(shop, "k%69ll+");
    EXPECT_EQ(r.out, kHeader + "Allocated for remote shutdown\n");
}

TEST(QueryWordPaths, TheQueryStringWinsOverCommandLineWords) {
    // A server that passes words escapes shell characters with a backslash;
    // the query string carries the item number as the link wrote it, so both
    // ways give the same basket line.
    std::string lines[2];
    for (int with_words = 0; with_words < 2; ++with_words) {
        Install shop;
        shop.put("web/p.html", kPage);
        shop.put("web/items.ini", "[K&M(1)]\nNAME=Kettle & mug\nPRICE=19.90\nSHIP=2.00\n");
        shop.put("baskets/basket/7.8.bsk", "");
        const std::vector<std::string> escaped{"lookup", "p.html", "basket/7.8.bsk", "K\\&M\\(1\\)", "items.ini", "1"};
        Reply r = get_query(shop, "lookup+p.html+basket%2F7.8.bsk+K%26M%281%29+items.ini+1",
                            with_words ? escaped : std::vector<std::string>{});
        EXPECT_EQ(r.status, 1);
        lines[with_words] = shop.get("baskets/basket/7.8.bsk");
        EXPECT_NE(lines[with_words].find("NAME=Kettle & mug\nITEM=K&M(1)\nPRICE=19.90\n"), std::string::npos)
            << lines[with_words];
    }
    EXPECT_EQ(lines[0], lines[1]);
}

TEST(QueryWordPaths, WithoutWordsAndWithoutAnIndexedQueryThereIsNoCommand) {
    Install shop;
    for (const std::string query : {"", "where=p.html", "goto+p.html=x"}) {
        Reply r = get_query(shop, query);
        EXPECT_EQ(r.out, kFallback) << query;
        EXPECT_EQ(r.status, 1);
    }
    // No QUERY_STRING at all.
    Reply r = shop.run("tavra", {{"REQUEST_METHOD", "GET"}});
    EXPECT_EQ(r.out, kFallback);
}

TEST(QueryWords, AnIndexedQueryStringGivesTheWords) {
    Install shop;
    Reply r = shop.run("tavra", {{"REQUEST_METHOD", "GET"}, {"QUERY_STRING", "kill"}});
    EXPECT_EQ(r.out, kHeader + "Allocated for remote shutdown\n");
    // An indexed query string wins over words on the command line.
    r = shop.run("tavra", {{"REQUEST_METHOD", "GET"}, {"QUERY_STRING", "kill"}}, {"Goto"});
    EXPECT_EQ(r.out, kHeader + "Allocated for remote shutdown\n");
    // A query with "=" is not an indexed query.
    r = shop.run("tavra", {{"REQUEST_METHOD", "GET"}, {"QUERY_STRING", "kill=1"}});
    EXPECT_EQ(r.out, kFallback);
}
