// Keyed and plain digests: a shop's own secret key, kept in a file of its
// own, turns a number into a second number that nobody without the key can
// work out, so that the shop can tell the names it issued from any others
// without keeping a list; a plain digest keeps a secret checkable without
// storing it.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace keyed_hash {

// The key held in `path` (the base64 of 32 bytes on one line), or nothing
// when the file is missing or does not hold such a key.
std::optional<std::string> read_key(const std::string& path);

// The key held in `path`, made first when the file is missing: 32 bytes from
// the kernel's randomness, stored readable and writable by the owner alone.
// Two runs that make it at once agree on one key. Nothing when no key can be
// read or made.
std::optional<std::string> read_or_make_key(const std::string& path);

// The first 64 bits of the keyed digest (BLAKE2b) of `text` under `key`.
std::uint64_t keyed_number(std::string_view text, const std::string& key);

// The digest (BLAKE2b, 256 bits) of `text` as 64 lower-case hexadecimal digits.
std::string digest_hex(std::string_view text);

// 32 lower-case hexadecimal digits of the kernel's randomness (128 bits);
// empty when the kernel gives none.
std::string random_hex_128();

}  // namespace keyed_hash
