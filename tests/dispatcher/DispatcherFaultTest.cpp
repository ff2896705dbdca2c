// The dispatcher's advance of a due task (its next occurrence and the history
// copy of the one performed) under failing reads, writes, syncs and locks and a
// full disk.
#include "DispatcherFixture.h"
#include "support/StoreFaults.h"
#include "support/TempDir.h"

#include <algorithm>

#include <iostream>

using namespace qd;

namespace {

constexpr Date kDay = 82200;

ScheduleRecord dueDaily() {
    ScheduleRecord r{};
    r.Description = "Water plants";
    r.TaskType = "None";
    r.ScheduleType = "Custom";
    r.Every = 1;
    r.EveryType = "day(s)";
    r.Date = kDay;
    r.Time = timeFromHMS(7, 0, 0);
    return r;
}

} // namespace

namespace {

// A dispatcher with its parts over an open data set, as the program has them.
struct Ticker {
    explicit Ticker(DataSet& ds, bool logEvents = false)
        : clock({kDay, timeFromHMS(7, 0, 5)}),
          log(EventLogConfig{ds.folder(), "d3", logEvents, false}, &clock),
          exec(ds, settings, frame, *ds.errors().userInterface(), log, launcher, clock),
          dispatcher(ds, settings, frame, *ds.errors().userInterface(), log, exec, scripts, clock) {
        exec.setScriptHost(&scripts);
        dispatcher.open();
    }
    ManualClock clock;
    EventLog log;
    ProgramSettings settings = [] {
        ProgramSettings s;
        s.UseQDMsg = false;
        return s;
    }();
    qdtest::RecordingFrame frame;
    qdtest::CountingScripts scripts;
    PosixProcess launcher;
    TaskExecution exec;
    Dispatcher dispatcher;
};

} // namespace

TEST(DispatcherFaults, AdvancingADueTaskWithItsHistoryCopyIsAllOrNothing) {
    qdtest::FaultOperation op;
    op.name = "dispatcher advance";
    op.prepare = [](DataSet& ds) {
        Table<ScheduleRecord> t(ds, tables::Schedule());
        ASSERT_EQ(t.open(), Level::Benign);
        t.rec = dueDaily();
        ASSERT_EQ(t.insert(), Level::Benign);
        t.rec = dueDaily();
        t.rec.Description = "Later task";
        t.rec.Date = kDay + 5;
        ASSERT_EQ(t.insert(), Level::Benign);
    };
    std::size_t mostShown = 0;
    op.run = [&mostShown](DataSet& ds) {
        auto& ui = dynamic_cast<ScriptedUserInterface&>(*ds.errors().userInterface());
        Ticker t(ds);
        t.dispatcher.checkDueTask();
        mostShown = std::max(mostShown, ui.shown.size());
        // Success is what the user sees: no message.
        return ui.shown.empty();
    };
    const qdtest::FaultSweep s = qdtest::sweepFaults(op);
    for (const auto& p : s.problems)
        ADD_FAILURE() << p;
    EXPECT_GT(s.runs, 0);
    EXPECT_EQ(s.runs, s.completed + s.unchanged + s.reportedButKept);
    EXPECT_LE(mostShown, 1U) << "one failed check shows one message";
    std::cout << "[faults] " << op.name << ": " << s.runs << " runs, " << s.injected << " faults injected ("
              << s.calls.reads << " reads, " << s.calls.writes << " writes, " << s.calls.syncs << " syncs, "
              << s.calls.locks << " locks each, writes also as disk full); " << s.completed << " completed, "
              << s.unchanged << " left unchanged, " << s.reportedButKept << " reported failed but kept\n";
}

