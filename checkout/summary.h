// The step-4 page of both programs: the merchant page with the shopper's
// details and the "Finalize Order" form, then the order summary, which also
// stores the tax and the grand total for the confirmation.
#pragma once
#include <string_view>

#include "formats/basket_view.h"
#include "formats/order_price.h"
#include "platform/output.h"
#include "request/shop.h"

// Where the two programs' step-4 pages differ.
struct SummaryStyle {
    bool fax_row;         // the details block shows "fphone"
    bool closing_breaks;  // a summary with lines ends with a line of eight "<br>"
};
inline constexpr SummaryStyle kBasketProgramPage{true, true};
inline constexpr SummaryStyle kShippingPage{false, false};

// Writes the page `page` (in the web directory) with only "{SHOPPER}"
// expanded, then the details block of `entries` and the confirm form for
// `basket`. The answer (status 1) when the page cannot be opened or opts out
// of parsing, and nothing when the summary goes on.
[[nodiscard]] reply::Refusal write_order_details(const Shop& shop, std::string_view basket,
                                                 const CheckoutEntries& entries, std::string_view page,
                                                 SummaryStyle style);

// Writes the summary table of `basket` (its view) with the tax, extra
// charges, shipping and grand total of `price`, and stores "Total"/"Tax" and
// "Total"/"Total" and marks the basket summarised; an empty basket gets the
// "Update" and "Place Order" forms instead and nothing is stored. The caller
// holds the basket's lock.
void write_order_summary(const Shop& shop, std::string_view basket, const BasketView& view, const OrderPrice& price,
                         std::string_view page, SummaryStyle style);
