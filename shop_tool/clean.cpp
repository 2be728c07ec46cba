// tavra-shop clean: removes basket files nobody has changed for a while, and
// empty ones (a start link followed and nothing bought) after a day, each
// under its lock, so that a basket being changed is never removed.
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "request/config.h"
#include "platform/profile.h"
#include "shop_tool/layout.h"
#include "shop_tool/tool.h"

namespace fs = std::filesystem;

namespace shop_tool {
namespace {

constexpr long long kDay = 24 * 60 * 60;
constexpr long long kDefaultDays = 30;
constexpr long long kMostDays = 36500;

// A folder of tavra.cfg as the programs use it: relative ones are taken from
// the program folder, where the web server starts them.
std::string from_program_folder(const std::string& shop, const std::string& folder) {
    if (!folder.empty() && folder[0] == '/') return folder;
    return shop + "/cgi-bin/" + folder;
}

int clean_shop(const std::string& shop, long long days) {
    Config config;
    const std::string cfg = config_file(shop);
    if (read_config(cfg, config) != ConfigRead::ok) return refuse("cannot read the configuration " + cfg);
    if (config.basketdir.empty()) return refuse("no basketdir= in " + cfg);
    const std::string folder = from_program_folder(shop, config.basketdir) + "basket/";

    const long long now = std::time(nullptr);
    int removed = 0, in_use = 0, failed = 0;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (!fs::is_regular_file(it->symlink_status())) continue;
        const std::string name = it->path().filename().string();
        // A hidden ".tmp" file is what a killed run left of a new version.
        const bool leftover = name[0] == '.';
        if (leftover && name.size() < 4) continue;
        if (leftover && name.compare(name.size() - 4, 4, ".tmp") != 0) continue;
        std::string why;
        const auto wanted = [&](long long size, long long changed) {
            const long long age = now - changed;
            why = age >= days * kDay ? "not changed for " + std::to_string(days) + " days"
                  : leftover         ? "left by a stopped run"
                                     : "empty";
            return age >= days * kDay || (age >= kDay && (size == 0 || leftover));
        };
        switch (profile::remove_if_idle(it->path().string(), wanted)) {
            case profile::Removal::removed:
                ++removed;
                std::printf("removed %s (%s)\n", it->path().c_str(), why.c_str());
                break;
            case profile::Removal::in_use: ++in_use; break;
            case profile::Removal::failed: ++failed; break;
            case profile::Removal::kept: break;
        }
    }
    if (error) return refuse("cannot read the basket folder " + folder + ": " + error.message());
    std::printf("%s: %d basket file%s removed, %d in use kept\n", shop.c_str(), removed, removed == 1 ? "" : "s",
                in_use);
    if (failed) return refuse(std::to_string(failed) + " basket files of " + shop + " could not be removed");
    return kDone;
}

}  // namespace

int clean(const Args& args) {
    long long days = kDefaultDays;
    if (auto text = args.option("days")) {
        if (text->empty() || text->size() > 5 || text->find_first_not_of("0123456789") != std::string::npos ||
            std::stoll(*text) < 1 || std::stoll(*text) > kMostDays)
            return refuse("--days takes a whole number of days from 1 to " + std::to_string(kMostDays), kUsage);
        days = std::stoll(*text);
    }
    if (!args.flag("all")) return clean_shop(shop_folder(args.words[0]), days);
    int status = kDone;
    for (const std::string& shop : registered_shops(places_from(args))) {
        std::error_code error;
        if (!fs::exists(config_file(shop), error)) {
            std::printf("%s: no shop any more; skipped\n", shop.c_str());
            continue;
        }
        if (clean_shop(shop, days) != kDone) status = kFailed;
    }
    return status;
}

}  // namespace shop_tool
