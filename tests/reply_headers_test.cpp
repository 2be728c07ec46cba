// The safety headers go just before the content-type or Location line of
// every reply kind, and nowhere else; a redirect answered over FastCGI
// names its status.
#include <gtest/gtest.h>

#include "common/redirect_status.h"
#include "common/reply_headers.h"

TEST(ReplyHeaders, GoBeforeTheContentTypeOrLocationLine) {
    const std::string safe(kSafetyHeaders);
    const std::string no_store(kNoStoreHeader);
    const struct {
        std::string reply;
        bool no_store;
        std::string expected;
    } rows[] = {
        {"Content-type: text/html\n\n<p>", false, safe + "Content-type: text/html\n\n<p>"},
        {"Content-type: text/html\n\n<p>", true, no_store + safe + "Content-type: text/html\n\n<p>"},
        {"Set-Cookie: TAVRA=basket/1; path=/\nContent-type: text/html\n\n",
         false, "Set-Cookie: TAVRA=basket/1; path=/\n" + safe + "Content-type: text/html\n\n"},
        {"Location: http://x/\n\nFile or path not found.\n", false, safe + "Location: http://x/\n\nFile or path not found.\n"},
        {"Location: \n\n", false, safe + "Location: \n\n"},
        {"Could not open /a/runlog.txt\nContent-type: text/html\n\nx", false,
         "Could not open /a/runlog.txt\n" + safe + "Content-type: text/html\n\nx"},
        // A body that names a header is left alone, and so is no reply at all.
        {"X: y\n\nContent-type: text/html\n\n", false, "X: y\n\nContent-type: text/html\n\n"},
        {"", true, ""},
        {"Content-type: text/html", false, safe + "Content-type: text/html"},
    };
    for (const auto& r : rows) EXPECT_EQ(with_safety_headers(r.reply, r.no_store), r.expected) << r.reply;
}

// Over FastCGI a redirect to an address names its 302 itself; a page, a
// server-side redirect, a reply that names its status and a body that only
// mentions a Location keep their bytes.
TEST(ReplyHeaders, AFastcgiRedirectNamesItsStatus) {
    const std::string safe(kSafetyHeaders);
    const std::pair<std::string, std::string> rows[] = {
        {safe + "Location: http://x/thanks.html\n\n", safe + "Status: 302 Found\nLocation: http://x/thanks.html\n\n"},
        {"location:https://x/\n\nbody", "Status: 302 Found\nlocation:https://x/\n\nbody"},
        {"Status: 303 See Other\nLocation: http://x/\n\n", "Status: 303 See Other\nLocation: http://x/\n\n"},
        {"Location: http://x/\nstatus: 301\n\n", "Location: http://x/\nstatus: 301\n\n"},
        {"Location: /thanks.html\n\n", "Location: /thanks.html\n\n"},
        {"Location: \n\n", "Location: \n\n"},
        {safe + "Content-type: text/html\n\nLocation: http://x/\n", safe + "Content-type: text/html\n\nLocation: http://x/\n"},
        {"Locations: http://x/\n\n", "Locations: http://x/\n\n"},
        {"", ""},
    };
    for (const auto& [reply, expected] : rows) EXPECT_EQ(with_redirect_status(reply), expected) << reply;
}
