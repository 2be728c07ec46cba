// Prices checked on the server: with the switch "pricecheck" on, a line
// added from form fields takes its price and shipping value from the item
// table named by the configuration's `dbfile`, whatever the form posts.
#pragma once
#include <optional>
#include <string>

#include "formats/basket_file.h"
#include "request/switches.h"

struct ItemAmounts {
    std::string price, ship;
};

// "PRICE" and "SHIP" of the item's section in the item table (a missing
// "SHIP" reads as empty); nothing when the table has no such section or no
// "PRICE" in it.
std::optional<ItemAmounts> item_table_amounts(const std::string& item);

// The line as the shop adds it: unchanged when prices are not checked;
// otherwise with the item table's price and shipping value, or nothing when
// the table does not list the line's item.
std::optional<BasketLine> priced_line(const Switches& switches, BasketLine line);
