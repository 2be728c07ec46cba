#include "request/switches.h"

#include "common/limits.h"
#include "common/text.h"
#include "platform/profile.h"
#include "request/config.h"

Switches read_switches(const std::string& program_dir) {
    const std::string file = config_path(program_dir);
    auto on = [&file](std::string_view key) { return profile::read_text(file, "Order Control", key) == "on"; };
    Switches s;
    s.pricecheck = on("pricecheck");
    s.maskcard = on("maskcard");
    s.safecsv = on("safecsv");
    const std::string states = profile::read_text(file, "Order Control", "taxstates");
    for (std::size_t start = 0; start <= states.size();) {
        std::size_t comma = states.find(',', start);
        if (comma == std::string::npos) comma = states.size();
        std::string state = without_blanks_around(std::string_view(states).substr(start, comma - start));
        if (!state.empty()) s.taxstates.push_back(std::move(state));
        start = comma + 1;
    }
    s.sealkey = profile::read_text(file, "Card Data", "sealkey", {}, limits::kConfigValue);
    return s;
}

std::optional<std::string> merchant_charge(const std::string& program_dir, std::string_view description) {
    return profile::read_value(config_path(program_dir), "Extra Charges", description);
}
