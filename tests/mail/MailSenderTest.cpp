// The mail object on a recording transport: what reaches the transport, the
// codes and texts, header encoding and the refusal of line breaks.
#include "mail/MailSender.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace qd;

namespace {

struct Seen {
    int calls = 0;
    std::string host, from, subject, body;
    std::vector<std::pair<std::string, std::string>> to, cc, bcc;
    std::vector<std::string> attachments;
    int priority = 0, serverMode = 0, messageType = 0;
};

MailTransport recording(Seen& seen, int result = 0, std::string reply = {}) {
    return [&seen, result, reply](SendMailBlock& b) {
        ++seen.calls;
        seen.host = b.MAILHOST;
        seen.from = b.FROM;
        seen.subject = b.SUBJECT;
        seen.body = b.MESSAGETEXTHANDLE ? b.MESSAGETEXTHANDLE : "";
        for (const auto& a : b.TOADR)
            seen.to.emplace_back(a.NAME, a.EMAIL);
        for (const auto& a : b.CCADR)
            seen.cc.emplace_back(a.NAME, a.EMAIL);
        for (const auto& a : b.BCCADR)
            seen.bcc.emplace_back(a.NAME, a.EMAIL);
        for (const auto& a : b.ATTACHMENTS)
            seen.attachments.push_back(a.FILENAME);
        seen.priority = b.PRIORITY;
        seen.serverMode = b.SERVERMODE;
        seen.messageType = b.MESSAGETYPE;
        std::snprintf(b.SERVERERRORMESSAGE, kServerErrorCapacity, "%s", reply.c_str());
        return result;
    };
}

} // namespace

TEST(MailSenderTest, TheTransportGetsTrimmedFieldsListsAndDefaults) {
    Seen seen;
    MailSender m(recording(seen));
    m.SetMailHost("mail.example.org   ");
    m.SetFrom("\"Ann\" <ann@example.org>");
    m.SetSubject("Report   ");
    m.AddTo("Bob  ", "bob@example.org  ");
    m.AddTo("Nobody", "   "); // a blank address is ignored
    m.AddCC("cc@example.org", "cc@example.org");
    m.AddBCC("hidden@example.org");
    m.AddBCC("");
    m.AddAttachment("/tmp/a.txt  ", 8);
    m.AddAttachment("  ", 8);
    m.SetMessageText("Body text   ", 6);
    ASSERT_EQ(m.Send(), 0);
    EXPECT_EQ(seen.host, "mail.example.org");
    EXPECT_EQ(seen.subject, "Report");
    EXPECT_EQ(seen.body, "Body text");
    EXPECT_EQ(seen.to, (std::vector<std::pair<std::string, std::string>>{{"Bob", "bob@example.org"}}));
    ASSERT_EQ(seen.cc.size(), 1u);
    EXPECT_EQ(seen.bcc, (std::vector<std::pair<std::string, std::string>>{{"", "hidden@example.org"}}));
    EXPECT_EQ(seen.attachments, std::vector<std::string>{"/tmp/a.txt"});
    EXPECT_EQ(seen.priority, 3);
    EXPECT_EQ(seen.serverMode, 1);
    EXPECT_EQ(seen.messageType, 6);
}

TEST(MailSenderTest, ResultCodesAndTheirTexts) {
    Seen seen;
    MailSender none(recording(seen));
    EXPECT_EQ(none.Send(), mailresult::NoRecipients);
    EXPECT_EQ(seen.calls, 0) << "no recipient: the transport is not called";
    EXPECT_EQ(none.MailErrorText(15), "No recipiens specified");

    MailSender above(recording(seen, 1001));
    above.AddTo("", "a@b.c");
    EXPECT_EQ(above.Send(), 0) << "above 1000 counts as success";

    MailSender server(recording(seen, 9, "550 5.1.1 unknown user   "));
    server.AddTo("", "a@b.c");
    EXPECT_EQ(server.Send(), 9);
    EXPECT_EQ(server.MailErrorText(9), "Mail Server Error:\r550 5.1.1 unknown user");
    EXPECT_EQ(MailErrorText(16), "Unknown error");
    EXPECT_EQ(MailErrorText(13), "Unknown error");
    EXPECT_EQ(MailErrorText(6), "Failed to connect. Mail Server not found!");
    EXPECT_EQ(MailErrorText(0), "");
}

