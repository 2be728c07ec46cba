// The configuration record: the "[Program Config]" values of tavra.cfg,
// read by the line reader at start-up and global for the run.
#pragma once
#include <string>
#include <string_view>

struct Config {
    std::string webdir, start, table, thanks, email, name, tax, shiptable, maildir, batchfile, invnumber,
        basketdir, dbfile, cgiurl, styles;
};

// The record of this run.
Config& config();

enum class ConfigRead { ok, cannot_open, cannot_read };

// Fills `record` from the configuration file's text: every line after the
// exact line "[Program Config]" that begins with one of the fifteen
// "key=" prefixes sets that key (a later line wins). Values keep at most
// limits::kConfigValue characters.
ConfigRead parse_config(std::string_view text, Config& record);

// Reads the file at `path` into `record`.
ConfigRead read_config(const std::string& path, Config& record);

// The configuration file of a program directory.
std::string config_path(const std::string& program_dir);
