// The task editor and its wizards, driven as a person would: opened from the
// lists' buttons and the "&Actions" entries, fields typed, buttons pressed and
// the messages answered; on a data set on disk with the engine behind a real frame.
#include "UiTestSupport.h"

#include "data/IniFile.h"
#include "data/Pictures.h"
#include "schedule/ScheduleDescription.h"
#include "schedule/ui/CalendarWindow.h"
#include "schedule/ui/ScheduleWindows.h"
#include "schedule/ui/UserScheduleDetails.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <deque>
#include <filesystem>
#include <fstream>

using namespace qdschedui;

namespace {

struct Bench {
    Bench() {
        QVERIFY(e.runtime->open());
        e.runtime->settings().UseQDMsg = false;
        e.runtime->settings().DateFormat = "d17";
        windows = std::make_unique<ScheduleWindows>(
            *e.frame, e.ui,
            ScheduleUiContext{e.ds, e.runtime->settings(), e.runtime->execution(), e.clock, e.ui, {}});
        // Each dialog takes the next answer (a button's text); none left: closed.
        e.ui.setDialogHook([this](QDialog& d) {
            const auto* box = qobject_cast<QMessageBox*>(&d);
            seen << d.windowTitle() + ": " + (box ? box->text() : QString());
            QPointer<QDialog> dialog(&d);
            QTimer::singleShot(0, [this, dialog] {
                QDialog* open = dialog.data();
                if (open == nullptr || !open->isVisible()) return;
                const QString answer = answers.empty() ? QString() : answers.front();
                if (!answers.empty()) answers.pop_front();
                if (answer.isEmpty() || !qduitest::pressButton(*open, answer)) open->reject();
            });
        });
    }
    ~Bench() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<UpdateScheduleWindow*>(w) || qobject_cast<TaskWizardWindow*>(w) ||
                qobject_cast<qdui::MessageWindow*>(w))
                w->close();
        e.frame->mdiArea()->closeAllSubWindows();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
        e.runtime->close();
    }

    template <class W> W* open() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* x = qobject_cast<W*>(w); x && x->isVisible()) return x;
        return nullptr;
    }
    std::optional<qd::ScheduleRecord> find(int id) {
        for (const auto& t : e.tasks())
            if (t.ID == id) return t;
        return std::nullopt;
    }
    void addCategory(const char* name) {
        qd::Table<qd::CategoriesRecord> t(e.ds, qd::tables::Categories());
        QCOMPARE(t.open(), qd::Level::Benign);
        t.rec.Category = name;
        QCOMPARE(t.insert(), qd::Level::Benign);
    }
    static void type(QLineEdit* f, const QString& text) {
        f->setFocus();
        f->selectAll();
        QTest::keyClicks(f, text);
        emit f->editingFinished();
    }
    static QString date(qd::Date d) { return QString::fromStdString(qd::formatDate(d, "@d17")); }

    qduitest::Engine e;
    std::unique_ptr<ScheduleWindows> windows;
    std::deque<QString> answers;
    QStringList seen;
};

qd::Date today() {
    return qd::dateFromMDY(3, 10, 2026); // the engine's clock: Tuesday 10 March 2026, 09:00
}

} // namespace

class TaskEditorTest : public QObject {
    Q_OBJECT
private slots:
    void newTaskFromAPickedDayStartsThereFiveMinutesAhead();
    void reminderTypeSetsItsTimeAndHidesTheProgram();
    void twiceMonthlyDateOffTheRuleIsWarnedAndKept();
    void expiryBeforeTheStartIsClearedWithItsMessage();
    void hoursTickNoHistoryAndThePreviewFollowsTheRule();
    void messageWizardChecksItsPageAndFillsTheDescription();
    void cancelWritesNothing();
    void changeWhileTheDispatcherPerformsKeepsTheDispatchersChange();
    void copyAndSpecialEventFromTheList();
    void usersTabAddsEachUserOnceAndEditsARow();
    void scriptWizardFromTheMenu();
    void dateButtonsOpenTheCalendarWithTheRule();
    void alarmBrowsesForAFileAndRemembersIt();
};

