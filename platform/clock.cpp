#include "platform/clock.h"

#include <cstdio>
#include <ctime>
#include <time.h>

namespace timing {

const char* day_name(int tm_wday) {
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    return days[((tm_wday % 7) + 7) % 7];
}

const char* month_name(int tm_mon) {
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    return months[((tm_mon % 12) + 12) % 12];
}

std::string log_timestamp() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[64];
    std::snprintf(text, sizeof text, "%s %s %02d %02d:%02d:%02d %04d", day_name(local.tm_wday),
                  month_name(local.tm_mon), local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  local.tm_year + 1900);
    return text;
}

}  // namespace timing
