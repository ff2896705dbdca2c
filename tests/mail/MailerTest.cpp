// Stored messages, mass mailing and news posting on a real data set against
// real local servers; the form's rules and the system's mail settings.
#include "mail/Mailer.h"
#include "data/Calendar.h"
#include "data/FileManager.h"
#include "data/TableDefs.h"
#include "mail/MessageRules.h"
#include "support/MailServer.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>

using namespace qd;
namespace fs = std::filesystem;
using qdtest::MailServer;

namespace {

class MailerTest : public ::testing::Test {
protected:
    MailerTest()
        : errors(&ui), ds(dir.path(), errors), clock({dateFromMDY(3, 10, 2026), timeFromHMS(9, 0, 0)}),
          log(EventLogConfig{dir.path(), "d3", true, false}, &clock) {
        log.setObserver([this](std::string_view detail, std::string_view label) {
            logged.push_back(std::string(label) + ": " + std::string(detail));
        });
        settings.Sender = "ann@example.org";
        settings.SenderName = "Ann";
        fs::create_directories(dir / "server");
    }

    Mailer mailer(const std::string& host) {
        settings.Host = host;
        Mailer m(ds, log, ui, clock, settings);
        m.setVariableSink([this](const std::string& n, const std::string& v) { vars[n] = v; });
        return m;
    }
    int addMessage(MessagesRecord r) {
        Table<MessagesRecord> t(ds, tables::Messages());
        EXPECT_EQ(t.open(), Level::Benign);
        t.rec = r;
        EXPECT_EQ(t.insert(), Level::Benign);
        return t.rec.EmailID;
    }
    MessagesRecord message(int id) {
        Table<MessagesRecord> t(ds, tables::Messages());
        EXPECT_EQ(t.open(), Level::Benign);
        t.rec.EmailID = id;
        EXPECT_EQ(t.fetch("M_:KeyEmailID"), Level::Benign);
        return t.rec;
    }
    void addContacts(const std::string& category, int count) {
        Table<ContactRecord> t(ds, tables::Contact());
        ASSERT_EQ(t.open(), Level::Benign);
        Table<ContactCategoriesRecord> cat(ds, tables::ContactCategories());
        ASSERT_EQ(cat.open(), Level::Benign);
        cat.rec.ContactCategory = category;
        ASSERT_EQ(cat.insert(), Level::Benign);
        for (int i = 1; i <= count; ++i) {
            t.rec = {};
            t.rec.LastName = "Last" + std::to_string(100 + i);
            t.rec.FirstName = "First" + std::to_string(i);
            t.rec.Email = "c" + std::to_string(i) + "@example.org";
            t.rec.ContactCategory = category;
            ASSERT_EQ(t.insert(), Level::Benign);
        }
    }
    static MessagesRecord email(const std::string& to, const std::string& subject) {
        MessagesRecord m{};
        m.MailType = "Email";
        m.EmailTo = to;
        m.Subject = subject;
        m.Message = "Body";
        return m;
    }
    bool wasLogged(const std::string& line) const {
        return std::find(logged.begin(), logged.end(), line) != logged.end();
    }

    qdtest::TempDir dir;
    ScriptedUserInterface ui;
    ErrorClass errors;
    DataSet ds;
    ManualClock clock;
    EventLog log;
    ProgramSettings settings;
    std::vector<std::string> logged;
    std::map<std::string, std::string> vars;
};

} // namespace

TEST_F(MailerTest, AScriptSendStampsTheDateLogsAndSetsTheVariables) {
    MailServer server(dir / "server");
    MessagesRecord r = email("bob@example.org", "Weekly report");
    r.EmailToName = "Bob";
    r.BCC = "boss@example.org";
    const int id = addMessage(r);
    Mailer m = mailer(server.host());
    ASSERT_EQ(m.SendStoredMessage(id, false, true), 0) << m.lastErrorText();
    EXPECT_EQ(server.file(1, "envelope"), "ann@example.org\nbob@example.org\nboss@example.org\n");
    EXPECT_EQ(server.file(1, "from"), "Ann <ann@example.org>");
    EXPECT_EQ(message(id).LastDateSent, clock.today());
    EXPECT_TRUE(wasLogged("Email: Sent bob@example.org"));
    EXPECT_EQ(vars["Mail"], "Sent");
    EXPECT_EQ(vars["MailError"], "None");
    EXPECT_EQ(vars["EmailHost"], server.host());
    EXPECT_TRUE(fs::exists(dir / "inmail.log"));

    // From the form: the record as it stands is sent and nothing is written.
    MessagesRecord edited = message(id);
    edited.LastDateSent = 0;
    edited.Subject = "Changed in the form";
    {
        Table<MessagesRecord> t(ds, tables::Messages());
        t.open();
        t.rec = edited;
        t.rec.EmailID = id;
        t.fetch("M_:KeyEmailID");
        t.rec.LastDateSent = 0;
        ASSERT_EQ(t.update(), Level::Benign);
    }
    ASSERT_EQ(m.SendStoredMessage(0, true, false, &edited), 0);
    EXPECT_EQ(server.file(2, "subject"), "Changed in the form");
    EXPECT_EQ(message(id).LastDateSent, 0);
}

