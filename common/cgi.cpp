#include "common/cgi.h"

bool is_cgi_variable(std::string_view name) {
    static constexpr std::string_view kNames[] = {
        "GATEWAY_INTERFACE", "REQUEST_METHOD", "QUERY_STRING",  "CONTENT_TYPE",    "CONTENT_LENGTH",
        "PATH_INFO",         "PATH_TRANSLATED", "SCRIPT_NAME", "SCRIPT_FILENAME", "DOCUMENT_ROOT",
    };
    static constexpr std::string_view kPrefixes[] = {"SERVER_", "REMOTE_", "HTTP_"};
    for (std::string_view n : kNames)
        if (name == n) return true;
    for (std::string_view p : kPrefixes)
        if (name.substr(0, p.size()) == p) return true;
    return false;
}

std::optional<std::string> cookie_value(std::string_view header, std::string_view name) {
    while (!header.empty()) {
        const std::size_t end = header.find(';');
        std::string_view pair = header.substr(0, end);
        header = end == std::string_view::npos ? std::string_view() : header.substr(end + 1);
        while (!pair.empty() && (pair.front() == ' ' || pair.front() == '\t')) pair.remove_prefix(1);
        while (!pair.empty() && (pair.back() == ' ' || pair.back() == '\t')) pair.remove_suffix(1);
        const std::size_t equals = pair.find('=');
        if (equals != std::string_view::npos && pair.substr(0, equals) == name)
            return std::string(pair.substr(equals + 1));
    }
    return std::nullopt;
}
