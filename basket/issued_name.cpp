#include "basket/issued_name.h"

#include <optional>

#include "formats/basket_file.h"
#include "logs/logs.h"
#include "platform/files.h"
#include "platform/keyed_hash.h"
#include "platform/random.h"
#include "request/names.h"

namespace {

constexpr std::string_view kSuffix = ".bsk";

std::string key_file(const std::string& program_dir) { return program_dir + std::string(kBasketKeyFile); }

// The number that `digits` writes as an unsigned decimal without leading
// zeros, or nothing when it is not one that fits 64 bits.
std::optional<std::uint64_t> canonical_number(std::string_view digits) {
    if (digits.empty() || digits.size() > 20 || digits.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    if (digits.size() > 1 && digits.front() == '0') return std::nullopt;
    std::uint64_t value = 0;
    for (char c : digits) {
        const std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
        if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

}  // namespace

std::string issued_basket_name(std::uint64_t first, const std::string& key) {
    const std::string number = std::to_string(first);
    return std::string(kBasketFolder) + number + "." + std::to_string(keyed_hash::keyed_number(number, key)) +
           std::string(kSuffix);
}

std::string issue_basket_name(const std::string& program_dir) {
    const auto key = keyed_hash::read_or_make_key(key_file(program_dir));
    const auto first = entropy::random_64();
    if (!key || !first) return {};
    return issued_basket_name(*first, *key);
}

bool is_issued_basket_name(const std::string& program_dir, std::string_view basket) {
    if (basket.substr(0, kBasketFolder.size()) != kBasketFolder) return false;
    const std::string_view generated = basket.substr(kBasketFolder.size());
    const auto first = canonical_number(generated.substr(0, generated.find('.')));
    if (!first) return false;
    const auto key = keyed_hash::read_key(key_file(program_dir));
    return key && basket == issued_basket_name(*first, *key);
}

bool may_write_basket(const Shop& shop, std::string_view basket) {
    if (basket.empty()) return true;
    return files::is_regular_file(shop.basket_file(basket)) || is_issued_basket_name(shop.program_dir, basket);
}

reply::Refusal refuse_unwritable_basket(const Request& r, const Shop& shop, std::string_view basket) {
    if (auto refused = refuse_basket_name(r, basket)) return *refused;
    if (!may_write_basket(shop, basket)) return fail_with_error(r.program_dir, refused_name_message(basket));
    if (!basket.empty()) limit_basket_size(shop.basket_file(basket));
    return std::nullopt;
}
