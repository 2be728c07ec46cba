#include "checkout/export.h"

#include <string_view>
#include <vector>

#include "formats/basket_file.h"
#include "checkout/card_fields.h"
#include "checkout/csv.h"
#include "request/shop.h"
#include "request/switches.h"
#include "platform/files.h"
#include "platform/output.h"
#include "platform/profile.h"

namespace {

Formulas formulas(const Switches& switches) { return switches.safecsv ? Formulas::defused : Formulas::as_stored; }

std::string customer_line(const CheckoutEntries& entries, const std::string& invoice, const Switches& switches) {
    std::vector<std::string> fields{invoice};
    for (std::string_view key : kCustomerColumns) {
        if (key == basket_keys::kCardNumber1 || key == basket_keys::kCardNumber2)
            fields.push_back(shown_card_number(entries, key, switches));
        else fields.push_back(entries.entry(key));
    }
    return csv_line(fields, formulas(switches));
}

// One line for every line number up to "NumKeys", stored or not.
std::string order_lines(const BasketView& basket, const std::string& invoice, const Switches& switches) {
    std::string lines;
    for (int i = 1; i <= basket.counted_lines(); ++i) {
        const LineView line = basket.line(i);
        lines += csv_line({invoice, line.name, line.item, line.price.text, line.ship.text, line.quantity.text},
                          formulas(switches));
    }
    return lines;
}

// Option lines (option, tax, total), then extra-charge lines (amount, tick,
// description); the tick is never stored, so its column stays empty.
std::string shipment_lines(const BasketView& basket, const std::string& invoice, const Switches& switches) {
    const Formulas as = formulas(switches);
    std::string lines;
    for (int i = 1; i <= basket.options.counted(); ++i)
        lines += csv_line({invoice, basket.options.at(i), basket.totals.tax, basket.totals.total, "", "", ""}, as);
    for (int n = 1; n <= basket.charges.counted(); n += 3) {
        const NumberedEntries& charge = basket.charges;
        lines += csv_line({invoice, "", "", "", charge.at(n), charge.at(n + 1), charge.at(n + 2)}, as);
    }
    return lines;
}

// Appends the lines to one table file in a single write, so that orders
// confirmed at the same moment never interleave.
void append_table(const std::string& path, const std::string& lines) {
    if (!files::append(path, lines)) reply::write("Could not open " + path + "\n");
}

}  // namespace

void export_order(const Shop& shop, const BasketView& basket, const std::string& invoice) {
    const Switches& switches = shop.switches;
    append_table(shop.order_control.customer, customer_line(basket.checkout, invoice, switches));
    append_table(shop.order_control.order, order_lines(basket, invoice, switches));
    append_table(shop.order_control.shipment, shipment_lines(basket, invoice, switches));
}
