// The order confirmation (confirm) and the two mail commands that only answer.
#include <string>

#include "basket/generated_name.h"
#include "checkout/batch.h"
#include "checkout/counts.h"
#include "checkout/export.h"
#include "checkout/mail.h"
#include "common/limits.h"
#include "common/numbers.h"
#include "checkout/commands.h"
#include "logs/logs.h"
#include "request/config.h"
#include "logs/logs.h"
#include "platform/files.h"
#include "platform/output.h"
#include "platform/profile.h"
#include "render/reply.h"

namespace {

// The merchant's command-line mailer, installed beside the program.
constexpr std::string_view kMailerFile = "blat.exe";

struct Invoice {
    std::string issued;    // the last number as it stood: the one the mail shows
    std::string advanced;  // the number every stored copy carries
};

// Advances "invnumber" of the configuration file and returns it before and
// after. The number is read afresh under the file's lock, since the value
// held from start-up may be stale by now: two confirmations never share one.
Invoice advance_invoice_number(const std::string& config_file) {
    profile::Lock hold(config_file, profile::Durability::synced);
    Invoice number;
    number.issued = profile::read_text(config_file, "Program Config", "invnumber", {}, limits::kConfigValue);
    // Counted in 64 bits: a number at the 32-bit limit advances instead of overflowing.
    number.advanced = std::to_string(static_cast<long long>(read_integer(number.issued)) + 1);
    profile::write(config_file, "Program Config", "invnumber", std::string_view(number.advanced));
    config().invnumber = number.advanced;
    return number;
}

// Creates a new, empty order mail file in the mail directory and returns its
// path; ends the run through the error page when it cannot be made.
std::string create_order_mail_file_or_fail(const Request& r) {
    const std::string folder = config().maildir;
    const NewFile mail = create_generated_file(folder, ".mail");
    if (!mail.created) fail_with_error(r.program_dir, "Could not find " + folder + mail.name);
    return folder + mail.name;
}

// Sends the mail to one recipient; a failed start replaces `failed` with its
// errno, so that the last failure is the one reported.
void deliver(const std::string& mailer, const std::string& mail_file, const std::string& recipient, int& failed) {
    const int start = send_order_mail(mailer, mail_file, recipient);
    if (start != 0) failed = start;
}

}  // namespace

void command_confirm(const Request& r) {
    const std::string basket = r.form.text("basket");
    require_basket_name_or_fail(r, basket);
    const std::string mailer = r.program_dir + std::string(kMailerFile);
    const std::string config_file = config_path(r.program_dir);
    const std::string basket_file = config().basketdir + basket;
    const std::string mail_file = create_order_mail_file_or_fail(r);

    // The order is recorded under the basket's lock; the lock goes (and its
    // writes are stored) before the mailer runs, which may take its time.
    std::string shopper_address;
    {
        profile::Lock hold(basket_file);
        const Invoice invoice = advance_invoice_number(config_file);
        files::append(mail_file, order_mail_head(config().name, invoice.issued));
        profile::write(basket_file, "Shipping", "invnumber", std::string_view(invoice.advanced));

        const int lines = read_count(basket_file, "Basket", "NumKeys");
        if (profile::read_text(config_file, "Order Control", "tables") == "on")
            export_order(r.program_dir, basket, invoice.advanced);
        files::append(mail_file, order_mail_rest(basket_file, lines));

        append_batch_record(r.program_dir,
                            profile::read_text(basket_file, "Shipping", "cnum1", {}, limits::kBatchCardNumber),
                            profile::read_text(basket_file, "Shipping", "expmo", {}, limits::kBatchExpiry),
                            profile::read_text(basket_file, "Shipping", "expyr", {}, limits::kBatchExpiry), "P",
                            profile::read_text(basket_file, "Total", "total", {}, limits::kBatchTotal));
        shopper_address = profile::read_text(basket_file, "Shipping", "email");
    }

    const bool copy_to_merchant = profile::read_text(config_file, "Order Control", "email") == "on";
    config().email = profile::read_text(config_file, "Program Config", "email", {}, limits::kConfigValue);
    int failed = 0;
    if (copy_to_merchant) deliver(mailer, mail_file, config().email, failed);
    if (shopper_address.size() >= limits::kShortestMailAddress) deliver(mailer, mail_file, shopper_address, failed);

    write_redirect();
    if (failed != 0) reply::write(mailer_failure_message(failed));
    reply::finish(1);
}

void command_sendmail(const Request&) {
    write_content_type();
    reply::write("Called Send Mail Command\n");
    reply::finish(1);
}

void command_showmail(const Request&) {
    write_content_type();
    reply::write("Called Show Mail Command\nObsolete in Version 1.0\n");
    reply::finish(1);
}
