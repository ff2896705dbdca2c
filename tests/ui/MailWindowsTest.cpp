// The message form's rules, "&Send Now" against a real SMTP server, the
// contacts' windows, the reminder forwarding window and Setup's test mail.
#include "UiTestSupport.h"

#include "data/IniFile.h"
#include "data/Settings.h"
#include "data/TableDefs.h"
#include "mail/MailPassword.h"
#include "mail/MessageRules.h"
#include "mail/ui/MailWindows.h"
#include "organizer/ContactTasks.h"
#include "organizer/Contacts.h"
#include "schedule/ui/CategoryWindows.h"
#include "support/MailServer.h"
#include "ui/SetupWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

using namespace qdmailui;

namespace {

struct Bench {
    Bench() {
        QVERIFY(e.runtime->open());
        qduitest::answerDialogs(e.ui, "OK", 0, &seen);
    }
    MailUiContext context(const std::string& host = {}) {
        e.runtime->settings().Host = host;
        e.runtime->settings().Sender = "ann@example.org";
        e.runtime->settings().SenderName = "Ann";
        return MailUiContext{e.ds, e.ui, [this] { return e.runtime->makeMailer(); }, {}};
    }
    int addContact(const char* last, const char* first, const char* email) {
        qd::Table<qd::ContactRecord> t(e.ds, qd::tables::Contact());
        t.open();
        t.rec = {};
        t.rec.LastName = last;
        t.rec.FirstName = first;
        t.rec.Email = email;
        t.insert();
        return t.rec.ClientID;
    }
    long long messageCount() {
        qd::Table<qd::MessagesRecord> t(e.ds, qd::tables::Messages());
        t.open();
        return t.recordCount();
    }
    qduitest::Engine e;
    QStringList seen;
};

bool shown(QWidget* w, const QWidget* form) {
    return w->isVisibleTo(form);
}

} // namespace

class MailWindowsTest : public QObject {
    Q_OBJECT
private slots:
    void theFormFollowsTheTypeAndKeepsLastUsedValues();
    void aTypedAddressFindsItsContact();
    void sendNowSendsTheUnsavedFormAndCancelLeavesNoRecord();
    void contactsCopyTextAndTheirRequiredLastName();
    void forwardingRemembersTheRecipient();
    void setupTestMailUsesTheValuesInTheWindow();
    void theListAsAPickListReturnsTheHighlightedMessage();
    void aContactShowsItsTasksAndLinksOneChosenFromThePickList();
    void categoriesShowTheirContactsAndKeepThoseInUse();
    void setupKeepsATypedLoginPasswordOutsideTheSettings();
    void everyMailAndContactEntryOfTheMenuOpensItsWindow();
};

void MailWindowsTest::theFormFollowsTheTypeAndKeepsLastUsedValues() {
    Bench b;
    qd::SettingsStore store(b.e.ds);
    store.write("LastNewsgroup", "comp.test");
    store.write("LastMassMailing", "Club");
    MailUiContext ctx = b.context();
    qd::MessagesRecord start{};
    start.MailType = "Email";
    MessageForm form("New E-mail Message", start, ctx);
    form.show();
    QCOMPARE(form.recipientPrompt()->text(), QString("*To:"));
    QVERIFY(shown(form.field("EmailTo"), &form) && shown(form.field("CC"), &form));
    QVERIFY(!shown(form.field("EmailToGroup"), &form));

    form.mailType()->setCurrentText("News");
    QCOMPARE(form.recipientPrompt()->text(), QString("*Newsgroup:"));
    QCOMPARE(form.field("EmailTo")->text(), QString("comp.test"));
    QVERIFY(!shown(form.field("CC"), &form) && !shown(form.widget("SelectContact"), &form));

    form.field("EmailTo")->clear();
    form.mailType()->setCurrentText("Mass Mailing");
    QVERIFY(!shown(form.field("EmailTo"), &form));
    QVERIFY(shown(form.field("EmailToGroup"), &form) && shown(form.widget("SelectCategory"), &form));
    QCOMPARE(form.field("EmailToGroup")->text(), QString("Club"));
    QCOMPARE(form.field("EmailTo")->text(), QString("N/A"));

    // OK refuses a missing subject; with one the category is remembered.
    form.field("EmailToGroup")->setText("Friends");
    form.accept();
    QCOMPARE(form.result(), int(QDialog::Rejected));
    QVERIFY2(b.seen.contains("Missing Information: Subject must be entered."), qPrintable(b.seen.join("|")));
    form.field("Subject")->setText("Party");
    form.accept();
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QCOMPARE(qd::readLastUsed(b.e.ds, "LastMassMailing"), std::string("Friends"));
    QCOMPARE(qd::readLastUsed(b.e.ds, "LastNewsgroup"), std::string("comp.test"));

    // An e-mail without a recipient cannot be saved; the attachment names a missing subject.
    MessageForm email("New E-mail Message", start, ctx);
    email.field("Attachment")->setText("/home/ann/report.pdf");
    email.attachmentLeft();
    QCOMPARE(email.field("Subject")->text(), QString("/home/ann/report.pdf"));
    b.seen.clear();
    email.accept();
    QVERIFY2(b.seen.contains("Missing Information: To (Email Address) must be entered."),
             qPrintable(b.seen.join("|")));
    email.field("EmailTo")->setText("bob@example.org");
    email.accept();
    QCOMPARE(qd::readLastUsed(b.e.ds, "LastEmail"), std::string("bob@example.org"));
}

