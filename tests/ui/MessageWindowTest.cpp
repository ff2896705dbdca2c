// Message windows: the buttons, snooze, the alarm repeat, the count of open
// windows, and a due task's message reaching the screen through the frame.
#include "UiTestSupport.h"

#include "data/TableDefs.h"
#include "perform/TaskExecution.h"
#include "ui/MainMenu.h"
#include "ui/MessageLink.h"
#include "ui/MessageWindow.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace qduitest;

class MessageWindowTest : public QObject {
    Q_OBJECT
private slots:
    void buttonsAndTextsOfTheWindow();
    void snoozeCreatesASnoozeTaskTenMinutesAhead();
    void alarmRepeatsEvery30SecondsForTwoMinutesThenStops();
    void noAlarmFileNoSoundAndAMissingFileIsSaid();
    void frameCountsOpenWindowsAndAModalOneHolds();
    void aDueMessageTaskOpensItsWindow();
    void messageProgramReadsAndRemovesItsRecord();
    void messageProgramCommandLine();
};

void MessageWindowTest::buttonsAndTextsOfTheWindow() {
    qd::ManualClock clock({qd::dateFromMDY(3, 10, 2026), qd::timeFromHMS(9, 0, 0)});
    qdui::MessageWindow w({"Dentist", "Call to confirm.", "", false}, clock, {}, {});
    QCOMPARE(w.windowTitle(), QString("Message"));
    QCOMPARE(w.findChild<QPlainTextEdit*>("MessageText")->toPlainText(), QString("Call to confirm."));
    QCOMPARE(w.snoozeButton()->text(), QString("&Snooze"));
    QCOMPARE(w.toDoButton()->text(), QString("&To Do"));
    QCOMPARE(w.emailButton()->text(), QString("&Email"));
    QCOMPARE(w.closeButton()->text(), QString("Cl&ose"));
    // Without their actions the buttons say they are not there yet.
    for (QPushButton* b : {w.snoozeButton(), w.toDoButton(), w.emailButton()}) {
        QVERIFY(!b->isEnabled());
        QCOMPARE(b->toolTip(), QString(qdui::kNotAvailableTip));
    }
    QCOMPARE(w.closeButton()->toolTip(), QString("Close this message window"));
    w.show();
    QTest::mouseClick(w.closeButton(), Qt::LeftButton);
    QVERIFY(!w.isVisible());
    QCOMPARE(w.result(), int(QDialog::Accepted));
}

void MessageWindowTest::snoozeCreatesASnoozeTaskTenMinutesAhead() {
    Engine e;
    QVERIFY(e.runtime->open());
    e.runtime->settings().SnoozeInterval = 0;
    qdui::MessageActions actions;
    actions.snooze = [&](const std::string& title, const std::string& text, const std::string& alarm) {
        return e.runtime->execution().snoozeMessage(title, text, alarm) != 0;
    };
    qdui::MessageWindow w({"Dentist", "Call to confirm.", "ring.wav", false}, e.clock, {}, actions);
    w.show();
    QVERIFY(w.snoozeButton()->isEnabled());
    QCOMPARE(w.snoozeButton()->toolTip(), QString("Have this message reappear in a few minutes"));
    QTest::mouseClick(w.snoozeButton(), Qt::LeftButton);
    QVERIFY(!w.isVisible());
    const auto tasks = e.tasks();
    QCOMPARE(tasks.size(), std::size_t(1));
    const auto& t = tasks.front();
    QCOMPARE(QString::fromStdString(t.Category).trimmed(), QString("Snooze"));
    QCOMPARE(QString::fromStdString(t.Description).trimmed(), QString("Dentist"));
    QCOMPARE(QString::fromStdString(t.TaskType).trimmed(), QString("Display Message"));
    QCOMPARE(QString::fromStdString(t.ScheduleType).trimmed(), QString("Once"));
    QCOMPARE(t.Date, e.clock.today());
    QCOMPARE(t.Time, qd::timeFromHMS(9, 10, 0));
    QCOMPARE(int(t.SkipIfMissed), 1);
    QCOMPARE(int(t.Alarm), 1);
    QCOMPARE(QString::fromStdString(t.AlarmFile).trimmed(), QString("ring.wav"));
    e.runtime->close();
}

void MessageWindowTest::alarmRepeatsEvery30SecondsForTwoMinutesThenStops() {
    qd::ManualClock clock({qd::dateFromMDY(3, 10, 2026), qd::timeFromHMS(9, 0, 0)});
    std::vector<double> played; // seconds after opening
    double now = 0;
    qdui::MessageActions actions;
    actions.playSound = [&](const std::string& file) {
        QCOMPARE(QString::fromStdString(file), QString("ring.wav"));
        played.push_back(now);
    };
    qdui::MessageWindow w({"Dentist", "", "ring.wav", false}, clock, {30, 2}, actions);
    // The window's timer ticks every half second; the clock moves with it.
    for (int step = 0; step < 600; ++step) {
        clock.advance(50);
        now += 0.5;
        w.checkAlarm();
    }
    QVERIFY2(played.size() == 3 || played.size() == 4, qPrintable(QString::number(played.size())));
    double last = 0;
    for (double at : played) {
        QVERIFY(at - last >= 30.0 && at - last <= 31.0);
        last = at;
    }
    QVERIFY(played.back() <= 120.5);
    QVERIFY(w.alarmFinished());
    QCOMPARE(w.alarmRepeats(), int(played.size()));
}

