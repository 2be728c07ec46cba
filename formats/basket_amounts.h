// The amounts of a basket file: each line's quantity, price and shipping
// value, and each extra charge. Every command stores them through
// amount_to_store and every reader takes them as the basket's view reads
// them (formats/basket_view.h), so the basket table, the summary, the
// shipping rules, the mail, the order tables and the confirmation all see the
// same number.
#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "formats/basket_file.h"

// The text a command stores for an amount: without the blanks around it.
// Nothing when what is left is longer than limits::kStoredAmount or does not
// read as a plain amount (common/numbers.h).
std::optional<std::string> amount_to_store(std::string_view text);

// Whether a stored amount is one that amount_to_store could have written:
// amounts stored before that rule, padded or long, are not.
bool stored_amount_valid(std::string_view stored);

// An amount as stored (empty when missing) and the number it reads as.
struct StoredAmount {
    std::string text;
    double number = 0;
    bool valid() const { return stored_amount_valid(text); }
};

// The line with its present quantity, price and shipping value as
// amount_to_store gives them; nothing when one of them cannot be stored.
std::optional<BasketLine> line_to_store(BasketLine line);
