// Template pages: the merchant's HTML copied to the reply with "{SHOPPER}"
// and item tags expanded.
#pragma once
#include <functional>
#include <string_view>

#include "common/lines.h"
#include "platform/output.h"
#include "request/shop.h"

// Writes the page `page` (in the web directory) for `basket`. Nothing after a
// parsed page; the answer (status 1) after a "<!--NO PARSE-->" page or when
// the page cannot be opened.
[[nodiscard]] reply::Refusal render_template_page(const Shop& shop, std::string_view basket, std::string_view page);

// The parsed copy of a page's lines (after its mode line): each line with its
// first "{SHOPPER}" replaced by `basket`; a line with an item tag is written
// as the text before the tag, the entry that `show_item` writes for the item
// number, and the text after the tag's "}", without a line end; every other
// line is written followed by "\n".
void render_parsed_lines(LineReader& lines, std::string_view basket,
                         const std::function<void(std::string_view number)>& show_item);
