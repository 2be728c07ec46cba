#include "render/basket_table.h"

#include <string>

#include "basket/basket_file.h"
#include "common/limits.h"
#include "common/numbers.h"
#include "platform/output.h"
#include "platform/profile.h"

namespace {

void append_head(std::string& out, std::string_view basket, std::string_view page) {
    out += "<form method=post action=\"tavra.exe\">\n";
    out += "<input type=hidden name=command value=edit>\n";
    out += "<input type=hidden name=where value=";
    out += page;
    out += ">\n";
    out += "<input type=hidden name=basket value=";
    out += basket;
    out += ">\n";
    out += "<table width=600 border=1><tr>\n";
    out += "<td width=50 bgcolor=#C0C0C0>Qty</td>\n";
    out += "<td width=50 bgcolor=#C0C0C0>ItemNo</td>\n";
    out += "<td width=340 bgcolor=#C0C0C0>Name</td>\n";
    out += "<td width=80 bgcolor=#C0C0C0>Price</td>\n";
    out += "<td width=80 bgcolor=#C0C0C0>SubTotal</td></tr>\n";
}

void append_total(std::string& out, std::string_view total) {
    out += "<tr><td></td><td></td><td>\n";
    out += "</td><td>Total:</td><td bgcolor=80FFFF align=right>$";
    out += total;
    out += "</td></tr>\n";
}

// Ends the edit form and adds the order form that opens the checkout page.
void append_closing(std::string& out, std::string_view basket) {
    out += "</table>\n";
    out += "<table><tr><td>\n";
    out += "<center><input type=submit value=\"Update\"></form>\n";
    out += "</td><td>\n";
    out += "<form method=post action=\"tavra.exe\">\n";
    out += "<input type=hidden name=command value=goto>\n";
    out += "<input type=hidden name=where value=wizard.html>\n";
    out += "<input type=hidden name=basket value=";
    out += basket;
    out += ">\n";
    out += "<input type=submit value=\"Place Order\"></form></center>\n";
    out += "</td></tr></table>\n";
}

void append_cell(std::string& out, std::string_view align, std::string_view text) {
    out += "<td align=";
    out += align;
    out += " bgcolor=#CEE7E7>";
    out += text;
    out += "</td>";
}

}  // namespace

void render_basket_table(std::string_view basket, std::string_view page) {
    // An empty basket name names no file: it shows the empty basket.
    const std::string path = basket_path(basket);
    const long long lines = basket.empty() ? 0 : profile::read_int(path, "Basket", "NumKeys");
    std::string out;
    append_head(out, basket, page);
    if (lines == 0) {
        out += "</tr>";
        append_total(out, "0.00");
        append_closing(out, basket);
        reply::write(out);
        return;
    }
    double total = 0;
    for (long long i : lines_to_visit(path, lines)) {
        const std::string section = std::to_string(i);
        auto value = [&](std::string_view key) {
            return profile::read_text(path, section, key, {}, limits::kShownValue);
        };
        const std::string quantity_text = value("QUANTITY");
        const double quantity = read_decimal(quantity_text);
        if (quantity == 0) continue;  // removed, or not yet complete
        const std::string price_text = value("PRICE");
        const double subtotal = read_decimal(price_text) * quantity;
        out += "<tr>\n";
        out += "<td align=right bgcolor=#CEE7E7><input type=text name=" + section + " value=\"" + quantity_text +
               "\" size=4></td>";
        append_cell(out, "right", value("ITEM"));
        append_cell(out, "left", value("NAME"));
        append_cell(out, "right", price_text);
        append_cell(out, "right", two_decimals(subtotal));
        out += "</tr>\n";
        total += subtotal;
    }
    out += "</tr>\n";
    append_total(out, two_decimals(total));
    append_closing(out, basket);
    out += "<br><br><br><br><br><br><br><br>\n";
    reply::write(out);
}
