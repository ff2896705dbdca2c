// The task list windows of the main frame: the schedule list (all tasks in
// date order, one category, or one picked day) and the explorer list with its
// status, date and category filters. Both offer perform now, snooze and delete
// on the highlighted task, and read their view again when the task table
// changed: in this program (the dispatcher, another window) or in another
// process sharing the data folder.
#pragma once

#include "data/Clock.h"
#include "data/DataSet.h"
#include "data/Globals.h"
#include "data/UserInterface.h"
#include "perform/TaskExecution.h"
#include "schedule/TaskLists.h"
#include "schedule/ui/TaskEditorWindows.h"
#include "schedule/ui/TaskListModel.h"
#include "ui/QueryDialog.h"

#include <QDate>
#include <QWidget>

#include <functional>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QTabBar;
class QTableView;
class QTimer;
class QToolButton;

namespace qdschedui {

// What the schedule windows work with; everything must outlive the windows.
struct ScheduleUiContext {
    qd::DataSet& ds;
    const qd::ProgramSettings& settings;
    qd::TaskExecution& execution;
    const qd::Clock& clock;
    qd::UserInterface& ui;
    // Called after a window changed the task table, so every open list reads
    // its view again (the frame's refresh).
    std::function<void()> tasksChanged;
    // The thread that counts the lists' long views, shared by every list
    // (ScheduleWindows makes one when none is given).
    std::shared_ptr<qd::ViewCounter> counter = {};
};

// The snooze choices of the task lists, in minutes; 0 is the separator.
struct SnoozeChoice {
    const char* text;
    int minutes;
};
const std::vector<SnoozeChoice>& snoozeChoices();

// The category names in key order.
QStringList categoryNames(qd::DataSet& ds, const qd::RecordFilter& where = {});
// Fills a category choice again with `leading` and the names in the store,
// keeping the chosen name. While that name is still there (or none was chosen),
// the choice changes silently; when it is gone, the first entry is chosen with
// the usual signal, so the view follows.
void refillCategories(QComboBox* box, qd::DataSet& ds, const QStringList& leading = {});

class TaskListWindow : public QWidget {
    Q_OBJECT
public:
    ~TaskListWindow() override;

    TaskListModel& model() { return *model_; }
    QTableView* view() const { return view_; }
    // The ID of the highlighted task; 0 when none.
    int selectedTask() const;
    // Highlights a task when it is among the rows read (reading further pages
    // until it is found); false when it is not in the view.
    bool selectTask(int id);

    // Reads the view again, keeping the highlighted task and the scroll place.
    void refresh();
    // The timer's check: reads the view again when another process changed the
    // task file since the last check.
    void poll();

    // The operations on the highlighted task. Each reads the task again first:
    // a task that is gone by then is reported, not acted on.
    void performNow();
    // Creates the snooze copy `minutes` ahead (the popup's choice).
    void snooze(int minutes);
    // Shows the snooze popup under its button and snoozes by the choice.
    void showSnoozePopup();
    void deleteTask();
    // The exceptions window on the highlighted task; on "Cl&ose" the task is saved
    // with its exceptions applied (a day now excluded may get its one-time copy).
    void editExceptions();

    // Opens the task editor for the buttons "&Insert", "&Change", "Cop&y" and
    // "Rescheduling..."; without it they stay disabled.
    void setEditor(std::function<void(const TaskEditRequest&)> editor);
    // Opens the step list of a task for "&Scripting"; without it the button
    // stays disabled.
    void setScriptEditor(std::function<void(int taskId)> editor);
    void editScript();
    void insertTask();
    void changeTask();
    void copyTask();
    void rescheduleTask();

    QPushButton* button(const QString& objectName) const;
    // "Counting tasks..." while the view is counted, then how many tasks it holds.
    QLabel* countLabel() const { return countLabel_; }

    // The query over the task fields ("&Query"): only tasks that meet it stay
    // in the view, whichever tab or filter is chosen; "R&eset" drops it.
    static const std::vector<qdui::QueryField>& queryFields();
    void setQuery(const qd::RecordFilter& query);
    const qd::RecordFilter& query() const { return queryBar_->query(); }
    void openQuery();

protected:
    TaskListWindow(ScheduleUiContext& context, QWidget* parent);
    // Lays out the filter row (given by the subclass) above the list and the buttons.
    void build(QWidget* filters);
    void setView(qd::TaskFilter filter);
    virtual void updateTitle() = 0;
    // Reads the choices of the filter row again (the category names) before the
    // view is read again.
    virtual void reloadChoices() {}
    // The day a new task starts on (GLO:DateToUse): the picked day, 0 for today.
    virtual qd::Date pickedDay() const { return 0; }
    ScheduleUiContext& context_;

private:
    bool readTask(int id, qd::ScheduleRecord& task);
    void updateButtons();
    void updateCount();

    TaskListModel* model_ = nullptr;
    QLabel* countLabel_ = nullptr;
    QTableView* view_ = nullptr;
    qd::TaskFilter baseView_; // the view of the tabs and filters, before the query
    qdui::QueryBar* queryBar_ = nullptr;
    QTimer* poll_ = nullptr;
    std::function<void(const TaskEditRequest&)> editor_;
    std::function<void(int)> scriptEditor_;
    long long version_ = -1;
    bool errorShown_ = false;
};

// "View Schedule": tabs "All By Date", "By Category" (one category at a time)
// and "Day" (the picked day), and "Active only".
class BrowseScheduleWindow : public TaskListWindow {
    Q_OBJECT
public:
    enum Tab { kAllByDate, kByCategory, kDay };
    BrowseScheduleWindow(ScheduleUiContext& context, QWidget* parent = nullptr);

    QTabBar* tabs() const { return tabs_; }
    void showTab(Tab tab);
    void pickDay(qd::Date day);
    void pickCategory(const QString& category);
    void setActiveOnly(bool on);
    // The "..." beside the day: the calendar with the days that have tasks and the
    // holidays marked; the day chosen is shown, or a new task is asked for on it.
    void openCalendar();

signals:
    // "&New Task" in the calendar: a new task is wanted on this day.
    void newTaskForDay(QDate day);

protected:
    void updateTitle() override;
    void reloadChoices() override;
    qd::Date pickedDay() const override;

private:
    void applyView();

    QTabBar* tabs_ = nullptr;
    QComboBox* category_ = nullptr;
    QDateEdit* day_ = nullptr;
    QToolButton* pickDay_ = nullptr;
    QCheckBox* activeOnly_ = nullptr;
};

// "List of Scheduled Tasks": status, dates and category filters; hot key
// tasks are never listed.
class ExploreScheduleWindow : public TaskListWindow {
    Q_OBJECT
public:
    ExploreScheduleWindow(ScheduleUiContext& context, QWidget* parent = nullptr);

    void choose(const qd::ExploreChoice& choice);
    const qd::ExploreChoice& choice() const { return choice_; }
    // One day from the calendar (the "..." button): both dates become that day, and
    // the choice "Today" when it is today, otherwise "Custom".
    void pickDay(qd::Date day);
    void openCalendar();

protected:
    void updateTitle() override;
    void reloadChoices() override;

private:
    void readControls();

    qd::ExploreChoice choice_;
    QComboBox* status_ = nullptr;
    QComboBox* dates_ = nullptr;
    QDateEdit* first_ = nullptr;
    QDateEdit* last_ = nullptr;
    QComboBox* category_ = nullptr;
    bool updating_ = false;
};

// qd::Date and QDate.
QDate toQDate(qd::Date d);
qd::Date fromQDate(const QDate& d);

} // namespace qdschedui
