#include "basket/quantity.h"

#include "common/limits.h"
#include "common/numbers.h"
#include "formats/basket_amounts.h"

namespace {

bool is_letter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Printable ASCII other than blank, digits and letters (the C locale's ispunct).
bool is_punctuation(unsigned char c) { return c > ' ' && c < 127 && !is_letter(c) && !(c >= '0' && c <= '9'); }

}  // namespace

bool quantity_characters_pass(std::string_view text) {
    if (text.size() > limits::kQuantityText) return false;
    bool good = true;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '.') good = true;
        else if (is_letter(c) || is_punctuation(c)) good = false;
    }
    return good;
}

bool quantity_plain(std::string_view text) { return plain_amount(text) && read_decimal(text) > 0; }

bool quantity_accepted(const std::optional<std::string>& text) {
    return text && read_decimal(*text) != 0.0 && quantity_characters_pass(*text) && quantity_plain(*text);
}

bool quantity_editable(std::string_view text) {
    return quantity_characters_pass(text) && (read_decimal(text) == 0 || quantity_plain(text));
}

std::optional<std::string> accepted_quantity(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    std::optional<std::string> stored = amount_to_store(*text);
    if (!stored || !quantity_accepted(*stored)) return std::nullopt;
    return stored;
}

std::optional<std::string> editable_quantity(std::string_view text) {
    std::optional<std::string> stored = amount_to_store(text);
    if (!stored || !quantity_editable(*stored)) return std::nullopt;
    return stored;
}
