#include "platform/profile_document.h"

#include <algorithm>

#include "common/numbers.h"
#include "common/text.h"

namespace profile {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && (is_blank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// The name of a section header line ("[Name]"), or nothing for other lines.
std::optional<std::string_view> header_name(std::string_view line) {
    std::string_view s = trimmed(line);
    if (s.empty() || s.front() != '[') return std::nullopt;
    std::size_t close = s.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return trimmed(s.substr(1, close - 1));
}

}  // namespace

std::string Document::folded(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

Document::Line Document::make_line(std::string text, Eol eol) {
    Line line;
    line.eol = eol;
    std::string_view view(text);
    std::size_t first = 0;
    while (first < view.size() && is_blank(view[first])) ++first;
    std::size_t eq = view.find('=');
    if (eq != std::string_view::npos && first < view.size() && view[first] != ';' &&
        !trimmed(view.substr(0, eq)).empty())
        line.equals = static_cast<std::uint32_t>(eq);
    line.text = std::move(text);
    return line;
}

Document Document::parse(std::string_view text) {
    Document doc;
    bool style_seen = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t lf = text.find('\n', pos);
        Eol eol = Eol::none;
        std::size_t end = text.size();
        std::size_t next = text.size();
        if (lf != std::string_view::npos) {
            next = lf + 1;
            end = lf;
            eol = Eol::lf;
            if (end > pos && text[end - 1] == '\r') {
                --end;
                eol = Eol::crlf;
            }
        } else if (end > pos && text[end - 1] == '\r') {
            // The file ends inside a CR LF: the CR ends the line, not its value.
            --end;
            eol = Eol::cr;
        }
        if (!style_seen && (eol == Eol::lf || eol == Eol::crlf)) {
            doc.style_ = eol;
            style_seen = true;
        }
        std::string_view content = text.substr(pos, end - pos);
        if (auto name = header_name(content)) {
            doc.first_section_.emplace(folded(*name), doc.sections_.size());
            doc.sections_.emplace_back();
            Line header;
            header.text = std::string(content);
            header.eol = eol;
            doc.sections_.back().lines.push_back(std::move(header));
        } else {
            doc.sections_.back().lines.push_back(make_line(std::string(content), eol));
        }
        pos = next;
    }
    return doc;
}

std::string Document::text() const {
    std::string out;
    for (const Section& s : sections_)
        for (const Line& l : s.lines) {
            out += l.text;
            if (l.eol == Eol::lf) out += '\n';
            else if (l.eol == Eol::crlf) out += "\r\n";
            else if (l.eol == Eol::cr) out += '\r';
        }
    return out;
}

const Document::Section* Document::find_section(std::string_view name) const {
    auto it = first_section_.find(folded(name));
    return it == first_section_.end() ? nullptr : &sections_[it->second];
}

std::string_view Document::key_of(const Line& line) {
    return trimmed(std::string_view(line.text).substr(0, line.equals));
}

std::optional<std::size_t> Document::find_key(const Section& section, std::string_view key) {
    if (section.lines.size() < kIndexFrom) {
        for (std::size_t i = 1; i < section.lines.size(); ++i) {
            const Line& l = section.lines[i];
            if (l.equals != kNoKey && equals_ignoring_case(key_of(l), key)) return i;
        }
        return std::nullopt;
    }
    if (!section.indexed) {
        section.keys.clear();
        for (std::size_t i = 1; i < section.lines.size(); ++i)
            if (section.lines[i].equals != kNoKey) section.keys.emplace(folded(key_of(section.lines[i])), i);
        section.indexed = true;
    }
    auto it = section.keys.find(folded(key));
    if (it == section.keys.end()) return std::nullopt;
    return it->second;
}

std::optional<std::string_view> Document::get(std::string_view section, std::string_view key) const {
    const Section* s = find_section(section);
    if (!s) return std::nullopt;
    auto at = find_key(*s, key);
    if (!at) return std::nullopt;
    const Line& l = s->lines[*at];
    return std::string_view(l.text).substr(l.equals + 1);
}

void Document::give_last_line_an_end() {
    for (auto s = sections_.rbegin(); s != sections_.rend(); ++s) {
        if (s->lines.empty()) continue;
        Eol& eol = s->lines.back().eol;
        if (eol == Eol::none) eol = style_;
        if (eol == Eol::cr) eol = Eol::crlf;  // complete the half line end
        return;
    }
}

void Document::set(std::string_view section, std::string_view key, std::string_view value) {
    const std::string stored = single_line(value);
    const Section* found = find_section(section);
    if (!found) {
        give_last_line_an_end();
        Section fresh;
        Line header;
        header.text = "[" + std::string(section) + "]";
        header.eol = style_;
        fresh.lines.push_back(std::move(header));
        fresh.lines.push_back(make_line(std::string(key) + "=" + stored, style_));
        first_section_.emplace(folded(section), sections_.size());
        sections_.push_back(std::move(fresh));
        return;
    }
    Section& s = sections_[static_cast<std::size_t>(found - sections_.data())];
    if (auto at = find_key(s, key)) {
        Line& l = s.lines[*at];
        l.text.resize(l.equals + 1);
        l.text += stored;
        return;
    }
    std::size_t after = s.lines.size() - 1;  // the last key line, or the header
    while (after > 0 && s.lines[after].equals == kNoKey) --after;
    if (s.lines[after].eol == Eol::none) s.lines[after].eol = style_;
    if (s.lines[after].eol == Eol::cr) s.lines[after].eol = Eol::crlf;
    const std::size_t at = after + 1;
    s.lines.insert(s.lines.begin() + static_cast<std::ptrdiff_t>(at), make_line(std::string(key) + "=" + stored, style_));
    if (!s.indexed) return;
    if (at + 1 == s.lines.size()) s.keys.emplace(folded(key), at);
    else s.indexed = false;  // later lines moved
}

void Document::remove(std::string_view section, std::string_view key) {
    const Section* found = find_section(section);
    if (!found) return;
    Section& s = sections_[static_cast<std::size_t>(found - sections_.data())];
    if (auto at = find_key(s, key)) {
        s.lines.erase(s.lines.begin() + static_cast<std::ptrdiff_t>(*at));
        s.indexed = false;
    }
}

std::vector<std::string> Document::section_names() const {
    std::vector<std::string> names;
    for (const auto& [name, index] : first_section_) names.push_back(name);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<long long> Document::numbered_sections() const {
    std::vector<long long> numbers;
    for (const auto& [name, index] : first_section_) {
        long long n = numbered_name(name);
        if (n > 0) numbers.push_back(n);
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

std::vector<long long> Document::numbered_keys(std::string_view section, std::string_view prefix) const {
    std::vector<long long> numbers;
    const Section* s = find_section(section);
    if (!s) return numbers;
    for (std::size_t i = 1; i < s->lines.size(); ++i) {
        const Line& l = s->lines[i];
        if (l.equals == kNoKey) continue;
        std::string_view key = key_of(l);
        if (key.size() <= prefix.size() || !equals_ignoring_case(key.substr(0, prefix.size()), prefix)) continue;
        long long n = numbered_name(key.substr(prefix.size()));
        if (n > 0) numbers.push_back(n);
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    return numbers;
}

}  // namespace profile
