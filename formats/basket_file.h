// Basket files: where a basket lies and how lines are added to it.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Every basket name is this folder followed by a generated name.
constexpr std::string_view kBasketFolder = "basket/";

// The basket file of a basket name: the basket directory followed directly
// by the name.
std::string basket_path(std::string_view basket);

// One basket line; an absent value leaves its key out of the section.
struct BasketLine {
    std::optional<std::string> name, item, price, ship, quantity;
};

// Adds `line` as the next numbered section: reads "NumKeys" (0 when missing),
// writes the raised "NumKeys" first, then "NAME", "ITEM", "PRICE", "SHIP" and
// "QUANTITY" in that order. The caller holds the basket file's lock.
void add_basket_line(const std::string& path, const BasketLine& line);

// The line numbers from 1 to `num_keys`, ascending, that a loop over the
// basket's lines has to visit: those with a section in the file, and those in
// `also` (the numbered fields of a form, say). Every other number names a
// missing section, which reads as empty and is left as it is.
std::vector<long long> lines_to_visit(const std::string& path, long long num_keys,
                                      const std::vector<long long>& also = {});
