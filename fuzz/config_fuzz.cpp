// The configuration line reader: any file text gives a record whose values
// are single lines of at most 255 characters taken from the text, and a file
// with CR LF line ends reads the same as one with LF alone.
#include "common/limits.h"
#include "fuzz_check.h"
#include "request/config.h"

namespace {

bool same_record(const Config& a, const Config& b) {
    for (const ConfigKey& key : kConfigKeys)
        if (a.*key.value != b.*key.value) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = input_text(data, size);
    Config record;
    const ConfigRead result = parse_config(text, record);
    FUZZ_CHECK(result != ConfigRead::cannot_open);
    if (result == ConfigRead::ok) FUZZ_CHECK(text.find("[Program Config]") != std::string_view::npos);
    if (text.substr(0, 17) == "[Program Config]\n") FUZZ_CHECK(result == ConfigRead::ok);
    for (const ConfigKey& key : kConfigKeys) {
        const std::string& v = record.*key.value;
        FUZZ_CHECK(v.size() <= limits::kConfigValue);
        FUZZ_CHECK(v.find('\n') == std::string::npos);
        FUZZ_CHECK(result == ConfigRead::ok || v.empty());
        FUZZ_CHECK(text.find(v) != std::string_view::npos);
    }

    if (text.find('\r') == std::string_view::npos) {
        std::string crlf;
        for (char c : text) {
            if (c == '\n') crlf += '\r';
            crlf += c;
        }
        Config other;
        FUZZ_CHECK(parse_config(crlf, other) == result);
        FUZZ_CHECK(same_record(record, other));
    }
    return 0;
}
