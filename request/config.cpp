#include "request/config.h"

#include "common/limits.h"
#include "common/lines.h"
#include "platform/files.h"

Config& config() {
    static Config record;
    return record;
}

namespace {

struct Prefix {
    std::string_view text;
    std::string Config::*value;
};

// Tested in this order; "table=" is not a prefix of "shiptable=", so each
// line sets at most one value.
const Prefix kPrefixes[] = {
    {"webdir=", &Config::webdir},       {"start=", &Config::start},         {"table=", &Config::table},
    {"thanks=", &Config::thanks},       {"email=", &Config::email},         {"name=", &Config::name},
    {"tax=", &Config::tax},             {"shiptable=", &Config::shiptable}, {"maildir=", &Config::maildir},
    {"batchfile=", &Config::batchfile}, {"invnumber=", &Config::invnumber}, {"basketdir=", &Config::basketdir},
    {"dbfile=", &Config::dbfile},       {"cgiurl=", &Config::cgiurl},       {"styles=", &Config::styles},
};

}  // namespace

ConfigRead parse_config(std::string_view text, Config& record) {
    LineReader lines(text);
    std::string line;
    for (;;) {
        if (!lines.next(line)) return ConfigRead::cannot_read;
        if (line == "[Program Config]") break;
    }
    while (lines.next(line)) {
        for (const Prefix& p : kPrefixes) {
            if (line.compare(0, p.text.size(), p.text) == 0) {
                record.*p.value = line.substr(p.text.size(), limits::kConfigValue);
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
