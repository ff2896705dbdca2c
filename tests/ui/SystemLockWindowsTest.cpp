// The system lock in front of the windows that open from elsewhere than the
// task editor: a task list's script editor (both lists), the hot-key form's
// script wizard and the messages list. Each is driven as a person would, with
// the "Password Required" window answered while it runs, on a data set on disk
// with the engine behind a real frame.
#include "UiTestSupport.h"

#include "data/LockPassword.h"
#include "hotkeys/ui/HotKeyWindows.h"
#include "mail/ui/MailWindows.h"
#include "schedule/ui/ScheduleWindows.h"
#include "schedule/ui/TaskEditorWindows.h"
#include "script/ui/BrowseScripting.h"
#include "script/ui/ScriptWindows.h"
#include "ui/SystemLockPrompt.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <deque>

namespace {

// The engine with the system locked by "Open Sesame", and the one check every
// guarded opener goes through.
struct Bench {
    Bench() {
        QVERIFY(e.runtime->open());
        e.runtime->settings().SysLock = true;
        e.runtime->settings().SysPwd = qd::hashLockPassword("Open Sesame");
        lock = [this] {
            return qdui::systemLockPrompt(e.ui, e.runtime->settings(), e.runtime->dispatcher());
        };
        // "Password Required" takes the next password ("+" in front also ticks
        // "Unlock system for session"; none left: Cancel). A wizard is counted and
        // cancelled; a message box is noted and closed.
        e.ui.setDialogHook([this](QDialog& d) {
            QPointer<QDialog> dialog(&d);
            if (qobject_cast<qdui::SystemLockPrompt*>(&d)) ++prompts;
            if (qobject_cast<qdschedui::TaskWizardWindow*>(&d)) ++wizards;
            if (const auto* box = qobject_cast<QMessageBox*>(&d))
                seen << d.windowTitle() + ": " + box->text();
            QTimer::singleShot(0, [this, dialog] {
                QDialog* open = dialog.data();
                if (open == nullptr || !open->isVisible()) return;
                auto* prompt = qobject_cast<qdui::SystemLockPrompt*>(open);
                if (prompt && !passwords.empty()) {
                    QString typed = passwords.front();
                    passwords.pop_front();
                    const bool session = typed.startsWith('+');
                    prompt->findChild<QLineEdit*>("SystemPassword")->setText(session ? typed.mid(1) : typed);
                    prompt->findChild<QCheckBox*>("UnlockForSession")->setChecked(session);
                    qduitest::pressButton(*prompt, "OK");
                } else if (qobject_cast<QMessageBox*>(open)) {
                    qduitest::pressButton(*open, "OK");
                } else {
                    open->reject();
                }
            });
        });
    }
    template <class W> int windowsOf() {
        int n = 0;
        for (QMdiSubWindow* s : e.frame->mdiArea()->subWindowList())
            if (qobject_cast<W*>(s->widget())) ++n;
        return n;
    }
    bool denied() const {
        return seen.contains("Access Denied: The password you have entered is incorrect.");
    }

    qduitest::Engine e;
    std::function<bool()> lock;
    std::deque<QString> passwords;
    QStringList seen;
    int prompts = 0;
    int wizards = 0;
};

qdschedui::ScheduleUiContext scheduleContext(Bench& b) {
    return {b.e.ds, b.e.runtime->settings(), b.e.runtime->execution(), b.e.clock, b.e.ui, {}};
}

} // namespace

class SystemLockWindowsTest : public QObject {
    Q_OBJECT
private slots:
    void scriptEditorOfEitherTaskListAsksFirst();
    void hotKeyScriptWizardAsksFirst();
    void messagesListAsksFirstAndTheSessionUnlockHolds();
};

