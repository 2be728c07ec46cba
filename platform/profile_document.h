// One profile file (INI layout) held in memory: sections in square brackets
// and key=value lines. Reading finds values without regard to letter case;
// changing a value touches only that value's line, so comments, blank lines,
// other sections, key order and line ends stay byte for byte.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace profile {

class Document {
public:
    static Document parse(std::string_view text);

    // The file's bytes as they stand now.
    std::string text() const;

    // The value of `key` in the first section named `section`, exactly as it
    // stands after the "="; nothing when the section or the key is missing.
    std::optional<std::string_view> get(std::string_view section, std::string_view key) const;

    // Replaces the value of the key's line, or adds the line after the
    // section's last key, adding the section at the end when it is missing.
    // Each line break in `value` is stored as one space.
    void set(std::string_view section, std::string_view key, std::string_view value);

    // Removes the key's line; nothing happens when it is missing.
    void remove(std::string_view section, std::string_view key);

    // Whether a section of that name exists (letter case ignored).
    bool has_section(std::string_view section) const { return find_section(section) != nullptr; }

    // The name of every section, in letter case folded, sorted.
    std::vector<std::string> section_names() const;

    // Every n, in ascending order, for which a section named n (as
    // numbered_name reads it) exists.
    std::vector<long long> numbered_sections() const;

    // Every n, in ascending order, for which the first section named
    // `section` has a key named `prefix` followed by n (letter case ignored,
    // n as numbered_name reads it).
    std::vector<long long> numbered_keys(std::string_view section, std::string_view prefix) const;

private:
    // `cr` is a carriage return that ends the file: half of a CR LF.
    enum class Eol : std::uint8_t { none, lf, crlf, cr };
    static constexpr std::uint32_t kNoKey = UINT32_MAX;
    struct Line {
        std::string text;
        std::uint32_t equals = kNoKey;  // position of the "=" of a key line
        Eol eol = Eol::lf;
    };
    struct Section {
        std::vector<Line> lines;  // the header first, except in the part before any header
        // Folded key -> line of its first occurrence, built on demand for long
        // sections so that a request writing thousands of keys into one
        // section stays linear; dropped when lines move.
        mutable std::unordered_map<std::string, std::size_t> keys;
        mutable bool indexed = false;
    };
    static constexpr std::size_t kIndexFrom = 16;  // shorter sections are scanned

    static std::string folded(std::string_view name);
    static Line make_line(std::string text, Eol eol);
    const Section* find_section(std::string_view name) const;
    static std::optional<std::size_t> find_key(const Section& section, std::string_view key);
    static std::string_view key_of(const Line& line);
    void give_last_line_an_end();

    std::vector<Section> sections_{Section{}};
    std::unordered_map<std::string, std::size_t> first_section_;  // folded name -> index
    Eol style_ = Eol::lf;  // line end of new lines: the file's first one
};

}  // namespace profile
