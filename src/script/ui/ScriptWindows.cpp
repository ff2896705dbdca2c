#include "script/ui/ScriptWindows.h"

#include "script/ui/BrowseScripting.h"
#include "script/ui/ScriptRunWindows.h"
#include "script/ui/TemplateWindows.h"
#include "ui/MainFrame.h"

#include <QMdiArea>
#include <QMdiSubWindow>

namespace qdscriptui {

ScriptWindows::ScriptWindows(qdui::MainFrame& frame, ScriptUiContext context)
    : QObject(&frame), frame_(frame), context_(context) {
    frame.setHandler("ScriptTemplates", [this] { openTemplates(); });
    frame.setHandler("ViewCurrentScript", [this] { openCurrentScript(); });
}

void ScriptWindows::addChild(QWidget* w, QSize size) {
    QMdiSubWindow* sub = frame_.mdiArea()->addSubWindow(w);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->resize(size);
    sub->show();
    frame_.mdiArea()->setActiveSubWindow(sub);
}

BrowseScriptingWindow* ScriptWindows::openScripting(int taskId) {
    BrowseScriptingWindow* w = BrowseScriptingWindow::forTask(context_, taskId);
    if (!w) return nullptr;
    connect(w, &BrowseScriptingWindow::stepsChanged, this, &ScriptWindows::scriptsChanged);
    addChild(w, QSize(820, 460));
    return w;
}

BrowseScriptTemplatesWindow* ScriptWindows::openTemplates() {
    auto* w = new BrowseScriptTemplatesWindow(context_, false, &frame_);
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->show();
    w->raise();
    return w;
}

CurrentScriptWindow* ScriptWindows::openCurrentScript() {
    auto* w = new CurrentScriptWindow(context_);
    addChild(w, QSize(820, 320));
    return w;
}

} // namespace qdscriptui
