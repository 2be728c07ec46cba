// Basket names the shop issued. A name is "basket/", a random number, ".",
// a second number derived from the first with the shop's secret key (in
// basket.key in the program directory), and ".bsk"; so the shop can tell a
// name it issued from a made-up one without keeping any file for it.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/output.h"
#include "request/request.h"
#include "request/shop.h"

// The file that holds the shop's key for basket names.
constexpr std::string_view kBasketKeyFile = "basket.key";

// The basket name for `first` under `key`.
std::string issued_basket_name(std::uint64_t first, const std::string& key);

// A new basket name; the key file is made first when it is missing. Empty
// when no key or no random number can be had.
std::string issue_basket_name(const std::string& program_dir);

// Whether `basket` has the form of an issued name and its second number
// matches its first under the shop's key. False when there is no key yet.
bool is_issued_basket_name(const std::string& program_dir, std::string_view basket);

// Before a command writes `basket`: its file must exist, or the shop must
// have issued its name; any other name is refused with "Refused name "
// (error log record, error page, status 1) before anything is written. An
// empty name passes: it names no file. The basket file is held to
// limits::kBasketFileBytes for the rest of the run.
[[nodiscard]] reply::Refusal refuse_unwritable_basket(const Request& r, const Shop& shop, std::string_view basket);

// The test of refuse_unwritable_basket, without the refusal.
bool may_write_basket(const Shop& shop, std::string_view basket);
