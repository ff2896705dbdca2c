// Opens the schedule windows as child windows of the main frame and connects
// their menu entries: "&Scheduled Tasks" (the explorer list instead when the
// alternate format is set), "Explore &Schedule", "Task Cate&gories" and
// Setup > "&Task Categories"; Setup > "&Holidays". Also opens the reschedule
// window for the housekeeping window, and tells when a new task is wanted on a day
// picked in the calendar.
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

    qdui::MainFrame& frame_;
    qdui::QtUserInterface& ui_;
    ScheduleUiContext context_;
    HolidayUiContext holidays_;
    qd::Moment lastReschedule_;
};

} // namespace qdschedui
