#include <gtest/gtest.h>

#include "common/text.h"

TEST(CleanLogValue, EscapesControlBytesAndCutsBeforeEscaping) {
    const std::pair<std::string, std::string> rows[] = {
        {"plain text", "plain text"},
        {std::string("a\0b", 3), "a\\x00b"},
        {"\x1b[2J\b\x7f\t\r\n", "\\x1B[2J\\x08\\x7F\\x09\\x0D\\x0A"},
        {"caf\xc3\xa9", "caf\xc3\xa9"},
        {std::string(300, 'x'), std::string(255, 'x')},
        {std::string(254, 'x') + "\n\n", std::string(254, 'x') + "\\x0A"},
    };
    for (const auto& [value, want] : rows) EXPECT_EQ(clean_log_value(value), want) << value;
}

