#include "ship/calculator.h"

#include "formats/basket_file.h"
#include "basket/issued_name.h"
#include "checkout/checkout_key.h"
#include "checkout/step4.h"
#include "common/limits.h"
#include "request/command_words.h"
#include "request/config.h"
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

reply::Done step4(const Request& r) {
    const std::string basket = r.form.text("basket");
    const std::string page = r.form.text("where");
    const bool by_rules = r.form.has_value("agent", "lookup");
    const std::string item_table_name = r.form.text("lookup");
    reply::forbid_caching();
    if (auto refused = refuse_unless(is_basket_name(basket))) return *refused;
    if (auto refused = refuse_unless(is_page_name(page))) return *refused;
    if (by_rules)
        if (auto refused = refuse_unless(is_file_name(item_table_name))) return *refused;
    if (auto refused = refuse_unless(may_write_basket(r.program_dir, basket))) return *refused;
    if (!basket.empty()) limit_basket_size(basket_path(basket));
    if (auto refused = refuse_other_browser(r, basket_path(basket))) return *refused;

    const Switches switches = read_switches(r.program_dir);
    ShippingRules rules;
    if (by_rules) {
        // When the merchant sets the prices, the rules come from the merchant's
        // own table, never from the one the form names.
        const Config& c = config();
        const std::string item_table = !switches.pricecheck ? c.webdir + item_table_name
                                       : c.shiptable.empty() ? c.dbfile
                                                             : c.webdir + c.shiptable;
        rules = [item_table](const std::string& basket_file) { return rule_shipping(basket_file, item_table); };
    }
    return answer_step4(r.form, switches, basket, page, kShippingPage, rules);
}

}  // namespace

void read_ship_config(const std::string& program_dir) {
    const std::string path = config_path(program_dir);
    Config& c = config();
    c.webdir = profile::read_text(path, "Program Config", "webdir", {}, limits::kConfigValue);
    c.basketdir = profile::read_text(path, "Program Config", "basketdir", {}, limits::kConfigValue);
    c.tax = profile::read_text(path, "Program Config", "tax", {}, limits::kConfigValue);
    c.shiptable = profile::read_text(path, "Program Config", "shiptable", {}, limits::kConfigValue);
    c.dbfile = profile::read_text(path, "Program Config", "dbfile", {}, limits::kConfigValue);
}

reply::Done run_ship(Request& r) {
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
    return step4(r);
}

reply::Reply answer_ship(Request& r) {
    reply::Building answer;
    reply::Done done{1};
    {
        profile::RequestWrites writes;  // what step 4 did not store is dropped here
        read_ship_config(r.program_dir);
        done = run_ship(r);
    }
    return answer.complete(done);
}
