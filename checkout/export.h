// The order database export: a confirmed order appended to the merchant's
// customer, order and shipment tables.
#pragma once
#include <string>

#include "formats/basket_file.h"
#include "formats/basket_view.h"
#include "request/shop.h"

// The columns of the tables; each line begins with the invoice number.
// Customer table, columns 2 to 19: these keys of "Shipping". Order table,
// one line per basket line, columns 2 to 6: these keys of it.
using basket_keys::kCustomerColumns;
using basket_keys::kOrderColumns;

// Appends the order of `basket` (its view) to the three table files named by
// "Order Control"/"customer", "order" and "shipment" of the configuration
// file: one customer line, one order line per basket line, one shipment line
// per option and per extra charge, each starting with `invoice`. A table file
// that cannot be opened is reported on the reply ("Could not open <path>\n")
// and skipped. The shop's switches mask card numbers and guard formula-like
// cells.
void export_order(const Shop& shop, const BasketView& basket, const std::string& invoice);
