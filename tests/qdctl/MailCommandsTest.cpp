// Mail and contacts from qdctl: a script's "Send Email" step end to end against
// a real SMTP server, mail send, and the contact commands.
#include "QdctlFixture.h"
#include "support/MailServer.h"
#include "support/PrivateKeyring.h"

#include "mail/MailPassword.h"

#include "data/Calendar.h"

#include <gtest/gtest.h>

#include <filesystem>

using MailCommandsTest = qdtest::QdctlFixture;

TEST_F(MailCommandsTest, ASendEmailStepReportsTheRealResult) {
    std::filesystem::create_directories(dir / "server");
    qdtest::MailServer server(dir / "server", {"--refuse", "nobody@example.org"});
    ASSERT_EQ(run({"config", "set", "Host", server.host()}), 0) << err;
    ASSERT_EQ(run({"config", "set", "Sender", "ann@example.org"}), 0) << err;
    ASSERT_EQ(run({"config", "set", "LogEvents", "1"}), 0) << err;
    ASSERT_EQ(run({"rec", "add", "M_", "M_:MailType=Email", "M_:EmailTo=bob@example.org",
                   "M_:Subject=Report for [DATE]", "M_:Message=Total: [TOTAL]"}),
              0)
        << err;
    ASSERT_EQ(
        run({"rec", "add", "M_", "M_:MailType=Email", "M_:EmailTo=nobody@example.org", "M_:Subject=Lost"}),
        0);
    ASSERT_EQ(run({"rec", "add", "SCH", "SCH:Description=Mailing"}), 0);
    ASSERT_EQ(run({"script", "set", "1", "-"}, "SET TOTAL 42\r\nEMAIL 1\r\nEMAIL 2\r\n"), 0) << err;

    ASSERT_EQ(run({"--now", "2026-12-07 10:00", "script", "run", "1"}), 0) << err;
    EXPECT_NE(out.find("[EmailExitCode=0]"), std::string::npos) << out;
    EXPECT_NE(out.find("[EmailExitCode=9]"), std::string::npos) << out;
    ASSERT_EQ(server.received(), 1);
    EXPECT_EQ(server.file(1, "body"), "Total: 42");
    EXPECT_NE(server.file(1, "subject").find("Report for "), std::string::npos);
    EXPECT_EQ(server.file(1, "subject").find("[DATE]"), std::string::npos);
    ASSERT_EQ(run({"vars"}), 0);
    EXPECT_NE(out.find("EMAILEXITCODE=9\n"), std::string::npos) << out;
    EXPECT_NE(out.find("MAIL=Error\n"), std::string::npos) << out;
    // The server's reply, on one line.
    EXPECT_NE(
        out.find("MAILERROR=Mail Server Error: 550 5.1.1 <nobody@example.org>: Recipient address rejected\n"),
        std::string::npos)
        << out;
    ASSERT_EQ(run({"log", "show"}), 0);
    EXPECT_NE(out.find("Could not send nobody@example.org"), std::string::npos) << out;
    EXPECT_NE(out.find("Sent bob@example.org"), std::string::npos) << out;
    // The script's send stamped the message.
    ASSERT_EQ(run({"rec", "get", "M_", "M_:EmailID=1"}), 0);
    EXPECT_NE(out.find("M_:LastDateSent: " + std::to_string(qd::dateFromMDY(12, 7, 2026)) + "\n"),
              std::string::npos)
        << out;

    EXPECT_EQ(run({"--now", "2026-12-08 10:00", "mail", "send", "1"}), 0) << err;
    EXPECT_EQ(server.received(), 2);
    EXPECT_EQ(run({"mail", "send", "2"}), 1);
    EXPECT_NE(err.find("Recipient address rejected"), std::string::npos) << err;
    EXPECT_EQ(run({"mail", "send", "x"}), 2);
}

