#include "request/shop.h"

#include "platform/files.h"
#include "platform/profile.h"

namespace {

constexpr std::string_view kMailerFile = "blat.exe";

// The keys ship has always read through the profile store.
constexpr std::string Config::*kShipKeys[] = {&Config::webdir, &Config::basketdir, &Config::tax, &Config::shiptable,
                                              &Config::dbfile};

}  // namespace

std::string Shop::stored(std::string_view section, std::string_view key, std::string_view fallback,
                         std::size_t room) const {
    auto value = store.get(section, key);
    return std::string((value ? *value : fallback).substr(0, room));
}

std::optional<std::string> Shop::extra_charge(std::string_view description) const {
    auto value = store.get("Extra Charges", description);
    if (!value) return std::nullopt;
    return std::string(*value);
}

std::string Shop::mailer() const { return program_dir + std::string(kMailerFile); }

void Shop::refresh_email() {
    config.email = profile::read_text(config_file, "Program Config", "email", {}, limits::kConfigValue);
}

Shop read_shop(const std::string& program_dir, ConfigReading reading) {
    Shop shop;
    shop.program_dir = program_dir;
    shop.config_file = config_path(program_dir);
    shop.reading = reading;
    const std::optional<std::string> text = files::read(shop.config_file);
    if (text) shop.store = profile::Document::parse(*text);
    if (reading == ConfigReading::line_reader) {
        shop.read = text ? parse_config(*text, shop.config) : ConfigRead::cannot_open;
    } else {
        for (const ConfigKey& key : kConfigKeys)
            for (std::string Config::*wanted : kShipKeys)
                if (key.value == wanted)
                    shop.config.*wanted = shop.stored("Program Config", key.name, {}, limits::kConfigValue);
    }
    shop.switches = switches_in(shop.store);
    auto on = [&shop](std::string_view key) { return shop.stored("Order Control", key) == "on"; };
    shop.order_control.tables = on("tables");
    shop.order_control.email = on("email");
    shop.order_control.customer = shop.stored("Order Control", "customer");
    shop.order_control.order = shop.stored("Order Control", "order");
    shop.order_control.shipment = shop.stored("Order Control", "shipment");
    return shop;
}
