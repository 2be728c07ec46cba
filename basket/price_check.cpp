#include "basket/price_check.h"

#include "common/limits.h"
#include "common/text.h"
#include "platform/profile.h"
#include "request/config.h"

std::optional<ItemAmounts> item_table_amounts(const std::string& item) {
    const std::string& table = config().dbfile;
    const std::optional<std::string> price = profile::read_value(table, item, "PRICE");
    if (!price) return std::nullopt;
    return ItemAmounts{cut(*price, limits::kItemValue), profile::read_text(table, item, "SHIP", {}, limits::kItemValue)};
}

std::optional<BasketLine> priced_line(const Switches& switches, BasketLine line) {
    if (!switches.pricecheck) return line;
    const auto amounts = item_table_amounts(line.item.value_or(""));
    if (!amounts) return std::nullopt;
    line.price = amounts->price;
    line.ship = amounts->ship;
    return line;
}
