// The item table's shipping rules: an item's "SHIPTYPE" names one, and the
// rule's own keys in the same section give its numbers.
#pragma once
#include <string>
#include <string_view>

#include "formats/basket_view.h"

struct ShippingRule {
    enum class Kind { none, percent, quantity, bulk };
    Kind kind = Kind::none;
    double percent = 0;   // factor on the unit price ("percent")
    double first = 0;     // the first unit ("quantity")
    double remain = 0;    // each further unit ("quantity")
    int minimum = 0;      // smallest quantity at the bulk rate ("bulk")
    double unitship = 0;  // per unit at the bulk rate ("bulk")
    double regular = 0;   // per unit below the bulk quantity ("bulk")
};

// The rule a "SHIPTYPE" value names, compared byte for byte; none for any
// other value.
ShippingRule::Kind rule_kind(std::string_view shiptype);

// The rule of `item` in the item table: its kind and that kind's keys.
ShippingRule read_shipping_rule(const std::string& item_table, std::string_view item);

// What one basket line of `quantity` units at `price` each adds to the
// shipping total under `rule`.
double line_shipping(const ShippingRule& rule, double price, int quantity);

// The shipping total by the rules: every line of the basket priced in order
// by its item's rule, the same item on two lines charged twice.
double rule_shipping(const BasketView& basket, const std::string& item_table);