void MailWindowsTest::aTypedAddressFindsItsContact() {
    Bench b;
    const int id = b.addContact("Lee", "", "lee@example.org");
    MailUiContext ctx = b.context();
    qd::MessagesRecord start{};
    start.MailType = "Email";
    MessageForm form("New E-mail Message", start, ctx);
    form.field("EmailTo")->setText("LEE@example.org");
    form.recipientLeft();
    QCOMPARE(form.field("EmailToName")->text(), QString("Lee"));
    QCOMPARE(form.record().ContactID, id);
    // A name typed already is kept.
    MessageForm named("New E-mail Message", start, ctx);
    named.field("EmailToName")->setText("Boss");
    named.field("EmailTo")->setText("lee@example.org");
    named.recipientLeft();
    QCOMPARE(named.field("EmailToName")->text(), QString("Boss"));
}

void MailWindowsTest::sendNowSendsTheUnsavedFormAndCancelLeavesNoRecord() {
    Bench b;
    std::filesystem::create_directories(b.e.dir / "server");
    qdtest::MailServer server(b.e.dir / "server");
    MailUiContext ctx = b.context(server.host());
    qd::MessagesRecord start{};
    start.MailType = "Email";
    MessageForm form("New E-mail Message", start, ctx);
    form.field("EmailTo")->setText("bob@example.org");
    form.field("Subject")->setText("Sent from the form");
    form.findChild<QPlainTextEdit*>("Message")->setPlainText("Hello Bob");
    QTest::mouseClick(form.sendNowButton(), Qt::LeftButton);
    QVERIFY2(b.seen.contains("Mail: Mail sent:  bob@example.org"), qPrintable(b.seen.join("|")));
    QCOMPARE(server.received(), 1);
    QCOMPARE(QString::fromStdString(server.file(1, "subject")), QString("Sent from the form"));
    form.reject();
    QCOMPARE(b.messageCount(), 0LL);

    server.stop();
    b.seen.clear();
    QTest::mouseClick(form.sendNowButton(), Qt::LeftButton);
    QVERIFY2(b.seen.contains(
                 "Mail Error: Could not send:  bob@example.org\r\nFailed to connect. Mail Server not found!"),
             qPrintable(b.seen.join("|")));
}

void MailWindowsTest::contactsCopyTextAndTheirRequiredLastName() {
    Bench b;
    b.addContact("Zed", "Zoe", "zoe@example.org");
    b.addContact("Abe", "Al", "al@example.org");
    qdorgui::ContactsWindow w({b.e.ds, b.e.ui, {}});
    QCOMPARE(w.model()->rowCount(), 2);
    QCOMPARE(w.model()->data(w.model()->index(0, 0), Qt::DisplayRole).toString(), QString("Abe"));
    QCOMPARE(w.model()->headerData(3, Qt::Horizontal, Qt::DisplayRole).toString(), QString("Work/Day Phone"));
    w.list()->selectRow(1);
    w.copyToClipboardPressed();
    QCOMPARE(QApplication::clipboard()->text(),
             QString("Zed\r\nZoe\r\n\r\n\r\n\r\n\r\nWork Phone:\r\nHome Phone:\r\nFax:\r\nOther Phone:\r\n"
                     "Email: zoe@example.org\r\nWeb Site:\r\nCategory:\r\n"));
    // The first-name order.
    w.tabs()->setCurrentIndex(1);
    QCOMPARE(w.model()->data(w.model()->index(0, 1), Qt::DisplayRole).toString(), QString("Al"));

    qdorgui::ContactForm form("New Contact", qd::ContactRecord{}, {"Club"}, b.e.ui);
    form.field("FirstName")->setText("Nobody");
    form.accept();
    QCOMPARE(form.result(), int(QDialog::Rejected));
    QVERIFY2(b.seen.contains("Missing Information: Last Name must be entered."),
             qPrintable(b.seen.join("|")));
    form.field("LastName")->setText("Body");
    form.accept();
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QCOMPARE(form.record().LastName, std::string("Body"));
}

