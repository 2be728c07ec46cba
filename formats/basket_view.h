// One basket file as its readers see it: the lines, the checkout entries,
// the options and extra charges, the totals of the last summary and the
// order state, read once through the profile store. Every field is cut at
// the length its readers take; where readers take a field at two lengths,
// both are named here. The view is for reading: writes go through the
// profile store (formats/basket_file.h) under the basket's lock, and a
// command that reads and writes loads the view under that lock.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "common/limits.h"
#include "formats/basket_amounts.h"
#include "formats/basket_file.h"

// One basket line, its section numbered `number`.
struct LineView {
    long long number = 0;
    // "NAME" and "ITEM" as the mail, the exports and the shipping rules take
    // them (limits::kBasketValue), and as the basket table and the order
    // summary show them (limits::kShownValue).
    std::string name, item;
    std::string shown_name, shown_item;
    // "QUANTITY", "PRICE" and "SHIP", each read by stored_amount.
    StoredAmount quantity, price, ship;
};

// The checkout entries ("Shipping") that steps 1 to 4 store, each cut to
// limits::kBasketValue; empty when missing.
struct CheckoutEntries {
    std::string fname, minitial, lname, addr1, addr2, city, stpr, country, zip, dphone, fphone, email;
    std::string paytype, cname, cnum1, cnum2, expmo, expyr;
    std::string carrier;
    // The masked forms step 2 keeps beside a sealed card number; a number is
    // sealed exactly when its mask key is there.
    bool cnum1_sealed = false, cnum2_sealed = false;
    std::string cnum1mask, cnum2mask;
    // The expiry as the payment record takes it (limits::kBatchExpiry).
    std::string batch_expmo, batch_expyr;
    // The payment record's clear card number (limits::kBatchCardNumber).
    std::string batch_cnum1;

    // The entry of `key`, one of the keys above but the masks (the customer
    // table's columns, say); empty for any other key.
    const std::string& entry(std::string_view key) const;
};

// Numbered entries of one section: its stored "numfields" and the keys of a
// prefix ("option", "a") followed by a number.
struct NumberedEntries {
    // "numfields" as stored (0 when missing), unbounded; `counted()` is the
    // count the mail and the exports walk.
    int count = 0;
    // The value of every numbered key there is, by its number, each cut to
    // limits::kBasketValue.
    std::map<long long, std::string> values;

    int counted() const;
    // The value of key n; empty when missing.
    const std::string& at(long long n) const;
    bool has(long long n) const { return values.count(n) != 0; }
};

struct BasketView {
    // "NumKeys" as stored (0 when missing), unbounded.
    long long line_count = 0;
    // The lines numbered from 1 to line_count (at most limits::kBasketLines)
    // that have a section, ascending; any other number reads as an empty line.
    std::vector<LineView> lines;
    CheckoutEntries checkout;
    NumberedEntries options;  // "Optional": "numfields", "option"n
    NumberedEntries charges;  // "Additional": "numfields", "a"n
    // The tax and total of the last summary, as stored (limits::kBasketValue).
    BasketTotals totals;
    // The total as the payment record takes it (limits::kBatchTotal).
    std::string batch_total;
    OrderState state = OrderState::changed;

    // "NumKeys" taken as at most limits::kBasketLines: the numbers the mail
    // and the order table walk, stored or not.
    int counted_lines() const;
    // Line n, or an empty line numbered n when it has no section.
    LineView line(long long n) const;
    // The numbers of the stored lines and those in `also` (the numbered
    // fields of a form, say) from 1 to line_count (at most
    // limits::kBasketLines), ascending: the lines a loop that changes them
    // has to visit.
    std::vector<long long> lines_to_visit(const std::vector<long long>& also) const;

    // The extra charges n = 1, 4, 7, ... up to "numfields" whose key
    // "a"(n + offset) is stored, ascending (offset 0 is the amount, 2 the
    // description).
    std::vector<long long> stored_charges(int offset) const;
    // The amount "a"n of extra charge n, read as stored_amount reads it.
    StoredAmount charge(long long n) const;
    // The description "a"(n + 2) of extra charge n.
    const std::string& charge_description(long long n) const { return charges.at(n + 2); }
};

// The view of the basket file at `path`; a missing file reads as an empty
// basket.
BasketView load_basket(const std::string& path);
