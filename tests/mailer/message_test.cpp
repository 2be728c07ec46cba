// The mailer's rules on plain text: which addresses and command lines pass,
// and the message it makes of an order mail.
#include <gtest/gtest.h>

#include "mailer/message.h"

using namespace mailer;

TEST(MailerAddress, PlainAddressesPassAndEverythingElseIsRefusedWithItsReason) {
    struct Row {
        std::string address;
        std::string refusal;  // empty: accepted
    };
    const Row rows[] = {
        {"shopper@example.com", ""},
        {"first.last+tea@mail.example.co.uk", ""},
        {"o_k-1%x@sub-domain.example", ""},
        {"root@localhost", ""},
        {"", "it is empty"},
        {"a@b.example\r\nBcc: thief@evil.example", "it holds a line break"},
        {"a@b.example\nSubject: hi", "it holds a line break"},
        {"a@b.example\r", "it holds a line break"},
        {"a@b.example, thief@evil.example", "it holds more than one address"},
        {"a@b.example;thief@evil.example", "it holds more than one address"},
        {"a@b.example thief@evil.example", "it holds more than one address"},
        {"a@b@evil.example", "it holds more than one address"},
        {"Shopper <a@b.example>", "it is not a plain address (local-part@domain)"},
        {"no-at-sign.example", "it is not a plain address (local-part@domain)"},
        {"-oQ/tmp@x.example", "it is not a plain address (local-part@domain)"},
        {".a@b.example", "it is not a plain address (local-part@domain)"},
        {"a..b@b.example", "it is not a plain address (local-part@domain)"},
        {"a@-b.example", "it is not a plain address (local-part@domain)"},
        {"a@b..example", "it is not a plain address (local-part@domain)"},
        {"a@", "it is not a plain address (local-part@domain)"},
        {"\"quoted\"@b.example", "it is not a plain address (local-part@domain)"},
        {"a@b.example\t", "it is not a plain address (local-part@domain)"},
        {std::string(250, 'a') + "@b.ex", "it is longer than 254 characters"},
        {"zo\xc3\xab@tea.example", "it holds characters outside ASCII, which mail programs may not carry"},
        {"a@b\xc3\xbc.example", "it holds characters outside ASCII, which mail programs may not carry"},
    };
    for (const Row& row : rows) EXPECT_EQ(address_refusal(row.address), row.refusal) << printable(row.address);
}

TEST(MailerArguments, TakesTheCommandLineThatTavraGives) {
    Parsed p = parse_arguments({"/shop/mail/1.2.mail", "-s", "\"Order Delivery\"", "-t", "a@b.example", "-q"});
    ASSERT_TRUE(p.invocation) << p.refusal;
    EXPECT_EQ(p.invocation->mail_file, "/shop/mail/1.2.mail");
    EXPECT_EQ(p.invocation->subject, "Order Delivery");
    EXPECT_EQ(p.invocation->recipient, "a@b.example");

    // Options in another order, no subject, no -q; an unquoted subject stays.
    p = parse_arguments({"m.mail", "-t", "a@b.example"});
    ASSERT_TRUE(p.invocation);
    EXPECT_EQ(p.invocation->subject, "Order Delivery");
    p = parse_arguments({"m.mail", "-q", "-t", "a@b.example", "-s", "Your \"tea\""});
    ASSERT_TRUE(p.invocation);
    EXPECT_EQ(p.invocation->subject, "Your \"tea\"");
    p = parse_arguments({"m.mail", "-t", "a@b.example", "-s", "Ihre Bestellung, Gr\xc3\xbc\xc3\x9f Gott \xe2\x82\xac"});
    ASSERT_TRUE(p.invocation) << p.refusal;
}

TEST(MailerArguments, RefusesAnythingElse) {
    struct Row {
        std::vector<std::string> args;
        std::string refusal;
    };
    const Row rows[] = {
        {{}, "the first argument must be the mail file"},
        {{"-t", "a@b.example"}, "the first argument must be the mail file"},
        {{"m.mail"}, "no recipient: -t ADDRESS is required"},
        {{"m.mail", "-s", "x"}, "no recipient: -t ADDRESS is required"},
        {{"m.mail", "-t"}, "-t needs a value"},
        {{"m.mail", "-t", "a@b.example", "-t", "c@d.example"}, "one recipient per delivery: -t given twice"},
        {{"m.mail", "-t", "a@b.example", "-s", "x", "-s", "y"}, "-s given twice"},
        {{"m.mail", "-t", "a@b.example", "-f", "x@y.example"}, "unknown argument \"-f\""},
        {{"m.mail", "-t", "a@b.example", "c@d.example"}, "unknown argument \"c@d.example\""},
        {{"m.mail", "-t", "a@b.example\r\nBcc: x@evil.example"},
         "refused recipient \"a@b.example\\r\\nBcc: x@evil.example\": it holds a line break"},
        {{"m.mail", "-t", "a@b.example,x@evil.example"},
         "refused recipient \"a@b.example,x@evil.example\": it holds more than one address"},
        {{"m.mail", "-t", "a@b.example", "-s", "Hi\nBcc: x@evil.example"},
         "refused subject \"Hi\\nBcc: x@evil.example\": it holds a line break"},
        {{"m.mail", "-t", "a@b.example", "-s", "Hi\tthere"}, "refused subject \"Hi\\x09there\": it holds a control character"},
        {{"m.mail", "-t", "a@b.example", "-s", "caf\xe9"}, "refused subject \"caf\xe9\": it is not UTF-8 text"},
        {{"m.mail", "-t", "a@b.example", "-s", "x\xe2\x82"}, "refused subject \"x\xe2\x82\": it is not UTF-8 text"},
    };
    for (const Row& row : rows) {
        Parsed p = parse_arguments(row.args);
        EXPECT_FALSE(p.invocation);
        EXPECT_EQ(p.refusal, row.refusal);
    }
}

