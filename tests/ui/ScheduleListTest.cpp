// The task list windows and the categories, driven through their buttons on a
// data set on disk with the engine behind a real frame.
#include "UiTestSupport.h"

#include "data/Pictures.h"
#include "data/RelationManager.h"
#include "schedule/ui/ScheduleWindows.h"
#include "ui/QueryDialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTabBar>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <condition_variable>
#include <deque>
#include <mutex>

using namespace qdschedui;

namespace {

// A test bench: the engine, its windows and the answers to the dialogs they open.
struct Bench {
    Bench() {
        QVERIFY(e.runtime->open());
        e.runtime->settings().UseQDMsg = false; // message windows inside this process
        windows = std::make_unique<ScheduleWindows>(
            *e.frame, e.ui,
            ScheduleUiContext{e.ds, e.runtime->settings(), e.runtime->execution(), e.clock, e.ui, {}});
        // Each dialog takes the next answer: a button's text, or "=text" typed
        // into a category form before pressing OK. No answer left: Cancel/close.
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
            if (auto* form = qobject_cast<CategoryForm*>(d); form != nullptr && answer.startsWith('=')) {
                form->field()->setText(answer.mid(1));
                form->accept();
                // A refused name leaves the form open for the next answer.
                if (dialog && form->isVisible()) answerLater(dialog);
            } else if (answer.isEmpty() || !qduitest::pressButton(*d, answer)) {
                d->reject();
            }
        });
    }
    ~Bench() {
        e.frame->mdiArea()->closeAllSubWindows();
        // Message windows of performed tasks are windows of their own.
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<qdui::MessageWindow*>(w)) w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
        e.runtime->close();
    }

    qd::ScheduleRecord task(const std::string& description, qd::Date date, qd::Time time,
                            const std::string& category = "General") {
        qd::ScheduleRecord r =
            qduitest::Engine::messageTask(description, "Text of " + description, {date, time});
        r.Category = category;
        return r;
    }
    int add(const std::string& description, qd::Date date, qd::Time time,
            const std::string& category = "General") {
        return e.addTask(task(description, date, time, category));
    }
    std::optional<qd::ScheduleRecord> find(int id) {
        for (const auto& t : e.tasks())
            if (t.ID == id) return t;
        return std::nullopt;
    }
    template <class R> long long count(const qd::TableDef& def, std::function<bool(const R&)> match) {
        qd::Table<R> t(e.ds, def);
        if (t.open() != qd::Level::Benign) return -1;
        long long n = 0;
        t.setOrder(0);
        while (t.next() == qd::Level::Benign)
            if (match(t.rec)) ++n;
        return n;
    }
    QStringList descriptions(TaskListWindow& w) {
        QStringList out;
        for (int row = 0; row < w.model().rowCount(); ++row)
            out << QString::fromStdString(w.model().task(row).Description);
        return out;
    }
    void addCategory(const char* name) {
        qd::Table<qd::CategoriesRecord> t(e.ds, qd::tables::Categories());
        QCOMPARE(t.open(), qd::Level::Benign);
        t.rec.Category = name;
        QCOMPARE(t.insert(), qd::Level::Benign);
    }

    qduitest::Engine e;
    std::unique_ptr<ScheduleWindows> windows;
    std::deque<QString> answers;
    QStringList seen;
};

// Holds the counting thread at the model's count hook until the test lets a
// count through.
struct CountGate {
    void hook() {
        std::unique_lock lock(mutex);
        ++arrived;
        changed.notify_all();
        changed.wait(lock, [this] { return permits > 0; });
        --permits;
    }
    void waitArrived(int n) {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return arrived >= n; });
    }
    void let(int n) {
        std::lock_guard lock(mutex);
        permits += n;
        changed.notify_all();
    }
    std::mutex mutex;
    std::condition_variable changed;
    int arrived = 0;
    int permits = 0;
};

qd::Date today() {
    return qd::dateFromMDY(3, 10, 2026); // the engine's clock
}

} // namespace

class ScheduleListTest : public QObject {
    Q_OBJECT
private slots:
    void scheduleListShowsTheDayByDateAndByCategory();
    void rowsCarryIconsAndColoursOfTheirState();
    void performNowShowsTheMessageAndLeavesTheTaskWhereItIs();
    void snoozePopupCopiesTheTaskAheadAndCancelDoesNothing();
    void deleteAsksAndTakesTheRelatedRowsAlong();
    void changesOfAnotherProcessAppearAtTheNextTickKeepingTheSelection();
    void dispatcherChangesRefreshOpenLists();
    void explorerFiltersHideHotKeysAndNameTheRange();
    void categoriesAddRenameAndRefuseAUsedOne();
    void alternateFormatAndMultiUserTitles();
    void queryNarrowsEveryViewUntilReset();
    void longListJumpsToTheEndAndSortsInTheStore();
    void aHeldCountNeitherHoldsTheListNorShowsAStaleCount();
};

