#include "DispatcherFixture.h"

#include "data/Pictures.h"
#include "data/RelationManager.h"

#include <thread>

using namespace qd;
using qdtest::DispatcherTest;

namespace {
const Date kDay = dateFromMDY(3, 10, 2026);
}

TEST_F(DispatcherTest, PhasesRotateAndTheDueCheckRunsEveryFourthTick) {
    addTask(daily("Stand-up", kDay, timeFromHMS(9, 0, 0)));
    Dispatcher& d = dispatcher();
    for (int i = 1; i <= 2; ++i)
        d.tick();
    EXPECT_EQ(d.phase(), 2);
    EXPECT_EQ(d.statusText(), "No tasks pending");
    d.tick(); // phase 3: the due-task check
    EXPECT_EQ(d.phase(), 3);
    EXPECT_EQ(d.title(), "Quandrel 2000");
    const auto tasks = allTasks();
    ASSERT_EQ(tasks.size(), 2u); // the task moved on, plus its history copy
    EXPECT_EQ(tasks[0].Date, kDay + 1);
    EXPECT_EQ(tasks[1].Disabled, 1);
    EXPECT_EQ(tasks[1].Completed, 1);
    EXPECT_EQ(tasks[1].Date, kDay);
    EXPECT_EQ(d.statusText(), "Next: Stand-up");
    EXPECT_EQ(d.trayTip(), "Quandrel 2000 - Stand-up " + formatUserDate(kDay, "d3") + " " +
                               formatTime(timeFromHMS(9, 0, 0), "@t7"));
    EXPECT_GE(frame.refreshes, 1);
    d.tick();
    EXPECT_EQ(d.phase(), 4);
    d.tick();
    EXPECT_EQ(d.phase(), 1);
}

TEST_F(DispatcherTest, RealTimeJobsFollowTheClockSoATaskOnTheMinuteIsFoundInItsSecond) {
    // Started at 08:59:57, the counting rotation would check at 09:00:00 only
    // by chance; following the clock, second 0 of each minute is the check.
    clock.set({kDay, timeFromHMS(8, 59, 57)});
    std::vector<Moment> performedAt;
    dispatcher().setObserver([&](const PerformedTask&) { performedAt.push_back(clock.now()); });
    dispatcher().setPhaseFollowsClock(true);
    addTask(daily("Stand-up", kDay, timeFromHMS(9, 0, 0)));
    std::vector<int> phases;
    for (int i = 0; i < 6; ++i) {
        dispatcher().tick();
        phases.push_back(dispatcher().phase());
        clock.advanceSeconds(1);
    }
    // 08:59:57 .. 09:00:02; every job still once in any four seconds.
    EXPECT_EQ(phases, (std::vector<int>{4, 1, 2, 3, 4, 1}));
    ASSERT_EQ(performedAt.size(), 1u);
    EXPECT_EQ(performedAt[0], (Moment{kDay, timeFromHMS(9, 0, 0)}));
    // A held tick (a question open for 7 s) does not shift the jobs.
    clock.advanceSeconds(7);
    dispatcher().tick();
    EXPECT_EQ(dispatcher().phase(), Dispatcher::phaseAt(clock.now()));
    EXPECT_EQ(Dispatcher::phaseAt({kDay, timeFromHMS(23, 59, 0)}), 3);
    EXPECT_EQ(Dispatcher::phaseAt({kDay, timeFromHMS(0, 0, 0)}), 3);
}

TEST_F(DispatcherTest, TwoTasksDueAtOnceArePerformedOnePerCheck) {
    const int a = addTask(daily("A", kDay, timeFromHMS(8, 0, 0)));
    const int b = addTask(daily("B", kDay, timeFromHMS(8, 0, 0)));
    std::vector<int> performed;
    dispatcher().setObserver([&](const PerformedTask& p) { performed.push_back(p.id); });
    dispatcher().checkDueTask();
    EXPECT_EQ(performed, std::vector<int>{a});
    dispatcher().checkDueTask();
    EXPECT_EQ(performed, (std::vector<int>{a, b}));
    dispatcher().checkDueTask(); // both are tomorrow now
    EXPECT_EQ(performed.size(), 2u);
}

