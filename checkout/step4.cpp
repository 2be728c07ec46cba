// Checkout step 4 in the basket program: the carrier and shipping from the
// lines' own amounts, extra charges and sales tax, then the step-4 page.
#include <string>

#include "basket/basket_file.h"
#include "checkout/summary.h"
#include "checkout/totals.h"
#include "intake/commands.h"
#include "platform/output.h"
#include "platform/profile.h"
#include "render/reply.h"

void command_step4(const Request& r) {
    const std::string basket = r.form.text("basket");
    const std::string page = r.form.text("where");
    require_basket_name(r, basket);
    require_file_name(r, page);
    write_content_type();
    const std::string path = basket_path(basket);
    profile::Lock lock(path);  // from the carrier to the stored totals
    double shipping = 0;
    if (r.form.test("agent", "predetermined")) {
        record_carrier(path, r.form);
        shipping = predetermined_shipping(path);
    }
    const double additions = additions_total(path);
    const double tax_rate = sales_tax_rate(r.form);
    write_order_details(basket, page, kBasketProgramPage);
    write_order_summary(basket, page, shipping, tax_rate, additions, kBasketProgramPage);
    reply::finish(1);
}
