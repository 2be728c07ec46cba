// The profile store's parser and writer. Any text reads back byte for byte;
// each change touches only its own line (a changed value stays inside its
// line, a new key or section only adds lines, a removal only takes one); and
// after any series of changes the text, parsed afresh, reads as the document
// it was written from.
#include <fuzzer/FuzzedDataProvider.h>

#include <map>
#include <optional>
#include <utility>

#include "common/text.h"
#include "fuzz_check.h"
#include "platform/profile_document.h"

using profile::Document;

namespace {

// Section and key names as the system writes them: fixed words and numbers,
// in any letter case.
const char* const kNames[] = {"Basket", "NumKeys", "1", "2", "Shipping", "invnumber", "Program Config", "name"};

bool usable_name(const std::string& name) {
    if (name.empty() || name.front() == ' ' || name.front() == '\t' || name.back() == ' ' || name.back() == '\t')
        return false;
    for (char c : name)
        if (c == '\n' || c == '\r' || c == '=' || c == '[' || c == ']' || c == ';' || c == '\0') return false;
    return true;
}

std::string pick_name(FuzzedDataProvider& in) {
    if (in.ConsumeBool()) {
        std::string name = in.PickValueInArray(kNames);
        if (in.ConsumeBool())
            for (char& c : name)
                if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        return name;
    }
    std::string name = in.ConsumeRandomLengthString(12);
    return usable_name(name) ? name : "k";
}

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// The bytes that differ between two texts: `before` is P + X + S and `after`
// is P + Y + S with P and S as long as can be.
std::pair<std::string_view, std::string_view> difference(std::string_view before, std::string_view after) {
    std::size_t p = 0;
    while (p < before.size() && p < after.size() && before[p] == after[p]) ++p;
    std::size_t s = 0;
    while (s < before.size() - p && s < after.size() - p &&
           before[before.size() - 1 - s] == after[after.size() - 1 - s])
        ++s;
    return {before.substr(p, before.size() - p - s), after.substr(p, after.size() - p - s)};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string original = in.ConsumeRandomLengthString(4096);
    Document doc = Document::parse(original);
    FUZZ_CHECK(doc.text() == original);

    std::map<std::pair<std::string, std::string>, std::pair<std::string, std::string>> touched;
    for (int op = 0; op < 16 && in.remaining_bytes() > 0; ++op) {
        const std::string section = pick_name(in);
        const std::string key = pick_name(in);
        const bool removal = in.ConsumeIntegralInRange(0, 3) == 0;
        const std::string value = in.ConsumeRandomLengthString(64);
        const std::string before = doc.text();
        const auto prior = doc.get(section, key);
        const bool existed = prior.has_value();
        const std::string prior_value(prior.value_or(""));

        if (removal) doc.remove(section, key);
        else doc.set(section, key, value);
        const std::string after = doc.text();
        const auto [gone, added] = difference(before, after);

        if (removal) {
            if (!existed) FUZZ_CHECK(after == before);
            FUZZ_CHECK(added.empty());
            FUZZ_CHECK(count_of(gone, '\n') <= 1);
        } else {
            FUZZ_CHECK(doc.get(section, key) == single_line(value));
            if (existed) {
                FUZZ_CHECK(count_of(gone, '\n') == 0 && count_of(added, '\n') == 0);
                if (prior_value == single_line(value)) FUZZ_CHECK(after == before);
            } else {
                FUZZ_CHECK(gone.empty());
                FUZZ_CHECK(count_of(added, '\n') >= 1 && count_of(added, '\n') <= 3);
            }
        }
        touched[{lower(section), lower(key)}] = {section, key};
    }

    const std::string written = doc.text();
    const Document reread = Document::parse(written);
    FUZZ_CHECK(reread.text() == written);
    for (const auto& [folded, names] : touched) FUZZ_CHECK(reread.get(names.first, names.second) == doc.get(names.first, names.second));
    FUZZ_CHECK(reread.numbered_sections() == doc.numbered_sections());
    return 0;
}
