// Checkout steps 1 to 4. Steps 1 to 3 copy their form fields into the basket
// file's checkout sections and answer with the next page and the basket table;
// step 4 checks its names and hands over to the step shared with ship.
#include <algorithm>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "formats/basket_amounts.h"
#include "formats/basket_file.h"
#include "common/limits.h"
#include "common/numbers.h"
#include "checkout/commands.h"
#include "basket/issued_name.h"
#include "checkout/card_fields.h"
#include "checkout/checkout_key.h"
#include "checkout/step4.h"
#include "logs/logs.h"
#include "platform/output.h"
#include "platform/profile.h"
#include "platform/sealed_box.h"
#include "render/reply_pieces.h"
#include "request/switches.h"

namespace {

constexpr std::string_view kTooManyEntries = "Too many options or charges";

constexpr std::string_view kSealKeyNotValid =
    "Card number not stored: sealkey of [Card Data] is not the base64 of a 32-byte key";

// The basket and the next page of a step, with the basket file, or the
// step's refusal.
struct Step {
    std::string basket, page, path;
    reply::Refusal refused;
};

// Checks the names and the browser before anything is written. No cache
// keeps a step's page, which shows the shopper's details, or its error page.
Step checked_step(const Request& r, const Shop& shop) {
    reply::forbid_caching();
    Step s{r.form.text("basket"), r.form.text("where"), {}, std::nullopt};
    s.refused = refuse_basket_name(r, s.basket);
    if (!s.refused) s.refused = refuse_page_name(r, s.page);
    if (!s.refused) s.refused = refuse_unwritable_basket(r, shop, s.basket);
    s.path = shop.basket_file(s.basket);
    if (!s.refused && !s.basket.empty()) s.refused = refuse_other_browser(r, s.path);
    return s;
}

// Copies each named field into "Shipping"; an absent field removes its key.
// Like every step before the summary, it leaves the basket to be summarised
// again before it can be ordered.
template <std::size_t N>
void store_shipping_fields(const std::string& path, const FormTable& form, const std::string_view (&keys)[N]) {
    profile::Lock lock(path);
    set_order_state(path, OrderState::changed);
    for (std::string_view key : keys) write_shipping_value(path, key, form.lookup(key));
}

// Whether a step-3 form asks for more than limits::kStepEntries options
// ("option") or extra charges ("addcharge" counts three fields a charge).
bool too_many_entries(const FormTable& form) {
    const auto count = [&form](const char* name) { return static_cast<long long>(read_integer(form.text(name))); };
    return count("option") > limits::kStepEntries || (count("addcharge") + 2) / 3 > limits::kStepEntries;
}

// The count of a step-3 form taken as at most limits::kMaxCountedEntries:
// the confirmation reads no further, and every entry stored costs a write.
int form_count(const std::string& text) { return std::min(read_integer(text), limits::kMaxCountedEntries); }

// "Optional": "numfields" as the field `option` gives it, then "option"i for
// i = 1 to that count from the field of the same name. Only the numbers that
// a field or a stored key carries can change anything, so only those are
// visited, in the same order.
void store_options(const std::string& path, const FormTable& form) {
    const auto count_text = form.lookup("option");
    if (!count_text || count_text->empty()) return;
    const int count = form_count(*count_text);
    if (count <= 0) return;
    using basket_keys::kOptional, basket_keys::kOption;
    profile::write(path, kOptional, basket_keys::kNumFields, stored_value(count_text));
    const std::vector<long long> fields = form.numbered(kOption);
    const std::vector<long long> keys = profile::numbered_keys(path, kOptional, kOption);
    std::vector<long long> visit;
    std::set_union(fields.begin(), fields.end(), keys.begin(), keys.end(), std::back_inserter(visit));
    for (long long i : visit) {
        if (i > count) break;
        const std::string key = std::string(kOption) + std::to_string(i);
        profile::write(path, kOptional, key, stored_value(form.lookup(key)));
    }
}

// One ticked extra charge n as step 3 stores it: "a"n and "a"(n+2).
struct Charge {
    long long n;
    std::optional<std::string> amount, description;
};

// The ticked charges n = 1, 4, 7, ... up to the count `addcharge` gives,
// each with its amount as it is stored: the posted one, or when prices are
// checked the merchant's amount for its description (a charge the merchant
// does not list counts as not ticked). Unticked charges store nothing, so
// only the boxes among the fields are visited. Nothing when a posted amount
// cannot be stored.
std::optional<std::vector<Charge>> ticked_charges(const Request& r, const Shop& shop, int count) {
    const FormTable& form = r.form;
    std::vector<Charge> charges;
    for (long long box : form.numbered("a")) {
        const long long n = box - 1;
        if (n > count) break;
        if (n < 1 || (n - 1) % 3 != 0 || !form.has_value("a" + std::to_string(box), "on")) continue;
        Charge charge{n, form.lookup("a" + std::to_string(n)), stored_value(form.lookup("a" + std::to_string(n + 2)))};
        if (shop.switches.pricecheck) {
            charge.amount = shop.extra_charge(charge.description.value_or(""));
            if (charge.amount) charge.amount = amount_to_store(*charge.amount);
            if (!charge.amount) continue;
        } else if (charge.amount) {
            charge.amount = amount_to_store(*charge.amount);
            if (!charge.amount) return std::nullopt;
        }
        charges.push_back(std::move(charge));
    }
    return charges;
}

// "Additional": "numfields" as the field `addcharge` gives it, then the
// amount and description of each ticked charge.
void store_extra_charges(const std::string& path, const std::string& count_text, const std::vector<Charge>& charges) {
    profile::write(path, basket_keys::kAdditional, basket_keys::kNumFields, stored_value(count_text));
    for (const Charge& charge : charges) {
        const std::string key = std::string(basket_keys::kCharge);
        profile::write(path, basket_keys::kAdditional, key + std::to_string(charge.n), charge.amount);
        profile::write(path, basket_keys::kAdditional, key + std::to_string(charge.n + 2), charge.description);
    }
}

}  // namespace

