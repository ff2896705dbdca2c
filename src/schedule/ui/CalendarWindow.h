// The month calendar: the date picker of the date fields ("..." buttons), and the
// day choice of the task list, where it also marks the days that have tasks (their
// occurrences as the engine computes them) and the holidays.
//
// Clicking a day chooses it (a day before today after the "Confirm" question);
// "&Today" chooses today; "Cancel" gives back the date the calendar was opened with.
// Given a task's rule, the days the rule cannot fall on are disabled.
#pragma once

#include "data/Clock.h"
#include "data/DataSet.h"
#include "data/Records.h"
#include "data/UserInterface.h"
#include "schedule/TaskCalendar.h"

#include <QDate>
#include <QDialog>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;
class QToolButton;

namespace qdschedui {

// Runs a dialog modally through the program's dialog runner when `ui` is one (so
// tests answer it), otherwise on its own.
int runModal(qd::UserInterface& ui, QDialog& dialog);

struct CalendarOptions {
    qd::Date date = 0;                      // the date given (and given back on Cancel); 0: today
    std::string title;                      // blank: the rule's type, or "Select Date"
    std::optional<qd::ScheduleRecord> rule; // the task whose rule the days must match
    bool marks = false;                     // mark the days with tasks and the holidays
    bool offerNewTask = false;              // a "&New Task" button for the day in focus
};

class CalendarWindow : public QDialog {
    Q_OBJECT
public:
    CalendarWindow(qd::DataSet& ds, qd::UserInterface& ui, const qd::Clock& clock,
                   const std::string& dateFormat, CalendarOptions options, QWidget* parent = nullptr);

    // The chosen day after the window closed; the given date after Cancel.
    qd::Date chosenDate() const { return chosen_; }
    // The window closed with "&New Task" (chosenDate() is then the day for it).
    bool newTaskChosen() const { return newTask_; }

    qd::CalendarMonth month() const { return month_; }
    void showMonth(qd::CalendarMonth month);
    QString monthText() const;
    // The button of a day of the page shown; nullptr when the day is not on it.
    QToolButton* dayButton(qd::Date day) const;
    QPushButton* button(const QString& objectName) const;
    // What the page marks on a day (nothing when not marked or not on the page).
    qd::DayMarks marksOf(qd::Date day) const;
    // Whether the marks of the page are all there: a large task table is read a
    // slice at a time after the page is shown. finishMarks reads the rest now.
    bool marksComplete() const;
    void finishMarks();

    // As clicking the day's button: a day before today asks first; No keeps the
    // window open (false).
    bool chooseDay(qd::Date day);
    // The day a new task would be made on: the day last in focus.
    qd::Date focusDay() const { return focus_; }
    void setFocusDay(qd::Date day);
    // With marks: lists the tasks of a day beside the month (a day in focus or under
    // the mouse is listed).
    void showDay(qd::Date day);
    QStringList dayListing() const;

    // Opens the calendar and returns the chosen date (the given one when cancelled).
    static qd::Date pick(qd::DataSet& ds, qd::UserInterface& ui, const qd::Clock& clock,
                         const std::string& dateFormat, CalendarOptions options, QWidget* parent = nullptr);

signals:
    // "&New Task" was pressed for this day (emitted as the window closes).
    void newTaskForDay(QDate day);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fillPage();
    void markSome();
    void paintMarks();

    qd::DataSet& ds_;
    qd::UserInterface& ui_;
    const qd::Clock& clock_;
    std::string dateFormat_;
    CalendarOptions options_;
    qd::CalendarMonth month_;
    qd::Date given_ = 0;
    qd::Date chosen_ = 0;
    qd::Date focus_ = 0;
    bool newTask_ = false;
    QLabel* monthLabel_ = nullptr;
    QLabel* dayTitle_ = nullptr;
    QListWidget* dayTasks_ = nullptr;
    qd::Date shownDay_ = 0;
    std::vector<QToolButton*> days_;
    std::map<qd::Date, qd::DayMarks> marks_;
    std::unique_ptr<qd::CalendarMarker> marker_;
    int generation_ = 0;
};

} // namespace qdschedui
