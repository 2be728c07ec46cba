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
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/sealed_box.h"
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

// The text with each sealed value it holds opened; values that do not open
// stay as they are and are reported with their line. False when any did not.
bool open_sealed_values(std::string_view text, const std::string& key, const std::string& name, std::string& out) {
    bool all = true;
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = text.find(sealed_box::kPrefix, from);
        out.append(text.substr(from, at == std::string_view::npos ? std::string_view::npos : at - from));
        if (at == std::string_view::npos) return all;
        std::size_t end = at + sealed_box::kPrefix.size();
        while (end < text.size() && is_base64_char(text[end])) ++end;
        const std::string_view sealed = text.substr(at, end - at);
        if (const auto plain = sealed_box::open(sealed, key)) {
            // Quoted when it would break a record's columns, as the batch
            // and the tables would have written it in the clear.
            out += csv_field(*plain);
        } else {
            out.append(sealed);
            const auto line = std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n') + 1;
            refuse(name + ":" + std::to_string(line) + ": a sealed value does not open with this key");
            all = false;
        }
        from = end;
    }
}

}  // namespace

int keygen(const Args& args) {
    const auto file = args.option("secret");
    if (!file || file->empty()) return refuse("keygen needs --secret FILE for the secret key");
    const std::string shop = resolved(shop_folder(args.words[0]));
    const std::string secret_file = resolved(*file);
    // Whoever can read the shop, the web server's user first, must not find
    // the key that opens what the shop sealed.
    if (secret_file == shop || inside(secret_file, shop))
        return refuse("the secret key must not lie inside the shop " + shop);
    const auto cfg = existing_config(args.words[0]);
    if (!cfg) return kFailed;

    const sealed_box::KeyPair pair = sealed_box::new_key_pair();
    switch (files::create_owner_only(secret_file, pair.secret_key + "\n")) {
        case files::Created::created:
            break;
        case files::Created::exists:
            return refuse(secret_file + " exists: a key in use is never replaced");
        case files::Created::failed:
            return refuse("cannot write " + secret_file);
    }
    {
        profile::Lock hold(*cfg, profile::Durability::synced);
        profile::write(*cfg, "Card Data", "sealkey", pair.public_key);
    }
    profile::forget_all();
    if (profile::read_text(*cfg, "Card Data", "sealkey", {}, std::string::npos) != pair.public_key) {
        files::remove(secret_file);
        return refuse("could not write " + *cfg);
    }
    std::printf("secret key in %s; card numbers of %s are sealed from now on\n", secret_file.c_str(), shop.c_str());
    return kDone;
}

int open(const Args& args) {
    const auto key = secret_key(args);
    if (!key) return kFailed;
    bool all = true;
    auto copy = [&](std::string_view text, const std::string& name) {
        std::string out;
        all = open_sealed_values(text, *key, name, out) && all;
        if (!files::write_all(STDOUT_FILENO, out)) all = false;
    };
    if (args.words.empty()) copy(standard_input(), "standard input");
    for (const std::string& path : args.words) {
        const auto text = files::read(path);
        if (text) copy(*text, path);
        else all = (refuse("cannot read " + path), false);
    }
    return all ? kDone : kFailed;
}

}  // namespace shop_tool
