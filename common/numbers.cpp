#include "common/numbers.h"

#include <cctype>
#include <cmath>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace {

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

int read_integer(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && is_space(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && is_digit(text[i]); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    return static_cast<int>(value);
}

namespace {

// The longest prefix of `text` after leading white space that reads as a
// decimal number, and whether it carries an exponent; empty when none does.
struct DecimalPrefix {
    std::string_view digits;
    bool exponent = false;
};

DecimalPrefix decimal_prefix(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && is_space(text[i])) ++i;
    const std::size_t start = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < text.size() && is_digit(text[i])) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && is_digit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return {};
    DecimalPrefix prefix;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        if (j < text.size() && is_digit(text[j])) {
            while (j < text.size() && is_digit(text[j])) ++j;
            i = j;
            prefix.exponent = true;
        }
    }
    prefix.digits = text.substr(start, i - start);
    return prefix;
}

double prefix_value(const DecimalPrefix& prefix) {
    if (prefix.digits.empty()) return 0.0;
    // The prefix holds only the characters checked above, so strtod reads it
    // whole and never meets a locale-dependent decimal separator.
    const std::string digits(prefix.digits);
    return std::strtod(digits.c_str(), nullptr);
}

}  // namespace

double read_decimal(std::string_view text) { return prefix_value(decimal_prefix(text)); }

bool plain_amount(std::string_view text) {
    const DecimalPrefix prefix = decimal_prefix(text);
    const double value = prefix_value(prefix);
    return !prefix.exponent && std::isfinite(value) && !(value < 0);
}

long long numbered_name(std::string_view text) {
    if (text.empty() || text.size() > 18 || text[0] == '0') return -1;
    long long value = 0;
    for (char c : text) {
        if (!is_digit(c)) return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::string two_decimals(double amount) {
    char buffer[64];
    int n = std::snprintf(buffer, sizeof buffer, "%.2f", amount);
    if (n < 0) return "0.00";
    if (static_cast<std::size_t>(n) < sizeof buffer) return std::string(buffer, static_cast<std::size_t>(n));
    std::string big(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(big.data(), big.size(), "%.2f", amount);
    big.resize(static_cast<std::size_t>(n));
    return big;
}
