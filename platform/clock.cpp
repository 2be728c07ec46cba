#include "platform/clock.h"

#include <cstdio>
#include <ctime>
#include <time.h>

namespace timing {

std::int32_t tick_count() {
    timespec ts{};
    clock_gettime(CLOCK_BOOTTIME, &ts);
    std::uint64_t ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u + static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(ms));
}

void sleep_ms(int ms) {
    timespec want{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&want, &want) != 0) {
    }
}

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
