// The holiday list and form, the exceptions window, the calendar and the reschedule
// window, driven as a person would: typing into fields, pressing buttons and
// answering the dialogs they open, on a data set on disk behind a real frame.
#include "UiTestSupport.h"

#include "data/DataTool.h"
#include "data/ErrorClass.h"
#include "data/Pictures.h"
#include "schedule/ui/CalendarWindow.h"
#include "schedule/ui/ExceptionsWindow.h"
#include "schedule/ui/ScheduleWindows.h"
#include "ui/QueryDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <deque>
#include <functional>

using namespace qdschedui;

namespace {

qd::Date dmy(int d, int m, int y) {
    return qd::dateFromMDY(m, d, y);
}

qd::Date today() {
    return dmy(10, 3, 2026); // the engine's clock
}

// The engine, the schedule windows and the answers to the dialogs they open. Each
// dialog gets the next answer while its loop runs; without one it is cancelled.
struct Bench {
    using Answer = std::function<void(QDialog&)>;

    Bench() {
        QVERIFY(e.runtime->open());
        e.runtime->settings().UseQDMsg = false;
        windows = std::make_unique<ScheduleWindows>(
            *e.frame, e.ui,
            ScheduleUiContext{e.ds, e.runtime->settings(), e.runtime->execution(), e.clock, e.ui, {}});
        e.ui.setDialogHook([this](QDialog& d) {
            const auto* box = qobject_cast<QMessageBox*>(&d);
            seen << d.windowTitle() + (box ? ": " + box->text() : QString());
            QPointer<QDialog> dialog(&d);
            Answer answer;
            if (!answers.empty()) {
                answer = std::move(answers.front());
                answers.pop_front();
            }
            QTimer::singleShot(0, [dialog, answer] {
                QDialog* open = dialog.data();
                if (open == nullptr || !open->isVisible()) return;
                if (answer)
                    answer(*open);
                else
                    open->reject();
            });
        });
    }
    ~Bench() {
        e.frame->mdiArea()->closeAllSubWindows();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
        e.runtime->close();
    }

    // Presses a button of the dialog.
    static Answer press(const QString& text) {
        return [text](QDialog& d) {
            if (!qduitest::pressButton(d, text)) d.reject();
        };
    }
    // Fills the holiday form and presses OK; a refused holiday leaves the form open,
    // and it is then cancelled (after the message was answered).
    Answer holiday(const QString& date, const QString& name, const QString& type = "Annual") {
        return [this, date, name, type](QDialog& d) {
            auto* form = qobject_cast<HolidayForm*>(&d);
            QVERIFY(form);
            form->dateField()->clear();
            QTest::keyClicks(form->dateField(), date);
            form->descriptionField()->setText(name);
            form->typeField()->setCurrentText(type);
            answers.push_front(press("OK")); // the message a refusal shows
            qduitest::pressButton(d, "OK");
            if (form->isVisible()) {
                formStayedOpen = true;
                form->reject();
            } else {
                answers.pop_front();
            }
        };
    }
    std::string dateText(qd::Date d) const { return qd::formatUserDate(d, e.runtime->settings().DateFormat); }
    std::vector<qd::HolidaysRecord> holidays() {
        std::vector<qd::HolidaysRecord> out;
        qd::Table<qd::HolidaysRecord> t(e.ds, qd::tables::Holidays());
        t.open();
        t.setOrder(t.def().findKey("HOL:KeyHolidayDate"));
        while (t.next() == qd::Level::Benign)
            out.push_back(t.rec);
        return out;
    }
    void addHoliday(qd::Date d, const char* name) {
        qd::Table<qd::HolidaysRecord> t(e.ds, qd::tables::Holidays());
        QCOMPARE(t.open(), qd::Level::Benign);
        t.rec.HolidayDate = d;
        t.rec.Holiday = name;
        t.rec.HolidayType = "Annual";
        QCOMPARE(t.insert(), qd::Level::Benign);
    }
    qd::ScheduleRecord task(int id) {
        for (const auto& t : e.tasks())
            if (t.ID == id) return t;
        return {};
    }
    CalendarWindow* calendar(CalendarOptions options) {
        auto* w =
            new CalendarWindow(e.ds, e.ui, e.clock, e.runtime->settings().DateFormat, std::move(options));
        w->setAttribute(Qt::WA_DeleteOnClose);
        return w;
    }

