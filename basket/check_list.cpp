// add2check, edit and calc: adding the ticked entries of a check list,
// changing quantities from the basket table, and the fixed calc answer.
#include "formats/basket_amounts.h"
#include "formats/basket_file.h"
#include "formats/basket_view.h"
#include "basket/price_check.h"
#include "basket/quantity.h"
#include "common/numbers.h"
#include "basket/commands.h"
#include "basket/issued_name.h"
#include "logs/logs.h"
#include "platform/output.h"
#include "platform/profile.h"
#include "render/reply_pieces.h"

namespace {

// Entry k (from 0) of a check list uses the fields f(6k+1) to f(6k+6).
constexpr long long kFieldsPerEntry = 6;

std::string entry_field(long long number) { return "f" + std::to_string(number); }

}  // namespace

reply::Done command_add2check(const Request& r, const Shop& shop) {
    const FormTable& f = r.form;
    const std::string page = f.text("where");
    const std::string basket = f.text("basket");
    if (auto refused = refuse_page_name(r, page)) return *refused;
    if (auto refused = refuse_unwritable_basket(r, shop, basket)) return *refused;
    const long long entries = read_integer(f.text("numentries"));
    if (!basket.empty() && entries > 0) {
        const std::string path = shop.basket_file(basket);
        profile::Lock hold(path);
        // An entry counts only when its check box is there, so the entries to
        // look at are those of the check-box fields the form carries.
        for (long long box : f.numbered("f")) {
            if (box % kFieldsPerEntry != 0) continue;
            const long long first = box - kFieldsPerEntry + 1;
            if ((first - 1) / kFieldsPerEntry >= entries) break;
            const std::optional<std::string> quantity = amount_to_store(f.text(entry_field(first)));
            if (!f.has_value(entry_field(box), "on") || !quantity || read_decimal(*quantity) == 0 || !quantity_plain(*quantity)) continue;
            const auto line =
                line_as_stored(shop, {f.text(entry_field(first + 2)), f.text(entry_field(first + 1)),
                                      f.text(entry_field(first + 3)), f.text(entry_field(first + 4)), quantity});
            if (!line) continue;  // an item the table lacks is passed over
            if (!add_basket_line(path, *line)) break;          // the basket is full
        }
        profile::store_now(path);
    }
    return answer_with_header_and_page(shop, basket, page);
}

reply::Done command_edit(const Request& r, const Shop& shop) {
    const FormTable& f = r.form;
    const std::string page = f.text("where");
    const std::string basket = f.text("basket");
    if (auto refused = refuse_page_name(r, page)) return *refused;
    if (auto refused = refuse_unwritable_basket(r, shop, basket)) return *refused;
    write_content_type();
    if (!basket.empty()) {
        const std::string path = shop.basket_file(basket);
        profile::Lock hold(path);
        const BasketView view = load_basket(path);
        const std::vector<long long> visit = view.lines_to_visit(f.numbered(""));
        if (!visit.empty()) set_order_state(path, OrderState::changed);
        for (long long i : visit) {
            const std::string section = std::to_string(i);
            const auto quantity = f.lookup(section);
            // A line the form does not show loses its quantity and stays hidden;
            // a quantity that fails the rule leaves the stored one as it is.
            if (!quantity) {
                profile::remove(path, section, basket_keys::kQuantity);
            } else if (const auto stored = editable_quantity(*quantity);
                       stored && quantity_allowed(shop, view.line(i).item, *stored)) {
                profile::write(path, section, basket_keys::kQuantity, *stored);
            }
        }
        profile::store_now(path);
    }
    return answer_with_page(shop, basket, page);
}

reply::Done command_calc(const Request&, const Shop&) {
    write_content_type();
    reply::write("Called Calculate Command\n");
    return {1};
}