TEST_F(DispatcherTest, OverdueTaskRunsWithinTenMinutesAndIsSkippedAfter) {
    ScheduleRecord r = daily("Hourly", kDay, timeFromHMS(10, 0, 0));
    r.EveryType = "hour(s)";
    r.SkipIfMissed = 1;
    r.TaskType = "Run Program";
    r.Command = "N/A";
    const int id = addTask(r);
    clock.set({kDay, timeFromHMS(10, 9, 0)});
    dispatcher().checkDueTask();
    EXPECT_EQ(scripts.queued, std::vector<int>{id}); // performed: its script was handed over
    EXPECT_FALSE(logged("Overdue task skipped"));

    clock.set({kDay, timeFromHMS(11, 11, 0)}); // the 11:00 occurrence is 11 minutes late
    dispatcher().checkDueTask();
    EXPECT_EQ(scripts.queued.size(), 1u);
    EXPECT_TRUE(logged("Overdue task skipped"));
    const auto tasks = allTasks();
    EXPECT_EQ(tasks[0].Date, kDay);
    EXPECT_EQ(tasks[0].Time, timeFromHMS(12, 0, 0));
    // The skipped occurrence is kept in history as such.
    const auto skipped =
        std::find_if(tasks.begin(), tasks.end(), [](const ScheduleRecord& t) { return t.Skipped; });
    ASSERT_NE(skipped, tasks.end());
    EXPECT_EQ(skipped->Description, "(Skipped) Hourly");
}

TEST_F(DispatcherTest, MissedTaskAndConfirmationQuestions) {
    ScheduleRecord missed = daily("Backup", kDay - 3, timeFromHMS(8, 0, 0));
    missed.Warn = 1;
    missed.TaskType = "Run Program";
    missed.Command = "N/A";
    addTask(missed);
    ui.answers = {false};
    dispatcher().checkDueTask();
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].title, "Missed Task");
    EXPECT_EQ(ui.shown[0].text, "Backup was not run.  Run it now?");
    EXPECT_TRUE(logged("Missed task skipped"));
    EXPECT_TRUE(scripts.queued.empty());

    ScheduleRecord confirm = daily("Report", kDay, timeFromHMS(8, 30, 0));
    confirm.UserSkip = 1;
    confirm.TaskType = "Run Program";
    confirm.Command = "N/A";
    const int id = addTask(confirm);
    ui.answers = {true};
    dispatcher().checkDueTask();
    EXPECT_EQ(ui.shown.back().title, "Confirm Task");
    EXPECT_EQ(ui.shown.back().text, "Report is due to run.  Run it now?");
    EXPECT_EQ(scripts.queued, std::vector<int>{id});
}

TEST_F(DispatcherTest, RepeatingTaskLeavesOneHistoryCopyPerRun) {
    ScheduleRecord r = daily("Water plants", kDay, timeFromHMS(7, 0, 0));
    r.AdvanceWarnDate = kDay;
    r.AdvanceWarnTime = timeFromHMS(6, 30, 0);
    const int id = addTask(r);
    for (int run = 0; run < 3; ++run) {
        clock.set({kDay + run, timeFromHMS(7, 0, 5)});
        dispatcher().checkDueTask();
    }
    const auto tasks = allTasks();
    ASSERT_EQ(tasks.size(), 4u);
    EXPECT_EQ(tasks[0].ID, id);
    EXPECT_EQ(tasks[0].Date, kDay + 3);
    // The warning keeps its distance to the task.
    EXPECT_EQ(tasks[0].AdvanceWarnDate, kDay + 3);
    EXPECT_EQ(tasks[0].AdvanceWarnTime, timeFromHMS(6, 30, 0));
    for (int i = 1; i <= 3; ++i) {
        EXPECT_TRUE(tasks[static_cast<std::size_t>(i)].Completed &&
                    tasks[static_cast<std::size_t>(i)].Disabled);
        EXPECT_EQ(tasks[static_cast<std::size_t>(i)].Date, kDay + i - 1);
    }
}

TEST_F(DispatcherTest, OnceTaskWithoutHistoryDisappearsWithItsSteps) {
    ScheduleRecord r = daily("One-off", kDay, timeFromHMS(8, 0, 0));
    r.ScheduleType = "Once";
    r.NoHistory = 1;
    const int id = addTask(r);
    Table<ScriptingRecord> scr(ds, tables::Scripting());
    ASSERT_EQ(scr.open(), Level::Benign);
    for (int i = 0; i < 3; ++i) {
        scr.rec = {};
        scr.rec.ID = id;
        scr.rec.Action = "Comment";
        ASSERT_EQ(scr.insert(), Level::Benign);
    }
    dispatcher().checkDueTask();
    EXPECT_TRUE(allTasks().empty());
    EXPECT_EQ(scr.recordCount(), 0);

    // Without NoHistory a finished "Once" task stays as its own history.
    r.NoHistory = 0;
    addTask(r);
    dispatcher().checkDueTask();
    const auto tasks = allTasks();
    ASSERT_EQ(tasks.size(), 1u);
    EXPECT_TRUE(tasks[0].Completed && tasks[0].Disabled);
    EXPECT_EQ(tasks[0].Date, kDay);
}

