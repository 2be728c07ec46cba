// Checkout step 4, shared by both programs once they have checked the names.
#pragma once
#include <functional>
#include <string>

#include "checkout/summary.h"
#include "platform/output.h"
#include "request/form.h"
#include "request/shop.h"

// Shipping priced by a program's own rules: `price` gives the shipping total
// of a basket file.
using ShippingRules = std::function<double(const std::string& basket_file)>;

// Writes the header; under the basket's lock records the carrier and works
// out the shipping (the lines' own amounts for agent "predetermined", or
// `rules` alone when they are given), the extra charges and the tax rate
// (sales_tax_rate); then writes the step-4 page in `style` as the answer,
// with status 1.
reply::Done answer_step4(const FormTable& form, const Shop& shop, const std::string& basket, const std::string& page,
                         SummaryStyle style, const ShippingRules& rules = nullptr);
