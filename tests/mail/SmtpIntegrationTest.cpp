// The SMTP client against a real server on 127.0.0.1 (aiosmtpd, started per test).
#include "mail/MailSender.h"
#include "support/MailServer.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace qd;
namespace fs = std::filesystem;
using qdtest::MailServer;
using qdtest::readFile;

namespace {

class SmtpTest : public ::testing::Test {
protected:
    fs::path serverDir() {
        fs::create_directories(dir / "server");
        return dir / "server";
    }
    MailSender sender(const std::string& host) {
        MailSender m;
        m.SetMailHost(host);
        m.SetDebugFile((dir / "inmail.log").string());
        m.SetFrom("\"Ann Sender\" <ann@example.org>");
        m.SetReturnPath("ann@example.org");
        m.SetSubject("Hello");
        m.AddTo("Bob", "bob@example.org");
        m.SetMessageText("Hi Bob", 6);
        return m;
    }
    std::string transcript() { return readFile(dir / "inmail.log"); }

    qdtest::TempDir dir;
};

// Binary content with every byte value and lines that look like SMTP's end of data.
std::string binaryContent(int seed) {
    std::string s;
    for (int i = 0; i < 3000; ++i)
        s += static_cast<char>((i * 7 + seed) & 0xFF);
    s += "\r\n.\r\n..\r\nend";
    return s;
}

} // namespace

