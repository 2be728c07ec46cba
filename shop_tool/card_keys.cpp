// tavra-shop keygen / open: the key pair with which a shop seals card
// numbers, and the merchant's way back to the numbers, on a machine that
// holds the secret key.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <unistd.h>

#include "checkout/csv.h"
#include "common/base64.h"
#include "common/limits.h"
#include "checkout/card_fields.h"
#include "platform/files.h"
#include "platform/profile_document.h"
#include "platform/profile.h"
#include "platform/sealed_box.h"
#include "shop_tool/shop_places.h"
#include "shop_tool/tool.h"

namespace shop_tool {
namespace {

// Standard input is read in pieces of this many bytes.
constexpr std::size_t kInputPiece = 65536;

// The path with every link and ".." resolved, as far as it exists.
std::string resolved(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::weakly_canonical(std::filesystem::absolute(path), ignored).string();
}

bool inside(const std::string& path, const std::string& folder) {
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/';
}

// The secret key held by the file named by --secret, or nothing (refused
// with a message).
std::optional<std::string> secret_key(const Args& args) {
    const auto file = args.option("secret");
    if (!file || file->empty()) return refuse("--secret FILE names the secret key"), std::nullopt;
    const auto text = files::read(*file);
    if (!text) return refuse("cannot read " + *file), std::nullopt;
    std::string key = *text;
    while (!key.empty() && (key.back() == '\n' || key.back() == '\r')) key.pop_back();
    if (!sealed_box::key_valid(key)) return refuse(*file + " holds no secret key"), std::nullopt;
    return key;
}

std::string standard_input() {
    std::string text;
    for (;;) {
        const std::string piece = files::read_standard_input(kInputPiece);
        text += piece;
        if (piece.size() < kInputPiece) return text;
    }
}

// How open writes what it opened.
struct Writing {
    Formulas formulas = Formulas::as_stored;
    std::size_t controls = 0;  // control bytes found in opened values
};

// The value with each control byte (below 0x20, and 0x7f) written as \xNN,
// so that no opened value can steer the terminal or the reader of a batch;
// `found` counts them.
std::string without_control_bytes(std::string_view value, std::size_t& found) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7f) {
            out += c;
            continue;
        }
        ++found;
        out += "\\x";
        out += kHex[byte >> 4];
        out += kHex[byte & 0xf];
    }
    return out;
}

// The text with each sealed value it holds opened; values that do not open
// stay as they are and are reported with their line. False when any did not
// open or held control bytes.
bool open_sealed_values(std::string_view text, const std::string& key, const std::string& name, Writing& writing,
                        std::string& out) {
    bool all = true;
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = text.find(sealed_box::kPrefix, from);
        out.append(text.substr(from, at == std::string_view::npos ? std::string_view::npos : at - from));
        if (at == std::string_view::npos) return all;
        std::size_t end = at + sealed_box::kPrefix.size();
        while (end < text.size() && is_base64_char(text[end])) ++end;
        const std::string_view sealed = text.substr(at, end - at);
        const auto line = std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n') + 1;
        if (const auto plain = sealed_box::open(sealed, key)) {
            // Quoted when it would break a record's columns, as the batch
            // and the tables would have written it in the clear.
            std::size_t controls = 0;
            out += csv_field(without_control_bytes(defused(*plain, writing.formulas), controls));
            if (controls) {
                refuse(name + ":" + std::to_string(line) + ": an opened value holds " + std::to_string(controls) +
                       " control byte" + (controls == 1 ? "" : "s") + ", written as \\xNN");
                writing.controls += controls;
                all = false;
            }
        } else {
            out.append(sealed);
            refuse(name + ":" + std::to_string(line) + ": a sealed value does not open with this key");
            all = false;
        }
        from = end;
    }
}

// The text of a PATH to open: a file in a shop named by --shop is reached
// from the shop's folder; any other is read without following a link in its
// last place.
std::optional<std::string> text_to_open(const std::optional<shop_paths::Shop>& shop, const std::string& path) {
    std::string refusal;
    if (shop)
        if (const auto rel = inside_shop(*shop, shop_folder(path))) {
            auto text = shop->read(*rel, shop_paths::Belongs::either, refusal);
            if (!text) refuse(refusal);
            return text;
        }
    const std::string full = shop_folder(path);
    const std::size_t slash = full.rfind('/');
    const auto folder = shop_paths::open_folder(slash == 0 ? "/" : full.substr(0, slash));
    const auto file = folder ? shop_paths::open_file_in(*folder, full.substr(slash + 1)) : std::nullopt;
    auto text = file ? shop_paths::read_all(*file) : std::nullopt;
    if (!text) refuse("cannot read " + path + " (a link or not a regular file is not opened)");
    return text;
}

