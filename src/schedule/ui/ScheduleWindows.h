// Opens the schedule windows as child windows of the main frame and connects
// their menu entries: "&Scheduled Tasks" (the explorer list instead when the
// alternate format is set), "Explore &Schedule", "Task Cate&gories" and
// Setup > "&Task Categories"; Setup > "&Holidays"; and the task editor with its
// wizards from the "&Actions" entries, the lists' buttons and a day picked in
// the calendar. Also opens the reschedule window for the housekeeping window.
#pragma once

#include "schedule/ui/CategoryWindows.h"
#include "schedule/ui/HolidayWindows.h"
#include "schedule/ui/RescheduleWindow.h"
#include "schedule/ui/TaskListWindows.h"

#include <QObject>

namespace qdui {
class MainFrame;
class QtUserInterface;
} // namespace qdui

namespace qdschedui {

class ScheduleWindows : public QObject {
    Q_OBJECT
public:
    // `context.tasksChanged` is set to the frame's refresh when it is empty.
    ScheduleWindows(qdui::MainFrame& frame, qdui::QtUserInterface& ui, ScheduleUiContext context);

    TaskListWindow* openSchedule();
    BrowseScheduleWindow* openBrowse();
    ExploreScheduleWindow* openExplore();
    CategoriesWindow* openCategories();
    // The task editor (tabbed form or wizard) for a request, shown as a window
    // of its own; nullptr when the lock check failed or the task is gone.
    QWidget* openEditor(const TaskEditRequest& request);

    // The hot-key form's script wizard on the task of a hot key (a new script
    // task when `taskId` is 0 or gone), modal. The saved task's number, or 0
    // when the lock check failed or the wizard was cancelled.
    int openHotKeyScript(int taskId, const std::string& hotKeyName);

    // Asked before the editor, its wizards and a list's script editor open
    // (the system lock); none: they always open.
    void setEditGuard(std::function<bool()> guard) { editGuard_ = std::move(guard); }
    // The window of a task's exception rules, offered by the editor.
    void setExceptionsEditor(std::function<bool(qd::ScheduleRecord&)> editor) {
        editExceptions_ = std::move(editor);
    }
    // The step list of a task, for the lists' "&Scripting" button; none: the
    // button stays disabled.
    void setScriptEditor(std::function<void(int taskId)> editor) { scriptEditor_ = std::move(editor); }
    BrowseHolidaysWindow* openHolidays();
    // "Reschedule All Tasks" (modal): the date prompt, then the run. True when a
    // run was made and finished.
    bool openReschedule(QWidget* parent = nullptr);
    HolidayUiContext& holidayContext() { return holidays_; }

signals:
    // A new task is wanted on this day ("&New Task" in a task list's calendar).
    void newTaskForDay(QDate day);

private:
    void addChild(QWidget* w, QSize size);
    bool mayEdit() const { return !editGuard_ || editGuard_(); }
    // The lists' "&Scripting" button: the step list, after the guard.
    void editScript(int taskId);

    qdui::MainFrame& frame_;
    qdui::QtUserInterface& ui_;
    ScheduleUiContext context_;
    std::function<bool()> editGuard_;
    std::function<bool(qd::ScheduleRecord&)> editExceptions_;
    std::function<void(int)> scriptEditor_;
    HolidayUiContext holidays_;
    qd::Moment lastReschedule_;
};

} // namespace qdschedui
