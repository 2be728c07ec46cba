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

// Longest subject taken, so that the header line stays within 998 octets.
constexpr std::size_t kMaxSubject = 200;

// Longest line of a message, without its CR LF (RFC 5322, 2.1.1).
constexpr std::size_t kMaxLine = 998;

// The command line as tavra gives it:
//   MAILFILE -s SUBJECT -t RECIPIENT -q
struct Invocation {
    std::string mail_file;
    std::string subject = "Order Delivery";
    std::string recipient;
};

// The parsed command line, or the message that refuses it.
struct Parsed {
    std::optional<Invocation> invocation;
    std::string refusal;
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
// to add headers or recipients.
std::string address_refusal(std::string_view address);

// Empty text when `subject` may stand in a header: printable ASCII only, at
// most kMaxSubject characters; otherwise why it is refused.
std::string subject_refusal(std::string_view subject);

// A display name for the From header: the merchant's name with everything
// but letters, digits, blanks and . , ' & - left out, at most 64 characters.
std::string display_name(std::string_view name);

// What goes into the header of one message besides the recipient.
struct Envelope {
    std::string from_address;  // a plain address
    std::string from_name;     // display name, may be empty
    std::string subject;
    std::string date;        // RFC 5322 date-time
    std::string message_id;  // without the angle brackets
};

// The message, RFC 5322: header block, empty line, the mail file's text as
// body. Every line ends with `eol` ("\r\n" for a stored message, "\n" for a
// local mail program); line ends of the body become `eol`, zero bytes are
// dropped and lines longer than kMaxLine are broken into pieces.
std::string compose(const Envelope& envelope, std::string_view recipient, std::string_view body,
                    std::string_view eol);

}  // namespace mailer
