// Checkout step 4: the carrier, shipping, extra charges and sales tax, then
// the step-4 page.
#include "checkout/step4.h"

#include "formats/basket_file.h"
#include "formats/basket_view.h"
#include "formats/order_price.h"
#include "checkout/totals.h"
#include "platform/output.h"
#include "platform/profile.h"
#include "render/reply_pieces.h"

reply::Done answer_step4(const FormTable& form, const Shop& shop, const std::string& basket, const std::string& page,
                         SummaryStyle style, const ShippingRules& rules) {
    write_content_type();
    const std::string path = shop.basket_file(basket);
    profile::Lock lock(path);  // from the carrier to the stored totals
    // Until the summary stores its totals the basket stands as changed: a run
    // that ends before them leaves no summary to order from.
    set_order_state(path, OrderState::changed);
    const bool by_lines = form.has_value("agent", "predetermined");
    if (by_lines || rules) record_carrier(path, form);
    const BasketView view = load_basket(path);
    // Priced by the rules alone when they are given, also when
    // "predetermined" came too.
    ShippingInputs shipping;
    if (rules) shipping = {ShippingInputs::By::rules, rules(view)};
    else if (by_lines) shipping.by = ShippingInputs::By::lines;
    const OrderPrice price = price_order(view, tax_inputs(form, shop), shipping);
    if (auto refused = write_order_details(shop, basket, view.checkout, page, style)) {
        // A step 4 whose page fails keeps the carrier, and the order stands
        // as changed: no summary to order from.
        profile::store_now(path);
        return *refused;
    }
    write_order_summary(shop, basket, view, price, page, style);
    profile::store_now(path);
    return {1};
}
