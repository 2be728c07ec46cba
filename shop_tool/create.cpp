// tavra-shop create DIR: a new shop laid out from the sample shop, the
// programs linked in, a snippet for each web server, and the shop registered
// for the daily clean-up and the log rotation; with --fastcgi also the
// FastCGI snippets and the settings of the shop's FastCGI units.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "common/limits.h"
#include "common/numbers.h"
#include "platform/accounts.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "shop_tool/fastcgi.h"
#include "shop_tool/layout.h"
#include "shop_tool/shop_places.h"
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
    const auto rules = shop_paths::open_folder(places.registry + "/logrotate");
    return rules && shop_paths::put_file_in(*rules, shop_id(shop), rotation_rule(shop, owner), Owner::root().giving(0644)) &&
           write_clean_unit_paths(places);
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
    const bool fastcgi = args.flag("fastcgi");
    const bool registered = !args.flag("no-register");
    if (!plain_path(shop))
        return refuse("a shop folder is an absolute path of letters, digits and / . _ - + @: " + shop);
    if (std::string bad = fastcgi ? fastcgi_refusal(shop) : ""; !bad.empty()) return refuse(bad);

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
    for (const char* server : kServers)
        for (const char* way : {"", "-fastcgi"}) {
            if (*way && !fastcgi) continue;
            const std::string name = std::string(server) + way;
            const auto text = files::read(places.templates + "/" + name + ".conf.in");
            if (!text) return refuse("no server template " + places.templates + "/" + name + ".conf.in");
            snippets.emplace_back(name, *text);
        }

    // The merchant's address and name, empty until given (check reports
    // them). A renewed shop keeps the details it was given, unless new ones
    // are.
    std::string email = args.option("email").value_or(""), name = args.option("name").value_or("");
    for (const auto& [option, value] : {std::pair<const char*, const std::string*>{"email", &email}, {"name", &name}})
        if (std::string bad = detail_refusal(option, *value); !bad.empty()) return refuse(bad);

    fs::create_directories(shop, error);
    std::string refusal;
    const Owner root = Owner::root();
    auto opened = shop_paths::Shop::open(shop, owner->user.uid, refusal);
    if (!opened) return refuse(refusal);
    if (!opened->give_own_folder(root.giving(0755), refusal)) return refuse(refusal);
    opened = shop_paths::Shop::open(shop, owner->user.uid, refusal);  // with its keeper now
    if (!opened) return refuse(refusal);
    const shop_paths::Shop& at = *opened;

    // A renewed shop keeps the last invoice number it issued; its tavra.cfg
    // stays locked until the new one is in place, so that no order
    // confirmed meanwhile is lost.
    std::string invnumber = kFirstInvoice;
    std::unique_ptr<HeldConfig> old_cfg;
    if (renew && shop_paths::status_in(at.handle(), "cgi-bin")) {
        const auto cgi_bin = at.folder("cgi-bin", shop_paths::Belongs::keeper, refusal);
        if (!cgi_bin) return refuse(refusal);
        if (shop_paths::status_in(*cgi_bin, "tavra.cfg")) {
            old_cfg = HeldConfig::open(at);
            if (!old_cfg) return kFailed;
            const std::string kept = profile::read_text(old_cfg->path(), "Program Config", "invnumber");
            if (!kept.empty() && kept.find_first_not_of("0123456789") == std::string::npos) invnumber = kept;
            if (!args.option("email")) email = profile::read_text(old_cfg->path(), "Program Config", "email");
            if (!args.option("name")) name = profile::read_text(old_cfg->path(), "Program Config", "name");
        }
    }

    // Every place is made or replaced from the shop's folder down, following
    // no link and refusing a folder of the wrong owner; the first refusal
    // ends the run.
    using shop_paths::Belongs;
    auto folder = [&](const std::string& rel, const Owner& who, mode_t mode, Belongs belongs) {
        return at.make_folder(rel, who.giving(mode), belongs, refusal);
    };
    auto file = [&](const std::string& rel, const std::string& text, const Owner& who, mode_t mode) {
        return at.put_file(rel, text, who.giving(mode), Belongs::keeper, refusal);
    };
    bool ok = true;
    for (const auto& f : kSampleFolders) {
        ok = ok && folder(f[1], root, 0755, Belongs::keeper);
        const fs::path from = places.sample + "/" + f[0];
        for (fs::recursive_directory_iterator it(from, error), end; ok && !error && it != end; it.increment(error)) {
            const std::string rel = std::string(f[1]) + "/" + fs::relative(it->path(), from).string();
            if (it->is_directory()) ok = folder(rel, root, 0755, Belongs::keeper);
            else if (const auto text = files::read(it->path().string())) ok = file(rel, *text, root, 0644);
        }
        if (error) return refuse("cannot copy " + from.string() + ": " + error.message());
    }
    ok = ok && folder("server", root, 0755, Belongs::keeper);
    // The FastCGI programs' sockets, which their socket units make.
    if (fastcgi) ok = ok && folder("fcgi", root, 0755, Belongs::keeper);
    // The program folder holds what the server's user writes (tavra.cfg,
    // the logs, batchcfg.ini, outbox/) beside root's links to the programs;
    // the sticky bit keeps the user from replacing what it does not own.
    ok = ok && folder("cgi-bin", owner->group_of_root(), owner->is_root_run ? 01770 : 0700, Belongs::keeper);
    for (const char* data : kDataFolders) ok = ok && folder(data, *owner, 0700, Belongs::user);
    if (!ok) return refuse(refusal);

    const std::string shop_url = url->text();
    ok = file("cgi-bin/tavra.cfg",
              replaced(*cfg_template, {{"@SHOP@", shop},
                                       {"@URL@", shop_url},
                                       {"@INVNUMBER@", invnumber},
                                       {"@EMAIL@", email},
                                       {"@NAME@", name}}),
              *owner, 0600);
    old_cfg.reset();
    for (const auto& [link, program] : kPrograms)
        ok = ok && at.put_link(std::string("cgi-bin/") + link, places.programs + "/" + program,
                               root.giving(0777), Belongs::keeper, refusal);
    std::vector<std::pair<std::string, std::string>> values = {
        {"@SHOP@", shop}, {"@USER@", owner->user.name}, {"@GROUP@", owner->user.group}, {"@PREFIX@", url->path}};
    if (fastcgi)
        for (auto& value : fastcgi_snippet_values(shop)) values.push_back(std::move(value));
    for (const auto& [server, text] : snippets) {
        const std::string filled = replaced(text, values);
        ok = ok && file("server/" + std::string(server) + ".conf", filled, root, 0644);
    }
    if (!ok) return refuse(refusal);
    if (!renew && registered && !register_shop(places, shop, *owner))
        return refuse("the shop is laid out but could not be registered in " + places.registry +
                      " for the daily clean-up and the log rotation");
    if (fastcgi && registered && !write_fastcgi_unit_settings(places, shop, *owner))
        return refuse("the shop is laid out but the settings of its FastCGI units could not be written in " +
                      places.unit_settings);
    if (!renew) print_next_steps(shop, *owner, shop_url, !email.empty() && !name.empty());
    if (fastcgi) print_fastcgi_steps(shop, *owner, registered);
    return kDone;
}

}  // namespace shop_tool
