// tavra-shop create DIR: a new shop laid out from the sample shop, the
// programs linked in, a snippet for each web server, and the shop registered
// for the daily clean-up and the log rotation.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/limits.h"
#include "common/numbers.h"
#include "platform/accounts.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "shop_tool/layout.h"
#include "shop_tool/tool.h"

namespace fs = std::filesystem;

namespace shop_tool {
namespace {

// The installed program behind each name the shop's programs start.
const std::pair<const char*, const char*> kPrograms[] = {
    {"tavra.exe", "tavra"}, {"ship.exe", "ship"}, {"blat.exe", "mailer"}};
const char* const kSampleFolders[][2] = {{"public", "web"}, {"pages", "pages"}, {"styles", "styles"}};
const char* const kDataFolders[] = {"data", "data/baskets", "data/baskets/basket", "data/mail", "data/batch",
                                    "data/exports"};
constexpr const char* kFirstInvoice = "1000";

// Characters a shop folder may hold: it is written unquoted into server
// configurations, the log rotation rule and tavra.cfg.
bool plain_path(const std::string& path) {
    if (path.size() < 2 || path[0] != '/') return false;
    for (char c : path)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || std::string_view("/._-+@").find(c) != std::string::npos))
            return false;
    return path.find("/.") == std::string::npos;
}

bool same_folder_rename(const std::string& temp, const std::string& path) {
    std::error_code error;
    fs::rename(temp, path, error);
    if (error) fs::remove(temp, error);
    return !error;
}

// Writes a whole file under a temporary name and renames it into place.
bool put_file(const std::string& path, const std::string& text, const Owner& owner, mode_t mode) {
    const std::string temp = fs::path(path).parent_path().string() + "/." + fs::path(path).filename().string() + ".new";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush()) return false;
    }
    if (!owner.give(temp, mode)) return false;
    return same_folder_rename(temp, path);
}

bool put_link(const std::string& path, const std::string& target) {
    const std::string temp = fs::path(path).parent_path().string() + "/." + fs::path(path).filename().string() + ".new";
    std::error_code error;
    fs::remove(temp, error);
    fs::create_symlink(target, temp, error);
    return !error && Owner::root().give(temp, std::nullopt) && same_folder_rename(temp, path);
}

// The text with each tag replaced by its value in one pass: a value is
// never searched for tags itself.
std::string replaced(const std::string& text, const std::vector<std::pair<std::string, std::string>>& values) {
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        bool found = false;
        for (const auto& [tag, value] : values)
            if (text.compare(at, tag.size(), tag) == 0) {
                out += value;
                at += tag.size();
                found = true;
                break;
            }
        if (!found) out += text[at++];
    }
    return out;
}

// Why a merchant's detail cannot stand as a value of tavra.cfg, or nothing.
std::string detail_refusal(const char* option, const std::string& value) {
    for (char c : value)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return std::string("--") + option + " takes one line without control characters";
    if (value.size() > limits::kConfigValue)
        return std::string("--") + option + " takes at most " + std::to_string(limits::kConfigValue) + " characters";
    return {};
}

std::string shop_id(const std::string& shop) {
    std::string id = shop.substr(1);
    for (char& c : id)
        if (c == '/') c = '_';
    return id;
}

std::string rotation_rule(const std::string& shop, const Owner& owner) {
    std::ostringstream rule;
    rule << "# The logs of the shop in " << shop << ", registered by tavra-shop create.\n"
         << shop << "/cgi-bin/runlog.txt " << shop << "/cgi-bin/errlog.txt {\n"
         << "    su " << owner.user.name << " " << owner.user.group << "\n"
         << "    weekly\n    maxsize 10M\n    rotate 8\n    compress\n    delaycompress\n"
         << "    missingok\n    notifempty\n    nocreate\n}\n";
    return rule.str();
}

// Adds the shop to the registry that the daily clean-up and the log
// rotation read.
bool register_shop(const Places& places, const std::string& shop, const Owner& owner) {
    std::error_code error;
    fs::create_directories(places.registry + "/logrotate", error);
    if (error) return false;
    const std::string list = places.registry + "/shops";
    bool listed = false;
    for (const std::string& known : registered_shops(places)) listed = listed || known == shop;
    if (!listed && !files::append(list, shop + "\n")) return false;
    return put_file(places.registry + "/logrotate/" + shop_id(shop), rotation_rule(shop, owner), Owner::root(), 0644);
}

void print_next_steps(const std::string& shop, const Owner& owner, const std::string& url, bool details_given) {
    std::printf("The shop is laid out in %s; the web server's user %s writes its cgi-bin/ and data/.\n"
                "Its address will be %s (the thank-you page: %sthanks.html).\n\n"
                "Next, enable it in the web server you run (each file begins with how):\n"
                "  Apache httpd:      %s/server/apache.conf\n"
                "  nginx + fcgiwrap:  %s/server/nginx.conf\n"
                "  lighttpd:          %s/server/lighttpd.conf\n\n",
                shop.c_str(), owner.user.name.c_str(), url.c_str(), url.c_str(), shop.c_str(), shop.c_str(),
                shop.c_str());
    if (!details_given)
        std::printf("Then set the merchant's details (or give create --email and --name):\n"
                    "  tavra-shop set %s \"Program Config\" email orders@your-shop.example\n"
                    "  tavra-shop set %s \"Program Config\" name \"Your Shop\"\n",
                    shop.c_str(), shop.c_str());
    std::printf("Check the shop:\n  tavra-shop check %s\n", shop.c_str());
}

}  // namespace

