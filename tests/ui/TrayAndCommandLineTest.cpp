// The tray menu's items and enabled states, the command line of qd, and the
// one-program-per-folder guard.
#include "UiTestSupport.h"

#include "ui/QdCommandLine.h"
#include "ui/SingleInstance.h"
#include "ui/TrayIcon.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace qduitest;

class TrayAndCommandLineTest : public QObject {
    Q_OBJECT
private slots:
    void trayMenuItemsInOrder();
    void stopScriptsOnlyWhileBusyRestoreOnlyWhileMinimized();
    void trayTipAndIconFollowTheDispatcher();
    void commandLineSwitches();
    void commandLineMistakes();
    void secondProgramOnTheFolderRaisesTheFirst();
    void otherFoldersAndStaleSocketsDoNotCount();
    void runtimeFolderOpenToOthersIsRefused();
};

void TrayAndCommandLineTest::trayMenuItemsInOrder() {
    qdui::TrayIcon tray;
    QStringList texts;
    for (QAction* a : tray.menu()->actions())
        texts << (a->isSeparator() ? QString("-") : a->text());
    QCOMPARE(texts, (QStringList{"&Restore", "-", "&Program Wizard", "&Message Wizard", "&Scripting Wizard",
                                 "-", "Stop Active Scripts", "-", "&Hot Keys", "&Options", "&About", "-",
                                 "E&xit Quandrel"}));
    // Items without their window are disabled and say why.
    QAction* wizard = tray.item("AddProgram");
    QVERIFY(!wizard->isEnabled());
    QCOMPARE(wizard->toolTip(), QString("Not available yet"));
}

void TrayAndCommandLineTest::stopScriptsOnlyWhileBusyRestoreOnlyWhileMinimized() {
    qdui::TrayIcon tray;
    bool minimized = false;
    int stops = 0, restores = 0, exits = 0;
    tray.setFrameMinimizedQuery([&] { return minimized; });
    tray.setHandler("StopScript", [&] { ++stops; });
    tray.setHandler("Restore", [&] { ++restores; });
    tray.setHandler("Exit", [&] { ++exits; });
    qdui::FrameState idle;
    idle.trayTip = "Quandrel 2000";
    tray.showState(idle);
    emit tray.menu()->aboutToShow();
    QVERIFY(!tray.item("StopScript")->isEnabled());
    QVERIFY(!tray.item("Restore")->isEnabled());
    QVERIFY(tray.item("Exit")->isEnabled());

    qdui::FrameState busy = idle;
    busy.busy = true;
    tray.showState(busy);
    minimized = true;
    emit tray.menu()->aboutToShow();
    QVERIFY(tray.item("StopScript")->isEnabled());
    QVERIFY(tray.item("Restore")->isEnabled());
    tray.item("StopScript")->trigger();
    tray.item("Restore")->trigger();
    QCOMPARE(stops, 1);
    QCOMPARE(restores, 1);
}

void TrayAndCommandLineTest::trayTipAndIconFollowTheDispatcher() {
    Engine e;
    e.addTask(Engine::messageTask("A task with a rather long description here", "",
                                  {e.clock.today() + 1, qd::timeFromHMS(14, 30, 0)}));
    QVERIFY(e.runtime->open());
    for (int i = 0; i < 4; ++i) {
        e.runtime->tick();
        e.clock.advanceSeconds(1);
    }
    qdui::TrayIcon tray;
    tray.showState(e.state());
    const QString tip = tray.toolTip();
    QVERIFY2(tip.startsWith("Quandrel 2000 - A task with a rather long"), qPrintable(tip));
    QVERIFY(tip.size() <= 63);
    QCOMPARE(tray.iconName(), std::string("tray_ico"));
    qdui::FrameState busy = e.state();
    busy.trayIcon = "traybusy_ico";
    tray.showState(busy);
    QCOMPARE(tray.iconName(), std::string("traybusy_ico"));
    // The icons are drawn from the program's own SVG files.
    for (const char* name : {"tray_ico", "traybusy_ico", "traybus2_ico"})
        QVERIFY2(!qdui::trayStateIcon(name).pixmap(22).isNull(), name);
    QVERIFY(!qdui::applicationIcon().pixmap(48).isNull());
    e.runtime->close();
}

void TrayAndCommandLineTest::commandLineSwitches() {
    auto c = qdui::QdCommandLine::parse({"/i", "/CONFIG", "User=Ann Lee", "--data", "/tmp/x"});
    QVERIFY(c.error.empty());
    QCOMPARE(c.switches, (std::vector<std::string>{"/i", "/CONFIG", "User=Ann Lee"}));
    QCOMPARE(*c.dataDir, std::string("/tmp/x"));
    c = qdui::QdCommandLine::parse({"--data=/srv/qd"});
    QCOMPARE(*c.dataDir, std::string("/srv/qd"));
    QVERIFY(qdui::QdCommandLine::parse({"--help"}).help);
    QVERIFY(qdui::QdCommandLine::parse({"--version"}).version);
    QVERIFY(qdui::qdVersionText().find("2.04") != std::string::npos);
    // The switches reach the settings as the runtime reads them: "/I" makes the run inactive.
    const auto sw = qd::CommandLineSwitches::parse(qdui::QdCommandLine::parse({"/I", "user=bob"}).switches);
    QVERIFY(sw.inactive);
    QCOMPARE(*sw.user, std::string("bob"));
}