    qduitest::Engine e;
    std::unique_ptr<ScheduleWindows> windows;
    std::deque<Answer> answers;
    QStringList seen;
    bool formStayedOpen = false;
};

} // namespace

class HolidayWindowsTest : public QObject {
    Q_OBJECT
private slots:
    void holidayListAddsEditsAndRefusesADuplicateDate();
    void holidayQueryNarrowsTheListAndLocateSearchesWithinIt();
    void easterTypeDatesTheHolidayFromEaster();
    void exceptionsWindowKeepsItsRulesAndGivesTheFieldsBack();
    void nextDayCopyIsMadeWhenTheExceptionsAreSaved();
    void calendarPagesWrapAcrossYearsAndTheRange();
    void calendarMarksRuleDaysAndHolidaysAndPicksTheDay();
    void calendarAsksBeforeAnEarlierDayAndGivesTheDateBack();
    void rescheduleRefusesThePastAndCancelLeavesTasksWhole();
};

void HolidayWindowsTest::holidayListAddsEditsAndRefusesADuplicateDate() {
    Bench b;
    b.e.frame->entryAction("Holidays")->trigger();
    QVERIFY(b.e.frame->entryAction("Holidays")->isEnabled());
    auto* list = b.e.frame->mdiArea()->findChild<BrowseHolidaysWindow*>();
    QVERIFY(list);
    QCOMPARE(list->model().headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QString("Date"));
    QCOMPARE(list->model().headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QString("Description"));

    const QString christmas = QString::fromStdString(b.dateText(dmy(25, 12, 2026)));
    b.answers.push_back(b.holiday(christmas, "Christmas Day"));
    list->findChild<QPushButton*>("New")->click();
    QCOMPARE(b.holidays().size(), std::size_t(1));
    QCOMPARE(b.holidays()[0].HolidayDate, dmy(25, 12, 2026));
    QCOMPARE(list->selectedDate(), dmy(25, 12, 2026));

    // The same date again: the key's message, the form stays open, nothing is added.
    b.seen.clear();
    b.answers.push_back(b.holiday(christmas, "Second Christmas"));
    list->findChild<QPushButton*>("New")->click();
    QVERIFY(b.formStayedOpen);
    QVERIFY2(b.seen.contains("Duplicate Key Error: Adding this record creates a duplicate entry for the key: "
                             "HOL:KeyHolidayDate"),
             qPrintable(b.seen.join('|')));
    QCOMPARE(b.holidays().size(), std::size_t(1));
    QCOMPARE(b.holidays()[0].Holiday, std::string("Christmas Day"));

    // No date: "Missing Information".
    b.seen.clear();
    b.formStayedOpen = false;
    b.answers.push_back(b.holiday("", "Nothing"));
    list->findChild<QPushButton*>("New")->click();
    QVERIFY(b.formStayedOpen);
    QVERIFY2(b.seen.contains("Missing Information: Holiday Date must be entered."),
             qPrintable(b.seen.join('|')));

    // Editing one holiday onto the date of another is refused the same way.
    b.addHoliday(dmy(1, 1, 2027), "New Year's Day");
    list->refresh();
    QVERIFY(list->selectDate(dmy(1, 1, 2027)));
    b.seen.clear();
    b.formStayedOpen = false;
    b.answers.push_back(b.holiday(christmas, "New Year's Day"));
    list->findChild<QPushButton*>("Edit")->click();
    QVERIFY(b.formStayedOpen);
    QCOMPARE(b.holidays().size(), std::size_t(2));
    QCOMPARE(b.holidays()[1].HolidayDate, dmy(1, 1, 2027));
    // Moved to a free date it is saved there.
    b.answers.push_back(
        b.holiday(QString::fromStdString(b.dateText(dmy(2, 1, 2027))), "New Year (observed)"));
    list->findChild<QPushButton*>("Edit")->click();
    QCOMPARE(b.holidays()[1].HolidayDate, dmy(2, 1, 2027));
    QCOMPARE(b.holidays()[1].Holiday, std::string("New Year (observed)"));

    // The locator highlights the first holiday on or after the date typed.
    QTest::keyClicks(list->locator(), QString::fromStdString(b.dateText(dmy(31, 12, 2026))));
    QCOMPARE(list->selectedDate(), dmy(2, 1, 2027));

    // Delete asks first; No keeps the holiday.
    b.answers.push_back(Bench::press("No"));
    list->findChild<QPushButton*>("Delete")->click();
    QCOMPARE(b.holidays().size(), std::size_t(2));
    b.answers.push_back(Bench::press("Yes"));
    list->findChild<QPushButton*>("Delete")->click();
    QCOMPARE(b.holidays().size(), std::size_t(1));
    QCOMPARE(list->model().rowCount(), 1);

    // A holiday added by another process appears at the next check.
    {
        qd::ErrorClass errors;
        qd::DataSet other(b.e.dir.path(), errors);
        qd::Table<qd::HolidaysRecord> t(other, qd::tables::Holidays());
        QCOMPARE(t.open(), qd::Level::Benign);
        t.rec.HolidayDate = dmy(4, 7, 2026);
        t.rec.Holiday = "Independence Day (U.S.)";
        t.rec.HolidayType = "Annual";
        QCOMPARE(t.insert(), qd::Level::Benign);
    }
    list->poll();
    QCOMPARE(list->model().rowCount(), 2);
    QCOMPARE(list->model().holiday(0).Holiday, std::string("Independence Day (U.S.)"));
}

