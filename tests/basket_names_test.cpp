// Names from a request that would lead out of their folders are refused by
// every basket command, goto and confirm before anything is written.
#include <gtest/gtest.h>

#include "basket_support.h"

namespace {

struct Refusal {
    const char* what;
    std::vector<std::string> words;  // a GET request when not empty
    std::vector<std::pair<std::string, std::string>> fields;
    std::string refused;  // the value as the error log shows it
};

TEST(RefusedNames, EndTheRequestWithTheErrorPageAndTouchNoFile) {
    const std::string ok_basket = kBasket;
    const Refusal cases[] = {
        {"add2basket: basket up and out", {},
         {{"command", "add2basket"}, {"qty", "1"}, {"basket", "basket/../../tavra.cfg"}, {"where", kPage}},
         "basket/../../tavra.cfg"},
        {"add2basket: basket in another folder", {},
         {{"command", "add2basket"}, {"qty", "1"}, {"basket", "other/x.bsk"}, {"where", kPage}}, "other/x.bsk"},
        {"add2basket: hidden basket", {},
         {{"command", "add2basket"}, {"qty", "1"}, {"basket", "basket/.x"}, {"where", kPage}}, "basket/.x"},
        {"add2basket: page up and out", {},
         {{"command", "add2basket"}, {"qty", "1"}, {"basket", ok_basket}, {"where", "../tavra.cfg"}}, "../tavra.cfg"},
        {"add2lookup: absolute table", {},
         {{"command", "add2lookup"}, {"qty", "1"}, {"basket", ok_basket}, {"lookup", "/etc/passwd"},
          {"item", "1"}, {"where", kPage}},
         "/etc/passwd"},
        {"add2mod: modifier file up and out", {},
         {{"command", "add2mod"}, {"qty", "1"}, {"basket", ok_basket}, {"modifier", "1"}, {"m1", "x"},
          {"define", "a/../../tavra.cfg"}, {"where", kPage}},
         "a/../../tavra.cfg"},
        {"add2check: markup in the page name", {},
         {{"command", "add2check"}, {"numentries", "1"}, {"f1", "1"}, {"f6", "on"}, {"basket", ok_basket},
          {"where", "p.html><script>"}},
         "p.html><script>"},
        {"edit: line break in the basket name", {},
         {{"command", "edit"}, {"1", "0"}, {"basket", "basket/a\nb"}, {"where", kPage}}, "basket/a\\x0Ab"},
        // A long name is logged cut to 255 bytes, control bytes shown as \xNN.
        {"edit: long name with control bytes", {},
         {{"command", "edit"}, {"1", "0"}, {"basket", "\x1b[2J\b" + std::string(100000, 'a')}, {"where", kPage}},
         "\\x1B[2J\\x08" + std::string(250, 'a')},
        {"goto: hidden file", {}, {{"command", "goto"}, {"basket", ok_basket}, {"where", ".htaccess"}}, ".htaccess"},
        {"GET goto: hidden folder", {"goto", ".git/config", ok_basket}, {}, ".git/config"},
        {"add2lookup: hidden table in a folder", {},
         {{"command", "add2lookup"}, {"qty", "1"}, {"basket", ok_basket}, {"lookup", "a/.items.ini"},
          {"item", "1"}, {"where", kPage}},
         "a/.items.ini"},
        {"add2mod: hidden modifier file", {},
         {{"command", "add2mod"}, {"qty", "1"}, {"basket", ok_basket}, {"modifier", "1"}, {"m1", "x"},
          {"define", ".x.ini"}, {"where", kPage}},
         ".x.ini"},
        {"newbasket: page up and out", {}, {{"command", "newbasket"}, {"where", "../tavra.cfg"}}, "../tavra.cfg"},
        {"GET newbasket: page with a doubled slash", {"newbasket", "a//b.html"}, {}, "a//b.html"},
        {"GET lookup: table up and out", {"lookup", kPage, ok_basket, "1", "../../tavra.cfg", "1"}, {},
         "../../tavra.cfg"},
        {"GET lookup: basket up and out", {"lookup", kPage, "basket/../x", "1", "items.ini", "1"}, {},
         "basket/../x"},
        {"GET goto: page up and out", {"goto", "../tavra.cfg", ""}, {}, "../tavra.cfg"},
        {"GET goto: basket up and out", {"goto", kPage, "basket/../../tavra.cfg"}, {}, "basket/../../tavra.cfg"},
        {"GET goto: markup in the page name", {"goto", "page.html><script>", ""}, {}, "page.html><script>"},
        {"goto: line break in the basket name", {},
         {{"command", "goto"}, {"where", kPage}, {"basket", "/etc/passwd\nx"}}, "/etc/passwd\\x0Ax"},
        {"confirm: basket up and out", {}, {{"command", "confirm"}, {"basket", "basket/../../tavra.cfg"}},
         "basket/../../tavra.cfg"},
    };
    for (const Refusal& c : cases) {
        Install shop;
        shop.put("web/page.html", "<html>\n");
        shop.put("web/items.ini", "[1]\nNAME=Mug\n");
        shop.put("baskets/" + kBasket, "[Basket]\nNumKeys=1\n[1]\nQUANTITY=1\n");
        shop.remove("errlog.txt");
        auto files = [&shop] {
            std::string all = shop.get("tavra.cfg");
            for (const char* folder : {"baskets", "web", "mail", "batch"}) all += snapshot(shop, folder);
            return all;
        };
        const std::string before = files();
        const Reply r = c.words.empty() ? shop.post(form(c.fields)) : shop.get_words(c.words);
        EXPECT_EQ(r.out, kErrorPage) << c.what;
        EXPECT_EQ(r.status, 1) << c.what;
        const std::string log = shop.get("errlog.txt");
        EXPECT_NE(log.find("]\nError Message=Refused name " + c.refused + "\n"), std::string::npos)
            << c.what << ": " << log;
        EXPECT_EQ(files(), before) << c.what;
        EXPECT_FALSE(shop.exists("batchcfg.ini")) << c.what;
        EXPECT_NE(shop.get("runlog.txt"), "") << c.what;
    }
}

}  // namespace
