#include "common/redirect_status.h"

#include <cctype>

namespace {

// Whether `line` begins with the header name `name` (and its ":"), in any
// letter case, as header names are compared.
bool names_header(std::string_view line, std::string_view name) {
    if (line.size() <= name.size() || line[name.size()] != ':') return false;
    for (std::size_t i = 0; i < name.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(line[i])) != std::tolower(static_cast<unsigned char>(name[i])))
            return false;
    return true;
}

}  // namespace

std::string with_redirect_status(std::string_view reply) {
    std::size_t redirect = std::string_view::npos;
    for (std::size_t line = 0; line < reply.size();) {
        const std::string_view rest = reply.substr(line);
        if (rest.front() == '\n' || rest.substr(0, 2) == "\r\n") break;  // the end of the header block
        if (names_header(rest, "Status")) return std::string(reply);
        if (redirect == std::string_view::npos && names_header(rest, "Location")) {
            const std::size_t value = rest.find_first_not_of(" \t", 9);
            if (value != std::string_view::npos && std::string_view("/\r\n").find(rest[value]) == std::string_view::npos)
                redirect = line;
        }
        const std::size_t end = rest.find('\n');
        if (end == std::string_view::npos) break;
        line += end + 1;
    }
    if (redirect == std::string_view::npos) return std::string(reply);
    std::string out(reply.substr(0, redirect));
    out += "Status: 302 Found\n";
    out += reply.substr(redirect);
    return out;
}
