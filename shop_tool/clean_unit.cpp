// The daily clean-up runs with the whole file system read-only but for the
// folders named in a drop-in of its unit. Shops may live anywhere, so the
// drop-in is written from the registry each time a shop is registered: it
// opens the data folder of every registered shop, and nothing else.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/accounts.h"
#include "platform/process.h"
#include "shop_tool/layout.h"

namespace fs = std::filesystem;

namespace shop_tool {

std::string clean_unit_paths_text(const std::vector<std::string>& shops) {
    std::ostringstream text;
    text << "# Written by tavra-shop create from the registered shops: the daily\n"
            "# clean-up may write their data folders and nothing else.\n"
            "[Service]\n";
    // "-": a shop that is gone leaves no folder, which must not stop the rest.
    for (const std::string& shop : shops) text << "ReadWritePaths=-" << shop << "/data\n";
    return text.str();
}

bool write_clean_unit_paths(const Places& places) {
    std::error_code error;
    fs::create_directories(places.clean_unit_paths, error);
    if (error) return false;
    const std::string path = places.clean_unit_paths + "/shops.conf";
    const std::string temp = places.clean_unit_paths + "/.shops.conf.new";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << clean_unit_paths_text(registered_shops(places));
        if (!out.flush()) return false;
    }
    fs::permissions(temp, static_cast<fs::perms>(0644), error);
    if (!error) fs::rename(temp, path, error);
    if (error) {
        fs::remove(temp, error);
        return false;
    }
    // The service manager reads drop-ins when it reloads. Only the system's
    // own drop-in folder is its business; a registry elsewhere is a test's.
    if (places.clean_unit_paths == TAVRA_CLEAN_UNIT_PATHS_DIR && accounts::is_root() &&
        fs::is_directory("/run/systemd/system", error)) {
        std::vector<std::string> environment = {"PATH=/usr/sbin:/usr/bin:/sbin:/bin"};
        process::run_and_wait("/bin/systemctl", {"systemctl", "daemon-reload"}, environment);
    }
    return true;
}

}  // namespace shop_tool
