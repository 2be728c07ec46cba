#include "common/numbered.h"

#include <algorithm>

#include "common/text.h"

namespace {
// More digits than this cannot be a number any count reaches.
constexpr std::size_t kMaxDigits = 18;
}  // namespace

std::optional<long long> number_after(std::string_view name, std::string_view prefix, bool ignore_case) {
    if (name.size() <= prefix.size()) return std::nullopt;
    std::string_view head = name.substr(0, prefix.size());
    if (ignore_case ? !equals_ignoring_case(head, prefix) : head != prefix) return std::nullopt;
    std::string_view digits = name.substr(prefix.size());
    if (digits.size() > kMaxDigits || (digits.size() > 1 && digits.front() == '0')) return std::nullopt;
    long long n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n;
}

std::vector<long long> numbers_named(const std::vector<std::string>& names, std::string_view prefix, NumberRow row,
                                     bool ignore_case) {
    std::vector<long long> numbers;
    for (const std::string& name : names) {
        auto n = number_after(name, prefix, ignore_case);
        if (n && row.holds(*n)) numbers.push_back(*n);
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    return numbers;
}
