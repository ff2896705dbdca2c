#include "users/Housekeeping.h"

#include "data/Calendar.h"
#include "data/StoreFixture.h"
#include "data/TableDefs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using namespace qd;

namespace {

class CancellingProgress final : public Progress {
public:
    void start(const std::string& title) override { titles.push_back(title); }
    bool update(int, const std::string&) override { return ++updates < cancelAt; }
    void finish() override { ++finished; }

    std::vector<std::string> titles;
    int updates = 0;
    int cancelAt = 1 << 30;
    int finished = 0;
};

class HousekeepingTest : public qdtest::StoreTest {
protected:
    std::int32_t addTask(const char* name, bool disabled, bool completed, int steps = 1, Date date = 0,
                         Time time = 0) {
        Table<ScheduleRecord> t(*ds, tables::Schedule());
        EXPECT_EQ(t.open(), Level::Benign);
        t.rec = {};
        t.rec.Description = name;
        t.rec.TaskType = "Display Message";
        t.rec.Disabled = disabled;
        t.rec.Completed = completed;
        t.rec.Date = date ? date : dateFromMDY(5, 1, 2026);
        t.rec.Time = time ? time : timeFromHMS(9, 0, 0);
        EXPECT_EQ(t.insert(), Level::Benign);
        for (int i = 0; i < steps; ++i)
            addStep(t.rec.ID);
        return t.rec.ID;
    }
    void addStep(std::int32_t taskId) {
        Table<ScriptingRecord> s(*ds, tables::Scripting());
        EXPECT_EQ(s.open(), Level::Benign);
        s.rec = {};
        s.rec.ID = taskId;
        s.rec.Action = "Wait";
        EXPECT_EQ(s.insert(), Level::Benign);
    }
    void addUserRow(std::int32_t taskId, const char* user) {
        Table<QDUSDRecord> u(*ds, tables::QDUSD());
        EXPECT_EQ(u.open(), Level::Benign);
        u.rec = {};
        u.rec.ID = taskId;
        u.rec.User = user;
        EXPECT_EQ(u.insert(), Level::Benign);
    }
    template <class R> std::vector<R> rows(const TableDef& def) {
        Table<R> t(*ds, def);
        EXPECT_EQ(t.open(), Level::Benign);
        t.setOrder(0);
        std::vector<R> out;
        while (t.next() == Level::Benign)
            out.push_back(t.rec);
        return out;
    }
    std::vector<std::string> taskNames() {
        std::vector<std::string> names;
        for (const auto& r : rows<ScheduleRecord>(tables::Schedule()))
            names.push_back(r.Description);
        std::sort(names.begin(), names.end());
        return names;
    }
    // Script steps per task ID.
    std::map<std::int32_t, int> stepsByTask() {
        std::map<std::int32_t, int> out;
        for (const auto& s : rows<ScriptingRecord>(tables::Scripting()))
            ++out[s.ID];
        return out;
    }
    std::string integrity() { return ds->fileOf(tables::Schedule())->integrityCheck(); }
};

} // namespace

TEST_F(HousekeepingTest, DisabledTasksGoWithTheirStepsAndUserRowsAndOthersStay) {
    const auto disabled = addTask("disabled", true, false, 2);
    const auto both = addTask("disabled completed", true, true);
    const auto completed = addTask("completed", false, true);
    const auto active = addTask("active", false, false);
    addUserRow(disabled, "ann");
    addUserRow(active, "ann");

    CancellingProgress progress;
    const PassResult r = ClearDisabledTasks(*ds, false, &progress);
    EXPECT_TRUE(r.done());
    EXPECT_EQ(r.changed, 2);
    EXPECT_EQ(taskNames(), (std::vector<std::string>{"active", "completed"}));
    EXPECT_EQ(stepsByTask(), (std::map<std::int32_t, int>{{completed, 1}, {active, 1}}));
    const auto users = rows<QDUSDRecord>(tables::QDUSD());
    ASSERT_EQ(users.size(), 1u);
    EXPECT_EQ(users[0].ID, active);
    EXPECT_EQ(progress.titles, std::vector<std::string>{kRemovingDisabledTitle});
    EXPECT_EQ(progress.finished, 1);
    (void)both;
}

