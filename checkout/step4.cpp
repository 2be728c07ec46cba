// Checkout step 4: the carrier, shipping, extra charges and sales tax, then
// the step-4 page.
#include "checkout/step4.h"

#include "formats/basket_file.h"
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
    double shipping = 0;
    if (form.has_value("agent", "predetermined")) {
        record_carrier(path, form);
        shipping = predetermined_shipping(path);
    }
    if (rules) {  // priced by the rules alone, also when "predetermined" came too
        record_carrier(path, form);
        shipping = rules(path);
    }
    const double additions = additions_total(path);
    const double tax_rate = sales_tax_rate(form, path, shop);
    if (auto refused = write_order_details(shop, basket, page, style)) {
        // A step 4 whose page fails keeps the carrier, and the order stands
        // as changed: no summary to order from.
        profile::store_now(path);
        return *refused;
    }
    write_order_summary(shop, basket, page, shipping, tax_rate, additions, style);
    profile::store_now(path);
    return {1};
}
