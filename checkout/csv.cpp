#include "checkout/csv.h"

std::string csv_field(std::string_view value) {
    if (value.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(value);
    std::string field = "\"";
    for (char c : value) {
        if (c == '"') field += '"';
        field += c;
    }
    field += '"';
    return field;
}

namespace {

bool begins_like_formula(std::string_view value) {
    return !value.empty() && std::string_view("=+-@\t\r").find(value.front()) != std::string_view::npos;
}

}  // namespace

std::string defused(std::string_view value, Formulas formulas) {
    if (formulas == Formulas::defused && begins_like_formula(value)) return "'" + std::string(value);
    return std::string(value);
}

std::string csv_line(const std::vector<std::string>& values, Formulas formulas) {
    std::string line;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) line += ',';
        line += csv_field(defused(values[i], formulas));
    }
    line += '\n';
    return line;
}