void MessageWindowTest::noAlarmFileNoSoundAndAMissingFileIsSaid() {
    qd::ManualClock clock({qd::dateFromMDY(3, 10, 2026), qd::timeFromHMS(9, 0, 0)});
    int played = 0;
    qdui::MessageActions actions;
    actions.playSound = [&](const std::string&) { ++played; };
    qdui::MessageWindow w({"Quiet", "", "", false}, clock, {30, 0}, actions);
    for (int step = 0; step < 200; ++step) {
        clock.advance(50);
        w.checkAlarm();
    }
    QCOMPARE(played, 0);

    Engine e;
    e.frame->playSound("no-such-alarm.wav");
    QCOMPARE(e.frame->statusField(1), QString("Sound file not found: no-such-alarm.wav"));
}

void MessageWindowTest::frameCountsOpenWindowsAndAModalOneHolds() {
    Engine e;
    e.frame->showMessageWindow({"One", "first", "", false});
    e.frame->showMessageWindow({"Two", "second", "", false});
    QCOMPARE(e.frame->openMessageWindows(), 2);
    // A modal window returns only when it is closed, and counts while open.
    int openDuring = -1;
    e.ui.setDialogHook([&](QDialog& d) {
        QPointer<QDialog> dialog(&d);
        QTimer::singleShot(50, [&, dialog] {
            openDuring = e.frame->openMessageWindows();
            if (dialog) pressButton(*dialog, "Close");
        });
    });
    e.frame->showMessageWindow({"Three", "modal", "", true});
    QCOMPARE(openDuring, 3);
    QTRY_COMPARE(e.frame->openMessageWindows(), 2);
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* m = qobject_cast<qdui::MessageWindow*>(w)) m->close();
    QTRY_COMPARE(e.frame->openMessageWindows(), 0);
}

void MessageWindowTest::aDueMessageTaskOpensItsWindow() {
    Engine e;
    e.addTask(Engine::messageTask("Stand-up", "Meeting room 4", {e.clock.today(), qd::timeFromHMS(9, 0, 1)}));
    QVERIFY(e.runtime->open());
    e.runtime->settings().UseQDMsg = false;
    e.runtime->settings().UseModalMessage = false;
    for (int i = 0; i < 8 && e.frame->openMessageWindows() == 0; ++i) {
        e.clock.advanceSeconds(1);
        e.runtime->tick();
    }
    QCOMPARE(e.frame->openMessageWindows(), 1);
    qdui::MessageWindow* shown = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* m = qobject_cast<qdui::MessageWindow*>(w)) shown = m;
    QVERIFY(shown);
    QVERIFY(shown->isVisible());
    QCOMPARE(QString::fromStdString(shown->request().title), QString("Stand-up"));
    QCOMPARE(shown->findChild<QPlainTextEdit*>("MessageText")->toPlainText(), QString("Meeting room 4"));
    shown->close();
    e.runtime->close();
}

void MessageWindowTest::messageProgramReadsAndRemovesItsRecord() {
    Engine e;
    QVERIFY(e.runtime->open());
    qd::Table<qd::MsgLinkRecord> link(e.ds, qd::tables::MsgLink());
    QCOMPARE(link.open(), qd::Level::Benign);
    link.rec = {};
    link.rec.Title = "Dentist";
    link.rec.Message = "Call to confirm.";
    link.rec.AlarmFile = "ring.wav";
    QCOMPARE(link.insert(), qd::Level::Benign);
    const int id = link.rec.ID;
    link.close();

    std::string error;
    const auto r = qdui::readMessageLink(e.ds, id, error);
    QVERIFY(r.has_value());
    QCOMPARE(QString::fromStdString(r->title), QString("Dentist"));
    QCOMPARE(QString::fromStdString(r->text), QString("Call to confirm."));
    QCOMPARE(QString::fromStdString(r->alarmFile), QString("ring.wav"));
    QVERIFY(qdui::deleteMessageLink(e.ds, id));
    // Shown once: a second start on the same ID says so instead of showing nothing or crashing.
    QVERIFY(!qdui::readMessageLink(e.ds, id, error).has_value());
    QVERIFY2(QString::fromStdString(error).contains("was not found"), error.c_str());
    QVERIFY(!qdui::readMessageLink(e.ds, 424242, error).has_value());
    QVERIFY(!qdui::deleteMessageLink(e.ds, id));
    e.runtime->close();
}

void MessageWindowTest::messageProgramCommandLine() {
    auto a = qdui::parseMessageProgramArgs({"ID=17"});
    QVERIFY(a.error.empty());
    QCOMPARE(a.id, 17);
    a = qdui::parseMessageProgramArgs({"id=3", "--data", "/srv/qd"});
    QCOMPARE(a.id, 3);
    QCOMPARE(*a.dataDir, std::string("/srv/qd"));
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {}, {"ID="}, {"ID=x"}, {"ID=-4"}, {"ID=12abc"}, {"ID=99999999999999"}, {"17"}, {"--data"}}) {
        QVERIFY(!qdui::parseMessageProgramArgs(bad).error.empty());
    }
}

QTEST_MAIN(MessageWindowTest)
#include "MessageWindowTest.moc"
