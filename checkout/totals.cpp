#include "checkout/totals.h"

#include <algorithm>

#include "formats/basket_amounts.h"
#include "formats/basket_file.h"
#include "common/numbers.h"
#include "common/text.h"
#include "request/shop.h"
#include "platform/profile.h"

std::vector<long long> stored_lines(const std::string& basket_file) {
    return lines_to_visit(basket_file, stored_line_count(basket_file));
}

std::vector<long long> stored_charges(const std::string& basket_file, int offset) {
    const long long fields = profile::read_int(basket_file, basket_keys::kAdditional, basket_keys::kNumFields);
    std::vector<long long> charges;
    for (long long key : profile::numbered_keys(basket_file, basket_keys::kAdditional, "a")) {
        const long long n = key - offset;
        if (n >= 1 && n <= fields && (n - 1) % 3 == 0) charges.push_back(n);
    }
    return charges;
}

void record_carrier(const std::string& basket_file, const FormTable& form) {
    profile::write(basket_file, basket_keys::kShipping, "carrier", stored_value(form.lookup("agent")));
}

double predetermined_shipping(const std::string& basket_file) {
    double total = 0;
    for (long long line : stored_lines(basket_file)) {
        const std::string section = std::to_string(line);
        total += stored_amount(basket_file, section, basket_keys::kShip).number *
                 stored_amount(basket_file, section, basket_keys::kQuantity).number;
    }
    return total;
}

double additions_total(const std::string& basket_file) {
    double total = 0;
    for (long long n : stored_charges(basket_file, 0)) total += stored_charge(basket_file, n).number;
    return total;
}

double sales_tax_rate(const FormTable& form, const std::string& basket_file, const Shop& shop) {
    const Switches& switches = shop.switches;
    bool applies = form.has_value("salestax", "on");
    if (!switches.taxstates.empty()) {
        const std::string state = without_blanks_around(shipping_value(basket_file, "stpr"));
        applies = std::any_of(switches.taxstates.begin(), switches.taxstates.end(),
                              [&state](const std::string& listed) { return equals_ignoring_case(listed, state); });
    }
    return applies ? read_decimal(shop.config.tax) : 0;
}
