// Draws every tab of the task editor and every step of its wizards with sample
// data into PNG files for the documentation: qd_editor_screenshots OUTPUT_FOLDER
#include "UiTestSupport.h"

#include "schedule/ui/ScheduleWindows.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QWizard>

#include <iostream>

namespace {

bool grab(QWidget* w, const QString& file) {
    QApplication::processEvents();
    return w->grab().save(file);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::cerr << "usage: qd_editor_screenshots OUTPUT_FOLDER\n";
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    qduitest::Engine e;
    for (const char* c : {"General", "Home", "Work"}) {
        qd::Table<qd::CategoriesRecord> t(e.ds, qd::tables::Categories());
        t.open();
        t.rec.Category = c;
        t.insert();
    }
    for (const char* u : {"Ann", "Bob", "Carol"}) {
        qd::Table<qd::UsersRecord> t(e.ds, qd::tables::Users());
        t.open();
        t.rec.User = u;
        t.insert();
    }
    qd::ScheduleRecord r{};
    r.Description = "Weekly report";
    r.TaskType = "Both";
    r.Category = "Work";
    r.Command = "libreoffice --calc report.ods";
    r.Path = "~/Documents";
    r.Message = "Time to send the weekly report.";
    r.ScheduleType = "Day of Month";
    r.Friday = 1;
    r.Every2nd = r.EveryLast = 1;
    r.Date = e.clock.today() + 3;
    r.Time = qd::timeFromHMS(16, 30, 0);
    r.Alarm = 1;
    r.AlarmFile = "chime.wav";
    r.AdvanceWarnDate = r.Date;
    r.AdvanceWarnTime = qd::timeFromHMS(16, 0, 0);
    r.ExpiryDate = r.Date + 365;
    r.Warn = 1;
    r.MonthRepeat = "Once";
    const int id = e.addTask(r);
    if (!e.runtime->open()) return 1;
    e.runtime->settings().DateFormat = "d17";
    qdschedui::ScheduleWindows windows(
        *e.frame, e.ui, {e.ds, e.runtime->settings(), e.runtime->execution(), e.clock, e.ui, {}});

    bool ok = true;
    auto* editor = qobject_cast<qdschedui::UpdateScheduleWindow*>(
        windows.openEditor({qdschedui::TaskEditRequest::Change, id, 0, {}}));
    if (!editor) return 1;
    editor->form().addAllUsers();
    editor->resize(640, 520);
    const char* names[] = {"task", "schedule", "alarm", "warning", "options", "users"};
    for (int p = 0; p < qdschedui::TaskEditorForm::kPageCount; ++p) {
        editor->showPage(static_cast<qdschedui::TaskEditorForm::Page>(p));
        ok = grab(editor, out + "/editor-" + names[p] + ".png") && ok;
    }
    editor->close();

    const std::pair<qdschedui::TaskEditRequest, const char*> wizards[] = {
        {{qdschedui::TaskEditRequest::New, 0, 0, "Run Program"}, "wizard-program"},
        {{qdschedui::TaskEditRequest::New, 0, 0, "Display Message"}, "wizard-message"},
        {{qdschedui::TaskEditRequest::Script, 0, 0, {}}, "wizard-script"}};
    for (const auto& [request, name] : wizards) {
        auto* w = qobject_cast<QWizard*>(windows.openEditor(request));
        if (!w) return 1;
        w->resize(620, 520);
        if (auto* message = w->findChild<QPlainTextEdit*>("Message"))
            message->setPlainText("Stretch your legs.");
        for (int step = 1; w->currentPage(); ++step) {
            ok = grab(w, out + "/" + name + "-" + QString::number(step) + ".png") && ok;
            if (w->currentId() == w->pageIds().back()) break;
            w->next();
        }
        w->close();
    }
    e.runtime->close();
    return ok ? 0 : 1;
}