void ScheduleListTest::scheduleListShowsTheDayByDateAndByCategory() {
    Bench b;
    b.addCategory("General");
    b.addCategory("Work");
    b.add("tomorrow", today() + 1, qd::timeFromHMS(8, 0, 0));
    b.add("today late", today(), qd::timeFromHMS(18, 0, 0), "Work");
    b.add("today early", today(), qd::timeFromHMS(7, 0, 0));
    b.add("yesterday", today() - 1, qd::timeFromHMS(9, 0, 0), "Work");

    b.e.frame->entryAction("ScheduledTasks")->trigger();
    auto* w = b.e.frame->mdiArea()->findChild<BrowseScheduleWindow*>();
    QVERIFY(w);
    // Without "FullSchedule" the list starts on today.
    QCOMPARE(w->tabs()->currentIndex(), int(BrowseScheduleWindow::kDay));
    QCOMPARE(w->windowTitle(),
             QString::fromStdString("View Schedule - " + qd::formatUserDate(today(), "d3")));
    QCOMPARE(b.descriptions(*w), (QStringList{"today early", "today late"}));
    QCOMPARE(w->selectedTask(), w->model().task(0).ID);

    w->showTab(BrowseScheduleWindow::kAllByDate);
    QCOMPARE(w->windowTitle(), QString("View Schedule"));
    QCOMPARE(b.descriptions(*w), (QStringList{"yesterday", "today early", "today late", "tomorrow"}));
    w->pickCategory("Work");
    QCOMPARE(b.descriptions(*w), (QStringList{"today late", "yesterday"})); // category, then description
    w->pickDay(today() + 1);
    QCOMPARE(b.descriptions(*w), QStringList{"tomorrow"});
    QCOMPARE(w->model().data(w->model().index(0, qd::kColSchedule), Qt::DisplayRole).toString(),
             QString("Once"));

    b.e.runtime->settings().FullSchedule = true;
    auto* full = b.windows->openBrowse();
    QCOMPARE(full->tabs()->currentIndex(), int(BrowseScheduleWindow::kAllByDate));
    QCOMPARE(full->model().rowCount(), 4);
}

void ScheduleListTest::rowsCarryIconsAndColoursOfTheirState() {
    Bench b;
    qd::ScheduleRecord off = b.task("off", today(), 100);
    off.Disabled = 1;
    b.e.addTask(off);
    qd::ScheduleRecord skip = b.task("skip", today(), 200);
    skip.SkipNextTime = 1;
    skip.TaskType = "Run Program";
    b.e.addTask(skip);
    b.add("plain", today(), 300);
    b.e.runtime->settings().FullSchedule = true;
    auto* w = b.windows->openBrowse();
    QCOMPARE(w->model().rowCount(), 3);
    auto& m = w->model();
    QCOMPARE(m.data(m.index(0, qd::kColDate), Qt::ForegroundRole).value<QBrush>().color(),
             QColor(128, 128, 128));
    QCOMPARE(m.data(m.index(1, qd::kColDate), Qt::ForegroundRole).value<QBrush>().color(), QColor(0, 0, 255));
    QVERIFY(!m.data(m.index(2, qd::kColDate), Qt::ForegroundRole).isValid());
    for (int row = 0; row < 3; ++row) {
        QVERIFY(!m.data(m.index(row, qd::kColType), Qt::DecorationRole).value<QIcon>().isNull());
        QVERIFY(!m.data(m.index(row, qd::kColStatus), Qt::DecorationRole).value<QIcon>().isNull());
    }
    const auto statusKey = [&](int row) {
        return m.data(m.index(row, qd::kColStatus), Qt::DecorationRole).value<QIcon>().cacheKey();
    };
    QVERIFY(statusKey(0) != statusKey(1));
    QVERIFY(statusKey(1) != statusKey(2));
    w->setActiveOnly(true);
    QCOMPARE(b.descriptions(*w), (QStringList{"skip", "plain"}));
}

