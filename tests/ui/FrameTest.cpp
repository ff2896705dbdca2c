// The main frame: its menu, title and status fields, the close and exit rules,
// and its saved place on the screen.
#include "UiTestSupport.h"

#include "data/IniFile.h"
#include "ui/MainMenu.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>

#include <fstream>

using namespace qduitest;

class FrameTest : public QObject {
    Q_OBJECT
private slots:
    void everyMenuEntryOpensSomethingOrSaysItIsNotThereYet();
    void menusShortcutsAndTipsAreTheProgramsOwn();
    void handlersEnableTheirEntriesAndRun();
    void windowEntriesArrangeTheChildWindows();
    void inactiveRunShowsInTheTitleAndStatusFields();
    void exitAsksWithMinimizeOnCloseAndCloseBoxOnlyMinimizes();
    void exitWithoutTheSettingClosesAtOnceAndSavesThePlace();
    void savedPlaceIsRestoredOnlyOnAScreenThatExists();
    void damagedPositionFileStartsAtTheDefaultPlace();
    void statusTextsAndTrayTipClip();
};

namespace {

// Every action of the menu bar, with the menu path it sits in.
QList<QPair<QString, QAction*>> allEntries(QMenuBar* bar) {
    QList<QPair<QString, QAction*>> out;
    std::function<void(QMenu*, QString)> walk = [&](QMenu* menu, QString path) {
        for (QAction* a : menu->actions()) {
            if (a->isSeparator()) continue;
            if (a->menu()) {
                walk(a->menu(), path + "/" + a->text());
            } else {
                out.append({path, a});
            }
        }
    };
    for (QAction* top : bar->actions())
        if (top->menu()) walk(top->menu(), top->text());
    return out;
}

} // namespace

void FrameTest::everyMenuEntryOpensSomethingOrSaysItIsNotThereYet() {
    Engine e;
    const auto entries = allEntries(e.frame->menuBar());
    int counted = 0;
    for (const auto& [path, a] : entries) {
        ++counted;
        const QString where = path + " > " + a->text();
        if (a->objectName() == "Users") {
            // Users stays disabled in every run.
            QVERIFY2(!a->isEnabled(), qPrintable(where));
            continue;
        }
        if (a->isEnabled()) {
            QVERIFY2(a->toolTip() != qdui::kNotAvailableTip, qPrintable(where));
        } else {
            QCOMPARE(a->toolTip(), QString(qdui::kNotAvailableTip));
        }
    }
    // Nothing in the table is left out of the menus, nothing is added.
    int expected = 0;
    for (const auto& m : qdui::mainMenuEntries())
        expected += m.id != "-";
    QCOMPARE(counted, expected);
    // A disabled entry does nothing when triggered (never a dead click that pretends).
    QAction* log = e.frame->entryAction("ViewLog");
    QVERIFY(!log->isEnabled());
}

void FrameTest::menusShortcutsAndTipsAreTheProgramsOwn() {
    Engine e;
    QStringList tops;
    for (QAction* a : e.frame->menuBar()->actions())
        tops << a->text();
    QCOMPARE(tops, (QStringList{"&File", "Edit", "&Lists", "&Actions", "&Reports", "&Window", "&Help"}));
    const struct {
        const char* id;
        const char* text;
        const char* keys;
        const char* tip;
    } expect[] = {
        {"Options", "&Options", "F10", "Set preferences"},
        {"ViewLog", "View &Log", "F8", "Browse the Usage Log"},
        {"ReportBug", "&Report Bug", "F9", ""},
        {"ExploreSchedule", "Explore &Schedule", "Ctrl+Shift+X", ""},
        {"ScheduledTasks", "&Scheduled Tasks", "Ctrl+S", "List of Scheduled Tasks"},
        {"HotKeys", "Hot &Keys", "Ctrl+K", "List of hot keys"},
        {"NewMessage", "New &Message (Wizard)", "Ctrl+Shift+M", "Add a message to be displayed"},
        {"NewTask", "New &Task (Tabbed)", "Ctrl+Shift+T", "Add a message, program, both or neither"},
        {"NewHotKey", "New &Hot Key", "Ctrl+Shift+H", "Add new hot key"},
        {"Exit", "E&xit", "", "Exit this application"},
        {"BackupRestore", "Backup/Restore", "", "Launch Backup/Restore module"},
    };
    for (const auto& x : expect) {
        QAction* a = e.frame->entryAction(x.id);
        QVERIFY2(a, x.id);
        QCOMPARE(a->text(), QString(x.text));
        QCOMPARE(a->shortcut(), QKeySequence(x.keys));
        if (*x.tip) QCOMPARE(a->statusTip(), QString(x.tip));
    }
    // No two entries share a shortcut.
    QSet<QString> keys;
    for (const auto& [path, a] : allEntries(e.frame->menuBar())) {
        if (a->shortcut().isEmpty()) continue;
        QVERIFY2(!keys.contains(a->shortcut().toString()), qPrintable(a->shortcut().toString()));
        keys.insert(a->shortcut().toString());
    }
}

