#include "checkout/totals.h"

#include "common/numbered.h"
#include "common/numbers.h"
#include "intake/config.h"
#include "platform/profile.h"

std::string basket_file(std::string_view basket) { return config().basketdir + std::string(basket); }

std::vector<long long> stored_lines(const std::string& basket_file) {
    const int num_keys = profile::read_int(basket_file, "Basket", "NumKeys");
    return numbers_named(profile::section_names(basket_file), "", {1, 1, num_keys}, false);
}

std::vector<long long> stored_charges(const std::string& basket_file, int offset) {
    const long long fields = profile::read_int(basket_file, "Additional", "numfields");
    std::vector<long long> charges =
        numbers_named(profile::key_names(basket_file, "Additional"), "a", {1 + offset, 3, fields + offset}, true);
    for (long long& n : charges) n -= offset;
    return charges;
}

void record_carrier(const std::string& basket_file, const FormTable& form) {
    profile::write(basket_file, "Shipping", "carrier", form.lookup("agent"));
}

double predetermined_shipping(const std::string& basket_file) {
    double total = 0;
    for (long long line : stored_lines(basket_file)) {
        const std::string section = std::to_string(line);
        total += read_decimal(profile::read_text(basket_file, section, "SHIP")) *
                 read_decimal(profile::read_text(basket_file, section, "QUANTITY"));
    }
    return total;
}

double additions_total(const std::string& basket_file) {
    double total = 0;
    for (long long n : stored_charges(basket_file, 0))
        total += read_decimal(profile::read_text(basket_file, "Additional", "a" + std::to_string(n)));
    return total;
}

double sales_tax_rate(const FormTable& form) { return form.test("salestax", "on") ? read_decimal(config().tax) : 0; }
