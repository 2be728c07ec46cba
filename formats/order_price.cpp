#include "formats/order_price.h"

#include <algorithm>

#include "common/numbers.h"
#include "common/text.h"

bool line_shown(const LineView& line) { return line.quantity.number != 0; }

double line_total(const LineView& line) { return line.quantity.number * line.price.number; }

double lines_shipping(const BasketView& basket) {
    double total = 0;
    for (const LineView& line : basket.lines) total += line.ship.number * line.quantity.number;
    return total;
}

double charges_total(const BasketView& basket) {
    double total = 0;
    for (long long n : basket.stored_charges(0)) total += basket.charge(n).number;
    return total;
}

double sales_tax_rate(const BasketView& basket, const TaxInputs& tax) {
    bool applies = tax.asked;
    if (!tax.taxstates.empty()) {
        const std::string state = without_blanks_around(basket.checkout.stpr);
        applies = std::any_of(tax.taxstates.begin(), tax.taxstates.end(),
                              [&state](const std::string& listed) { return equals_ignoring_case(listed, state); });
    }
    return applies ? read_decimal(tax.rate) : 0;
}

OrderPrice price_order(const BasketView& basket, const TaxInputs& tax, const ShippingInputs& shipping) {
    OrderPrice price;
    for (const LineView& line : basket.lines)
        if (line_shown(line)) price.subtotal += line_total(line);
    switch (shipping.by) {
        case ShippingInputs::By::nothing:
            break;
        case ShippingInputs::By::lines:
            price.shipping = lines_shipping(basket);
            break;
        case ShippingInputs::By::rules:
            price.shipping = shipping.by_rules;
            break;
    }
    price.charges = charges_total(basket);
    price.tax_rate = sales_tax_rate(basket, tax);
    price.tax = price.subtotal * price.tax_rate;
    price.total = price.tax + price.subtotal + price.shipping + price.charges;
    price.tax_text = two_decimals(price.tax);
    price.total_text = two_decimals(price.total);
    return price;
}
