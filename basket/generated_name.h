// Generated file names for new baskets and order mail files: two numbers of
// 64 bits each from the kernel's random source, joined by ".", and a suffix,
// so that nobody can guess another shopper's basket or order.
#pragma once
#include <cstdint>
#include <string>

// The name for the two numbers, e.g. "12661283927364092331.9048221077163120944"
// + suffix (unsigned decimals).
std::string generated_name(std::uint64_t first, std::uint64_t second, const std::string& suffix);

struct NewFile {
    std::string name;  // the generated name (without the folder); empty when no random numbers could be had
    bool created;      // false when the file could not be made (the folder is missing, say)
};

// Makes a name and creates `folder` + name as a new empty file; a name that
// exists already is replaced by another, so two runs never share a file.
NewFile create_generated_file(const std::string& folder, const std::string& suffix);
