// Names that a request joins to a directory are checked before any file is
// touched, so that no request can reach a file outside the merchant's
// folders. Only names made of known-good characters pass.
#pragma once
#include <string>
#include <string_view>

// Empty text, or "basket/" followed by 1 to limits::kBasketNameChars
// characters from A-Z a-z 0-9 . _ - that do not begin with ".".
bool is_basket_name(std::string_view name);

// Empty text, or a relative path of segments joined by single "/", each made
// of A-Z a-z 0-9 . _ - and not beginning with ".".
bool is_file_name(std::string_view name);

// Empty text, or a file name (is_file_name) that ends in ".html" or ".htm",
// in any letter case: only the merchant's pages are shown as pages, never
// an item table or another file of the web folder.
bool is_page_name(std::string_view name);

// The message that refuses a name: "Refused name " and the value made fit
// for the log (clean_log_value).
std::string refused_name_message(std::string_view value);
