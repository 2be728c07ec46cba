#include "basket/modifiers.h"

#include <cmath>

#include "formats/basket_file.h"
#include "basket/price_check.h"
#include "basket/quantity.h"
#include "common/limits.h"
#include "common/numbers.h"
#include "common/text.h"
#include "basket/commands.h"
#include "basket/issued_name.h"
#include "logs/logs.h"
#include "request/config.h"
#include "platform/profile.h"
#include "render/reply_pieces.h"

namespace {

std::string option_field(long long i) { return "m" + std::to_string(i); }

// The base price plus, for each of the first `count` options, the
// adjustment that the modifier file lists for the chosen value (0 when it
// lists none).
double adjusted_price(std::string_view base, const FormTable& form, const std::string& modifier_file,
                      long long count) {
    double price = read_decimal(base);
    long long looked_up = 0;
    for (long long i : form.numbered("m")) {
        if (i > count) break;
        const std::string field = option_field(i);
        price += read_decimal(
            profile::read_text(modifier_file, field, form.text(field), {}, limits::kModifierAdjustment));
        ++looked_up;
    }
    // An absent option field names no value and adds 0, so it is not looked
    // up; the one trace such a 0 leaves is turning a sum of -0 into 0.
    if (looked_up < count) price += 0.0;
    return price;
}

}  // namespace

std::string composed_name(std::string_view name, const FormTable& form, long long count) {
    std::string composed(name);
    composed += " ( ";
    // Nothing appended after the room is full can show, which also bounds the
    // loop whatever count a form sends.
    for (long long i = 1; i <= count && composed.size() < limits::kComposedName; ++i) {
        if (i > 1) composed += ", ";
        composed += form.text(option_field(i));
    }
    composed += " ) ";
    return cut(composed, limits::kComposedName);
}

void command_add2mod(const Request& r) {
    const FormTable& f = r.form;
    const std::string page = f.text("where");
    const std::string basket = f.text("basket");
    const std::string define = f.text("define");
    require_page_name_or_fail(r, page);
    require_writable_basket_or_fail(r, basket);
    require_file_name_or_fail(r, define);
    // The zero test, then the count rule; the character rule is not applied here.
    const std::string quantity = f.text("qty");
    if (!basket.empty() && read_decimal(quantity) != 0 && quantity_plain(quantity)) {
        const std::string path = basket_path(basket);
        // The base price and shipping value, from the form or, when prices
        // are checked, from the item table; an item it lacks adds nothing.
        const auto base = priced_line(read_switches(r.program_dir), {{}, f.text("item"), f.text("price"), f.text("ship"), {}});
        if (!base) end_with_header_and_page(basket, page);
        BasketLine line;
        if (f.has_value("modifier", "0")) {
            line = {f.text("name"), f.text("item"), base->price, base->ship, quantity};
        } else {
            const long long count = read_integer(f.text("modifier"));
            const double price = adjusted_price(base->price.value_or(""), f, config().webdir + define, count);
            // An adjustment that is not finite would be stored as "inf" or "nan".
            if (!std::isfinite(price)) end_with_header_and_page(basket, page);
            line = {composed_name(f.text("name"), f, count), f.text("item"), two_decimals(price), base->ship,
                    quantity};
        }
        profile::Lock hold(path);
        if (line_amounts_plain(line)) add_basket_line(path, line);
    }
    end_with_header_and_page(basket, page);
}