void MailWindowsTest::forwardingRemembersTheRecipient() {
    Bench b;
    std::filesystem::create_directories(b.e.dir / "server");
    qdtest::MailServer server(b.e.dir / "server");
    MailUiContext ctx = b.context(server.host());
    {
        ForwardWindow w("", "Call the dentist.", ctx);
        w.field("Recipient")->setText("bob@example.org");
        w.accept();
        QCOMPARE(w.lastResult(), 0);
    }
    QVERIFY2(b.seen.contains("Status: Message sent."), qPrintable(b.seen.join("|")));
    QCOMPARE(QString::fromStdString(server.file(1, "subject")), QString("Forwarded Message"));
    QCOMPARE(QString::fromStdString(server.file(1, "to")), QString("bob@example.org"));
    QCOMPARE(QString::fromStdString(server.file(1, "from")), QString("Ann <ann@example.org>"));
    ForwardWindow again("Dentist", "x", ctx);
    QCOMPARE(again.field("Recipient")->text(), QString("bob@example.org"));
    QCOMPARE(again.field("Subject")->text(), QString("Dentist"));
}

void MailWindowsTest::setupTestMailUsesTheValuesInTheWindow() {
    Bench b;
    b.e.runtime->settings().Host.clear();
    qd::ProgramSettings sent;
    int calls = 0;
    qdui::SetupContext setup;
    setup.dataSet = &b.e.ds;
    setup.settings = &b.e.runtime->settings();
    setup.ui = &b.e.ui;
    std::string typed;
    setup.testMail = [&](const qd::ProgramSettings& s, const std::string& password) {
        sent = s;
        typed = password;
        ++calls;
    };
    setup.keepMailPassword = [](const std::string&, std::string&) { return true; };
    qdui::SetupWindow w(setup);
    auto* host = qobject_cast<QLineEdit*>(w.field("Host"));
    QVERIFY(host);
    host->setText("smtp.example.org:587");
    auto* test = w.findChild<QPushButton*>("TestSettings");
    QVERIFY(test && test->isEnabled());
    QTest::mouseClick(test, Qt::LeftButton);
    QCOMPARE(calls, 1);
    QCOMPARE(sent.Host, std::string("smtp.example.org:587"));
    QCOMPARE(typed, std::string());
    // A password typed but not yet kept is the one tried.
    w.mailPassword()->setText("new secret");
    QTest::mouseClick(test, Qt::LeftButton);
    QCOMPARE(calls, 2);
    QCOMPARE(typed, std::string("new secret"));
    // Nothing is saved by the test.
    QCOMPARE(b.e.runtime->settings().Host, std::string());
}

void MailWindowsTest::theListAsAPickListReturnsTheHighlightedMessage() {
    Bench b;
    MailUiContext ctx = b.context();
    for (const char* subject : {"First  ", "Second   ", "Third"}) {
        qd::MessagesRecord m{};
        m.MailType = "Email";
        m.EmailTo = "bob@example.org";
        m.Subject = subject;
        QCOMPARE(saveMessage(b.e.ds, m, true), qd::Level::Benign);
    }
    // The button a pick list's hook presses, on the row it highlights first.
    QString press;
    int row = 0;
    bool timedOut = false;
    b.e.ui.setDialogHook([&](QDialog& d) {
        QTimer::singleShot(0, &d, [&d, &press, &row] {
            if (auto* list = d.findChild<QTableView*>()) list->selectRow(row);
            if (auto* button = d.findChild<QPushButton*>(press)) button->click();
        });
        // A list that does not close its dialog would hang the caller.
        QTimer::singleShot(3000, &d, [&d, &timedOut] {
            timedOut = true;
            d.done(99);
        });
    });
    press = "Select";
    row = 1;
    const std::optional<qd::MessagesRecord> chosen = selectMessage(ctx, nullptr);
    QVERIFY(chosen);
    QCOMPARE(chosen->EmailID, 2);
    QCOMPARE(qd::sendEmailStepTitle(*chosen), std::string("Second - bob@example.org"));
    qd::MessagesRecord padded = *chosen;
    padded.Subject = "Padded   ";
    QCOMPARE(qd::sendEmailStepTitle(padded), std::string("Padded - bob@example.org"));
    // "Cl&ose" ends the pick list without a choice.
    press = "Close";
    QVERIFY(!selectMessage(ctx, nullptr));
    QVERIFY(!timedOut);
    // The same for the contacts' pick list.
    b.addContact("Lee", "", "lee@example.org");
    QVERIFY(!qdorgui::selectContact(b.e.ds, b.e.ui, nullptr));
    QVERIFY(!timedOut);
    // Outside a pick list "&Select" is not offered.
    MessagesWindow plain(ctx);
    QVERIFY(!plain.findChild<QPushButton*>("Select")->isVisibleTo(&plain));
}

