#include "checkout/summary.h"

#include <string>

#include "formats/basket_amounts.h"
#include "formats/basket_file.h"
#include "checkout/totals.h"
#include "common/limits.h"
#include "common/numbers.h"
#include "common/text.h"
#include "request/shop.h"
#include "platform/output.h"
#include "platform/profile.h"
#include "render/basket_table.h"
#include "render/page_file.h"

namespace {

// The page's lines after the mode line, each with its first "{SHOPPER}"
// replaced by the basket name; no other tag is expanded here.
std::string shopper_page(OpenedPage& opened, std::string_view basket) {
    std::string out;
    std::string line;
    while (opened.lines.next(line)) {
        replace_first(line, "{SHOPPER}", basket);
        out += line;
        out += '\n';
    }
    return out;
}

std::string cell(std::string_view open, std::string_view value) {
    std::string out(open);
    out += value;
    out += "</td>\n";
    return out;
}

// The shopper's details as steps 1 and 2 stored them, shown as text.
std::string details_block(const std::string& path, std::string_view basket, SummaryStyle style) {
    auto value = [&path](const char* key) { return html_escaped(profile::read_text(path, basket_keys::kShipping, key)); };
    std::string out = "<table border=0 width=200>\n<tr>\n";
    out += cell("<td>", value("fname"));
    out += cell("<td>", value("minitial"));
    out += cell("<td>", value("lname"));
    out += "</tr><tr>\n";
    out += cell("<td colspan=3>", value("addr1"));
    out += "</tr><tr>\n";
    out += cell("<td colspan=3>", value("addr2"));
    out += "</tr><tr>\n";
    out += cell("<td>", value("city"));
    out += cell("<td>", value("stpr"));
    out += cell("<td>", value("country"));
    out += "</tr><tr>\n<td></td><td></td>\n";
    out += cell("<td>", value("zip"));
    out += "</tr><tr>\n";
    out += cell("<td colspan=3>", value("dphone"));
    if (style.fax_row) {
        out += "</tr><tr>\n";
        out += cell("<td colspan=3>", value("fphone"));
    }
    out += "</tr><tr>\n";
    out += cell("<td colspan=3>", value("email"));
    out += "</tr></table>\n<table border=0 width=200>\n<tr>\n";
    out += cell("<td>", value("paytype"));
    out += "</tr><tr>\n<td>Remainder of shipping info suppressed.</td>\n</tr></table>\n";
    out += "<form method=post action=tavra.exe>\n<input type=hidden name=command value=confirm>\n";
    out += "<input type=hidden name=basket value=" + std::string(basket) + ">\n";
    out += "<input type=submit value=\"Finalize Order\">\n</form>\n<hr>\n";
    return out;
}

std::string total_row(std::string_view label, std::string_view amount) {
    return "<tr><td></td><td></td><td></td><td>" + std::string(label) + "</td><td bgcolor=80FFFF align=right>" +
           std::string(amount) + "</td></tr>\n";
}

}  // namespace

reply::Refusal write_order_details(const Shop& shop, std::string_view basket, std::string_view page,
                                   SummaryStyle style) {
    OpenedPage opened;
    if (auto answered = open_page(shop.config.webdir, page, opened)) return answered;
    std::string out = shopper_page(opened, basket);
    out += details_block(shop.basket_file(basket), basket, style);
    reply::write(out);
    return std::nullopt;
}

void write_order_summary(const Shop& shop, std::string_view basket, std::string_view page, double shipping,
                         double tax_rate, double additions, SummaryStyle style) {
    const std::string path = shop.basket_file(basket);
    if (stored_line_count(path) == 0) {
        reply::write(empty_basket_table(basket, page));
        return;
    }
    reply::write(kBasketColumnHeads);

    double subtotal = 0;
    for (long long line : stored_lines(path)) {
        auto shown = [&](std::string_view key) { return line_value(path, line, key, limits::kShownValue); };
        const StoredAmount quantity = stored_amount(path, line, basket_keys::kQuantity);
        if (quantity.number == 0) continue;  // a removed line
        const StoredAmount price = stored_amount(path, line, basket_keys::kPrice);
        const double line_total = quantity.number * price.number;
        std::string row = "<tr>\n";
        row += basket_cell("right", html_escaped(quantity.text));
        row += basket_cell("right", html_escaped(shown(basket_keys::kItem)));
        row += basket_cell("left", html_escaped(shown(basket_keys::kName)));
        row += basket_cell("right", html_escaped(price.text));
        row += basket_cell("right", two_decimals(line_total));
        row += "</tr>\n";
        reply::write(row);
        subtotal += line_total;
    }

    const double tax = subtotal * tax_rate;
    const double total = tax + subtotal + shipping + additions;
    const std::string tax_text = two_decimals(tax);
    const std::string total_text = two_decimals(total);
    write_totals(path, tax_text, total_text);
    set_order_state(path, OrderState::summarised);

    std::string out = "</tr>\n";
    out += total_row("Tax:", tax_text);
    for (long long n : stored_charges(path, 2)) {
        const std::string description = profile::read_text(path, basket_keys::kAdditional, "a" + std::to_string(n + 2));
        if (description.empty()) continue;  // its amount still counts in the total
        // The charge's description and amount came through the step-3 form.
        const std::string amount = html_escaped(stored_charge(path, n).text);
        out += "<tr>\n";
        out += basket_cell("right", "1");
        out += basket_cell("right", "Addition");
        out += basket_cell("left", html_escaped(description));
        out += basket_cell("right", amount);
        out += basket_cell("right", amount);
        out += "</tr>\n";
    }
    out += total_row("Shipping:", two_decimals(shipping));
    out += basket_total_row(total_text);
    out += "</table>\n";
    if (style.closing_breaks) out += "<br><br><br><br><br><br><br><br>\n";
    reply::write(out);
}
