#include "checkout/mail.h"

#include <cerrno>
#include <vector>

#include "checkout/card_fields.h"
#include "common/cgi.h"
#include "common/limits.h"
#include "formats/basket_file.h"
#include "platform/process.h"

namespace {

constexpr std::string_view kSeparator = "===========================================\n";

// The mail's subject travels as one argument with its double quotes, as the
// mailer expects it.
constexpr std::string_view kSubject = "\"Order Delivery\"";

}  // namespace

std::string order_mail_head(std::string_view merchant, std::string_view invoice) {
    std::string mail = "Tavra Order Processed for Merchant ";
    mail += merchant;
    mail += "\nInvoice Number :";
    mail += invoice;
    mail += "\n\nOrdered Items\n";
    mail += kSeparator;
    return mail;
}

std::string order_mail_rest(const BasketView& basket, const Switches& switches) {
    const CheckoutEntries& e = basket.checkout;
    std::string mail;
    for (int i = 1; i <= basket.counted_lines(); ++i) {
        const LineView line = basket.line(i);
        mail += line.name + "\t" + line.item + "\t\t" + line.quantity.text + "\t\n";
    }
    mail += kSeparator;
    mail += "Agreed upon price of :" + basket.totals.total + "\n";
    mail += "Ship via :" + e.carrier + "\n";
    mail += "Tax :" + basket.totals.tax + "\n";
    mail += kSeparator;
    mail += e.fname + " " + e.minitial + " " + e.lname + "\n";
    mail += e.addr1 + "\n";
    mail += e.addr2 + "\n";
    mail += e.city + ", " + e.stpr + " " + e.country + "\n";
    mail += e.zip + "\n";
    mail += e.dphone + "\n";
    mail += "FAX:" + e.fphone + "\n";
    mail += e.email + "\n";
    mail += e.cname + "\n";
    mail += shown_card_number(e, basket_keys::kCardNumber1, switches) + "\n";
    mail += shown_card_number(e, basket_keys::kCardNumber2, switches) + "\n";
    mail += e.expmo + "\n";
    mail += e.expyr + "\n";
    mail += kSeparator;
    for (int i = 1; i <= basket.options.counted(); ++i) mail += basket.options.at(i) + "\n";
    mail += kSeparator;
    for (int n = 1; n <= basket.charges.counted(); n += 3)
        mail += basket.charge_description(n) + "=" + basket.charge(n).text + "\n";
    return mail;
}

Switches shopper_switches(Switches switches) {
    switches.maskcard = true;
    return switches;
}

std::string shopper_copy(std::string mail) {
    if (mail.size() <= limits::kShopperMailBytes) return mail;
    const std::size_t end = mail.rfind('\n', limits::kShopperMailBytes - 1);
    mail.resize(end == std::string::npos ? 0 : end + 1);
    return mail;
}

int send_order_mail(const std::string& mailer, const std::string& mail_file, const std::string& recipient) {
    // The mailer must not take itself for a CGI program, and it refuses to run
    // when it seems to be one: the request's variables stay behind.
    return process::run_and_wait(mailer, {mailer, mail_file, "-s", std::string(kSubject), "-t", recipient, "-q"},
                                 process::environment_without(is_cgi_variable));
}

std::string_view mailer_failure_message(int start_errno) {
    switch (start_errno) {
        case E2BIG:
            return "The space required for the arguments and environment settings exceeds 32K.\n";
        case ETXTBSY:
            return "The specified file has a locking or sharing violation.\n";
        case EMFILE:
        case ENFILE:
            return "Too many files open (the specified file must be opened to determine whether it is "
                   "executable).\n";
        case ENOENT:
        case ENOTDIR:
            return "File or path not found.\n";
        case EACCES:
        case ENOEXEC:
            return "The specified file is not executable or has an invalid executable-file format.\n";
        case ENOMEM:
            return "Not enough memory is available to execute the new process; or the available memory has been "
                   "corrupted; or an invalid block exists, indicating that the calling process was not allocated "
                   "properly.\n";
        default:
            return {};
    }
}
