// The configuration record: the "[Program Config]" values of tavra.cfg, and
// the line reader that reads them (request/shop.h holds the record of a
// request).
#pragma once
#include <string>
#include <string_view>

#include "request/config_keys.h"

struct Config {
#define TAVRA_CONFIG_MEMBER(key, log_label, info_label) std::string key;
    TAVRA_CONFIG_KEYS(TAVRA_CONFIG_MEMBER)
#undef TAVRA_CONFIG_MEMBER
};

// One key of the configuration: its name in the file, its value in the
// record, and its labels in the run log and on the info page (empty when
// the key is not shown there).
struct ConfigKey {
    std::string_view name;
    std::string Config::*value;
    std::string_view log_label;
    std::string_view info_label;
};

inline const ConfigKey kConfigKeys[] = {
#define TAVRA_CONFIG_ROW(key, log_label, info_label) {#key, &Config::key, log_label, info_label},
    TAVRA_CONFIG_KEYS(TAVRA_CONFIG_ROW)
#undef TAVRA_CONFIG_ROW
};

enum class ConfigRead { ok, cannot_open, cannot_read };

// Fills `record` from the configuration file's text: every line after the
// exact line "[Program Config]" that begins with "key=" for a key of
// kConfigKeys sets that key (a later line wins). Values keep at most
// limits::kConfigValue characters.
ConfigRead parse_config(std::string_view text, Config& record);

// Reads the file at `path` into `record`.
ConfigRead read_config(const std::string& path, Config& record);

// The configuration file of a program directory.
std::string config_path(const std::string& program_dir);
