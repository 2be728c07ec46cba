// How the tool's page check and order listing reach a shop's files: every
// read goes through these two, with the path as tavra.cfg gives it
// (absolute) or relative to the shop's folder. Both reach the file from the
// shop's folder one name at a time, following no link; a place outside the
// shop is not read.
#pragma once
#include <optional>
#include <string>
#include <vector>

namespace shop_tool {

// The whole file, or nothing when it cannot be read.
std::optional<std::string> read_shop_file(const std::string& shop, const std::string& path);

// The names of the regular files in a folder of the shop whose name ends
// in one of `extensions`, sorted; none when the folder cannot be read.
std::vector<std::string> shop_files_in(const std::string& shop, const std::string& folder,
                                       const std::vector<std::string>& extensions);

// The path as a finding names it: relative to the shop when inside it.
std::string shown_path(const std::string& shop, const std::string& path);

}  // namespace shop_tool
