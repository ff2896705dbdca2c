#include "schedule/BatchOperations.h"

#include "data/Clock.h"
#include "data/EventLog.h"
#include "data/StoreFixture.h"
#include "data/TableDefs.h"
#include "schedule/Holidays.h"
#include "schedule/Recurrence.h"
#include "schedule/ScheduleTables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

using namespace qd;

namespace {

Date dmy(int d, int m, int y) {
    return dateFromMDY(m, d, y);
}
Time hm(int h, int m) {
    return timeFromHMS(h, m, 0);
}

const Date kToday = dmy(10, 6, 2026);

ScheduleRecord daily(Date d, Time t, const char* name = "Daily") {
    ScheduleRecord r;
    r.ScheduleType = "Custom";
    r.Every = 1;
    r.EveryType = "day(s)";
    r.TaskType = "Display Message";
    r.Description = name;
    r.Date = d;
    r.Time = t;
    return r;
}

class RecordingProgress final : public Progress {
public:
    void start(const std::string& title) override { lines.push_back("start " + title); }
    bool update(int, const std::string& line) override {
        lines.push_back(line);
        return ++updates < cancelAfter;
    }
    void finish() override { lines.push_back("finish"); }

    std::vector<std::string> lines;
    int updates = 0;
    int cancelAfter = 1 << 30;
};

class BatchTest : public qdtest::StoreTest {
protected:
    BatchTest() : clock(Moment{kToday, hm(10, 0)}) {}

    std::int32_t add(const ScheduleRecord& r) {
        Table<ScheduleRecord> t(*ds, tables::Schedule());
        EXPECT_EQ(t.open(), Level::Benign);
        t.rec = r;
        EXPECT_EQ(t.insert(), Level::Benign);
        return t.rec.ID;
    }
    ScheduleRecord task(std::int32_t id) {
        ScheduleRecord r;
        EXPECT_TRUE(TableTaskStore(*ds).fetchTask(id, r)) << id;
        return r;
    }
    template <class R> std::vector<R> rows(DataSet& data, const TableDef& def, const char* key) {
        Table<R> t(data, def);
        EXPECT_EQ(t.open(), Level::Benign);
        t.setOrder(def.findKey(key));
        std::vector<R> out;
        while (t.next() == Level::Benign)
            out.push_back(t.rec);
        return out;
    }
    std::vector<ScheduleRecord> workRows() {
        return rows<ScheduleWorkFileRecord>(*ds, tables::ScheduleWorkFile(), "SCW:KeyID");
    }
    long long count(const TableDef& def) {
        GenericTable t(*ds, def);
        EXPECT_EQ(t.open(), Level::Benign);
        return t.recordCount();
    }
    int messagesTitled(const std::string& title) const {
        return static_cast<int>(
            std::count_if(ui.shown.begin(), ui.shown.end(), [&](const auto& s) { return s.title == title; }));
    }