void FrameTest::handlersEnableTheirEntriesAndRun() {
    Engine e;
    QAction* about = e.frame->entryAction("About");
    QVERIFY(!about->isEnabled());
    int opened = 0;
    e.frame->setHandler("About", [&] { ++opened; });
    QVERIFY(about->isEnabled());
    QCOMPARE(about->toolTip(), QString("About this program"));
    about->trigger();
    QCOMPARE(opened, 1);
    // Users cannot be enabled, even with a handler.
    e.frame->setHandler("Users", [&] { ++opened; });
    QVERIFY(!e.frame->entryAction("Users")->isEnabled());
    // The toolbar's stop button follows the busy state.
    QAction* stop = e.frame->entryAction("StopScripts");
    QSignalSpy stops(e.frame.get(), &qdui::MainFrame::stopScriptsRequested);
    qdui::FrameState s;
    s.busy = false;
    e.frame->showState(s, e.clock.now());
    QVERIFY(!stop->isEnabled());
    s.busy = true;
    e.frame->showState(s, e.clock.now());
    QVERIFY(stop->isEnabled());
    stop->trigger();
    QCOMPARE(stops.count(), 1);
}

void FrameTest::windowEntriesArrangeTheChildWindows() {
    Engine e;
    e.frame->resize(800, 600);
    e.frame->show();
    QMdiArea* area = e.frame->mdiArea();
    QMdiSubWindow* a = area->addSubWindow(new QWidget);
    QMdiSubWindow* b = area->addSubWindow(new QWidget);
    a->show();
    b->show();
    a->setGeometry(0, 0, 100, 100);
    b->setGeometry(0, 0, 100, 100);
    e.frame->entryAction("Tile")->trigger();
    QVERIFY(a->geometry() != b->geometry());
    QVERIFY(!a->geometry().intersects(b->geometry()));
    e.frame->entryAction("Cascade")->trigger();
    QVERIFY(a->geometry().topLeft() != b->geometry().topLeft());
    QVERIFY(a->geometry().intersects(b->geometry()));
}

void FrameTest::inactiveRunShowsInTheTitleAndStatusFields() {
    Engine e({"/I"});
    QVERIFY(e.runtime->open());
    e.runtime->tick();
    e.frame->showState(e.state(), e.clock.now());
    QCOMPARE(e.frame->windowTitle(), QString("Quandrel 2000 (Inactive)"));
    QCOMPARE(e.frame->statusField(2), QString("No tasks pending"));
    // 10 March 2026 is a Tuesday.
    QCOMPARE(e.frame->statusField(3), QString("Tuesday, MAR 10,2026"));
    QVERIFY(e.frame->statusField(4).startsWith("9:00") || e.frame->statusField(4).startsWith("09:00"));

    Engine active;
    QVERIFY(active.runtime->open());
    active.runtime->tick();
    active.frame->showState(active.state(), active.clock.now());
    QCOMPARE(active.frame->windowTitle(), QString("Quandrel 2000"));
    e.runtime->close();
    active.runtime->close();
}

