// The fixed pieces of a reply: headers, redirect, basket cookie, fallback
// page, and the page reply with which most commands end.
#pragma once
#include <string_view>

#include "platform/output.h"
#include "request/shop.h"

void write_content_type();

// "Location: <thanks>\n\n", the reply to a confirmed order.
void write_redirect(const Shop& shop);

// The header line that sets the cookie TAVRA to the basket name.
void write_basket_cookie(std::string_view basket);

// The page for a request that names no command.
void write_fallback_page();

// The template page `page` rendered for `basket`, then the basket table, as
// the answer with status 1. The header has been written already.
reply::Done answer_with_page(const Shop& shop, std::string_view basket, std::string_view page);

// The content-type header, then answer_with_page.
reply::Done answer_with_header_and_page(const Shop& shop, std::string_view basket, std::string_view page);
