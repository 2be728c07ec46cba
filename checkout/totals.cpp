#include "checkout/totals.h"

#include "formats/basket_file.h"
#include "request/shop.h"
#include "platform/profile.h"
#include "request/config.h"

void record_carrier(const std::string& basket_file, const FormTable& form) {
    profile::write(basket_file, basket_keys::kShipping, basket_keys::kCarrier, stored_value(form.lookup("agent")));
}

TaxInputs tax_inputs(const FormTable& form, const Shop& shop) {
    return {form.has_value("salestax", "on"), shop.switches.taxstates, shop.config.tax};
}
