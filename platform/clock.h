// Time as the system uses it: a millisecond tick counter for generated
// names, and the local time for log records.
#pragma once
#include <cstdint>
#include <string>

namespace timing {

// Milliseconds since the machine started, as a signed 32-bit number
// (it wraps to negative values after 2^31 ms).
std::int32_t tick_count();

// Sleeps for about `ms` milliseconds.
void sleep_ms(int ms);

// English day and month names of a broken-down time ("Sun", "Jan"), written
// out here rather than by strftime so that no locale can change them.
const char* day_name(int tm_wday);
const char* month_name(int tm_mon);

// The local date and time as "Www Mmm dd hh:mm:ss yyyy" (24 characters,
// English names, day of month with a leading zero).
std::string log_timestamp();

}  // namespace timing