TEST_F(MailerTest, FailuresAreLoggedAndLeaveTheRecordAlone) {
    const int id = addMessage(email("bob@example.org", "Report"));
    Mailer m = mailer("127.0.0.1:" + std::to_string(qdtest::closedPort()));
    EXPECT_EQ(m.SendStoredMessage(id, false, true), mailresult::Connect);
    EXPECT_TRUE(wasLogged("Mail Error: Error:  Failed to connect. Mail Server not found!"));
    EXPECT_TRUE(wasLogged("Mail Error: Could not send bob@example.org"));
    EXPECT_EQ(vars["Mail"], "Error");
    EXPECT_EQ(vars["MailError"], "Failed to connect. Mail Server not found!");
    EXPECT_EQ(message(id).LastDateSent, 0);

    // A message that cannot be read, and incomplete settings.
    EXPECT_EQ(m.SendStoredMessage(999, false, true), 1);
    EXPECT_TRUE(wasLogged("Script: Error sending message"));
    Mailer noHost = mailer("");
    EXPECT_EQ(noHost.SendStoredMessage(id, false, true), 1);
    ASSERT_FALSE(ui.shown.empty());
    EXPECT_EQ(ui.shown.back().text,
              "Email not setup.  Select File->Setup, Email tab, and fill in the required information.");
    // A news message needs the news settings instead.
    MessagesRecord news = email("comp.test", "Hello");
    news.MailType = "News";
    const int newsId = addMessage(news);
    EXPECT_EQ(noHost.SendStoredMessage(newsId, false, true), 1);
    EXPECT_EQ(ui.shown.back().text,
              "Email (News) not setup. Select File->Setup, Email tab, and fill in the required information.");

    // "N/A" or blank: no recipient, no connection.
    for (const char* to : {"n/a", ""}) {
        MessagesRecord r = email(to, "x");
        Mailer again = mailer("127.0.0.1:1");
        EXPECT_EQ(again.SendStoredMessage(0, true, false, &r), mailresult::NoRecipients);
    }
}

TEST_F(MailerTest, TheTrustedCertificatesSettingNamesAFileOrAHashedFolder) {
    fs::path cert, key;
    ASSERT_TRUE(qdtest::makeTestCertificate(dir.path(), cert, key));
    MailServer server(dir / "server", {"--tls", cert.string(), key.string()});
    const int id = addMessage(email("bob@example.org", "Over TLS"));
    // Offered STARTTLS with an unknown certificate fails rather than falling back to plain text.
    EXPECT_EQ(mailer(server.host()).SendStoredMessage(id, false, false), mailresult::SecureConnection);
    settings.MailCAFile = (dir / "missing.pem").string();
    EXPECT_NE(mailer(server.host()).SendStoredMessage(id, false, false), 0);
    EXPECT_EQ(server.received(), 0);

    settings.MailCAFile = "  " + cert.string() + " ";
    EXPECT_EQ(mailer(server.host()).SendStoredMessage(id, false, false), 0) << vars["MailError"];
    EXPECT_EQ(server.received(), 1);

    // A folder of certificates under their hash names, as "openssl rehash" leaves them.
    const fs::path folder = dir / "trusted";
    fs::create_directories(folder);
    fs::copy_file(cert, folder / "test.pem");
    ASSERT_EQ(std::system(("openssl rehash '" + folder.string() + "' >/dev/null 2>&1").c_str()), 0);
    settings.MailCAFile = folder.string();
    EXPECT_EQ(mailer(server.host()).SendStoredMessage(id, false, false), 0) << vars["MailError"];
    EXPECT_EQ(server.received(), 2);
    // The same folder without the certificate trusts nothing of this server.
    for (const auto& e : fs::directory_iterator(folder))
        fs::remove(e.path());
    EXPECT_EQ(mailer(server.host()).SendStoredMessage(id, false, false), mailresult::SecureConnection);
    EXPECT_EQ(server.received(), 2);
}

