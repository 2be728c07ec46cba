// tavra-shop set / get: one setting of a shop's tavra.cfg, read or changed
// under the file's lock, so that an order confirmed meanwhile keeps its
// invoice number and the next order gets the next one.
#include <cstdio>
#include <string_view>

#include "common/limits.h"
#include "platform/profile.h"
#include "shop_tool/shop_places.h"
#include "shop_tool/tool.h"

namespace shop_tool {
namespace {

bool has_control(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return true;
    return false;
}

// Why a section or key name cannot stand in a profile file, or nothing.
std::string name_refusal(std::string_view what, std::string_view name, std::string_view forbidden) {
    if (name.empty()) return std::string(what) + " is empty";
    if (has_control(name) || name.find_first_of(forbidden) != std::string_view::npos || name.front() == ' ' ||
        name.back() == ' ' || name.front() == ';')
        return std::string(what) + " " + std::string(name) + " cannot stand in tavra.cfg";
    return {};
}

}  // namespace

int set(const Args& args) {
    const std::string& section = args.words[1];
    const std::string& key = args.words[2];
    const std::string& value = args.words[3];
    for (const std::string& why : {name_refusal("section", section, "[]"), name_refusal("key", key, "=[]")})
        if (!why.empty()) return refuse(why);
    if (has_control(value)) return refuse("a value is one line without control characters");
    if (value.size() > limits::kConfigValue)
        return refuse("the programs read at most " + std::to_string(limits::kConfigValue) + " characters of a value");
    const auto shop = open_shop(args.words[0]);
    if (!shop) return kFailed;
    bool stored = false;
    {
        const auto cfg = HeldConfig::open(*shop);
        if (!cfg) return kFailed;
        profile::write(cfg->path(), section, key, value);
        stored = profile::store_now(cfg->path());
    }
    // Writes report nothing; what the file holds now tells.
    const auto cfg = HeldConfig::open(*shop);
    if (!cfg) return kFailed;
    if (!stored || profile::read_text(cfg->path(), section, key, {}, std::string::npos) != value)
        return refuse("could not write " + shop->place("cgi-bin/tavra.cfg"));
    return kDone;
}

int get(const Args& args) {
    const auto shop = open_shop(args.words[0]);
    if (!shop) return kFailed;
    const auto cfg = HeldConfig::open(*shop);
    if (!cfg) return kFailed;
    constexpr std::string_view kMissing = "\n";  // no value holds a line break
    const std::string value = profile::read_text(cfg->path(), args.words[1], args.words[2], kMissing, std::string::npos);
    if (value == kMissing)
        return refuse("no " + args.words[2] + " in [" + args.words[1] + "] of " + shop->place("cgi-bin/tavra.cfg"));
    std::printf("%s\n", value.c_str());
    return kDone;
}

}  // namespace shop_tool
