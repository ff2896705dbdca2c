// Opens the schedule windows as child windows of the main frame and connects
// their menu entries: "&Scheduled Tasks" (the explorer list instead when the
// alternate format is set), "Explore &Schedule", "Task Cate&gories" and
// Setup > "&Task Categories".
#pragma once

#include "schedule/ui/CategoryWindows.h"
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

private:
    void addChild(QWidget* w, QSize size);

    qdui::MainFrame& frame_;
    qdui::QtUserInterface& ui_;
    ScheduleUiContext context_;
};

} // namespace qdschedui