    ManualClock clock;
};

// --- work file -------------------------------------------------------------------------

TEST_F(BatchTest, WorkfileHoldsOnlyTasksDatedInTheRange) {
    const Date day = kToday + 1;
    add(daily(day, hm(9, 0), "In range"));
    add(daily(day - 1, hm(9, 0), "Before the range"));
    ScheduleRecord once = daily(day, hm(14, 0), "Once");
    once.ScheduleType = "Once";
    const std::int32_t onceId = add(once);
    add(daily(day + 1, hm(9, 0), "After the range"));

    ASSERT_TRUE(CreateWorkfile(*ds, day, day, ui, clock, nullptr));
    const auto work = workRows();
    ASSERT_EQ(work.size(), 2u);
    EXPECT_EQ(work[0].ID, 1);
    EXPECT_EQ(work[0].Description, "In range");
    EXPECT_EQ(work[0].Date, day);
    EXPECT_EQ(work[0].Time, hm(9, 0));
    EXPECT_EQ(work[1].ID, 2);
    EXPECT_EQ(work[1].Description, "Once");
    EXPECT_EQ(work[1].Completed, 0);
    // The task table itself is never written.
    EXPECT_EQ(task(onceId).Completed, 0);
    EXPECT_EQ(task(onceId).Date, day);
}

TEST_F(BatchTest, WorkfileKeepsCountingPastTheExpiryAndMarksThoseRowsCompleted) {
    ScheduleRecord r = daily(kToday, hm(9, 0));
    r.ExpiryDate = kToday + 2;
    r.ExpiryTime = hm(9, 0); // the occurrence at the expiry moment still counts
    add(r);
    ASSERT_TRUE(CreateWorkfile(*ds, kToday, kToday + 4, ui, clock, nullptr));
    const auto work = workRows();
    ASSERT_EQ(work.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(work[i].Date, kToday + i);
        EXPECT_EQ(work[i].Completed, i <= 2 ? 0 : 1) << i;
    }
}

TEST_F(BatchTest, WorkfileWithAnUnknownUnitGivesOneRowAndOneMessagePerDay) {
    ScheduleRecord r = daily(kToday, hm(9, 0));
    r.EveryType = "fortnight(s)";
    add(r);
    ASSERT_TRUE(CreateWorkfile(*ds, kToday, kToday + 2, ui, clock, nullptr));
    const auto work = workRows();
    ASSERT_EQ(work.size(), 3u);
    EXPECT_EQ(work[2].Date, kToday + 2);
    EXPECT_EQ(messagesTitled(kInvalidUnitsTitle), 3);
}

TEST_F(BatchTest, WorkfileOfAMinuteTaskHasARowPerMinuteNumberedInOrder) {
    ScheduleRecord r = daily(kToday, timeFromHMS(0, 0, 0));
    r.EveryType = "minute(s)";
    add(r);
    ASSERT_TRUE(CreateWorkfile(*ds, kToday, kToday, ui, clock, nullptr));
    const auto work = workRows();
    ASSERT_EQ(work.size(), 1440u);
    EXPECT_EQ(work.back().ID, 1440);
    EXPECT_EQ(work.back().Time, hm(23, 59));
    EXPECT_EQ(work[1].Time, hm(0, 1));
}

TEST_F(BatchTest, EachRunWorksOnAFreshFileThatIsRemovedAfterwards) {
    add(daily(kToday, hm(9, 0)));
    // A file under the clock's name is left alone; the run takes the next number.
    const std::string clockName = std::to_string(hm(10, 0));
    qdtest::writeFile(dir / (clockName + ".TPS"), "not ours");
    EXPECT_EQ(freshWorkfileName(*ds, clock), std::to_string(hm(10, 0) + 1));

    RecordingProgress progress;
    std::filesystem::path file;
    {
        WorkfileRun run(*ds);
        ASSERT_TRUE(run.create(kToday, kToday + 1, ui, clock, &progress));
        file = run.file();
        EXPECT_EQ(file.filename().string(), std::to_string(hm(10, 0) + 1) + ".TPS");
        EXPECT_EQ(GLO_ScheduleWorkFileName, std::to_string(hm(10, 0) + 1));
        EXPECT_TRUE(std::filesystem::exists(file));
        EXPECT_EQ(
            (rows<ScheduleWorkFileRecord>(run.dataSet(), tables::ScheduleWorkFile(), "SCW:KeyDate").size()),
            2u);
    }
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(qdtest::readFile(dir / (clockName + ".TPS")), "not ours");
    ASSERT_GE(progress.lines.size(), 6u);
    EXPECT_EQ(progress.lines[0], std::string("start ") + kEmptyWorkfileTitle);
    EXPECT_EQ(progress.lines[1], "0% Completed");
    const auto create =
        std::find(progress.lines.begin(), progress.lines.end(), std::string("start ") + kCreateWorkfileTitle);
    ASSERT_NE(create, progress.lines.end());
    EXPECT_EQ(progress.lines[progress.lines.size() - 2], "100% Completed");
    EXPECT_EQ(progress.lines.back(), "finish");
}

TEST_F(BatchTest, EmptyingAndCancelling) {
    GLO_ScheduleWorkFileName = "leftover";
    {
        Table<ScheduleWorkFileRecord> w(*ds, tables::ScheduleWorkFile());
        ASSERT_EQ(w.open(), Level::Benign);
        for (int i = 0; i < 3; ++i) {
            w.rec = {};
            ASSERT_EQ(w.insert(), Level::Benign);
        }
    }
    ASSERT_TRUE(EmptyWorkfile(*ds, nullptr));
    EXPECT_EQ(count(tables::ScheduleWorkFile()), 0);

    for (int i = 0; i < 3; ++i)
        add(daily(kToday + i, hm(9, 0)));
    RecordingProgress cancelling;
    cancelling.cancelAfter = 3; // the empty run's first update, the fill's first and one more
    EXPECT_FALSE(CreateWorkfile(*ds, kToday, kToday + 9, ui, clock, &cancelling));
    EXPECT_EQ(cancelling.lines.back(), "finish");
    EXPECT_LT(workRows().size(), 27u);
}

TEST_F(BatchTest, WorkfileStopsAtItsRowLimitWithAClearMessage) {
    ScheduleRecord r = daily(kToday, timeFromHMS(0, 0, 0));
    r.EveryType = "minute(s)";
    add(r);
    add(daily(kToday, hm(9, 0), "never reached"));
    const Date farFuture = dateFromMDY(12, 31, 9999);
    EXPECT_FALSE(CreateWorkfile(*ds, kToday, farFuture, ui, clock, nullptr, 500));
    EXPECT_EQ(workRows().size(), 500u);
    ASSERT_EQ(messagesTitled(kWorkfileLimitTitle), 1);
    EXPECT_EQ(ui.shown.back().text, workfileLimitText(500));
    EXPECT_NE(workfileLimitText(500).find("500"), std::string::npos);
    // Within the limit the same run succeeds.
    EXPECT_TRUE(CreateWorkfile(*ds, kToday, kToday, ui, clock, nullptr, 1441));
    EXPECT_EQ(workRows().size(), 1441u);
}

TEST_F(BatchTest, WorkfileProgressMovesWhileOneTaskMakesAllTheRows) {
    ScheduleRecord r = daily(kToday, timeFromHMS(0, 0, 0));
    r.EveryType = "minute(s)";
    add(r);
    RecordingProgress progress;
    ASSERT_TRUE(CreateWorkfile(*ds, kToday, kToday + 9, ui, clock, &progress));
    const auto create =
        std::find(progress.lines.begin(), progress.lines.end(), std::string("start ") + kCreateWorkfileTitle);
    ASSERT_NE(create, progress.lines.end());
    std::vector<int> percents;
    for (auto it = create + 1; it != progress.lines.end(); ++it)
        if (it->find("% Completed") != std::string::npos) percents.push_back(std::stoi(*it));
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    const long between =
        std::count_if(percents.begin(), percents.end(), [](int p) { return p > 0 && p < 100; });
    EXPECT_GE(between, 5) << "the percentage stood still while the rows were written";
    EXPECT_EQ(percents.back(), 100);
}

// --- rescheduling ----------------------------------------------------------------------

TEST_F(BatchTest, RescheduleMovesTasksToTheirFirstOccurrenceAMinuteAfterTheMoment) {
    const std::int32_t tenOClock = add(daily(kToday - 3, hm(10, 0)));
    const std::int32_t twoPast = add(daily(kToday - 3, hm(10, 2)));
    const std::int32_t farAhead = add(daily(kToday + 30, hm(10, 0)));
    ScheduleRecord once = daily(kToday + 5, hm(8, 0));
    once.ScheduleType = "Once";
    const std::int32_t onceAhead = add(once);
    once.Date = kToday - 1;
    const std::int32_t oncePassed = add(once);

    RescheduleStats stats;
    ASSERT_TRUE(RescheduleAllTasks(*ds, kToday, hm(10, 0), ui, clock, nullptr, &stats));
    EXPECT_EQ((Moment{task(tenOClock).Date, task(tenOClock).Time}), (Moment{kToday + 1, hm(10, 0)}));
    EXPECT_EQ((Moment{task(twoPast).Date, task(twoPast).Time}), (Moment{kToday, hm(10, 2)}));
    EXPECT_EQ((Moment{task(farAhead).Date, task(farAhead).Time}), (Moment{kToday + 1, hm(10, 0)}));
    // A one-time task whose moment has passed is done with; one still ahead keeps
    // its occurrence instead of being completed unperformed.
    EXPECT_EQ(task(oncePassed).Completed, 1);
    EXPECT_EQ(task(oncePassed).Date, kToday - 1);
    EXPECT_EQ(task(onceAhead).Completed, 0);
    EXPECT_EQ(task(onceAhead).Date, kToday + 5);
    EXPECT_EQ(stats.moved, 4);
    EXPECT_EQ(stats.untouched, 1);
}

TEST_F(BatchTest, RescheduleLeavesHotKeyCompletedAndUndatedTasksAlone) {
    ScheduleRecord hotKey = daily(kToday - 3, hm(10, 0));
    hotKey.TaskType = "Hot Key";
    ScheduleRecord completed = daily(kToday - 3, hm(10, 0));
    completed.Completed = 1;
    ScheduleRecord noDate = daily(0, hm(10, 0));
    ScheduleRecord noTime = daily(kToday - 3, 0);
    std::vector<std::pair<std::int32_t, ScheduleRecord>> before;
    for (const ScheduleRecord& r : {hotKey, completed, noDate, noTime}) {
        const std::int32_t id = add(r);
        before.emplace_back(id, task(id));
    }
    RescheduleStats stats;
    ASSERT_TRUE(RescheduleAllTasks(*ds, kToday, hm(10, 0), ui, clock, nullptr, &stats));
    for (const auto& [id, was] : before)
        EXPECT_EQ(task(id), was) << id;
    EXPECT_EQ(stats.untouched, 4);
    EXPECT_EQ(stats.moved, 0);
}

TEST_F(BatchTest, CancelledRescheduleLeavesEveryTaskMovedOrAsItWas) {
    std::vector<std::pair<std::int32_t, ScheduleRecord>> before;
    for (int i = 0; i < 450; ++i) {
        const std::int32_t id = add(daily(kToday - 3 - i % 5, hm(10, i % 60)));
        before.emplace_back(id, task(id));
    }
    RecordingProgress progress;
    progress.cancelAfter = 2; // the first report after the start cancels
    RescheduleStats stats;
    EXPECT_FALSE(RescheduleAllTasks(*ds, kToday, hm(12, 0), ui, clock, &progress, &stats));
    int moved = 0;
    for (const auto& [id, was] : before) {
        const ScheduleRecord now = task(id);
        if (now == was) continue;
        ++moved;
        // Moved entirely: its occurrence after the moment, nothing else touched.
        EXPECT_GT((Moment{now.Date, now.Time}), (Moment{kToday, hm(12, 0)})) << id;
        ScheduleRecord rest = now;
        rest.Date = was.Date;
        rest.Time = was.Time;
        EXPECT_EQ(rest, was) << id;
    }
    EXPECT_EQ(moved, stats.moved);
    EXPECT_GT(moved, 0);
    EXPECT_LT(moved, 450);
    // Running it again finishes the work the same way an uninterrupted run does.
    ASSERT_TRUE(RescheduleAllTasks(*ds, kToday, hm(12, 0), ui, clock, nullptr, &stats));
    for (const auto& [id, was] : before) {
        const ScheduleRecord now = task(id);
        const Time at = was.Time;
        EXPECT_EQ((Moment{now.Date, now.Time}), (Moment{at > hm(12, 1) ? kToday : kToday + 1, at})) << id;
    }
}

TEST_F(BatchTest, RescheduleMovesATaskTheDispatcherChangedAfterTheRunStarted) {
    // The run reads each task again when it moves it: a change made meanwhile is
    // moved along, not overwritten with the copy read at the start.
    const std::int32_t id = add(daily(kToday - 3, hm(10, 0)));
    Table<ScheduleRecord> other(*ds, tables::Schedule());
    ASSERT_EQ(other.open(), Level::Benign);
    bool changed = false;
    class ChangeOnStart final : public Progress {
    public:
        explicit ChangeOnStart(std::function<void()> f) : f_(std::move(f)) {}
        void start(const std::string&) override { f_(); }
        bool update(int, const std::string&) override { return true; }
        void finish() override {}

    private:
        std::function<void()> f_;
    } change([&] {
        other.rec.ID = id;
        ASSERT_EQ(other.fetch("KeyID"), Level::Benign);
        other.rec.Description = "Changed meanwhile";
        ASSERT_EQ(other.update(), Level::Benign);
        changed = true;
    });
    ASSERT_TRUE(RescheduleAllTasks(*ds, kToday, hm(12, 0), ui, clock, &change));
    ASSERT_TRUE(changed);
    EXPECT_EQ(task(id).Description, "Changed meanwhile");
    EXPECT_EQ((Moment{task(id).Date, task(id).Time}), (Moment{kToday + 1, hm(10, 0)}));
    EXPECT_TRUE(ui.shown.empty());
}

TEST(RescheduleMoment, MustLieAtLeastAMinuteAhead) {
    const Moment now{kToday, hm(10, 0)};
    EXPECT_EQ(checkRescheduleMoment(kToday, hm(10, 1), now), "");
    EXPECT_EQ(checkRescheduleMoment(kToday, hm(10, 1) - 1, now), kRescheduleNotInFuture);
    EXPECT_EQ(checkRescheduleMoment(kToday - 1, hm(23, 0), now), kRescheduleNotInFuture);
    EXPECT_EQ(checkRescheduleMoment(kToday + 1, hm(0, 0), now), "");

    EXPECT_EQ(rescheduleDefaultMoment(Moment{0, 0}, now), (Moment{kToday, hm(10, 1)}));
    EXPECT_EQ(rescheduleDefaultMoment(Moment{kToday, hm(12, 0)}, now), (Moment{kToday, hm(12, 0)}));
    // Just before midnight the default carries into the next day.
    EXPECT_EQ(rescheduleDefaultMoment(Moment{kToday, hm(9, 0)}, Moment{kToday, timeFromHMS(23, 59, 30)}),
              (Moment{kToday + 1, timeFromHMS(0, 0, 30)}));
}

// --- history removal -------------------------------------------------------------------

class HistoryTest : public BatchTest {
protected:
    HistoryTest() : log(EventLogConfig{dir.path(), "d3", true, false}, &clock), remover(*ds, log, ui) {}

