#include <gtest/gtest.h>

#include "common/lines.h"
#include "request/config.h"

namespace {
std::vector<std::string> pieces(const std::string& text, std::size_t piece = limits::kLinePiece) {
    LineReader r(text, piece);
    std::vector<std::string> out;
    std::string line;
    while (r.next(line)) out.push_back(line);
    return out;
}
}  // namespace

TEST(LineReader, SplitsAtLineFeedAndCrLf) {
    EXPECT_EQ(pieces("a\r\nb\nc"), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(pieces("a\rb\n"), (std::vector<std::string>{"a\rb"}));
    EXPECT_EQ(pieces(""), std::vector<std::string>{});
    EXPECT_EQ(pieces("\n\n"), (std::vector<std::string>{"", ""}));
}

TEST(LineReader, TakesLongLinesInPieces) {
    auto p = pieces(std::string(1500, 'x') + "\nend\n");
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[0].size(), 1023u);
    EXPECT_EQ(p[1].size(), 477u);
    EXPECT_EQ(p[2], "end");
    // A line that fills the piece exactly leaves its break as an empty line.
    EXPECT_EQ(pieces(std::string(1022, 'y') + "\n").size(), 1u);
    EXPECT_EQ(pieces(std::string(1023, 'y') + "\n"), (std::vector<std::string>{std::string(1023, 'y'), ""}));
    EXPECT_EQ(pieces(std::string(1023, 'y') + "\r\n"), (std::vector<std::string>{std::string(1023, 'y'), ""}));
}

TEST(ConfigReader, ReadsPrefixedLinesAfterTheSectionLine) {
    Config c;
    ASSERT_EQ(parse_config("webdir=/early/\n[Program Config]\r\n"
                           "webdir=/first/\r\n"
                           "shiptable=s.ini\r\n"
                           "name=Shop  \r\n"
                           " tax=0.1\r\n"
                           "email =x\r\n"
                           "webdir=\r\n"
                           "[Order Control]\r\n"
                           "email=on\r\n"
                           "invnumber=" + std::string(300, '7') + "\n",
                           c),
              ConfigRead::ok);
    EXPECT_EQ(c.webdir, "");
    EXPECT_EQ(c.shiptable, "s.ini");
    EXPECT_EQ(c.table, "");
    EXPECT_EQ(c.name, "Shop  ");
    EXPECT_EQ(c.tax, "");
    EXPECT_EQ(c.email, "on");
    EXPECT_EQ(c.invnumber, std::string(255, '7'));
}

TEST(ConfigReader, NeedsTheExactSectionLine) {
    Config c;
    EXPECT_EQ(parse_config("", c), ConfigRead::cannot_read);
    EXPECT_EQ(parse_config("[program config]\nwebdir=x\n", c), ConfigRead::cannot_read);
    EXPECT_EQ(parse_config("[Program Config] \nwebdir=x\n", c), ConfigRead::cannot_read);
    EXPECT_EQ(parse_config("[Program Config]", c), ConfigRead::ok);
}
