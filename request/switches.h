// The merchant's switches in tavra.cfg beyond the shop's basic settings.
// Each is off unless the merchant turns it on, and a shop that leaves them
// off behaves, and writes its files, as it always has.
#pragma once
#include <optional>
#include <string>

struct Switches {
    // "Order Control"/"pricecheck" = "on": an added line takes its price and
    // shipping value from the item table (`dbfile`), never from the form.
    bool pricecheck = false;
    // "Order Control"/"maskcard" = "on": the order mail and the export
    // tables show card numbers masked.
    bool maskcard = false;
    // "Order Control"/"safecsv" = "on": export values a spreadsheet would
    // run as a formula are written with a "'" in front.
    bool safecsv = false;
    // "Card Data"/"sealkey": the merchant's public key; card numbers are
    // stored sealed with it. Empty when not set.
    std::string sealkey;

    // Whether card numbers are shown masked: asked for, or stored sealed.
    bool masks_cards() const { return maskcard || !sealkey.empty(); }
};

// The switches of the configuration file of a program directory, read
// through the profile store like the other "Order Control" entries. Each
// "on" is matched exactly, as "tables" and "email" are.
Switches read_switches(const std::string& program_dir);
