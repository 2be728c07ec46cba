#include "shop_tool/shop_files.h"

#include <algorithm>
#include <filesystem>

#include "platform/shop_paths.h"
#include "shop_tool/shop_places.h"

namespace fs = std::filesystem;

namespace shop_tool {
namespace {

using shop_paths::Belongs;

std::string full_path(const std::string& shop, const std::string& path) {
    return !path.empty() && path[0] == '/' ? path : shop + "/" + path;
}

// The place relative to the shop's folder, reached without links by the
// shop walker; nothing for a place outside the shop, which is never read.
std::optional<std::string> relative_place(const shop_paths::Shop& at, const std::string& path) {
    return inside_shop(at, full_path(at.folder(), path));
}

std::optional<shop_paths::Shop> shop_at(const std::string& shop) {
    std::string refusal;
    return shop_paths::Shop::open(shop, std::nullopt, refusal);
}

}  // namespace

std::optional<std::string> read_shop_file(const std::string& shop, const std::string& path) {
    const auto at = shop_at(shop);
    if (!at) return std::nullopt;
    const auto rel = relative_place(*at, path);
    std::string refusal;
    return rel ? at->read(*rel, Belongs::either, refusal) : std::nullopt;
}

std::vector<std::string> shop_files_in(const std::string& shop, const std::string& folder,
                                       const std::vector<std::string>& extensions) {
    std::vector<std::string> names;
    const auto at = shop_at(shop);
    const auto rel = at ? relative_place(*at, folder) : std::nullopt;
    std::string refusal;
    const auto held = rel ? at->folder(*rel, Belongs::either, refusal) : std::nullopt;
    if (!held) return names;
    for (const std::string& name : shop_paths::names_in(*held)) {
        const std::string ext = fs::path(name).extension().string();
        const auto st = shop_paths::status_in(*held, name);
        if (std::find(extensions.begin(), extensions.end(), ext) != extensions.end() && st && st->is_file())
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string shown_path(const std::string& shop, const std::string& path) {
    const std::string full = fs::path(full_path(shop, path)).lexically_normal().string();
    if (full.size() > shop.size() + 1 && full.compare(0, shop.size(), shop) == 0 && full[shop.size()] == '/')
        return full.substr(shop.size() + 1);
    return full;
}

}  // namespace shop_tool
