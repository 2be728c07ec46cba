#include "request/form.h"

#include <algorithm>

#include "common/numbers.h"
#include "common/text.h"

std::string url_decode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < text.size()) {
            int high = hex_digit(text[i + 1]);
            int low = hex_digit(text[i + 2]);
            out += (high < 0 || low < 0) ? ' ' : static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += c;
        }
    }
    // Names and values are zero-ended texts: a zero byte ends them.
    std::size_t zero = out.find('\0');
    if (zero != std::string::npos) out.resize(zero);
    return out;
}

std::optional<FormTable> FormTable::decode(std::string_view body) {
    FormTable table;
    if (body.empty()) return table;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = body.find('&', start);
        if (end == std::string_view::npos) end = body.size();
        std::string_view field = body.substr(start, end - start);
        std::size_t eq = field.find('=');
        if (eq == std::string_view::npos || eq == 0 || field.find('=', eq + 1) != std::string_view::npos)
            return std::nullopt;
        table.add(url_decode(field.substr(0, eq)), url_decode(field.substr(eq + 1)));
        if (end == body.size()) break;
        start = end + 1;
    }
    return table;
}

void FormTable::add(std::string name, std::string value) {
    positions_[name].push_back(fields_.size());
    fields_.emplace_back(std::move(name), std::move(value));
}

std::optional<std::string> FormTable::lookup(std::string_view name) const {
    auto it = positions_.find(name);
    if (it == positions_.end()) return std::nullopt;
    return fields_[it->second.front()].second;
}

std::vector<std::string> FormTable::collect(std::string_view name) const {
    std::vector<std::string> values;
    auto it = positions_.find(name);
    if (it != positions_.end())
        for (std::size_t at : it->second) values.push_back(fields_[at].second);
    return values;
}

bool FormTable::has_value(std::string_view name, std::string_view value) const {
    auto it = positions_.find(name);
    if (it == positions_.end()) return false;
    for (std::size_t at : it->second)
        if (fields_[at].second == value) return true;
    return false;
}

std::vector<long long> FormTable::numbered(std::string_view prefix) const {
    std::vector<long long> numbers;
    // Names sort by their text, so the fields that carry the prefix are one run.
    for (auto it = positions_.lower_bound(prefix); it != positions_.end(); ++it) {
        std::string_view name = it->first;
        if (name.substr(0, prefix.size()) != prefix) break;
        long long n = numbered_name(name.substr(prefix.size()));
        if (n > 0) numbers.push_back(n);
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}
