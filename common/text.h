// Small text helpers shared by every subsystem.
#pragma once
#include <string>
#include <string_view>

// The text with each line break (CR LF, lone CR, lone LF) replaced by one space.
std::string single_line(std::string_view text);

// A value from a request made fit for a log record: its first 255 bytes
// (limits::kLogValue), each control byte (0x00 to 0x1F, 0x7F) written as
// \xNN with two upper-case hexadecimal digits, so a record stays one line
// of bounded length and shows nothing to a terminal.
std::string clean_log_value(std::string_view value);

// The text with & < > " ' written as &amp; &lt; &gt; &quot; &#39;, so that
// what a shopper typed is shown as text and never read as markup.
std::string html_escaped(std::string_view text);

// Replaces the first occurrence of `tag` in `line` by `value`; false when the
// tag does not occur.
bool replace_first(std::string& line, std::string_view tag, std::string_view value);

// The value of a hexadecimal digit (0-9, a-f, A-F); -1 for any other character.
int hex_digit(char c);

// Byte comparison without regard to ASCII letter case.
bool equals_ignoring_case(std::string_view a, std::string_view b);

// The text with the blanks (white space) at its start and end dropped.
std::string without_blanks_around(std::string_view text);

// The text cut to at most `room` characters.
inline std::string cut(std::string_view text, std::size_t room) {
    return std::string(text.substr(0, room));
}
