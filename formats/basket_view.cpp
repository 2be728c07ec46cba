#include "formats/basket_view.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "common/numbers.h"
#include "common/text.h"
#include "platform/profile.h"

using namespace basket_keys;

namespace {

// Where each entry of "Shipping" goes in the view.
const std::pair<std::string_view, std::string CheckoutEntries::*> kEntryFields[] = {
    {kFirstName, &CheckoutEntries::fname},   {kMiddleInitial, &CheckoutEntries::minitial},
    {kLastName, &CheckoutEntries::lname},    {kAddress1, &CheckoutEntries::addr1},
    {kAddress2, &CheckoutEntries::addr2},    {kCity, &CheckoutEntries::city},
    {kState, &CheckoutEntries::stpr},        {kCountry, &CheckoutEntries::country},
    {kZip, &CheckoutEntries::zip},           {kDayPhone, &CheckoutEntries::dphone},
    {kFaxPhone, &CheckoutEntries::fphone},   {kEmail, &CheckoutEntries::email},
    {kPayType, &CheckoutEntries::paytype},   {kCardName, &CheckoutEntries::cname},
    {kCardNumber1, &CheckoutEntries::cnum1}, {kCardNumber2, &CheckoutEntries::cnum2},
    {kExpiryMonth, &CheckoutEntries::expmo}, {kExpiryYear, &CheckoutEntries::expyr},
    {kCarrier, &CheckoutEntries::carrier},
};

const std::string kEmpty;

std::string value(const std::string& path, std::string_view section, std::string_view key) {
    return profile::read_text(path, section, key, {}, limits::kBasketValue);
}

StoredAmount amount(std::string text) {
    StoredAmount a;
    a.text = std::move(text);
    a.number = read_decimal(a.text);
    return a;
}

LineView read_line(const std::string& path, long long number) {
    const std::string section = std::to_string(number);
    LineView line;
    line.number = number;
    line.name = value(path, section, kName);
    line.item = value(path, section, kItem);
    line.shown_name = cut(line.name, limits::kShownValue);
    line.shown_item = cut(line.item, limits::kShownValue);
    line.quantity = amount(value(path, section, kQuantity));
    line.price = amount(value(path, section, kPrice));
    line.ship = amount(value(path, section, kShip));
    return line;
}

CheckoutEntries read_checkout(const std::string& path) {
    CheckoutEntries e;
    for (const auto& [key, field] : kEntryFields) e.*field = value(path, kShipping, key);
    const std::string mask1 = std::string(kCardNumber1) + std::string(kMaskSuffix);
    const std::string mask2 = std::string(kCardNumber2) + std::string(kMaskSuffix);
    e.cnum1_sealed = profile::read_value(path, kShipping, mask1).has_value();
    e.cnum2_sealed = profile::read_value(path, kShipping, mask2).has_value();
    e.cnum1mask = value(path, kShipping, mask1);
    e.cnum2mask = value(path, kShipping, mask2);
    e.batch_expmo = cut(e.expmo, limits::kBatchExpiry);
    e.batch_expyr = cut(e.expyr, limits::kBatchExpiry);
    e.batch_cnum1 = cut(e.cnum1, limits::kBatchCardNumber);
    return e;
}

NumberedEntries read_numbered(const std::string& path, std::string_view section, std::string_view prefix) {
    NumberedEntries entries;
    entries.count = profile::read_int(path, section, kNumFields);
    for (long long n : profile::numbered_keys(path, section, prefix))
        entries.values.emplace(n, value(path, section, std::string(prefix) + std::to_string(n)));
    return entries;
}

}  // namespace

const std::string& CheckoutEntries::entry(std::string_view key) const {
    for (const auto& [name, field] : kEntryFields)
        if (name == key) return this->*field;
    return kEmpty;
}

int NumberedEntries::counted() const { return std::min(count, limits::kMaxCountedEntries); }

const std::string& NumberedEntries::at(long long n) const {
    const auto found = values.find(n);
    return found == values.end() ? kEmpty : found->second;
}

int BasketView::counted_lines() const {
    return static_cast<int>(std::min<long long>(line_count, limits::kBasketLines));
}

LineView BasketView::line(long long n) const {
    const auto found = std::lower_bound(lines.begin(), lines.end(), n,
                                        [](const LineView& line, long long number) { return line.number < number; });
    if (found != lines.end() && found->number == n) return *found;
    LineView empty;
    empty.number = n;
    return empty;
}

std::vector<long long> BasketView::lines_to_visit(const std::vector<long long>& also) const {
    std::vector<long long> stored;
    for (const LineView& line : lines) stored.push_back(line.number);
    std::vector<long long> visit;
    std::set_union(stored.begin(), stored.end(), also.begin(), also.end(), std::back_inserter(visit));
    const long long last = std::min<long long>(line_count, limits::kBasketLines);
    visit.erase(std::upper_bound(visit.begin(), visit.end(), last), visit.end());
    return visit;
}

std::vector<long long> BasketView::stored_charges(int offset) const {
    std::vector<long long> found;
    for (const auto& [key, text] : charges.values) {
        const long long n = key - offset;
        if (n >= 1 && n <= charges.count && (n - 1) % 3 == 0) found.push_back(n);
    }
    return found;
}

StoredAmount BasketView::charge(long long n) const { return amount(charges.at(n)); }

BasketView load_basket(const std::string& path) {
    BasketView view;
    view.line_count = stored_line_count(path);
    for (long long n : lines_to_visit(path, view.line_count)) view.lines.push_back(read_line(path, n));
    view.checkout = read_checkout(path);
    view.options = read_numbered(path, kOptional, kOption);
    view.charges = read_numbered(path, kAdditional, kCharge);
    view.totals = stored_totals(path, limits::kBasketValue);
    view.batch_total = cut(view.totals.total, limits::kBatchTotal);
    view.state = order_state(path);
    return view;
}
