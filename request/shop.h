// The shop a request is answered for: its configuration file read once, at
// the request's start, with everything the commands take from it. A shop is
// built afresh for every request and handed down to the commands, so that
// nothing read for one request is seen by the next.
#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "common/limits.h"
#include "platform/profile_document.h"
#include "request/config.h"
#include "request/switches.h"

// tavra.cfg has two readers with different rules, and each program keeps
// the one it has always used for "[Program Config]":
// - the line reader (parse_config): every line after the exact line
//   "[Program Config]", the last of a key winning; tavra and the mailer's
//   mail folder. A file that cannot be read this way is a fatal error.
// - the profile store (platform/profile_document.h): the first section of
//   that name in any letter case, keys in any letter case; ship reads "webdir",
//   "basketdir", "tax", "shiptable" and "dbfile" this way and leaves the
//   other keys empty. A missing file reads as empty.
// Everything else (switches, "Order Control", "Mail Delivery") is read by
// the profile store in every program.
enum class ConfigReading { line_reader, profile_store };

// The "Order Control" entries beyond the switches: whether confirm writes
// the order tables and sends the merchant a copy of the order mail, and the
// tables' paths.
struct OrderControl {
    bool tables = false;
    bool email = false;
    std::string customer;
    std::string order;
    std::string shipment;
};

struct Shop {
    std::string program_dir;  // with the trailing "/"
    std::string config_file;  // program_dir + "tavra.cfg"
    ConfigReading reading = ConfigReading::line_reader;
    // The line reader's verdict on the file; ok for the profile store's
    // reading, which takes a missing file as empty.
    ConfigRead read = ConfigRead::ok;
    // "[Program Config]" as `reading` reads it. confirm moves `invnumber`
    // on and refreshes `email` (refresh_email).
    Config config;
    // The whole file as the profile store parsed it.
    profile::Document store;
    Switches switches;
    OrderControl order_control;

    // A value of the file as the profile store reads it, cut to `room`;
    // `fallback` when the section or the key is missing.
    std::string stored(std::string_view section, std::string_view key, std::string_view fallback = {},
                       std::size_t room = limits::kProfileValue) const;

    // The basket file of a basket name: the basket directory followed
    // directly by the name.
    std::string basket_file(std::string_view basket) const { return config.basketdir + std::string(basket); }

    // The amount the merchant sets for the extra charge `description`: its
    // key in section "Extra Charges"; nothing when the section lacks it.
    std::optional<std::string> extra_charge(std::string_view description) const;

    // The mailer beside the programs.
    std::string mailer() const;

    // Reads the merchant's address anew through the profile store, as the
    // file stands now (confirm, after its own store of the invoice number).
    void refresh_email();
};

// Reads the shop of a program directory from its tavra.cfg, as it stands
// now, the "[Program Config]" record by `reading`.
Shop read_shop(const std::string& program_dir, ConfigReading reading);
