#include "shop_tool/shop_places.h"

#include <filesystem>
#include <sys/stat.h>

#include "shop_tool/tool.h"

namespace shop_tool {
namespace {

using shop_paths::Belongs;

constexpr const char* kConfigName = "tavra.cfg";

// Why tavra.cfg in the held cgi-bin/ is not the shop user's regular file,
// or empty text; `locked` is what the lock found there, when it found one.
std::string config_fault(const shop_paths::Shop& shop, const shop_paths::Handle& cgi_bin,
                         const std::optional<profile::Held>& locked) {
    const std::string place = shop.place("cgi-bin/tavra.cfg") + ": ";
    const auto st = shop_paths::status_in(cgi_bin, kConfigName);
    if (!st) return place + "does not exist";
    if (S_ISLNK(st->mode)) return place + "is a symbolic link; links are not followed";
    if (!st->is_file() || !locked) return place + "is not a regular file";
    if (locked->owner != shop.user()) return place + "does not belong to the shop's user";
    return {};
}

}  // namespace

std::optional<shop_paths::Shop> open_shop(const std::string& word) {
    std::string refusal;
    auto shop = shop_paths::Shop::open(shop_folder(word), std::nullopt, refusal);
    if (!shop) refuse(refusal);
    return shop;
}

std::optional<std::string> inside_shop(const shop_paths::Shop& shop, const std::string& path) {
    namespace fs = std::filesystem;
    const fs::path full = !path.empty() && path[0] == '/' ? fs::path(path) : fs::path(shop.place("cgi-bin")) / path;
    std::string normal = full.lexically_normal().string();
    while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
    const std::string& folder = shop.folder();
    if (normal == folder) return std::string();
    if (normal.size() <= folder.size() + 1 || normal.compare(0, folder.size(), folder) != 0 ||
        normal[folder.size()] != '/')
        return std::nullopt;
    return normal.substr(folder.size() + 1);
}

std::optional<shop_paths::Handle> data_folder(const shop_paths::Shop& shop, const std::string& key,
                                              const std::string& value, std::string& refusal) {
    const auto rel = inside_shop(shop, value);
    if (!rel || (*rel != "data" && rel->rfind("data/", 0) != 0)) {
        refusal = key + "=" + value + " in " + shop.place("cgi-bin/tavra.cfg") + ": not a folder inside " +
                  shop.place("data") + "; refused";
        return std::nullopt;
    }
    return shop.folder(*rel, Belongs::user, refusal);
}

std::unique_ptr<HeldConfig> HeldConfig::open(const shop_paths::Shop& shop) {
    std::unique_ptr<HeldConfig> held(new HeldConfig);
    std::string refusal;
    auto cgi_bin = shop.folder("cgi-bin", Belongs::keeper, refusal);
    if (!cgi_bin) return refuse(refusal), nullptr;
    held->cgi_bin_ = std::move(*cgi_bin);
    held->path_ = held->cgi_bin_.path() + "/" + kConfigName;
    held->lock_ = std::make_unique<profile::Lock>(held->path_, profile::Durability::synced, profile::Links::refused);
    const std::string fault = config_fault(shop, held->cgi_bin_, profile::held(held->path_));
    if (!fault.empty()) return refuse(fault), nullptr;
    return held;
}

std::optional<std::string> config_text(const shop_paths::Shop& shop, std::string& refusal) {
    auto cgi_bin = shop.folder("cgi-bin", Belongs::keeper, refusal);
    if (!cgi_bin) return std::nullopt;
    const auto file = shop_paths::open_file_in(*cgi_bin, kConfigName);
    const auto st = file ? shop_paths::status(*file) : std::nullopt;
    const std::optional<profile::Held> found =
        st ? std::optional<profile::Held>(profile::Held{st->owner, st->links}) : std::nullopt;
    refusal = config_fault(shop, *cgi_bin, found);
    if (!refusal.empty()) return std::nullopt;
    auto text = shop_paths::read_all(*file);
    if (!text) refusal = shop.place("cgi-bin/tavra.cfg") + ": cannot be read";
    return text;
}

}  // namespace shop_tool
