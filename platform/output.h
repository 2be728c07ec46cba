// The one output path of a reply: everything a run writes for the web server
// goes through here, is kept in memory and written to standard output in one
// piece when the run ends.
#pragma once
#include <string>
#include <string_view>

namespace reply {

// Appends bytes to the reply.
void write(std::string_view bytes);

// Marks the reply as one no cache may keep ("Cache-Control: no-store"):
// the checkout pages, which show the shopper's details, and their error
// pages.
void forbid_caching();

// Hands the reply written so far to the caller and starts an empty one
// (for tests of the pieces that write replies).
std::string take();

// Ends the run: stores pending profile writes and releases their locks,
// writes the reply to standard output with the safety headers before its
// content-type or Location line (common/reply_headers.h), and exits with `status`
// (-1 reaches the server as 255).
[[noreturn]] void finish(int status);

}  // namespace reply
