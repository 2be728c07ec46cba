// Counts that checkout readers take back from a basket file.
#pragma once
#include <algorithm>
#include <string>
#include <string_view>

#include "common/limits.h"
#include "platform/profile.h"

// The count stored under `key` read as an integer (0 when missing), taken as
// at most limits::kMaxCountedEntries.
inline int read_count(const std::string& basket_file, std::string_view section, std::string_view key) {
    return std::min(profile::read_int(basket_file, section, key), limits::kMaxCountedEntries);
}
