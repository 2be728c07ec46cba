// The basket table: the shopper's lines with editable quantities, subtotals,
// total, and the "Update" and "Place Order" forms.
#pragma once
#include <string>
#include <string_view>

#include "request/shop.h"

void render_basket_table(const Shop& shop, std::string_view basket, std::string_view page);

// Pieces of the table that the step-4 summary writes too.

// The column headings that open the table (the table tag and five cells).
extern const std::string_view kBasketColumnHeads;

// One cell of a basket line: "<td align=ALIGN bgcolor=#CEE7E7>TEXT</td>".
std::string basket_cell(std::string_view align, std::string_view text);

// The two lines of the total row, "$" and the amount text in its cell.
std::string basket_total_row(std::string_view total);

// The whole table of an empty basket: edit form head, column headings,
// a total of $0.00, and the "Update" and "Place Order" forms.
std::string empty_basket_table(std::string_view basket, std::string_view page);
