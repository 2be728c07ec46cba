// The order confirmation (confirm) and the two mail commands that only answer.
#include <algorithm>
#include <optional>
#include <string>
#include <tuple>
#include <utility>

#include "formats/basket_file.h"
#include "formats/basket_view.h"
#include "formats/order_price.h"
#include "basket/generated_name.h"
#include "checkout/batch.h"
#include "checkout/card_fields.h"
#include "checkout/checkout_key.h"
#include "checkout/export.h"
#include "checkout/mail.h"
#include "common/limits.h"
#include "common/numbers.h"
#include "common/text.h"
#include "checkout/commands.h"
#include "basket/issued_name.h"
#include "request/shop.h"
#include "request/switches.h"
#include "logs/logs.h"
#include "platform/files.h"
#include "platform/output.h"
#include "platform/profile.h"
#include "render/reply_pieces.h"

namespace {

// The merchant's command-line mailer, installed beside the program.

// Why a confirmation makes no order; each goes to the error log as it stands.
constexpr std::string_view kNoItems = "Order not confirmed: the basket has no items";
constexpr std::string_view kSummaryOutOfDate = "Order not confirmed: the order summary is out of date";
constexpr std::string_view kAmountNotValid = "Order not confirmed: an amount is not valid";
constexpr std::string_view kInvoiceNotStored = "Order not confirmed: the invoice number could not be stored";
constexpr std::string_view kMailNotWritten = "Order not confirmed: the order mail could not be written";

// Refuses the order through the error page with `message`.
reply::Done refuse_order(const Request& r, std::string_view message) { return fail_with_error(r.program_dir, message); }

// Whether a line that the summary shows, one of non-zero quantity, is there.
bool has_items(const BasketView& basket) {
    return std::any_of(basket.lines.begin(), basket.lines.end(), line_shown);
}

// Whether a stored tax or total is what a summary writes for a real amount:
// digits with a decimal point, plain, short enough for the payment record.
// A summary over amounts that were not finite wrote "inf" or "nan", which
// reads as no number at all.
bool summary_amount(std::string_view text) {
    return !text.empty() && text.size() <= limits::kBatchTotal &&
           text.find_first_not_of("0123456789.") == std::string_view::npos && plain_amount(text);
}

// Whether every amount the order is made of is stored as the adding commands
// and step 3 store it (stored_amount_valid): each line's quantity, price and
// shipping value, each ticked extra charge; whether the stored tax and total
// are plain and the total fits the payment record whole; and, when the
// merchant sets the prices, whether the total is more than nothing.
bool amounts_valid(const BasketView& basket, const Switches& switches) {
    for (const LineView& line : basket.lines)
        if (!line.quantity.valid() || !line.price.valid() || !line.ship.valid()) return false;
    for (long long n : basket.stored_charges(0))
        if (!basket.charge(n).valid()) return false;
    const BasketTotals& totals = basket.totals;
    return summary_amount(totals.tax) && summary_amount(totals.total) &&
           !(switches.pricecheck && read_decimal(totals.total) == 0);
}

// Creates a new, empty order mail file in the mail directory and sets `path`
// to it; when it cannot be made, runs `undo` and refuses the order through
// the error page.
template <typename Undo>
reply::Refusal create_order_mail_file(const Request& r, const Shop& shop, Undo undo, std::string& path) {
    const std::string folder = shop.config.maildir;
    const NewFile mail = create_generated_file(folder, ".mail");
    if (!mail.created) {
        undo();
        return fail_with_error(r.program_dir, "Could not find " + folder + mail.name);
    }
    path = folder + mail.name;
    return std::nullopt;
}

// The invoice number an order took and its mail file, or the refusal of the
// order.
struct Invoiced {
    std::string invoice;
    std::string mail_file;
    std::string mail;  // what the mail file holds
    reply::Refusal refused;
};

// Advances "invnumber" of the configuration and stores it, then writes the
// order mail showing the advanced number; returns that number and
// the mail file's path. The number is read afresh under the file's lock,
// since the value held from start-up may be stale by now: two confirmations
// never share one. It is stored before the mail is made, so that no mail,
// not even one of a killed run, shows a number the configuration has not
// moved past. A number that cannot be stored, or a mail that cannot be
// written whole, refuses the order: the mail file is removed and then the
// number put back as it stood.
Invoiced advance_invoice_and_write_mail(const Request& r, Shop& shop, const BasketView& basket,
                                        std::string& shopper_mail) {
    const std::string& config_file = shop.config_file;
    const Switches& switches = shop.switches;
    profile::Lock hold(config_file, profile::Durability::synced);
    const std::optional<std::string> held = profile::read_value(config_file, "Program Config", "invnumber");
    const std::string issued = cut(held.value_or(""), limits::kConfigValue);
    // Counted in 64 bits: a number at the 32-bit limit advances instead of overflowing.
    const std::string advanced = std::to_string(static_cast<long long>(read_integer(issued)) + 1);
    profile::write(config_file, "Program Config", "invnumber", std::string_view(advanced));
    if (!profile::store_now(config_file)) return {{}, {}, {}, refuse_order(r, kInvoiceNotStored)};

    // Each way out that refuses the order stores the number put back.
    std::string mail_file;
    const reply::Refusal no_mail_file = create_order_mail_file(
        r, shop,
        [&] {
            profile::write(config_file, "Program Config", "invnumber", held);
            profile::store_now(config_file);
        },
        mail_file);
    if (no_mail_file) return {{}, {}, {}, no_mail_file};
    std::string mail = order_mail_head(shop.config.name, advanced) + order_mail_rest(basket, switches);
    shopper_mail =
        shopper_copy(order_mail_head(shop.config.name, advanced) + order_mail_rest(basket, shopper_switches(switches)));
    if (!files::write_whole(mail_file, mail)) {
        files::remove(mail_file);
        profile::write(config_file, "Program Config", "invnumber", held);
        profile::store_now(config_file);
        return {{}, {}, {}, refuse_order(r, kMailNotWritten)};
    }
    shop.config.invnumber = advanced;
    return {advanced, mail_file, std::move(mail), std::nullopt};
}

// Sends the mail to one recipient; a failed start replaces `failed` with its
// errno, so that the last failure is the one reported.
void deliver(const std::string& mailer, const std::string& mail_file, const std::string& recipient, int& failed) {
    const int start = send_order_mail(mailer, mail_file, recipient);
    if (start != 0) failed = start;
}

// Sends the shopper's copy: the order mail file itself when the copy is the
// same text (`mail`, what the file holds), otherwise a file of its own beside
// it, removed once the mailer is done with it.
void deliver_shopper_copy(const Shop& shop, const std::string& mailer, const std::string& mail_file,
                          const std::string& mail, const std::string& shopper_mail, const std::string& recipient,
                          int& failed) {
    if (mail == shopper_mail) {
        deliver(mailer, mail_file, recipient, failed);
        return;
    }
    const NewFile copy = create_generated_file(shop.config.maildir, ".shopper");
    if (!copy.created) return;
    const std::string copy_file = shop.config.maildir + copy.name;
    if (files::write_whole(copy_file, shopper_mail)) deliver(mailer, copy_file, recipient, failed);
    files::remove(copy_file);
}

}  // namespace

