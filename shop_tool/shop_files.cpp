#include "shop_tool/shop_files.h"

#include <algorithm>
#include <filesystem>

#include "platform/files.h"

namespace fs = std::filesystem;

namespace shop_tool {
namespace {

std::string full_path(const std::string& shop, const std::string& path) {
    return !path.empty() && path[0] == '/' ? path : shop + "/" + path;
}

}  // namespace

std::optional<std::string> read_shop_file(const std::string& shop, const std::string& path) {
    std::error_code error;
    const std::string full = full_path(shop, path);
    if (!fs::is_regular_file(full, error)) return std::nullopt;
    return files::read(full);
}

std::vector<std::string> shop_files_in(const std::string& shop, const std::string& folder,
                                       const std::vector<std::string>& extensions) {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(full_path(shop, folder), error), end; !error && it != end; it.increment(error)) {
        const std::string ext = it->path().extension().string();
        std::error_code kind;
        if (std::find(extensions.begin(), extensions.end(), ext) != extensions.end() && it->is_regular_file(kind))
            names.push_back(it->path().filename().string());
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
