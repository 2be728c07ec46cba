#include "checkout/mail.h"

#include <cerrno>
#include <vector>

#include "checkout/card_fields.h"
#include "checkout/counts.h"
#include "common/cgi.h"
#include "common/limits.h"
#include "formats/basket_amounts.h"
#include "formats/basket_file.h"
#include "platform/process.h"
#include "platform/profile.h"

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

std::string order_mail_rest(const std::string& basket_file, int lines, const Switches& switches) {
    auto read = [&basket_file](std::string_view section, std::string_view key) {
        return profile::read_text(basket_file, section, key);
    };
    auto shipping = [&read](std::string_view key) { return read(basket_keys::kShipping, key); };

    std::string mail;
    for (int i = 1; i <= lines; ++i) {
        const std::string line = std::to_string(i);
        mail += read(line, basket_keys::kName) + "\t" + read(line, basket_keys::kItem) + "\t\t" + stored_amount(basket_file, line, basket_keys::kQuantity).text + "\t\n";
    }
    mail += kSeparator;
    mail += "Agreed upon price of :" + read(basket_keys::kTotals, basket_keys::kTotal) + "\n";
    mail += "Ship via :" + shipping("carrier") + "\n";
    mail += "Tax :" + read(basket_keys::kTotals, basket_keys::kTax) + "\n";
    mail += kSeparator;
    mail += shipping("fname") + " " + shipping("minitial") + " " + shipping("lname") + "\n";
    mail += shipping("addr1") + "\n";
    mail += shipping("addr2") + "\n";
    mail += shipping("city") + ", " + shipping("stpr") + " " + shipping("country") + "\n";
    mail += shipping("zip") + "\n";
    mail += shipping("dphone") + "\n";
    mail += "FAX:" + shipping("fphone") + "\n";
    mail += shipping("email") + "\n";
    mail += shipping("cname") + "\n";
    mail += shown_card_number(basket_file, "cnum1", switches) + "\n";
    mail += shown_card_number(basket_file, "cnum2", switches) + "\n";
    mail += shipping("expmo") + "\n";
    mail += shipping("expyr") + "\n";
    mail += kSeparator;
    const int options = read_count(basket_file, "Optional", basket_keys::kNumFields);
    for (int i = 1; i <= options; ++i) mail += read("Optional", "option" + std::to_string(i)) + "\n";
    mail += kSeparator;
    const int fields = read_count(basket_file, basket_keys::kAdditional, basket_keys::kNumFields);
    for (int n = 1; n <= fields; n += 3)
        mail += read(basket_keys::kAdditional, "a" + std::to_string(n + 2)) + "=" + stored_charge(basket_file, n).text + "\n";
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
