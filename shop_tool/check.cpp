// tavra-shop check DIR: reads the shop as the programs do and reports, one
// line each, what would break a purchase. Exit status 0 when nothing does.
#include <cstdio>
#include <algorithm>
#include <filesystem>
#include <regex>
#include <set>

#include "request/config.h"
#include "platform/accounts.h"
#include "platform/files.h"
#include "platform/sealed_box.h"
#include "platform/profile_document.h"
#include "checkout/card_fields.h"
#include "shop_tool/shop_places.h"
#include "shop_tool/layout.h"
#include "shop_tool/page_check.h"
#include "shop_tool/tool.h"

namespace fs = std::filesystem;

namespace shop_tool {
namespace {

class Checker {
public:
    Checker(shop_paths::Shop shop, accounts::Account user)
        : at_(std::move(shop)), shop_(at_.folder()), user_(std::move(user)) {}

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
    void clear_card_numbers(const Config& config);
    std::optional<std::string> read_file(const std::string& path);

    shop_paths::Shop at_;
    std::set<std::string> refused_;  // paths read_file refused, each reported once
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

// A file the shop's configuration names, reached from the shop's folder
// without links; one outside the shop is not read. A refusal other than a
// missing file is a fault of its own, reported once, and the path is noted
// in refused_.
std::optional<std::string> Checker::read_file(const std::string& path) {
    if (refused_.count(path)) return std::nullopt;
    std::string refusal = path + ": outside the shop " + shop_ + "; not read";
    const auto rel = inside_shop(at_, path);
    auto text = rel ? at_.read(*rel, shop_paths::Belongs::either, refusal) : std::nullopt;
    const std::string_view missing = ": does not exist";
    if (!text && (refusal.size() < missing.size() ||
                  refusal.compare(refusal.size() - missing.size(), missing.size(), missing) != 0)) {
        fault(refusal);
        refused_.insert(path);
    }
    return text;
}

// The item table of the item tags; what it holds is read by the page check.
void Checker::item_table(const std::string& path) {
    if (!read_file(path) && !refused_.count(path)) fault(path + ": no such item table");
}

// Baskets that still hold a card number in the clear while the shop seals
// them: taken before the key was set and not sealed since.
void Checker::clear_card_numbers(const Config& config) {
    std::string refusal;
    const auto folder = data_folder(at_, "basketdir", config.basketdir + "basket/", refusal);
    if (!folder) return fault(refusal);
    for (const std::string& name : shop_paths::names_in(*folder)) {
        const auto st = shop_paths::status_in(*folder, name);
        if (name[0] == '.' || !st || !st->is_file()) continue;
        const std::string basket = folder->path() + "/" + name;
        profile::Lock hold(basket, profile::Durability::cached, profile::Links::refused);
        const auto held = profile::held(basket);
        if (held && held->owner == at_.user() && holds_clear_card_number(basket))
            fault(at_.place(*inside_shop(at_, config.basketdir + "basket/" + name)) +
                  ": holds a card number in the clear although sealkey is set");
    }
}

int Checker::run() {
    const std::string cfg = config_file(shop_);
    Config config;
    std::string refusal;
    const auto cfg_text = config_text(at_, refusal);
    if (!cfg_text) {
        fault(refusal);
        return kFailed;
    }
    switch (parse_config(*cfg_text, config)) {
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
    check_shop_pages(shop_, config, *cfg_text,
                     [this](const std::string& file, int line, const std::string& what) {
                         fault(file + ":" + std::to_string(line) + ": " + what);
                     });

    // Order tables switched on need folders the server's user can write.
    const auto order_control = profile::Document::parse(*cfg_text);
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
    if (order_control.get("Card Data", "sealkey") && !config.basketdir.empty()) clear_card_numbers(config);

    program("tavra.exe", "the basket program");
    program("ship.exe", "the shipping calculator");
    program("blat.exe", "the mailer");

    if (faults_ == 0) std::printf("%s: nothing found that would break a purchase\n", shop_.c_str());
    return faults_ == 0 ? kDone : kFailed;
}

}  // namespace

int check(const Args& args) {
    const std::string shop = shop_folder(args.words[0]);
    auto at = open_shop(shop);
    if (!at) return kFailed;
    std::optional<accounts::Account> user;
    if (auto name = args.option("user")) {
        user = accounts::find(*name);
        if (!user) return refuse("no user " + *name + " on this machine");
    } else {
        // The server's user is the one create gave the configuration to.
        user = accounts::owner_of(config_file(shop));
        if (!user) user = accounts::current();
    }
    return Checker(std::move(*at), *user).run();
}

}  // namespace shop_tool
