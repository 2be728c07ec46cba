// The part of tavra-shop check that reads a shop's pages as the programs
// would: template pages, the public pages, item tables, modifier files and
// style sheets, and the merchant's identity in tavra.cfg.
#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "request/config.h"

namespace shop_tool {

// One finding: the file as shown (relative to the shop when inside it), its
// line, and "what is wrong; what to do".
using Finding = std::function<void(const std::string& file, int line, const std::string& what)>;

// Reports every fault the pages and tables of the shop hold. `cfg_text` is
// the text of tavra.cfg, read into `config` already.
void check_shop_pages(const std::string& shop, const Config& config, const std::string& cfg_text,
                      const Finding& fault);

// The fields a form posting `word` to tavra cannot do without; nothing for a
// word tavra does not answer.
std::optional<std::vector<std::string_view>> fields_needed(std::string_view word);

// Whether a table or form holds `text` as an amount the programs read as
// written: digits with at most one decimal point, nothing else.
bool written_amount(std::string_view text);

}  // namespace shop_tool
