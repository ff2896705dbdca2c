#include "script/ui/ScriptWindows.h"

#include "script/ScriptEditing.h"
#include "script/ScriptFile.h"
#include "script/ui/BrowseScripting.h"
#include "script/ui/ScriptRunWindows.h"
#include "script/ui/TemplateWindows.h"
#include "ui/MainFrame.h"
#include "ui/WindowParts.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>

namespace qdscriptui {

QPushButton* rowButton(QWidget* parent, QBoxLayout* row, const char* name, const char* text,
                       const char* tip) {
    QPushButton* b = qdui::namedButton(parent, text, name, row, tip);
    b->setAccessibleName(b->accessibleName().remove("..."));
    b->setAutoDefault(false);
    return b;
}

namespace {

std::optional<std::string> askForFile(ScriptUiContext& context, const char* title, const char* filter) {
    qd::PromptRequest r;
    r.kind = qd::PromptKind::File;
    r.title = title;
    r.filter = filter;
    return context.ui.prompt(r);
}

} // namespace

std::optional<std::string> chooseFileToImport(ScriptUiContext& context) {
    const auto file = askForFile(context, "Choose File to Import", "Export File|*.qds|Text|*.txt|All|*.*");
    if (!file) return std::nullopt;
    std::string text;
    if (const qd::ScriptFileStatus st = qd::ReadScriptFileText(*file, text); !st) {
        context.ui.message("Import Error", st.error, qd::MessageIcon::Exclamation);
        return std::nullopt;
    }
    if (const auto problems = qd::CheckScriptFileText(text); !problems.empty()) {
        std::string m = qd::TextProblemMessage(problems);
        if (const auto at = m.rfind("Nothing was saved."); at != std::string::npos)
            m.replace(at, 18, "Nothing was imported.");
        context.ui.message("Import Error", m, qd::MessageIcon::Exclamation);
        return std::nullopt;
    }
    return file;
}

std::optional<std::string> chooseFileToExport(ScriptUiContext& context) {
    return askForFile(context, "Export to File", "Export File (*.QDS)|*.qds|Text (*.TXT)|*.txt|All|*.*");
}

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