void SystemLockWindowsTest::scriptEditorOfEitherTaskListAsksFirst() {
    Bench b;
    // Today's task: both lists show it.
    const int id =
        b.e.addTask(qduitest::Engine::messageTask("Report", "Weekly report", {b.e.clock.today(), 6480001}));
    qdscriptui::ScriptWindows scripts(
        *b.e.frame, {b.e.ds, b.e.ui, b.e.clock, b.e.runtime->settings(), nullptr, nullptr, nullptr});
    qdschedui::ScheduleWindows schedule(*b.e.frame, b.e.ui, scheduleContext(b));
    schedule.setEditGuard(b.lock);
    schedule.setScriptEditor([&](int taskId) { scripts.openScripting(taskId); });
    qdschedui::TaskListWindow* lists[] = {schedule.openBrowse(), schedule.openExplore()};
    int opened = 0;
    for (qdschedui::TaskListWindow* list : lists) {
        QVERIFY(list->selectTask(id));
        QPushButton* button = list->button("Scripting");
        QVERIFY(button && button->isEnabled());
        // A wrong password: "Access Denied", no step list.
        b.seen.clear();
        b.passwords = {"open sesame!"};
        button->click();
        QVERIFY(b.denied());
        QCOMPARE(b.windowsOf<qdscriptui::BrowseScriptingWindow>(), opened);
        // Cancel: no step list either.
        button->click();
        QCOMPARE(b.windowsOf<qdscriptui::BrowseScriptingWindow>(), opened);
        // The right one in capitals: the step list opens.
        b.seen.clear();
        b.passwords = {"OPEN SESAME"};
        button->click();
        QVERIFY(!b.denied());
        QCOMPARE(b.windowsOf<qdscriptui::BrowseScriptingWindow>(), ++opened);
    }
    QCOMPARE(b.prompts, 6);
}

void SystemLockWindowsTest::hotKeyScriptWizardAsksFirst() {
    Bench b;
    qdschedui::ScheduleWindows schedule(*b.e.frame, b.e.ui, scheduleContext(b));
    schedule.setEditGuard(b.lock);
    qdhotkeyui::HotKeyUiContext ctx{b.e.ds, b.e.ui, b.e.runtime->settings(), b.e.clock, nullptr, nullptr,
                                    {},     {}};
    ctx.editScript = [&schedule](int taskId, const std::string& name) {
        return schedule.openHotKeyScript(taskId, name);
    };
    qd::SysHotKeysRecord r{};
    qdhotkeyui::HotKeyForm form(ctx, r, true);
    // A wrong password (and then Cancel): the wizard never shows.
    b.passwords = {"Open Sesame 2"};
    form.taskButton()->click();
    QVERIFY(b.denied());
    form.taskButton()->click();
    QCOMPARE(b.prompts, 2);
    QCOMPARE(b.wizards, 0);
    // The right one, lower case: the script wizard opens (and is cancelled, so no task is made).
    b.seen.clear();
    b.passwords = {"open sesame"};
    form.taskButton()->click();
    QVERIFY(!b.denied());
    QCOMPARE(b.prompts, 3);
    QCOMPARE(b.wizards, 1);
    QVERIFY(b.e.tasks().empty());
}

void SystemLockWindowsTest::messagesListAsksFirstAndTheSessionUnlockHolds() {
    Bench b;
    qdmailui::MailWindows mail(
        *b.e.frame, qdmailui::MailUiContext{b.e.ds, b.e.ui, [&b] { return b.e.runtime->makeMailer(); }, {}});
    mail.setOpenGuard(b.lock);
    QAction* entry = b.e.frame->findChild<QAction*>("EmailMessages");
    QVERIFY(entry);
    b.passwords = {"Sesame"};
    entry->trigger();
    QVERIFY(b.denied());
    QCOMPARE(b.windowsOf<qdmailui::MessagesWindow>(), 0);
    QVERIFY(!mail.openMessages()); // Cancel
    QCOMPARE(b.windowsOf<qdmailui::MessagesWindow>(), 0);
    // The right one, unlocking for the session: the list opens, and once
    // closed opens again without a question.
    b.seen.clear();
    b.passwords = {"+oPEN sESAME"};
    entry->trigger();
    QVERIFY(!b.denied());
    QCOMPARE(b.windowsOf<qdmailui::MessagesWindow>(), 1);
    QCOMPARE(b.prompts, 3);
    QVERIFY(b.e.runtime->dispatcher().unlocked());
    for (QMdiSubWindow* s : b.e.frame->mdiArea()->subWindowList())
        s->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(b.windowsOf<qdmailui::MessagesWindow>(), 0);
    entry->trigger();
    QCOMPARE(b.windowsOf<qdmailui::MessagesWindow>(), 1);
    QCOMPARE(b.prompts, 3);
}

QTEST_MAIN(SystemLockWindowsTest)
#include "SystemLockWindowsTest.moc"