void FrameTest::exitAsksWithMinimizeOnCloseAndCloseBoxOnlyMinimizes() {
    Engine e;
    qd::ProgramSettings settings;
    settings.MinimizeOnCloseRequest = true;
    e.frame->setSettings(&settings);
    e.frame->show();
    QSignalSpy closed(e.frame.get(), &qdui::MainFrame::closed);

    // The close box minimises.
    e.frame->close();
    QCOMPARE(closed.count(), 0);
    QVERIFY(e.frame->isMinimized());

    // Exit asks; "No" keeps the program.
    QStringList seen;
    answerDialogs(e.ui, "No", 10, &seen);
    e.frame->exitRequested();
    QCOMPARE(closed.count(), 0);
    QCOMPARE(seen,
             QStringList{"Warning: No tasks will execute while Quandrel is not active.  Are you sure you "
                         "want to close Quandrel?"});
    QVERIFY(!e.frame->isMinimized()); // brought to the front to ask

    answerDialogs(e.ui, "Yes", 10);
    e.frame->exitRequested();
    QCOMPARE(closed.count(), 1);
    e.frame->setSettings(nullptr);
}

void FrameTest::exitWithoutTheSettingClosesAtOnceAndSavesThePlace() {
    Engine e;
    QStringList seen;
    answerDialogs(e.ui, "Yes", 0, &seen);
    e.frame->show();
    e.frame->setGeometry(120, 140, 700, 500);
    QSignalSpy closed(e.frame.get(), &qdui::MainFrame::closed);
    e.frame->exitRequested();
    QCOMPARE(closed.count(), 1);
    QVERIFY(seen.isEmpty());
    const auto saved = qd::INIClass(e.dir.path()).fetch("Main", true);
    QVERIFY(saved.has_value());
    QCOMPARE(saved->width, 700);
    QCOMPARE(saved->height, 500);
}

void FrameTest::savedPlaceIsRestoredOnlyOnAScreenThatExists() {
    Engine e;
    qd::WindowPosition p;
    p.x = 60;
    p.y = 70;
    p.width = 640;
    p.height = 480;
    QVERIFY(qd::INIClass(e.dir.path()).update("Main", p, true).ok);
    QVERIFY(e.frame->restorePosition());
    QCOMPARE(e.frame->size(), QSize(640, 480));
    QCOMPARE(e.frame->pos(), QPoint(60, 70));

    // A place on a screen that is gone (a second monitor unplugged).
    p.x = 5000;
    p.y = -3000;
    QVERIFY(qd::INIClass(e.dir.path()).update("Main", p, true).ok);
    QVERIFY(!e.frame->restorePosition());
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY(screen.contains(e.frame->geometry().center()));
    // Smaller than the frame's smallest size: the smallest size.
    p.x = 10;
    p.y = 10;
    p.width = 20;
    p.height = 20;
    QVERIFY(qd::INIClass(e.dir.path()).update("Main", p, true).ok);
    QVERIFY(e.frame->restorePosition());
    QVERIFY(e.frame->width() >= e.frame->minimumWidth());
}

void FrameTest::damagedPositionFileStartsAtTheDefaultPlace() {
    Engine e;
    std::ofstream(e.dir / "POSITION.INI", std::ios::binary)
        << "\x01\x02garbage\n[Main]\nXPos=abc\nYPos=\nWidth=-5\nHeight=999999999999\n";
    QVERIFY(!e.frame->restorePosition());
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY(screen.contains(e.frame->geometry().center()));
    // Saving over the damaged file works and is read back.
    e.frame->savePosition();
    QVERIFY(qd::INIClass(e.dir.path()).fetch("Main", true).has_value());
}

void FrameTest::statusTextsAndTrayTipClip() {
    QCOMPARE(QString::fromStdString(qdui::statusDateText(qd::dateFromMDY(3, 15, 2026))),
             QString("Sunday, MAR 15,2026"));
    QCOMPARE(QString::fromStdString(qdui::statusDateText(qd::dateFromMDY(3, 18, 2026))),
             QString("Wednesday, MAR 18,2026"));
    const std::string tip(62, 'a');
    QCOMPARE(qdui::clipTrayTip(tip + "b"), tip + "b");
    QCOMPARE(qdui::clipTrayTip(tip + "bc"), tip + "b");
    // A two-byte character across the limit is left out whole.
    QCOMPARE(qdui::clipTrayTip(tip + "\xc3\xa9" + "x"), tip);
}

QTEST_MAIN(FrameTest)
#include "FrameTest.moc"
