// tavra-shop check DIR: reads the shop as the programs do and reports, one
// line each, what would break a purchase. Exit status 0 when nothing does.
#include <cstdio>
#include <algorithm>
#include <filesystem>
#include <regex>

#include "request/config.h"
#include "platform/accounts.h"
#include "platform/files.h"
#include "platform/sealed_box.h"
#include "platform/profile_document.h"
#include "shop_tool/layout.h"
#include "shop_tool/page_check.h"
#include "shop_tool/tool.h"

namespace fs = std::filesystem;

namespace shop_tool {
namespace {

class Checker {
public:
    Checker(std::string shop, accounts::Account user) : shop_(std::move(shop)), user_(std::move(user)) {}

    int run();

private:
    void fault(const std::string& line) {
        std::printf("%s\n", line.c_str());
        ++faults_;
    }
    std::string program_path(const std::string& value) const {
        return !value.empty() && value[0] == '/' ? value : shop_ + "/cgi-bin/" + value;
    }
    void required(const char* key, const std::string& value) {
        if (value.empty()) fault("tavra.cfg: no " + std::string(key) + "= after [Program Config]");
    }
    void folder(const char* key, const std::string& value, int access);
    void program(const std::string& name, const char* what);
    void item_table(const std::string& path);

    std::string shop_;
    accounts::Account user_;
    int faults_ = 0;
};

bool plain_decimal(const std::string& text) {
    static const std::regex kDecimal("[0-9]+(\\.[0-9]+)?");
    return std::regex_match(text, kDecimal);
}

// A folder value of tavra.cfg: present, a folder, ending in "/" (names are
// appended to it), and open to the server's user as `access` asks.
void Checker::folder(const char* key, const std::string& value, int access) {
    if (value.empty()) return;  // reported as missing
    const std::string path = program_path(value);
    std::error_code error;
    if (!fs::is_directory(path, error)) return fault(std::string(key) + "=" + value + ": no such folder");
    if (value.back() != '/') fault(std::string(key) + "=" + value + ": must end with /");
    if (!accounts::allows(user_, path, access | accounts::search))
        fault(std::string(key) + "=" + value + ": " + user_.name + " cannot " +
              (access & accounts::write ? "write" : "read") + " it");
}

void Checker::program(const std::string& name, const char* what) {
    const std::string path = shop_ + "/cgi-bin/" + name;
    std::error_code error;
    if (!fs::is_regular_file(path, error)) return fault("cgi-bin/" + name + ": " + what + " is missing");
    if (!accounts::allows(user_, path, accounts::read | accounts::search))
        fault("cgi-bin/" + name + ": " + what + " cannot start: " + user_.name + " cannot run it");
}

// The item table of the item tags; what it holds is read by the page check.
void Checker::item_table(const std::string& path) {
    if (!files::read(path)) fault(path + ": no such item table");
}

int Checker::run() {
    const std::string cfg = config_file(shop_);
    Config config;
    switch (read_config(cfg, config)) {
        case ConfigRead::cannot_open: fault(cfg + ": cannot be opened"); return kFailed;
        case ConfigRead::cannot_read: fault(cfg + ": no line [Program Config]"); return kFailed;
        case ConfigRead::ok: break;
    }
    if (!accounts::allows(user_, cfg, accounts::read | accounts::write))
        fault("tavra.cfg: " + user_.name + " cannot read and write it");
    const std::pair<const char*, const std::string*> keys[] = {
        {"webdir", &config.webdir},       {"thanks", &config.thanks},   {"tax", &config.tax},
        {"maildir", &config.maildir},
        {"batchfile", &config.batchfile}, {"invnumber", &config.invnumber}, {"basketdir", &config.basketdir},
        {"dbfile", &config.dbfile},       {"cgiurl", &config.cgiurl},   {"styles", &config.styles}};
    for (const auto& [key, value] : keys) required(key, *value);

    folder("webdir", config.webdir, accounts::read);
    folder("styles", config.styles, accounts::read);
    folder("maildir", config.maildir, accounts::write);
    folder("batchfile", config.batchfile, accounts::write);
    folder("basketdir", config.basketdir, accounts::search);
    if (!config.basketdir.empty()) folder("basketdir=...basket/ ", config.basketdir + "basket/", accounts::write);
    if (!accounts::allows(user_, shop_ + "/cgi-bin", accounts::write | accounts::search))
        fault("cgi-bin/: " + user_.name + " cannot write the logs and batch counters there");

    if (!config.tax.empty() && !plain_decimal(config.tax)) fault("tax=" + config.tax + ": not a plain decimal such as 0.08");
    if (!config.invnumber.empty() && config.invnumber.find_first_not_of("0123456789") != std::string::npos)
        fault("invnumber=" + config.invnumber + ": not a whole number");
    static const std::regex kAbsolute("https?://[^/?#\\s]+(/[^\\s]*)?");
    if (!config.thanks.empty() && !std::regex_match(config.thanks, kAbsolute))
        fault("thanks=" + config.thanks + ": not an absolute address such as https://shop.example/thanks.html");
    if (!config.dbfile.empty()) item_table(program_path(config.dbfile));
    check_shop_pages(shop_, config, files::read(cfg).value_or(""),
                     [this](const std::string& file, int line, const std::string& what) {
                         fault(file + ":" + std::to_string(line) + ": " + what);
                     });

    // Order tables switched on need folders the server's user can write.
    const auto order_control = profile::Document::parse(files::read(cfg).value_or(""));
    if (order_control.get("Order Control", "tables") == std::string_view("on"))
        for (const char* table : {"customer", "order", "shipment"}) {
            const std::string path(order_control.get("Order Control", table).value_or(""));
            if (path.empty()) fault(std::string("tavra.cfg: no ") + table + "= in [Order Control]");
            else if (!accounts::allows(user_, fs::path(program_path(path)).parent_path().string(),
                                       accounts::write | accounts::search))
                fault(std::string(table) + "=" + path + ": " + user_.name + " cannot write its folder");
        }

    // A seal key that cannot seal stops every step 2.
    if (const auto key = order_control.get("Card Data", "sealkey"); key && !sealed_box::key_valid(*key))
        fault("sealkey in [Card Data]: not the base64 of a 32-byte key (make one with tavra-shop keygen)");

    program("tavra.exe", "the basket program");
    program("ship.exe", "the shipping calculator");
    program("blat.exe", "the mailer");

    if (faults_ == 0) std::printf("%s: nothing found that would break a purchase\n", shop_.c_str());
    return faults_ == 0 ? kDone : kFailed;
}

}  // namespace

int check(const Args& args) {
    const std::string shop = shop_folder(args.words[0]);
    std::optional<accounts::Account> user;
    if (auto name = args.option("user")) {
        user = accounts::find(*name);
        if (!user) return refuse("no user " + *name + " on this machine");
    } else {
        // The server's user is the one create gave the configuration to.
        user = accounts::owner_of(config_file(shop));
        if (!user) user = accounts::current();
    }
    return Checker(shop, *user).run();
}

}  // namespace shop_tool
