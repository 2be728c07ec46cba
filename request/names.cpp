#include "request/names.h"

#include "common/limits.h"
#include "common/text.h"

namespace {

bool is_name_char(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
           c == '-';
}

bool all_name_chars(std::string_view s) {
    for (char c : s)
        if (!is_name_char(c)) return false;
    return true;
}

}  // namespace

bool is_basket_name(std::string_view name) {
    if (name.empty()) return true;
    constexpr std::string_view kFolder = "basket/";
    if (name.substr(0, kFolder.size()) != kFolder) return false;
    std::string_view generated = name.substr(kFolder.size());
    return !generated.empty() && generated.size() <= limits::kBasketNameChars && generated.front() != '.' &&
           all_name_chars(generated);
}

bool is_file_name(std::string_view name) {
    if (name.empty()) return true;
    std::size_t start = 0;
    for (;;) {
        std::size_t slash = name.find('/', start);
        std::string_view segment = name.substr(start, slash == std::string_view::npos ? std::string_view::npos : slash - start);
        // A leading "." would reach hidden files (".htaccess", ".git/") and ".", "..".
        if (segment.empty() || segment.front() == '.' || !all_name_chars(segment)) return false;
        if (slash == std::string_view::npos) return true;
        start = slash + 1;
    }
}

bool is_page_name(std::string_view name) {
    if (name.empty()) return true;
    auto ends_with = [name](std::string_view suffix) {
        return name.size() > suffix.size() && equals_ignoring_case(name.substr(name.size() - suffix.size()), suffix);
    };
    return is_file_name(name) && (ends_with(".html") || ends_with(".htm"));
}

std::string refused_name_message(std::string_view value) { return "Refused name " + clean_log_value(value); }
