// Checkout steps 1 to 3: each copies its form fields into the basket file's
// checkout sections and answers with the next page and the basket table.
#include <initializer_list>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "checkout/totals.h"
#include "common/numbered.h"
#include "common/numbers.h"
#include "intake/commands.h"
#include "platform/profile.h"
#include "render/reply.h"

namespace {

// The basket and the next page of a step, with the basket file.
struct Step {
    std::string basket, page, path;
};

// Checks the names before anything is written, then writes the header.
Step begin_step(const Request& r) {
    Step s{r.form.text("basket"), r.form.text("where"), {}};
    require_basket_name(r, s.basket);
    require_file_name(r, s.page);
    s.path = basket_file(s.basket);
    write_content_type();
    return s;
}

// Copies each named field into "Shipping"; an absent field removes its key.
void store_shipping_fields(const std::string& path, const FormTable& form, std::initializer_list<const char*> keys) {
    profile::Lock lock(path);
    for (const char* key : keys) profile::write(path, "Shipping", key, form.lookup(key));
}

// The first value of each field named `prefix` followed by a number of `row`.
std::map<long long, std::string> numbered_fields(const FormTable& form, std::string_view prefix, NumberRow row) {
    std::map<long long, std::string> values;
    for (const auto& [name, value] : form.fields())
        if (auto n = number_after(name, prefix, false); n && row.holds(*n)) values.emplace(*n, value);
    return values;
}

std::optional<std::string> value_of(const std::map<long long, std::string>& values, long long n) {
    auto it = values.find(n);
    if (it == values.end()) return std::nullopt;
    return it->second;
}

// "Optional": "numfields" as the field `option` gives it, then "option"i for
// i = 1 to that count from the field of the same name. Only the numbers that
// a field or a stored key carries can change anything, so only those are
// visited, in the same order.
void store_options(const std::string& path, const FormTable& form) {
    const auto count_text = form.lookup("option");
    if (!count_text || count_text->empty()) return;
    const int count = read_integer(*count_text);
    if (count <= 0) return;
    profile::write(path, "Optional", "numfields", std::string_view(*count_text));
    const NumberRow row{1, 1, count};
    const auto values = numbered_fields(form, "option", row);
    std::set<long long> visit;
    for (const auto& entry : values) visit.insert(entry.first);
    for (long long n : numbers_named(profile::key_names(path, "Optional"), "option", row, true)) visit.insert(n);
    for (long long n : visit) profile::write(path, "Optional", "option" + std::to_string(n), value_of(values, n));
}

// "Additional": "numfields" as the field `addcharge` gives it, then for each
// charge n = 1, 4, 7, ... up to that count whose box "a"(n+1) is "on", its
// amount "a"n and description "a"(n+2). Unticked charges write nothing, so
// only the ticked boxes among the fields are visited.
void store_extra_charges(const std::string& path, const FormTable& form) {
    const auto count_text = form.lookup("addcharge");
    if (!count_text) return;
    const int count = read_integer(*count_text);
    if (count <= 0) return;
    profile::write(path, "Additional", "numfields", std::string_view(*count_text));
    const auto values = numbered_fields(form, "a", {1, 1, count + 2LL});
    std::set<long long> ticked;
    const NumberRow boxes{2, 3, count + 1LL};
    for (const auto& [name, value] : form.fields())
        if (auto box = number_after(name, "a", false); box && boxes.holds(*box) && value == "on") ticked.insert(*box - 1);
    for (long long n : ticked) {
        profile::write(path, "Additional", "a" + std::to_string(n), value_of(values, n));
        profile::write(path, "Additional", "a" + std::to_string(n + 2), value_of(values, n + 2));
    }
}

}  // namespace

void command_step1(const Request& r) {
    const Step s = begin_step(r);
    store_shipping_fields(s.path, r.form,
                          {"fname", "minitial", "lname", "addr1", "addr2", "city", "stpr", "country", "zip", "dphone",
                           "fphone", "email"});
    finish_page(s.basket, s.page);
}

void command_step2(const Request& r) {
    const Step s = begin_step(r);
    store_shipping_fields(s.path, r.form, {"paytype", "cname", "cnum1", "cnum2", "expmo", "expyr"});
    finish_page(s.basket, s.page);
}

void command_step3(const Request& r) {
    const Step s = begin_step(r);
    {
        profile::Lock lock(s.path);
        store_options(s.path, r.form);
        store_extra_charges(s.path, r.form);
    }
    finish_page(s.basket, s.page);
}
