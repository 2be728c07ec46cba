#include "checkout/checkout_key.h"

#include <optional>

#include "common/cgi.h"
#include "common/text.h"
#include "formats/basket_file.h"
#include "logs/logs.h"
#include "platform/keyed_hash.h"
#include "platform/output.h"

namespace {

std::optional<std::string> shown_key(const Request& r) {
    if (!r.cookies) return std::nullopt;
    return cookie_value(*r.cookies, kCheckoutCookie);
}

bool over_https(const Request& r) { return r.https && equals_ignoring_case(*r.https, "on"); }

}  // namespace

bool checkout_browser_matches(const Request& r, const std::string& basket_file) {
    const std::string digest = checkout_key_digest(basket_file);
    if (digest.empty()) return true;
    const auto key = shown_key(r);
    return key && !key->empty() && keyed_hash::digest_hex(*key) == digest;
}

reply::Refusal refuse_other_browser(const Request& r, const std::string& basket_file) {
    if (!checkout_browser_matches(r, basket_file)) return fail_with_error(r.program_dir, kOtherBrowser);
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

reply::Refusal begin_checkout(const Request& r, const std::string& basket_file) {
    if (!checkout_key_digest(basket_file).empty()) return std::nullopt;
    const std::string key = keyed_hash::random_hex_128();
    // Without the kernel's random numbers no key is safe to hand out.
    if (key.empty()) return fail_with_error(r.program_dir, "Could not make a checkout key");
    write_checkout_key_digest(basket_file, keyed_hash::digest_hex(key));
    reply::write(checkout_cookie_line(key, over_https(r)));
    return std::nullopt;
}