// The "&Query" button of the holidays: only the holidays that meet the query
// stay, "Locate" searches among them, "R&eset" brings every one back.
void HolidayWindowsTest::holidayQueryNarrowsTheListAndLocateSearchesWithinIt() {
    Bench b;
    for (int month = 1; month <= 12; ++month) {
        b.addHoliday(dmy(1, month, 2027), month % 2 ? "Odd Day" : "Even Day");
        b.addHoliday(dmy(15, month, 2027), "Middle");
    }
    b.e.frame->entryAction("Holidays")->trigger();
    auto* list = b.e.frame->mdiArea()->findChild<BrowseHolidaysWindow*>();
    QVERIFY(list);
    QCOMPARE(list->model().rowCount(), 24);
    auto* bar = list->findChild<qdui::QueryBar*>();
    QVERIFY(bar);
    QVERIFY(!bar->resetButton()->isEnabled());
    const qd::TableDef& def = qd::tables::Holidays();
    bar->setQuery({{def.findField("Holiday"), qd::FieldMatch::Contains, std::string("day"), {}, {}},
                   {def.findField("HolidayDate"),
                    qd::FieldMatch::Range,
                    0LL,
                    static_cast<long long>(dmy(1, 3, 2027)),
                    {}}});
    QCOMPARE(list->model().rowCount(), 10); // the 1st of March to December
    QCOMPARE(list->model().holiday(0).HolidayDate, dmy(1, 3, 2027));
    QVERIFY(bar->shown()->isVisibleTo(list));
    QVERIFY(bar->resetButton()->isEnabled());
    // The 15th is not in the list: the next holiday on or after it is.
    QVERIFY(!list->selectDate(dmy(15, 6, 2027)));
    QCOMPARE(list->selectedDate(), dmy(1, 7, 2027));
    bar->resetButton()->click();
    QCOMPARE(list->model().rowCount(), 24);
    QVERIFY(!bar->shown()->isVisibleTo(list));
    QVERIFY(list->selectDate(dmy(15, 6, 2027)));
}

