#include "checkout/export.h"

#include <string_view>
#include <vector>

#include "formats/basket_file.h"
#include "checkout/card_fields.h"
#include "checkout/counts.h"
#include "checkout/csv.h"
#include "request/shop.h"
#include "request/switches.h"
#include "platform/files.h"
#include "platform/output.h"
#include "platform/profile.h"

namespace {

Formulas formulas(const Switches& switches) { return switches.safecsv ? Formulas::defused : Formulas::as_stored; }

std::string customer_line(const std::string& basket_file, const std::string& invoice, const Switches& switches) {
    std::vector<std::string> fields{invoice};
    for (std::string_view key : kCustomerColumns) {
        if (key == "cnum1" || key == "cnum2") fields.push_back(shown_card_number(basket_file, key, switches));
        else fields.push_back(profile::read_text(basket_file, basket_keys::kShipping, key));
    }
    return csv_line(fields, formulas(switches));
}

std::string order_lines(const std::string& basket_file, const std::string& invoice, const Switches& switches) {
    std::string lines;
    const int count = basket_line_count(basket_file);
    for (int i = 1; i <= count; ++i) {
        const std::string section = std::to_string(i);
        std::vector<std::string> fields{invoice};
        for (std::string_view key : kOrderColumns) fields.push_back(profile::read_text(basket_file, section, key));
        lines += csv_line(fields, formulas(switches));
    }
    return lines;
}

// Option lines (option, tax, total), then extra-charge lines (amount, tick,
// description); the tick is never stored, so its column stays empty.
std::string shipment_lines(const std::string& basket_file, const std::string& invoice, const Switches& switches) {
    const Formulas as = formulas(switches);
    std::string lines;
    const int options = read_count(basket_file, "Optional", basket_keys::kNumFields);
    if (options > 0) {
        const std::string tax = profile::read_text(basket_file, basket_keys::kTotals, basket_keys::kTax);
        const std::string total = profile::read_text(basket_file, basket_keys::kTotals, basket_keys::kTotal);
        for (int i = 1; i <= options; ++i) {
            const std::string option = profile::read_text(basket_file, "Optional", "option" + std::to_string(i));
            lines += csv_line({invoice, option, tax, total, "", "", ""}, as);
        }
    }
    const int fields = read_count(basket_file, basket_keys::kAdditional, basket_keys::kNumFields);
    for (int n = 1; n <= fields; n += 3) {
        auto charge = [&](int k) { return profile::read_text(basket_file, basket_keys::kAdditional, "a" + std::to_string(k)); };
        lines += csv_line({invoice, "", "", "", charge(n), charge(n + 1), charge(n + 2)}, as);
    }
    return lines;
}

// Appends the lines to one table file in a single write, so that orders
// confirmed at the same moment never interleave.
void append_table(const std::string& path, const std::string& lines) {
    if (!files::append(path, lines)) reply::write("Could not open " + path + "\n");
}

}  // namespace

void export_order(const Shop& shop, const std::string& basket, const std::string& invoice) {
    const std::string basket_file = shop.basket_file(basket);
    const Switches& switches = shop.switches;
    append_table(shop.order_control.customer, customer_line(basket_file, invoice, switches));
    append_table(shop.order_control.order, order_lines(basket_file, invoice, switches));
    append_table(shop.order_control.shipment, shipment_lines(basket_file, invoice, switches));
}
