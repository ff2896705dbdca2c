// The housekeeping window and the users' windows, driven through the frame's
// menu entry and their buttons, with the system lock in front, on a data set on
// disk with the engine behind a real frame.
#include "UiTestSupport.h"

#include "data/LockPassword.h"
#include "data/RelationManager.h"
#include "data/TableDefs.h"
#include "schedule/ui/RescheduleWindow.h"
#include "ui/MainMenu.h"
#include "ui/SystemLockPrompt.h"
#include "users/Housekeeping.h"
#include "users/Users.h"
#include "users/ui/UsersWindows.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListView>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <deque>

using namespace qdusersui;

namespace {

// The engine, the users' windows and the answers to the dialogs they open.
struct Bench {
    Bench() {
        QVERIFY(e.runtime->open());
        e.runtime->settings().User = "ann";
        windows = std::make_unique<UsersWindows>(*e.frame, e.ui,
                                                 UsersUiContext{e.ds,
                                                                e.runtime->settings(),
                                                                [this] {
                                                                    return qdui::systemLockPrompt(
                                                                        e.ui, e.runtime->settings(),
                                                                        e.runtime->dispatcher());
                                                                },
                                                                [this] { ++queueCleared; },
                                                                {},
                                                                [this] { ++refreshed; }});
        // Each dialog takes the next answer: a button's text; "pw:text" typed as
        // the system password ("pw+:" also ticks "Unlock system for session");
        // "=text" typed as a user's name before OK. No answer left: Cancel.
        e.ui.setDialogHook([this](QDialog& d) {
            const auto* box = qobject_cast<QMessageBox*>(&d);
            seen << d.windowTitle() + ": " + (box ? box->text() : QString());
            answerLater(&d);
        });
    }
    void answerLater(QPointer<QDialog> dialog) {
        QTimer::singleShot(0, [this, dialog] {
            QDialog* d = dialog.data();
            if (d == nullptr || !d->isVisible()) return;
            const QString answer = answers.empty() ? QString() : answers.front();
            if (!answers.empty()) answers.pop_front();
            if (auto* lock = qobject_cast<qdui::SystemLockPrompt*>(d); lock && answer.startsWith("pw")) {
                lock->findChild<QLineEdit*>("SystemPassword")->setText(answer.section(':', 1));
                lock->findChild<QCheckBox*>("UnlockForSession")->setChecked(answer.startsWith("pw+"));
                qduitest::pressButton(*lock, "OK");
            } else if (auto* form = qobject_cast<UserForm*>(d); form && answer.startsWith('=')) {
                form->nameField()->setText(answer.mid(1));
                form->accept();
                if (dialog && form->isVisible()) answerLater(dialog); // refused: the next answer
            } else if (answer.isEmpty() || !qduitest::pressButton(*d, answer)) {
                d->reject();
            }
        });
    }
    void lock(const char* password) {
        e.runtime->settings().SysLock = true;
        e.runtime->settings().SysPwd = qd::hashLockPassword(password);
    }
    int subWindows(const char* name) {
        int n = 0;
        for (QMdiSubWindow* s : e.frame->mdiArea()->subWindowList())
            if (s->widget() && s->widget()->objectName() == name) ++n;
        return n;
    }
    // The housekeeping window through its menu entry.
    HousekeepingWindow* openFromMenu() {
        e.frame->findChild<QAction*>("Housekeeping")->trigger();
        QApplication::processEvents();
        for (QMdiSubWindow* s : e.frame->mdiArea()->subWindowList())
            if (auto* w = qobject_cast<HousekeepingWindow*>(s->widget())) return w;
        return nullptr;
    }
    int addTask(const char* name, bool disabled, bool completed, int steps = 1) {
        qd::ScheduleRecord r = qduitest::Engine::messageTask(name, name, {e.clock.today() + 1, 360001});
        r.Disabled = disabled;
        r.Completed = completed;
        const int id = e.addTask(r);
        for (int i = 0; i < steps; ++i)
            addStep(id);
        return id;
    }
    void addStep(int taskId) {
        qd::Table<qd::ScriptingRecord> s(e.ds, qd::tables::Scripting());
        s.open();
        s.rec = {};
        s.rec.ID = taskId;
        s.rec.Action = "Wait";
        QCOMPARE(s.insert(), qd::Level::Benign);
    }
    QStringList taskNames() {
        QStringList names;
        for (const auto& t : e.tasks())
            names << QString::fromStdString(t.Description);
        names.sort();
        return names;
    }
    template <class R> long long count(const qd::TableDef& def) {
        qd::Table<R> t(e.ds, def);
        t.open();
        return t.recordCount();
    }
    std::vector<qd::QDUSDRecord> userRows() {
        std::vector<qd::QDUSDRecord> out;
        qd::Table<qd::QDUSDRecord> t(e.ds, qd::tables::QDUSD());
        t.open();
        t.setOrder(0);
        while (t.next() == qd::Level::Benign)
            out.push_back(t.rec);
        return out;
    }