void MailWindowsTest::aContactShowsItsTasksAndLinksOneChosenFromThePickList() {
    Bench b;
    const int lee = b.addContact("Lee", "", "lee@example.org");
    b.addContact("Moe", "", "moe@example.org");
    for (const char* d : {"Backup", "Weekly report", "Monthly report"}) {
        qd::ScheduleRecord r{};
        r.Description = d;
        b.e.addTask(r);
    }
    // The pick list is searched for "monthly" and its only task chosen.
    b.e.ui.setDialogHook([](QDialog& d) {
        QTimer::singleShot(0, &d, [&d] {
            d.findChild<QLineEdit*>("Find")->setText("monthly");
            d.findChild<QPushButton*>("Select")->click();
        });
    });
    qdorgui::ContactsWindow w({b.e.ds, b.e.ui, {}});
    w.list()->selectRow(0); // Lee
    QCOMPARE(w.linkedTasks()->count(), 0);
    QVERIFY(!w.findChild<QPushButton*>("UnlinkTask")->isEnabled());
    w.linkTaskPressed();
    QCOMPARE(w.linkedTasks()->count(), 1);
    QVERIFY(w.linkedTasks()->item(0)->text().endsWith("Monthly report"));
    QCOMPARE(qd::tasksOfContact(b.e.ds, lee).size(), std::size_t(1));
    // The other contact has none; back on Lee the link shows again and can go.
    w.list()->selectRow(1);
    QCOMPARE(w.linkedTasks()->count(), 0);
    w.list()->selectRow(0);
    QCOMPARE(w.linkedTasks()->count(), 1);
    w.unlinkTaskPressed();
    QCOMPARE(w.linkedTasks()->count(), 0);
    QVERIFY(qd::tasksOfContact(b.e.ds, lee).empty());
}

void MailWindowsTest::categoriesShowTheirContactsAndKeepThoseInUse() {
    Bench b;
    {
        qd::Table<qd::ContactCategoriesRecord> cat(b.e.ds, qd::tables::ContactCategories());
        cat.open();
        for (const char* name : {"Work", "Club", "Spare"}) {
            cat.rec.ContactCategory = name;
            QCOMPARE(cat.insert(), qd::Level::Benign);
        }
        qd::Table<qd::ContactRecord> t(b.e.ds, qd::tables::Contact());
        t.open();
        for (const auto& [last, category] : {std::pair{"Lee", "Club"}, {"Moe", "Work"}, {"Abe", "Club"}}) {
            t.rec = {};
            t.rec.LastName = last;
            t.rec.ContactCategory = category;
            QCOMPARE(t.insert(), qd::Level::Benign);
        }
    }
    // Message boxes are recorded and answered "Yes" (or OK); the category form gets `name`.
    QStringList seen;
    QString name;
    b.e.ui.setDialogHook([&seen, &name](QDialog& d) {
        QPointer<QDialog> dialog(&d);
        if (const auto* box = qobject_cast<QMessageBox*>(&d)) seen << box->text();
        QTimer::singleShot(0, [dialog, &name] {
            QDialog* open = dialog.data();
            if (!open) return;
            if (auto* form = qobject_cast<qdschedui::CategoryForm*>(open)) {
                form->field()->setText(name);
                form->accept();
                if (form->isVisible()) form->reject();
            } else if (!qduitest::pressButton(*open, "Yes") && !qduitest::pressButton(*open, "OK")) {
                open->reject();
            }
        });
    });
    qdorgui::ContactCategoriesWindow w(b.e.ds, b.e.ui);
    QCOMPARE(w.windowTitle(), QString("Contact Categories"));
    QCOMPARE(w.categories()->count(), 3);
    QCOMPARE(w.current(), std::optional<std::string>("Club"));
    QCOMPARE(w.contacts()->rowCount(), 2);
    QCOMPARE(w.contacts()->data(w.contacts()->index(0, 0), Qt::DisplayRole).toString(), QString("Abe"));
    w.categories()->setCurrentRow(2); // Work
    QCOMPARE(w.contacts()->rowCount(), 1);
    w.categories()->setCurrentRow(1); // Spare
    QCOMPARE(w.contacts()->rowCount(), 0);

    // A category in use is neither renamed nor deleted.
    w.categories()->setCurrentRow(0);
    name = "Clubs";
    w.editPressed();
    w.deletePressed();
    QCOMPARE(qd::listContactCategories(b.e.ds), (std::vector<std::string>{"Club", "Spare", "Work"}));
    QCOMPARE(qd::listContacts(b.e.ds, "Club").size(), std::size_t(2));
    QVERIFY2(seen.size() >= 2, qPrintable(seen.join("|")));

    // An unused one is renamed, a new one added, and a blank name refused.
    w.categories()->setCurrentRow(1);
    name = "Family";
    w.editPressed();
    QCOMPARE(w.current(), std::optional<std::string>("Family"));
    name = "Neighbours";
    w.newPressed();
    QCOMPARE(w.current(), std::optional<std::string>("Neighbours"));
    seen.clear();
    name = "  ";
    w.newPressed();
    QVERIFY2(seen.contains("Category must be entered."), qPrintable(seen.join("|")));
    QCOMPARE(qd::listContactCategories(b.e.ds),
             (std::vector<std::string>{"Club", "Family", "Neighbours", "Work"}));
    // An unused one goes.
    w.categories()->setCurrentRow(2);
    w.deletePressed();
    QCOMPARE(qd::listContactCategories(b.e.ds), (std::vector<std::string>{"Club", "Family", "Work"}));
}

