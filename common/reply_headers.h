// The header lines that every page reply and redirect carries, so that no
// browser guesses another type for a reply, sends the shop's addresses to
// other sites or shows its pages inside another site's frame.
#pragma once
#include <string>
#include <string_view>

// The three lines, in the order they are written.
inline constexpr std::string_view kSafetyHeaders =
    "X-Content-Type-Options: nosniff\n"
    "Referrer-Policy: same-origin\n"
    "X-Frame-Options: SAMEORIGIN\n";

// Kept out of every cache: pages that show a shopper's details.
inline constexpr std::string_view kNoStoreHeader = "Cache-Control: no-store\n";

// The reply with kSafetyHeaders (after kNoStoreHeader when `no_store`)
// written just before the first header line that begins "Content-type:" or
// "Location:". Only the header block, up to the first empty line, is
// looked at; a reply without such a line is returned as it is.
std::string with_safety_headers(std::string_view reply, bool no_store);
