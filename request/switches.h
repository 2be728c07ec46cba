// The merchant's switches in tavra.cfg beyond the shop's basic settings.
// Each is off unless the merchant turns it on, and a shop that leaves them
// off behaves, and writes its files, as it always has.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/profile_document.h"

struct Switches {
    // "Order Control"/"pricecheck" = "on": the merchant sets every amount. An
    // added line takes its name, price and shipping value from the item table
    // (`dbfile`), never from the form; step 3 takes the amounts of extra
    // charges from "Extra Charges"; ship's rules come from `shiptable`.
    bool pricecheck = false;
    // "Order Control"/"taxstates": the "stpr" values, separated by commas,
    // whose shoppers pay sales tax, whatever the form asks. Empty when not set.
    std::vector<std::string> taxstates;
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

// The switches of a configuration file as the profile store reads it, like
// the other "Order Control" entries. Each "on" is matched exactly, as
// "tables" and "email" are.
Switches switches_in(const profile::Document& file);

// The switches of the configuration file of a program directory as it
// stands on disk (the shop tool; the programs take them from their Shop).
Switches read_switches(const std::string& program_dir);
