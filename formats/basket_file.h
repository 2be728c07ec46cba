// Basket files: where a basket lies and how lines are added to it.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/limits.h"

// The sections and keys of a basket file. Only this module names them; the
// rest of the system reads and writes a basket through them and the typed
// reads and writes below. Keys are matched without regard to case.
namespace basket_keys {
// The basket's own section and its count of lines.
constexpr std::string_view kBasket = "Basket";
constexpr std::string_view kNumKeys = "NumKeys";
// The keys of a line, whose section is its number.
constexpr std::string_view kName = "NAME";
constexpr std::string_view kItem = "ITEM";
constexpr std::string_view kPrice = "PRICE";
constexpr std::string_view kShip = "SHIP";
constexpr std::string_view kQuantity = "QUANTITY";
// Checkout entries: the shopper's details and payment ("Shipping"), the
// options ("Optional": "numfields", then "option<n>" keys) and the extra
// charges ("Additional": "numfields", then "a<n>" keys).
constexpr std::string_view kShipping = "Shipping";
constexpr std::string_view kOptional = "Optional";
constexpr std::string_view kOption = "option";
constexpr std::string_view kAdditional = "Additional";
constexpr std::string_view kCharge = "a";
constexpr std::string_view kNumFields = "numfields";
// The keys of "Shipping". Each of steps 1 and 2 stores its form fields under
// the fields' own names.
constexpr std::string_view kFirstName = "fname";
constexpr std::string_view kMiddleInitial = "minitial";
constexpr std::string_view kLastName = "lname";
constexpr std::string_view kAddress1 = "addr1";
constexpr std::string_view kAddress2 = "addr2";
constexpr std::string_view kCity = "city";
constexpr std::string_view kState = "stpr";
constexpr std::string_view kCountry = "country";
constexpr std::string_view kZip = "zip";
constexpr std::string_view kDayPhone = "dphone";
constexpr std::string_view kFaxPhone = "fphone";
constexpr std::string_view kEmail = "email";
constexpr std::string_view kPayType = "paytype";
constexpr std::string_view kCardName = "cname";
constexpr std::string_view kCardNumber1 = "cnum1";
constexpr std::string_view kCardNumber2 = "cnum2";
constexpr std::string_view kExpiryMonth = "expmo";
constexpr std::string_view kExpiryYear = "expyr";
constexpr std::string_view kCarrier = "carrier";
constexpr std::string_view kInvoice = "invnumber";
// A sealed card number's masked form is kept under its key followed by this.
constexpr std::string_view kMaskSuffix = "mask";
// Step 1's fields, and step 2's, in the order the steps store them.
inline constexpr std::string_view kShopperDetails[] = {kFirstName, kMiddleInitial, kLastName, kAddress1,
                                                       kAddress2,  kCity,          kState,    kCountry,
                                                       kZip,       kDayPhone,      kFaxPhone, kEmail};
inline constexpr std::string_view kPaymentDetails[] = {kPayType,     kCardName,    kCardNumber1,
                                                       kCardNumber2, kExpiryMonth, kExpiryYear};
// The order tables' columns after the invoice number: the customer table's
// keys of "Shipping", and the order table's keys of a line.
inline constexpr std::string_view kCustomerColumns[] = {
    kFirstName, kMiddleInitial, kLastName, kAddress1, kAddress2,   kCity,        kState,      kCountry,   kZip,
    kDayPhone,  kFaxPhone,      kEmail,    kCardName, kCardNumber1, kCardNumber2, kExpiryMonth, kExpiryYear, kCarrier,
};
// The digest of the checkout key that step 1 gave the shopper's browser.
constexpr std::string_view kCheckout = "Checkout";
constexpr std::string_view kCheckoutKey = "keydigest";
// The totals of the last order summary.
constexpr std::string_view kTotals = "Total";
constexpr std::string_view kTax = "Tax";
constexpr std::string_view kTotal = "Total";
inline constexpr std::string_view kOrderColumns[] = {kName, kItem, kPrice, kShip, kQuantity};
}  // namespace basket_keys

// Every basket name is this folder followed by a generated name.
constexpr std::string_view kBasketFolder = "basket/";

// Holds the basket file to limits::kBasketFileBytes for the rest of the run:
// writes that would make it longer are dropped (profile::limit_size).
void limit_basket_size(const std::string& path);

// A value from a request as a basket file stores it: cut to
// limits::kStoredValue characters; absent stays absent.
std::optional<std::string> stored_value(const std::optional<std::string>& value);

// One basket line; an absent value leaves its key out of the section.
struct BasketLine {
    std::optional<std::string> name, item, price, ship, quantity;
};

// Adds `line` as the next numbered section: reads "NumKeys" (0 when missing),
// writes the raised "NumKeys" first, then "NAME", "ITEM", "PRICE", "SHIP" and
// "QUANTITY" in that order, and marks the basket changed since its summary.
// A basket that holds limits::kBasketLines lines already is left as it is
// and false returned. The caller holds the basket file's lock.
bool add_basket_line(const std::string& path, const BasketLine& line);

// "NumKeys" as stored (0 when missing), unbounded: a loop visits
// lines_to_visit, never this count alone.
long long stored_line_count(const std::string& path);

// The line numbers from 1 to `num_keys` (at most limits::kBasketLines),
// ascending, that a loop over the basket's lines has to visit: those with a
// section in the file, and those in `also` (the numbered fields of a form,
// say). Every other number names a missing section, which reads as empty and
// is left as it is.
std::vector<long long> lines_to_visit(const std::string& path, long long num_keys,
                                      const std::vector<long long>& also = {});

// Sets the checkout entry `key` of "Shipping" (the shopper's details and
// payment), cut as stored_value cuts it; an absent value removes the key.
// The caller holds the lock.
void write_shipping_value(const std::string& path, std::string_view key, const std::optional<std::string>& value);

// The totals of the last summary, as stored; empty when missing.
struct BasketTotals {
    std::string tax, total;
};
BasketTotals stored_totals(const std::string& path, std::size_t room = limits::kProfileValue);
// Stores them ("Tax" first). The caller holds the lock.
void write_totals(const std::string& path, const std::string& tax, const std::string& total);

// The digest of the basket's checkout key; empty when its checkout has not
// begun (or began before checkouts had keys).
std::string checkout_key_digest(const std::string& path);
// Stores it. The caller holds the lock.
void write_checkout_key_digest(const std::string& path, const std::string& digest);

// Where a basket stands between its order summary and its orders. The state
// is kept in a section of its own; a basket without it (a new one, or one
// written before states were kept) has had no summary since its last change.
enum class OrderState {
    changed,     // lines or checkout details changed since the last summary
    summarised,  // the order summary shows what the basket holds
    ordered,     // an order was made from that summary, nothing changed since
};
OrderState order_state(const std::string& path);

// Sets the state; writes nothing when the basket stands there already. The
// caller holds the basket file's lock.
void set_order_state(const std::string& path, OrderState state);
