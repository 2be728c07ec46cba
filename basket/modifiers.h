// Items with chosen options (add2mod): the line's name lists the options and
// its price carries their adjustments.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "request/form.h"

// `name`, " ( ", the values of the fields m1 to m`count` joined by ", " (an
// absent field as empty text), then " ) "; cut to limits::kComposedName
// characters. A count below 1 lists nothing.
std::string composed_name(std::string_view name, const FormTable& form, long long count);

// The same with the options' values given as a list, as the price check
// takes them.
std::string composed_name(std::string_view name, const std::vector<std::string>& choices);
