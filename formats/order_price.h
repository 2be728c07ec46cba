// The price of an order, worked out from the basket's view alone: the basket
// table's total, the order summary's tax and grand total and the shipping of
// step 4 all come from here, so that every page and file shows one price.
#pragma once
#include <string>
#include <vector>

#include "formats/basket_view.h"

// Whether sales tax applies, and at what rate.
struct TaxInputs {
    bool asked = false;                  // the form's "salestax" is "on"
    std::vector<std::string> taxstates;  // the merchant's list; empty when not set
    std::string rate;                    // the configured "tax", read as a decimal
};

// How step 4 prices the shipping.
struct ShippingInputs {
    enum class By { nothing, lines, rules };
    By by = By::nothing;
    double by_rules = 0;  // the rules' total, for By::rules
};

struct OrderPrice {
    double subtotal = 0;  // quantity x price over the lines the tables show
    double shipping = 0;
    double tax_rate = 0;
    double tax = 0;      // subtotal x tax_rate
    double charges = 0;  // the extra charge amounts
    double total = 0;    // tax + subtotal + shipping + charges
    // The tax and the total as the summary shows and stores them.
    std::string tax_text, total_text;
};

// Whether the basket table and the summary show the line: one of quantity 0
// is a removed line, or one not yet complete.
bool line_shown(const LineView& line);
// The line's quantity x price.
double line_total(const LineView& line);

// Shipping from the lines' own amounts: SHIP x QUANTITY summed over every
// stored line in order, whatever its quantity.
double lines_shipping(const BasketView& basket);

// The sum of the stored extra charge amounts "a1", "a4", ... up to
// "numfields", in order.
double charges_total(const BasketView& basket);

// The tax rate when sales tax applies, otherwise 0. It applies when the form
// asks for it, or, when the merchant lists taxstates, exactly when the
// basket's "stpr" is one of them (without the blanks around it and
// regardless of letter case).
double sales_tax_rate(const BasketView& basket, const TaxInputs& tax);

// The order's price. The basket table takes its subtotal; the summary, with
// the form's tax inputs and step 4's shipping, the rest.
OrderPrice price_order(const BasketView& basket, const TaxInputs& tax = {}, const ShippingInputs& shipping = {});