void ScheduleListTest::performNowShowsTheMessageAndLeavesTheTaskWhereItIs() {
    Bench b;
    const int id = b.add("call home", today(), qd::timeFromHMS(18, 0, 0));
    auto* w = b.windows->openBrowse();
    QVERIFY(w->selectTask(id));
    const qd::ScheduleRecord before = *b.find(id);
    w->button("PerformNow")->click();
    QCOMPARE(b.e.frame->openMessageWindows(), 1);
    // Performing now runs the task once more; its pending occurrence stays.
    const qd::ScheduleRecord after = *b.find(id);
    QCOMPARE(after.Date, before.Date);
    QCOMPARE(after.Time, before.Time);
    QCOMPARE(after.Completed, before.Completed);
    QCOMPARE(b.e.tasks().size(), std::size_t(1));

    // A task deleted meanwhile (another process) is reported, not performed.
    {
        qd::Table<qd::ScheduleRecord> t(b.e.ds, qd::tables::Schedule());
        QCOMPARE(t.open(), qd::Level::Benign);
        t.rec.ID = id;
        QCOMPARE(t.fetch("KeyID"), qd::Level::Benign);
        QCOMPARE(t.deleteRecord(), qd::Level::Benign);
    }
    w->button("PerformNow")->click();
    QCOMPARE(b.e.frame->openMessageWindows(), 1);
    QCOMPARE(b.seen.last(), QString("Task List: The highlighted task is not there any more."));
    QCOMPARE(w->model().rowCount(), 0);
}

void ScheduleListTest::snoozePopupCopiesTheTaskAheadAndCancelDoesNothing() {
    Bench b;
    qd::ScheduleRecord r = b.task("stretch", today(), qd::timeFromHMS(8, 0, 0));
    r.ScheduleType = "Day of Week";
    r.Monday = r.Tuesday = 1;
    r.AdvanceWarnDate = today();
    const int id = b.e.addTask(r);
    {
        qd::Table<qd::ScriptingRecord> s(b.e.ds, qd::tables::Scripting());
        QCOMPARE(s.open(), qd::Level::Benign);
        s.rec.ID = id;
        s.rec.Sequence = 1;
        s.rec.Action = "Send Keys";
        s.rec.Keystrokes = "abc";
        QCOMPARE(s.insert(), qd::Level::Benign);
    }
    b.e.runtime->settings().FullSchedule = true;
    auto* w = b.windows->openBrowse();
    QVERIFY(w->selectTask(id));

    const auto pick = [](const QString& choice) {
        QTimer::singleShot(50, [choice] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY(menu);
            QStringList texts;
            for (QAction* a : menu->actions())
                texts << (a->isSeparator() ? "-" : a->text());
            QCOMPARE(texts.join('|'),
                     QString("5 minutes|10 minutes|30 minutes|1 hour|2 hours|3 hours|-|Cancel"));
            for (QAction* a : menu->actions())
                if (a->text() == choice) {
                    a->trigger();
                    menu->close();
                }
        });
    };
    pick("Cancel");
    w->button("Snooze")->click();
    QCOMPARE(b.e.tasks().size(), std::size_t(1));

    pick("30 minutes");
    w->button("Snooze")->click();
    const auto all = b.e.tasks();
    QCOMPARE(all.size(), std::size_t(2));
    const qd::ScheduleRecord& copy = all[0].ID == id ? all[1] : all[0];
    QCOMPARE(copy.Description, std::string("stretch"));
    QCOMPARE(copy.ScheduleType, std::string("Once"));
    QCOMPARE(copy.Date, today());
    QCOMPARE(copy.Time, qd::timeFromHMS(9, 30, 1));
    QCOMPARE(copy.AdvanceWarnDate, 0);
    QCOMPARE((b.count<qd::ScriptingRecord>(qd::tables::Scripting(),
                                           [&](const qd::ScriptingRecord& s) { return s.ID == copy.ID; })),
             1LL);
    // The list read the new task in, and still highlights the original.
    QCOMPARE(w->model().rowCount(), 2);
    QCOMPARE(w->selectedTask(), id);
}