void HolidayWindowsTest::easterTypeDatesTheHolidayFromEaster() {
    Bench b;
    HolidayUiContext& ctx = b.windows->holidayContext();
    HolidayForm form(ctx, qd::HolidaysRecord{});
    form.descriptionField()->setText("good friday");
    QTest::keyClicks(form.dateField(), QString::fromStdString(b.dateText(dmy(1, 1, 2026))));
    // Choosing "Easter" as a person does (the choice is accepted).
    form.typeField()->setCurrentIndex(form.typeField()->findText("Easter"));
    emit form.typeField()->textActivated("Easter");
    QCOMPARE(form.dateField()->text(), QString::fromStdString(b.dateText(dmy(3, 4, 2026))));
    // A date close to Easter of another name stays as typed.
    form.descriptionField()->setText("Spring concert");
    form.dateField()->setText(QString::fromStdString(b.dateText(dmy(20, 3, 2026))));
    emit form.typeField()->textActivated("Easter");
    QCOMPARE(form.dateField()->text(), QString::fromStdString(b.dateText(dmy(20, 3, 2026))));

    // "..." opens the calendar titled "Select Date"; its choice fills the date.
    b.answers.push_back([](QDialog& d) {
        QCOMPARE(d.windowTitle(), QString("Select Date"));
        auto* cal = qobject_cast<CalendarWindow*>(&d);
        QVERIFY(cal);
        cal->chooseDay(dmy(12, 4, 2026));
    });
    form.pickDate();
    QCOMPARE(form.dateField()->text(), QString::fromStdString(b.dateText(dmy(12, 4, 2026))));
}

void HolidayWindowsTest::exceptionsWindowKeepsItsRulesAndGivesTheFieldsBack() {
    Bench b;
    qd::ExceptionFields in;
    in.ExceptWeekends = 1;
    in.ExceptWeekdays = 1; // never both: weekends win
    in.ExceptOther = "Y  Y";
    in.ExceptTimeBegin = qd::timeFromHMS(22, 0, 30); // seconds the field does not show
    ExceptionsWindow w(b.windows->holidayContext(), in);
    QCOMPARE(w.windowTitle(), QString("Exceptions"));
    QCOMPARE(w.tabs()->tabText(0), QString("Standard"));
    QCOMPARE(w.tabs()->tabText(1), QString("Overrides By Day"));
    QVERIFY(w.shiftChoice(0)->isChecked()); // blank shows as "Skip (to next valid day)"
    QVERIFY(w.weekends()->isChecked());
    QVERIFY(!w.weekdays()->isChecked());
    QVERIFY(!w.weekdays()->isEnabled());
    QVERIFY(!w.begin()->isEnabled());
    QVERIFY(w.day(0)->isChecked() && w.day(3)->isChecked() && !w.day(1)->isChecked());

    w.weekends()->click();
    QVERIFY(w.weekdays()->isEnabled());
    w.weekdays()->click();
    QVERIFY(!w.weekends()->isEnabled());
    w.timeRange()->click();
    QVERIFY(w.begin()->isEnabled() && w.end()->isEnabled());
    w.shiftChoice(1)->click();
    w.day(0)->click();
    w.day(6)->click();

    qd::ExceptionFields out = w.fields();
    QCOMPARE(out.ShiftType, std::string("Previous day"));
    QCOMPARE(int(out.ExceptWeekends), 0);
    QCOMPARE(int(out.ExceptWeekdays), 1);
    QCOMPARE(int(out.ExceptTime), 1);
    QCOMPARE(out.ExceptTimeBegin, qd::timeFromHMS(22, 0, 30));
    QCOMPARE(out.ExceptTimeEnd, 0); // blank: the end of the day
    QCOMPARE(out.ExceptOther, std::string("   Y  Y"));

    // A time that cannot be read keeps the window open with a message.
    w.end()->setText("25:99");
    b.answers.push_back([](QDialog&) {});    // the window itself: driven below
    b.answers.push_back(Bench::press("OK")); // the message
    QTimer::singleShot(0, &w, [&w] { qduitest::pressButton(w, "Close"); });
    QTimer::singleShot(50, &w, [&w] {
        QVERIFY(w.isVisible());
        w.end()->setText("06:00");
        qduitest::pressButton(w, "Close");
    });
    QCOMPARE(b.e.ui.runDialog(w), int(QDialog::Accepted));
    QVERIFY2(b.seen.join('|').contains("Invalid Time"), qPrintable(b.seen.join('|')));
    QCOMPARE(w.fields().ExceptTimeEnd, qd::timeFromHMS(6, 0, 0));
}

