#include <gtest/gtest.h>

#include "common/lines.h"

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
