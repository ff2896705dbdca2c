// Opens the script windows as child windows of the main frame and connects
// their entries: the step list of a task (from the task lists' "&Scripting"
// button), File > Setup > "&Script Templates" and Support Tools > "View
// Current Script".
#pragma once

#include "script/ui/ScriptUiContext.h"

#include <QObject>

#include <optional>
#include <string>

class QBoxLayout;
class QPushButton;

namespace qdui {
class MainFrame;
} // namespace qdui

namespace qdscriptui {

// A button of a script window's button rows: named as qdui::namedButton does
// (the accessible name without "..." too), with a tip, never pressed by Enter.
QPushButton* rowButton(QWidget* parent, QBoxLayout* row, const char* name, const char* text, const char* tip);

// Asks for a script file to import and looks at it first: a file that cannot
// be read, binary data, a line of too many fields or a value that would be cut
// is shown ("Import Error") and gives nullopt, so nothing is changed.
std::optional<std::string> chooseFileToImport(ScriptUiContext& context);
// Asks for the file an export writes.
std::optional<std::string> chooseFileToExport(ScriptUiContext& context);

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
