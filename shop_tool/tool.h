// tavra-shop: lays out, cleans, configures and checks the shops of this
// machine. Each subcommand is one entry of the table in shop_tool_main.cpp.
#pragma once
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "shop_tool/install_places.h"

namespace shop_tool {

// A command line after the subcommand: the words in order and the
// "--name value" options (a flag option has an empty value).
struct Args {
    std::vector<std::string> words;
    std::map<std::string, std::string> options;

    std::optional<std::string> option(const std::string& name) const;
    bool flag(const std::string& name) const { return options.count(name) != 0; }
};

// Exit statuses of every subcommand.
constexpr int kDone = 0;
constexpr int kFailed = 1;  // refused or not done; check: faults found
constexpr int kUsage = 2;   // a command line that does not parse

// Where the installed programs and the sample shop are, and where shops are
// registered, under the prefix this tool was built for; create and clean take
// them from options, for laying out shops from a build folder (demo/serve,
// the tests).
struct Places {
    std::string programs = TAVRA_PROGRAMS_DIR;               // tavra, ship, mailer
    std::string sample = TAVRA_SAMPLE_DIR;                   // public/, pages/, styles/, tavra.cfg.in
    std::string templates = TAVRA_SAMPLE_DIR "/server";      // *.conf.in for the web servers
    std::string registry = TAVRA_REGISTRY_DIR;               // shops (one folder a line), logrotate/
    // The drop-in folder of tavra-clean.service that opens the registered
    // shops' data folders to the clean-up; a registry given on the command
    // line keeps its own beside it.
    std::string clean_unit_paths = TAVRA_CLEAN_UNIT_PATHS_DIR;
    // Where the drop-ins of a shop's FastCGI units go (create --fastcgi); a
    // registry given on the command line holds them itself.
    std::string unit_settings = TAVRA_UNIT_SETTINGS_DIR;
};
Places places_from(const Args& args);

// The shop folder of a command line, absolute and without a trailing "/".
std::string shop_folder(const std::string& word);

// The configuration file of a shop and its program folder.
std::string config_file(const std::string& shop);

// Messages: "tavra-shop: " and the text on standard error.
int refuse(const std::string& message, int status = kFailed);

// The text of --help, laid out as a manual page.
extern const char* const kManual;

int create(const Args& args);
int clean(const Args& args);
int set(const Args& args);
int get(const Args& args);
int check(const Args& args);
int keygen(const Args& args);
int open(const Args& args);
int orders(const Args& args);

}  // namespace shop_tool