void HolidayWindowsTest::nextDayCopyIsMadeWhenTheExceptionsAreSaved() {
    Bench b;
    b.e.runtime->settings().FullSchedule = true;
    // "Day of Month": the third Monday, 16 March 2026.
    qd::ScheduleRecord r =
        qduitest::Engine::messageTask("Staff meeting", "Room 4", {dmy(16, 3, 2026), 360001});
    r.ScheduleType = "Day of Month";
    r.Monday = 1;
    r.Every3rd = 1;
    r.OriginalID = 0;
    const int id = b.e.addTask(r);
    QVERIFY(id > 0);
    auto* list = b.windows->openBrowse();
    QVERIFY(list->selectTask(id));

    // Except > Holidays... > New: 16 March becomes a holiday; Close; tick the holidays
    // and "Next day"; Close.
    const QString day = QString::fromStdString(b.dateText(dmy(16, 3, 2026)));
    b.answers.push_back([&b, day](QDialog& d) {
        auto* w = qobject_cast<ExceptionsWindow*>(&d);
        QVERIFY(w);
        b.answers.push_back([&b, day](QDialog& holidays) {
            auto* browse = holidays.findChild<BrowseHolidaysWindow*>();
            QVERIFY(browse);
            b.answers.push_back(b.holiday(day, "Founders' Day"));
            browse->findChild<QPushButton*>("New")->click();
            QCOMPARE(browse->model().rowCount(), 1);
            browse->findChild<QPushButton*>("Close")->click();
        });
        w->findChild<QPushButton*>("Holidays")->click();
        w->holidays()->click();
        w->shiftChoice(2)->click();
        qduitest::pressButton(d, "Close");
    });
    list->button("Except")->click();
    QVERIFY2(b.answers.empty(), qPrintable(b.seen.join('|')));

    const qd::ScheduleRecord saved = b.task(id);
    QCOMPARE(int(saved.ExceptHolidays), 1);
    QCOMPARE(saved.ShiftType, std::string("Next day"));
    QCOMPARE(int(saved.SkipNextTime), 1); // the holiday's occurrence is passed over
    QCOMPARE(saved.Date, dmy(16, 3, 2026));
    QVERIFY(saved.ExceptionLink != 0);
    const qd::ScheduleRecord copy = b.task(saved.ExceptionLink);
    QCOMPARE(copy.ID, saved.ExceptionLink);
    QCOMPARE(copy.ScheduleType, std::string("Once"));
    QCOMPARE(copy.Date, dmy(17, 3, 2026));
    QCOMPARE(copy.Time, saved.Time);
    QCOMPARE(copy.Description, saved.Description);
    QCOMPARE(copy.Message, saved.Message);
    QCOMPARE(int(copy.SkipNextTime), 0);
    QCOMPARE(b.e.tasks().size(), std::size_t(2));
    // The list shows the copy at once.
    QCOMPARE(list->model().rowCount(), 2);

    // A weekly task has no exceptions: said so, no window.
    qd::ScheduleRecord weekly = qduitest::Engine::messageTask("Weekly", "Text", {dmy(16, 3, 2026), 360001});
    weekly.ScheduleType = "Day of Week";
    weekly.Monday = 1;
    const int weeklyId = b.e.addTask(weekly);
    list->refresh();
    QVERIFY(list->selectTask(weeklyId));
    b.seen.clear();
    b.answers.push_back(Bench::press("OK"));
    list->button("Except")->click();
    QCOMPARE(b.seen.size(), 1);
    QVERIFY(b.seen[0].startsWith("Exceptions: A task performed once"));
    QVERIFY(b.answers.empty());

    // Saving again replaces the copy instead of piling up copies.
    b.answers.push_back([](QDialog& d) {
        qobject_cast<ExceptionsWindow*>(&d)->weekends()->click();
        qduitest::pressButton(d, "Close");
    });
    QVERIFY(list->selectTask(id));
    list->button("Except")->click();
    const qd::ScheduleRecord again = b.task(id);
    QCOMPARE(int(again.ExceptWeekends), 1);
    QVERIFY(again.ExceptionLink != 0 && again.ExceptionLink != saved.ExceptionLink);
    QCOMPARE(b.task(again.ExceptionLink).Date, dmy(17, 3, 2026));
    QCOMPARE(b.task(saved.ExceptionLink).ID, 0); // the first copy is gone
    QCOMPARE(b.e.tasks().size(), std::size_t(3));
    // Closed without a change: nothing is written.
    b.answers.push_back(Bench::press("Close"));
    list->button("Except")->click();
    QCOMPARE(b.task(id), again);
    QCOMPARE(qd::verifyDataSet(b.e.ds).problems, 0);
}

