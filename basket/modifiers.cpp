#include "basket/modifiers.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "formats/basket_amounts.h"
#include "formats/basket_file.h"
#include "basket/price_check.h"
#include "basket/quantity.h"
#include "common/limits.h"
#include "common/numbers.h"
#include "common/text.h"
#include "basket/commands.h"
#include "basket/issued_name.h"
#include "logs/logs.h"
#include "request/shop.h"
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

// The choices of options 1 to `count` when prices are checked: each without
// the blanks around it, with the sum of their adjustments. Nothing when an
// option has no choice or its choice names no option of the modifier file.
struct Choices {
    std::vector<std::string> values;
    double adjustment = 0;
};

std::optional<Choices> checked_choices(const FormTable& form, const std::string& modifier_file, long long count) {
    Choices chosen;
    for (long long i : form.numbered("m")) {
        if (i > count) break;
        if (i != static_cast<long long>(chosen.values.size()) + 1) return std::nullopt;
        const std::string field = option_field(i);
        std::string value = without_blanks_around(form.text(field));
        const std::optional<std::string> adjustment = profile::read_value(modifier_file, field, value);
        if (!adjustment) return std::nullopt;
        chosen.adjustment += read_decimal(cut(*adjustment, limits::kModifierAdjustment));
        chosen.values.push_back(std::move(value));
    }
    if (static_cast<long long>(chosen.values.size()) != std::max(count, 0LL)) return std::nullopt;
    return chosen;
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

std::string composed_name(std::string_view name, const std::vector<std::string>& choices) {
    std::string composed(name);
    composed += " ( ";
    for (std::size_t i = 0; i < choices.size() && composed.size() < limits::kComposedName; ++i) {
        if (i > 0) composed += ", ";
        composed += choices[i];
    }
    composed += " ) ";
    return cut(composed, limits::kComposedName);
}

reply::Done command_add2mod(const Request& r, const Shop& shop) {
    const FormTable& f = r.form;
    const std::string page = f.text("where");
    const std::string basket = f.text("basket");
    const std::string define = f.text("define");
    if (auto refused = refuse_page_name(r, page)) return *refused;
    if (auto refused = refuse_unwritable_basket(r, shop, basket)) return *refused;
    if (auto refused = refuse_file_name(r, define)) return *refused;
    // The zero test, then the count rule; the character rule is not applied here.
    const std::optional<std::string> quantity = amount_to_store(f.text("qty"));
    if (!basket.empty() && quantity && read_decimal(*quantity) != 0 && quantity_plain(*quantity)) {
        const std::string path = shop.basket_file(basket);
        const Switches& switches = shop.switches;
        // The name, base price and shipping value, from the form or, when
        // prices are checked, from the item table; an item it lacks adds nothing.
        const auto base =
            priced_line(shop, {f.text("name"), f.text("item"), f.text("price"), f.text("ship"), quantity});
        if (!base || !quantity_allowed(shop, f.text("item"), *quantity))
            return answer_with_header_and_page(shop, basket, page);
        BasketLine line = *base;
        if (!f.has_value("modifier", "0")) {
            const long long count = read_integer(f.text("modifier"));
            const std::string modifier_file = shop.config.webdir + define;
            double price = 0;
            if (switches.pricecheck) {
                const std::optional<Choices> chosen = checked_choices(f, modifier_file, count);
                if (!chosen) return answer_with_header_and_page(shop, basket, page);
                price = read_decimal(base->price.value_or("")) + chosen->adjustment;
                line.name = composed_name(base->name.value_or(""), chosen->values);
            } else {
                price = adjusted_price(base->price.value_or(""), f, modifier_file, count);
                line.name = composed_name(f.text("name"), f, count);
            }
            // An adjustment that is not finite would be stored as "inf" or "nan".
            if (!std::isfinite(price)) return answer_with_header_and_page(shop, basket, page);
            line.price = two_decimals(price);
        }
        const std::optional<BasketLine> stored = line_to_store(line);
        profile::Lock hold(path);
        if (stored) add_basket_line(path, *stored);
        profile::store_now(path);
    }
    return answer_with_header_and_page(shop, basket, page);
}
