#include "common/reply_headers.h"

namespace {

bool starts_with(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

}  // namespace

std::string with_safety_headers(std::string_view reply, bool no_store) {
    std::size_t line = 0;
    while (line < reply.size()) {
        const std::string_view rest = reply.substr(line);
        if (rest.front() == '\n') break;  // the end of the header block
        if (starts_with(rest, "Content-type:") || starts_with(rest, "Location:")) {
            std::string out(reply.substr(0, line));
            if (no_store) out += kNoStoreHeader;
            out += kSafetyHeaders;
            out += rest;
            return out;
        }
        const std::size_t end = rest.find('\n');
        if (end == std::string_view::npos) break;
        line += end + 1;
    }
    return std::string(reply);
}