    qduitest::Engine e;
    std::unique_ptr<UsersWindows> windows;
    std::deque<QString> answers;
    QStringList seen;
    int queueCleared = 0;
    int refreshed = 0;
};

} // namespace

class HousekeepingWindowTest : public QObject {
    Q_OBJECT
private slots:
    void menuEntriesAndWindowTexts();
    void lockPasswordInAnyLetterCaseOpensAndOthersKeepItClosed();
    void completedPassKeepsACompletedTaskThatIsNotDisabled();
    void disabledPassAndNoAnswerAndToDoList();
    void cancelledPassStopsBetweenBatchesWithEveryTaskWhole();
    void assignUserTwiceAddsNoDuplicateRows();
    void unlabelledButtonRemovesStepsWithoutATask();
    void interfaceButtons();
    void usersAreAddedRenamedAndDeletedFromHousekeeping();
};

void HousekeepingWindowTest::menuEntriesAndWindowTexts() {
    Bench b;
    QAction* users = b.e.frame->findChild<QAction*>("Users");
    QVERIFY(users && !users->isEnabled());
    QAction* housekeeping = b.e.frame->findChild<QAction*>("Housekeeping");
    QVERIFY(housekeeping && housekeeping->isEnabled());
    QCOMPARE(housekeeping->text(), QString("House&keeping"));

    HousekeepingWindow* w = b.openFromMenu();
    QVERIFY(w);
    QCOMPARE(w->windowTitle(), QString("Housekeeping"));
    QStringList groups;
    for (auto* g : w->findChildren<QGroupBox*>())
        groups << g->title();
    QCOMPARE(groups, (QStringList{"Database Housekeeping", "Interface Housekeeping", "Groups Housekeeping"}));
    QCOMPARE(w->button("ClearDisabled")->text(), QString("Clear all disabled tasks"));
    QCOMPARE(w->button("ClearCompleted")->text(), QString("Clear all completed tasks"));
    QCOMPARE(w->button("ClearToDo")->text(), QString("Clear To Do list"));
    QCOMPARE(w->button("ResetWindows")->text(), QString("Reset saved window settings"));
    QCOMPARE(w->button("ClearScriptQueue")->text(), QString("Clear current script queue"));
    QCOMPARE(w->button("RescheduleAll")->text(), QString("Reschedule All Tasks"));
    QCOMPARE(w->button("AssignUser")->text(), QString("Assign current user to all tasks"));
    QVERIFY(w->button("VerifyLinks")->text().isEmpty());
    QCOMPARE(w->button("VerifyLinks")->accessibleName(), QString("Verify links"));
    // No reschedule window was handed over: its button says so.
    QVERIFY(!w->button("RescheduleAll")->isEnabled());
    // A second press brings the same window forward.
    QCOMPARE(b.openFromMenu(), w);
    QCOMPARE(b.subWindows("Housekeeping"), 1);
}

