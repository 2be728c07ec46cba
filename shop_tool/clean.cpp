// tavra-shop clean: removes basket files nobody has changed for a while, and
// empty ones (a start link followed and nothing bought) after a day, each
// under its lock, so that a basket being changed is never removed.
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "request/config.h"
#include "shop_tool/shop_places.h"
#include "shop_tool/layout.h"
#include "shop_tool/tool.h"

namespace fs = std::filesystem;

namespace shop_tool {
namespace {

constexpr long long kDay = 24 * 60 * 60;
constexpr long long kDefaultDays = 30;
constexpr long long kMostDays = 36500;

int clean_shop(const std::string& word, long long days) {
    const auto shop = open_shop(word);
    if (!shop) return kFailed;
    std::string refusal;
    const auto text = config_text(*shop, refusal);
    if (!text) return refuse(refusal);
    Config config;
    const std::string cfg = shop->place("cgi-bin/tavra.cfg");
    if (parse_config(*text, config) != ConfigRead::ok) return refuse("cannot read the configuration " + cfg);
    if (config.basketdir.empty()) return refuse("no basketdir= in " + cfg);
    // The folders the programs write are the shop user's, inside data/; one
    // named anywhere else is not cleaned, whoever put it in tavra.cfg.
    int status = kDone;
    for (const auto& [key, value] : {std::pair<const char*, std::string>{"maildir", config.maildir},
                                     {"batchfile", config.batchfile}}) {
        std::string why;
        if (!value.empty() && !data_folder(*shop, key, value.substr(0, value.rfind('/') + 1), why))
            status = refuse(why);
    }
    const std::string basketdir = config.basketdir + "basket/";
    const auto folder = data_folder(*shop, "basketdir", basketdir, refusal);
    if (!folder) return refuse(refusal);
    const std::string shown = shop->place(*inside_shop(*shop, basketdir)) + "/";

    const long long now = std::time(nullptr);
    int removed = 0, in_use = 0, failed = 0;
    for (const std::string& name : shop_paths::names_in(*folder)) {
        // A hidden ".tmp" file is what a killed run left of a new version.
        const bool leftover = name[0] == '.';
        if (leftover && name.size() < 4) continue;
        if (leftover && name.compare(name.size() - 4, 4, ".tmp") != 0) continue;
        const auto st = shop_paths::status_in(*folder, name);
        if (!st || st->is_folder()) continue;
        std::string why;
        const auto wanted = [&](long long size, long long changed) {
            const long long age = now - changed;
            why = age >= days * kDay ? "not changed for " + std::to_string(days) + " days"
                  : leftover         ? "left by a stopped run"
                                     : "empty";
            return age >= days * kDay || (age >= kDay && (size == 0 || leftover));
        };
        switch (shop_paths::remove_if_idle(*folder, name, shop->user(), wanted)) {
            case shop_paths::Removal::removed:
                ++removed;
                std::printf("removed %s%s (%s)\n", shown.c_str(), name.c_str(), why.c_str());
                break;
            case shop_paths::Removal::in_use: ++in_use; break;
            case shop_paths::Removal::refused:
                refuse(shown + name + ": a link, not a regular file or not the shop user's; left alone");
                ++failed;
                break;
            case shop_paths::Removal::failed: ++failed; break;
            case shop_paths::Removal::kept: break;
        }
    }
    std::printf("%s: %d basket file%s removed, %d in use kept\n", shop->folder().c_str(), removed,
                removed == 1 ? "" : "s", in_use);
    if (failed) return refuse(std::to_string(failed) + " basket files of " + shop->folder() + " could not be removed");
    return status;
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
