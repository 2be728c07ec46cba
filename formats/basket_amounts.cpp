#include "formats/basket_amounts.h"

#include "common/limits.h"
#include "common/numbers.h"
#include "common/text.h"

std::optional<std::string> amount_to_store(std::string_view text) {
    std::string amount = without_blanks_around(text);
    if (amount.size() > limits::kStoredAmount || !plain_amount(amount)) return std::nullopt;
    return amount;
}

bool stored_amount_valid(std::string_view stored) {
    const std::optional<std::string> amount = amount_to_store(stored);
    return amount && *amount == stored;
}

std::optional<BasketLine> line_to_store(BasketLine line) {
    for (std::optional<std::string>* amount : {&line.price, &line.ship, &line.quantity}) {
        if (!*amount) continue;
        std::optional<std::string> stored = amount_to_store(**amount);
        if (!stored) return std::nullopt;
        *amount = std::move(*stored);
    }
    return line;
}
