// The template page renderer over any page text and basket name: the copy
// never reads outside its lines, shows at most one item per line, and a page
// without tags is copied line for line.
#include <fuzzer/FuzzedDataProvider.h>

#include "common/lines.h"
#include "fuzz_check.h"
#include "platform/output.h"
#include "render/page_file.h"
#include "render/template_page.h"

namespace {

std::size_t line_count(std::string_view text) {
    LineReader lines(text);
    std::string line;
    std::size_t n = 0;
    while (lines.next(line)) ++n;
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string basket = in.ConsumeRandomLengthString(64);
    const std::string page = in.ConsumeRemainingBytesAsString();

    LineReader lines(page);
    std::string mode;
    lines.next(mode);
    const std::size_t rest = line_count(page) - (page.empty() ? 0 : 1);
    if (mode == "<!--NO PARSE-->") {
        const std::string copy = unparsed_copy(lines);
        FUZZ_CHECK(copy.size() <= 2 * page.size());
        FUZZ_CHECK(count_of(copy, '\n') >= rest && count_of(copy, '\n') <= 2 * rest);
        return 0;
    }

    std::size_t items = 0;
    std::string shown;
    render_parsed_lines(lines, basket, [&](std::string_view number) {
        FUZZ_CHECK(number.find('}') == std::string_view::npos);
        if (basket.find('\n') == std::string::npos) FUZZ_CHECK(number.find('\n') == std::string_view::npos);
        ++items;
        reply::write("<item>");
    });
    const std::string out = reply::take();
    FUZZ_CHECK(items <= rest);
    FUZZ_CHECK(out.size() <= page.size() + rest * (basket.size() + 1) + items * 6);
    if (page.find('{') == std::string::npos && basket.find('{') == std::string::npos) {
        // No tag: every line after the mode line, each with one "\n".
        LineReader again(page);
        std::string line, want;
        again.next(line);
        while (again.next(line)) want += line + "\n";
        FUZZ_CHECK(out == want);
    }
    return 0;
}
