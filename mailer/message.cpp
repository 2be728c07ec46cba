#include "mailer/message.h"

#include <algorithm>

#include "common/base64.h"

namespace mailer {
namespace {

bool is_letter_or_digit(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

bool is_local_char(char c) {
    return is_letter_or_digit(c) || c == '.' || c == '_' || c == '%' || c == '+' || c == '-';
}

bool is_control(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }

bool is_ascii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// The length of the UTF-8 sequence that starts at text[i]; 0 when the bytes
// there are not one (overlong forms, surrogates and values beyond U+10FFFF
// count as not).
std::size_t utf8_length(std::string_view text, std::size_t i) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) return 1;
    std::size_t length;
    unsigned long value, least;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, value = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, value = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, value = lead & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const unsigned char next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) return 0;
        value = (value << 6) | (next & 0x3F);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    return length;
}

// Text that a reader would take for itself in a header: ASCII, and nothing
// that looks like the start of an encoded-word.
bool needs_encoding(std::string_view text) { return !is_ascii(text) || text.find("=?") != std::string_view::npos; }

// UTF-8 text as B encoded-words (RFC 2047, 4.1), each holding whole
// characters and at most kMaxEncodedWord characters long. A reader joins
// adjacent encoded-words without the blank between them.
std::vector<std::string> encoded_words(std::string_view text) {
    constexpr std::string_view kOpen = "=?UTF-8?B?", kClose = "?=";
    constexpr std::size_t kBytesPerWord = (kMaxEncodedWord - kOpen.size() - kClose.size()) / 4 * 3;
    std::vector<std::string> words;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = start;
        while (end < text.size()) {
            std::size_t length = std::max<std::size_t>(utf8_length(text, end), 1);
            if (end + length - start > kBytesPerWord) break;
            end += length;
        }
        words.push_back(std::string(kOpen) + base64_encode(text.substr(start, end - start)) + std::string(kClose));
        start = end;
    }
    return words;
}

// atext of RFC 5322, 3.2.3: what a display name may hold unquoted besides
// blanks.
bool is_atext(char c) {
    return is_letter_or_digit(c) || std::string_view("!#$%&'*+-/=?^_`{|}~").find(c) != std::string_view::npos;
}

// The display name as the words of a phrase (RFC 5322, 3.2.5): encoded-words
// for text outside ASCII, a quoted string when it holds specials, the name
// as it stands otherwise.
std::vector<std::string> phrase(std::string_view name) {
    if (name.empty()) return {};
    if (needs_encoding(name)) return encoded_words(name);
    bool plain = true;
    for (char c : name)
        if (c != ' ' && !is_atext(c)) plain = false;
    if (plain) return {std::string(name)};
    std::string quoted = "\"";
    for (char c : name) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return {quoted + "\""};
}

// Appends the header field "NAME: " with `parts` joined by blanks, folding
// before a part that would carry the line beyond kFoldLine (RFC 5322,
// 2.2.3). A part longer than that stays whole on its line.
void add_header(std::string& m, std::string_view name, const std::vector<std::string>& parts, std::string_view eol) {
    std::size_t line = name.size() + 1;
    m += name;
    m += ':';
    for (const std::string& part : parts) {
        if (line > name.size() + 1 && line + 1 + part.size() > kFoldLine) {
            m += eol;
            line = 0;
        }
        m += ' ';
        m += part;
        line += 1 + part.size();
    }
    m += eol;
}

// A dot-separated run of non-empty pieces, each made of `allowed`
// characters; a domain label may not begin or end with a hyphen either.
template <typename Allowed>
bool dotted(std::string_view text, Allowed allowed, bool is_domain) {
    if (text.empty()) return false;
    std::size_t start = 0;
    for (;;) {
        std::size_t dot = text.find('.', start);
        std::string_view piece = text.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
        if (piece.empty()) return false;
        for (char c : piece)
            if (!allowed(c)) return false;
        if (is_domain && (piece.front() == '-' || piece.back() == '-')) return false;
        if (dot == std::string_view::npos) return true;
        start = dot + 1;
    }
}

std::string take_argument(const std::vector<std::string>& args, std::size_t& i, std::string_view option,
                          std::string& refusal) {
    if (i + 1 >= args.size()) {
        refusal = std::string(option) + " needs a value";
        return {};
    }
    return args[++i];
}

}  // namespace

std::string printable(std::string_view text) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else if (c < 0x20 || c == 0x7f) {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else out += ch;
    }
    return out;
}

std::string address_refusal(std::string_view address) {
    if (address.empty()) return "it is empty";
    if (address.find_first_of("\r\n") != std::string_view::npos) return "it holds a line break";
    std::size_t at = address.find('@');
    if (address.find_first_of(",;") != std::string_view::npos ||
        (at != std::string_view::npos && address.find('@', at + 1) != std::string_view::npos))
        return "it holds more than one address";
    if (address.size() > kMaxAddress) return "it is longer than 254 characters";
    if (!is_ascii(address)) return "it holds characters outside ASCII, which mail programs may not carry";
    if (at == std::string_view::npos || address.front() == '-' ||
        !dotted(address.substr(0, at), is_local_char, false) ||
        !dotted(address.substr(at + 1), [](char c) { return is_letter_or_digit(c) || c == '-'; }, true))
        return "it is not a plain address (local-part@domain)";
    return {};
}

