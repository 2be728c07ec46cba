// tavra-shop SUBCOMMAND ...: the merchant's tool for the shops of this
// machine. A subcommand is one row of kCommands: its name, its words, the
// options it takes ("name=" takes a value) and the function that does it.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "shop_tool/tool.h"

namespace {

using shop_tool::Args;

struct Command {
    const char* name;
    const char* synopsis;
    std::size_t words;  // this many words after the name
    std::vector<std::string> options;
    int (*run)(const Args&);
    bool more_words = false;  // or more
};

const std::vector<std::string> kPlaces = {"programs=", "sample=", "templates=", "registry="};

std::vector<std::string> with_places(std::vector<std::string> options) {
    options.insert(options.end(), kPlaces.begin(), kPlaces.end());
    return options;
}

const Command kCommands[] = {
    {"create", "DIR [--user USER] [--url URL] [--email ADDRESS] [--name NAME] [--fastcgi]", 1,
     with_places({"user=", "url=", "email=", "name=", "no-register", "renew", "fastcgi"}),
     shop_tool::create},
    {"clean", "DIR [--days N] | --all [--days N]", 1, with_places({"days=", "all"}), shop_tool::clean},
    {"set", "DIR SECTION KEY VALUE", 4, {}, shop_tool::set},
    {"get", "DIR SECTION KEY", 3, {}, shop_tool::get},
    {"check", "DIR [--user USER]", 1, {"user="}, shop_tool::check},
    {"keygen", "DIR --secret FILE", 1, {"secret="}, shop_tool::keygen},
    {"open", "--secret FILE [--shop DIR] [--safecsv] [PATH...]", 0, {"secret=", "shop=", "safecsv"}, shop_tool::open,
     true},
    {"orders", "DIR [--since INVOICE] [--csv]", 1, {"since=", "csv"}, shop_tool::orders},
};

void print_synopsis(std::FILE* to) {
    std::fputs("usage:\n", to);
    for (const Command& c : kCommands) std::fprintf(to, "  tavra-shop %s %s\n", c.name, c.synopsis);
    std::fputs("  tavra-shop --help\n  tavra-shop --version\n", to);
}

// Splits the words after the subcommand into words and known options.
bool parse(const Command& command, int argc, char** argv, Args& args) {
    for (int i = 2; i < argc; ++i) {
        const std::string word = argv[i];
        if (word.rfind("--", 0) != 0 || word == "--") {
            args.words.push_back(word);
            continue;
        }
        std::string name = word.substr(2), value;
        bool inline_value = false;
        if (std::size_t eq = name.find('='); eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
            inline_value = true;
        }
        bool known = false;
        for (const std::string& o : command.options) {
            if (o == name + "=") {
                if (!inline_value) {
                    if (i + 1 >= argc) return shop_tool::refuse("--" + name + " needs a value", 0), false;
                    value = argv[++i];
                }
                known = true;
            } else if (o == name && !inline_value) {
                known = true;
            }
        }
        if (!known) return shop_tool::refuse("unknown option " + word + " for " + command.name, 0), false;
        args.options[name] = value;
    }
    // "clean --all" names no shop.
    const std::size_t wanted = command.words - (std::strcmp(command.name, "clean") == 0 && args.flag("all") ? 1 : 0);
    if (args.words.size() < wanted || (args.words.size() > wanted && !command.more_words)) {
        shop_tool::refuse(std::string(command.name) + " takes " + command.synopsis, 0);
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int status = shop_tool::kUsage;
    const std::string first = argc > 1 ? argv[1] : "";
    const Command* command = nullptr;
    for (const Command& c : kCommands)
        if (first == c.name) command = &c;
    Args args;
    if (first == "--version") {
        std::printf("tavra-shop %s\n", TAVRA_VERSION);
        status = shop_tool::kDone;
    } else if (first == "--help" || first == "-h" || first == "help") {
        std::fputs(shop_tool::kManual, stdout);
        status = shop_tool::kDone;
    } else if (!command) {
        if (!first.empty()) shop_tool::refuse("no subcommand " + first, 0);
        print_synopsis(stderr);
    } else if (parse(*command, argc, argv, args)) {
        status = command->run(args);
    } else {
        print_synopsis(stderr);
    }
    return status;
}
