#include "basket/price_check.h"

#include <cmath>

#include "common/limits.h"
#include "common/numbers.h"
#include "common/text.h"
#include "formats/basket_amounts.h"
#include "platform/profile.h"
#include "request/config.h"

std::optional<ItemAmounts> item_table_amounts(const std::string& item) {
    const std::string& table = config().dbfile;
    const std::optional<std::string> price = profile::read_value(table, item, "PRICE");
    if (!price || without_blanks_around(*price).empty()) return std::nullopt;
    auto value = [&](const char* key) { return profile::read_text(table, item, key, {}, limits::kItemValue); };
    return ItemAmounts{value("NAME"), cut(*price, limits::kItemValue), value("SHIP")};
}

std::optional<BasketLine> priced_line(const Switches& switches, BasketLine line) {
    if (!switches.pricecheck) return line;
    const auto amounts = item_table_amounts(line.item.value_or(""));
    if (!amounts) return std::nullopt;
    line.name = amounts->name;
    line.price = amounts->price;
    line.ship = amounts->ship;
    return line;
}

bool quantity_allowed(const Switches& switches, const std::string& item, std::string_view quantity) {
    if (!switches.pricecheck) return true;
    const double number = read_decimal(quantity);
    return number == std::floor(number) || profile::read_text(config().dbfile, item, "FRACTIONS") == "on";
}

std::optional<BasketLine> line_as_stored(const Switches& switches, BasketLine line) {
    std::optional<BasketLine> priced = priced_line(switches, std::move(line));
    if (!priced || !quantity_allowed(switches, priced->item.value_or(""), priced->quantity.value_or(""))) return std::nullopt;
    return line_to_store(*priced);
}