TEST_F(HousekeepingTest, CompletedPassKeepsACompletedTaskThatIsNotDisabled) {
    addTask("disabled", true, false);
    const auto both = addTask("disabled completed", true, true, 3);
    addTask("completed", false, true);
    addTask("active", false, false);

    const PassResult r = ClearDisabledTasks(*ds, true, nullptr);
    EXPECT_TRUE(r.done());
    EXPECT_EQ(r.changed, 1);
    EXPECT_EQ(taskNames(), (std::vector<std::string>{"active", "completed", "disabled"}));
    EXPECT_EQ(stepsByTask().count(both), 0u);
    // Run again: nothing more to do.
    EXPECT_EQ(ClearDisabledTasks(*ds, true, nullptr).changed, 0);
}

TEST_F(HousekeepingTest, CancelledPassKeepsWholeBatchesAndEveryRemainingTaskWithItsSteps) {
    const int n = 3 * kHousekeepingBatch + 17;
    Table<ScheduleRecord> fill(*ds, tables::Schedule());
    ASSERT_EQ(fill.open(), Level::Benign);
    ASSERT_EQ(fill.file()->begin(), kStoreOk);
    for (int i = 0; i < n; ++i)
        addTask("old", true, true, 1, dateFromMDY(1, 1, 2020) + i);
    ASSERT_EQ(fill.file()->commit(), kStoreOk);
    addTask("keep", false, false, 2);

    CancellingProgress progress;
    progress.cancelAt = 2; // the update after the first batch asks to stop
    const PassResult r = ClearDisabledTasks(*ds, false, &progress);
    EXPECT_EQ(r.outcome, PassOutcome::Cancelled);
    EXPECT_EQ(r.changed, kHousekeepingBatch);
    EXPECT_EQ(progress.finished, 1);

    const auto tasks = rows<ScheduleRecord>(tables::Schedule());
    EXPECT_EQ(tasks.size(), static_cast<std::size_t>(n - kHousekeepingBatch + 1));
    // No step lost its task and no remaining task lost its steps.
    auto steps = stepsByTask();
    for (const auto& t : tasks) {
        EXPECT_EQ(steps[t.ID], t.Description == "keep" ? 2 : 1) << t.ID;
        steps.erase(t.ID);
    }
    EXPECT_TRUE(steps.empty());
    EXPECT_EQ(integrity(), "ok");

    // Finishing later removes the rest.
    EXPECT_EQ(ClearDisabledTasks(*ds, false, nullptr).changed, n - kHousekeepingBatch);
    EXPECT_EQ(taskNames(), std::vector<std::string>{"keep"});
}

TEST_F(HousekeepingTest, ToDoListIsEmptiedIncludingBlankItems) {
    Table<TodoRecord> t(*ds, tables::Todo());
    ASSERT_EQ(t.open(), Level::Benign);
    for (const char* item : {"buy milk", "", "call Bob"}) {
        t.rec = {};
        t.rec.ToDo = item;
        ASSERT_EQ(t.insert(), Level::Benign);
    }
    const PassResult r = ClearToDoList(*ds, nullptr);
    EXPECT_TRUE(r.done());
    EXPECT_EQ(r.changed, 3);
    EXPECT_EQ(t.recordCount(), 0);
}

