// The mail sender that tavra starts as blat.exe: what it accepts on its
// command line and the message it makes of an order mail file. Nothing here
// touches the system, so every rule can be tested on plain text.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mailer {

// Refuse a mail file larger than this many bytes: an order mail is a few
// kilobytes, so anything bigger is not one.
constexpr std::size_t kMaxMailFile = 1 << 20;

// Longest recipient or sender address (RFC 5321, 4.5.3.1.3).
constexpr std::size_t kMaxAddress = 254;

// Longest subject taken, in bytes, so that the header stays short.
constexpr std::size_t kMaxSubject = 200;

// Longest display name for the From header, in characters.
constexpr std::size_t kMaxDisplayName = 64;

// Longest header line aimed at when folding, without its CR LF (RFC 5322,
// 2.1.1); an encoded-word is at most 75 characters (RFC 2047, 2).
constexpr std::size_t kFoldLine = 78;
constexpr std::size_t kMaxEncodedWord = 75;

// Longest line of a message, without its CR LF (RFC 5322, 2.1.1).
constexpr std::size_t kMaxLine = 998;

// The command line as tavra gives it:
//   MAILFILE -s SUBJECT -t RECIPIENT -q
struct Invocation {
    std::string mail_file;
    std::string subject = "Order Delivery";
    std::string recipient;
};

// The parsed command line, or the message that refuses it. `recipient`
// holds the first value of -t as given, refused or not.
struct Parsed {
    std::optional<Invocation> invocation;
    std::string refusal;
    std::string recipient;
};

// Reads the arguments after the program name. Accepted: the mail file first,
// then "-s SUBJECT", "-t RECIPIENT" and "-q" in any order, each at most once,
// "-t" required. The subject loses one pair of surrounding double quotes
// (tavra quotes it so that its two words stay one argument on systems that
// split command lines). Recipient and subject must pass their checks below.
Parsed parse_arguments(const std::vector<std::string>& args);

// The text on one line for a message: CR, LF and other control characters
// shown as \r, \n and \xNN.
std::string printable(std::string_view text);

// Empty text when `address` is one plain address (local@domain, letters,
// digits and . _ % + - in the local part, letter/digit/hyphen labels in the
// domain); otherwise why it is refused. Line breaks and lists ("," ";" or a
// second "@") are named specially, since they are how a shopper would try
// to add headers or recipients; so are characters outside ASCII, which a
// mail program without SMTPUTF8 cannot carry.
std::string address_refusal(std::string_view address);

// Empty text when `subject` may stand in a header: UTF-8 text without
// control characters, at most kMaxSubject bytes; otherwise why it is refused.
std::string subject_refusal(std::string_view subject);

// A display name for the From header: the merchant's name with each control
// character made a blank, runs of blanks made one, blanks at either end
// dropped, bytes that are not UTF-8 replaced by U+FFFD, and at most
// kMaxDisplayName characters. The text is still to be encoded for the
// header (compose does that).
std::string display_name(std::string_view name);

// The words of a sendmail= command line: split at blanks (spaces and tabs),
// no quotes or escapes interpreted, no shell involved.
std::vector<std::string> split_at_blanks(std::string_view line);

// The arguments for a sendmail-compatible program after the command line's
// own: "-i" (a line holding a single dot is text), "-f SENDER" (the
// envelope sender, where bounces go), then "--" and the recipient, so that
// no address is taken for an option.
std::vector<std::string> sendmail_arguments(std::vector<std::string> command, const std::string& sender,
                                            const std::string& recipient);

// What goes into the header of one message besides the recipient.
struct Envelope {
    std::string from_address;  // a plain address
    std::string from_name;     // display name, may be empty
    std::string subject;
    std::string date;        // RFC 5322 date-time
    std::string message_id;  // without the angle brackets
};

// The message, RFC 5322: header block, empty line, the mail file's text as
// body. A display name or subject holding characters outside ASCII is
// written as UTF-8 encoded-words (RFC 2047), a display name holding specials
// as a quoted string; long headers are folded. The body is declared UTF-8,
// 8bit, and kept byte for byte except that every line ends with `eol`
// ("\r\n" for a stored message, "\n" for a local mail program), zero bytes
// are dropped and lines longer than kMaxLine are broken into pieces.
std::string compose(const Envelope& envelope, std::string_view recipient, std::string_view body,
                    std::string_view eol);

}  // namespace mailer
