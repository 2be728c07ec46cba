#include "render/style_sheet.h"

#include <iterator>
#include <limits>
#include <map>
#include <optional>

#include "common/lines.h"
#include "common/text.h"
#include "platform/files.h"
#include "platform/output.h"

namespace {

const std::optional<std::string>& style_sheet(StyleSheets& kept, const std::string& path) {
    auto it = kept.find(path);
    if (it == kept.end()) it = kept.emplace(path, files::read(path)).first;
    return it->second;
}

}  // namespace

std::string fill_style_sheet(std::string_view sheet, const ItemEntry& item, std::string_view basket,
                             std::string_view page, std::string_view cgiurl) {
    // Filled in this order, each on the line as the ones before left it, so
    // a value holding a later placeholder has that one filled too.
    const std::string_view values[] = {cgiurl,    page,      basket,       item.number, item.name,
                                       item.price, item.ship, item.desc, item.picture};
    static_assert(std::size(values) == std::size(kStyleSheetPlaceholders));
    // Lines are taken whole: a filled line may be far longer than the file's.
    LineReader lines(sheet, std::numeric_limits<std::size_t>::max());
    std::string line, out;
    while (lines.next(line)) {
        for (std::size_t i = 0; i < std::size(values); ++i) replace_first(line, kStyleSheetPlaceholders[i], values[i]);
        out += line;
        out += '\n';
    }
    return out;
}

void render_item_entry(StyleSheets& sheets, const ItemEntry& item, std::string_view basket, std::string_view page,
                       std::string_view cgiurl, std::string_view styles) {
    const auto& sheet = style_sheet(sheets, std::string(styles) + item.style + ".sty");
    if (!sheet) {
        reply::write("No style sheet\n");
        return;
    }
    reply::write(fill_style_sheet(*sheet, item, basket, page, cgiurl));
}
