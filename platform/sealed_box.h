// Sealed boxes: text sealed with a merchant's public key (X25519) so that
// only the holder of the matching secret key can open it, and nobody, not
// even the program that sealed it, can read it back. Keys travel as standard
// base64 of their 32 bytes.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace sealed_box {

// What every sealed value stored by the system begins with.
constexpr std::string_view kPrefix = "sealed:";

// Whether `key` is the base64 of a 32-byte key.
bool key_valid(std::string_view key);

// kPrefix followed by the base64 of the sealed box of `text`; nothing when
// the public key is not valid.
std::optional<std::string> seal(std::string_view text, std::string_view public_key);

// The text of a sealed value (with its prefix), or nothing when it is not
// one or does not open with the secret key.
std::optional<std::string> open(std::string_view sealed, std::string_view secret_key);

struct KeyPair {
    std::string public_key, secret_key;  // base64
};
// A new key pair from the kernel's randomness; nothing when the library
// cannot be set up (no randomness to be had).
std::optional<KeyPair> new_key_pair();

}  // namespace sealed_box
