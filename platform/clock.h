// Time as the system uses it: the local time for log records and mail dates.
#pragma once
#include <string>

namespace timing {

// English day and month names of a broken-down time ("Sun", "Jan"), written
// out here rather than by strftime so that no locale can change them.
const char* day_name(int tm_wday);
const char* month_name(int tm_mon);

// The local date and time as "Www Mmm dd hh:mm:ss yyyy" (24 characters,
// English names, day of month with a leading zero).
std::string log_timestamp();

}  // namespace timing
