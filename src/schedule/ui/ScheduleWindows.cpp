#include "schedule/ui/ScheduleWindows.h"

#include "schedule/ui/CalendarWindow.h"
#include "ui/MainFrame.h"

#include <QMdiArea>
#include <QMdiSubWindow>

namespace qdschedui {

ScheduleWindows::ScheduleWindows(qdui::MainFrame& frame, qdui::QtUserInterface& ui, ScheduleUiContext context)
    : QObject(&frame), frame_(frame), ui_(ui),
      context_(std::move(context)), holidays_{context_.ds, context_.ui, context_.clock,
                                              context_.settings.DateFormat} {
    if (!context_.tasksChanged) context_.tasksChanged = [&frame] { frame.refreshTaskLists(); };
    frame.setHandler("ScheduledTasks", [this] { openSchedule(); });
    frame.setHandler("ExploreSchedule", [this] { openExplore(); });
    frame.setHandler("TaskCategories", [this] { openCategories(); });
    frame.setHandler("SetupTaskCategories", [this] { openCategories(); });
    frame.setHandler("Holidays", [this] { openHolidays(); });
}

void ScheduleWindows::addChild(QWidget* w, QSize size) {
    QMdiSubWindow* sub = frame_.mdiArea()->addSubWindow(w);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->resize(size);
    sub->show();
    frame_.mdiArea()->setActiveSubWindow(sub);
}

TaskListWindow* ScheduleWindows::openSchedule() {
    if (context_.settings.AltFmt) return openExplore();
    return openBrowse();
}

BrowseScheduleWindow* ScheduleWindows::openBrowse() {
    auto* w = new BrowseScheduleWindow(context_);
    connect(&frame_, &qdui::MainFrame::taskListsChanged, w, &TaskListWindow::refresh);
    connect(w, &BrowseScheduleWindow::newTaskForDay, this, &ScheduleWindows::newTaskForDay);
    addChild(w, QSize(860, 420));
    return w;
}

ExploreScheduleWindow* ScheduleWindows::openExplore() {
    auto* w = new ExploreScheduleWindow(context_);
    connect(&frame_, &qdui::MainFrame::taskListsChanged, w, &TaskListWindow::refresh);
    addChild(w, QSize(900, 420));
    return w;
}

CategoriesWindow* ScheduleWindows::openCategories() {
    auto* w = new CategoriesWindow(context_.ds, ui_);
    addChild(w, QSize(360, 300));
    return w;
}

BrowseHolidaysWindow* ScheduleWindows::openHolidays() {
    auto* w = new BrowseHolidaysWindow(holidays_);
    addChild(w, QSize(420, 360));
    return w;
}

bool ScheduleWindows::openReschedule(QWidget* parent) {
    // The window offers the moment of the last run while that is still ahead.
    RescheduleWindow w(context_, lastReschedule_, parent ? parent : &frame_);
    if (runModal(context_.ui, w) != QDialog::Accepted) return false;
    lastReschedule_ = w.moment();
    return w.completed();
}

} // namespace qdschedui