reply::Done command_confirm(const Request& r, Shop& shop) {
    const std::string basket = r.form.text("basket");
    if (auto refused = refuse_unwritable_basket(r, shop, basket)) return *refused;
    const std::string mailer = shop.mailer();
    const std::string basket_file = shop.basket_file(basket);
    if (auto refused = refuse_other_browser(r, basket_file)) return *refused;

    // The order is checked and recorded under the basket's lock, so a second
    // click waits for the first and then finds the order made; the lock goes
    // (and its writes are stored) before the mailer runs, which may take its
    // time.
    std::string mail_file;
    std::string mail;
    std::string shopper_address;
    std::string shopper_mail;
    {
        profile::Lock hold(basket_file);
        const BasketView view = load_basket(basket_file);
        if (view.state == OrderState::ordered) {  // this summary's order is made: answer as it was answered
            write_redirect(shop);
            return {1};
        }
        if (!has_items(view)) return refuse_order(r, kNoItems);
        if (view.state != OrderState::summarised) return refuse_order(r, kSummaryOutOfDate);
        const Switches& switches = shop.switches;
        if (!amounts_valid(view, switches)) return refuse_order(r, kAmountNotValid);

        Invoiced invoiced = advance_invoice_and_write_mail(r, shop, view, shopper_mail);
        if (invoiced.refused) return *invoiced.refused;
        const std::string invoice = invoiced.invoice;
        mail_file = invoiced.mail_file;
        mail = std::move(invoiced.mail);
        profile::write(basket_file, basket_keys::kShipping, basket_keys::kInvoice, std::string_view(invoice));
        set_order_state(basket_file, OrderState::ordered);
        if (shop.order_control.tables) export_order(shop, view, invoice);

        append_batch_record(shop, batch_card_number(view.checkout, switches), view.checkout.batch_expmo,
                            view.checkout.batch_expyr, "P", view.batch_total,
                            switches.safecsv ? Formulas::defused : Formulas::as_stored);
        shopper_address = view.checkout.email;
        // The mail and the payment record hold the card now: a stranger who
        // learns the basket's name finds none to order with.
        remove_card_data(basket_file);
        profile::store_now(basket_file);
    }

    shop.refresh_email();
    int failed = 0;
    if (shop.order_control.email) deliver(mailer, mail_file, shop.config.email, failed);
    if (shopper_address.size() >= limits::kShortestMailAddress)
        deliver_shopper_copy(shop, mailer, mail_file, mail, shopper_mail, shopper_address, failed);

    write_redirect(shop);
    if (failed != 0) reply::write(mailer_failure_message(failed));
    return {1};
}

reply::Done command_sendmail(const Request&, const Shop&) {
    write_content_type();
    reply::write("Called Send Mail Command\n");
    return {1};
}

reply::Done command_showmail(const Request&, const Shop&) {
    write_content_type();
    reply::write("Called Show Mail Command\nObsolete in Version 1.0\n");
    return {1};
}
