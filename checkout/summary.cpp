#include "checkout/summary.h"

#include <string>

#include "formats/basket_file.h"
#include "common/numbers.h"
#include "common/text.h"
#include "request/shop.h"
#include "platform/output.h"
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
std::string details_block(const CheckoutEntries& e, std::string_view basket, SummaryStyle style) {
    auto value = [](const std::string& entry) { return html_escaped(entry); };
    std::string out = "<table border=0 width=200>\n<tr>\n";
    out += cell("<td>", value(e.fname));
    out += cell("<td>", value(e.minitial));
    out += cell("<td>", value(e.lname));
    out += "</tr><tr>\n";
    out += cell("<td colspan=3>", value(e.addr1));
    out += "</tr><tr>\n";
    out += cell("<td colspan=3>", value(e.addr2));
    out += "</tr><tr>\n";
    out += cell("<td>", value(e.city));
    out += cell("<td>", value(e.stpr));
    out += cell("<td>", value(e.country));
    out += "</tr><tr>\n<td></td><td></td>\n";
    out += cell("<td>", value(e.zip));
    out += "</tr><tr>\n";
    out += cell("<td colspan=3>", value(e.dphone));
    if (style.fax_row) {
        out += "</tr><tr>\n";
        out += cell("<td colspan=3>", value(e.fphone));
    }
    out += "</tr><tr>\n";
    out += cell("<td colspan=3>", value(e.email));
    out += "</tr></table>\n<table border=0 width=200>\n<tr>\n";
    out += cell("<td>", value(e.paytype));
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

reply::Refusal write_order_details(const Shop& shop, std::string_view basket, const CheckoutEntries& entries,
                                   std::string_view page, SummaryStyle style) {
    OpenedPage opened;
    if (auto answered = open_page(shop.config.webdir, page, opened)) return answered;
    std::string out = shopper_page(opened, basket);
    out += details_block(entries, basket, style);
    reply::write(out);
    return std::nullopt;
}

void write_order_summary(const Shop& shop, std::string_view basket, const BasketView& view, const OrderPrice& price,
                         std::string_view page, SummaryStyle style) {
    if (view.line_count == 0) {
        reply::write(empty_basket_table(basket, page));
        return;
    }
    reply::write(kBasketColumnHeads);
    for (const LineView& line : view.lines) {
        if (!line_shown(line)) continue;  // a removed line
        std::string row = "<tr>\n";
        row += basket_cell("right", html_escaped(line.quantity.text));
        row += basket_cell("right", html_escaped(line.shown_item));
        row += basket_cell("left", html_escaped(line.shown_name));
        row += basket_cell("right", html_escaped(line.price.text));
        row += basket_cell("right", two_decimals(line_total(line)));
        row += "</tr>\n";
        reply::write(row);
    }

    const std::string path = shop.basket_file(basket);
    write_totals(path, price.tax_text, price.total_text);
    set_order_state(path, OrderState::summarised);

    std::string out = "</tr>\n";
    out += total_row("Tax:", price.tax_text);
    for (long long n : view.stored_charges(2)) {
        const std::string& description = view.charge_description(n);
        if (description.empty()) continue;  // its amount still counts in the total
        // The charge's description and amount came through the step-3 form.
        const std::string amount = html_escaped(view.charge(n).text);
        out += "<tr>\n";
        out += basket_cell("right", "1");
        out += basket_cell("right", "Addition");
        out += basket_cell("left", html_escaped(description));
        out += basket_cell("right", amount);
        out += basket_cell("right", amount);
        out += "</tr>\n";
    }
    out += total_row("Shipping:", two_decimals(price.shipping));
    out += basket_total_row(price.total_text);
    out += "</table>\n";
    if (style.closing_breaks) out += "<br><br><br><br><br><br><br><br>\n";
    reply::write(out);
}