TEST_F(MailerTest, MassMailingReachesEveryContactOnceAcrossAFailureAndAResume) {
    addContacts("Club", 50);
    addContacts("Other", 3);
    MessagesRecord r = email("N/A", "News for [FirstName]");
    r.MailType = "Mass Mailing";
    r.EmailToGroup = "Club";
    r.Message = "Dear [ContactName],\nsee you.";
    const int id = addMessage(r);

    std::multiset<std::string> delivered;
    const auto collect = [&delivered](const MailServer& s) {
        for (int n = 1; n <= s.received(); ++n) {
            const std::string env = s.file(n, "envelope");
            delivered.insert(env.substr(env.find('\n') + 1));
        }
    };
    {
        fs::create_directories(dir / "first");
        MailServer failing(dir / "first", {"--stop-after", "19"});
        Mailer m = mailer(failing.host());
        const int result = m.SendStoredMessage(id, false, true);
        EXPECT_EQ(result, mailresult::Connect);
        EXPECT_EQ(m.lastMassMailing().sent, 19);
        EXPECT_EQ(m.lastMassMailing().failed, 1);
        EXPECT_EQ(m.lastMassMailing().recipients, 50);
        EXPECT_EQ(message(id).LastDateSent, 0);
        collect(failing);
        EXPECT_EQ(failing.file(1, "subject"), "News for First1");
        EXPECT_EQ(failing.file(1, "to"), "First1 Last101 <c1@example.org>");
        EXPECT_EQ(failing.file(1, "body"), "Dear First1 Last101,\r\nsee you.");
    }
    {
        fs::create_directories(dir / "second");
        MailServer server(dir / "second");
        Mailer m = mailer(server.host());
        int progressCalls = 0;
        m.setProgress([&progressCalls](int, int) { return ++progressCalls > 0; });
        ASSERT_EQ(m.SendStoredMessage(id, false, true), 0) << m.lastErrorText();
        EXPECT_EQ(m.lastMassMailing().sent, 31);
        EXPECT_EQ(m.lastMassMailing().alreadySent, 19);
        EXPECT_EQ(progressCalls, 50);
        EXPECT_EQ(message(id).LastDateSent, clock.today());
        collect(server);
    }
    EXPECT_EQ(delivered.size(), 50u);
    for (int i = 1; i <= 50; ++i)
        EXPECT_EQ(delivered.count("c" + std::to_string(i) + "@example.org\n"), 1u) << i;

    // A finished mailing starts anew; a cancel stops it and it resumes from there.
    fs::create_directories(dir / "third");
    MailServer server(dir / "third");
    Mailer m = mailer(server.host());
    m.setProgress([](int done, int) { return done < 5; });
    EXPECT_EQ(m.SendStoredMessage(id, false, true), mailresult::UserCancel);
    EXPECT_TRUE(m.lastMassMailing().cancelled);
    EXPECT_EQ(server.received(), 5);
    m.setProgress({});
    EXPECT_EQ(m.SendStoredMessage(id, false, true), 0);
    EXPECT_EQ(server.received(), 50);
}

TEST_F(MailerTest, NewsArticlesArePostedDotStuffedAndRefusalsReported) {
    MailServer news(dir / "server", {"--nntp"});
    settings.NHost = news.host();
    settings.NSender = "ann@example.org";
    settings.NSenderName = "Ann";
    MessagesRecord r = email("comp.test", "Hello group");
    r.MailType = "News";
    r.Message = "first\n.leading dot\n..two\nlast";
    const int id = addMessage(r);
    Mailer m = mailer("");
    ASSERT_EQ(m.SendStoredMessage(id, false, true), 0) << m.lastErrorText();
    const std::string article = news.file(1, "article");
    EXPECT_NE(article.find("Newsgroups: comp.test\r\n"), std::string::npos) << article;
    EXPECT_NE(article.find("From: \"Ann\" <ann@example.org>\r\n"), std::string::npos) << article;
    EXPECT_NE(article.find("\r\n\r\nfirst\r\n..leading dot\r\n...two\r\nlast\r\n"), std::string::npos)
        << article;
    EXPECT_EQ(message(id).LastDateSent, clock.today());

    fs::create_directories(dir / "refusing");
    MailServer refusing(dir / "refusing", {"--nntp", "--refuse-posting"});
    settings.NHost = refusing.host();
    Mailer refused = mailer("");
    EXPECT_EQ(refused.SendStoredMessage(id, false, true), mailresult::ServerError);
    EXPECT_EQ(refused.lastErrorText(), "Mail Server Error:\r201 no posting");
    // The log and the script variable get it on one line.
    EXPECT_EQ(vars["MailError"], "Mail Server Error: 201 no posting");
    EXPECT_TRUE(wasLogged("Mail Error: Error:  Mail Server Error: 201 no posting"));
}

