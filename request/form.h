// The form-field table of a POST request: the decoded name/value pairs of
// its URL-encoded body, in body order, duplicates kept.
#pragma once
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class FormTable {
public:
    // Splits and decodes a body; nothing when the body is rejected (a field
    // without exactly one "=", or with an empty name).
    static std::optional<FormTable> decode(std::string_view body);

    // The value of the first field with exactly this name.
    std::optional<std::string> lookup(std::string_view name) const;

    // The first value, or empty text when the field is absent.
    std::string text(std::string_view name) const { return lookup(name).value_or(std::string()); }

    // The values of every field with this name, in table order.
    std::vector<std::string> collect(std::string_view name) const;

    // Whether any field of this name has exactly this value.
    bool has_value(std::string_view name, std::string_view value) const;

    // Every n, in ascending order, for which a field named `prefix` followed
    // by n exists (n written as numbered_name reads it). Loops over numbered
    // fields visit these alone: every other number names an absent field.
    std::vector<long long> numbered(std::string_view prefix) const;

    std::size_t size() const { return fields_.size(); }
    void add(std::string name, std::string value);

private:
    std::vector<std::pair<std::string, std::string>> fields_;
    // Positions of each name's fields, in table order, so that a lookup does
    // not walk the whole table: commands look up many fields of large forms.
    std::map<std::string, std::vector<std::size_t>, std::less<>> positions_;
};

// Decodes one name or value: "+" is a space, "%" with two hex digits is that
// byte, "%" with two other characters is one space (both consumed), a "%"
// with fewer than two characters after it stays as it is. The text ends at
// a decoded zero byte.
std::string url_decode(std::string_view text);