void MailWindowsTest::setupKeepsATypedLoginPasswordOutsideTheSettings() {
    Bench b;
    int calls = 0;
    qdui::SetupContext setup;
    setup.dataSet = &b.e.ds;
    setup.settings = &b.e.runtime->settings();
    setup.ui = &b.e.ui;
    // As the program does it, without a keyring.
    setup.keepMailPassword = [&](const std::string& password, std::string& note) {
        ++calls;
        std::string error;
        if (qd::MailPasswordStore(nullptr, b.e.dir.path()).store(password, note, error)) return true;
        note = error;
        return false;
    };
    const std::filesystem::path file = b.e.dir / qd::kMailPasswordFile;
    {
        qdui::SetupWindow w(setup);
        QVERIFY(w.mailPassword());
        QCOMPARE(w.mailPassword()->echoMode(), QLineEdit::Password);
        w.mailPassword()->setText("s3cret word");
        qobject_cast<QLineEdit*>(w.field("MailCAFile"))->setText("/etc/ssl/mail-ca.pem");
        w.accept();
        QVERIFY(w.saved());
    }
    QCOMPARE(calls, 1);
    QCOMPARE(qdtest::readFile(file), std::string("s3cret word"));
    QCOMPARE(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
             std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    QVERIFY2(b.seen.join("|").contains("readable by you only"), qPrintable(b.seen.join("|")));
    QCOMPARE(b.e.runtime->settings().MailCAFile, std::string("/etc/ssl/mail-ca.pem"));
    // The password is in no setting.
    qd::SettingsStore store(b.e.ds);
    for (const qd::SettingDef& def : qd::settingDefs())
        QVERIFY(store.peek(def.key, "", qd::LegacyIni::None).value.find("s3cret") == std::string::npos);
    // Left blank, the kept password stays as it is.
    qdui::SetupWindow again(setup);
    QVERIFY(again.mailPassword()->text().isEmpty());
    again.accept();
    QCOMPARE(calls, 1);
    QCOMPARE(qdtest::readFile(file), std::string("s3cret word"));
}

QTEST_MAIN(MailWindowsTest)
void MailWindowsTest::everyMailAndContactEntryOfTheMenuOpensItsWindow() {
    Bench b;
    MailWindows windows(*b.e.frame, b.context());
    const std::pair<const char*, const char*> entries[] = {
        {"EmailMessages", "qdmailui::MessagesWindow"},
        {"Contacts", "qdorgui::ContactsWindow"},
        {"ContactCategories", "qdorgui::ContactCategoriesWindow"},
        {"SetupContactCategories", "qdorgui::ContactCategoriesWindow"}};
    for (const auto& [id, className] : entries) {
        QAction* entry = b.e.frame->entryAction(id);
        QVERIFY2(entry && entry->isEnabled(), id);
        entry->trigger();
        QApplication::processEvents();
        QMdiSubWindow* active = b.e.frame->mdiArea()->activeSubWindow();
        QVERIFY2(active && QString(active->widget()->metaObject()->className()) == className, id);
    }
}

#include "MailWindowsTest.moc"