void HolidayWindowsTest::calendarPagesWrapAcrossYearsAndTheRange() {
    Bench b;
    CalendarOptions o;
    o.date = dmy(15, 12, 2099);
    CalendarWindow* w = b.calendar(o);
    QCOMPARE(w->windowTitle(), QString("Select Date"));
    QCOMPARE(w->monthText(), QString("December, 2099"));
    w->button("NextYear")->click();
    QCOMPARE(w->monthText(), QString("December, 1801"));
    w->button("PreviousYear")->click();
    QCOMPARE(w->monthText(), QString("December, 2099"));
    w->showMonth({2026, 12});
    w->button("NextMonth")->click();
    QCOMPARE(w->monthText(), QString("January, 2027"));
    // The page of January 2027 starts on Sunday 27 December 2026.
    QToolButton* first = w->dayButton(dmy(27, 12, 2026));
    QVERIFY(first);
    QCOMPARE(first->text(), QString("27"));
    QCOMPARE(first->toolTip(), QString::fromStdString(b.dateText(dmy(27, 12, 2026))));
    QVERIFY(w->dayButton(dmy(1, 1, 2027)));
    QVERIFY(!w->dayButton(dmy(26, 12, 2026)));
    w->button("PreviousMonth")->click();
    w->button("PreviousMonth")->click();
    QCOMPARE(w->monthText(), QString("November, 2026"));
    w->close();
}

