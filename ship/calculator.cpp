#include "ship/calculator.h"

#include "formats/basket_file.h"
#include "basket/issued_name.h"
#include "checkout/checkout_key.h"
#include "checkout/step4.h"
#include "common/limits.h"
#include "request/command_words.h"
#include "request/shop.h"
#include "request/names.h"
#include "request/start.h"
#include "request/switches.h"
#include "logs/logs.h"
#include "platform/output.h"
#include "platform/profile.h"
#include "render/reply_pieces.h"
#include "ship/rules.h"

namespace {

constexpr std::string_view kUsage = "ship.exe?SHIPPINGMETHOD+WEIGHT+ZIPCODE+EXCHANGEFILENAME\n";

// ship keeps no log: a refused name gets the error page alone, and nothing
// is written to any file.
reply::Refusal refuse_unless(bool accepted) {
    if (accepted) return std::nullopt;
    write_error_page();
    return reply::Done{1};
}

reply::Done step4(const Request& r, const Shop& shop) {
    const std::string basket = r.form.text("basket");
    const std::string page = r.form.text("where");
    const bool by_rules = r.form.has_value("agent", "lookup");
    const std::string item_table_name = r.form.text("lookup");
    reply::forbid_caching();
    if (auto refused = refuse_unless(is_basket_name(basket))) return *refused;
    if (auto refused = refuse_unless(is_page_name(page))) return *refused;
    if (by_rules)
        if (auto refused = refuse_unless(is_file_name(item_table_name))) return *refused;
    if (auto refused = refuse_unless(may_write_basket(shop, basket))) return *refused;
    if (!basket.empty()) limit_basket_size(shop.basket_file(basket));
    if (auto refused = refuse_other_browser(r, shop.basket_file(basket))) return *refused;

    ShippingRules rules;
    if (by_rules) {
        // When the merchant sets the prices, the rules come from the merchant's
        // own table, never from the one the form names.
        const Config& c = shop.config;
        const std::string item_table = !shop.switches.pricecheck ? c.webdir + item_table_name
                                       : c.shiptable.empty() ? c.dbfile
                                                             : c.webdir + c.shiptable;
        rules = [item_table](const BasketView& view) { return rule_shipping(view, item_table); };
    }
    return answer_step4(r.form, shop, basket, page, kShippingPage, rules);
}

}  // namespace

Shop read_ship_shop(const std::string& program_dir) { return read_shop(program_dir, ConfigReading::profile_store); }

reply::Done run_ship(Request& r, const Shop& shop) {
    const Started started = start_request(r);
    if (started.answer) return *started.answer;
    switch (started.kind) {
        case Start::no_method:
        case Start::no_content_type:
            return {0};
        case Start::get:
            if (!r.words.empty()) return leave_unanswered(*r.method);
            reply::write(kUsage);
            return {1};
        case Start::post:
            break;
    }
    if (!r.form.has_value("command", kShipCommandWords[0])) return {0};
    return step4(r, shop);
}

reply::Reply answer_ship(Request& r, const Shop& shop) {
    reply::Building answer;
    reply::Done done{1};
    {
        profile::RequestWrites writes;  // what step 4 did not store is dropped here
        done = run_ship(r, shop);
    }
    return answer.complete(done);
}