void TrayAndCommandLineTest::commandLineMistakes() {
    QVERIFY(!qdui::QdCommandLine::parse({"--data"}).error.empty());
    QVERIFY(!qdui::QdCommandLine::parse({"--data="}).error.empty());
    QVERIFY(!qdui::QdCommandLine::parse({"--data", ""}).error.empty());
    QVERIFY(!qdui::QdCommandLine::parse({"User="}).error.empty());
    QVERIFY(!qdui::QdCommandLine::parse({"/X"}).error.empty());
    QVERIFY(!qdui::QdCommandLine::parse({"--frobnicate"}).error.empty());
}

namespace {

// A private runtime folder for the guard's sockets, for the length of a test.
struct RuntimeDir {
    qdtest::TempDir dir;
    QByteArray old = qgetenv("XDG_RUNTIME_DIR");
    RuntimeDir() {
        ::chmod(dir.str().c_str(), 0700);
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(dir.str()));
    }
    ~RuntimeDir() { qputenv("XDG_RUNTIME_DIR", old); }
};

} // namespace

void TrayAndCommandLineTest::secondProgramOnTheFolderRaisesTheFirst() {
    RuntimeDir runtimeDir;
    qdtest::TempDir data;
    qdui::SingleInstance first;
    QString error;
    QCOMPARE(first.claim(data.path(), ":9", error), qdui::SingleInstance::Outcome::First);
    QSignalSpy raised(&first, &qdui::SingleInstance::raiseRequested);
    // The socket sits in the user's folder, closed to others.
    struct stat st {};
    QCOMPARE(::stat((runtimeDir.dir.str() + "/quandrel").c_str(), &st), 0);
    QCOMPARE(int(st.st_mode & 0777), 0700);

    // The second program runs its check in another thread of control in real
    // life; here the first answers from the event loop while the second waits.
    qdui::SingleInstance::Outcome second = qdui::SingleInstance::Outcome::Failed;
    std::thread other([&] {
        qdui::SingleInstance s;
        QString e2;
        second = s.claim(data.path() / "." / "", ":9", e2);
    });
    QTRY_COMPARE_WITH_TIMEOUT(raised.count(), 1, 5000);
    other.join();
    QCOMPARE(second, qdui::SingleInstance::Outcome::RaisedOther);
}

void TrayAndCommandLineTest::otherFoldersAndStaleSocketsDoNotCount() {
    RuntimeDir runtimeDir;
    qdtest::TempDir a, b;
    QString error;
    qdui::SingleInstance first;
    QCOMPARE(first.claim(a.path(), ":9", error), qdui::SingleInstance::Outcome::First);
    qdui::SingleInstance onB;
    QCOMPARE(onB.claim(b.path(), ":9", error), qdui::SingleInstance::Outcome::First);
    qdui::SingleInstance otherDisplay;
    QCOMPARE(otherDisplay.claim(a.path(), ":10", error), qdui::SingleInstance::Outcome::First);

    // A socket file left behind by a program that died is taken over.
    const QString path = qdui::SingleInstance::socketPath(b.path() / "x", ":9", error);
    {
        // Bound and closed without unlinking: what a crash leaves.
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        QVERIFY(fd >= 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        const QByteArray p = path.toLocal8Bit();
        std::memcpy(addr.sun_path, p.constData(), std::min<std::size_t>(p.size(), sizeof addr.sun_path - 1));
        QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        ::close(fd);
    }
    QVERIFY(QFile::exists(path));
    qdui::SingleInstance after;
    QCOMPARE(after.claim(b.path() / "x", ":9", error), qdui::SingleInstance::Outcome::First);
}

void TrayAndCommandLineTest::runtimeFolderOpenToOthersIsRefused() {
    RuntimeDir runtimeDir;
    const std::string mine = runtimeDir.dir.str() + "/quandrel";
    QCOMPARE(::mkdir(mine.c_str(), 0777), 0);
    QCOMPARE(::chmod(mine.c_str(), 0777), 0);
    qdtest::TempDir data;
    qdui::SingleInstance s;
    QString error;
    QCOMPARE(s.claim(data.path(), ":9", error), qdui::SingleInstance::Outcome::Failed);
    QVERIFY2(error.contains("not private"), qPrintable(error));
}

QTEST_MAIN(TrayAndCommandLineTest)
#include "TrayAndCommandLineTest.moc"
