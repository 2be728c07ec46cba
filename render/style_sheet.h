// Item style sheets: the merchant's HTML layout of one item, with
// placeholders for the item's values and the current request.
#pragma once
#include <map>
#include <optional>
#include <string>
#include <string_view>

// The placeholders a style sheet line may hold, in the order they are
// filled: the address of tavra, the page and basket of the request, then
// the item's number and values.
inline constexpr std::string_view kStyleSheetPlaceholders[] = {
    "%CGIURL%", "%WHERE%", "%BASKET%", "%ITEM%", "%NAME%", "%PRICE%", "%SHIP%", "%DESC%", "%PICTURE%",
};

// One item of the item table, as an item tag shows it.
struct ItemEntry {
    std::string number;  // the text between "{ITEM=" and "}"
    std::string name, price, ship, desc, picture, style;
};

// The style sheet's text for one item: each of its lines with the
// placeholders filled and followed by "\n".
std::string fill_style_sheet(std::string_view sheet, const ItemEntry& item, std::string_view basket,
                             std::string_view page, std::string_view cgiurl);

// The style sheets one page has read, by path: one page may show the same
// style many times, and each file is read once for it. The page owns them,
// so the next request reads the files afresh.
using StyleSheets = std::map<std::string, std::optional<std::string>>;

// Writes the item through the style sheet `styles` + style + ".sty", each of
// its lines with the placeholders filled and followed by "\n"; writes
// "No style sheet\n" when the file cannot be opened; the page goes on.
void render_item_entry(StyleSheets& sheets, const ItemEntry& item, std::string_view basket, std::string_view page,
                       std::string_view cgiurl, std::string_view styles);
