#include "platform/keyed_hash.h"

#include <sodium.h>
#include <unistd.h>

#include "common/base64.h"
#include "platform/files.h"
#include "platform/random.h"

namespace keyed_hash {
namespace {

constexpr std::size_t kKeyBytes = crypto_generichash_KEYBYTES;  // 32
static_assert(kKeyBytes == 32, "a key of 256 bits");

// The library is set up once before its first use. It fails only when no
// randomness can be had: no key can be made then, but a digest needs no
// randomness and is the same either way.
bool ready() {
    static const bool ok = sodium_init() >= 0;
    return ok;
}

const unsigned char* bytes(std::string_view text) { return reinterpret_cast<const unsigned char*>(text.data()); }

std::string hex(const unsigned char* data, std::size_t size) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < size; ++i) {
        out += kDigits[data[i] >> 4];
        out += kDigits[data[i] & 0x0F];
    }
    return out;
}

// The key bytes of a key file's text: one line of base64, its line end optional.
std::optional<std::string> key_of(std::string text) {
    if (!text.empty() && text.back() == '\n') text.pop_back();
    auto raw = base64_decode(text);
    if (!raw || raw->size() != kKeyBytes) return std::nullopt;
    return raw;
}

}  // namespace

std::optional<std::string> read_key(const std::string& path) {
    const auto text = files::read(path);
    if (!text) return std::nullopt;
    return key_of(*text);
}

std::optional<std::string> read_or_make_key(const std::string& path) {
    if (auto key = read_key(path)) return key;
    if (!ready()) return std::nullopt;
    unsigned char raw[kKeyBytes];
    randombytes_buf(raw, sizeof raw);
    const std::string line = base64_encode(std::string(reinterpret_cast<const char*>(raw), sizeof raw)) + "\n";
    sodium_memzero(raw, sizeof raw);
    // Written whole under a name of its own, then linked into place: a run
    // that reads the key file never finds it half written, and of two runs
    // that make one at once the first link wins and both use its key.
    const std::string temp = path + "." + std::to_string(getpid()) + ".new";
    files::remove(temp);  // left behind by a killed run with our pid
    if (files::create_owner_only(temp, line) != files::Created::created) return std::nullopt;
    // Linked or not (another run was first), the file in place holds the key.
    if (::link(temp.c_str(), path.c_str()) != 0) {
    }
    files::remove(temp);
    return read_key(path);
}

std::uint64_t keyed_number(std::string_view text, const std::string& key) {
    (void)ready();
    unsigned char out[crypto_generichash_BYTES_MIN];  // 16 bytes, of which 8 are taken
    crypto_generichash(out, sizeof out, bytes(text), text.size(), bytes(key), key.size());
    std::uint64_t number = 0;
    for (int i = 0; i < 8; ++i) number = (number << 8) | out[i];
    return number;
}

std::string digest_hex(std::string_view text) {
    (void)ready();
    unsigned char out[32];
    crypto_generichash(out, sizeof out, bytes(text), text.size(), nullptr, 0);
    return hex(out, sizeof out);
}

std::string random_hex_128() {
    const auto high = entropy::random_64();
    const auto low = entropy::random_64();
    if (!high || !low) return {};
    unsigned char raw[16];
    for (int i = 0; i < 8; ++i) {
        raw[i] = static_cast<unsigned char>(*high >> (56 - 8 * i));
        raw[8 + i] = static_cast<unsigned char>(*low >> (56 - 8 * i));
    }
    return hex(raw, sizeof raw);
}

}  // namespace keyed_hash
