// The quantity rule: which quantity texts a shopper may put into a basket.
#pragma once
#include <optional>
#include <string>
#include <string_view>

// The character rule: walking the text, a letter (A-Z, a-z) or a punctuation
// character (printable ASCII that is neither letter, digit nor blank) marks
// it bad and a "." marks it good again; the text passes when the mark is good
// at its end. Characters above 127 and control characters leave the mark as
// it is. A text longer than limits::kQuantityText never passes.
bool quantity_characters_pass(std::string_view text);

// Whether the number a quantity text reads as is a real count: greater than
// zero, finite and written without an exponent ("-10.", "1e3", "1e-9." fail).
bool quantity_plain(std::string_view text);

// The whole check of the adding commands, in order: the quantity is present,
// reads as a non-zero decimal number, passes the character rule and is plain.
bool quantity_accepted(const std::optional<std::string>& text);

// Whether the basket table's edit stores a typed quantity: it passes the
// character rule and reads as zero (which hides the line) or as a plain count.
bool quantity_editable(std::string_view text);

// The quantity text an adding command stores: the text without the blanks
// around it, when that is at most limits::kStoredAmount characters and passes
// quantity_accepted; nothing otherwise.
std::optional<std::string> accepted_quantity(const std::optional<std::string>& text);

// The quantity text edit stores, likewise with quantity_editable.
std::optional<std::string> editable_quantity(std::string_view text);
