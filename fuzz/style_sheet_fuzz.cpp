// The style sheet renderer over any sheet and any item values: one output
// line per sheet line, and no filled line grows beyond its placeholders'
// values.
#include <fuzzer/FuzzedDataProvider.h>

#include "common/lines.h"
#include "common/text.h"
#include "fuzz_check.h"
#include "render/style_sheet.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    // Values come from single profile lines and request fields.
    auto value = [&in] { return single_line(in.ConsumeRandomLengthString(300)); };
    ItemEntry item;
    item.number = value();
    item.name = value();
    item.price = value();
    item.ship = value();
    item.desc = value();
    item.picture = value();
    item.style = value();
    const std::string basket = value(), page = value(), cgiurl = value();
    const std::string sheet = in.ConsumeRemainingBytesAsString();

    const std::string out = fill_style_sheet(sheet, item, basket, page, cgiurl);
    std::size_t lines = 0;
    LineReader reader(sheet, std::string::npos);
    std::string line;
    while (reader.next(line)) ++lines;
    FUZZ_CHECK(count_of(out, '\n') == lines);
    const std::size_t values = cgiurl.size() + page.size() + basket.size() + item.number.size() + item.name.size() +
                               item.price.size() + item.ship.size() + item.desc.size() + item.picture.size();
    FUZZ_CHECK(out.size() <= sheet.size() + lines * (values + 1));
    if (sheet.find('%') == std::string::npos) {
        std::string want;
        LineReader again(sheet, std::string::npos);
        while (again.next(line)) want += line + "\n";
        FUZZ_CHECK(out == want);
    }
    return 0;
}