TEST_F(HousekeepingTest, VerifyLinksRemovesOnlyStepsWithoutATask) {
    const auto kept = addTask("kept", false, false, 2);
    for (int i = 0; i < 3; ++i)
        addStep(kept + 40); // a task that no longer exists
    addStep(0);
    const auto later = addTask("later", false, false, 1);

    PassResult r = VerifyLinks(*ds, nullptr);
    EXPECT_TRUE(r.done());
    EXPECT_EQ(r.changed, 4);
    EXPECT_EQ(stepsByTask(), (std::map<std::int32_t, int>{{kept, 2}, {later, 1}}));

    // Every step has its task now: a second run changes nothing.
    r = VerifyLinks(*ds, nullptr);
    EXPECT_EQ(r.changed, 0);
    EXPECT_EQ(r.examined, 3);
    EXPECT_EQ(stepsByTask(), (std::map<std::int32_t, int>{{kept, 2}, {later, 1}}));
}

TEST_F(HousekeepingTest, AssigningTheUserTwiceAddsNoDuplicateRowsAndCopiesTheSchedule) {
    const Date d = dateFromMDY(6, 2, 2026);
    const Time tm = timeFromHMS(14, 30, 0);
    const auto a = addTask("a", true, true, 0, d, tm);
    const auto b = addTask("b", false, false, 0);
    // Without a time there is no schedule to copy.
    {
        Table<ScheduleRecord> t(*ds, tables::Schedule());
        ASSERT_EQ(t.open(), Level::Benign);
        t.rec = {};
        t.rec.Description = "undated";
        t.rec.Date = d;
        ASSERT_EQ(t.insert(), Level::Benign);
    }
    {
        Table<ScheduleRecord> t(*ds, tables::Schedule());
        ASSERT_EQ(t.open(), Level::Benign);
        t.rec.ID = a;
        ASSERT_EQ(t.fetch("SCH:KeyID"), Level::Benign);
        t.rec.LastRunDate = d - 1;
        t.rec.SkipNextTime = 1;
        t.rec.AdvanceWarnDate = d - 2;
        t.rec.AdvanceWarned = 1;
        t.rec.Skipped = 1;
        ASSERT_EQ(t.update(), Level::Benign);
    }
    addUserRow(b, "bob"); // another user's row stays as it is

    PassResult r = AssignCurrentUserToAllTasks(*ds, "ann", nullptr);
    EXPECT_TRUE(r.done());
    EXPECT_EQ(r.changed, 2);
    r = AssignCurrentUserToAllTasks(*ds, "ann", nullptr);
    EXPECT_TRUE(r.done());
    EXPECT_EQ(r.changed, 0);

    auto users = rows<QDUSDRecord>(tables::QDUSD());
    ASSERT_EQ(users.size(), 3u);
    const auto row = std::find_if(users.begin(), users.end(),
                                  [&](const QDUSDRecord& u) { return u.ID == a && u.User == "ann"; });
    ASSERT_NE(row, users.end());
    EXPECT_EQ(row->Date, d);
    EXPECT_EQ(row->Time, tm);
    EXPECT_EQ(row->LastRunDate, 0);
    EXPECT_EQ(row->SkipNextTime, 1);
    EXPECT_EQ(row->AdvanceWarnDate, d - 2);
    EXPECT_EQ(row->AdvanceWarned, 1);
    EXPECT_EQ(row->Disabled, 1);
    EXPECT_EQ(row->Completed, 1);
    EXPECT_EQ(row->Skipped, 1);
    EXPECT_EQ(std::count_if(users.begin(), users.end(), [](const QDUSDRecord& u) { return u.User == "bob"; }),
              1);

    // No current user: nothing is added.
    EXPECT_EQ(AssignCurrentUserToAllTasks(*ds, "", nullptr).changed, 0);
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(HousekeepingTest, WindowSettingsAreForgottenWhateverTheFileIsCalled) {
    qdtest::writeFile(dir / "Position.ini", "[Main]\nX=10\n");
    std::string error;
    EXPECT_TRUE(ResetWindowSettings(dir.path(), error)) << error;
    EXPECT_FALSE(std::filesystem::exists(dir / "Position.ini"));
    // Nothing to remove is no failure either.
    EXPECT_TRUE(ResetWindowSettings(dir.path(), error)) << error;
}
