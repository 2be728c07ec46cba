// The mail sender for Linux that tavra starts as blat.exe in its program
// directory:
//
//   blat.exe MAILFILE -s SUBJECT -t RECIPIENT -q
//
// It turns the order mail file into an RFC 5322 message for the one
// recipient and hands it to a sendmail-compatible program when section
// "Mail Delivery" of tavra.cfg names one ("sendmail=/usr/sbin/sendmail", or
// a command line such as "sendmail=/usr/bin/msmtp -C /etc/msmtp-shop", split
// at blanks, no shell involved), otherwise stores it as a file in the outbox
// folder ("outbox=", by default "outbox/" in the program directory). The
// mail program gets "-i -f SENDER -- RECIPIENT" after its own arguments: the
// merchant's address as envelope sender, so that bounces reach the
// merchant, and the recipient as an argument after "--", never through
// headers (no -t). Anything that is not one plain address is refused, so no
// shopper can add recipients or headers.
//
// A mail that is not handed over leaves one record in the error log
// (errlog.txt) naming the recipient and the reason, besides the message on
// standard error; tavra's reply does not change.
//
// It refuses to run when a web server has started it as a CGI program, and
// sends only mail files that lie in the shop's mail folder ("maildir="):
// regular files with one link, owned by the user it runs as.
//
// Exit status: 0 delivered, 1 not delivered, 2 refused command line,
// 3 refused to run (CGI, or a mail file outside the mail folder or not its own).
#include <cstdio>
#include <string>
#include <vector>

#include "common/text.h"
#include "logs/logs.h"
#include "mailer/delivery.h"
#include "mailer/guard.h"
#include "mailer/message.h"
#include "platform/files.h"

namespace {

constexpr const char* kUsage = "usage: blat.exe MAILFILE -s SUBJECT -t ADDRESS [-q]\n";

void say(const std::string& message) { std::fprintf(stderr, "blat.exe: %s\n", message.c_str()); }

// One error log record; standard error says so when the log cannot be
// opened.
void log_error(const std::string& program_dir, const std::string& message) {
    if (!append_error_record(program_dir, message)) say("cannot open the error log in " + program_dir);
}

// Ends a delivery that did not happen: `message` on standard error, and an
// error log record that names the recipient and the reason.
int fail(const std::string& program_dir, const std::string& recipient, const std::string& reason,
         const std::string& message, int status) {
    say(message);
    if (status == 2) std::fputs(kUsage, stderr);
    const std::string to = recipient.empty() ? std::string("(none)") : clean_log_value(recipient);
    log_error(program_dir, "Mail to " + to + " not delivered: " + clean_log_value(reason));
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    files::keep_new_files_private();
    const std::string cgi = mailer::cgi_refusal();
    if (!cgi.empty()) {
        say(cgi);
        return 3;
    }
    // tavra.cfg is found beside the name we were started by, as tavra finds it.
    const std::string program_dir = files::program_directory(argc > 0 ? argv[0] : "");
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    mailer::Parsed parsed = mailer::parse_arguments(args);
    if (!parsed.invocation) {
        // The log names the refused address as given; the reason alone follows.
        std::string reason = mailer::address_refusal(parsed.recipient);
        reason = parsed.recipient.empty() || reason.empty() ? parsed.refusal : "address refused: " + reason;
        return fail(program_dir, parsed.recipient, reason, parsed.refusal, 2);
    }
    const mailer::Invocation& call = *parsed.invocation;
    auto failed = [&](const std::string& reason) {
        return fail(program_dir, call.recipient, reason, "not delivered to " + call.recipient + ": " + reason, 1);
    };

    const auto mail_file = mailer::resolved_path(call.mail_file);
    if (!mail_file) return failed("cannot read the mail file " + call.mail_file);
    // tavra.cfg read once: the mail folder as tavra reads it, the delivery
    // settings and the merchant's address through the profile store.
    const Shop shop = read_shop(program_dir, ConfigReading::line_reader);
    std::string refusal;
    if (!mailer::in_mail_folder(shop, *mail_file, refusal)) {
        say(refusal);
        return 3;
    }
    // Only the programs' own mail files: a link, or a hard link that another
    // user's file (an order table, say) was given in the mail folder, is
    // refused like a file from elsewhere.
    std::string not_sent;
    bool not_own = false;
    auto body = files::read_own_file(*mail_file, not_sent, not_own);
    if (!body && not_own) {
        say("the mail file " + mailer::printable(*mail_file) + " " + not_sent + ": refusing to send it");
        return 3;
    }
    if (!body) return failed("cannot read the mail file " + call.mail_file);
    if (body->size() > mailer::kMaxMailFile) return failed("the mail file " + call.mail_file + " is larger than 1 MiB");

    const std::vector<std::string> sendmail = mailer::split_at_blanks(shop.stored("Mail Delivery", "sendmail"));
    std::string outbox = shop.stored("Mail Delivery", "outbox");
    if (outbox.empty()) outbox = "outbox/";
    if (outbox[0] != '/') outbox = program_dir + outbox;

    mailer::Envelope envelope;
    envelope.subject = call.subject;
    const std::string merchant = shop.stored("Program Config", "email");
    envelope.from_address = shop.stored("Mail Delivery", "from");
    if (envelope.from_address.empty()) envelope.from_address = merchant;
    if (!mailer::address_refusal(envelope.from_address).empty()) envelope.from_address = "tavra@localhost";
    envelope.from_name = mailer::display_name(shop.stored("Program Config", "name"));
    envelope.date = mailer::rfc5322_now();
    envelope.message_id = mailer::unique_token() + envelope.from_address.substr(envelope.from_address.find('@'));

    std::string error;
    if (!sendmail.empty()) {
        if (sendmail[0][0] != '/')
            return failed("sendmail= in tavra.cfg must begin with an absolute path, not " +
                          mailer::printable(sendmail[0]));
        // Bounces go to the merchant; without a usable merchant address, to
        // the sender of the From header, and the log says why when one was
        // given.
        std::string sender = merchant;
        if (std::string why = mailer::address_refusal(merchant); !why.empty()) {
            sender = envelope.from_address;
            if (!merchant.empty())
                log_error(program_dir, "Mail to " + call.recipient + " sent from " + sender +
                                           ": merchant address \"" + clean_log_value(merchant) + "\" refused: " + why);
        }
        const std::string message = mailer::compose(envelope, call.recipient, *body, "\n");
        if (!mailer::pipe_to_program(sendmail[0], mailer::sendmail_arguments(sendmail, sender, call.recipient),
                                     message, error))
            return failed(error);
        return 0;
    }
    const std::string message = mailer::compose(envelope, call.recipient, *body, "\r\n");
    std::string stored;
    if (!mailer::store_in_outbox(outbox, message, stored, error)) return failed(error);
    return 0;
}