int create(const Args& args) {
    const Places places = places_from(args);
    const std::string shop = shop_folder(args.words[0]);
    const bool renew = args.flag("renew");
    if (!plain_path(shop))
        return refuse("a shop folder is an absolute path of letters, digits and / . _ - + @: " + shop);

    const auto url = ShopUrl::parse(args.option("url").value_or("http://localhost/"));
    if (!url) return refuse("--url takes an address such as https://shop.example/ or http://host:8080/shop/");
    std::string why;
    const auto owner = Owner::for_shop(args.option("user"), why);
    if (!owner) return refuse(why);

    // Everything is checked before the first file is written.
    const std::string cfg = config_file(shop);
    std::error_code error;
    if (!renew && fs::exists(cfg, error)) return refuse(shop + " already holds a shop");
    if (fs::exists(shop, error) && !fs::is_directory(shop, error)) return refuse(shop + " is not a folder");
    for (const auto& [link, program] : kPrograms)
        if (!fs::is_regular_file(places.programs + "/" + program, error))
            return refuse("no program " + places.programs + "/" + program);
    for (const auto& folder : kSampleFolders)
        if (!fs::is_directory(places.sample + "/" + folder[0], error))
            return refuse("no sample folder " + places.sample + "/" + folder[0]);
    const auto cfg_template = files::read(places.sample + "/tavra.cfg.in");
    if (!cfg_template) return refuse("no configuration template " + places.sample + "/tavra.cfg.in");
    std::vector<std::pair<std::string, std::string>> snippets;
    for (const char* server : kServers) {
        const auto text = files::read(places.templates + "/" + server + ".conf.in");
        if (!text) return refuse("no server template " + places.templates + "/" + server + ".conf.in");
        snippets.emplace_back(server, *text);
    }

    // The merchant's address and name, empty until given (check reports
    // them). A renewed shop keeps the last invoice number it issued and the
    // details it was given, unless new ones are.
    std::string email = args.option("email").value_or(""), name = args.option("name").value_or("");
    for (const auto& [option, value] : {std::pair<const char*, const std::string*>{"email", &email}, {"name", &name}})
        if (std::string bad = detail_refusal(option, *value); !bad.empty()) return refuse(bad);
    std::string invnumber = kFirstInvoice;
    if (renew && fs::exists(cfg, error)) {
        const std::string kept = profile::read_text(cfg, "Program Config", "invnumber");
        if (!kept.empty() && kept.find_first_not_of("0123456789") == std::string::npos) invnumber = kept;
        if (!args.option("email")) email = profile::read_text(cfg, "Program Config", "email");
        if (!args.option("name")) name = profile::read_text(cfg, "Program Config", "name");
    }

    const Owner root = Owner::root();
    bool ok = true;
    auto folder = [&](const std::string& rel, const Owner& who, mode_t mode) {
        const std::string path = rel.empty() ? shop : shop + "/" + rel;
        std::error_code made;
        fs::create_directories(path, made);
        ok = !made && who.give(path, mode) && ok;
    };
    folder("", root, 0755);
    for (const auto& f : kSampleFolders) {
        folder(f[1], root, 0755);
        fs::copy(places.sample + "/" + f[0], shop + "/" + f[1],
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing, error);
        ok = !error && root.give_tree(shop + "/" + f[1]) && ok;
    }
    folder("server", root, 0755);
    // The program folder holds what the server's user writes (tavra.cfg,
    // the logs, batchcfg.ini, outbox/) beside root's links to the programs;
    // the sticky bit keeps the user from replacing what it does not own.
    folder("cgi-bin", owner->group_of_root(), owner->is_root_run ? 01770 : 0700);
    for (const char* data : kDataFolders) folder(data, *owner, 0700);

    const std::string shop_url = url->text();
    ok = put_file(cfg,
                  replaced(*cfg_template, {{"@SHOP@", shop},
                                           {"@URL@", shop_url},
                                           {"@INVNUMBER@", invnumber},
                                           {"@EMAIL@", email},
                                           {"@NAME@", name}}),
                  *owner, 0600) &&
         ok;
    for (const auto& [link, program] : kPrograms)
        ok = put_link(shop + "/cgi-bin/" + link, places.programs + "/" + program) && ok;
    for (const auto& [server, text] : snippets) {
        const std::string filled = replaced(text, {{"@SHOP@", shop},
                                                   {"@USER@", owner->user.name},
                                                   {"@GROUP@", owner->user.group},
                                                   {"@PREFIX@", url->path}});
        ok = put_file(shop + "/server/" + server + ".conf", filled, root, 0644) && ok;
    }
    if (!ok) return refuse("could not lay out every part of " + shop + "; see what is missing with tavra-shop check");
    if (!renew && !args.flag("no-register") && !register_shop(places, shop, *owner))
        return refuse("the shop is laid out but could not be registered in " + places.registry +
                      " for the daily clean-up and the log rotation");
    if (!renew) print_next_steps(shop, *owner, shop_url, !email.empty() && !name.empty());
    return kDone;
}

}  // namespace shop_tool
