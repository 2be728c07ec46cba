// The basket table: the shopper's lines with editable quantities, subtotals,
// total, and the "Update" and "Place Order" forms.
#pragma once
#include <string_view>

void render_basket_table(std::string_view basket, std::string_view page);
