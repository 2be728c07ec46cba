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

// Whether the line's price and shipping value, as they would be stored, read
// as plain amounts (common/numbers.h): a line that fails is not added.
bool line_amounts_plain(const BasketLine& line);

// Adds `line` as the next numbered section: reads "NumKeys" (0 when missing),
// writes the raised "NumKeys" first, then "NAME", "ITEM", "PRICE", "SHIP" and
// "QUANTITY" in that order, and marks the basket changed since its summary.
// A basket that holds limits::kBasketLines lines already is left as it is
// and false returned. The caller holds the basket file's lock.
bool add_basket_line(const std::string& path, const BasketLine& line);

// "NumKeys" read as a count of lines (0 when missing), taken as at most
// limits::kBasketLines.
int basket_line_count(const std::string& path);

// The line numbers from 1 to `num_keys` (at most limits::kBasketLines),
// ascending, that a loop over the basket's lines has to visit: those with a
// section in the file, and those in `also` (the numbered fields of a form,
// say). Every other number names a missing section, which reads as empty and
// is left as it is.
std::vector<long long> lines_to_visit(const std::string& path, long long num_keys,
                                      const std::vector<long long>& also = {});

// Where a basket stands between its order summary and its orders. The state
// is kept in a section of its own; a basket without it (a new one, or one
// written before states were kept) has had no summary since its last change.
enum class OrderState {
    changed,     // lines or checkout details changed since the last summary
    summarised,  // the order summary shows what the basket holds
    ordered,     // an order was made from that summary, nothing changed since
};
OrderState order_state(const std::string& path);

// Sets the state; writes nothing when the basket stands there already. The
// caller holds the basket file's lock.
void set_order_state(const std::string& path, OrderState state);