void TaskEditorTest::newTaskFromAPickedDayStartsThereFiveMinutesAhead() {
    Bench b;
    b.addCategory("General");
    auto* list = b.windows->openBrowse();
    list->pickDay(today() + 3);
    QVERIFY(list->button("Insert")->isEnabled());
    QTest::mouseClick(list->button("Insert"), Qt::LeftButton);
    auto* w = b.open<UpdateScheduleWindow>();
    QVERIFY(w);
    TaskEditorForm& f = w->form();
    QCOMPARE(f.dateField()->text(), Bench::date(today() + 3));
    QCOMPARE(f.timeField()->text(), QString("09:05:00"));
    QVERIFY(f.typeButton("Both")->isChecked());
    QCOMPARE(f.scheduleTypeBox()->currentText(), QString("Day of Week"));
    for (const char* day : {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday"})
        QVERIFY(f.page(TaskEditorForm::kSchedule)->findChild<QCheckBox*>(day)->isChecked());
    QVERIFY(!f.page(TaskEditorForm::kSchedule)->findChild<QCheckBox*>("Sunday")->isChecked());
    QVERIFY(f.optionBox("Warn")->isChecked());

    f.messageField()->setPlainText("Bring the report");
    QTest::mouseClick(w->findChild<QPushButton*>("OK"), Qt::LeftButton);
    QVERIFY(b.seen.isEmpty());
    const auto tasks = b.e.tasks();
    QCOMPARE(tasks.size(), std::size_t(1));
    QCOMPARE(tasks[0].Date, today() + 3);
    QCOMPARE(tasks[0].Time, qd::timeFromHMS(9, 5, 0));
    QCOMPARE(tasks[0].Description, std::string("Message/Run Program"));
    QCOMPARE(tasks[0].Command, std::string("N/A"));
    QCOMPARE(tasks[0].Category, std::string("General"));
    QVERIFY(!b.open<UpdateScheduleWindow>());
    // The list shows the new task at once.
    QCOMPARE(list->model().rowCount(), 1);
}

void TaskEditorTest::reminderTypeSetsItsTimeAndHidesTheProgram() {
    Bench b;
    b.e.frame->entryAction("NewTask")->trigger();
    auto* w = b.open<UpdateScheduleWindow>();
    QVERIFY(w);
    TaskEditorForm& f = w->form();
    f.typeButton("None")->click();
    QCOMPARE(w->editor().task.Time, 8639500);
    QCOMPARE(f.timeField()->text(), QString("23:59:54"));
    QVERIFY(!f.timeField()->isEnabled());
    QVERIFY(f.commandField()->isHidden());
    QVERIFY(!f.messageField()->isHidden());
    f.messageField()->setPlainText("Dentist at four");
    // Leaving the message gives the blank description its text.
    QFocusEvent out(QEvent::FocusOut);
    QCoreApplication::sendEvent(f.messageField(), &out);
    QCOMPARE(f.descriptionField()->text(), QString("Dentist at four"));
    w->accept();
    const auto tasks = b.e.tasks();
    QCOMPARE(tasks.size(), std::size_t(1));
    QCOMPARE(tasks[0].Time, 8639500);
    QCOMPARE(tasks[0].TaskType, std::string("None"));
    QCOMPARE(tasks[0].Description, std::string("Dentist at four"));
}

void TaskEditorTest::twiceMonthlyDateOffTheRuleIsWarnedAndKept() {
    Bench b;
    b.e.frame->entryAction("NewTask")->trigger();
    auto* w = b.open<UpdateScheduleWindow>();
    QVERIFY(w);
    TaskEditorForm& f = w->form();
    f.scheduleTypeBox()->setCurrentIndex(f.scheduleTypeBox()->findText("Monthly"));
    QVERIFY(!f.offsetField()->isEnabled());
    f.monthRepeatBox()->setCurrentIndex(f.monthRepeatBox()->findText("Twice - 1st, 15th"));
    QVERIFY(f.offsetField()->isEnabled());
    b.answers = {"OK"};
    Bench::type(f.dateField(), Bench::date(qd::dateFromMDY(3, 10, 2026) + 0)); // unchanged: no check
    QVERIFY(b.seen.isEmpty());
    Bench::type(f.dateField(), Bench::date(qd::dateFromMDY(4, 10, 2026)));
    QCOMPARE(b.seen, QStringList{"Warning: Date given does not match schedule type."});
    QCOMPARE(w->editor().task.Date, qd::dateFromMDY(4, 10, 2026));
    QCOMPARE(f.dateField()->text(), Bench::date(qd::dateFromMDY(4, 10, 2026)));
    b.seen.clear();
    Bench::type(f.dateField(), Bench::date(qd::dateFromMDY(4, 15, 2026)));
    QVERIFY(b.seen.isEmpty());
    // "&Tips" explains the offset.
    b.answers = {"OK"};
    QTest::mouseClick(f.pageButton("OffsetTips"), Qt::LeftButton);
    QCOMPARE(b.seen.size(), 1);
    QVERIFY(
        b.seen[0].startsWith("Offset Tips: \"Days to Offset\" allows you to shift the semi-monthly dates."));
    f.messageField()->setPlainText("Pay");
    w->accept();
    QCOMPARE(b.e.tasks().size(), std::size_t(1));
    QCOMPARE(b.e.tasks()[0].MonthRepeat, std::string("Twice - 1st, 15th"));
}

void TaskEditorTest::expiryBeforeTheStartIsClearedWithItsMessage() {
    Bench b;
    b.e.frame->entryAction("NewTask")->trigger();
    auto* w = b.open<UpdateScheduleWindow>();
    QVERIFY(w);
    TaskEditorForm& f = w->form();
    // Start 09:05 today; an end one minute earlier on the same day is refused.
    Bench::type(f.expiryDateField(), Bench::date(today()));
    QVERIFY(b.seen.isEmpty()); // no end time: the whole day counts
    b.answers = {"OK"};
    Bench::type(f.expiryTimeField(), "09:04:00");
    QCOMPARE(b.seen, QStringList{"Warning: End date and time must be after the start date and time."});
    QCOMPARE(f.expiryDateField()->text(), QString());
    QCOMPARE(f.expiryTimeField()->text(), QString());
    QCOMPARE(w->editor().task.ExpiryDate, 0);
    b.seen.clear();
    Bench::type(f.expiryDateField(), Bench::date(today() + 30));
    Bench::type(f.expiryTimeField(), "17:00:00");
    QVERIFY(b.seen.isEmpty());
    // A warning after the task is refused too.
    b.answers = {"OK"};
    Bench::type(f.warnDateField(), Bench::date(today() + 1));
    QCOMPARE(b.seen, QStringList{"Warning: Advanced Warning cannot be after scheduled task."});
    QCOMPARE(w->editor().task.AdvanceWarnDate, 0);
    // A date that is no date is refused and the field shows the value again.
    b.seen.clear();
    b.answers = {"OK"};
    Bench::type(f.dateField(), "no date");
    QCOMPARE(b.seen.size(), 1);
    QCOMPARE(f.dateField()->text(), Bench::date(today()));
}

void TaskEditorTest::hoursTickNoHistoryAndThePreviewFollowsTheRule() {
    Bench b;
    b.e.frame->entryAction("NewTask")->trigger();
    auto* w = b.open<UpdateScheduleWindow>();
    QVERIFY(w);
    TaskEditorForm& f = w->form();
    QCOMPARE(f.ruleText(), QString::fromStdString(qd::ScheduleDescription(w->editor().task)));
    QVERIFY(f.previewText().startsWith("Next: " + Bench::date(today()) + "  09:05:00"));
    f.scheduleTypeBox()->setCurrentIndex(f.scheduleTypeBox()->findText("Every..."));
    QVERIFY(!f.everyField()->isHidden());
    f.unitsBox()->setCurrentIndex(f.unitsBox()->findText("minute(s)"));
    f.everyField()->setValue(3);
    QVERIFY(!f.optionBox("NoHistory")->isChecked());
    QVERIFY(f.previewText().contains("09:08:00"));
    f.unitsBox()->setCurrentIndex(f.unitsBox()->findText("hour(s)"));
    QVERIFY(f.optionBox("NoHistory")->isChecked());
    QCOMPARE(w->editor().task.NoHistory, std::uint8_t(1));
    QVERIFY(f.previewText().contains("12:05:00"));
    QCOMPARE(f.ruleText(), QString::fromStdString(qd::ScheduleDescription(w->editor().task)));
    // "Every" is required for this rule.
    f.everyField()->setValue(0);
    f.messageField()->setPlainText("x");
    b.answers = {"OK"};
    w->accept();
    QCOMPARE(b.seen, QStringList{"Missing Information: Every must be entered."});
    QVERIFY(w->isVisible());
    QVERIFY(b.e.tasks().empty());
}

void TaskEditorTest::messageWizardChecksItsPageAndFillsTheDescription() {
    Bench b;
    b.e.frame->entryAction("NewMessage")->trigger();
    auto* w = b.open<TaskWizardWindow>();
    QVERIFY(w);
    QCOMPARE(w->windowTitle(), QString("Display Message Wizard"));
    QCOMPARE(w->currentPage()->title(), QString("Message Task Basics..."));
    QVERIFY(w->form().typeButton("Display Message")->isChecked());
    b.answers = {"OK"};
    w->next();
    QCOMPARE(b.seen, QStringList{"Missing Information: Message to display must be entered."});
    QCOMPARE(w->currentPage()->title(), QString("Message Task Basics..."));
    w->form().messageField()->setPlainText("Stretch your legs");
    w->form().descriptionField()->clear();
    w->form().categoryBox()->setCurrentIndex(-1);
    for (std::size_t i = 1; i < w->steps().size(); ++i)
        w->next();
    QCOMPARE(w->currentPage()->title(), QString("Finally..."));
    w->accept();
    const auto tasks = b.e.tasks();
    QCOMPARE(tasks.size(), std::size_t(1));
    QCOMPARE(tasks[0].TaskType, std::string("Display Message"));
    QCOMPARE(tasks[0].Description, std::string("Message: Stretch your legs"));
    QCOMPARE(tasks[0].Category, std::string("General"));
    QCOMPARE(tasks[0].Command, std::string());
}

void TaskEditorTest::cancelWritesNothing() {
    Bench b;
    b.e.frame->entryAction("NewProgram")->trigger();
    auto* w = b.open<TaskWizardWindow>();
    QVERIFY(w);
    QCOMPARE(w->windowTitle(), QString("Start Program Wizard"));
    QCOMPARE(w->currentPage()->title(), QString("Program Task Basics..."));
    Bench::type(w->form().commandField(), "xterm");
    QCOMPARE(w->form().descriptionField()->text(), QString("Program: xterm"));
    w->reject();
    QVERIFY(!b.open<TaskWizardWindow>());
    QVERIFY(b.e.tasks().empty());
    qd::Table<qd::ConfigurationRecord> cf(b.e.ds, qd::tables::Configuration());
    QCOMPARE(cf.open(), qd::Level::Benign);
    cf.rec.DataType = "QDCATRun Program";
    QVERIFY(cf.fetch("KeyDataType") != qd::Level::Benign);
}

void TaskEditorTest::changeWhileTheDispatcherPerformsKeepsTheDispatchersChange() {
    Bench b;
    qd::ScheduleRecord r =
        qduitest::Engine::messageTask("Stand up", "Time to stand up", {today(), b.e.clock.now().time});
    r.ScheduleType = "Custom";
    r.Every = 1;
    r.EveryType = "day(s)";
    r.Category = "General";
    const int id = b.e.addTask(r);
    b.e.runtime->settings().FullSchedule = true;
    auto* list = b.windows->openBrowse();
    QVERIFY(list->selectTask(id));
    QTest::mouseClick(list->button("Change"), Qt::LeftButton);
    auto* w = b.open<UpdateScheduleWindow>();
    QVERIFY(w);
    QCOMPARE(w->windowTitle(), QString("Changing a Scheduled Task"));
    Bench::type(w->form().descriptionField(), "Stand up and stretch");
    QCOMPARE(w->editor().task.Description, std::string("Stand up and stretch"));

    // Meanwhile the dispatcher performs the task and moves it to tomorrow.
    for (int i = 0; i < 8; ++i) {
        b.e.runtime->tick();
        b.e.clock.advanceSeconds(1);
    }
    QCOMPARE(b.find(id)->Date, today() + 1);

    b.answers = {"OK"};
    QTest::mouseClick(w->findChild<QPushButton*>("OK"), Qt::LeftButton);
    QVERIFY(b.seen.contains("Record Was Not Updated: This record was changed by another station."));
    const qd::ScheduleRecord kept = *b.find(id);
    QCOMPARE(kept.Description, std::string("Stand up"));
    QCOMPARE(kept.Date, today() + 1);
    QVERIFY(kept.LastRunDate == today());
    // The form shows the task as stored now and stays open.
    QVERIFY(w->isVisible());
    QCOMPARE(w->form().dateField()->text(), Bench::date(today() + 1));
    QCOMPARE(w->form().descriptionField()->text(), QString("Stand up"));
}

void TaskEditorTest::copyAndSpecialEventFromTheList() {
    Bench b;
    qd::ScheduleRecord r =
        qduitest::Engine::messageTask("Weekly", "Weekly review", {today(), qd::timeFromHMS(16, 0, 0)});
    r.ScheduleType = "Day of Week";
    r.Tuesday = 1;
    r.Category = "General";
    const int id = b.e.addTask(r);
    b.e.runtime->settings().FullSchedule = true;
    auto* list = b.windows->openBrowse();
    QVERIFY(list->selectTask(id));

    QTest::mouseClick(list->button("Copy"), Qt::LeftButton);
    auto* copy = b.open<UpdateScheduleWindow>();
    QVERIFY(copy);
    QCOMPARE(copy->windowTitle(), QString("Copying a Scheduled Task"));
    QCOMPARE(copy->form().descriptionField()->text(), QString("Weekly"));
    copy->accept();
    QCOMPARE(b.e.tasks().size(), std::size_t(2));

    QVERIFY(list->selectTask(id));
    QTest::mouseClick(list->button("Reschedule"), Qt::LeftButton);
    auto* special = b.open<UpdateScheduleWindow>();
    QVERIFY(special);
    QCOMPARE(special->windowTitle(), QString("Rescheduling..."));
    QVERIFY(
        !special->form().page(TaskEditorForm::kSchedule)->findChild<QLabel*>("SpecialEventNote")->isHidden());
    Bench::type(special->form().dateField(), Bench::date(today() + 1)); // a Wednesday: no warning
    QVERIFY(b.seen.isEmpty());
    auto* skip = special->form().page(TaskEditorForm::kSchedule)->findChild<QCheckBox*>("SkipNextTime");
    QCOMPARE(skip->text(), QString("&Skip next regular occurance of this task"));
    skip->click();
    special->accept();
    const auto tasks = b.e.tasks();
    QCOMPARE(tasks.size(), std::size_t(3));
    QCOMPARE(tasks[2].ScheduleType, std::string("Once"));
    QCOMPARE(tasks[2].Date, today() + 1);
    QCOMPARE(b.find(id)->SkipNextTime, std::uint8_t(1));
}

void TaskEditorTest::usersTabAddsEachUserOnceAndEditsARow() {
    Bench b;
    for (const char* u : {"Ann", "Bob"}) {
        qd::Table<qd::UsersRecord> t(b.e.ds, qd::tables::Users());
        QCOMPARE(t.open(), qd::Level::Benign);
        t.rec.User = u;
        t.insert(); // the current user may be there already
    }
    b.e.frame->entryAction("NewTask")->trigger();
    auto* w = b.open<UpdateScheduleWindow>();
    QVERIFY(w);
    TaskEditorForm& f = w->form();
    w->showPage(TaskEditorForm::kUsers);
    QVERIFY(f.allUsersList()->count() >= 2);
    QTest::mouseClick(f.pageButton("AddAllUsers"), Qt::LeftButton);
    QTest::mouseClick(f.pageButton("AddAllUsers"), Qt::LeftButton);
    const int all = f.allUsersList()->count();
    QCOMPARE(f.taskUsersList()->count(), all);
    f.taskUsersList()->setCurrentRow(0);
    QTest::mouseClick(f.pageButton("RemoveUser"), Qt::LeftButton);
    QCOMPARE(f.taskUsersList()->count(), all - 1);
    f.allUsersList()->setCurrentRow(0);
    QTest::mouseClick(f.pageButton("AddUser"), Qt::LeftButton);
    QCOMPARE(f.taskUsersList()->count(), all);

    // "UpdateQDUSD" on Bob's row: the start time is required.
    const auto bob = f.taskUsersList()->findItems("Bob", Qt::MatchFixedString);
    QCOMPARE(bob.size(), 1);
    f.taskUsersList()->setCurrentItem(bob.front());
    b.e.ui.setDialogHook([&b](QDialog& d) {
        QTimer::singleShot(0, [&b, dialog = QPointer<QDialog>(&d)] {
            if (auto* form = qobject_cast<UserScheduleDetails*>(dialog.data())) {
                b.seen << form->windowTitle();
                form->field("Time")->clear();
                b.e.ui.setDialogHook([&b](QDialog& m) {
                    b.seen << m.windowTitle() + ": " + qobject_cast<QMessageBox*>(&m)->text();
                    QTimer::singleShot(0, &m, &QDialog::accept);
                });
                form->accept();
                QVERIFY(form->isVisible());
                form->field("Time")->setText("18:30:00");
                form->findChild<QCheckBox*>("Disabled")->setChecked(true);
                form->accept();
            }
        });
    });
    QTest::mouseClick(f.pageButton("EditUser"), Qt::LeftButton);
    QCOMPARE(b.seen,
             (QStringList{"Edit User Schedule Details", "Missing Information: Time must be entered."}));
    f.messageField()->setPlainText("Shared");
    w->accept();
    qd::Table<qd::QDUSDRecord> usd(b.e.ds, qd::tables::QDUSD());
    QCOMPARE(usd.open(), qd::Level::Benign);
    QCOMPARE(usd.recordCount(), static_cast<long long>(all));
    usd.rec.ID = b.e.tasks()[0].ID;
    usd.rec.User = "Bob";
    QCOMPARE(usd.fetch("KeyID"), qd::Level::Benign);
    QCOMPARE(usd.rec.Time, qd::timeFromHMS(18, 30, 0));
    QCOMPARE(usd.rec.Disabled, std::uint8_t(1));
}

void TaskEditorTest::scriptWizardFromTheMenu() {
    Bench b;
    b.e.frame->entryAction("NewScript")->trigger();
    auto* w = b.open<TaskWizardWindow>();
    QVERIFY(w);
    QCOMPARE(w->windowTitle(), QString("New Script Task Wizard"));
    QCOMPARE(w->form().commandField()->text(), QString("N/A"));
    for (const char* day : {"Sunday", "Saturday"})
        QVERIFY(w->form().page(TaskEditorForm::kSchedule)->findChild<QCheckBox*>(day)->isChecked());
    for (std::size_t i = 1; i < w->steps().size(); ++i)
        w->next();
    w->accept();
    const auto tasks = b.e.tasks();
    QCOMPARE(tasks.size(), std::size_t(1));
    QCOMPARE(tasks[0].Command, std::string("N/A"));
    QVERIFY(tasks[0].Description.starts_with("Script: "));
    QCOMPARE(tasks[0].Time, b.e.clock.now().time);

    // The same wizard changes it.
    auto* edit =
        qobject_cast<TaskWizardWindow*>(b.windows->openEditor({TaskEditRequest::Script, tasks[0].ID, 0, {}}));
    QVERIFY(edit);
    QCOMPARE(edit->windowTitle(), QString("Edit Script Task Wizard"));
    Bench::type(edit->form().descriptionField(), "Nightly cleanup");
    for (std::size_t i = 1; i < edit->steps().size(); ++i)
        edit->next();
    edit->accept();
    QCOMPARE(b.e.tasks().size(), std::size_t(1));
    QCOMPARE(b.e.tasks()[0].Description, std::string("Nightly cleanup"));
}

void TaskEditorTest::dateButtonsOpenTheCalendarWithTheRule() {
    Bench b;
    b.e.frame->entryAction("NewTask")->trigger();
    auto* w = b.open<UpdateScheduleWindow>();
    QVERIFY(w);
    TaskEditorForm& f = w->form();
    QStringList titles;
    bool saturdayOffered = true;
    const qd::Date monday = today() + 6; // Monday 16 March 2026
    b.e.ui.setDialogHook([&](QDialog& d) {
        QTimer::singleShot(0, [&, dialog = QPointer<QDialog>(&d)] {
            auto* calendar = qobject_cast<CalendarWindow*>(dialog.data());
            if (!calendar) return;
            titles << calendar->windowTitle();
            if (QToolButton* sat = calendar->dayButton(today() + 4)) saturdayOffered = sat->isEnabled();
            calendar->chooseDay(monday);
        });
    });
    QTest::mouseClick(f.pageButton("DatePick"), Qt::LeftButton);
    QCOMPARE(titles, QStringList{"Select Starting Date"});
    QVERIFY(!saturdayOffered); // Monday to Friday only
    QCOMPARE(f.dateField()->text(), Bench::date(monday));
    QCOMPARE(w->editor().task.Date, monday);
    QTest::mouseClick(f.pageButton("ExpiryDatePick"), Qt::LeftButton);
    QCOMPARE(titles.last(), QString("Select Expiry Date"));
    QCOMPARE(w->editor().task.ExpiryDate, monday);
}

void TaskEditorTest::alarmBrowsesForAFileAndRemembersIt() {
    Bench b;
    const std::filesystem::path sounds = b.e.dir.path() / "sounds";
    std::filesystem::create_directories(sounds);
    { std::ofstream(sounds / "bell.wav") << "RIFF"; }
    b.e.frame->entryAction("NewTask")->trigger();
    auto* w = b.open<UpdateScheduleWindow>();
    QVERIFY(w);
    TaskEditorForm& f = w->form();
    QVERIFY(!f.pageButton("Browse")->isEnabled());
    f.optionBox("Alarm")->click();
    QVERIFY(f.pageButton("Browse")->isEnabled());
    QString title;
    b.e.ui.setDialogHook([&](QDialog& d) {
        QTimer::singleShot(0, [&, dialog = QPointer<QDialog>(&d)] {
            auto* files = qobject_cast<QFileDialog*>(dialog.data());
            if (!files) return;
            title = files->windowTitle();
            files->selectFile(QString::fromStdString((sounds / "bell.wav").string()));
            QMetaObject::invokeMethod(files, "accept");
        });
    });
    QTest::mouseClick(f.pageButton("Browse"), Qt::LeftButton);
    QCOMPARE(title, QString("Select WAV File for Alarm"));
    QCOMPARE(w->editor().task.AlarmFile, (sounds / "bell.wav").string());
    // The folder is where the next browse starts.
    QCOMPARE(
        QString::fromStdString(qd::IniFile(b.e.dir.path(), qd::kProgramIniName).get("Defaults", "WAVPath")),
        QString::fromStdString(sounds.string()));
    f.messageField()->setPlainText("Ring");
    w->accept();
    QCOMPARE(b.e.tasks().size(), std::size_t(1));

    // The next alarm starts with the file chosen last.
    b.e.frame->entryAction("NewTask")->trigger();
    auto* next = b.open<UpdateScheduleWindow>();
    QVERIFY(next);
    next->form().optionBox("Alarm")->click();
    QCOMPARE(next->editor().task.AlarmFile, (sounds / "bell.wav").string());
}

QTEST_MAIN(TaskEditorTest)
#include "TaskEditorTest.moc"