void ScheduleListTest::deleteAsksAndTakesTheRelatedRowsAlong() {
    Bench b;
    const int keep = b.add("keep", today(), 100);
    const int id = b.add("remove", today(), 200);
    for (int task : {keep, id}) {
        qd::Table<qd::ScriptingRecord> s(b.e.ds, qd::tables::Scripting());
        QCOMPARE(s.open(), qd::Level::Benign);
        for (int seq = 1; seq <= 2; ++seq) {
            s.rec = {};
            s.rec.ID = task;
            s.rec.Sequence = seq;
            s.rec.Action = "Send Keys";
            QCOMPARE(s.insert(), qd::Level::Benign);
        }
        qd::Table<qd::QDUSDRecord> u(b.e.ds, qd::tables::QDUSD());
        QCOMPARE(u.open(), qd::Level::Benign);
        u.rec.User = "anna";
        u.rec.ID = task;
        QCOMPARE(u.insert(), qd::Level::Benign);
    }
    auto* w = b.windows->openBrowse();
    QVERIFY(w->selectTask(id));
    const auto steps = [&](int task) {
        return b.count<qd::ScriptingRecord>(qd::tables::Scripting(),
                                            [&](const qd::ScriptingRecord& s) { return s.ID == task; });
    };
    const auto users = [&](int task) {
        return b.count<qd::QDUSDRecord>(qd::tables::QDUSD(),
                                        [&](const qd::QDUSDRecord& u) { return u.ID == task; });
    };

    b.answers = {"No"};
    w->button("Delete")->click();
    QCOMPARE(b.seen, QStringList{"Confirm Delete: Are you sure you want to delete the highlighted record?"});
    QVERIFY(b.find(id));
    QCOMPARE(steps(id), 2LL);

    b.answers = {"Yes"};
    w->button("Delete")->click();
    QVERIFY(!b.find(id));
    QCOMPARE(steps(id), 0LL);
    QCOMPARE(users(id), 0LL);
    QCOMPARE(steps(keep), 2LL);
    QCOMPARE(users(keep), 1LL);
    QCOMPARE(b.descriptions(*w), QStringList{"keep"});
}

void ScheduleListTest::changesOfAnotherProcessAppearAtTheNextTickKeepingTheSelection() {
    Bench b;
    b.add("first", today(), qd::timeFromHMS(8, 0, 0));
    const int second = b.add("second", today(), qd::timeFromHMS(9, 0, 0));
    auto* w = b.windows->openBrowse();
    QVERIFY(w->selectTask(second));
    w->poll();
    QCOMPARE(w->model().rowCount(), 2);
    {
        // Another station on the same folder: its own connection to the files.
        qd::ErrorClass errors(&b.e.ui);
        qd::DataSet other(b.e.dir.path(), errors);
        qd::Table<qd::ScheduleRecord> t(other, qd::tables::Schedule());
        QCOMPARE(t.open(), qd::Level::Benign);
        t.rec = b.task("from elsewhere", today(), qd::timeFromHMS(7, 0, 0));
        QCOMPARE(t.insert(), qd::Level::Benign);
        t.rec = {};
        t.rec.ID = second;
        QCOMPARE(t.fetch("KeyID"), qd::Level::Benign);
        t.rec.Description = "second, renamed";
        QCOMPARE(t.update(), qd::Level::Benign);
    }
    QCOMPARE(w->model().rowCount(), 2); // nothing read before the tick
    auto* explorer = b.windows->openExplore();
    auto* categories = explorer->findChild<QComboBox*>("Category");
    QVERIFY(categories);
    const int before = categories->count();
    {
        // A category added elsewhere is offered by the open lists at the next tick.
        qd::ErrorClass errors(&b.e.ui);
        qd::DataSet other(b.e.dir.path(), errors);
        qd::Table<qd::CategoriesRecord> t(other, qd::tables::Categories());
        QCOMPARE(t.open(), qd::Level::Benign);
        t.rec.Category = "Garden";
        QCOMPARE(t.insert(), qd::Level::Benign);
    }
    explorer->poll();
    QCOMPARE(categories->count(), before + 1);
    QVERIFY(categories->findText("Garden") > 0);
    QCOMPARE(categories->currentText(), QString("All"));
    // The chosen category deleted elsewhere: the list falls back to all of them.
    categories->setCurrentText("Garden");
    {
        qd::ErrorClass errors(&b.e.ui);
        qd::DataSet other(b.e.dir.path(), errors);
        qd::Table<qd::CategoriesRecord> t(other, qd::tables::Categories());
        QCOMPARE(t.open(), qd::Level::Benign);
        t.rec.Category = "Garden";
        QCOMPARE(t.fetch("KeyCategory"), qd::Level::Benign);
        QCOMPARE(t.deleteRecord(), qd::Level::Benign);
    }
    explorer->poll();
    QCOMPARE(categories->currentText(), QString("All"));
    QCOMPARE(categories->findText("Garden"), -1);
    w->poll();
    QCOMPARE(w->findChild<QComboBox*>("Category")->count(), categories->count() - 1); // without "All"
    QCOMPARE(b.descriptions(*w), (QStringList{"from elsewhere", "first", "second, renamed"}));
    QCOMPARE(w->selectedTask(), second);
    // No change: the next tick reads nothing again.
    const long long scanned = w->model().scanned();
    w->poll();
    QCOMPARE(w->model().scanned(), scanned);
}

