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
