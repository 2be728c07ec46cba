// The shop of a request: read afresh for each request, so that a process
// answering one request after another carries nothing from one to the next.
#include <gtest/gtest.h>

#include "harness.h"
#include "platform/output.h"
#include "platform/profile.h"
#include "render/template_page.h"
#include "request/shop.h"

namespace {

// One request's page in this process: its own writes and its own shop.
std::string page_of_one_request(const Install& tree) {
    profile::RequestWrites writes;
    const Shop shop = read_shop(tree.root() + "/", ConfigReading::line_reader);
    reply::take();
    EXPECT_FALSE(render_template_page(shop, "b1", "page.html"));
    return reply::take();
}

// Between two requests the merchant drops `cgiurl` from tavra.cfg and
// changes the item and its style sheet: the second page shows only what the
// files hold now.
TEST(ShopPerRequest, TheNextRequestSeesNoKeyOrFileOfTheLastOne) {
    const Install tree;
    tree.put("web/page.html", "<html>\n<{ITEM=100}>\n");
    tree.put("web/items.ini", "[100]\nname=Mug\nstyle=short\n");
    tree.put("styles/short.sty", "[%CGIURL% %ITEM% %NAME%]");
    EXPECT_EQ(page_of_one_request(tree), "</pre>\n<[tavra.exe 100 Mug]\n>");

    std::string config = tree.default_config();
    config.erase(config.find("cgiurl=tavra.exe\n"), 17);
    tree.put("tavra.cfg", config);
    tree.put("web/items.ini", "[100]\nname=Cup\nstyle=short\n");
    tree.put("styles/short.sty", "(%CGIURL%|%NAME%)");
    EXPECT_EQ(page_of_one_request(tree), "</pre>\n<(|Cup)\n>");
}

// The two readers of "[Program Config]" stay what each program has always
// read: the line reader wants the exact section line and lets a later line
// win; the profile store takes the section in any letter case, and ship
// reads only its own keys through it.
TEST(ShopPerRequest, EachProgramKeepsItsReadingOfTheConfiguration) {
    const TempFolder folder{"tavra-shop-readings"};
    const std::string dir = folder.root() + "/";
    struct Case {
        const char* text;
        ConfigReading reading;
        ConfigRead read;
        const char* webdir;
        const char* name;
    } cases[] = {
        {"[Program Config]\nwebdir=a/\nwebdir=b/\nname=S\n", ConfigReading::line_reader, ConfigRead::ok, "b/", "S"},
        {"[program config]\nwebdir=a/\nname=S\n", ConfigReading::line_reader, ConfigRead::cannot_read, "", ""},
        {"[program config]\nwebdir=a/\nname=S\n", ConfigReading::profile_store, ConfigRead::ok, "a/", ""},
        {nullptr, ConfigReading::line_reader, ConfigRead::cannot_open, "", ""},
        {nullptr, ConfigReading::profile_store, ConfigRead::ok, "", ""},
    };
    for (const Case& c : cases) {
        if (c.text) folder.put("tavra.cfg", c.text);
        else folder.remove("tavra.cfg");
        const Shop shop = read_shop(dir, c.reading);
        const std::string label = c.text ? c.text : "(no file)";
        EXPECT_EQ(shop.read, c.read) << label;
        EXPECT_EQ(shop.config.webdir, c.webdir) << label;
        EXPECT_EQ(shop.config.name, c.name) << label;
        EXPECT_EQ(shop.config_file, dir + "tavra.cfg");
    }
}

}  // namespace
