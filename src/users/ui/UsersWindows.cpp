#include "users/ui/UsersWindows.h"

#include "ui/MainFrame.h"

#include <QMdiArea>
#include <QMdiSubWindow>

namespace qdusersui {
namespace {

// The frame's child window that holds `w`.
QMdiSubWindow* subWindowOf(QWidget* w) {
    return w ? qobject_cast<QMdiSubWindow*>(w->parentWidget()) : nullptr;
}

} // namespace

UsersWindows::UsersWindows(qdui::MainFrame& frame, qdui::QtUserInterface& ui, UsersUiContext context)
    : QObject(&frame), frame_(frame), ui_(ui), context_(std::move(context)) {
    if (!context_.tasksChanged) context_.tasksChanged = [&frame] { frame.refreshTaskLists(); };
    frame.setHandler("Housekeeping", [this] { openHousekeeping(); });
}

void UsersWindows::addChild(QWidget* w, QSize size) {
    QMdiSubWindow* sub = frame_.mdiArea()->addSubWindow(w);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->resize(size);
    sub->show();
    frame_.mdiArea()->setActiveSubWindow(sub);
}

HousekeepingWindow* UsersWindows::openHousekeeping() {
    if (context_.mayOpen && !context_.mayOpen()) return nullptr;
    if (QMdiSubWindow* sub = subWindowOf(housekeeping_)) {
        frame_.mdiArea()->setActiveSubWindow(sub);
        return housekeeping_;
    }
    auto* w = new HousekeepingWindow(HousekeepingContext{context_.ds, ui_, context_.settings,
                                                         context_.clearScriptQueue, context_.rescheduleAll,
                                                         [this] { openUsers(); }, context_.tasksChanged});
    housekeeping_ = w;
    addChild(w, QSize(380, 500));
    return w;
}

UsersWindow* UsersWindows::openUsers() {
    if (QMdiSubWindow* sub = subWindowOf(users_)) {
        frame_.mdiArea()->setActiveSubWindow(sub);
        return users_;
    }
    auto* w = new UsersWindow(context_.ds, ui_);
    users_ = w;
    addChild(w, QSize(360, 300));
    return w;
}

} // namespace qdusersui
