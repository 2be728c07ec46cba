#include "formats/basket_amounts.h"

#include "common/limits.h"
#include "common/numbers.h"
#include "common/text.h"

namespace {

// Every reader takes an amount with this room, whatever it shows of it.
constexpr std::size_t kAmountRoom = limits::kProfileValue;

}  // namespace

std::optional<std::string> amount_to_store(std::string_view text) {
    std::string amount = without_blanks_around(text);
    if (amount.size() > limits::kStoredAmount || !plain_amount(amount)) return std::nullopt;
    return amount;
}

bool stored_amount_valid(std::string_view stored) {
    const std::optional<std::string> amount = amount_to_store(stored);
    return amount && *amount == stored;
}

StoredAmount stored_amount(const std::string& basket_file, std::string_view section, std::string_view key) {
    StoredAmount amount;
    amount.text = line_value(basket_file, section, key, kAmountRoom);
    amount.number = read_decimal(amount.text);
    return amount;
}

StoredAmount stored_amount(const std::string& basket_file, long long line, std::string_view key) {
    return stored_amount(basket_file, std::to_string(line), key);
}

StoredAmount stored_charge(const std::string& basket_file, long long n) {
    return stored_amount(basket_file, basket_keys::kAdditional, "a" + std::to_string(n));
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
