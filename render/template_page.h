// Template pages: the merchant's HTML copied to the reply with "{SHOPPER}"
// and item tags expanded.
#pragma once
#include <string_view>

// Writes the page `page` (in the web directory) for `basket`. Returns after a
// parsed page; ends the run with status 1 after a "<!--NO PARSE-->" page or
// when the page cannot be opened.
void render_template_page(std::string_view basket, std::string_view page);
