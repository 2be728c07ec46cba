#include <gtest/gtest.h>

#include "common/numbers.h"

TEST(ReadInteger, TakesSignAndLeadingDigits) {
    const std::pair<const char*, int> rows[] = {
        {"", 0},          {"abc", 0},   {"42", 42},     {"  42", 42},       {"\t-7x", -7},  {"+3", 3},
        {"2b", 2},        {"12.9", 12}, {"- 5", 0},     {"0004", 4},        {"1e3", 1},     {"99999999999", 2147483647},
        {"-99999999999", -2147483647 - 1},
    };
    for (const auto& [text, want] : rows) EXPECT_EQ(read_integer(text), want) << '"' << text << '"';
}

TEST(ReadDecimal, TakesTheLongestNumberPrefix) {
    const std::pair<const char*, double> rows[] = {
        {"", 0},        {"x1", 0},       {"1.5", 1.5},     {" 1.5kg", 1.5}, {"-1.5", -1.5}, {".5", 0.5},
        {"5.", 5},      {"1,5", 1},      {"2e2", 200},     {"2e", 2},       {"2e+", 2},     {"-.", 0},
        {"inf", 0},     {"nan", 0},      {"0x10", 0},      {"+.25", 0.25},  {"3E-1x", 0.3},
    };
    for (const auto& [text, want] : rows) EXPECT_DOUBLE_EQ(read_decimal(text), want) << '"' << text << '"';
}

TEST(TwoDecimals, RoundsToNearestWithASign) {
    EXPECT_EQ(two_decimals(0), "0.00");
    EXPECT_EQ(two_decimals(12.5), "12.50");
    EXPECT_EQ(two_decimals(0.3333 + 0.3333), "0.67");
    EXPECT_EQ(two_decimals(-1.5), "-1.50");
    EXPECT_EQ(two_decimals(1e20), "100000000000000000000.00");
}
