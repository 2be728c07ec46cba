// The safety headers go just before the content-type or Location line of
// every reply kind, and nowhere else.
#include <gtest/gtest.h>

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
