#include "render/basket_table.h"

#include <string>

#include "common/numbers.h"
#include "common/text.h"
#include "formats/basket_file.h"
#include "formats/basket_view.h"
#include "formats/order_price.h"
#include "platform/output.h"

const std::string_view kBasketColumnHeads =
    "<table width=600 border=1><tr>\n"
    "<td width=50 bgcolor=#C0C0C0>Qty</td>\n"
    "<td width=50 bgcolor=#C0C0C0>ItemNo</td>\n"
    "<td width=340 bgcolor=#C0C0C0>Name</td>\n"
    "<td width=80 bgcolor=#C0C0C0>Price</td>\n"
    "<td width=80 bgcolor=#C0C0C0>SubTotal</td></tr>\n";

namespace {

// The edit form's head and the column headings.
std::string form_head(std::string_view basket, std::string_view page) {
    std::string out = "<form method=post action=\"tavra.exe\">\n";
    out += "<input type=hidden name=command value=edit>\n";
    out += "<input type=hidden name=where value=";
    out += page;
    out += ">\n";
    out += "<input type=hidden name=basket value=";
    out += basket;
    out += ">\n";
    out += kBasketColumnHeads;
    return out;
}

// Ends the edit form and adds the order form that opens the checkout page.
std::string closing_block(std::string_view basket) {
    std::string out = "</table>\n";
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
    return out;
}

}  // namespace

std::string basket_cell(std::string_view align, std::string_view text) {
    std::string out = "<td align=";
    out += align;
    out += " bgcolor=#CEE7E7>";
    out += text;
    out += "</td>";
    return out;
}

std::string basket_total_row(std::string_view total) {
    std::string out = "<tr><td></td><td></td><td>\n";
    out += "</td><td>Total:</td><td bgcolor=80FFFF align=right>$";
    out += total;
    out += "</td></tr>\n";
    return out;
}

std::string empty_basket_table(std::string_view basket, std::string_view page) {
    return form_head(basket, page) + "</tr>" + basket_total_row("0.00") + closing_block(basket);
}

void render_basket_table(const Shop& shop, std::string_view basket, std::string_view page) {
    // An empty basket name names no file: it shows the empty basket.
    const BasketView view = basket.empty() ? BasketView{} : load_basket(shop.basket_file(basket));
    if (view.line_count == 0) {
        reply::write(empty_basket_table(basket, page));
        return;
    }
    reply::write(form_head(basket, page));
    std::string row;
    for (const LineView& line : view.lines) {
        if (!line_shown(line)) continue;  // removed, or not yet complete
        // What a basket holds came from requests: it is shown as text.
        row = "<tr>\n<td align=right bgcolor=#CEE7E7><input type=text name=" + std::to_string(line.number) +
              " value=\"" + html_escaped(line.quantity.text) + "\" size=4></td>";
        row += basket_cell("right", html_escaped(line.shown_item));
        row += basket_cell("left", html_escaped(line.shown_name));
        row += basket_cell("right", html_escaped(line.price.text));
        row += basket_cell("right", two_decimals(line_total(line)));
        row += "</tr>\n";
        reply::write(row);  // row by row: a long basket is not held twice
    }
    reply::write("</tr>\n" + basket_total_row(two_decimals(price_order(view).subtotal)) + closing_block(basket) +
                 "<br><br><br><br><br><br><br><br>\n");
}
