#include "shop_tool/fastcgi.h"

#include <sys/un.h>

#include <cctype>
#include <cstdio>
#include <filesystem>

#include "platform/accounts.h"
#include "platform/process.h"
#include "platform/shop_paths.h"

namespace fs = std::filesystem;

namespace shop_tool {
namespace {

// A unit name for the shell: quoted when escaping put a backslash in it.
std::string shell_word(const std::string& name) {
    return name.find('\\') == std::string::npos ? name : "'" + name + "'";
}

std::string unit_names(const std::string& shop, const char* suffix) {
    std::string names;
    for (const FastcgiProgram& program : kFastcgiPrograms)
        names += (names.empty() ? "" : " ") +
                 shell_word(std::string(program.unit) + "@" + unit_instance(shop) + suffix);
    return names;
}

}  // namespace

std::string unit_instance(const std::string& shop) {
    static const char kHex[] = "0123456789abcdef";
    std::string name;
    std::size_t start = shop.find_first_not_of('/');
    if (start == std::string::npos) return "-";
    for (std::size_t i = start; i < shop.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(shop[i]);
        if (c == '/') {
            if (i + 1 < shop.size() && shop[i + 1] != '/') name += '-';
        } else if (std::isalnum(c) || c == '_' || c == ':' || (c == '.' && !name.empty())) {
            name += static_cast<char>(c);
        } else {
            name += "\\x";
            name += kHex[c >> 4];
            name += kHex[c & 15];
        }
    }
    return name;
}

std::string fastcgi_socket(const std::string& shop, const FastcgiProgram& program) {
    return shop + "/fcgi/" + program.name + ".sock";
}

std::string fastcgi_refusal(const std::string& shop) {
    for (const FastcgiProgram& program : kFastcgiPrograms) {
        const std::string socket = fastcgi_socket(shop, program);
        if (socket.size() >= sizeof(sockaddr_un::sun_path))
            return "--fastcgi: the socket " + socket + " would be longer than the " +
                   std::to_string(sizeof(sockaddr_un::sun_path) - 1) + " characters a socket's path may have";
    }
    return {};
}

std::vector<std::pair<std::string, std::string>> fastcgi_snippet_values(const std::string& shop) {
    return {{"@SOCKET_UNITS@", unit_names(shop, ".socket")}, {"@SERVICE_UNITS@", unit_names(shop, ".service")}};
}

std::vector<std::pair<std::string, std::string>> fastcgi_unit_settings(const std::string& shop, const Owner& owner) {
    std::vector<std::pair<std::string, std::string>> settings;
    for (const FastcgiProgram& program : kFastcgiPrograms) {
        const std::string unit = std::string(program.unit) + "@" + unit_instance(shop);
        settings.emplace_back(unit + ".socket.d/shop.conf",
                              "# Written by tavra-shop create --fastcgi: only the user of the shop in\n# " + shop +
                                  " may connect to " + fastcgi_socket(shop, program) + ".\n[Socket]\nSocketUser=" +
                                  owner.user.name + "\nSocketGroup=" + owner.user.group + "\n");
        settings.emplace_back(unit + ".service.d/shop.conf",
                              "# Written by tavra-shop create --fastcgi: the program runs as the user of\n"
                              "# the shop in " + shop + ".\n[Service]\nUser=" + owner.user.name + "\nGroup=" +
                                  owner.user.group + "\n");
    }
    return settings;
}

bool write_fastcgi_unit_settings(const Places& places, const std::string& shop, const Owner& owner) {
    for (const auto& [file, text] : fastcgi_unit_settings(shop, owner)) {
        const fs::path path = places.unit_settings + "/" + file;
        std::error_code error;
        fs::create_directories(path.parent_path(), error);
        if (error) return false;
        const auto folder = shop_paths::open_folder(path.parent_path().string());
        if (!folder || !shop_paths::put_file_in(*folder, path.filename().string(), text, Owner::root().giving(0644)))
            return false;
    }
    // Only the system's own unit folder is the service manager's business;
    // a registry elsewhere is a test's.
    std::error_code error;
    if (places.unit_settings == TAVRA_UNIT_SETTINGS_DIR && accounts::is_root() &&
        fs::is_directory("/run/systemd/system", error)) {
        std::vector<std::string> environment = {"PATH=/usr/sbin:/usr/bin:/sbin:/bin"};
        process::run_and_wait("/bin/systemctl", {"systemctl", "daemon-reload"}, environment);
    }
    return true;
}

void print_fastcgi_steps(const std::string& shop, const Owner& owner, bool registered) {
    const char* user = owner.user.name.c_str();
    const char* group = owner.user.group.c_str();
    const char* at = shop.c_str();
    std::printf("\nOr serve it by FastCGI: the shop's programs listen on %s/fcgi/tavra.sock and\n"
                "%s/fcgi/ship.sock, which only %s may open: the web server must run as %s.\n",
                at, at, user, user);
    if (registered)
        std::printf("Start them, now and at every boot:\n  systemctl enable --now %s\n"
                    "or, without systemd, start each as %s on its socket:\n",
                    unit_names(shop, ".socket").c_str(), user);
    else
        std::printf("Their units know no user for this shop (--no-register): start each as %s on its socket:\n",
                    user);
    for (const FastcgiProgram& program : kFastcgiPrograms)
        std::printf("  spawn-fcgi -s %s -M 0600 -U %s -G %s -u %s -g %s -- %s/cgi-bin/%s.exe\n",
                    fastcgi_socket(shop, program).c_str(), user, group, user, group, at, program.name);
    std::printf("Then enable the FastCGI snippet in place of the CGI one:\n"
                "  Apache httpd:  ln -s %s/server/apache-fastcgi.conf /etc/apache2/conf-available/tavra-shop.conf\n"
                "                 a2enconf tavra-shop && a2enmod proxy_fcgi\n"
                "                 apache2ctl configtest && systemctl reload apache2\n"
                "  nginx:         include %s/server/nginx-fastcgi.conf; in the site's server { } block\n"
                "                 nginx -t && systemctl reload nginx\n"
                "  lighttpd:      ln -s %s/server/lighttpd-fastcgi.conf /etc/lighttpd/conf-available/50-tavra-shop.conf\n"
                "                 lighty-enable-mod tavra-shop && systemctl reload lighttpd\n",
                at, at, at);
}

}  // namespace shop_tool
