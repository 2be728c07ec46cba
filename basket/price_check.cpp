#include "basket/price_check.h"

#include <cmath>

#include "common/limits.h"
#include "common/numbers.h"
#include "common/text.h"
#include "formats/basket_amounts.h"
#include "platform/profile.h"

std::optional<ItemAmounts> item_table_amounts(const std::string& table, const std::string& item) {
    const std::optional<std::string> price = profile::read_value(table, item, "PRICE");
    if (!price || without_blanks_around(*price).empty()) return std::nullopt;
    auto value = [&](const char* key) { return profile::read_text(table, item, key, {}, limits::kItemValue); };
    return ItemAmounts{value("NAME"), cut(*price, limits::kItemValue), value("SHIP")};
}

std::optional<BasketLine> priced_line(const Shop& shop, BasketLine line) {
    if (!shop.switches.pricecheck) return line;
    const auto amounts = item_table_amounts(shop.config.dbfile, line.item.value_or(""));
    if (!amounts) return std::nullopt;
    line.name = amounts->name;
    line.price = amounts->price;
    line.ship = amounts->ship;
    return line;
}

bool quantity_allowed(const Shop& shop, const std::string& item, std::string_view quantity) {
    if (!shop.switches.pricecheck) return true;
    const double number = read_decimal(quantity);
    return number == std::floor(number) || profile::read_text(shop.config.dbfile, item, "FRACTIONS") == "on";
}

std::optional<BasketLine> line_as_stored(const Shop& shop, BasketLine line) {
    std::optional<BasketLine> priced = priced_line(shop, std::move(line));
    if (!priced || !quantity_allowed(shop, priced->item.value_or(""), priced->quantity.value_or("")))
        return std::nullopt;
    return line_to_store(*priced);
}
