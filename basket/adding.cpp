// add2basket, add2lookup and lookup: one basket line from the form or from
// an item table.
#include "formats/basket_file.h"
#include "basket/price_check.h"
#include "basket/quantity.h"
#include "basket/commands.h"
#include "basket/issued_name.h"
#include "logs/logs.h"
#include "request/shop.h"
#include "platform/profile.h"
#include "render/reply_pieces.h"

namespace {

// Adds the item of the item table `table_name` (in the web directory), or
// of `dbfile` alone when prices are checked, with the quantity when the
// quantity is accepted and the item's amounts can be stored, then answers
// with the page.
reply::Done add_from_item_table(const Request& r, const Shop& shop, const std::string& page, const std::string& basket,
                                const std::string& table_name, const std::string& item,
                                const std::optional<std::string>& quantity) {
    if (auto refused = refuse_page_name(r, page)) return *refused;
    if (auto refused = refuse_unwritable_basket(r, shop, basket)) return *refused;
    if (auto refused = refuse_file_name(r, table_name)) return *refused;
    const std::optional<std::string> stored_quantity = accepted_quantity(quantity);
    if (!basket.empty() && stored_quantity) {
        const std::string path = shop.basket_file(basket);
        const Switches& switches = shop.switches;
        BasketLine line{{}, item, {}, {}, stored_quantity};
        if (!switches.pricecheck) {
            const std::string table = shop.config.webdir + table_name;
            auto value = [&](std::string_view key) { return profile::read_text(table, item, key); };
            line = {value(basket_keys::kName), item, value(basket_keys::kPrice), value(basket_keys::kShip), stored_quantity};
        }
        const std::optional<BasketLine> stored = line_as_stored(shop, line);
        profile::Lock hold(path);
        if (stored) add_basket_line(path, *stored);
        profile::store_now(path);
    }
    return answer_with_header_and_page(shop, basket, page);
}

}  // namespace

reply::Done command_add2basket(const Request& r, const Shop& shop) {
    const FormTable& f = r.form;
    const std::string page = f.text("where");
    const std::string basket = f.text("basket");
    if (auto refused = refuse_page_name(r, page)) return *refused;
    if (auto refused = refuse_unwritable_basket(r, shop, basket)) return *refused;
    const std::optional<std::string> quantity = accepted_quantity(f.lookup("qty"));
    if (!basket.empty() && quantity) {
        const std::string path = shop.basket_file(basket);
        const auto line =
            line_as_stored(shop, {f.lookup("name"), f.lookup("item"), f.lookup("price"), f.lookup("ship"), quantity});
        profile::Lock hold(path);
        if (line) add_basket_line(path, *line);
        profile::store_now(path);
    }
    return answer_with_header_and_page(shop, basket, page);
}

reply::Done command_add2lookup(const Request& r, const Shop& shop) {
    const FormTable& f = r.form;
    return add_from_item_table(r, shop, f.text("where"), f.text("basket"), f.text("lookup"), f.text("item"),
                               f.lookup("qty"));
}

reply::Done command_lookup(const Request& r, const Shop& shop) {
    // Only the quantity word must be there: the others read as empty text.
    std::optional<std::string> quantity;
    if (r.words.size() >= 6) quantity = r.word(6);
    return add_from_item_table(r, shop, r.word(2), r.word(3), r.word(5), r.word(4), quantity);
}
