// What a web server hands a CGI program through its environment.
#pragma once
#include <optional>
#include <string>
#include <string_view>

// Whether `name` is a variable that a web server sets for a CGI program
// (RFC 3875, 4.1): GATEWAY_INTERFACE, REQUEST_METHOD, QUERY_STRING,
// CONTENT_TYPE, CONTENT_LENGTH, PATH_INFO, PATH_TRANSLATED, SCRIPT_NAME,
// SCRIPT_FILENAME, DOCUMENT_ROOT and every SERVER_*, REMOTE_* and HTTP_*
// variable. Programs we start get none of them, so that none takes itself
// for a CGI program or reads the shopper's request.
bool is_cgi_variable(std::string_view name);

// The value of the first cookie named `name` in a Cookie header
// ("a=1; b=2", RFC 6265, 5.4); nothing when there is none.
std::optional<std::string> cookie_value(std::string_view header, std::string_view name);
