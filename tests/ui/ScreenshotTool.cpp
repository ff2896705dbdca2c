// Draws the main windows of the program with sample data into PNG files for
// the documentation: qd_ui_screenshots OUTPUT_FOLDER
#include "UiTestSupport.h"

#include "ui/MessageWindow.h"
#include "ui/TrayIcon.h"

#include <QApplication>
#include <QMdiArea>
#include <QMenu>
#include <QPixmap>

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
    e.runtime->close();
    return ok ? 0 : 1;
}
