// Checkout step 4, shared by both programs once they have checked the names.
#pragma once
#include <functional>
#include <string>

#include "checkout/summary.h"
#include "formats/basket_view.h"
#include "platform/output.h"
#include "request/form.h"
#include "request/shop.h"

// Shipping priced by a program's own rules: the shipping total of a basket.
using ShippingRules = std::function<double(const BasketView& basket)>;

// Writes the header; under the basket's lock records the carrier and prices
// the order (price_order) with the shipping from the lines' own amounts for
// agent "predetermined", or from `rules` alone when they are given, and the
// form's tax inputs (tax_inputs); then writes the step-4 page in `style` as
// the answer, with status 1.
reply::Done answer_step4(const FormTable& form, const Shop& shop, const std::string& basket,
                         const std::string& page, SummaryStyle style, const ShippingRules& rules = nullptr);
