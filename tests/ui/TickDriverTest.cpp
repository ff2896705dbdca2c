// The one-second timer: aligned to the wall-clock second, and a question that
// a tick asks holds the dispatcher: no tick runs while it is open.
#include "UiTestSupport.h"

#include "ui/TickDriver.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTest>
#include <QTimer>

using namespace qduitest;

class TickDriverTest : public QObject {
    Q_OBJECT
private slots:
    void waitsForTheNextWholeSecond();
    void aQuestionInATickHoldsTheTimer();
    void aConfirmTaskQuestionHoldsTheDispatcher();
    void aThrowingTickDoesNotStopTheTimer();
};

void TickDriverTest::waitsForTheNextWholeSecond() {
    QCOMPARE(qdui::TickDriver::delayToNextSecond(5000), 1000);
    QCOMPARE(qdui::TickDriver::delayToNextSecond(5001), 999);
    QCOMPARE(qdui::TickDriver::delayToNextSecond(5500), 500);
    // Fired a little early, just before the second: not twice in a row.
    QCOMPARE(qdui::TickDriver::delayToNextSecond(5950), 1050);
    QCOMPARE(qdui::TickDriver::delayToNextSecond(-250), 250);
}

void TickDriverTest::aQuestionInATickHoldsTheTimer() {
    qdui::QtUserInterface ui;
    int depth = 0, deepest = 0, ticks = 0;
    bool answered = false;
    qdui::TickDriver driver([&] {
        ++ticks;
        ++depth;
        deepest = std::max(deepest, depth);
        if (ticks == 2) answered = ui.ask("Confirm Task", "Backup is due to run.  Run it now?");
        --depth;
    });
    driver.setDelayToNextTick([] { return 20; });
    answerDialogs(ui, "Yes", 400);
    driver.start();
    QTRY_VERIFY_WITH_TIMEOUT(ticks >= 5, 5000);
    driver.stop();
    QVERIFY(answered);
    QCOMPARE(deepest, 1);
    // The timer kept firing during the question (about 20 times) and each firing was passed over.
    QVERIFY2(driver.heldFirings() >= 5, qPrintable(QString::number(driver.heldFirings())));
    QCOMPARE(driver.ticks(), ticks);
}

void TickDriverTest::aConfirmTaskQuestionHoldsTheDispatcher() {
    Engine e;
    qd::ScheduleRecord task = Engine::messageTask("Backup", "", {e.clock.today(), qd::timeFromHMS(9, 0, 2)});
    task.TaskType = "None";
    task.UserSkip = 1;
    const int id = e.addTask(task);
    QVERIFY(id > 0);
    QVERIFY(e.runtime->open());

    long long runtimeTicks = 0;
    long long ticksWhenAsked = -1, ticksWhenAnswered = -1;
    qdui::TickDriver driver([&] {
        ++runtimeTicks;
        e.runtime->tick();
        e.clock.advanceSeconds(1);
    });
    driver.setDelayToNextTick([] { return 10; });
    QStringList seen;
    e.ui.setDialogHook([&](QDialog& d) {
        seen << d.windowTitle();
        ticksWhenAsked = runtimeTicks;
        QPointer<QDialog> dialog(&d);
        QTimer::singleShot(300, [&, dialog] {
            ticksWhenAnswered = runtimeTicks;
            if (dialog) pressButton(*dialog, "Yes");
        });
    });
    driver.start();
    QTRY_VERIFY_WITH_TIMEOUT(!seen.isEmpty() && runtimeTicks > ticksWhenAsked + 3, 10000);
    driver.stop();
    QCOMPARE(seen, QStringList{"Confirm Task"});
    // Not one tick of the engine ran while the question was open, though the timer fired ~30 times.
    QCOMPARE(ticksWhenAnswered, ticksWhenAsked);
    QVERIFY(driver.heldFirings() >= 10);
    // Answered Yes: performed, with its history copy.
    int history = 0;
    for (const auto& t : e.tasks())
        history += t.Completed && t.Description.rfind("Backup", 0) == 0;
    QVERIFY(history >= 1);
    e.runtime->close();
}

void TickDriverTest::aThrowingTickDoesNotStopTheTimer() {
    int ticks = 0;
    qdui::TickDriver driver([&] {
        if (++ticks == 1) throw std::runtime_error("broken");
    });
    driver.setDelayToNextTick([] { return 5; });
    driver.start();
    QTRY_VERIFY_WITH_TIMEOUT(ticks >= 3, 3000);
    QVERIFY(!driver.inTick());
    driver.stop();
}

QTEST_MAIN(TickDriverTest)
#include "TickDriverTest.moc"
