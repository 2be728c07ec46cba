// Standard base64 (the alphabet with "+" and "/", "=" padding), shared by the
// mailer's encoded headers, sealed card numbers and their keys.
#pragma once
#include <optional>
#include <string>
#include <string_view>

std::string base64_encode(std::string_view bytes);

// The bytes of `text`, or nothing when it is not padded standard base64
// (a length that is not a multiple of four, a character outside the
// alphabet, padding anywhere but at the end).
std::optional<std::string> base64_decode(std::string_view text);

// Whether `c` may appear in standard base64 text, padding included.
bool is_base64_char(char c);