void HolidayWindowsTest::calendarMarksRuleDaysAndHolidaysAndPicksTheDay() {
    Bench b;
    b.addHoliday(dmy(1, 1, 2027), "New Year's Day");
    // Every Monday and Wednesday from Monday 28 December 2026.
    qd::ScheduleRecord r = qduitest::Engine::messageTask("Gym", "Go", {dmy(28, 12, 2026), 360001});
    r.ScheduleType = "Day of Week";
    r.Monday = r.Wednesday = 1;
    b.e.addTask(r);

    CalendarOptions o;
    o.date = dmy(28, 12, 2026);
    o.marks = true;
    CalendarWindow* w = b.calendar(o);
    w->button("NextMonth")->click(); // January 2027 across the year end
    QCOMPARE(w->marksOf(dmy(1, 1, 2027)).holiday, std::string("New Year's Day"));
    QVERIFY(w->dayButton(dmy(1, 1, 2027))->accessibleDescription().contains("New Year's Day"));
    QStringList due;
    for (qd::Date d = qd::firstShownDay(w->month()); d < qd::firstShownDay(w->month()) + 42; ++d)
        if (w->marksOf(d).due > 0) due << QString::number(qd::dayOfMonth(d));
    // From 28 December on, the stored date and every later Monday and Wednesday.
    QCOMPARE(due, (QStringList{"28", "30", "4", "6", "11", "13", "18", "20", "25", "27", "1", "3"}));
    // Beside the month, the tasks of the day in focus or under the mouse.
    w->showDay(dmy(13, 1, 2027));
    QCOMPARE(w->dayListing(), QStringList{"01:00  Gym"});
    w->showDay(dmy(1, 1, 2027));
    QCOMPARE(w->dayListing(), QStringList{"Holiday: New Year's Day"});
    w->showDay(dmy(2, 1, 2027));
    QCOMPARE(w->dayListing(), QStringList{"Nothing"});
    w->close();

    // With the task's rule, only the days it can fall on can be chosen.
    o.marks = false;
    o.rule = r;
    o.title = "";
    w = b.calendar(o);
    QCOMPARE(w->windowTitle(), QString("Day of Week"));
    QVERIFY(w->dayButton(dmy(28, 12, 2026))->isEnabled());
    QVERIFY(!w->dayButton(dmy(29, 12, 2026))->isEnabled());
    QVERIFY(!w->chooseDay(dmy(29, 12, 2026)));
    w->close();

    // From the task list: "..." on the day view, a day is picked and listed; "&New
    // Task" asks for a new task on the day in focus.
    auto* list = b.windows->openBrowse();
    list->showTab(BrowseScheduleWindow::kDay);
    b.answers.push_back([](QDialog& d) {
        auto* cal = qobject_cast<CalendarWindow*>(&d);
        QVERIFY(cal);
        cal->button("NextMonth")->click();
        cal->button("NextYear")->click(); // April 2027
        cal->showMonth({2026, 12});
        cal->chooseDay(dmy(28, 12, 2026));
    });
    list->findChild<QToolButton*>("PickDay")->click();
    QCOMPARE(list->windowTitle(), QString::fromStdString("View Schedule - " + b.dateText(dmy(28, 12, 2026))));
    QCOMPARE(list->model().rowCount(), 1);
    QSignalSpy wanted(b.windows.get(), &ScheduleWindows::newTaskForDay);
    b.answers.push_back([](QDialog& d) {
        auto* cal = qobject_cast<CalendarWindow*>(&d);
        cal->setFocusDay(dmy(30, 12, 2026));
        cal->button("NewTask")->click();
    });
    list->findChild<QToolButton*>("PickDay")->click();
    QCOMPARE(wanted.count(), 1);
    QCOMPARE(wanted.at(0).at(0).toDate(), QDate(2026, 12, 30));
    QCOMPARE(list->windowTitle(), QString::fromStdString("View Schedule - " + b.dateText(dmy(30, 12, 2026))));

    // The explorer list: one day from the calendar sets both dates, "Custom" or "Today".
    auto* explore = b.windows->openExplore();
    b.answers.push_back([](QDialog& d) { qobject_cast<CalendarWindow*>(&d)->chooseDay(dmy(28, 12, 2026)); });
    explore->findChild<QToolButton*>("PickDay")->click();
    QCOMPARE(int(explore->choice().dates), int(qd::ExploreDates::Custom));
    QCOMPARE(explore->choice().first, dmy(28, 12, 2026));
    QCOMPARE(explore->choice().last, dmy(28, 12, 2026));
    QCOMPARE(explore->windowTitle(),
             QString::fromStdString("List of Scheduled Tasks - " + b.dateText(dmy(28, 12, 2026))));
    QCOMPARE(explore->model().rowCount(), 1);
    b.answers.push_back(Bench::press("Today"));
    explore->findChild<QToolButton*>("PickDay")->click();
    QCOMPARE(int(explore->choice().dates), int(qd::ExploreDates::Today));
    QCOMPARE(explore->model().rowCount(), 0);
}

void HolidayWindowsTest::calendarAsksBeforeAnEarlierDayAndGivesTheDateBack() {
    Bench b;
    CalendarOptions o;
    o.date = dmy(20, 3, 2026);
    {
        CalendarWindow w(b.e.ds, b.e.ui, b.e.clock, "d3", o);
        b.answers.push_back(Bench::press("No"));
        QVERIFY(!w.chooseDay(dmy(9, 3, 2026))); // the day before today
        QCOMPARE(b.seen.last(), QString("Confirm: ") + qd::kEarlierDateText);
        b.answers.push_back(Bench::press("Yes"));
        QVERIFY(w.chooseDay(dmy(9, 3, 2026)));
        QCOMPARE(w.chosenDate(), dmy(9, 3, 2026));
    }
    {
        CalendarWindow w(b.e.ds, b.e.ui, b.e.clock, "d3", o);
        b.seen.clear();
        QVERIFY(w.chooseDay(today())); // today itself is not earlier
        QVERIFY(b.seen.isEmpty());
    }
    // Cancel gives the date the calendar was opened with; "&Today" gives today.
    b.answers.push_back([](QDialog& d) {
        qobject_cast<CalendarWindow*>(&d)->button("NextMonth")->click();
        qduitest::pressButton(d, "Cancel");
    });
    QCOMPARE(CalendarWindow::pick(b.e.ds, b.e.ui, b.e.clock, "d3", o), dmy(20, 3, 2026));
    b.answers.push_back(Bench::press("Today"));
    QCOMPARE(CalendarWindow::pick(b.e.ds, b.e.ui, b.e.clock, "d3", o), today());
}

