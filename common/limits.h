// Every text limit of the system, in one place. These are behaviour, not
// storage sizes: values are cut at exactly these lengths.
#pragma once
#include <cstddef>

namespace limits {

// Configuration and template page lines are read in pieces of this many
// characters; the rest of a longer line is taken as a line of its own.
constexpr std::size_t kLinePiece = 1023;

// A value a log record takes from a request is cut to this many bytes.
constexpr std::size_t kLogValue = 255;

// Room for one value of the configuration record.
constexpr std::size_t kConfigValue = 255;

// Room for a value read through the profile operations, unless a reader
// names a smaller one below.
constexpr std::size_t kProfileValue = 259;

// Room for each value a reader takes from a basket file (formats/basket_view.h)
// unless it names a smaller one: the mail, the exports, the shipping rules,
// the amounts and the totals.
constexpr std::size_t kBasketValue = kProfileValue;

// Room for each item value shown in the basket table and the order summary.
constexpr std::size_t kShownValue = 79;

// Room for the fields of an item entry read for an item tag.
constexpr std::size_t kItemNumber = 1023;
constexpr std::size_t kItemDesc = 2047;
constexpr std::size_t kItemValue = 259;

// Room for one price adjustment of a modifier file, and for the name that
// lists an item's chosen options.
constexpr std::size_t kModifierAdjustment = 255;
constexpr std::size_t kComposedName = 263;

// Fields of a payment batch record.
constexpr std::size_t kBatchCardNumber = 18;
constexpr std::size_t kBatchExpiry = 3;
constexpr std::size_t kBatchTotal = 8;

// A sealed card number holds at most this many characters of what the
// shopper typed, so that its sealed form (the prefix "sealed:" and the
// base64 of the text and 48 bytes of seal) fits kProfileValue whole.
constexpr std::size_t kSealedCardNumber = 140;

// A masked card number shows this many last characters.
constexpr std::size_t kCardShownDigits = 4;

// A shopper's address shorter than this is not sent the order mail.
constexpr std::size_t kShortestMailAddress = 6;

// Counts read back from basket files ("NumKeys", "numfields") are taken as at
// most this many. A shopper can type any count into a step-3 form; without a
// cap, two thousand million empty options would be walked, mailed and
// exported. No merchant page offers, and no basket holds, this many entries.
constexpr int kMaxCountedEntries = 10000;

// A basket holds at most this many lines: an add beyond them changes nothing,
// and every reader of a basket's lines (table, summary, shipping, mail,
// exports) stops there, so all of them agree on what an order holds.
constexpr int kBasketLines = 10000;

// A quantity text longer than this is refused by the quantity check.
constexpr std::size_t kQuantityText = 259;

// A quantity, price, shipping value or extra charge is stored only when,
// without the blanks around it, it holds at most this many characters: no
// reader can then see a number that another reader's room cuts off.
constexpr std::size_t kStoredAmount = 12;

// A POST body announced as longer than this is answered "Invalid Input".
constexpr std::size_t kMaxBody = 1048576;

// Every value a request stores in a basket file is cut to this many
// characters: no reader takes more (kProfileValue).
constexpr std::size_t kStoredValue = 259;

// A basket file holds at most this many bytes: a write that would make it
// longer is refused, so no shopper can fill the shop's disk.
constexpr std::size_t kBasketFileBytes = 1048576;

// Step 3 stores at most this many options and this many extra charges.
constexpr int kStepEntries = 100;

// The copy of the order mail sent to the address a shopper typed holds at
// most this many bytes: the shop must not serve as a relay for long texts.
constexpr std::size_t kShopperMailBytes = 65536;

// Generated part of a basket name accepted from a request: 1 to this many
// characters.
constexpr std::size_t kBasketNameChars = 200;

}  // namespace limits