TEST_F(DispatcherTest, OverflowingTimeIsCarriedIntoTheDateFirst) {
    addTask(daily("Late", kDay - 1, 8640500));
    dispatcher().checkDueTask();
    auto tasks = allTasks();
    ASSERT_EQ(tasks.size(), 1u);
    EXPECT_EQ(tasks[0].Date, kDay);
    EXPECT_EQ(tasks[0].Time, 500);
    dispatcher().checkDueTask(); // now it is performed
    EXPECT_EQ(allTasks().size(), 2u);
}

TEST_F(DispatcherTest, InactiveDispatcherPerformsNothing) {
    settings.StartUpActive = false;
    addTask(daily("Anything", kDay - 1, timeFromHMS(8, 0, 0)));
    for (int i = 0; i < 8; ++i)
        dispatcher().tick();
    EXPECT_EQ(dispatcher().title(), "Quandrel 2000 (Inactive)");
    EXPECT_EQ(dispatcher().frameIcon(), "~blank.ico");
    EXPECT_EQ(allTasks().size(), 1u);
}

TEST_F(DispatcherTest, AdvanceWarningIsGivenOnce) {
    ScheduleRecord r = daily("Dentist", kDay + 1, timeFromHMS(14, 0, 0));
    r.TaskType = "Display Message";
    r.Message = "Bring the card";
    r.AdvanceWarnDate = kDay;
    r.AdvanceWarnTime = timeFromHMS(8, 0, 0);
    addTask(r);
    addTask(daily("No warning", kDay + 1, timeFromHMS(9, 0, 0)));
    dispatcher().checkAdvanceWarnings();
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].title, "Advanced Warning: Dentist");
    EXPECT_EQ(ui.shown[0].text, formatDate(kDay + 1, "@d3") + " " + formatTime(timeFromHMS(14, 0, 0), "@t3") +
                                    "\r\n\r\nBring the card");
    EXPECT_TRUE(logged("Advanced Warning"));
    dispatcher().checkAdvanceWarnings();
    EXPECT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(allTasks()[0].AdvanceWarned, 1);
}

TEST_F(DispatcherTest, DateJumpWarnsOnceAndStartsTheBackup) {
    writeScript("klvback", "echo \"$@\" >> \"" + (dir / "backup-calls").string() + "\"");
    dispatcher();
    clock.set({kDay + 5, timeFromHMS(12, 0, 0)});
    dispatcher().watchDateAndExitCodes();
    dispatcher().watchDateAndExitCodes();
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].title, "Warning");
    EXPECT_EQ(ui.shown[0].text.rfind("Warning!\r\rYou have set the system date forward more than 3 days.", 0),
              0u);
    EXPECT_EQ(dispatcher().lastCheckDate(), kDay + 5);
    for (int i = 0; i < 200 && qdtest::readFile(dir / "backup-calls").empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(qdtest::readFile(dir / "backup-calls"), "QD97.TPS\n");

    // Two days ahead is accepted silently, and the daily step follows the date.
    clock.set({kDay + 6, timeFromHMS(2, 30, 0)});
    dispatcher().tick();
    EXPECT_EQ(dispatcher().lastCheckDate(), kDay + 6);
}

TEST_F(DispatcherTest, ExitCodesOfStartedProgramsAreLogged) {
    settings.LogEvents = true;
    settings.LogExitCodes = true;
    ProgramStartRequest r;
    r.command = "sh -c \"exit 3\"";
    const StartOutcome o = exec.startProgram(r);
    ASSERT_TRUE(o.started);
    launcher.wait(o.pid, 5000);
    dispatcher().watchDateAndExitCodes();
    EXPECT_TRUE(logged("Code 3 for sh -c \"exit 3\""));
    EXPECT_TRUE(logged("Program Exit"));
    EXPECT_TRUE(exec.startedPrograms().empty());
}

TEST_F(DispatcherTest, EndedProgramsLeaveTheStartedListEvenWhenLoggingWasTurnedOff) {
    settings.LogEvents = true;
    settings.LogExitCodes = true;
    ProgramStartRequest r;
    r.command = "sh -c \"exit 4\"";
    const StartOutcome o = exec.startProgram(r);
    ASSERT_TRUE(o.started);
    ASSERT_EQ(exec.startedPrograms().size(), 1u);
    settings.LogExitCodes = false;
    launcher.wait(o.pid, 5000);
    dispatcher().watchDateAndExitCodes();
    EXPECT_TRUE(exec.startedPrograms().empty());
    EXPECT_FALSE(logged("Code 4"));
}
