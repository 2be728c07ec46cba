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
void require_name_or_fail(bool accepted) {
    if (accepted) return;
    write_error_page();
    reply::finish(1);
}

[[noreturn]] void step4(const Request& r) {
    const std::string basket = r.form.text("basket");
    const std::string page = r.form.text("where");
    const bool by_rules = r.form.has_value("agent", "lookup");
    const std::string item_table_name = r.form.text("lookup");
    reply::forbid_caching();
    require_name_or_fail(is_basket_name(basket));
    require_name_or_fail(is_page_name(page));
    if (by_rules) require_name_or_fail(is_file_name(item_table_name));
    require_name_or_fail(may_write_basket(r.program_dir, basket));
    if (!basket.empty()) limit_basket_size(basket_path(basket));
    require_checkout_browser_or_fail(r.program_dir, basket_path(basket));

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
    answer_step4(r.form, switches, basket, page, kShippingPage, rules);
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

void run_ship(Request& r) {
    switch (start_request_or_end(r)) {
        case Start::no_method:
        case Start::no_content_type:
            reply::finish(0);
        case Start::get:
            if (!r.words.empty()) end_unanswered(*r.method);
            reply::write(kUsage);
            reply::finish(1);
        case Start::post:
            break;
    }
    if (!r.form.has_value("command", kShipCommandWords[0])) reply::finish(0);
    step4(r);
}