void HousekeepingWindowTest::lockPasswordInAnyLetterCaseOpensAndOthersKeepItClosed() {
    Bench b;
    b.lock("Tulip");
    // Wrong password: "Access Denied", the window stays closed.
    b.answers = {"pw:Tulips", "OK"};
    QVERIFY(!b.openFromMenu());
    QCOMPARE(b.seen, (QStringList{"Password Required: ",
                                  "Access Denied: The password you have entered is incorrect."}));
    // Cancel: closed, no message.
    b.seen.clear();
    b.answers = {};
    QVERIFY(!b.openFromMenu());
    QCOMPARE(b.seen, QStringList{"Password Required: "});
    QCOMPARE(b.subWindows("Housekeeping"), 0);

    // The stored password in capitals opens it, and so does any other case.
    b.answers = {"pw:TULIP"};
    HousekeepingWindow* w = b.openFromMenu();
    QVERIFY(w);
    b.e.frame->mdiArea()->closeAllSubWindows();
    QApplication::processEvents();
    b.answers = {"pw:tULIP"};
    QVERIFY(b.openFromMenu());
    QVERIFY(!b.e.runtime->dispatcher().unlocked());

    // Unlocked for the session: the next time no password is asked.
    b.e.frame->mdiArea()->closeAllSubWindows();
    QApplication::processEvents();
    b.answers = {"pw+:tulip"};
    QVERIFY(b.openFromMenu());
    QVERIFY(b.e.runtime->dispatcher().unlocked());
    b.e.frame->mdiArea()->closeAllSubWindows();
    QApplication::processEvents();
    b.seen.clear();
    QVERIFY(b.openFromMenu());
    QCOMPARE(b.seen, QStringList{});

    // Not locked at all: no password window.
    Bench open;
    QVERIFY(open.openFromMenu());
    QCOMPARE(open.seen, QStringList{});
}

void HousekeepingWindowTest::completedPassKeepsACompletedTaskThatIsNotDisabled() {
    Bench b;
    b.addTask("disabled", true, false);
    b.addTask("disabled completed", true, true, 2);
    b.addTask("completed", false, true);
    b.addTask("active", false, false);
    HousekeepingWindow* w = b.openFromMenu();
    QVERIFY(w);
    b.answers = {"Yes", "OK"};
    QTest::mouseClick(w->button("ClearCompleted"), Qt::LeftButton);
    QCOMPARE(b.seen, (QStringList{"Housekeeping: Remove completed tasks?",
                                  "Housekeeping: Completed tasks removed."}));
    QCOMPARE(b.taskNames(), (QStringList{"active", "completed", "disabled"}));
    QCOMPARE(b.count<qd::ScriptingRecord>(qd::tables::Scripting()), 3);
    QCOMPARE(b.refreshed, 1);
}

void HousekeepingWindowTest::disabledPassAndNoAnswerAndToDoList() {
    Bench b;
    b.addTask("disabled", true, false);
    b.addTask("disabled completed", true, true);
    b.addTask("completed", false, true);
    HousekeepingWindow* w = b.openFromMenu();
    QVERIFY(w);
    // "No" changes nothing and says nothing more.
    b.answers = {"No"};
    w->button("ClearDisabled")->click();
    QCOMPARE(b.seen, QStringList{"Housekeeping: Remove disabled tasks?"});
    QCOMPARE(b.taskNames().size(), 3);

    b.seen.clear();
    b.answers = {"Yes", "OK"};
    w->button("ClearDisabled")->click();
    QCOMPARE(b.seen,
             (QStringList{"Housekeeping: Remove disabled tasks?", "Housekeeping: Disabled tasks removed."}));
    QCOMPARE(b.taskNames(), QStringList{"completed"});
    QCOMPARE(b.count<qd::ScriptingRecord>(qd::tables::Scripting()), 1);

    qd::Table<qd::TodoRecord> todo(b.e.ds, qd::tables::Todo());
    todo.open();
    for (const char* item : {"milk", "bread"}) {
        todo.rec = {};
        todo.rec.ToDo = item;
        QCOMPARE(todo.insert(), qd::Level::Benign);
    }
    b.seen.clear();
    b.answers = {"Yes", "OK"};
    w->button("ClearToDo")->click();
    QCOMPARE(b.seen, (QStringList{"Housekeeping: Clear To Do list?", "Housekeeping: To Do list removed."}));
    QCOMPARE(todo.recordCount(), 0);
}

