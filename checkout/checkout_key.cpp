#include "checkout/checkout_key.h"

#include <optional>

#include "common/cgi.h"
#include "common/text.h"
#include "formats/basket_file.h"
#include "logs/logs.h"
#include "platform/keyed_hash.h"
#include "platform/output.h"
#include "platform/process.h"

namespace {

std::optional<std::string> shown_key() {
    const auto header = process::environment("HTTP_COOKIE");
    if (!header) return std::nullopt;
    return cookie_value(*header, kCheckoutCookie);
}

bool over_https() {
    const auto https = process::environment("HTTPS");
    return https && equals_ignoring_case(*https, "on");
}

}  // namespace

bool checkout_browser_matches(const std::string& basket_file) {
    const std::string digest = checkout_key_digest(basket_file);
    if (digest.empty()) return true;
    const auto key = shown_key();
    return key && !key->empty() && keyed_hash::digest_hex(*key) == digest;
}

reply::Refusal refuse_other_browser(const std::string& program_dir, const std::string& basket_file) {
    if (!checkout_browser_matches(basket_file)) return fail_with_error(program_dir, kOtherBrowser);
    return std::nullopt;
}

std::string checkout_cookie_line(std::string_view key, bool secure) {
    std::string line = "Set-Cookie: ";
    line += kCheckoutCookie;
    line += '=';
    line += key;
    line += "; Path=/; HttpOnly; SameSite=Strict";
    if (secure) line += "; Secure";
    line += '\n';
    return line;
}

reply::Refusal begin_checkout(const std::string& program_dir, const std::string& basket_file) {
    if (!checkout_key_digest(basket_file).empty()) return std::nullopt;
    const std::string key = keyed_hash::random_hex_128();
    // Without the kernel's random numbers no key is safe to hand out.
    if (key.empty()) return fail_with_error(program_dir, "Could not make a checkout key");
    write_checkout_key_digest(basket_file, keyed_hash::digest_hex(key));
    reply::write(checkout_cookie_line(key, over_https()));
    return std::nullopt;
}
