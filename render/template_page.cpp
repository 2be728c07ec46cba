#include "render/template_page.h"

#include <string>

#include "common/limits.h"
#include "common/text.h"
#include "request/shop.h"
#include "platform/output.h"
#include "platform/profile.h"
#include "render/page_file.h"
#include "render/style_sheet.h"

namespace {

constexpr std::string_view kShopperTag = "{SHOPPER}";
constexpr std::string_view kItemTag = "{ITEM=";

// The item of the item table (`dbfile`) that an item tag names; a missing
// table, section or key gives empty values.
ItemEntry read_item_entry(const std::string& table, std::string_view number) {
    ItemEntry item;
    item.number = cut(number, limits::kItemNumber);
    auto value = [&](std::string_view key, std::size_t room) {
        return profile::read_text(table, item.number, key, {}, room);
    };
    item.name = value("name", limits::kItemValue);
    item.price = value("price", limits::kItemValue);
    item.ship = value("ship", limits::kItemValue);
    item.desc = value("desc", limits::kItemDesc);
    item.picture = value("picture", limits::kItemValue);
    item.style = value("style", limits::kItemValue);
    return item;
}

}  // namespace

void render_parsed_lines(LineReader& lines, std::string_view basket,
                         const std::function<void(std::string_view number)>& show_item) {
    std::string line;
    while (lines.next(line)) {
        replace_first(line, kShopperTag, basket);
        const std::size_t tag = line.find(kItemTag);
        const std::size_t close = tag == std::string::npos ? tag : line.find('}', tag + kItemTag.size());
        if (close == std::string::npos) {
            line += '\n';
            reply::write(line);
            continue;
        }
        // Only the first item tag of a line is shown; the text after its "}"
        // is written as it stands, and the line's own end is not written.
        const std::string_view text(line);
        reply::write(text.substr(0, tag));
        show_item(text.substr(tag + kItemTag.size(), close - tag - kItemTag.size()));
        reply::write(text.substr(close + 1));
    }
}

reply::Refusal render_template_page(const Shop& shop, std::string_view basket, std::string_view page) {
    OpenedPage opened;
    if (auto answered = open_page(shop.config.webdir, page, opened)) return answered;
    StyleSheets sheets;
    render_parsed_lines(opened.lines, basket, [&](std::string_view number) {
        render_item_entry(sheets, read_item_entry(shop.config.dbfile, number), basket, page, shop.config.cgiurl,
                          shop.config.styles);
    });
    return std::nullopt;
}
