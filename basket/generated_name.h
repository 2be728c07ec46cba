// Generated file names for new baskets and order mail files: the tick count,
// ".", a second tick count at least limits::kNameWaitMs later, and a suffix.
#pragma once
#include <cstdint>
#include <string>

// The name for the tick pair, e.g. "1234.1484" + suffix (signed 32-bit decimals).
std::string generated_name(std::int32_t first, std::int32_t second, const std::string& suffix);

struct NewFile {
    std::string name;  // the generated name (without the folder)
    bool created;      // false when the file could not be made (the folder is missing, say)
};

// Makes a name and creates `folder` + name as a new empty file, waiting by
// sleeping rather than spinning; a name that exists already is replaced by
// another, so two runs never share a file.
NewFile create_generated_file(const std::string& folder, const std::string& suffix);