// Login over STARTTLS with a self-signed certificate named in the settings, the
// password kept first without any keyring, then moved into one when it appears.
TEST_F(MailCommandsTest, LoginPasswordWithoutAKeyringThenMovedIntoOne) {
    namespace fs = std::filesystem;
    fs::create_directories(dir / "server");
    fs::path cert, key;
    ASSERT_TRUE(qdtest::makeTestCertificate(dir.path(), cert, key));
    qdtest::MailServer server(dir / "server",
                              {"--tls", cert.string(), key.string(), "--login", "ann", "Open Sesame 1"});
    ASSERT_EQ(run({"config", "set", "Host", server.host()}), 0) << err;
    ASSERT_EQ(run({"config", "set", "Sender", "ann@example.org"}), 0) << err;
    ASSERT_EQ(run({"config", "set", "MailUser", "ann"}), 0) << err;
    ASSERT_EQ(run({"config", "set", "MailSecurity", "Require"}), 0) << err;
    const fs::path file = dir / qd::kMailPasswordFile;
    {
        qdtest::NoKeyring none;
        qdtest::LineFd pass("Open Sesame 1");
        ASSERT_EQ(run({"--passphrase-fd", pass.arg(), "mail", "password"}), 0) << err;
        EXPECT_NE(out.find("readable by you only"), std::string::npos) << out;
        ASSERT_TRUE(fs::exists(file));
        EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write);
        // The server's certificate is not trusted until the settings name it.
        EXPECT_EQ(run({"mail", "test"}), 1);
        EXPECT_EQ(server.received(), 0);
        ASSERT_EQ(run({"config", "set", "MailCAFile", cert.string()}), 0) << err;
        ASSERT_EQ(run({"mail", "test"}), 0) << out << err;
        EXPECT_EQ(server.received(), 1);
    }
    qdtest::PrivateKeyring keyring;
    ASSERT_EQ(keyring.failure(), "");
    ASSERT_EQ(run({"mail", "test"}), 0) << out << err;
    EXPECT_EQ(server.received(), 2);
    EXPECT_FALSE(fs::exists(file));
    std::string why;
    EXPECT_EQ(qd::openDesktopKeyring()->lookup(qd::kMailPasswordItem, why), "Open Sesame 1") << why;
    // With the keyring there, a new password goes there and no file is made.
    qdtest::LineFd other("Open Sesame 2");
    ASSERT_EQ(run({"--passphrase-fd", other.arg(), "mail", "password"}), 0) << err;
    EXPECT_NE(out.find("kept in the keyring"), std::string::npos) << out;
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(run({"mail", "test"}), 1);
    EXPECT_EQ(server.received(), 2);
}

TEST_F(MailCommandsTest, ContactsListAndCopy) {
    ASSERT_EQ(run({"rec", "add", "CC", "CC:ContactCategory=Club"}), 0) << err;
    ASSERT_EQ(run({"rec", "add", "C_", "C_:LastName=Lee", "C_:FirstName=Ann", "C_:Email=ann@example.org",
                   "C_:ContactCategory=Club", "C_:Fax=555"}),
              0)
        << err;
    ASSERT_EQ(run({"rec", "add", "C_", "C_:LastName=Abe"}), 0);
    ASSERT_EQ(run({"contacts", "list"}), 0);
    EXPECT_EQ(out, "2\tAbe\t\t\t\n1\tLee\tAnn\tann@example.org\tClub\n");
    ASSERT_EQ(run({"contacts", "list", "--category", "Club"}), 0);
    EXPECT_EQ(out, "1\tLee\tAnn\tann@example.org\tClub\n");
    ASSERT_EQ(run({"contacts", "copy", "1"}), 0);
    EXPECT_EQ(out, "Lee\r\nAnn\r\n\r\n\r\n\r\n\r\nWork Phone:\r\nHome Phone:\r\nFax: 555\r\nOther Phone:\r\n"
                   "Email: ann@example.org\r\nWeb Site:\r\nCategory: Club\r\n");
    EXPECT_EQ(run({"contacts", "copy", "9"}), 1);
}

TEST_F(MailCommandsTest, ContactsLinkedToTasks) {
    ASSERT_EQ(run({"rec", "add", "C_", "C_:LastName=Lee"}), 0) << err;
    ASSERT_EQ(run({"rec", "add", "SCH", "SCH:Description=Backup"}), 0) << err;
    ASSERT_EQ(run({"contacts", "link", "1", "1"}), 0) << err;
    EXPECT_EQ(run({"contacts", "link", "1", "1"}), 1);
    EXPECT_NE(err.find("already"), std::string::npos) << err;
    EXPECT_EQ(run({"contacts", "link", "1", "99"}), 1);
    EXPECT_NE(err.find("no task with number 99"), std::string::npos) << err;
    EXPECT_EQ(run({"contacts", "link", "7", "1"}), 1);
    ASSERT_EQ(run({"contacts", "tasks", "1"}), 0) << err;
    EXPECT_EQ(out, "1\tBackup\n");
    ASSERT_EQ(run({"contacts", "unlink", "1", "1"}), 0) << err;
    ASSERT_EQ(run({"contacts", "tasks", "1"}), 0) << err;
    EXPECT_EQ(out, "");
    EXPECT_EQ(run({"contacts", "unlink", "1", "1"}), 1);
    EXPECT_EQ(run({"contacts", "link", "1"}), 2);
}
