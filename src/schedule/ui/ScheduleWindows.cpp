#include "schedule/ui/ScheduleWindows.h"

#include "ui/MainFrame.h"

#include <QMdiArea>
#include <QMdiSubWindow>

namespace qdschedui {

ScheduleWindows::ScheduleWindows(qdui::MainFrame& frame, qdui::QtUserInterface& ui, ScheduleUiContext context)
    : QObject(&frame), frame_(frame), ui_(ui), context_(std::move(context)) {
    if (!context_.tasksChanged) context_.tasksChanged = [&frame] { frame.refreshTaskLists(); };
    frame.setHandler("ScheduledTasks", [this] { openSchedule(); });
    frame.setHandler("ExploreSchedule", [this] { openExplore(); });
    frame.setHandler("TaskCategories", [this] { openCategories(); });
    frame.setHandler("SetupTaskCategories", [this] { openCategories(); });
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

} // namespace qdschedui
