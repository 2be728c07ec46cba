#include "ship/rules.h"

#include "common/numbers.h"
#include "platform/profile.h"

ShippingRule::Kind rule_kind(std::string_view shiptype) {
    if (shiptype == "percent") return ShippingRule::Kind::percent;
    if (shiptype == "quantity") return ShippingRule::Kind::quantity;
    if (shiptype == "bulk") return ShippingRule::Kind::bulk;
    return ShippingRule::Kind::none;
}

ShippingRule read_shipping_rule(const std::string& item_table, std::string_view item) {
    auto number = [&](const char* key) { return read_decimal(profile::read_text(item_table, item, key)); };
    ShippingRule rule;
    rule.kind = rule_kind(profile::read_text(item_table, item, "SHIPTYPE"));
    switch (rule.kind) {
        case ShippingRule::Kind::percent:
            rule.percent = number("percent");
            break;
        case ShippingRule::Kind::quantity:
            rule.first = number("first");
            rule.remain = number("remain");
            break;
        case ShippingRule::Kind::bulk:
            rule.minimum = read_integer(profile::read_text(item_table, item, "minimum"));
            rule.unitship = number("unitship");
            rule.regular = number("regular");
            break;
        case ShippingRule::Kind::none:
            break;
    }
    return rule;
}

double line_shipping(const ShippingRule& rule, double price, int quantity) {
    const double q = quantity;
    switch (rule.kind) {
        case ShippingRule::Kind::percent:
            return price * rule.percent * q;
        case ShippingRule::Kind::quantity:
            return quantity >= 1 ? rule.first + (q - 1) * rule.remain : 0;
        case ShippingRule::Kind::bulk:
            return quantity >= rule.minimum ? q * rule.unitship : q * rule.regular;
        case ShippingRule::Kind::none:
            break;
    }
    return 0;
}

double rule_shipping(const BasketView& basket, const std::string& item_table) {
    double total = 0;
    for (const LineView& line : basket.lines) {
        const ShippingRule rule = read_shipping_rule(item_table, line.item);
        if (rule.kind == ShippingRule::Kind::none) continue;
        total += line_shipping(rule, line.price.number, read_integer(line.quantity.text));
    }
    return total;
}
