#include "checkout/card_fields.h"

#include "common/card_number.h"
#include "common/limits.h"
#include "common/text.h"
#include "formats/basket_file.h"
#include "platform/profile.h"
#include "platform/sealed_box.h"

namespace {

constexpr std::string_view kCardKeys[] = {basket_keys::kCardNumber1, basket_keys::kCardNumber2};

std::string mask_key(std::string_view card_key) { return std::string(card_key) + std::string(basket_keys::kMaskSuffix); }

bool is_card_key(std::string_view key) { return key == kCardKeys[0] || key == kCardKeys[1]; }

// Only step 2 writes a mask key, and only beside a number it sealed: a
// shopper cannot make a typed value pass for a sealed one.
bool stored_sealed(const std::string& basket_file, std::string_view card_key) {
    return profile::read_value(basket_file, basket_keys::kShipping, mask_key(card_key)).has_value();
}

}  // namespace

void store_payment_fields(const std::string& basket_file, const FormTable& form, const Switches& switches) {
    profile::Lock lock(basket_file);
    set_order_state(basket_file, OrderState::changed);
    for (std::string_view key : basket_keys::kPaymentDetails) {
        const std::optional<std::string> value = form.lookup(key);
        if (!is_card_key(key) || !value || switches.sealkey.empty()) {
            profile::write(basket_file, basket_keys::kShipping, key, stored_value(value));
            if (is_card_key(key)) profile::remove(basket_file, basket_keys::kShipping, mask_key(key));
            continue;
        }
        const std::string number = cut(*value, limits::kSealedCardNumber);
        // The key was checked before anything was written.
        profile::write(basket_file, basket_keys::kShipping, key, sealed_box::seal(number, switches.sealkey).value());
        profile::write(basket_file, basket_keys::kShipping, mask_key(key), masked_card_number(number));
    }
}

std::string shown_card_number(const CheckoutEntries& entries, std::string_view key, const Switches& switches) {
    const bool first = key == basket_keys::kCardNumber1;
    if (first ? entries.cnum1_sealed : entries.cnum2_sealed) return first ? entries.cnum1mask : entries.cnum2mask;
    const std::string& stored = first ? entries.cnum1 : entries.cnum2;
    return switches.masks_cards() ? masked_card_number(stored) : stored;
}

std::string batch_card_number(const CheckoutEntries& entries, const Switches& switches) {
    if (entries.cnum1_sealed) return entries.cnum1;
    // A number typed before the merchant set a key is sealed on its way out.
    if (!switches.sealkey.empty())
        if (auto sealed = sealed_box::seal(entries.batch_cnum1, switches.sealkey)) return *sealed;
    return entries.batch_cnum1;
}

int seal_clear_card_numbers(const std::string& basket_file, std::string_view sealkey) {
    int sealed = 0;
    for (std::string_view key : kCardKeys) {
        if (stored_sealed(basket_file, key)) continue;
        const std::string stored = profile::read_text(basket_file, basket_keys::kShipping, key);
        if (stored.empty()) continue;
        const std::string number = cut(stored, limits::kSealedCardNumber);
        const auto box = sealed_box::seal(number, sealkey);
        if (!box) return -1;
        profile::write(basket_file, basket_keys::kShipping, key, *box);
        profile::write(basket_file, basket_keys::kShipping, mask_key(key), masked_card_number(number));
        ++sealed;
    }
    return sealed;
}

bool holds_clear_card_number(const std::string& basket_file) {
    for (std::string_view key : kCardKeys)
        if (!stored_sealed(basket_file, key) && !profile::read_text(basket_file, basket_keys::kShipping, key).empty())
            return true;
    return false;
}

void remove_card_data(const std::string& basket_file) {
    for (std::string_view key : kCardKeys) {
        profile::remove(basket_file, basket_keys::kShipping, key);
        profile::remove(basket_file, basket_keys::kShipping, mask_key(key));
    }
    for (std::string_view key : {basket_keys::kExpiryMonth, basket_keys::kExpiryYear}) profile::remove(basket_file, basket_keys::kShipping, key);
}