// Seals, under each basket's lock, the card numbers that the shop's baskets
// hold in the clear. The count sealed, or -1 when the basket folder is
// refused; `failed` counts baskets left as they were.
int seal_baskets(const shop_paths::Shop& shop, const std::string& basketdir, const std::string& public_key,
                 int& failed) {
    std::string refusal;
    const auto folder = data_folder(shop, "basketdir", basketdir + "basket/", refusal);
    if (!folder) return refuse(refusal), -1;
    int sealed = 0;
    for (const std::string& name : shop_paths::names_in(*folder)) {
        if (name[0] == '.') continue;  // what a stopped run left
        const auto st = shop_paths::status_in(*folder, name);
        if (!st || st->is_folder()) continue;
        const std::string basket = folder->path() + "/" + name;
        profile::Lock hold(basket, profile::Durability::cached, profile::Links::refused);
        const auto held = profile::held(basket);
        if (!held || held->owner != shop.user() || held->links != 1) {
            refuse(shop.place(*inside_shop(shop, basketdir + "basket/" + name)) +
                   ": a link, not a regular file or not the shop user's; not sealed");
            ++failed;
            continue;
        }
        const int count = seal_clear_card_numbers(basket, public_key);
        if (count < 0) return refuse("the new key does not seal"), -1;
        sealed += count;
    }
    return sealed;
}

}  // namespace

int keygen(const Args& args) {
    const auto file = args.option("secret");
    if (!file || file->empty()) return refuse("keygen needs --secret FILE for the secret key");
    const std::string shop_path = resolved(shop_folder(args.words[0]));
    const std::string secret_file = resolved(*file);
    // Whoever can read the shop, the web server's user first, must not find
    // the key that opens what the shop sealed.
    if (secret_file == shop_path || inside(secret_file, shop_path))
        return refuse("the secret key must not lie inside the shop " + shop_path);
    const auto shop = open_shop(args.words[0]);
    if (!shop) return kFailed;

    const auto made = sealed_box::new_key_pair();
    if (!made) return refuse("no key can be made: the system gives no randomness");
    const sealed_box::KeyPair& pair = *made;
    std::string basketdir;
    {
        const auto cfg = HeldConfig::open(*shop);
        if (!cfg) return kFailed;
        // The baskets are sealed below: a basket folder that would be refused
        // then is refused before any key is made.
        basketdir = profile::read_text(cfg->path(), "Program Config", "basketdir", {}, limits::kConfigValue);
        std::string refusal;
        if (!basketdir.empty() && !data_folder(*shop, "basketdir", basketdir + "basket/", refusal))
            return refuse(refusal);
        switch (files::create_owner_only(secret_file, pair.secret_key + "\n")) {
            case files::Created::created:
                break;
            case files::Created::exists:
                return refuse(secret_file + " exists: a key in use is never replaced");
            case files::Created::failed:
                return refuse("cannot write " + secret_file);
        }
        profile::write(cfg->path(), "Card Data", "sealkey", pair.public_key);
        if (!profile::store_now(cfg->path()) ||
            profile::read_text(cfg->path(), "Card Data", "sealkey", {}, std::string::npos) != pair.public_key) {
            files::remove(secret_file);
            return refuse("could not write " + shop->place("cgi-bin/tavra.cfg"));
        }
    }
    std::printf("secret key in %s; card numbers of %s are sealed from now on\n", secret_file.c_str(),
                shop->folder().c_str());
    // Baskets that took a card number before the key was set are sealed now,
    // each under its lock (a basket is locked before tavra.cfg, so the lock
    // of tavra.cfg is gone by now).
    if (basketdir.empty()) return kDone;
    int failed = 0;
    const int sealed = seal_baskets(*shop, basketdir, pair.public_key, failed);
    if (sealed < 0) return kFailed;
    std::printf("%d card number%s already in baskets sealed\n", sealed, sealed == 1 ? "" : "s");
    return failed == 0 ? kDone : kFailed;
}

int open(const Args& args) {
    const auto key = secret_key(args);
    if (!key) return kFailed;
    std::optional<shop_paths::Shop> shop;
    Writing writing;
    if (args.flag("safecsv")) writing.formulas = Formulas::defused;
    if (const auto word = args.option("shop")) {
        shop = open_shop(*word);
        if (!shop) return kFailed;
        std::string refusal;
        const auto text = config_text(*shop, refusal);
        if (!text) return refuse(refusal);
        if (profile::Document::parse(*text).get("Order Control", "safecsv") == std::string_view("on"))
            writing.formulas = Formulas::defused;
    }
    bool all = true;
    auto copy = [&](std::string_view text, const std::string& name) {
        std::string out;
        all = open_sealed_values(text, *key, name, writing, out) && all;
        if (!files::write_all(STDOUT_FILENO, out)) all = false;
    };
    if (args.words.empty()) copy(standard_input(), "standard input");
    for (const std::string& path : args.words) {
        const auto text = text_to_open(shop, path);
        if (text) copy(*text, path);
        else all = false;
    }
    return all ? kDone : kFailed;
}

}  // namespace shop_tool