TEST(MessageRulesTest, TheFormFollowsTheMailType) {
    EXPECT_EQ(messageFormShape("Email").recipientPrompt, "*To:");
    EXPECT_TRUE(messageFormShape("Email").nameCcBcc);
    EXPECT_FALSE(messageFormShape("Email").group);
    const MessageFormShape news = messageFormShape("News");
    EXPECT_EQ(news.recipientPrompt, "*Newsgroup:");
    EXPECT_TRUE(news.recipient);
    EXPECT_FALSE(news.contactButton || news.nameCcBcc || news.group);
    const MessageFormShape mass = messageFormShape("Mass Mailing");
    EXPECT_FALSE(mass.recipient || mass.contactButton || mass.nameCcBcc);
    EXPECT_TRUE(mass.group);

    MessagesRecord m{};
    m.MailType = "News";
    applyMailTypeDefaults(m, "comp.lang", "Club");
    EXPECT_EQ(m.EmailTo, "comp.lang");
    m = {};
    m.MailType = "Mass Mailing";
    applyMailTypeDefaults(m, "comp.lang", "Club");
    EXPECT_EQ(m.EmailToGroup, "Club");
    EXPECT_EQ(m.EmailTo, "N/A") << "the hidden recipient must not block saving";
    EXPECT_EQ(missingMessageField(m), "Subject");
    m.Subject = "Hi";
    EXPECT_EQ(missingMessageField(m), "");
    EXPECT_EQ(lastUsedValue(m), (std::pair<std::string, std::string>{"LastMassMailing", "Club"}));

    ContactRecord c{};
    c.ClientID = 7;
    c.LastName = "Lee  ";
    c.Email = "lee@example.org";
    MessagesRecord e{};
    e.MailType = "Email";
    addressMessageTo(e, c);
    EXPECT_EQ(e.ContactID, 7);
    EXPECT_EQ(e.EmailToName, "Lee") << "no leading blank without a first name";
    EXPECT_EQ(missingMessageField(e), "Subject");
    e.Attachment = "/home/ann/report.pdf";
    attachmentChosen(e);
    EXPECT_EQ(e.Subject, "/home/ann/report.pdf");
    e.EmailTo = " ";
    EXPECT_EQ(missingMessageField(e), "To (Email Address)");
    EXPECT_EQ(lastUsedValue(e).first, "LastEmail");
    EXPECT_EQ(lastUsedValue(e).second, "");
}

TEST(SystemMailTest, OnlyEmptySettingsAreFilled) {
    SystemMailSources src;
    src.fullName = "Ann Lee";
    src.loginName = "ann";
    src.mailName = "example.org";
    src.localMta = true;
    ProgramSettings s;
    FillMailSettingsFromSystem(s, src);
    EXPECT_EQ(s.Host, "localhost");
    EXPECT_EQ(s.SenderName, "Ann Lee");
    EXPECT_EQ(s.Sender, "ann@example.org");
    EXPECT_EQ(s.NSender, "ann@example.org");
    src.emailEnv = "ann.lee@mail.example.org";
    ProgramSettings e;
    FillMailSettingsFromSystem(e, src);
    EXPECT_EQ(e.Sender, "ann.lee@mail.example.org");

    ProgramSettings set;
    set.Host = "smtp.example.com";
    set.Sender = "me@example.com";
    set.NSender = "news@example.com";
    src.localMta = true;
    FillMailSettingsFromSystem(set, src);
    EXPECT_EQ(set.Host, "smtp.example.com");
    EXPECT_EQ(set.Sender, "me@example.com");
    EXPECT_EQ(set.SenderName, "") << "a set address keeps its blank name";
    EXPECT_EQ(set.NSender, "news@example.com");

    ProgramSettings nothing;
    FillMailSettingsFromSystem(nothing, SystemMailSources{});
    EXPECT_EQ(nothing.Host, "") << "no local server: no host is made up";
}
