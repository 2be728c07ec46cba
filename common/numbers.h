// Reading numbers from texts the way the system's files and forms hold them,
// and writing them back.
#pragma once
#include <string>
#include <string_view>

// Integer reading: leading white space, an optional sign, decimal digits up to
// the first other character; 0 when there are none. Saturates at the limits of
// a signed 32-bit number instead of overflowing.
int read_integer(std::string_view text);

// Decimal reading: leading white space, an optional sign, digits with an
// optional decimal point and an optional exponent; reading stops at the first
// character that does not fit. 0 when no number starts the text. Words such as
// "inf" or "nan" and hexadecimal forms are not numbers here.
double read_decimal(std::string_view text);

// Whether the number a text reads as may stand for an amount of money or a
// count of items: written without an exponent, finite and not negative. Text
// that reads as no number ("", "free") reads as 0 and passes.
bool plain_amount(std::string_view text);

// The number that a text names when it is written the way numbered sections
// and fields are named: a positive decimal number without sign or leading
// zero, at most eighteen digits. -1 for any other text.
long long numbered_name(std::string_view text);

// Money and amounts are written with exactly two decimals ("%.2f").
std::string two_decimals(double amount);