reply::Done command_step1(const Request& r, const Shop& shop) {
    const Step s = checked_step(r, shop);
    if (s.refused) return *s.refused;
    if (!s.basket.empty()) {
        profile::Lock lock(s.path);
        if (auto refused = begin_checkout(r, s.path)) return *refused;
        profile::store_now(s.path);
    }
    write_content_type();
    store_shipping_fields(s.path, r.form, basket_keys::kShopperDetails);
    profile::store_now(s.path);
    return answer_with_page(shop, s.basket, s.page);
}

reply::Done command_step2(const Request& r, const Shop& shop) {
    const Step s = checked_step(r, shop);
    if (s.refused) return *s.refused;
    // A seal key that cannot seal would leave the card number readable:
    // nothing is stored.
    const Switches& switches = shop.switches;
    if (!switches.sealkey.empty() && !sealed_box::key_valid(switches.sealkey))
        return fail_with_error(r.program_dir, kSealKeyNotValid);
    write_content_type();
    store_payment_fields(s.path, r.form, switches);
    profile::store_now(s.path);
    return answer_with_page(shop, s.basket, s.page);
}

reply::Done command_step3(const Request& r, const Shop& shop) {
    const Step s = checked_step(r, shop);
    if (s.refused) return *s.refused;
    if (too_many_entries(r.form)) return fail_with_error(r.program_dir, kTooManyEntries);
    write_content_type();
    const auto count_text = r.form.lookup("addcharge");
    const int count = count_text ? form_count(*count_text) : 0;
    const auto charges = ticked_charges(r, shop, count);
    // An amount that cannot be stored refuses the step: nothing is stored.
    if (charges) {
        profile::Lock lock(s.path);
        set_order_state(s.path, OrderState::changed);
        store_options(s.path, r.form);
        if (count > 0) store_extra_charges(s.path, *count_text, *charges);
        profile::store_now(s.path);
    }
    return answer_with_page(shop, s.basket, s.page);
}

reply::Done command_step4(const Request& r, const Shop& shop) {
    const std::string basket = r.form.text("basket");
    const std::string page = r.form.text("where");
    reply::forbid_caching();
    if (auto refused = refuse_basket_name(r, basket)) return *refused;
    if (auto refused = refuse_page_name(r, page)) return *refused;
    if (auto refused = refuse_unwritable_basket(r, shop, basket)) return *refused;
    if (auto refused = refuse_other_browser(r, shop.basket_file(basket))) return *refused;
    return answer_step4(r.form, shop, basket, page, kBasketProgramPage);
}
