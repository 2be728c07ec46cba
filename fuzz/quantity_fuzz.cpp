// The quantity rule and the number readers under it: the character rule
// agrees with its plain reading ("only the characters after the last point
// decide"), and no text makes a reader overflow or read past its end.
#include <cmath>

#include "basket/quantity.h"
#include "common/limits.h"
#include "common/numbers.h"
#include "fuzz_check.h"

namespace {

bool letter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool digit(unsigned char c) { return c >= '0' && c <= '9'; }
bool punctuation(unsigned char c) { return c > ' ' && c < 127 && !letter(c) && !digit(c); }

bool characters_pass(std::string_view text) {
    if (text.size() > limits::kQuantityText) return false;
    const std::size_t point = text.rfind('.');
    const std::string_view decisive = point == std::string_view::npos ? text : text.substr(point + 1);
    for (char ch : decisive) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (letter(c) || punctuation(c)) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(input_text(data, size));
    const bool pass = quantity_characters_pass(text);
    FUZZ_CHECK(pass == characters_pass(text));

    const double number = read_decimal(text);
    FUZZ_CHECK(!std::isnan(number));
    FUZZ_CHECK(quantity_accepted(text) == (number != 0.0 && pass && quantity_plain(text)));
    // A plain amount is a finite number that is not negative; a plain count is above zero.
    if (plain_amount(text)) FUZZ_CHECK(std::isfinite(number) && !(number < 0));
    if (quantity_plain(text)) FUZZ_CHECK(std::isfinite(number) && number > 0);
    FUZZ_CHECK(!quantity_accepted(std::nullopt));
    const std::string money = two_decimals(number);
    if (std::isfinite(number)) FUZZ_CHECK(money.size() >= 4 && money[money.size() - 3] == '.');

    const int whole = read_integer(text);
    // A text that starts with digits reads as a whole number of the same sign.
    if (!text.empty() && digit(static_cast<unsigned char>(text[0]))) FUZZ_CHECK(whole >= 0);
    const long long numbered = numbered_name(text);
    FUZZ_CHECK(numbered == -1 || (numbered > 0 && std::to_string(numbered) == text));
    return 0;
}
