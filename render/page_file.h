// Opening a merchant page for the reply: the part that template pages and
// the step-4 page share.
#pragma once
#include <string>
#include <string_view>

#include "common/lines.h"
#include "platform/output.h"

// The text of an opened page and a reader positioned after its mode line.
struct OpenedPage {
    std::string text;
    LineReader lines{std::string_view()};
};

// Opens `webdir` + `page`. When it cannot be opened, writes
// "Could not open <path>\n" and answers the request with status 1. Otherwise
// writes "</pre>\n" and reads the mode line: a page whose first line is
// "<!--NO PARSE-->" is copied out unparsed (every line followed by one more
// line end) and the request is answered with status 1; any other first line
// is dropped, nothing is returned and the page is left for parsing.
[[nodiscard]] reply::Refusal open_page(const std::string& webdir, std::string_view page, OpenedPage& opened);

// The unparsed copy of a page's lines (after its mode line): each line as
// read, with its own line end, followed by one more line end.
std::string unparsed_copy(LineReader& lines);
