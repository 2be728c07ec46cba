#include "formats/basket_file.h"

#include <algorithm>
#include <iterator>

#include "request/config.h"
#include "platform/profile.h"

std::string basket_path(std::string_view basket) { return config().basketdir + std::string(basket); }

void add_basket_line(const std::string& path, const BasketLine& line) {
    const std::string section = std::to_string(profile::read_int(path, "Basket", "NumKeys") + 1LL);
    profile::write(path, "Basket", "NumKeys", std::string_view(section));
    profile::write(path, section, "NAME", line.name);
    profile::write(path, section, "ITEM", line.item);
    profile::write(path, section, "PRICE", line.price);
    profile::write(path, section, "SHIP", line.ship);
    profile::write(path, section, "QUANTITY", line.quantity);
}

std::vector<long long> lines_to_visit(const std::string& path, long long num_keys,
                                      const std::vector<long long>& also) {
    const std::vector<long long> sections = profile::numbered_sections(path);
    std::vector<long long> lines;
    std::set_union(sections.begin(), sections.end(), also.begin(), also.end(), std::back_inserter(lines));
    lines.erase(std::upper_bound(lines.begin(), lines.end(), num_keys), lines.end());
    return lines;
}
