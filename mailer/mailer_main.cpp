// The mail sender for Linux that tavra starts as blat.exe in its program
// directory:
//
//   blat.exe MAILFILE -s SUBJECT -t RECIPIENT -q
//
// It turns the order mail file into an RFC 5322 message for the one
// recipient and hands it to a sendmail-compatible program when section
// "Mail Delivery" of tavra.cfg names one ("sendmail=/usr/sbin/sendmail"),
// otherwise stores it as a file in the outbox folder ("outbox=", by default
// "outbox/" in the program directory). The recipient reaches the mail
// program as an argument after "--", never through headers (no -t), and
// anything that is not one plain address is refused, so no shopper can add
// recipients or headers.
//
// It refuses to run when a web server has started it as a CGI program, and
// sends only mail files that lie in the shop's mail folder ("maildir=").
//
// Exit status: 0 delivered, 1 not delivered, 2 refused command line,
// 3 refused to run (CGI, or a mail file outside the mail folder).
#include <cstdio>
#include <string>
#include <vector>

#include "mailer/delivery.h"
#include "mailer/guard.h"
#include "mailer/message.h"
#include "platform/files.h"
#include "platform/profile.h"

namespace {

constexpr const char* kUsage = "usage: blat.exe MAILFILE -s SUBJECT -t ADDRESS [-q]\n";

int fail(const std::string& message, int status) {
    std::fprintf(stderr, "blat.exe: %s\n", message.c_str());
    if (status == 2) std::fputs(kUsage, stderr);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    files::keep_new_files_private();
    const std::string cgi = mailer::cgi_refusal();
    if (!cgi.empty()) return fail(cgi, 3);
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    mailer::Parsed parsed = mailer::parse_arguments(args);
    if (!parsed.invocation) return fail(parsed.refusal, 2);
    const mailer::Invocation& call = *parsed.invocation;

    // tavra.cfg is found beside the name we were started by, as tavra finds it.
    const std::string program_dir = files::program_directory(argc > 0 ? argv[0] : "");
    const auto mail_file = mailer::resolved_path(call.mail_file);
    if (!mail_file) return fail("cannot read the mail file " + call.mail_file, 1);
    std::string refusal;
    if (!mailer::in_mail_folder(program_dir, *mail_file, refusal)) return fail(refusal, 3);
    auto body = files::read(*mail_file);
    if (!body) return fail("cannot read the mail file " + call.mail_file, 1);
    if (body->size() > mailer::kMaxMailFile) return fail("the mail file " + call.mail_file + " is larger than 1 MiB", 1);

    const std::string config = program_dir + "tavra.cfg";
    const std::string sendmail = profile::read_text(config, "Mail Delivery", "sendmail");
    std::string outbox = profile::read_text(config, "Mail Delivery", "outbox");
    if (outbox.empty()) outbox = "outbox/";
    if (outbox[0] != '/') outbox = program_dir + outbox;

    mailer::Envelope envelope;
    envelope.subject = call.subject;
    envelope.from_address = profile::read_text(config, "Mail Delivery", "from");
    if (envelope.from_address.empty()) envelope.from_address = profile::read_text(config, "Program Config", "email");
    if (!mailer::address_refusal(envelope.from_address).empty()) envelope.from_address = "tavra@localhost";
    envelope.from_name = mailer::display_name(profile::read_text(config, "Program Config", "name"));
    envelope.date = mailer::rfc5322_now();
    envelope.message_id = mailer::unique_token() + envelope.from_address.substr(envelope.from_address.find('@'));

    std::string error;
    if (!sendmail.empty()) {
        if (sendmail[0] != '/')
            return fail("sendmail= in tavra.cfg must be an absolute path, not " + mailer::printable(sendmail), 1);
        // "-i": a line holding a single dot is text, not the end of the message.
        const std::string message = mailer::compose(envelope, call.recipient, *body, "\n");
        if (!mailer::pipe_to_program(sendmail, {sendmail, "-i", "--", call.recipient}, message, error))
            return fail("not delivered to " + call.recipient + ": " + error, 1);
        return 0;
    }
    const std::string message = mailer::compose(envelope, call.recipient, *body, "\r\n");
    std::string stored;
    if (!mailer::store_in_outbox(outbox, message, stored, error)) return fail("not delivered: " + error, 1);
    return 0;
}
