// The program as a desktop citizen: every one of its own entry pictures draws,
// the toolbar and the tray menu show one on each entry, and under Wayland it
// asks for XWayland and says what that means.
#include "UiTestSupport.h"

#include "ui/DesktopSession.h"
#include "ui/EntryIcons.h"
#include "ui/MainMenu.h"
#include "ui/TrayIcon.h"

#include <QAction>
#include <QImage>
#include <QMenu>
#include <QTest>
#include <QToolBar>

#include <map>

namespace {

// How many pixels of the picture at 48 by 48 are not transparent.
int paintedPixels(const QIcon& icon) {
    const QImage image = icon.pixmap(48, 48).toImage().convertToFormat(QImage::Format_ARGB32);
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0) ++n;
    return n;
}

} // namespace

class DesktopCitizenTest : public QObject {
    Q_OBJECT
private slots:
    void ownPicturesDraw();
    void toolbarAndTrayEntriesHavePictures();
    void waylandSessionRunsOnXWaylandAndSaysSo();
};

void DesktopCitizenTest::ownPicturesDraw() {
    const char* ids[] = {"ScheduledTasks", "ToDoItems",  "Contacts",      "ClipboardSaver",
                         "EmailMessages",  "NewMessage", "NewProgram",    "NewScript",
                         "Options",        "About",      "HelpContents",  "StopScripts",
                         "ViewLog",        "ReportBug",  "BackupRestore", "FileManager",
                         "HotKeys",        "Restore",    "Exit"};
    for (const char* id : ids) {
        const QIcon icon = qdui::ownEntryIcon(id);
        QVERIFY2(!icon.isNull(), id);
        // A file missing from the resources or an SVG that does not parse draws nothing.
        QVERIFY2(paintedPixels(icon) > 300, id);
    }
    QVERIFY(qdui::entryIcon("Tile").isNull());
}

void DesktopCitizenTest::toolbarAndTrayEntriesHavePictures() {
    qduitest::Engine e;
    auto* bar = e.frame->findChild<QToolBar*>("Toolbar");
    QVERIFY(bar);
    for (QAction* a : bar->actions())
        if (!a->isSeparator()) QVERIFY2(!a->icon().isNull(), qPrintable(a->objectName()));
    for (const char* id : {"ViewLog", "ReportBug", "FileManager", "BackupRestore"})
        QVERIFY2(!e.frame->entryAction(id)->icon().isNull(), id);
    qdui::TrayIcon tray;
    for (QAction* a : tray.menu()->actions())
        if (!a->isSeparator()) QVERIFY2(!a->icon().isNull(), qPrintable(a->objectName()));
}

void DesktopCitizenTest::waylandSessionRunsOnXWaylandAndSaysSo() {
    const auto session = [](std::map<std::string, std::string> vars) {
        return [vars](const char* name) {
            const auto it = vars.find(name);
            return it == vars.end() ? std::string() : it->second;
        };
    };
    const auto x11 = session({{"DISPLAY", ":0"}});
    QCOMPARE(qdui::preferredPlatform(x11), std::string());
    QVERIFY(qdui::sessionNote(x11).isEmpty());

    const auto wayland = session({{"DISPLAY", ":0"}, {"WAYLAND_DISPLAY", "wayland-0"}});
    QCOMPARE(qdui::preferredPlatform(wayland), std::string("xcb"));
    QVERIFY(qdui::sessionNote(wayland).contains("X11 programs only"));

    // A platform the user asked for is kept; without XWayland xcb cannot work.
    QCOMPARE(qdui::preferredPlatform(
                 session({{"DISPLAY", ":0"}, {"WAYLAND_DISPLAY", "w"}, {"QT_QPA_PLATFORM", "wayland"}})),
             std::string());
    const auto noXWayland = session({{"WAYLAND_DISPLAY", "wayland-0"}});
    QCOMPARE(qdui::preferredPlatform(noXWayland), std::string());
    QVERIFY(qdui::sessionNote(noXWayland).contains("without XWayland"));
}

QTEST_MAIN(DesktopCitizenTest)
#include "DesktopCitizenTest.moc"
