// tavra-shop orders DIR: the confirmed orders of a shop, read from its
// customer, order and shipment tables and shown one block per invoice, or
// one comma-separated line per order. Card numbers are shown as the tables
// hold them: sealed or masked numbers stay so, and no secret key is read.
#include <algorithm>
#include <cstdio>
#include <map>
#include <string_view>
#include <vector>

#include "checkout/csv.h"
#include "checkout/export.h"
#include "common/numbers.h"
#include "platform/profile_document.h"
#include "request/switches.h"
#include "shop_tool/shop_files.h"
#include "shop_tool/tool.h"

namespace shop_tool {
namespace {

using Row = std::vector<std::string>;

// The rows of a comma-separated table as the programs write it: a field in
// double quotes may hold commas, line breaks and doubled quotes.
std::vector<Row> table_rows(std::string_view text) {
    std::vector<Row> rows;
    Row row;
    std::string field;
    bool quoted = false, any = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') field += '"', ++i;
            else if (c == '"') quoted = false;
            else field += c;
            continue;
        }
        any = true;
        if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            row.push_back(std::move(field));
            field.clear();
        } else if (c == '\n') {
            row.push_back(std::move(field));
            field.clear();
            rows.push_back(std::move(row));
            row.clear();
            any = false;
        } else if (c != '\r') {
            field += c;
        }
    }
    if (any) {
        row.push_back(std::move(field));
        rows.push_back(std::move(row));
    }
    return rows;
}

// A row's column n (1 for the invoice number); empty when the row is short.
const std::string& column(const Row& row, std::size_t n) {
    static const std::string kNone;
    return n >= 1 && n <= row.size() ? row[n - 1] : kNone;
}

// Customer table columns after the invoice number, by key.
std::size_t customer_column(std::string_view key) {
    const auto at = std::find(std::begin(kCustomerColumns), std::end(kCustomerColumns), key);
    return static_cast<std::size_t>(at - std::begin(kCustomerColumns)) + 2;
}

std::size_t order_column(std::string_view key) {
    const auto at = std::find(std::begin(kOrderColumns), std::end(kOrderColumns), key);
    return static_cast<std::size_t>(at - std::begin(kOrderColumns)) + 2;
}

struct Order {
    std::string invoice;
    Row customer;
    std::vector<Row> lines, options, charges;
    std::string tax, total;  // recorded on the option lines only
};

std::string joined(const std::vector<std::string>& parts, std::string_view between) {
    std::string out;
    for (const std::string& p : parts) out += (out.empty() ? "" : std::string(between)) + p;
    return out;
}

std::string full_name(const Order& o) {
    std::vector<std::string> parts;
    for (std::string_view key : {basket_keys::kFirstName, basket_keys::kMiddleInitial, basket_keys::kLastName})
        if (const std::string& p = column(o.customer, customer_column(key)); !p.empty()) parts.push_back(p);
    return joined(parts, " ");
}

std::string place(const Order& o) {
    std::vector<std::string> parts;
    for (std::string_view key : {basket_keys::kCity, basket_keys::kState, basket_keys::kCountry})
        if (const std::string& p = column(o.customer, customer_column(key)); !p.empty()) parts.push_back(p);
    return joined(parts, ", ");
}

// "2 x Green tea (100) at 8.50" for each line the shopper kept: a line
// whose quantity reads as 0 was taken out of the basket.
std::vector<std::string> item_lines(const Order& o) {
    std::vector<std::string> out;
    for (const Row& line : o.lines) {
        const std::string& quantity = column(line, order_column(basket_keys::kQuantity));
        if (read_decimal(quantity) == 0) continue;
        std::string text = quantity + " x " + column(line, order_column(basket_keys::kName));
        if (const std::string& item = column(line, order_column(basket_keys::kItem)); !item.empty())
            text += " (" + item + ")";
        out.push_back(text + " at " + column(line, order_column(basket_keys::kPrice)));
    }
    return out;
}

std::vector<std::string> option_texts(const Order& o) {
    std::vector<std::string> out;
    for (const Row& r : o.options)
        if (!column(r, 2).empty()) out.push_back(column(r, 2));
    return out;
}

// "Gift wrapping 4.50" for each charge the shopper ticked.
std::vector<std::string> charge_texts(const Order& o) {
    std::vector<std::string> out;
    for (const Row& r : o.charges) out.push_back(column(r, 7).empty() ? column(r, 5) : column(r, 7) + " " + column(r, 5));
    return out;
}

std::string card(const Order& o) {
    std::vector<std::string> parts;
    for (const char* key : {"cname", "cnum1", "cnum2"})
        if (const std::string& p = column(o.customer, customer_column(key)); !p.empty()) parts.push_back(p);
    const std::string& month = column(o.customer, customer_column(basket_keys::kExpiryMonth));
    const std::string& year = column(o.customer, customer_column(basket_keys::kExpiryYear));
    if (!month.empty() || !year.empty()) parts.push_back(month + "/" + year);
    return joined(parts, " ");
}

std::string items_sum(const Order& o) {
    double sum = 0;
    for (const Row& line : o.lines)
        sum += read_decimal(column(line, order_column(basket_keys::kQuantity))) *
               read_decimal(column(line, order_column(basket_keys::kPrice)));
    return two_decimals(sum);
}

