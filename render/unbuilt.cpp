// Placeholders for the page renderers until they are built: they write
// nothing, so a page reply is the header alone.
#include "render/basket_table.h"
#include "render/template_page.h"

void render_template_page(std::string_view, std::string_view) {}
void render_basket_table(std::string_view, std::string_view) {}