    std::int32_t addHistory(int daysAgo, bool completed, bool disabled = true) {
        ScheduleRecord r = daily(kToday - daysAgo, hm(9, 0));
        r.Disabled = disabled ? 1 : 0;
        r.Completed = completed ? 1 : 0;
        return add(r);
    }
    bool exists(std::int32_t id) {
        ScheduleRecord r;
        return TableTaskStore(*ds).fetchTask(id, r);
    }

    EventLog log;
    HistoryRemover remover;
};

TEST_F(HistoryTest, RemovesCompletedDisabledTasksOlderThanTheLimit) {
    const std::int32_t thirty = addHistory(30, true);
    const std::int32_t twentyNine = addHistory(29, true);
    const std::int32_t uncompleted = addHistory(40, false);
    const std::int32_t enabled = addHistory(40, true, false);
    {
        Table<ScriptingRecord> steps(*ds, tables::Scripting());
        ASSERT_EQ(steps.open(), Level::Benign);
        for (std::int32_t owner : {thirty, uncompleted}) {
            steps.rec = {};
            steps.rec.ID = owner;
            ASSERT_EQ(steps.insert(), Level::Benign);
        }
    }

    HistoryOptions options;
    options.historyExpires = 30;
    ASSERT_TRUE(remover.RemoveHistory(options, kToday));
    EXPECT_FALSE(exists(thirty));
    EXPECT_TRUE(exists(twentyNine));
    EXPECT_TRUE(exists(uncompleted));
    EXPECT_TRUE(exists(enabled));
    EXPECT_EQ(remover.removedCount(), 1);
    EXPECT_EQ(count(tables::Scripting()), 1) << "the removed task's steps go with it";

    options.removeUncompleted = true;
    ASSERT_TRUE(remover.RemoveHistory(options, kToday + 1));
    EXPECT_FALSE(exists(uncompleted));
    EXPECT_FALSE(exists(twentyNine)); // 30 days old by now
    EXPECT_TRUE(exists(enabled));
    EXPECT_EQ(count(tables::Scripting()), 0);
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(HistoryTest, RunsOncePerDayThenLogsAndRollsTheHolidays) {
    HistoryOptions options;
    options.historyExpires = 30;
    ASSERT_TRUE(remover.RemoveHistory(options, kToday));
    EXPECT_EQ(remover.checkedHistory(), kToday);
    EXPECT_FALSE(remover.RemoveHistory(options, kToday));
    EXPECT_FALSE(remover.RemoveHistory(options, kToday - 1));
    EXPECT_TRUE(remover.RemoveHistory(options, kToday + 1));

    EXPECT_EQ(TableSettingStore(*ds).value(kDefaultHolidaysSetting), "Y");
    EXPECT_GT(count(tables::Holidays()), 0);
    const std::string logText = qdtest::readFile(log.filePath());
    EXPECT_NE(logText.find(kHistoryLogLabel), std::string::npos);
    EXPECT_NE(logText.find(kHistoryLogText), std::string::npos);
}

TEST_F(HistoryTest, NoHistoryLimitSwitchesTheWholeCheckOff) {
    const std::int32_t old = addHistory(400, true);
    EXPECT_FALSE(remover.RemoveHistory(HistoryOptions{}, kToday));
    EXPECT_EQ(remover.checkedHistory(), 0);
    EXPECT_TRUE(exists(old));
    EXPECT_EQ(count(tables::Holidays()), 0);
    EXPECT_EQ(TableSettingStore(*ds).value(kDefaultHolidaysSetting), "");
    EXPECT_FALSE(std::filesystem::exists(log.filePath()));
}

} // namespace
