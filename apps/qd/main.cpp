// qd: the resident task scheduler on the desktop.
#include "QdProgram.h"

#include "ui/DesktopSession.h"
#include "ui/QdCommandLine.h"
#include "ui/TrayIcon.h"

#include <QApplication>

#include <iostream>

int main(int argc, char** argv) {
    // Help and version need no display.
    {
        const auto early = qdui::QdCommandLine::parse(std::vector<std::string>(argv + 1, argv + argc));
        if (early.help) {
            std::cout << qdui::qdUsageText();
            return 0;
        }
        if (early.version) {
            std::cout << qdui::qdVersionText();
            return 0;
        }
    }
    // Scripts type and find windows through X11: under Wayland, run on XWayland.
    if (const std::string platform = qdui::preferredPlatform(); !platform.empty())
        qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString(platform));
    QApplication app(argc, argv); // takes Qt's own options (-platform, -display...) out of argv
    // The frame may be hidden in the tray while message windows come and go.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationName("Quandrel");
    QApplication::setDesktopFileName("quandrel");
    QApplication::setWindowIcon(qdui::applicationIcon());

    const auto commandLine = qdui::QdCommandLine::parse(std::vector<std::string>(argv + 1, argv + argc));
    if (!commandLine.error.empty()) {
        std::cerr << "qd: " << commandLine.error << "\n" << qdui::qdUsageText();
        return 2;
    }
    return runQd(commandLine);
}