void HousekeepingWindowTest::cancelledPassStopsBetweenBatchesWithEveryTaskWhole() {
    Bench b;
    const int n = 2 * qd::kHousekeepingBatch + 5;
    qd::StoreFile* file = b.e.ds.fileOf(qd::tables::Schedule());
    QVERIFY(file && file->begin() == qd::kStoreOk);
    for (int i = 0; i < n; ++i)
        b.addTask("old", true, true);
    QCOMPARE(file->commit(), int(qd::kStoreOk));
    b.addTask("keep", false, false, 2);
    HousekeepingWindow* w = b.openFromMenu();
    QVERIFY(w);
    // Cancel is pressed on the progress window as soon as it shows the first batch
    // done; closing the window before is refused while the pass runs.
    QPointer<HousekeepingWindow> alive(w);
    bool closeRefused = false;
    QTimer presser;
    connect(&presser, &QTimer::timeout, [&] {
        if (QProgressDialog* p = w->progress()->dialog(); p && p->value() > 0) {
            w->parentWidget()->close();
            QApplication::processEvents();
            closeRefused = alive && !w->isHidden() && !w->parentWidget()->isHidden();
            p->findChild<QPushButton*>()->click();
            presser.stop();
        }
    });
    presser.start(0);
    long long removed = -1;
    bool complete = true;
    connect(w, &HousekeepingWindow::passFinished, [&](long long changed, bool whole) {
        removed = changed;
        complete = whole;
    });
    b.answers = {"Yes", "OK"};
    w->button("ClearDisabled")->click();
    QVERIFY(closeRefused);
    QVERIFY(!complete);
    QCOMPARE(removed, qd::kHousekeepingBatch);
    QCOMPARE(b.seen.last(), QString("Housekeeping: Stopped before the end: what was done so far is kept."));
    QCOMPARE(static_cast<int>(b.e.tasks().size()), n - qd::kHousekeepingBatch + 1);
    // One step per remaining "old" task, two for "keep": none was split from its task.
    QCOMPARE(b.count<qd::ScriptingRecord>(qd::tables::Scripting()), n - qd::kHousekeepingBatch + 2);
    QCOMPARE(qd::VerifyLinks(b.e.ds, nullptr).changed, 0);
    QCOMPARE(b.e.ds.fileOf(qd::tables::Schedule())->integrityCheck(), std::string("ok"));
    QVERIFY(!w->progress()->dialog());
}

void HousekeepingWindowTest::assignUserTwiceAddsNoDuplicateRows() {
    Bench b;
    const int a = b.addTask("a", false, false, 0);
    const int c = b.addTask("c", true, true, 0);
    HousekeepingWindow* w = b.openFromMenu();
    QVERIFY(w);
    w->button("AssignUser")->click();
    w->button("AssignUser")->click();
    const auto rows = b.userRows();
    QCOMPARE(rows.size(), std::size_t{2});
    for (const auto& r : rows) {
        QCOMPARE(QString::fromStdString(r.User), QString("ann"));
        QVERIFY(r.ID == a || r.ID == c);
    }
    QVERIFY(rows[0].ID != rows[1].ID);
    // Neither a question nor a message.
    QCOMPARE(b.seen, QStringList{});
}

void HousekeepingWindowTest::unlabelledButtonRemovesStepsWithoutATask() {
    Bench b;
    const int kept = b.addTask("kept", false, false, 2);
    b.addStep(kept + 10);
    b.addStep(kept + 10);
    HousekeepingWindow* w = b.openFromMenu();
    QVERIFY(w);
    w->button("VerifyLinks")->click();
    QCOMPARE(b.count<qd::ScriptingRecord>(qd::tables::Scripting()), 2);
    QCOMPARE(b.seen, QStringList{});
}

