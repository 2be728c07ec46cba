// The money of checkout step 4, worked out from the basket file the same way
// by both programs.
#pragma once
#include <string>
#include <vector>

#include "request/form.h"
#include "request/shop.h"

// The line numbers from 1 to "NumKeys" that have a section, ascending; any
// other line reads as empty, so it is neither shown nor adds anything.
std::vector<long long> stored_lines(const std::string& basket_file);

// The extra charges n = 1, 4, 7, ... up to "Additional"/"numfields" whose key
// "a"(n + offset) is stored, ascending (offset 0 is the amount, 2 the
// description); a charge without that key reads it as empty.
std::vector<long long> stored_charges(const std::string& basket_file, int offset);

// Sets "Shipping"/"carrier" to the value of the field `agent`.
void record_carrier(const std::string& basket_file, const FormTable& form);

// Shipping from the lines' own amounts: SHIP x QUANTITY summed over every
// line in order, whatever its quantity.
double predetermined_shipping(const std::string& basket_file);

// The sum of the stored extra charge amounts "a1", "a4", ... up to
// "numfields", in order.
double additions_total(const std::string& basket_file);

// The configured "tax" rate when sales tax applies, otherwise 0. It applies
// when the field `salestax` is "on", or, when the merchant lists taxstates,
// exactly when the basket's "Shipping"/"stpr" is one of them (without the
// blanks around it and regardless of letter case).
double sales_tax_rate(const FormTable& form, const std::string& basket_file, const Shop& shop);