void ScheduleListTest::dispatcherChangesRefreshOpenLists() {
    Bench b;
    const int id = b.add("due now", today(), qd::timeFromHMS(9, 0, 0));
    b.e.runtime->settings().FullSchedule = true;
    auto* w = b.windows->openBrowse();
    auto* x = b.windows->openExplore();
    QCOMPARE(w->model().rowCount(), 1);
    // The dispatcher performs the due task (same process): completed once, with
    // a history copy; both lists are told.
    for (int i = 0; i < 8; ++i) {
        b.e.runtime->tick();
        b.e.clock.advanceSeconds(1);
    }
    QVERIFY(b.find(id)->Completed);
    QCOMPARE(w->model().rowCount(), int(b.e.tasks().size()));
    QVERIFY(w->model().rowCount() >= 1);
    QCOMPARE(x->model().rowCount(), int(b.e.tasks().size()));
    QCOMPARE(w->model().task(w->model().rowOfTask(id)).Completed, std::uint8_t(1));
}

void ScheduleListTest::explorerFiltersHideHotKeysAndNameTheRange() {
    Bench b;
    b.addCategory("General");
    b.addCategory("Work");
    b.add("today", today(), 100);
    b.add("work tomorrow", today() + 1, 100, "Work");
    qd::ScheduleRecord hot = b.task("Hot Key 1", today(), 200, "Hot Key");
    hot.TaskType = "Hot Key";
    b.e.addTask(hot);
    qd::ScheduleRecord off = b.task("off", today() + 2, 100);
    off.Disabled = 1;
    b.e.addTask(off);

    b.e.frame->entryAction("ExploreSchedule")->trigger();
    auto* x = b.e.frame->mdiArea()->findChild<ExploreScheduleWindow*>();
    QVERIFY(x);
    QCOMPARE(x->windowTitle(), QString("List of Scheduled Tasks"));
    QCOMPARE(b.descriptions(*x), (QStringList{"today", "work tomorrow", "off"}));
    qd::ExploreChoice c;
    c.status = qd::ExploreStatus::Active;
    x->choose(c);
    QCOMPARE(b.descriptions(*x), (QStringList{"today", "work tomorrow"}));
    c.category = "Work";
    x->choose(c);
    QCOMPARE(b.descriptions(*x), QStringList{"work tomorrow"});
    c = {};
    c.dates = qd::ExploreDates::Custom;
    c.first = today() + 1;
    c.last = today() + 2;
    x->choose(c);
    QCOMPARE(b.descriptions(*x), (QStringList{"work tomorrow", "off"}));
    QCOMPARE(x->windowTitle(),
             QString::fromStdString("List of Scheduled Tasks - " + qd::formatUserDate(today() + 1, "d3") +
                                    "-" + qd::formatUserDate(today() + 2, "d3")));
    QCOMPARE(x->parentWidget()->windowTitle(), x->windowTitle());
}

void ScheduleListTest::categoriesAddRenameAndRefuseAUsedOne() {
    Bench b;
    b.addCategory("Work");
    b.add("uses work", today(), 100, "Work");
    b.e.frame->entryAction("TaskCategories")->trigger();
    auto* c = b.e.frame->mdiArea()->findChild<CategoriesWindow*>();
    QVERIFY(c);
    QCOMPARE(c->list()->count(), 1);

    // A blank name is refused and the form stays open; then a name is given.
    b.answers = {"=", "OK", "=Home"};
    c->findChild<QPushButton*>("Insert")->click();
    QCOMPARE(b.seen.value(0), QString("New Category: "));
    QCOMPARE(b.seen.value(1), QString("Missing Information: Category must be entered."));
    QCOMPARE(categoryNames(b.e.ds), (QStringList{"Home", "Work"}));

    // The used category can be neither renamed nor deleted.
    b.seen.clear();
    b.answers = {"=Office", "OK"};
    c->list()->setCurrentRow(1);
    c->findChild<QPushButton*>("Change")->click();
    QCOMPARE(b.seen.value(0), QString("Edit Category: "));
    QVERIFY(b.seen.value(1).startsWith("Referential Integrity Update Error: "));
    QCOMPARE(categoryNames(b.e.ds), (QStringList{"Home", "Work"}));

    b.seen.clear();
    b.answers = {"Yes", "OK"};
    c->list()->setCurrentRow(1);
    c->findChild<QPushButton*>("Delete")->click();
    QCOMPARE(b.seen.value(0),
             QString("Confirm Delete: Are you sure you want to delete the highlighted record?"));
    QVERIFY(b.seen.value(1).startsWith(
        "Referential Integrity Delete Error: This record is referenced from the file"));
    QVERIFY(b.seen.value(1).endsWith("This record cannot be deleted while these references exist."));
    QCOMPARE(categoryNames(b.e.ds), (QStringList{"Home", "Work"}));

    // An unused one is renamed and deleted.
    b.answers = {"=House"};
    c->list()->setCurrentRow(0);
    c->findChild<QPushButton*>("Change")->click();
    QCOMPARE(categoryNames(b.e.ds), (QStringList{"House", "Work"}));
    b.answers = {"Yes"};
    c->list()->setCurrentRow(0);
    c->findChild<QPushButton*>("Delete")->click();
    QCOMPARE(categoryNames(b.e.ds), QStringList{"Work"});
    QCOMPARE(c->list()->count(), 1);
}

