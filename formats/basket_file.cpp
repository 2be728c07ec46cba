#include "formats/basket_file.h"

#include <algorithm>
#include <iterator>

#include "common/limits.h"
#include "common/numbers.h"
#include "platform/profile.h"

using namespace basket_keys;

void limit_basket_size(const std::string& path) { profile::limit_size(path, limits::kBasketFileBytes); }

std::optional<std::string> stored_value(const std::optional<std::string>& value) {
    if (!value) return std::nullopt;
    return value->substr(0, limits::kStoredValue);
}

namespace {

// The section and key of the order state, and its stored words.
constexpr std::string_view kStateSection = "Order State";
constexpr std::string_view kStateKey = "state";
constexpr std::string_view kSummarised = "summarised";
constexpr std::string_view kOrdered = "ordered";

}  // namespace

bool add_basket_line(const std::string& path, const BasketLine& line) {
    const int lines = profile::read_int(path, kBasket, kNumKeys);
    if (lines >= limits::kBasketLines) return false;
    set_order_state(path, OrderState::changed);
    const std::string section = std::to_string(lines + 1LL);
    profile::write(path, kBasket, kNumKeys, std::string_view(section));
    profile::write(path, section, kName, stored_value(line.name));
    profile::write(path, section, kItem, stored_value(line.item));
    profile::write(path, section, kPrice, stored_value(line.price));
    profile::write(path, section, kShip, stored_value(line.ship));
    profile::write(path, section, kQuantity, stored_value(line.quantity));
    return true;
}

std::string checkout_key_digest(const std::string& path) { return profile::read_text(path, kCheckout, kCheckoutKey); }

void write_checkout_key_digest(const std::string& path, const std::string& digest) {
    profile::write(path, kCheckout, kCheckoutKey, std::string_view(digest));
}

long long stored_line_count(const std::string& path) { return profile::read_int(path, kBasket, kNumKeys); }

void write_shipping_value(const std::string& path, std::string_view key, const std::optional<std::string>& value) {
    profile::write(path, kShipping, key, stored_value(value));
}

BasketTotals stored_totals(const std::string& path, std::size_t room) {
    return {profile::read_text(path, kTotals, kTax, {}, room), profile::read_text(path, kTotals, kTotal, {}, room)};
}

void write_totals(const std::string& path, const std::string& tax, const std::string& total) {
    profile::write(path, kTotals, kTax, tax);
    profile::write(path, kTotals, kTotal, total);
}

std::vector<long long> lines_to_visit(const std::string& path, long long num_keys,
                                      const std::vector<long long>& also) {
    const std::vector<long long> sections = profile::numbered_sections(path);
    std::vector<long long> lines;
    std::set_union(sections.begin(), sections.end(), also.begin(), also.end(), std::back_inserter(lines));
    const long long last = std::min<long long>(num_keys, limits::kBasketLines);
    lines.erase(std::upper_bound(lines.begin(), lines.end(), last), lines.end());
    return lines;
}

OrderState order_state(const std::string& path) {
    const std::string state = profile::read_text(path, kStateSection, kStateKey);
    if (state == kSummarised) return OrderState::summarised;
    if (state == kOrdered) return OrderState::ordered;
    return OrderState::changed;
}

void set_order_state(const std::string& path, OrderState state) {
    if (order_state(path) == state) return;
    switch (state) {
        case OrderState::changed:
            profile::remove(path, kStateSection, kStateKey);
            break;
        case OrderState::summarised:
            profile::write(path, kStateSection, kStateKey, kSummarised);
            break;
        case OrderState::ordered:
            profile::write(path, kStateSection, kStateKey, kOrdered);
            break;
    }
}