void print_block(const Order& o) {
    const std::string kNotRecorded = "not in the tables (they hold it with an order's options)";
    std::printf("Invoice %s\n", o.invoice.c_str());
    std::printf("  Name:     %s\n", full_name(o).c_str());
    std::printf("  City:     %s\n", place(o).c_str());
    std::printf("  Items:\n");
    for (const std::string& line : item_lines(o)) std::printf("    %s\n", line.c_str());
    std::printf("  Items total: %s\n", items_sum(o).c_str());
    if (const auto options = option_texts(o); !options.empty()) {
        std::printf("  Options:\n");
        for (const std::string& option : options) std::printf("    %s\n", option.c_str());
    }
    if (const auto charges = charge_texts(o); !charges.empty()) {
        std::printf("  Charges:\n");
        for (const std::string& charge : charges) std::printf("    %s\n", charge.c_str());
    }
    std::printf("  Tax:      %s\n", o.options.empty() ? kNotRecorded.c_str() : o.tax.c_str());
    std::printf("  Total:    %s\n", o.options.empty() ? kNotRecorded.c_str() : o.total.c_str());
    std::printf("  Carrier:  %s\n", column(o.customer, customer_column(basket_keys::kCarrier)).c_str());
    std::printf("  Card:     %s\n\n", card(o).c_str());
}

const std::vector<std::string> kCsvHeader = {"invoice", "name",  "city",    "email",   "items",
                                             "options", "charges", "tax", "total", "carrier", "card"};

Row csv_row(const Order& o) {
    return {o.invoice,
            full_name(o),
            place(o),
            column(o.customer, customer_column(basket_keys::kEmail)),
            joined(item_lines(o), "; "),
            joined(option_texts(o), "; "),
            joined(charge_texts(o), "; "),
            o.tax,
            o.total,
            column(o.customer, customer_column(basket_keys::kCarrier)),
            card(o)};
}

}  // namespace

int orders(const Args& args) {
    const std::string shop = shop_folder(args.words[0]);
    const auto since_text = args.option("since");
    if (since_text && (since_text->empty() || since_text->find_first_not_of("0123456789") != std::string::npos))
        return refuse("--since takes an invoice number, such as 1005", kUsage);
    const long long since = since_text ? read_integer(*since_text) : 0;

    const auto cfg_text = read_shop_file(shop, "cgi-bin/tavra.cfg");
    if (!cfg_text) return refuse("no shop in " + shop + ": cgi-bin/tavra.cfg cannot be read");
    const auto cfg = profile::Document::parse(*cfg_text);
    // The programs name the tables relative to their own folder.
    auto table_path = [&](const char* key) {
        const std::string path(cfg.get("Order Control", key).value_or(""));
        return path.empty() || path[0] == '/' ? path : "cgi-bin/" + path;
    };
    const std::string customers = table_path("customer"), order_table = table_path("order"),
                      shipments = table_path("shipment");
    if (customers.empty() || order_table.empty() || shipments.empty())
        return refuse("the shop names no order tables: customer=, order= and shipment= in [Order Control] of " + shop +
                      "/cgi-bin/tavra.cfg");

    std::vector<Order> found;
    std::map<std::string, std::size_t> by_invoice;
    auto order_of = [&](const std::string& invoice) -> Order* {
        if (read_integer(invoice) < since) return nullptr;
        auto it = by_invoice.find(invoice);
        if (it == by_invoice.end()) {
            it = by_invoice.emplace(invoice, found.size()).first;
            found.push_back(Order{invoice, {}, {}, {}, {}, {}, {}});
        }
        return &found[it->second];
    };
    for (const Row& r : table_rows(read_shop_file(shop, customers).value_or("")))
        if (Order* o = order_of(column(r, 1))) o->customer = r;
    for (const Row& r : table_rows(read_shop_file(shop, order_table).value_or("")))
        if (Order* o = order_of(column(r, 1))) o->lines.push_back(r);
    for (const Row& r : table_rows(read_shop_file(shop, shipments).value_or(""))) {
        Order* o = order_of(column(r, 1));
        if (!o) continue;
        if (!column(r, 2).empty() || !column(r, 3).empty() || !column(r, 4).empty()) {
            o->options.push_back(r);
            o->tax = column(r, 3);
            o->total = column(r, 4);
        } else if (!column(r, 5).empty() || !column(r, 7).empty()) {
            o->charges.push_back(r);  // a charge left unticked has an empty line
        }
    }

    if (args.flag("csv")) {
        const Formulas formulas = read_switches(shop + "/cgi-bin/").safecsv ? Formulas::defused : Formulas::as_stored;
        std::string out = csv_line(kCsvHeader);
        for (const Order& o : found) out += csv_line(csv_row(o), formulas);
        std::fputs(out.c_str(), stdout);
    } else {
        for (const Order& o : found) print_block(o);
        if (found.empty()) std::printf("no orders%s\n", since_text ? (" from invoice " + *since_text + " on").c_str() : "");
    }
    return kDone;
}

}  // namespace shop_tool