TEST(MailerMessage, HeaderThenTheMailFileWithTheLineEndsAsked) {
    Envelope e{"orders@shop.example", "Tea & Co.", "Order Delivery", "Tue, 08 Dec 2026 15:09:00 +0000",
               "1.2.3@shop.example"};
    const std::string body = "Invoice Number :1000\r\n\nOrdered Items\n.\nlast line without end";
    EXPECT_EQ(compose(e, "a@b.example", body, "\r\n"),
              "From: \"Tea & Co.\" <orders@shop.example>\r\n"
              "To: <a@b.example>\r\n"
              "Subject: Order Delivery\r\n"
              "Date: Tue, 08 Dec 2026 15:09:00 +0000\r\n"
              "Message-ID: <1.2.3@shop.example>\r\n"
              "MIME-Version: 1.0\r\n"
              "Content-Type: text/plain; charset=utf-8\r\n"
              "Content-Transfer-Encoding: 8bit\r\n"
              "\r\n"
              "Invoice Number :1000\r\n"
              "\r\n"
              "Ordered Items\r\n"
              ".\r\n"
              "last line without end\r\n");

    e.from_name.clear();
    std::string local = compose(e, "a@b.example", "Gr\xc3\xbcn\x00tee\n", "\n");
    EXPECT_EQ(local.substr(0, 34), "From: <orders@shop.example>\nTo: <a");
    EXPECT_NE(local.find("Content-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: 8bit\n\n"),
              std::string::npos);
    EXPECT_EQ(local.find('\r'), std::string::npos);
}

TEST(MailerMessage, ZeroBytesAreDroppedAndLongLinesBroken) {
    Envelope e{"o@s.example", "", "S", "D", "M"};
    std::string body("A\0B\n", 4);
    body += std::string(kMaxLine + 5, 'x');
    std::string m = compose(e, "a@b.example", body, "\r\n");
    std::string text = m.substr(m.find("\r\n\r\n") + 4);
    EXPECT_EQ(text, "AB\r\n" + std::string(kMaxLine, 'x') + "\r\nxxxxx\r\n");
}

TEST(MailerMessage, DisplayNamesAndSubjectsAreQuotedOrEncodedAsTheyNeed) {
    struct Row {
        std::string name, subject;
        std::string head;  // From and To .. Subject, "\n" line ends
    };
    const Row rows[] = {
        {"The Little Tea Shop", "Order Delivery",
         "From: The Little Tea Shop <o@s.example>\nTo: <a@b.example>\nSubject: Order Delivery\n"},
        // Specials are quoted, quotes and backslashes inside escaped.
        {"Tea \"Co\" <x@y> \\ 1", "Ask =? me",
         "From: \"Tea \\\"Co\\\" <x@y> \\\\ 1\" <o@s.example>\nTo: <a@b.example>\n"
         "Subject: =?UTF-8?B?QXNrID0/IG1l?=\n"},
        // UTF-8 is B-encoded; "Teestübchen Zoë & Söhne" fits one word.
        {"Teest\xc3\xbc" "bchen Zo\xc3\xab & S\xc3\xb6hne", "Caf\xc3\xa9",
         "From: =?UTF-8?B?VGVlc3TDvGJjaGVuIFpvw6sgJiBTw7ZobmU=?= <o@s.example>\nTo: <a@b.example>\n"
         "Subject: =?UTF-8?B?Q2Fmw6k=?=\n"},
        // Longer text takes several words of whole characters, folded.
        {"", std::string(20, 'x') + "\xe2\x82\xac" + std::string(30, 'y'),
         "From: <o@s.example>\nTo: <a@b.example>\n"
         "Subject: =?UTF-8?B?eHh4eHh4eHh4eHh4eHh4eHh4eHjigqx5eXl5eXl5eXl5eXl5eXl5eXl5eXl5?=\n"
         " =?UTF-8?B?eXl5eXl5eXk=?=\n"},
        {"\xc3\xa9" + std::string(43, 'n'), "S",
         "From: =?UTF-8?B?w6lubm5ubm5ubm5ubm5ubm5ubm5ubm5ubm5ubm5ubm5ubm5ubm5ubm5ubm5u?=\n <o@s.example>\n"
         "To: <a@b.example>\nSubject: S\n"},
    };
    for (const Row& row : rows) {
        Envelope e{"o@s.example", row.name, row.subject, "D", "M"};
        const std::string m = compose(e, "a@b.example", "x", "\n");
        EXPECT_EQ(m.substr(0, m.find("Date:")), row.head) << row.name;
    }
}

TEST(MailerMessage, DisplayNameDropsControlsAndKeepsWholeCharacters) {
    EXPECT_EQ(display_name("  Tea \"Co\"\r\nBcc: z  "), "Tea \"Co\" Bcc: z");
    EXPECT_EQ(display_name("Zo\xc3\xab\t\t& S\xf6hne"), "Zo\xc3\xab & S\xef\xbf\xbdhne");
    EXPECT_EQ(display_name(std::string(100, 'n')).size(), 64u);
    // 63 letters and then a two-byte letter: 64 characters, 65 bytes.
    EXPECT_EQ(display_name(std::string(63, 'n') + "\xc3\xbc\xc3\xbc"), std::string(63, 'n') + "\xc3\xbc");
}
