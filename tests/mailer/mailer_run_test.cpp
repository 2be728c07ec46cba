// The built mailer run as tavra runs it: from a program folder holding
// tavra.cfg, with the order mail file and the argument list of a
// confirmation. Delivery goes to the outbox folder or to a stand-in for a
// sendmail-compatible program that records what it was given.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

#include "harness.h"

namespace fs = std::filesystem;

namespace {

class ProgramFolder : public TempFolder {
public:
    ProgramFolder() : TempFolder("tavra-mailer") {
        put_config("[Program Config]\nname=Tea & Co.\nemail=orders@shop.example\n");
        put("mail/1.2.mail", "Tavra Order Processed for Merchant Tea & Co.\nInvoice Number :1000\n\n.\nEnd\n");
    }

    // tavra.cfg with `text`, and "mail/" as the shop's mail folder.
    void put_config(std::string text) const {
        const std::string section = "[Program Config]\n", maildir = "maildir=" + path("mail/") + "\n";
        const std::size_t at = text.find(section);
        if (at == std::string::npos) text += section + maildir;
        else text.insert(at + section.size(), maildir);
        put("tavra.cfg", text);
    }
    // A sendmail stand-in that writes its arguments and standard input into
    // the folder and ends with `status`; tavra.cfg is pointed at it, with
    // `arguments` after its path.
    void use_recording_sendmail(int status = 0, const std::string& arguments = "") const {
        put("fake-sendmail",
            "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" + path("sendmail-args") + "\"\ncat > \"" + path("sendmail-input") +
                "\"\nexit " + std::to_string(status) + "\n");
        fs::permissions(path("fake-sendmail"), fs::perms::owner_all);
        put_config("[Mail Delivery]\nsendmail=" + path("fake-sendmail") + arguments +
                             "\n[Program Config]\nname=Tea & Co.\nemail=orders@shop.example\n");
    }

    // The mailer started as <folder>/blat.exe with `args`, in this process's
    // environment and the "NAME=value" entries of `env`.
    Reply run(const std::vector<std::string>& args, const std::vector<std::string>& env = {}) const {
        Program p;
        p.binary = MAILER_BIN;
        p.args = {path("blat.exe")};
        p.args.insert(p.args.end(), args.begin(), args.end());
        p.env = own_environment();
        p.env.insert(p.env.end(), env.begin(), env.end());
        p.dir = root();
        p.errors_apart = true;
        return run_program(p);
    }

    std::vector<std::string> outbox() const {
        std::vector<std::string> names;
        if (!fs::exists(path("outbox"))) return names;
        for (const auto& e : fs::directory_iterator(path("outbox"))) names.push_back(e.path().filename().string());
        return names;
    }
};

std::vector<std::string> confirm_args(const ProgramFolder& f, const std::string& recipient,
                                      const std::string& mail_file = "") {
    return {mail_file.empty() ? f.path("mail/1.2.mail") : mail_file, "-s", "\"Order Delivery\"", "-t", recipient, "-q"};
}

}  // namespace

