// Prices checked on the server: with the switch "pricecheck" on, a line
// added from form fields takes its name, price and shipping value from the
// item table named by the configuration's `dbfile`, whatever the form posts.
#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "formats/basket_file.h"
#include "request/shop.h"

struct ItemAmounts {
    std::string name, price, ship;
};

// "NAME", "PRICE" and "SHIP" of the item's section in the item table (a
// missing "NAME" or "SHIP" reads as empty); nothing when the table has no
// such section, or no "PRICE" in it, or an empty one.
std::optional<ItemAmounts> item_table_amounts(const std::string& table, const std::string& item);

// The line as the shop adds it: unchanged when prices are not checked;
// otherwise with the item table's name, price and shipping value, or nothing
// when the table does not price the line's item.
std::optional<BasketLine> priced_line(const Shop& shop, BasketLine line);

// Whether `quantity` may be stored for `item`: always when prices are not
// checked; otherwise a quantity with a fractional part only when the item's
// section in the item table has "FRACTIONS=on".
bool quantity_allowed(const Shop& shop, const std::string& item, std::string_view quantity);

// The line as the shop stores it: priced_line, with its quantity allowed and
// its amounts as line_to_store gives them; nothing when one of them refuses it.
std::optional<BasketLine> line_as_stored(const Shop& shop, BasketLine line);
