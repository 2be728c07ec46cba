// A checkout belongs to the browser that began it. Step 1 gives the browser
// a random checkout key in a cookie and the basket keeps only the key's
// digest; the later steps and the confirmation of a basket that holds one
// go on only for the browser that shows the key. Knowing a basket's name
// is then not enough to change its checkout or to order from it.
#pragma once
#include <string>
#include <string_view>

#include "platform/output.h"
#include "request/request.h"

// The cookie that carries the checkout key.
constexpr std::string_view kCheckoutCookie = "TAVRA_CHECKOUT";

// The refusal of a step from another browser.
constexpr std::string_view kOtherBrowser = "Checkout started in another browser";

// Whether the request's cookies show the key whose digest the basket holds;
// true for a basket that holds none.
bool checkout_browser_matches(const Request& r, const std::string& basket_file);

// Refuses the request through fail_with_error with kOtherBrowser when the
// basket holds a key that the request does not show. Nothing is written.
[[nodiscard]] reply::Refusal refuse_other_browser(const Request& r, const std::string& basket_file);

// Step 1 on a basket that holds no key: makes one, stores its digest and
// writes the cookie header line (HttpOnly, SameSite=Strict, Path=/, and
// Secure when the request came over HTTPS). Nothing on a basket that holds
// one. The caller holds the basket file's lock, has checked the browser and
// has written no content-type header yet. Refuses the request through
// fail_with_error when no key can be made.
[[nodiscard]] reply::Refusal begin_checkout(const Request& r, const std::string& basket_file);

// The cookie header line for `key`.
std::string checkout_cookie_line(std::string_view key, bool secure);