void ScheduleListTest::alternateFormatAndMultiUserTitles() {
    Bench b;
    b.e.runtime->settings().AltFmt = true;
    b.e.frame->entryAction("ScheduledTasks")->trigger();
    QVERIFY(b.e.frame->mdiArea()->findChild<ExploreScheduleWindow*>());
    QVERIFY(!b.e.frame->mdiArea()->findChild<BrowseScheduleWindow*>());

    b.e.runtime->settings().AltFmt = false;
    b.e.runtime->settings().MultiUser = true;
    b.e.runtime->settings().UserID = "anna";
    auto* w = b.windows->openBrowse();
    QCOMPARE(w->windowTitle(), QString("View Schedule - anna"));
    // The editor buttons: a new task always, the others on a highlighted task;
    // the script button only once a script editor is connected.
    QVERIFY(w->button("Insert")->isEnabled());
    QVERIFY(!w->button("Copy")->isEnabled());
    QVERIFY(!w->button("Scripting")->isEnabled());
    const int id = b.add("with a script", today(), 100);
    w->refresh();
    QVERIFY(w->selectTask(id));
    QVERIFY(!w->button("Scripting")->isEnabled());
    int opened = 0;
    w->setScriptEditor([&](int taskId) { opened = taskId; });
    QVERIFY(w->button("Scripting")->isEnabled());
    w->button("Scripting")->click();
    QCOMPARE(opened, id);
}

void ScheduleListTest::queryNarrowsEveryViewUntilReset() {
    Bench b;
    b.add("pay rent", today(), 100);
    b.add("water plants", today() + 1, 100);
    b.add("Pay taxes", today() + 2, 100);
    b.e.frame->entryAction("ScheduledTasks")->trigger();
    auto* w = b.e.frame->mdiArea()->findChild<BrowseScheduleWindow*>();
    QVERIFY(w);
    w->showTab(BrowseScheduleWindow::kAllByDate);
    QVERIFY(!w->button("Reset")->isEnabled());

    // The user picks "begins with" for the description, types, and presses OK.
    bool answered = false;
    QTimer::singleShot(0, [&answered] {
        auto* d = qobject_cast<qdui::QueryDialog*>(QApplication::activeModalWidget());
        if (!d) return;
        d->conditionBox(0)->setCurrentIndex(d->conditionBox(0)->findText("begins with"));
        QTest::keyClicks(d->valueEditor(0), "pay");
        answered = qduitest::pressButton(*d, "OK");
    });
    QTest::mouseClick(w->button("Query"), Qt::LeftButton);
    QVERIFY(answered);
    QCOMPARE(b.descriptions(*w), (QStringList{"pay rent", "Pay taxes"}));
    QCOMPARE(w->findChild<QLabel*>("QueryShown")->text(), QString("Query: Description begins with \"pay\""));
    QVERIFY(w->button("Reset")->isEnabled());
    // The query holds in the other views until it is reset.
    w->pickDay(today() + 2);
    QCOMPARE(b.descriptions(*w), QStringList{"Pay taxes"});
    w->pickDay(today() + 1);
    QCOMPARE(b.descriptions(*w), QStringList{});
    QTest::mouseClick(w->button("Reset"), Qt::LeftButton);
    QCOMPARE(b.descriptions(*w), QStringList{"water plants"});
    QVERIFY(!w->button("Reset")->isEnabled());

    // Values that cannot be read are refused with the field named; a range
    // typed high to low is read low to high.
    const auto& fields = TaskListWindow::queryFields();
    int idRow = -1, dateRow = -1;
    for (int i = 0; i < static_cast<int>(fields.size()); ++i) {
        if (fields[static_cast<std::size_t>(i)].label == "ID") idRow = i;
        if (fields[static_cast<std::size_t>(i)].label == "Date") dateRow = i;
    }
    qdui::QueryDialog d(fields, {});
    d.conditionBox(idRow)->setCurrentIndex(d.conditionBox(idRow)->findText("equals"));
    QTest::keyClicks(d.valueEditor(idRow), "12x");
    qd::RecordFilter f;
    QString why;
    QVERIFY(!d.readRows(f, &why));
    QVERIFY(why.contains("ID"));
    d.conditionBox(idRow)->setCurrentIndex(0);
    d.conditionBox(dateRow)->setCurrentIndex(d.conditionBox(dateRow)->findText("between"));
    static_cast<QDateEdit*>(d.valueEditor(dateRow))->setDate(QDate(2026, 5, 1));
    static_cast<QDateEdit*>(d.upToEditor(dateRow))->setDate(QDate(2026, 4, 1));
    QVERIFY(d.readRows(f, &why));
    QCOMPARE(int(f.size()), 1);
    QCOMPARE(std::get<long long>(*f[0].from), static_cast<long long>(qd::dateFromMDY(4, 1, 2026)));
    QCOMPARE(std::get<long long>(*f[0].to), static_cast<long long>(qd::dateFromMDY(5, 1, 2026)));
    // The dialog opened on a query shows it again.
    qdui::QueryDialog again(fields, f);
    QCOMPARE(again.conditionBox(dateRow)->currentText(), QString("between"));
    qd::RecordFilter same;
    QVERIFY(again.readRows(same));
    QCOMPARE(std::get<long long>(*same[0].from), std::get<long long>(*f[0].from));
}

