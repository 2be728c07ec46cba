// The shopper's card numbers ("Shipping"/"cnum1" and "cnum2"): stored by
// step 2 as typed, or sealed with the merchant's key; shown in the order
// mail and the export tables as stored, or masked; carried by the payment
// record.
#pragma once
#include <string>
#include <string_view>

#include "formats/basket_view.h"
#include "request/form.h"
#include "request/switches.h"

// Step 2's fields "paytype", "cname", "cnum1", "cnum2", "expmo", "expyr",
// each copied into "Shipping" (an absent field removes its key), and the
// basket marked changed since its summary. With a seal key, "cnum1" and
// "cnum2" hold their sealed forms and "cnum1mask" and "cnum2mask" their
// masked forms, which the mail and the tables show. The key must be valid.
void store_payment_fields(const std::string& basket_file, const FormTable& form, const Switches& switches);

// The card number under `key` as the mail and the export tables show it: a
// sealed one by its stored masked form, any other masked when the switches
// say so, as stored otherwise.
std::string shown_card_number(const CheckoutEntries& entries, std::string_view key, const Switches& switches);

// The payment record's card number: a sealed "cnum1" whole; otherwise its
// first limits::kBatchCardNumber characters, sealed when a seal key is set.
std::string batch_card_number(const CheckoutEntries& entries, const Switches& switches);

// Seals the card numbers that a basket file holds in the clear (stored before
// the merchant set a seal key), the way step 2 would have stored them: the
// sealed form and the masked one. The caller holds the basket's lock. The
// count of numbers sealed; -1 when the key does not seal.
int seal_clear_card_numbers(const std::string& basket_file, std::string_view sealkey);

// Whether a basket file holds a card number in the clear.
bool holds_clear_card_number(const std::string& basket_file);

// Removes the card numbers (with their masked forms) and the expiry from
// "Shipping". The caller holds the basket file's lock.
void remove_card_data(const std::string& basket_file);