TEST(MailerRun, WithoutAMailProgramEachDeliveryIsOneMessageFileInTheOutbox) {
    ProgramFolder f;
    Reply r = f.run(confirm_args(f, "shopper@example.com"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    auto files = f.outbox();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(std::regex_match(files[0], std::regex(R"([0-9.]+\.eml)"))) << files[0];

    const std::string m = f.get("outbox/" + files[0]);
    const std::regex header(
        "From: \"Tea & Co\\.\" <orders@shop\\.example>\r\n"
        "To: <shopper@example\\.com>\r\n"
        "Subject: Order Delivery\r\n"
        "Date: (Mon|Tue|Wed|Thu|Fri|Sat|Sun), [0-3][0-9] [A-Z][a-z]{2} 20[0-9]{2} [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [+-][0-9]{4}\r\n"
        "Message-ID: <[0-9.]+@shop\\.example>\r\n"
        "MIME-Version: 1\\.0\r\n"
        "Content-Type: text/plain; charset=utf-8\r\n"
        "Content-Transfer-Encoding: 8bit\r\n\r\n"
        "Tavra Order Processed for Merchant Tea & Co\\.\r\nInvoice Number :1000\r\n\r\n\\.\r\nEnd\r\n");
    EXPECT_TRUE(std::regex_match(m, header)) << m;

    // A second delivery (the merchant's copy) is a second file.
    EXPECT_EQ(f.run(confirm_args(f, "orders@shop.example")).status, 0);
    EXPECT_EQ(f.outbox().size(), 2u);
}

TEST(MailerRun, TheOutboxFolderAndSenderComeFromTavraCfg) {
    ProgramFolder f;
    f.put_config("[Mail Delivery]\noutbox=sent/\nfrom=shop@tea.example\n[Program Config]\nname=\nemail=bad address\n");
    EXPECT_EQ(f.run(confirm_args(f, "a@b.example")).status, 0);
    EXPECT_TRUE(f.outbox().empty());
    ASSERT_TRUE(fs::exists(f.path("sent")));
    auto it = fs::directory_iterator(f.path("sent"));
    std::string m = f.get("sent/" + it->path().filename().string());
    EXPECT_EQ(m.substr(0, 25), "From: <shop@tea.example>\r");
    EXPECT_TRUE(std::regex_search(m, std::regex("\r\nMessage-ID: <[0-9.]+@tea\\.example>\r\n"))) << m;

    // An empty from=, as a new shop has it, sends from the merchant's address.
    ProgramFolder e;
    e.put_config("[Mail Delivery]\nfrom=\n[Program Config]\nname=Pages\nemail=orders@pages.example\n");
    EXPECT_EQ(e.run(confirm_args(e, "a@b.example")).status, 0);
    ASSERT_EQ(e.outbox().size(), 1u);
    const std::string sent = e.get("outbox/" + e.outbox()[0]);
    EXPECT_EQ(sent.rfind("From: Pages <orders@pages.example>\r\n", 0), 0u) << sent;
    EXPECT_TRUE(std::regex_search(sent, std::regex("\r\nMessage-ID: <[0-9.]+@pages\\.example>\r\n"))) << sent;

    // With neither a valid "from" nor a valid merchant address the sender
    // is a fixed local one, never the text as it stands.
    ProgramFolder g;
    g.put_config("[Program Config]\nemail=not an address\n");
    EXPECT_EQ(g.run(confirm_args(g, "a@b.example")).status, 0);
    ASSERT_EQ(g.outbox().size(), 1u);
    EXPECT_EQ(g.get("outbox/" + g.outbox()[0]).substr(0, 24), "From: <tavra@localhost>\r");
}

TEST(MailerRun, AConfiguredMailProgramGetsItsArgumentsTheSenderAndTheRecipientAndTheMessageOnItsInput) {
    ProgramFolder f;
    f.use_recording_sendmail(0, "  -C /etc/msmtp-shop\t\"-v x\"");
    Reply r = f.run(confirm_args(f, "shopper@example.com"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(f.get("sendmail-args"), "-C\n/etc/msmtp-shop\n\"-v\nx\"\n-i\n-f\norders@shop.example\n--\nshopper@example.com\n");
    const std::string m = f.get("sendmail-input");
    EXPECT_EQ(m.find('\r'), std::string::npos);
    const std::string head = "From: \"Tea & Co.\" <orders@shop.example>\nTo: <shopper@example.com>\nSubject: Order Delivery\n";
    EXPECT_EQ(m.substr(0, head.size()), head);
    EXPECT_NE(m.find("\n\nTavra Order Processed for Merchant Tea & Co.\nInvoice Number :1000\n\n.\nEnd\n"),
              std::string::npos);
    EXPECT_TRUE(f.outbox().empty());
    EXPECT_FALSE(fs::exists(f.path("errlog.txt")));
}

TEST(MailerRun, AShopNameOutsideAsciiIsEncodedAndTheBodyKeptAsUtf8) {
    ProgramFolder f;
    f.use_recording_sendmail();
    const std::string name = "Teest\xc3\xbc" "bchen Zo\xc3\xab & S\xc3\xb6hne";
    f.put_config("[Mail Delivery]\nsendmail=" + f.path("fake-sendmail") + "\nfrom=shop@tea.example\n" +
                           "[Program Config]\nname=" + name + "\nemail=orders@shop.example\n");
    f.put("mail/1.2.mail", "Tavra Order Processed for Merchant " + name + "\n");
    ASSERT_EQ(f.run(confirm_args(f, "shopper@example.com")).status, 0);
    const std::string m = f.get("sendmail-input");
    EXPECT_EQ(m.substr(0, m.find("\nTo:")), "From: =?UTF-8?B?VGVlc3TDvGJjaGVuIFpvw6sgJiBTw7ZobmU=?= <shop@tea.example>");
    EXPECT_NE(m.find("\nContent-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: 8bit\n\n"
                     "Tavra Order Processed for Merchant " + name + "\n"),
              std::string::npos) << m;
    // The envelope sender is the merchant's address, not the From header's.
    EXPECT_NE(f.get("sendmail-args").find("-f\norders@shop.example\n"), std::string::npos);

    // A merchant address outside ASCII is refused as sender: the From
    // address stands in and the error log says why.
    f.put_config("[Mail Delivery]\nsendmail=" + f.path("fake-sendmail") +
                           "\n[Program Config]\nemail=zo\xc3\xab@tea.example\n");
    ASSERT_EQ(f.run(confirm_args(f, "shopper@example.com")).status, 0);
    EXPECT_NE(f.get("sendmail-args").find("-f\ntavra@localhost\n"), std::string::npos);
    EXPECT_NE(f.get("errlog.txt").find("]\nError Message=Mail to shopper@example.com sent from tavra@localhost: merchant "
                                       "address \"zo\xc3\xab@tea.example\" refused: it holds characters outside ASCII"),
              std::string::npos)
        << f.get("errlog.txt");
}

TEST(MailerRun, AMailThatIsNotHandedOverLeavesOneErrorLogRecord) {
    struct Row {
        std::string what;
        std::string sendmail_arguments;  // after the recording program's path
        int status;
        std::string config;  // replaces tavra.cfg when not empty
        std::string reason;  // in the record after "not delivered: "
    };
    ProgramFolder f;
    const Row rows[] = {
        {"failing program", " -C x", 75, "", f.path("fake-sendmail") + " refused the message (exit status 75)"},
        {"relative path", "", 0, "[Mail Delivery]\nsendmail=fake-sendmail -C x\n",
         "sendmail= in tavra.cfg must begin with an absolute path, not fake-sendmail"},
        {"missing program", "", 0, "[Mail Delivery]\nsendmail=" + f.path("none") + " -C x\n",
         "cannot start " + f.path("none") + ": No such file or directory"},
        {"outbox not a folder", "", 0, "[Mail Delivery]\noutbox=tavra.cfg\n",
         "cannot write into the outbox folder " + f.path("tavra.cfg/") + ": Not a directory"},
    };
    for (const Row& row : rows) {
        f.use_recording_sendmail(row.status, row.sendmail_arguments);
        if (!row.config.empty()) f.put_config(row.config);
        std::filesystem::remove(f.path("errlog.txt"));
        Reply r = f.run(confirm_args(f, "shopper@example.com"));
        EXPECT_EQ(r.status, 1) << row.what;
        EXPECT_EQ(r.err, "blat.exe: not delivered to shopper@example.com: " + row.reason + "\n") << row.what;
        const std::string log = f.get("errlog.txt");
        const std::string line = "\nError Message=Mail to shopper@example.com not delivered: " + row.reason + "\n";
        EXPECT_EQ(log.substr(log.find('\n')), line) << row.what << ": " << log;
    }
}

TEST(MailerRun, RefusedArgumentsDeliverNothingAndSayWhyOnStandardError) {
    struct Row {
        std::vector<std::string> args;  // after the mail file
        std::string message;
    };
    const Row rows[] = {
        {{"-s", "\"Order Delivery\"", "-t", "a@b.example\r\nBcc: thief@evil.example", "-q"},
         "blat.exe: refused recipient \"a@b.example\\r\\nBcc: thief@evil.example\": it holds a line break\n"},
        {{"-t", "a@b.example\nX-Extra: 1"}, "it holds a line break"},
        {{"-t", "a@b.example, thief@evil.example"}, "it holds more than one address"},
        {{"-t", "a@b.example thief@evil.example"}, "it holds more than one address"},
        {{"-t", "-oi"}, "it is not a plain address"},
        {{"-t", ""}, "it is empty"},
        {{"-s", "Order"}, "no recipient"},
        {{"-t", "a@b.example", "-t", "c@d.example"}, "one recipient per delivery"},
        {{"-t", "a@b.example", "-bs"}, "unknown argument \"-bs\""},
        {{"-s", "Hi\r\nBcc: thief@evil.example", "-t", "a@b.example"}, "refused subject"},
    };
    for (const Row& row : rows) {
        ProgramFolder f;
        f.use_recording_sendmail();
        std::vector<std::string> args{f.path("mail/1.2.mail")};
        args.insert(args.end(), row.args.begin(), row.args.end());
        Reply r = f.run(args);
        EXPECT_EQ(r.status, 2) << row.message;
        EXPECT_NE(r.err.find(row.message), std::string::npos) << r.err;
        const std::string log = f.get("errlog.txt");
        EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2) << log;
        EXPECT_NE(log.find("\nError Message=Mail to "), std::string::npos) << log;
        EXPECT_NE(r.err.find("usage: blat.exe MAILFILE -s SUBJECT -t ADDRESS [-q]\n"), std::string::npos);
        EXPECT_FALSE(fs::exists(f.path("sendmail-args"))) << row.message;
        EXPECT_TRUE(f.outbox().empty());
    }

    // The record shows the refused address with its control bytes as \xNN,
    // cut to 255 bytes.
    ProgramFolder f;
    const std::string tail(300, 'x');
    f.run({f.path("mail/1.2.mail"), "-t", "a@b.example\r\n" + tail});
    const std::string log = f.get("errlog.txt");
    EXPECT_EQ(log.substr(log.find('\n')), "\nError Message=Mail to a@b.example\\x0D\\x0A" + tail.substr(0, 255 - 13) +
                                               " not delivered: address refused: it holds a line break\n");
}

TEST(MailerRun, AMailFileThatCannotBeReadIsNotDelivered) {
    ProgramFolder f;
    Reply r = f.run({f.path("mail/none.mail"), "-t", "a@b.example"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "blat.exe: not delivered to a@b.example: cannot read the mail file " + f.path("mail/none.mail") +
                         "\n");
    f.put("mail/huge.mail", std::string((1 << 20) + 1, 'x'));
    r = f.run({f.path("mail/huge.mail"), "-t", "a@b.example"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("larger than 1 MiB"), std::string::npos);
    EXPECT_TRUE(f.outbox().empty());
}

TEST(MailerRun, RefusesToRunAsACgiProgramOrForAFileOutsideTheMailFolder) {
    struct Row {
        const char* what;
        std::string mail_file;  // relative to the program folder, where the mailer runs
        std::vector<std::string> env;
        std::string message;
    };
    const std::string outside = "is not in the mail folder";
    const Row rows[] = {
        {"started by a web server", "mail/1.2.mail", {"GATEWAY_INTERFACE=CGI/1.1"}, "GATEWAY_INTERFACE is set"},
        {"a request's method", "mail/1.2.mail", {"REQUEST_METHOD=GET"}, "REQUEST_METHOD is set"},
        {"a file of the shop", "customers.csv", {}, outside},
        {"up and out of the mail folder", "mail/../customers.csv", {}, outside},
        {"a link in the mail folder", "mail/link.mail", {}, outside},
        {"a folder below the mail folder", "mail/old/3.4.mail", {}, outside},
        {"a system file", "/etc/hostname", {}, outside},
        // An order table given a second name in the mail folder.
        {"a hard link in the mail folder", "mail/hard.mail", {}, "has 2 links"},
        {"another user's file in the mail folder", "mail/other.mail", {}, "does not belong to the user"},
    };
    for (const Row& row : rows) {
        if (row.mail_file == "mail/other.mail" && geteuid() != 0) continue;  // only root can give it away
        ProgramFolder f;
        f.use_recording_sendmail();
        f.put("customers.csv", "4111111111111111\n");
        f.put("mail/old/3.4.mail", "x\n");
        fs::create_symlink(f.path("customers.csv"), f.path("mail/link.mail"));
        fs::create_hard_link(f.path("customers.csv"), f.path("mail/hard.mail"));
        f.put("mail/other.mail", "x\n");
        if (geteuid() == 0) {
            ASSERT_EQ(chown(f.path("mail/other.mail").c_str(), 65534, 65534), 0);
        }
        const std::string file = row.mail_file[0] == '/' ? row.mail_file : f.path(row.mail_file);
        Reply r = f.run(confirm_args(f, "thief@evil.example", file), row.env);
        EXPECT_EQ(r.status, 3) << row.what;
        EXPECT_EQ(r.err.rfind("blat.exe: ", 0), 0u) << row.what << ": " << r.err;
        EXPECT_NE(r.err.find(row.message), std::string::npos) << row.what << ": " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << row.what;
        EXPECT_FALSE(fs::exists(f.path("sendmail-args"))) << row.what;
    }
    // The mail folder's own files go, also when named by a relative path.
    ProgramFolder f;
    EXPECT_EQ(f.run(confirm_args(f, "a@b.example", "mail/../mail/1.2.mail")).status, 0);
    EXPECT_EQ(f.outbox().size(), 1u);
}