// 2,500 tasks: the list counts them without reading them, Ctrl+End shows the
// last one reading only the rows on screen, and a click on a column title
// sorts in the store, keeping the selected task selected.
void ScheduleListTest::longListJumpsToTheEndAndSortsInTheStore() {
    Bench b;
    constexpr int kCount = 2500;
    {
        qd::Table<qd::ScheduleRecord> t(b.e.ds, qd::tables::Schedule());
        QCOMPARE(t.open(), qd::Level::Benign);
        qd::StoreFile* f = b.e.ds.fileOf(qd::tables::Schedule());
        QCOMPARE(f->begin(), qd::kStoreOk);
        for (int i = 0; i < kCount; ++i) {
            // Dates run forward with i, descriptions backward ("task 2499" first).
            std::string number = std::to_string(kCount - 1 - i);
            number.insert(0, 4 - number.size(), '0');
            t.rec = b.task("task " + number, today() + i / 10, qd::timeFromHMS(1 + i % 10, 0, 0));
            t.rec.ID = 0;
            QCOMPARE(t.insert(), qd::Level::Benign);
        }
        QCOMPARE(f->commit(), qd::kStoreOk);
    }
    b.e.runtime->settings().FullSchedule = true;
    b.e.frame->resize(900, 600);
    b.e.frame->show();
    auto* w = b.windows->openBrowse();
    QVERIFY(QTest::qWaitForWindowExposed(b.e.frame.get()));
    TaskListModel& m = w->model();
    // The first page at once; the count from the counting thread.
    QVERIFY(m.rowCount() >= TaskListModel::kPageSize);
    QTRY_COMPARE(m.rowCount(), kCount);
    QVERIFY(m.scanned() < 3 * TaskListModel::kPageSize);
    auto* view = w->findChild<QTableView*>("TaskList");
    QVERIFY(view);
    view->setFocus();
    QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(view->currentIndex().row(), kCount - 1);
    QCOMPARE(m.task(kCount - 1).Description, std::string("task 0000"));
    QVERIFY2(m.scanned() < 5 * TaskListModel::kPageSize, qPrintable(QString::number(m.scanned())));
    QVERIFY(m.rowsHeld() <= static_cast<std::size_t>(TaskListModel::kPagesKept * TaskListModel::kPageSize));

    // The last task stays selected while the list is sorted by description.
    view->selectRow(kCount - 1);
    const int last = w->selectedTask();
    QHeaderView* header = view->horizontalHeader();
    const auto clickTitle = [&](int column) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                                 header->height() / 2));
    };
    clickTitle(qd::kColDescription);
    QCOMPARE(header->sortIndicatorSection(), int(qd::kColDescription));
    QCOMPARE(m.task(0).Description, std::string("task 0000"));
    QCOMPARE(m.task(kCount - 1).Description, std::string("task 2499"));
    QCOMPARE(w->selectedTask(), last);
    QCOMPARE(view->currentIndex().row(), 0);
    clickTitle(qd::kColDescription); // again: the other way round
    QCOMPARE(m.task(0).Description, std::string("task 2499"));
    QCOMPARE(w->selectedTask(), last);
    QCOMPARE(view->currentIndex().row(), kCount - 1);
    // The rule column cannot be sorted on: the list's own order comes back.
    clickTitle(qd::kColSchedule);
    QCOMPARE(header->sortIndicatorSection(), -1);
    QCOMPARE(m.task(0).Description, std::string("task 2499"));
    QCOMPARE(m.task(1).Description, std::string("task 2498"));
    QCOMPARE(w->selectedTask(), last);
    // A task added by another process is counted at the next tick.
    {
        qd::ErrorClass errors(&b.e.ui);
        qd::DataSet other(b.e.dir.path(), errors);
        qd::Table<qd::ScheduleRecord> t(other, qd::tables::Schedule());
        QCOMPARE(t.open(), qd::Level::Benign);
        t.rec = b.task("one more", today() + 1000, qd::timeFromHMS(1, 0, 0));
        t.rec.ID = 0;
        QCOMPARE(t.insert(), qd::Level::Benign);
    }
    w->poll();
    QTRY_COMPARE(m.rowCount(), kCount + 1);
    QCOMPARE(m.task(kCount).Description, std::string("one more"));
    QCOMPARE(w->selectedTask(), last);
}

