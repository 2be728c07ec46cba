#include "platform/sealed_box.h"

#include <sodium.h>

#include <vector>

#include "common/base64.h"

namespace sealed_box {
namespace {

// The library must be set up once before its first use; it fails only when
// no randomness can be had, and nothing may be sealed then.
bool ready() {
    static const bool ok = sodium_init() >= 0;
    return ok;
}

const unsigned char* bytes(const std::string& text) { return reinterpret_cast<const unsigned char*>(text.data()); }

std::optional<std::string> key_bytes(std::string_view key) {
    auto raw = base64_decode(key);
    if (!raw || raw->size() != crypto_box_PUBLICKEYBYTES) return std::nullopt;
    return raw;
}

std::string as_text(const unsigned char* data, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

}  // namespace

static_assert(crypto_box_PUBLICKEYBYTES == crypto_box_SECRETKEYBYTES, "keys of one size");

bool key_valid(std::string_view key) { return key_bytes(key).has_value(); }

std::optional<std::string> seal(std::string_view text, std::string_view public_key) {
    const auto key = key_bytes(public_key);
    if (!key || !ready()) return std::nullopt;
    const std::string plain(text);
    std::vector<unsigned char> box(plain.size() + crypto_box_SEALBYTES);
    if (crypto_box_seal(box.data(), bytes(plain), plain.size(), bytes(*key)) != 0) return std::nullopt;
    return std::string(kPrefix) + base64_encode(as_text(box.data(), box.size()));
}

std::optional<std::string> open(std::string_view sealed, std::string_view secret_key) {
    if (sealed.substr(0, kPrefix.size()) != kPrefix) return std::nullopt;
    const auto box = base64_decode(sealed.substr(kPrefix.size()));
    const auto secret = key_bytes(secret_key);
    if (!box || !secret || box->size() < crypto_box_SEALBYTES || !ready()) return std::nullopt;
    unsigned char public_key[crypto_box_PUBLICKEYBYTES];
    crypto_scalarmult_base(public_key, bytes(*secret));
    std::vector<unsigned char> plain(box->size() - crypto_box_SEALBYTES + 1);
    if (crypto_box_seal_open(plain.data(), bytes(*box), box->size(), public_key, bytes(*secret)) != 0)
        return std::nullopt;
    return as_text(plain.data(), box->size() - crypto_box_SEALBYTES);
}

std::optional<KeyPair> new_key_pair() {
    if (!ready()) return std::nullopt;
    unsigned char public_key[crypto_box_PUBLICKEYBYTES];
    unsigned char secret_key[crypto_box_SECRETKEYBYTES];
    crypto_box_keypair(public_key, secret_key);
    KeyPair pair{base64_encode(as_text(public_key, sizeof public_key)),
                 base64_encode(as_text(secret_key, sizeof secret_key))};
    sodium_memzero(secret_key, sizeof secret_key);
    return pair;
}

}  // namespace sealed_box