std::string subject_refusal(std::string_view subject) {
    if (subject.find_first_of("\r\n") != std::string_view::npos) return "it holds a line break";
    if (subject.size() > kMaxSubject) return "it is longer than 200 bytes";
    for (std::size_t i = 0; i < subject.size(); i += std::max<std::size_t>(utf8_length(subject, i), 1)) {
        if (is_control(subject[i])) return "it holds a control character";
        if (utf8_length(subject, i) == 0) return "it is not UTF-8 text";
    }
    return {};
}

Parsed parse_arguments(const std::vector<std::string>& args) {
    Parsed result;
    std::string& refusal = result.refusal;
    if (args.empty() || args[0].empty() || args[0][0] == '-') {
        refusal = "the first argument must be the mail file";
        return result;
    }
    Invocation call;
    call.mail_file = args[0];
    bool have_subject = false, have_recipient = false, quiet = false;
    for (std::size_t i = 1; i < args.size() && refusal.empty(); ++i) {
        const std::string& a = args[i];
        if (a == "-s" && !have_subject) {
            call.subject = take_argument(args, i, a, refusal);
            have_subject = true;
        } else if (a == "-t" && !have_recipient) {
            call.recipient = take_argument(args, i, a, refusal);
            result.recipient = call.recipient;
            have_recipient = true;
        } else if (a == "-q" && !quiet) {
            quiet = true;  // nothing is printed on success anyway
        } else if (a == "-t") {
            refusal = "one recipient per delivery: -t given twice";
        } else if (a == "-s" || a == "-q") {
            refusal = a + " given twice";
        } else {
            refusal = "unknown argument \"" + a + "\"";
        }
    }
    if (!refusal.empty()) return result;
    if (!have_recipient) {
        refusal = "no recipient: -t ADDRESS is required";
        return result;
    }
    if (call.subject.size() >= 2 && call.subject.front() == '"' && call.subject.back() == '"')
        call.subject = call.subject.substr(1, call.subject.size() - 2);
    if (std::string why = address_refusal(call.recipient); !why.empty()) {
        refusal = "refused recipient \"" + printable(call.recipient) + "\": " + why;
        return result;
    }
    if (std::string why = subject_refusal(call.subject); !why.empty()) {
        refusal = "refused subject \"" + printable(call.subject) + "\": " + why;
        return result;
    }
    result.invocation = call;
    return result;
}

std::string display_name(std::string_view name) {
    std::string out;
    std::size_t characters = 0;
    bool blank = false;  // a blank is owed before the next character
    for (std::size_t i = 0, length = 1; i < name.size(); i += length) {
        length = utf8_length(name, i);
        if (length == 1 && (is_control(name[i]) || name[i] == ' ')) {
            blank = !out.empty();
            continue;
        }
        if (characters + (blank ? 2 : 1) > kMaxDisplayName) break;
        if (blank) {
            out += ' ';
            ++characters;
            blank = false;
        }
        if (length == 0) {
            out += "\xEF\xBF\xBD";  // U+FFFD, the replacement character
            length = 1;
        } else {
            out.append(name.substr(i, length));
        }
        ++characters;
    }
    return out;
}

std::vector<std::string> split_at_blanks(std::string_view line) {
    std::vector<std::string> words;
    std::size_t start = 0;
    for (;;) {
        start = line.find_first_not_of(" \t", start);
        if (start == std::string_view::npos) return words;
        std::size_t end = line.find_first_of(" \t", start);
        words.emplace_back(line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        start = end;
    }
}

std::vector<std::string> sendmail_arguments(std::vector<std::string> command, const std::string& sender,
                                            const std::string& recipient) {
    for (const char* a : {"-i", "-f"}) command.emplace_back(a);
    command.push_back(sender);
    command.emplace_back("--");
    command.push_back(recipient);
    return command;
}

std::string compose(const Envelope& envelope, std::string_view recipient, std::string_view body,
                    std::string_view eol) {
    std::string m;
    std::vector<std::string> from = phrase(envelope.from_name);
    from.push_back("<" + envelope.from_address + ">");
    add_header(m, "From", from, eol);
    m += "To: <" + std::string(recipient) + ">";
    m += eol;
    add_header(m, "Subject",
               needs_encoding(envelope.subject) ? encoded_words(envelope.subject)
                                                : std::vector<std::string>{envelope.subject},
               eol);
    m += "Date: " + envelope.date;
    m += eol;
    m += "Message-ID: <" + envelope.message_id + ">";
    m += eol;
    m += "MIME-Version: 1.0";
    m += eol;
    // The body is the order mail file as written, whatever bytes it holds.
    m += "Content-Type: text/plain; charset=utf-8";
    m += eol;
    m += "Content-Transfer-Encoding: 8bit";
    m += eol;
    m += eol;

    std::string line;
    auto end_line = [&] {
        m += line;
        m += eol;
        line.clear();
    };
    for (std::size_t i = 0; i < body.size(); ++i) {
        char c = body[i];
        if (c == '\r') {
            if (i + 1 < body.size() && body[i + 1] == '\n') ++i;
            end_line();
        } else if (c == '\n') {
            end_line();
        } else if (c != '\0') {
            if (line.size() == kMaxLine) end_line();
            line += c;
        }
    }
    if (!line.empty()) end_line();
    return m;
}

}  // namespace mailer
