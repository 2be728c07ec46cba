// Pieces of a shop's layout shared by the subcommands: who owns what, the
// shop's address, the web servers a snippet is written for, the registry.
#pragma once
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

#include "platform/accounts.h"
#include "platform/shop_paths.h"
#include "shop_tool/tool.h"

namespace shop_tool {

// The web servers with a snippet in DIR/server/ (NAME.conf from NAME.conf.in).
inline const char* const kServers[] = {"apache", "nginx", "lighttpd"};

// Whom a part of the shop belongs to. Run by root, parts are given to their
// owner; run by anyone else, everything stays that user's and only modes are
// set.
struct Owner {
    accounts::Account user;
    bool is_root_run = false;

    static Owner root();
    // The server's user of a new shop: USER (www-data by default) for root,
    // the caller itself for anyone else. Nothing, with `why`, when there is
    // no such user or a non-root caller names another.
    static std::optional<Owner> for_shop(const std::optional<std::string>& name, std::string& why);
    // Root, with this owner's group.
    Owner group_of_root() const;

    // What a place made for this owner is given, with `mode`.
    shop_paths::Giving giving(mode_t mode) const { return {user.uid, user.gid, mode, is_root_run}; }

};

// The shop's address: "http(s)://host[:port]" and the path of its folder,
// beginning and ending with "/".
struct ShopUrl {
    std::string origin;
    std::string path;

    static std::optional<ShopUrl> parse(const std::string& text);
    std::string text() const { return origin + path; }
};

// The shops registered by create, in the order they were registered.
std::vector<std::string> registered_shops(const Places& places);

// The drop-in of the clean-up's unit for these shops, and writing it from the
// registry into places.clean_unit_paths (the service manager reloaded when it
// is the system's). False when it cannot be written.
std::string clean_unit_paths_text(const std::vector<std::string>& shops);
bool write_clean_unit_paths(const Places& places);

}  // namespace shop_tool
