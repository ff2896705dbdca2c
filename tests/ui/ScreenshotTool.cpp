// Draws the main windows of the program with sample data into PNG files for
// the documentation: qd_ui_screenshots OUTPUT_FOLDER
#include "UiTestSupport.h"

#include "data/EventLog.h"
#include "ui/About.h"
#include "ui/BugReport.h"
#include "ui/EntryIcons.h"
#include "ui/LogViewer.h"
#include "ui/MessageWindow.h"
#include "ui/TrayIcon.h"

#include <QApplication>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QPainter>
#include <QPixmap>

#include <fstream>
#include <iostream>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::cerr << "usage: qd_ui_screenshots OUTPUT_FOLDER\n";
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QApplication::setWindowIcon(qdui::applicationIcon());

    qduitest::Engine e;
    e.addTask(
        qduitest::Engine::messageTask("Weekly backup", "", {e.clock.today(), qd::timeFromHMS(17, 30, 0)}));
    if (!e.runtime->open()) return 1;
    for (int i = 0; i < 4; ++i) {
        e.runtime->tick();
        e.clock.advanceSeconds(1);
    }
    e.frame->showState(e.state(), e.clock.now());
    e.frame->resize(820, 520);
    e.frame->show();
    QApplication::processEvents();
    bool ok = e.frame->grab().save(out + "/frame.png");

    qdui::MessageActions actions;
    actions.snooze = [](const std::string&, const std::string&, const std::string&) { return true; };
    qdui::MessageWindow message(
        {"Dentist", "Call Dr. Patel's office to confirm Thursday's appointment.", "", false}, e.clock, {},
        actions);
    message.show();
    QApplication::processEvents();
    ok = message.grab().save(out + "/message-window.png") && ok;

    qdui::TrayIcon tray;
    tray.setHandler("Exit", [] {});
    tray.setHandler("Restore", [] {});
    tray.setFrameMinimizedQuery([] { return true; });
    tray.showState(e.state());
    emit tray.menu()->aboutToShow();
    tray.menu()->popup(QPoint(0, 0));
    QApplication::processEvents();
    ok = tray.menu()->grab().save(out + "/tray-menu.png") && ok;
    tray.menu()->hide();

    // The event log window on a log with a few days of events, a search in progress.
    {
        std::ofstream log(e.dir / qd::EventLog::kFileName, std::ios::binary);
        const struct {
            int h, m;
            const char* label;
            const char* detail;
        } events[] = {
            {8, 0, "Started", "Quandrel 2000"},
            {8, 30, "Message", "Standup  "},
            {9, 15, "Run Program", "tar czf /tmp/home.tgz /home/me/docs"},
            {9, 15, "Program Exit", "Code 0 for tar czf /tmp/home.tgz /home/me/docs"},
            {10, 0, "Advanced Warning", "Dentist"},
            {12, 0, "Message", "Lunch with Sam  "},
            {13, 5, "Script", "Fill in the timesheet: started"},
            {13, 6, "Script", "Fill in the timesheet: finished"},
            {14, 0, "Task skipped", "Water the plants"},
            {16, 45, "Error starting", "/opt/report/run.sh"},
            {17, 30, "Message", "Weekly backup  "},
            {18, 0, "History", "Checked for tasks needing removal"},
        };
        for (int day = 0; day < 3; ++day)
            for (const auto& ev : events)
                log << qd::formatLogLine({e.clock.today() - 2 + day, qd::timeFromHMS(ev.h, ev.m, 0)}, "d3",
                                         ev.label, ev.detail)
                    << '\n';
    }
    qdui::LogViewer viewer(e.dir / qd::EventLog::kFileName, {});
    viewer.resize(820, 420);
    viewer.show();
    viewer.searchField()->setText("program exit");
    viewer.findNext(true);
    QApplication::processEvents();
    ok = viewer.grab().save(out + "/log-viewer.png") && ok;

    qdui::AboutWindow about(e.dir.path());
    about.show();
    QApplication::processEvents();
    ok = about.grab().save(out + "/about.png") && ok;

    auto* report = new qdui::BugReportWindow(e.dir.path(), e.runtime->settings());
    report->setMailComposer([](const QString&, const QString&) {});
    report->show();
    QApplication::processEvents();
    ok = report->grab().save(out + "/report-bug.png") && ok;
    delete report;

    // The program's own entry pictures, at menu and toolbar sizes.
    {
        const char* ids[] = {"ScheduledTasks", "ToDoItems",  "Contacts",      "ClipboardSaver",
                             "EmailMessages",  "NewMessage", "NewProgram",    "NewScript",
                             "Options",        "About",      "HelpContents",  "StopScripts",
                             "ViewLog",        "ReportBug",  "BackupRestore", "FileManager",
                             "HotKeys",        "Restore",    "Exit"};
        const int n = static_cast<int>(std::size(ids));
        QPixmap sheet(n * 40 + 8, 72);
        sheet.fill(Qt::white);
        QPainter p(&sheet);
        for (int i = 0; i < n; ++i) {
            qdui::ownEntryIcon(ids[i]).paint(&p, QRect(8 + i * 40, 6, 32, 32));
            qdui::ownEntryIcon(ids[i]).paint(&p, QRect(16 + i * 40, 46, 16, 16));
        }
        p.end();
        ok = sheet.save(out + "/entry-icons.png") && ok;
    }
    e.runtime->close();
    return ok ? 0 : 1;
}