void ScheduleListTest::aHeldCountNeitherHoldsTheListNorShowsAStaleCount() {
    Bench b;
    {
        qd::Table<qd::ScheduleRecord> t(b.e.ds, qd::tables::Schedule());
        QCOMPARE(t.open(), qd::Level::Benign);
        qd::StoreFile* f = b.e.ds.fileOf(qd::tables::Schedule());
        QCOMPARE(f->begin(), qd::kStoreOk);
        for (int i = 0; i < 450; ++i) {
            t.rec =
                b.task((i < 300 ? "alpha " : "beta ") + std::to_string(1000 + i), today() + i % 40, 100 + i);
            t.rec.ID = 0;
            QCOMPARE(t.insert(), qd::Level::Benign);
        }
        QCOMPARE(f->commit(), qd::kStoreOk);
    }
    const int description = qd::tables::Schedule().findField("Description");
    const auto containing = [&](const char* text) {
        qd::TaskFilter f = qd::allByDate(false);
        f.where.push_back({description, qd::FieldMatch::Contains, std::string(text), {}, {}});
        return f;
    };
    CountGate gate;
    TaskListModel m(b.e.ds, b.e.runtime->settings().DateFormat);
    const auto letAllThrough = qScopeGuard([&] { gate.let(1000); }); // before the model waits for its thread
    m.setCountHook([&gate] { gate.hook(); });
    QSignalSpy counted(&m, &TaskListModel::countChanged);

    // The first page while the count is held, and more as the list is scrolled down.
    m.setFilter(containing("alpha"));
    QVERIFY(m.counting());
    QCOMPARE(m.rowCount(), TaskListModel::kPageSize);
    QVERIFY(m.task(0).Description.starts_with("alpha"));
    QVERIFY(m.canFetchMore({}));
    m.fetchMore({});
    QCOMPARE(m.rowCount(), 2 * TaskListModel::kPageSize);
    QVERIFY(m.task(2 * TaskListModel::kPageSize - 1).Description.starts_with("alpha"));

    // Another filter before the first count came: the old count (300) arrives
    // after it and is dropped; the list waits for its own.
    gate.waitArrived(1);
    m.setFilter(containing("beta"));
    QCOMPARE(m.rowCount(), TaskListModel::kPageSize);
    gate.let(1);
    gate.waitArrived(2); // the first count was delivered before the second started
    QCoreApplication::processEvents();
    QVERIFY(m.counting());
    QCOMPARE(m.rowCount(), TaskListModel::kPageSize);
    gate.let(1);
    QTRY_VERIFY(!m.counting());
    QCOMPARE(m.rowCount(), 150);
    QVERIFY(!m.canFetchMore({}));
    QCOMPARE(m.task(149).Description.substr(0, 5), std::string("beta "));

    // Read again (a change elsewhere): the last count stays until the new one.
    b.add("beta new", today() + 50, 100);
    m.refresh();
    QVERIFY(m.counting());
    QCOMPARE(m.rowCount(), 150);
    gate.let(1);
    QTRY_COMPARE(m.rowCount(), 151);
    QVERIFY(counted.count() >= 4);

    // The window says so while it counts, and how many when it knows.
    b.e.runtime->settings().FullSchedule = true;
    auto* w = b.windows->openBrowse();
    QTRY_COMPARE(w->countLabel()->text(), QString("451 tasks"));
    w->model().setCountHook([&gate] { gate.hook(); });
    qd::RecordFilter query{{description, qd::FieldMatch::Contains, std::string("alpha"), {}, {}}};
    w->setQuery(query);
    QCOMPARE(w->countLabel()->text(), QString("Counting tasks..."));
    QCOMPARE(w->model().rowCount(), TaskListModel::kPageSize);
    gate.let(1);
    QTRY_COMPARE(w->countLabel()->text(), QString("300 tasks"));
}

QTEST_MAIN(ScheduleListTest)
#include "ScheduleListTest.moc"
