// Opens the script windows as child windows of the main frame and connects
// their entries: the step list of a task (from the task lists' "&Scripting"
// button), File > Setup > "&Script Templates" and Support Tools > "View
// Current Script".
#pragma once

#include "script/ui/ScriptUiContext.h"

#include <QObject>

namespace qdui {
class MainFrame;
} // namespace qdui

namespace qdscriptui {

class BrowseScriptingWindow;
class BrowseScriptTemplatesWindow;
class CurrentScriptWindow;

class ScriptWindows : public QObject {
    Q_OBJECT
public:
    ScriptWindows(qdui::MainFrame& frame, ScriptUiContext context);

    // The step list of a task; nullptr when it cannot be opened (the reason was shown).
    BrowseScriptingWindow* openScripting(int taskId);
    BrowseScriptTemplatesWindow* openTemplates();
    CurrentScriptWindow* openCurrentScript();
    ScriptUiContext& context() { return context_; }

signals:
    // Steps of a task were changed in a window.
    void scriptsChanged();

private:
    void addChild(QWidget* w, QSize size);

    qdui::MainFrame& frame_;
    ScriptUiContext context_;
};

} // namespace qdscriptui
