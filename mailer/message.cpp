#include "mailer/message.h"

namespace mailer {
namespace {

bool is_letter_or_digit(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

bool is_local_char(char c) {
    return is_letter_or_digit(c) || c == '.' || c == '_' || c == '%' || c == '+' || c == '-';
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
    if (at == std::string_view::npos || address.front() == '-' ||
        !dotted(address.substr(0, at), is_local_char, false) ||
        !dotted(address.substr(at + 1), [](char c) { return is_letter_or_digit(c) || c == '-'; }, true))
        return "it is not a plain address (local-part@domain)";
    return {};
}

std::string subject_refusal(std::string_view subject) {
    if (subject.find_first_of("\r\n") != std::string_view::npos) return "it holds a line break";
    if (subject.size() > kMaxSubject) return "it is longer than 200 characters";
    for (char c : subject)
        if (c < 0x20 || c > 0x7e) return "it holds a character other than printable ASCII";
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
    for (char c : name) {
        if (out.size() == 64) break;
        if (is_letter_or_digit(c) || c == ' ' || c == '.' || c == ',' || c == '\'' || c == '&' || c == '-') out += c;
    }
    std::size_t first = out.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

std::string compose(const Envelope& envelope, std::string_view recipient, std::string_view body,
                    std::string_view eol) {
    bool eight_bit = false;
    for (char c : body)
        if (static_cast<unsigned char>(c) >= 0x80) eight_bit = true;

    std::string m;
    m += "From: ";
    // The display name is quoted: it may hold "," and "." (RFC 5322, 3.4).
    if (!envelope.from_name.empty()) m += "\"" + envelope.from_name + "\" ";
    m += "<" + envelope.from_address + ">";
    m += eol;
    m += "To: <" + std::string(recipient) + ">";
    m += eol;
    m += "Subject: " + envelope.subject;
    m += eol;
    m += "Date: " + envelope.date;
    m += eol;
    m += "Message-ID: <" + envelope.message_id + ">";
    m += eol;
    m += "MIME-Version: 1.0";
    m += eol;
    m += eight_bit ? "Content-Type: text/plain; charset=utf-8" : "Content-Type: text/plain; charset=us-ascii";
    m += eol;
    m += eight_bit ? "Content-Transfer-Encoding: 8bit" : "Content-Transfer-Encoding: 7bit";
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
