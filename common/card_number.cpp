#include "common/card_number.h"

#include "common/limits.h"

std::string masked_card_number(std::string_view number) {
    constexpr std::size_t kShown = limits::kCardShownDigits;
    if (number.empty()) return {};
    if (number.size() <= kShown) return std::string(kShown, '*');
    return std::string(number.size() - kShown, '*') + std::string(number.substr(number.size() - kShown));
}