void HolidayWindowsTest::rescheduleRefusesThePastAndCancelLeavesTasksWhole() {
    Bench b;
    std::vector<qd::ScheduleRecord> before;
    for (int i = 0; i < 450; ++i) {
        qd::ScheduleRecord r = qduitest::Engine::messageTask("Task " + std::to_string(i), "Text",
                                                             {today() - 2, qd::timeFromHMS(8, i % 60, 0)});
        r.ScheduleType = "Custom";
        r.Every = 1;
        r.EveryType = "day(s)";
        QVERIFY(b.e.addTask(r) > 0);
    }
    before = b.e.tasks();

    // A moment in the past: the message, the window stays with the date selected.
    int cancelledAt = -1;
    b.answers.push_back([&b, &cancelledAt](QDialog& d) {
        auto* w = qobject_cast<RescheduleWindow*>(&d);
        QVERIFY(w);
        QCOMPARE(w->dateField()->text(), QString::fromStdString(b.dateText(today())));
        QCOMPARE(w->timeField()->text(), QString("09:01"));
        w->timeField()->setText("08:30");
        b.answers.push_back(Bench::press("OK"));
        qduitest::pressButton(d, "OK");
        QVERIFY(w->isVisible());
        QVERIFY(w->dateField()->hasSelectedText());
        w->dateField()->setText(QString::fromStdString(b.dateText(today() + 1)));
        w->timeField()->setText("12:00");
        // Cancel in the progress window once a part of the tasks is moved.
        w->onProgress = [&cancelledAt](qdui::QtProgress& progress) {
            progress.onUpdate = [&cancelledAt](qdui::QtProgress& p) {
                QCOMPARE(p.dialog()->windowTitle(), QString("Processing Records"));
                QVERIFY(p.dialog()->labelText().startsWith("Rescheduling all tasks\n"));
                QVERIFY(p.dialog()->labelText().endsWith("% Completed"));
                if (p.dialog()->value() > 0 && cancelledAt < 0) {
                    cancelledAt = p.dialog()->value();
                    p.dialog()->cancel();
                }
            };
        };
        qduitest::pressButton(d, "OK");
    });
    QVERIFY(!b.windows->openReschedule());
    QVERIFY2(b.seen.contains("Error: The date and time entered must be in the future."),
             qPrintable(b.seen.join('|')));
    QVERIFY(cancelledAt > 0 && cancelledAt < 100);

    const std::vector<qd::ScheduleRecord> after = b.e.tasks();
    QCOMPARE(after.size(), before.size());
    int moved = 0;
    for (std::size_t i = 0; i < after.size(); ++i) {
        if (after[i] == before[i]) continue;
        ++moved;
        qd::ScheduleRecord rest = after[i];
        QCOMPARE(rest.Date, today() + 2);
        rest.Date = before[i].Date;
        QVERIFY(rest == before[i]);
    }
    QVERIFY(moved > 0 && moved < 450);
    QCOMPARE(qd::verifyDataSet(b.e.ds).problems, 0);

    // A run to the end moves the rest, from the moment offered again.
    b.answers.push_back([](QDialog& d) {
        auto* w = qobject_cast<RescheduleWindow*>(&d);
        QCOMPARE(w->timeField()->text(), QString("12:00"));
        qduitest::pressButton(d, "OK");
    });
    QVERIFY(b.windows->openReschedule());
    for (const qd::ScheduleRecord& t : b.e.tasks())
        QCOMPARE(t.Date, today() + 2);
}

QTEST_MAIN(HolidayWindowsTest)
#include "HolidayWindowsTest.moc"
