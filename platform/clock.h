// Time as the system uses it: the local time for log records.
#pragma once
#include <string>

namespace timing {

// The local date and time as "Www Mmm dd hh:mm:ss yyyy" (24 characters,
// English names, day of month with a leading zero).
std::string log_timestamp();

}  // namespace timing