void HousekeepingWindowTest::interfaceButtons() {
    Bench b;
    HousekeepingWindow* w = b.openFromMenu();
    QVERIFY(w);
    const auto positions = b.e.dir / "POSITION.INI";
    qdtest::writeFile(positions, "[Main]\nX=1\n");
    b.answers = {"No"};
    w->button("ResetWindows")->click();
    QVERIFY(std::filesystem::exists(positions));
    b.seen.clear();
    b.answers = {"Yes", "OK"};
    w->button("ResetWindows")->click();
    QVERIFY(!std::filesystem::exists(positions));
    QCOMPARE(b.seen, (QStringList{"Housekeeping: Reset saved window settings?",
                                  "Housekeeping: All saved window positions have been removed"}));

    b.seen.clear();
    b.answers = {"No"};
    w->button("ClearScriptQueue")->click();
    QCOMPARE(b.queueCleared, 0);
    b.answers = {"Yes", "OK"};
    w->button("ClearScriptQueue")->click();
    QCOMPARE(b.queueCleared, 1);
    QCOMPARE(b.seen,
             (QStringList{"Housekeeping: Remove active scripts?", "Housekeeping: Remove active scripts?",
                          "Housekeeping: All active scripts have been removed"}));

    // With a reschedule window handed over, its button opens it without a question.
    int reschedules = 0;
    HousekeepingWindow with(
        HousekeepingContext{b.e.ds, b.e.ui, b.e.runtime->settings(), {}, [&] { ++reschedules; }, {}, {}});
    QVERIFY(with.button("RescheduleAll")->isEnabled());
    b.seen.clear();
    with.button("RescheduleAll")->click();
    QCOMPARE(reschedules, 1);
    QCOMPARE(b.seen, QStringList{});
}

void HousekeepingWindowTest::usersAreAddedRenamedAndDeletedFromHousekeeping() {
    Bench b;
    HousekeepingWindow* w = b.openFromMenu();
    QVERIFY(w);
    w->button("Users")->click();
    QCOMPARE(b.subWindows("BrowseUsers"), 1);
    UsersWindow* users = nullptr;
    for (QMdiSubWindow* s : b.e.frame->mdiArea()->subWindowList())
        if (auto* u = qobject_cast<UsersWindow*>(s->widget())) users = u;
    QVERIFY(users);
    // The current user was made sure of at start-up.
    QCOMPARE(users->model()->rowCount(), 1);

    // A blank name is refused and the form stays open for the next try.
    b.answers = {"=  ", "OK", "=bob"};
    users->findChild<QPushButton*>("Insert")->click();
    QCOMPARE(b.seen, (QStringList{"Add Users: ", "Missing Information: User must be entered."}));
    QCOMPARE(users->model()->rowCount(), 2);
    QCOMPARE(users->list()->currentIndex().data().toString(), QString("bob"));

    const int task = b.addTask("shared", false, false, 0);
    w->button("AssignUser")->click();
    QCOMPARE(qd::assignUserToTask(b.e.ds, task, "bob"), qd::Level::Benign);

    // Renamed: the user's task rows follow.
    b.seen.clear();
    b.answers = {"=robert"};
    users->findChild<QPushButton*>("Change")->click();
    QCOMPARE(b.seen, QStringList{"Change Users : "});
    int robert = 0;
    for (const auto& r : b.userRows())
        robert += r.User == "robert";
    QCOMPARE(robert, 1);

    // Deleted after the question: the rows go with the user.
    b.answers = {"Yes"};
    users->findChild<QPushButton*>("Delete")->click();
    QCOMPARE(users->model()->rowCount(), 1);
    QCOMPARE(b.userRows().size(), std::size_t{1});
    QCOMPARE(QString::fromStdString(b.userRows()[0].User), QString("ann"));
}

QTEST_MAIN(HousekeepingWindowTest)
#include "HousekeepingWindowTest.moc"
