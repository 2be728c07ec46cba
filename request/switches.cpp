#include "request/switches.h"

#include "common/limits.h"
#include "common/text.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "request/config.h"

Switches switches_in(const profile::Document& file) {
    auto text = [&file](std::string_view section, std::string_view key, std::size_t room = limits::kProfileValue) {
        return std::string(file.get(section, key).value_or(std::string_view()).substr(0, room));
    };
    auto on = [&text](std::string_view key) { return text("Order Control", key) == "on"; };
    Switches s;
    s.pricecheck = on("pricecheck");
    s.maskcard = on("maskcard");
    s.safecsv = on("safecsv");
    const std::string states = text("Order Control", "taxstates");
    for (std::size_t start = 0; start <= states.size();) {
        std::size_t comma = states.find(',', start);
        if (comma == std::string::npos) comma = states.size();
        std::string state = without_blanks_around(std::string_view(states).substr(start, comma - start));
        if (!state.empty()) s.taxstates.push_back(std::move(state));
        start = comma + 1;
    }
    s.sealkey = text("Card Data", "sealkey", limits::kConfigValue);
    return s;
}

Switches read_switches(const std::string& program_dir) {
    return switches_in(profile::Document::parse(files::read(config_path(program_dir)).value_or("")));
}
