// tavra as the web server runs it: start-up, logs, taking in the request and dispatch.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <regex>

#include "harness.h"

namespace {



std::map<std::string, std::string> post_env(const std::string& type, const std::string& length) {
    return {{"REQUEST_METHOD", "POST"}, {"CONTENT_TYPE", type}, {"CONTENT_LENGTH", length}};
}

const std::string kForm = "application/x-www-form-urlencoded";

}  // namespace

TEST(Dispatch, RequestsThatNameNoCommandGetTheFallbackPage) {
    Install shop;
    const Reply replies[] = {
        shop.run("tavra", {}),
        shop.get_words({}),
        shop.post("command=nothing"),
        shop.post("command=info"),
        shop.post("command=kill"),
        shop.post(""),
        shop.run("tavra", {{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", "3"}}, {}, "a=b"),
        shop.run("tavra", post_env(kForm, "-5"), {}, "command=kill"),
    };
    for (const Reply& r : replies) {
        EXPECT_EQ(r.out, kFallback);
        EXPECT_EQ(r.status, 1);
    }
}

TEST(Dispatch, UnknownGetWordsAndOtherMethodsWriteNothing) {
    Install shop;
    struct Row {
        std::string method;
        std::vector<std::string> words;
        int status;
    } rows[] = {
        {"GET", {"Goto"}, 255}, {"GET", {"edit"}, 255}, {"HEAD", {"info"}, 255},
        {"DELETE", {}, 255},    {"PUT", {"info"}, 1},  {"get", {"info"}, 1},
    };
    for (const Row& row : rows) {
        Reply r = shop.run("tavra", {{"REQUEST_METHOD", row.method}}, row.words);
        EXPECT_EQ(r.out, "") << row.method;
        EXPECT_EQ(r.status, row.status) << row.method;
    }
}

TEST(Dispatch, InfoListsTheConfigurationAsItStands) {
    Install shop;
    shop.put("tavra.cfg",
             "[Program Config]\nwebdir=/w/\nname=Shop & <b>Co</b>  \nthanks=http://t/\n"
             "[Order Control]\nemail=on\n");
    Reply r = shop.get_words({"info"});
    EXPECT_EQ(r.out,
              kHeader + "<BODY bgcolor=\"#99CCFF\">\n"
              "Web Directory is /w/<br>\n"
              "Email Address is on<br>\n"
              "Merchant Name is Shop & <b>Co</b>  <br>\n"
              "Thanks Page is http://t/<br>\n"
              "Basket Directory is <br>\n"
              "Applicable Tax is <br>\n"
              "Ship Table is <br>\n"
              "Mail Directory is <br>\n"
              "Batchfile Directory is <br>\n");
    EXPECT_EQ(r.status, 1);
}

TEST(Dispatch, KillAnswersAndChangesNothing) {
    Install shop;
    const std::string config = shop.get("tavra.cfg");
    Reply r = shop.get_words({"kill"});
    EXPECT_EQ(r.out, kHeader + "Allocated for remote shutdown\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(shop.get("tavra.cfg"), config);
}

TEST(Intake, BodiesThatCannotBeTakenIn) {
    Install shop;
    struct Row {
        std::map<std::string, std::string> env;
        std::string body;
        std::string out;
    } rows[] = {
        {post_env("application/x-www-form-urlencoded; charset=UTF-8", "12"), "command=kill",
         kHeader + "Data was not URL encoded."},
        {post_env("Application/x-www-form-urlencoded", "12"), "command=kill",
         kHeader + "Data was not URL encoded."},
        {post_env("multipart/form-data", "0"), "", kHeader + "Data was not URL encoded."},
        {post_env(kForm, "7"), "=a&b=c", kHeader + "Invalid Input"},
        {post_env(kForm, "9"), "a=1&&b=2", kHeader + "Invalid Input"},
        {post_env(kForm, "4"), "word", kHeader + "Invalid Input"},
        {post_env(kForm, "5"), "a=b=c", kHeader + "Invalid Input"},
        {post_env(kForm, "5"), "&a=b&", kHeader + "Invalid Input"},
        {post_env(kForm, "1048577"), "command=kill", kHeader + "Invalid Input"},
        {post_env(kForm, "99999999999"), "a=b", kHeader + "Invalid Input"},
    };
    for (const Row& row : rows) {
        Reply r = shop.run("tavra", row.env, {}, row.body);
        EXPECT_EQ(r.out, row.out) << row.body;
        EXPECT_EQ(r.status, 1);
    }
}

TEST(Intake, ShortBodyIsSplitOverWhatArrived) {
    Install shop;
    // Announced longer than sent: the fields that arrived still count.
    Reply r = shop.run("tavra", post_env(kForm, "500"), {}, "command=nothing");
    EXPECT_EQ(r.out, kFallback);
    // Announced shorter: only the announced bytes are read ("comm" has no "=").
    r = shop.run("tavra", post_env(kForm, "4"), {}, "command=nothing");
    EXPECT_EQ(r.out, kHeader + "Invalid Input");
}

TEST(Intake, HostileBodiesAreAnsweredNeverCrash) {
    Install shop;
    const std::string bodies[] = {
        "command=%00goto&where=%00",
        "command=goto&where=\xff\xfe\x80&basket=%C3%28",
        "command=goto&where=" + std::string(1048000, 'x'),
        "command=" + std::string(1048000, '%'),
        "a=%%%%%%&b=%",
        std::string("command=goto&\0x=1", 17),
    };
    for (const std::string& body : bodies) {
        Reply r = shop.post(body);
        EXPECT_EQ(r.status, 1) << body.substr(0, 40);
        EXPECT_EQ(r.out.rfind(kHeader, 0), 0u) << body.substr(0, 40);
    }
}

TEST(StartUp, MissingConfigurationIsLoggedAndAnsweredWithTheErrorPage) {
    Install shop;
    shop.remove("tavra.cfg");
    Reply r = shop.get_words({"info"});
    EXPECT_EQ(r.out, kErrorPage);
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(shop.exists("runlog.txt"));
    std::regex record("\\[(Sun|Mon|Tue|Wed|Thu|Fri|Sat) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
                      "\\d\\d \\d\\d:\\d\\d:\\d\\d \\d{4}\\]\nError Message=Could not find (.*)\n");
    std::smatch m;
    const std::string log = shop.get("errlog.txt");
    ASSERT_TRUE(std::regex_match(log, m, record)) << log;
    EXPECT_EQ(m[3], shop.path("tavra.cfg"));
}

TEST(StartUp, ConfigurationWithoutItsSectionLineCannotBeRead) {
    Install shop;
    for (const std::string& config : {std::string(""), std::string("[program config]\nwebdir=/w/\n"),
                                      std::string("[Program Config] \nwebdir=/w/\n")}) {
        shop.remove("errlog.txt");
        shop.put("tavra.cfg", config);
        Reply r = shop.get_words({"info"});
        EXPECT_EQ(r.out, kErrorPage);
        const std::string log = shop.get("errlog.txt");
        EXPECT_NE(log.find("\nError Message=Could not read from " + shop.path("tavra.cfg") + "\n"),
                  std::string::npos)
            << log;
    }
    // A directory where the file should be cannot be opened.
    shop.remove("tavra.cfg");
    std::filesystem::create_directory(shop.path("tavra.cfg"));
    shop.remove("errlog.txt");
    EXPECT_EQ(shop.get_words({"info"}).out, kErrorPage);
    EXPECT_NE(shop.get("errlog.txt").find("Could not find "), std::string::npos);
}

TEST(StartUp, EveryRunAppendsOneRunRecord) {
    Install shop;
    shop.put("tavra.cfg", "[Program Config]\nwebdir=/w/\nemail=m@x\nname=Shop\nstart=index.html\n"
                          "basketdir=/b/\n");
    shop.get_words({"kill"});
    shop.post("command=nothing");
    const std::string log = shop.get("runlog.txt");
    std::regex record("\\[\\w{3} \\w{3} \\d\\d \\d\\d:\\d\\d:\\d\\d \\d{4}\\]\n"
                      "Config File=(.*)\nWeb Directory=/w/\nEmail=m@x\nName=Shop\nStart Page=index.html\n"
                      "Table=\nThanks=\nBasket Directory=/b/\n\n");
    std::smatch m;
    std::string::const_iterator from = log.begin();
    int records = 0;
    while (std::regex_search(from, log.end(), m, record, std::regex_constants::match_continuous)) {
        EXPECT_EQ(m[1], shop.path("tavra.cfg"));
        from = m[0].second;
        ++records;
    }
    EXPECT_EQ(records, 2);
    EXPECT_TRUE(from == log.end()) << log;
}

TEST(StartUp, LogsThatCannotBeOpenedAreReportedOnTheReply) {
    Install shop;
    std::filesystem::create_directory(shop.path("runlog.txt"));
    Reply r = shop.get_words({"kill"});
    EXPECT_EQ(r.out, "Could not open " + shop.path("runlog.txt") +
                         "\n" + kHeader + "Allocated for remote shutdown\n");

    shop.remove("tavra.cfg");
    std::filesystem::create_directory(shop.path("errlog.txt"));
    r = shop.get_words({"kill"});
    EXPECT_EQ(r.out, "Could not open " + shop.path("errlog.txt") + "\n" + kErrorPage);
    EXPECT_EQ(r.status, 1);
}

TEST(StartUp, ProgramDirectoryComesFromTheProgramPath) {
    Install shop;
    // Without a directory in the program path, the current directory is used;
    // the harness starts programs in the install tree.
    std::vector<std::string> words{"kill"};
    Reply r = shop.run("tavra", {{"REQUEST_METHOD", "GET"}}, words);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(shop.exists("runlog.txt"));
}

TEST(Goto, AnswersWithThePageAndTheBasketTableForGetAndPost) {
    Install shop;
    shop.put("web/page.html", "<html>\n<p>{SHOPPER}</p>\n");
    shop.put("baskets/basket/1.2.bsk", "[Basket]\nNumKeys=1\n[1]\nNAME=Mug\nITEM=M-1\nPRICE=4.50\nQUANTITY=3\n");
    const std::string table_start = "<form method=post action=\"tavra.exe\">\n";
    const std::string want_head = kHeader + "</pre>\n<p>basket/1.2.bsk</p>\n" + table_start;
    for (const Reply& r : {shop.get_words({"goto", "page.html", "basket/1.2.bsk"}),
                           shop.post("command=goto&where=page.html&basket=basket%2F1.2.bsk"),
                           shop.post("command=edit&command=goto&where=page.html&basket=basket%2F1.2.bsk")}) {
        EXPECT_EQ(r.out.substr(0, want_head.size()), want_head);
        EXPECT_NE(r.out.find("<td align=right bgcolor=#CEE7E7>13.50</td>"), std::string::npos);
        EXPECT_EQ(r.status, 1);
    }
    // goto writes nothing.
    EXPECT_EQ(shop.get("baskets/basket/1.2.bsk"),
              "[Basket]\nNumKeys=1\n[1]\nNAME=Mug\nITEM=M-1\nPRICE=4.50\nQUANTITY=3\n");
}

TEST(Goto, MissingWordsAndFieldsReadAsEmptyText) {
    Install shop;
    // No page: the web directory itself cannot be opened as a page.
    const std::string want = kHeader + "Could not open " + shop.path("web/") + "\n";
    EXPECT_EQ(shop.get_words({"goto"}).out, want);
    EXPECT_EQ(shop.post("command=goto").out, want);
    EXPECT_EQ(shop.post("command=goto&where=missing.html").out,
              kHeader + "Could not open " + shop.path("web/missing.html") + "\n");
}

TEST(Goto, AFifoWhereThePageShouldBeIsAPageThatCannotBeOpened) {
    Install shop;
    ASSERT_EQ(mkfifo(shop.path("web/fifo.html").c_str(), 0644), 0);
    ASSERT_EQ(mkfifo(shop.path("baskets/basket/1.2.bsk").c_str(), 0644), 0);
    EXPECT_EQ(shop.get_words({"goto", "fifo.html", "basket/1.2.bsk"}).out,
              kHeader + "Could not open " + shop.path("web/fifo.html") + "\n");
}
