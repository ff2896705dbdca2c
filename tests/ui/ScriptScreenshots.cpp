// Draws the script windows with sample data into PNG files for the
// documentation: qd_script_screenshots OUTPUT_FOLDER
#include "UiTestSupport.h"

#include "platform/fake/FakeWindowSystem.h"
#include "script/ScriptEngine.h"
#include "script/ScriptSteps.h"
#include "script/Values.h"
#include "script/WindowTargeting.h"
#include "script/ui/BrowseScripting.h"
#include "script/ui/ScriptRunWindows.h"
#include "script/ui/ScriptTextWindow.h"
#include "script/ui/TemplateWindows.h"
#include "script/ui/UpdateScripting.h"
#include "script/ui/WindowPickers.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTableView>

#include <iostream>

using namespace qdscriptui;

namespace {

bool grab(QWidget* w, const QString& file) {
    w->show();
    QApplication::processEvents();
    const bool ok = w->grab().save(file);
    w->hide();
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::cerr << "usage: qd_script_screenshots OUTPUT_FOLDER\n";
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    qduitest::Engine e;
    if (!e.runtime->open()) return 1;
    e.runtime->settings().DateFormat = "d17";
    qd::FakeWindowSystem fake;
    const qd::WindowHandle editor = fake.add("Untitled - Text Editor", true, "gedit");
    fake.add("Inbox - Mail", true, "thunderbird");
    fake.add("Terminal", true, "xterm");
    fake.addChild(editor, "&Save", "GtkButton", 7001);
    fake.pointer = {editor, 7001};
    qd::WindowTargeting windows(fake);
    ScriptUiContext context{
        e.ds, e.ui, e.clock, e.runtime->settings(), &windows, &e.runtime->scripts(), &e.runtime->log()};

    qd::ScheduleRecord task{};
    task.Description = "Weekly report";
    task.Category = "Work";
    task.Command = "N/A";
    const int id = e.addTask(task);
    ScriptTextWindow seed(context, qd::taskSteps(id), "seed");
    seed.editor()->setPlainText("START gedit ~/Documents WAIT=0 MODE=3\n"
                                "WAIT EITHER 10 \"Untitled - *\"\n"
                                "IFWINDOW \"Untitled - *\"\n"
                                "   FOCUS \"Untitled - *\"\n"
                                "   KEYS Weekly report of [TODAY][ENTER][ENTER]\n"
                                "   SET COUNT \"=[COUNT]+1\"\n"
                                "   KEYS [CtrlS]\n"
                                "END\n"
                                "FILE Copy ~/report.txt ~/archive/\n"
                                "COMMENT Sent every Friday\n");
    if (!seed.save()) return 1;

    bool ok = true;
    auto* list = BrowseScriptingWindow::forTask(context, id);
    list->resize(820, 420);
    list->selectSequence(5);
    ok = grab(list, out + "/script-list.png") && ok;

    const auto steps = qd::LoadScriptSteps(e.ds, id).steps;
    const int shots[] = {4, 3, 0};
    const char* names[] = {"script-step-keys", "script-step-focus", "script-step-program"};
    for (int i = 0; i < 3; ++i) {
        UpdateScriptingDialog d(context, qd::taskSteps(id), steps[static_cast<std::size_t>(shots[i])], false);
        if (d.pointerDisplay()) d.pointerDisplay()->sample();
        d.resize(600, d.sizeHint().height());
        ok = grab(&d, out + "/" + names[i] + ".png") && ok;
    }

    ScriptTextWindow text(context, qd::taskSteps(id), "Script as Text - " + list->windowTitle());
    text.editor()->appendPlainText("TYPE oops");
    ok = grab(&text, out + "/script-text.png") && ok;
    ScriptReferenceWindow reference;
    ok = grab(&reference, out + "/script-reference.png") && ok;

    qd::PromptRequest r;
    r.kind = qd::PromptKind::Text;
    r.title = "Script Template";
    r.label = "Your name:";
    r.initial = "Ann";
    TokenPromptDialog textPrompt(e.ui, r);
    ok = grab(&textPrompt, out + "/template-prompt-text.png") && ok;
    r.kind = qd::PromptKind::File;
    r.title = "Choose a File";
    r.label = "Report file:";
    r.initial = "/home/ann/report.txt";
    r.filter = "All Files|*.*";
    TokenPromptDialog filePrompt(e.ui, r);
    ok = grab(&filePrompt, out + "/template-prompt-file.png") && ok;
    r.kind = qd::PromptKind::Choice;
    r.title = "Choose a Window";
    r.label = "Editor:";
    r.initial.clear();
    for (const auto& w : windows.ListWindows())
        r.choices.push_back(w.text);
    TokenPromptDialog windowPrompt(e.ui, r);
    windowPrompt.windows()->setCurrentRow(0);
    ok = grab(&windowPrompt, out + "/template-prompt-window.png") && ok;

    for (const char* name : {"Log in to the mail", "Weekly report", "Back up the notes"}) {
        qd::Table<qd::ScriptTemplatesRecord> t(e.ds, qd::tables::ScriptTemplates());
        t.open();
        t.rec = {};
        t.rec.Description = name;
        t.insert();
    }
    {
        BrowseScriptTemplatesWindow templates(context, false);
        ok = grab(&templates, out + "/script-templates.png") && ok;
    }

    e.runtime->scripts().queueSteps(steps);
    CurrentScriptWindow current(context);
    current.resize(860, 300);
    ok = grab(&current, out + "/current-script.png") && ok;
    e.runtime->scripts().stopAll();

    task.Description = "Count the reports";
    const int counting = e.addTask(task);
    ScriptTextWindow countText(context, qd::taskSteps(counting), "seed");
    countText.editor()->setPlainText(
        "SET COUNT 1\nSET TOTAL \"=[COUNT]*5\"\nIF TOTAL > 3\n   SET BIG 1\nEND\n");
    if (!countText.save()) return 1;
    DebugRunWindow debug(context, counting, "Scripting - Work: Count the reports N/A");
    debug.step();
    debug.step();
    debug.step();
    ok = grab(&debug, out + "/script-debug-run.png") && ok;
    delete list;
    e.runtime->close();
    return ok ? 0 : 1;
}