TEST(MailSenderTest, ALineBreakInAnyHeaderValueRefusesTheMailBeforeTheTransport) {
    const auto attempt = [](const std::function<void(MailSender&)>& fill) {
        Seen seen;
        MailSender m(recording(seen));
        m.AddTo("Bob", "bob@example.org");
        fill(m);
        const int r = m.Send();
        EXPECT_EQ(seen.calls, 0);
        return r;
    };
    EXPECT_EQ(attempt([](MailSender& m) { m.SetSubject("Hi\r\nBcc: victim@example.org"); }),
              mailresult::HeaderLineBreak);
    EXPECT_EQ(attempt([](MailSender& m) { m.AddTo("Eve\nX-Evil: 1", "eve@example.org"); }),
              mailresult::HeaderLineBreak);
    EXPECT_EQ(attempt([](MailSender& m) { m.AddCC("c", "c@example.org\r"); }), mailresult::HeaderLineBreak);
    EXPECT_EQ(attempt([](MailSender& m) { m.SetOrganization("Org\nX: y"); }), mailresult::HeaderLineBreak);
    EXPECT_EQ(attempt([](MailSender& m) { m.SetFrom("a@b.c\r\nTo: x@y.z"); }), mailresult::HeaderLineBreak);
    EXPECT_NE(MailErrorText(mailresult::HeaderLineBreak), "Unknown error");
    // A line break in the body is what bodies are made of.
    Seen seen;
    MailSender ok(recording(seen));
    ok.AddTo("Bob", "bob@example.org");
    ok.SetMessageText("line 1\r\nline 2", 6);
    EXPECT_EQ(ok.Send(), 0);
}

TEST(MailSenderTest, TextsAreCutToTheirCapacityBetweenCharacters) {
    Seen seen;
    MailSender m(recording(seen));
    std::string subject(199, 'x');
    subject += "\xC3\xBC"; // "ü" would straddle the 200th byte
    m.SetSubject(subject);
    std::string name(198, 'y');
    name += "\xE2\x82\xAC"; // "€" does not fit in the 199 bytes of a name
    m.AddTo(name, "a@b.c");
    ASSERT_EQ(m.Send(), 0);
    EXPECT_EQ(seen.subject, std::string(199, 'x'));
    EXPECT_EQ(seen.to[0].first, std::string(198, 'y'));
}

TEST(MailSenderTest, HeaderTextsAreEncodedWhenNotPlainAscii) {
    EXPECT_EQ(encodeHeaderText("Plain subject"), "Plain subject");
    EXPECT_EQ(encodeHeaderText("Gr\xC3\xBC\xC3\x9F"
                               "e"),
              "=?UTF-8?B?R3LDvMOfZQ==?=");
    // Long texts become several words of at most 75 characters, each holding whole characters.
    std::string longText;
    for (int i = 0; i < 40; ++i)
        longText += "\xC3\xA9"; // "é"
    const std::string encoded = encodeHeaderText(longText);
    std::size_t start = 0;
    int words = 0;
    while (start < encoded.size()) {
        auto end = encoded.find(' ', start);
        if (end == std::string::npos) end = encoded.size();
        EXPECT_LE(end - start, 75u);
        EXPECT_EQ(encoded.substr(start, 10), "=?UTF-8?B?");
        start = end + 1;
        ++words;
    }
    EXPECT_EQ(words, 2);

    EXPECT_EQ(formatMailbox("", "a@b.c"), "a@b.c");
    EXPECT_EQ(formatMailbox("Ann Lee", "a@b.c"), "\"Ann Lee\" <a@b.c>");
    EXPECT_EQ(formatMailbox("Ann \"Al\" Lee", "a@b.c"), "\"Ann \\\"Al\\\" Lee\" <a@b.c>");
    EXPECT_EQ(formatMailbox("J\xC3\xBCrgen", "j@b.c"), "=?UTF-8?B?SsO8cmdlbg==?= <j@b.c>");
    EXPECT_EQ(addressPart("\"Ann\" <a@b.c>"), "a@b.c");
    EXPECT_EQ(addressPart(" a@b.c "), "a@b.c");
}
