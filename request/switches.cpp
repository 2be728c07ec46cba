#include "request/switches.h"

#include "common/limits.h"
#include "platform/profile.h"
#include "request/config.h"

Switches read_switches(const std::string& program_dir) {
    const std::string file = config_path(program_dir);
    auto on = [&file](std::string_view key) { return profile::read_text(file, "Order Control", key) == "on"; };
    Switches s;
    s.pricecheck = on("pricecheck");
    s.maskcard = on("maskcard");
    s.safecsv = on("safecsv");
    s.sealkey = profile::read_text(file, "Card Data", "sealkey", {}, limits::kConfigValue);
    return s;
}