TEST_F(SmtpTest, CcBccTwoAttachmentsAndUtf8ArriveAsSent) {
    MailServer server(serverDir());
    const fs::path a1 = dir / "report.bin";
    const fs::path a2 = dir / "notes.txt";
    std::ofstream(a1, std::ios::binary) << binaryContent(1);
    std::ofstream(a2, std::ios::binary) << "plain\nnotes\n";

    MailSender m;
    m.SetMailHost(server.host());
    m.SetDebugFile((dir / "inmail.log").string());
    m.SetFrom("\"J\xC3\xBCrgen M\xC3\xBCller\" <jm@example.org>");
    m.SetReturnPath("jm@example.org");
    m.SetOrganization("Acme");
    m.SetMailer("Quandrel 2000");
    m.SetSubject("Gr\xC3\xBC\xC3\x9F"
                 "e aus K\xC3\xB6ln");
    m.AddTo("Zo\xC3\xAB", "zoe@example.org");
    m.AddCC("carl@example.org", "carl@example.org");
    m.AddBCC("hidden@example.org");
    m.AddAttachment(a1.string(), 8);
    m.AddAttachment(a2.string(), 8);
    m.SetMessageText("Line one\n.single dot line\nLine \xC3\xBC"
                     "ber three",
                     6);
    ASSERT_EQ(m.Send(), 0) << m.MailErrorText(0) << transcript();

    ASSERT_EQ(server.received(), 1);
    EXPECT_EQ(server.file(1, "envelope"),
              "jm@example.org\nzoe@example.org\ncarl@example.org\nhidden@example.org\n");
    const std::string headers = server.file(1, "headers");
    EXPECT_EQ(headers.find("hidden@example.org"), std::string::npos) << headers;
    EXPECT_EQ(headers.find("Bcc"), std::string::npos) << headers;
    EXPECT_NE(headers.find("Cc: carl@example.org"), std::string::npos) << headers;
    EXPECT_NE(headers.find("Organization: Acme"), std::string::npos) << headers;
    EXPECT_NE(headers.find("X-Mailer: Quandrel 2000"), std::string::npos) << headers;
    EXPECT_NE(headers.find("X-Priority: 3"), std::string::npos) << headers;
    EXPECT_NE(headers.find("Date: "), std::string::npos) << headers;
    EXPECT_EQ(server.file(1, "subject"), "Gr\xC3\xBC\xC3\x9F"
                                         "e aus K\xC3\xB6ln");
    EXPECT_EQ(server.file(1, "from"), "J\xC3\xBCrgen M\xC3\xBCller <jm@example.org>");
    EXPECT_EQ(server.file(1, "to"), "Zo\xC3\xAB <zoe@example.org>");
    EXPECT_EQ(server.file(1, "body"), "Line one\r\n.single dot line\r\nLine \xC3\xBC"
                                      "ber three");
    EXPECT_EQ(server.file(1, "att.1"), binaryContent(1));
    EXPECT_EQ(server.file(1, "att.1.name"), "report.bin");
    EXPECT_EQ(server.file(1, "att.2"), "plain\nnotes\n");
    EXPECT_EQ(server.file(1, "att.2.name"), "notes.txt");
    // The transcript holds the dialogue, and is the user's alone.
    EXPECT_NE(transcript().find("RCPT TO:<hidden@example.org>"), std::string::npos);
    EXPECT_EQ(fs::status(dir / "inmail.log").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(SmtpTest, StartTlsWithASelfSignedCertificate) {
    fs::path cert, key;
    ASSERT_TRUE(qdtest::makeTestCertificate(dir.path(), cert, key));
    MailServer server(serverDir(), {"--tls", cert.string(), key.string()});

    MailSender trusted = sender(server.host());
    trusted.SetSecurity(MailSecurity::RequireStartTls, cert.string());
    ASSERT_EQ(trusted.Send(), 0) << trusted.MailErrorText(trusted.Send()) << transcript();
    EXPECT_EQ(server.received(), 1);
    EXPECT_NE(transcript().find("> STARTTLS"), std::string::npos);

    // The same server is not trusted without its certificate: nothing is sent in the clear instead.
    MailSender untrusted = sender(server.host());
    const int r = untrusted.Send();
    EXPECT_EQ(r, mailresult::SecureConnection) << untrusted.MailErrorText(r);
    EXPECT_EQ(server.received(), 1);
}

TEST_F(SmtpTest, RequiredStartTlsFailsWhenTheServerDoesNotOfferIt) {
    MailServer server(serverDir());
    MailSender m = sender(server.host());
    m.SetSecurity(MailSecurity::RequireStartTls);
    EXPECT_EQ(m.Send(), mailresult::SecureConnection);
    EXPECT_EQ(server.received(), 0);
    // Offered-when-available goes on in plain text with a server that has none.
    MailSender plain = sender(server.host());
    EXPECT_EQ(plain.Send(), 0);
    EXPECT_EQ(server.received(), 1);
}

TEST_F(SmtpTest, LoginAcceptedAndRefusedWithThePasswordNeverInTheTranscript) {
    fs::path cert, key;
    ASSERT_TRUE(qdtest::makeTestCertificate(dir.path(), cert, key));
    MailServer server(serverDir(), {"--tls", cert.string(), key.string(), "--login", "ann", "Open Sesame 1"});

    MailSender good = sender(server.host());
    good.SetSecurity(MailSecurity::RequireStartTls, cert.string());
    good.SetLogin("ann", "Open Sesame 1");
    ASSERT_EQ(good.Send(), 0) << transcript();
    EXPECT_EQ(server.received(), 1);

    MailSender bad = sender(server.host());
    bad.SetSecurity(MailSecurity::RequireStartTls, cert.string());
    bad.SetLogin("ann", "wrong password");
    const int r = bad.Send();
    EXPECT_EQ(r, mailresult::ServerError);
    EXPECT_NE(bad.MailErrorText(r).find("535"), std::string::npos) << bad.MailErrorText(r);
    EXPECT_EQ(server.received(), 1);

    const std::string log = transcript();
    EXPECT_NE(log.find("AUTH "), std::string::npos) << log;
    for (const char* secret : {"Open Sesame 1", "wrong password",
                               // base64 of "\0ann\0Open Sesame 1" and of the password alone
                               "AGFubgBPcGVuIFNlc2FtZSAx", "T3BlbiBTZXNhbWUgMQ=="})
        EXPECT_EQ(log.find(secret), std::string::npos) << secret << "\n" << log;
}

TEST_F(SmtpTest, ARefusedRecipientIsAServerErrorAndNothingIsDelivered) {
    MailServer server(serverDir(), {"--refuse", "nobody@example.org"});
    MailSender m = sender(server.host());
    m.AddCC("nobody@example.org", "nobody@example.org");
    const int r = m.Send();
    EXPECT_EQ(r, mailresult::ServerError);
    EXPECT_EQ(m.MailErrorText(r),
              "Mail Server Error:\r550 5.1.1 <nobody@example.org>: Recipient address rejected");
    EXPECT_EQ(server.received(), 0);
}

TEST_F(SmtpTest, TheServerClosingMidDialogueOrNotListening) {
    MailServer closing(serverDir(), {"--close-after-ehlo"});
    MailSender m = sender(closing.host());
    const int r = m.Send();
    EXPECT_TRUE(r == mailresult::ReceiveFailed || r == mailresult::SendFailed)
        << r << " " << m.MailErrorText(r);

    MailSender nobody = sender("127.0.0.1:" + std::to_string(qdtest::closedPort()));
    EXPECT_EQ(nobody.Send(), mailresult::Connect);
    MailSender noHost = sender("");
    EXPECT_NE(noHost.Send(), 0);
}

TEST_F(SmtpTest, AHeaderWithALineBreakSendsNothing) {
    MailServer server(serverDir());
    MailSender m = sender(server.host());
    m.SetSubject("Hello\r\nBcc: victim@example.org");
    EXPECT_EQ(m.Send(), mailresult::HeaderLineBreak);
    EXPECT_EQ(server.received(), 0);
    EXPECT_EQ(transcript(), "") << "no connection was made";
}

TEST_F(SmtpTest, AnUnreadableAttachmentSendsNothing) {
    MailServer server(serverDir());
    MailSender m = sender(server.host());
    m.AddAttachment((dir / "missing.pdf").string(), 8);
    const int r = m.Send();
    EXPECT_EQ(r, mailresult::AttachmentUnreadable);
    EXPECT_NE(m.MailErrorText(r).find("missing.pdf"), std::string::npos);
    EXPECT_EQ(server.received(), 0);
}
