// Opens the housekeeping window (File > Setup > "House&keeping", after the
// system lock) and, from it, the list of users, as child windows of the main
// frame. The "&Users" menu entry itself stays disabled.
#pragma once

#include "users/ui/HousekeepingWindow.h"
#include "users/ui/UserWindows.h"

#include <QObject>
#include <QPointer>

#include <functional>

namespace qdui {
class MainFrame;
class QtUserInterface;
} // namespace qdui

namespace qdusersui {

struct UsersUiContext {
    qd::DataSet& ds;
    const qd::ProgramSettings& settings;
    // The system lock asked before housekeeping opens; empty lets it open.
    std::function<bool()> mayOpen;
    std::function<void()> clearScriptQueue;
    // Opens the reschedule window; empty leaves its button disabled.
    std::function<void()> rescheduleAll;
    // Empty: the frame's refresh of the task lists.
    std::function<void()> tasksChanged;
};

class UsersWindows : public QObject {
    Q_OBJECT
public:
    UsersWindows(qdui::MainFrame& frame, qdui::QtUserInterface& ui, UsersUiContext context);

    // The housekeeping window once the lock has passed (the open one when there
    // is one already); nullptr when the lock refused.
    HousekeepingWindow* openHousekeeping();
    UsersWindow* openUsers();

private:
    void addChild(QWidget* w, QSize size);

    qdui::MainFrame& frame_;
    qdui::QtUserInterface& ui_;
    UsersUiContext context_;
    QPointer<HousekeepingWindow> housekeeping_;
    QPointer<UsersWindow> users_;
};

} // namespace qdusersui
