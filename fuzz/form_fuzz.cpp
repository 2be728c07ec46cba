// The body splitter and decoder: any body is either refused or split into
// exactly the fields its "&" separate, each name and value decoded alone, and
// the table answers lookups, collections and value checks as those fields say.
#include <map>
#include <vector>

#include "fuzz_check.h"
#include "request/form.h"

namespace {

std::vector<std::string_view> split_fields(std::string_view body) {
    std::vector<std::string_view> fields;
    if (body.empty()) return fields;
    std::size_t start = 0;
    for (;;) {
        std::size_t amp = body.find('&', start);
        fields.push_back(body.substr(start, amp == std::string_view::npos ? std::string_view::npos : amp - start));
        if (amp == std::string_view::npos) return fields;
        start = amp + 1;
    }
}

void check_decoding(std::string_view text) {
    const std::string decoded = url_decode(text);
    FUZZ_CHECK(decoded.size() <= text.size());
    FUZZ_CHECK(decoded.find('\0') == std::string::npos);
    // Without "%" and "+" there is nothing to decode: the text up to a zero byte.
    if (text.find_first_of("%+") == std::string_view::npos)
        FUZZ_CHECK(decoded == text.substr(0, text.find('\0')));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view body = input_text(data, size);
    check_decoding(body);

    const auto table = FormTable::decode(body);
    const std::vector<std::string_view> fields = split_fields(body);
    bool valid = true;
    for (std::string_view field : fields)
        if (count_of(field, '=') != 1 || field.front() == '=') valid = false;
    FUZZ_CHECK(table.has_value() == valid);
    if (!table) return 0;
    FUZZ_CHECK(table->size() == fields.size());

    std::map<std::string, std::vector<std::string>> by_name;
    for (std::string_view field : fields) {
        const std::size_t eq = field.find('=');
        check_decoding(field.substr(0, eq));
        check_decoding(field.substr(eq + 1));
        by_name[url_decode(field.substr(0, eq))].push_back(url_decode(field.substr(eq + 1)));
    }
    for (const auto& [name, values] : by_name) {
        FUZZ_CHECK(table->lookup(name) == values.front());
        FUZZ_CHECK(table->collect(name) == values);
        for (const std::string& value : values) FUZZ_CHECK(table->has_value(name, value));
    }
    FUZZ_CHECK(!table->lookup(std::string(1, '\0')));

    // Numbered fields: ascending, positive, and each one really there.
    for (std::string_view prefix : {"", "f", "m"}) {
        long long last = 0;
        for (long long n : table->numbered(prefix)) {
            FUZZ_CHECK(n > last);
            last = n;
            FUZZ_CHECK(table->lookup(std::string(prefix) + std::to_string(n)));
        }
    }
    return 0;
}
