// Draws every tab of the options window, the password prompt and the settings
// view into PNG files for the documentation: qd_setup_screenshots OUTPUT_FOLDER
#include "UiTestSupport.h"

#include "ui/SetupWindow.h"
#include "ui/SystemLockPrompt.h"
#include "ui/TrayIcon.h"

#include <QApplication>
#include <QTabWidget>

#include <iostream>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::cerr << "usage: qd_setup_screenshots OUTPUT_FOLDER\n";
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QApplication::setWindowIcon(qdui::applicationIcon());

    qduitest::Engine e;
    if (!e.runtime->open()) return 1;
    e.runtime->settings().Sender = "ann@example.org";
    e.runtime->settings().SenderName = "Ann Example";
    e.runtime->settings().Host = "smtp.example.org";

    qdui::SetupContext context;
    context.dataSet = &e.ds;
    context.settings = &e.runtime->settings();
    context.ui = &e.ui;
    context.clock = &e.clock;
    context.autostartFolder = e.dir / "autostart";
    qdui::SetupWindow setup(context);
    setup.show();
    bool ok = true;
    for (int i = 0; i < setup.tabs()->count(); ++i) {
        setup.tabs()->setCurrentIndex(i);
        QApplication::processEvents();
        const QString name = setup.tabs()->tabText(i).toLower().remove(' ');
        ok = setup.grab().save(out + "/setup-" + name + ".png") && ok;
    }
    setup.showVariables();
    QApplication::processEvents();
    ok = setup.settingsView()->grab().save(out + "/setup-variables.png") && ok;

    qdui::SystemLockPrompt prompt;
    prompt.show();
    QApplication::processEvents();
    ok = prompt.grab().save(out + "/setup-password-required.png") && ok;
    e.runtime->close();
    return ok ? 0 : 1;
}
