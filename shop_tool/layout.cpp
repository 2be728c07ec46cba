#include "shop_tool/layout.h"

#include <sstream>

#include "platform/files.h"

namespace shop_tool {

Owner Owner::root() {
    if (!accounts::is_root()) return Owner{accounts::current(), false};
    return Owner{accounts::Account{"root", "root", 0, 0}, true};
}

std::optional<Owner> Owner::for_shop(const std::optional<std::string>& name, std::string& why) {
    if (!accounts::is_root()) {
        const accounts::Account me = accounts::current();
        if (name && *name != me.name) {
            why = "only root can give a shop to another user than " + me.name;
            return std::nullopt;
        }
        return Owner{me, false};
    }
    const std::string wanted = name.value_or("www-data");
    auto user = accounts::find(wanted);
    if (!user) {
        why = "no user " + wanted + " on this machine";
        return std::nullopt;
    }
    if (user->uid == 0) {
        why = "the web server's user must not be root";
        return std::nullopt;
    }
    return Owner{*user, true};
}

Owner Owner::group_of_root() const {
    if (!is_root_run) return *this;
    return Owner{accounts::Account{"root", user.group, 0, user.gid}, true};
}

std::optional<ShopUrl> ShopUrl::parse(const std::string& text) {
    std::size_t start = text.rfind("https://", 0) == 0 ? 8 : text.rfind("http://", 0) == 0 ? 7 : 0;
    if (start == 0) return std::nullopt;
    for (char c : text)
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7f || std::string_view("\"'<>\\`{}|^?#@").find(c) != std::string::npos)
            return std::nullopt;
    const std::size_t slash = text.find('/', start);
    ShopUrl url{text.substr(0, slash), slash == std::string::npos ? "/" : text.substr(slash)};
    if (url.origin.size() == start) return std::nullopt;  // no host
    if (url.path.back() != '/') url.path += '/';
    if (url.path.find("//") != std::string::npos || url.path.find("/./") != std::string::npos ||
        url.path.find("/../") != std::string::npos)
        return std::nullopt;
    return url;
}

std::vector<std::string> registered_shops(const Places& places) {
    std::vector<std::string> shops;
    std::istringstream lines(files::read(places.registry + "/shops").value_or(""));
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line[0] == '/') shops.push_back(line);
    return shops;
}

}  // namespace shop_tool
