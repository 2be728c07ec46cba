// How the subcommands reach a shop's files: from the shop's folder, one name
// at a time, never through a link, each place owned as create lays it out
// (see platform/shop_paths.h). A refusal is printed as one line naming the
// place, and the subcommand ends with status 1.
#pragma once
#include <memory>
#include <optional>
#include <string>

#include "platform/profile.h"
#include "platform/shop_paths.h"

namespace shop_tool {

// The shop named on a command line; its user is the owner of its data/
// folder. Nothing, with the refusal printed, when it cannot be opened.
std::optional<shop_paths::Shop> open_shop(const std::string& word);

// The place inside the shop that a path of tavra.cfg names (relative ones
// from cgi-bin/, where the programs run): the path relative to the shop's
// folder, or nothing when it leads outside the shop.
std::optional<std::string> inside_shop(const shop_paths::Shop& shop, const std::string& path);

// A folder named by tavra.cfg that must lie inside the shop's data/ and
// belong to the shop's user. Nothing, with `refusal`, otherwise.
std::optional<shop_paths::Handle> data_folder(const shop_paths::Shop& shop, const std::string& key,
                                              const std::string& value, std::string& refusal);

// The shop's tavra.cfg under its lock while this lives: cgi-bin/ the
// keeper's folder, tavra.cfg a regular file of the shop's user, neither a
// link. path() is what the profile calls take; it reaches this very file.
class HeldConfig {
public:
    // Nothing, with the refusal printed, when tavra.cfg is not what it
    // should be.
    static std::unique_ptr<HeldConfig> open(const shop_paths::Shop& shop);
    const std::string& path() const { return path_; }

private:
    HeldConfig() = default;
    shop_paths::Handle cgi_bin_;
    std::string path_;
    std::unique_ptr<profile::Lock> lock_;
};

// The text of the shop's tavra.cfg, checked as HeldConfig checks it; nothing,
// with `refusal`, otherwise.
std::optional<std::string> config_text(const shop_paths::Shop& shop, std::string& refusal);

}  // namespace shop_tool