// A store that keeps failing: every check tries the task again and logs that it
// was not performed, the message comes once, and again only after a check that
// worked in between.
TEST(DispatcherFaults, AStoreThatKeepsFailingShowsItsMessageOncePerEpisode) {
    qdtest::FaultVfs::install();
    for (qdtest::FaultKind kind : {qdtest::FaultKind::Write, qdtest::FaultKind::DiskFull,
                                   qdtest::FaultKind::Sync, qdtest::FaultKind::Lock}) {
        SCOPED_TRACE(qdtest::toString(kind));
        qdtest::TempDir dir;
        ScriptedUserInterface ui;
        ErrorClass errors(&ui);
        DataSet ds(dir.path(), errors);
        {
            Table<ScheduleRecord> t(ds, tables::Schedule());
            ASSERT_EQ(t.open(), Level::Benign);
            t.rec = dueDaily();
            ASSERT_EQ(t.insert(), Level::Benign);
        }
        Ticker t(ds, true);
        const std::string before = qdtest::dumpDataSet(dir.path());
        qdtest::FaultVfs::arm(kind, 1, true);
        for (int i = 0; i < 5; ++i) {
            t.dispatcher.checkDueTask();
            t.clock.advanceSeconds(1);
        }
        qdtest::FaultVfs::disarm();
        const auto notPerformed = [&] {
            const auto lines = readLogTail(dir.path()).lines;
            return std::count_if(lines.begin(), lines.end(), [](const std::string& l) {
                return l.find("Task not performed") != std::string::npos;
            });
        };
        EXPECT_EQ(qdtest::dumpDataSet(dir.path()), before);
        EXPECT_EQ(qdtest::checkDataSet(dir.path()), "ok");
        EXPECT_EQ(notPerformed(), 5);
        ASSERT_EQ(ui.shown.size(), 1U);
        EXPECT_EQ(ui.shown[0].title, errors.last().title);

        // The store works again: the task is performed and advanced.
        t.dispatcher.checkDueTask();
        EXPECT_EQ(ui.shown.size(), 1U);
        Table<ScheduleRecord> sch(ds, tables::Schedule());
        ASSERT_EQ(sch.open(), Level::Benign);
        sch.rec.ID = 1;
        ASSERT_EQ(sch.fetch("SCH:KeyID"), Level::Benign);
        EXPECT_EQ(sch.rec.Date, kDay + 1);

        // A new run of failures is shown again, once.
        t.clock.set({kDay + 1, timeFromHMS(7, 0, 5)});
        qdtest::FaultVfs::arm(kind, 1, true);
        for (int i = 0; i < 3; ++i)
            t.dispatcher.checkDueTask();
        qdtest::FaultVfs::disarm();
        EXPECT_EQ(ui.shown.size(), 2U);
        EXPECT_EQ(notPerformed(), 8);
    }
}

// Snoozing a script task writes the copy and its steps: both or neither, and a
// failure is never reported as a new task.
TEST(DispatcherFaults, SnoozingAScriptTaskKeepsTheCopyAndItsStepsTogether) {
    qdtest::FaultOperation op;
    op.name = "snooze with script steps";
    op.prepare = [](DataSet& ds) {
        Table<ScheduleRecord> t(ds, tables::Schedule());
        ASSERT_EQ(t.open(), Level::Benign);
        t.rec = dueDaily();
        t.rec.TaskType = "Script";
        ASSERT_EQ(t.insert(), Level::Benign);
        Table<ScriptingRecord> steps(ds, tables::Scripting());
        ASSERT_EQ(steps.open(), Level::Benign);
        for (int i = 1; i <= 3; ++i) {
            steps.rec = {};
            steps.rec.ID = t.rec.ID;
            steps.rec.Sequence = i;
            steps.rec.Action = "Pause";
            ASSERT_EQ(steps.insert(), Level::Benign);
        }
    };
    op.run = [](DataSet& ds) {
        Table<ScheduleRecord> t(ds, tables::Schedule());
        if (t.open() != Level::Benign) return false;
        t.rec.ID = 1;
        if (t.fetch("SCH:KeyID") != Level::Benign) return false;
        Ticker ticker(ds);
        return ticker.exec.snoozeTask(t.rec, 30) != 0;
    };
    const qdtest::FaultSweep s = qdtest::sweepFaults(op);
    for (const auto& p : s.problems)
        ADD_FAILURE() << p;
    EXPECT_GT(s.runs, 0);
    EXPECT_EQ(s.runs, s.completed + s.unchanged + s.reportedButKept);
}
