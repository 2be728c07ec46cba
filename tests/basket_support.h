// Shared pieces of the basket and page tests: a shop with a page, an item
// table and a style sheet, and the expected shape of a page reply.
#pragma once
#include <filesystem>
#include <string>

#include "harness.h"

// The basket and page that the golden basket tables show.
inline const std::string kBasket = "basket/t.bsk";
inline const std::string kPage = "page.html";

// The basket file of `basket` in an install.
inline std::string basket_file(const Install& shop, const std::string& basket = kBasket) {
    return shop.get("baskets/" + basket);
}
// Whether the basket holds anything: an install begins with kBasket empty.
inline bool basket_exists(const Install& shop, const std::string& basket = kBasket) {
    return !shop.get("baskets/" + basket).empty();
}

// Every file and folder under `rel` with the bytes of each file, to show
// that a request changed nothing there.
inline std::string snapshot(const Install& shop, const std::string& rel) {
    std::string all;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(shop.path(rel))) {
        const std::string name = entry.path().string().substr(shop.root().size() + 1);
        all += name + (entry.is_directory() ? "/\n" : "=" + shop.get(name) + "\n");
    }
    return all;
}

// The page reply for page.html whose first line is dropped and whose other
// lines are `page_body`, up to the basket table.
inline std::string page_head(const std::string& page_body) { return kHeader + "</pre>\n" + page_body; }
// That reply followed by the table in golden file `table`.
inline std::string page_reply(const std::string& page_body, const std::string& table) {
    return page_head(page_body) + golden(table);
}

