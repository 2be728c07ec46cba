#include <cstdio>
#include <filesystem>

#include "shop_tool/tool.h"

namespace shop_tool {

std::optional<std::string> Args::option(const std::string& name) const {
    auto it = options.find(name);
    if (it == options.end()) return std::nullopt;
    return it->second;
}

Places places_from(const Args& args) {
    Places p;
    if (auto v = args.option("programs")) p.programs = shop_folder(*v);
    if (auto v = args.option("sample")) {
        p.sample = shop_folder(*v);
        p.templates = p.sample + "/server";
    }
    if (auto v = args.option("templates")) p.templates = shop_folder(*v);
    if (auto v = args.option("registry")) {
        p.registry = shop_folder(*v);
        p.clean_unit_paths = p.registry + "/tavra-clean.service.d";
        p.unit_settings = p.registry;
    }
    return p;
}

std::string shop_folder(const std::string& word) {
    std::error_code ignored;
    std::string path = std::filesystem::absolute(word, ignored).lexically_normal().string();
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::string config_file(const std::string& shop) { return shop + "/cgi-bin/tavra.cfg"; }

int refuse(const std::string& message, int status) {
    std::fprintf(stderr, "tavra-shop: %s\n", message.c_str());
    return status;
}

}  // namespace shop_tool
