#include "request/config.h"

#include "common/limits.h"
#include "common/lines.h"
#include "platform/files.h"

ConfigRead parse_config(std::string_view text, Config& record) {
    LineReader lines(text);
    std::string line;
    for (;;) {
        if (!lines.next(line)) return ConfigRead::cannot_read;
        if (line == "[Program Config]") break;
    }
    while (lines.next(line)) {
        for (const ConfigKey& key : kConfigKeys) {
            if (line.size() > key.name.size() && line[key.name.size()] == '=' &&
                line.compare(0, key.name.size(), key.name) == 0) {
                record.*key.value = line.substr(key.name.size() + 1, limits::kConfigValue);
                break;
            }
        }
    }
    return ConfigRead::ok;
}

ConfigRead read_config(const std::string& path, Config& record) {
    auto text = files::read(path);
    if (!text) return ConfigRead::cannot_open;
    return parse_config(*text, record);
}

std::string config_path(const std::string& program_dir) { return program_dir + "tavra.cfg"; }
