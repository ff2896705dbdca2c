// The housekeeping passes under failing reads, writes, syncs and locks and a
// full disk: a pass over fewer records than one batch either completes or
// leaves the data as it was, with a message, and the files stay sound.
#include "data/FileManager.h"
#include "data/TableDefs.h"
#include "support/StoreFaults.h"
#include "users/Housekeeping.h"

#include <gtest/gtest.h>

using namespace qd;

namespace {

void expectSound(const qdtest::FaultSweep& s) {
    qdtest::expectAllOrNothing(s);
    EXPECT_GT(s.completed, 0);
}

// Four tasks, two of them disabled and completed, each with steps and a user
// row; two steps whose task is gone.
void mixedTasks(DataSet& ds) {
    Table<ScheduleRecord> sch(ds, tables::Schedule());
    Table<ScriptingRecord> scr(ds, tables::Scripting());
    Table<QDUSDRecord> usd(ds, tables::QDUSD());
    for (FileManager* t : std::initializer_list<FileManager*>{&sch, &scr, &usd})
        ASSERT_EQ(t->open(), Level::Benign);
    for (int task = 1; task <= 4; ++task) {
        sch.rec = {};
        sch.rec.Description = "task " + std::to_string(task);
        sch.rec.Date = 80000 + task;
        sch.rec.Time = 360001;
        sch.rec.Disabled = sch.rec.Completed = task % 2;
        ASSERT_EQ(sch.insert(), Level::Benign);
        for (int i = 0; i < 3; ++i) {
            scr.rec = {};
            scr.rec.ID = sch.rec.ID;
            scr.rec.Action = "Wait";
            ASSERT_EQ(scr.insert(), Level::Benign);
        }
        usd.rec = {};
        usd.rec.ID = sch.rec.ID;
        usd.rec.User = "bob";
        ASSERT_EQ(usd.insert(), Level::Benign);
    }
    for (int i = 0; i < 2; ++i) {
        scr.rec = {};
        scr.rec.ID = 77;
        scr.rec.Action = "Wait";
        ASSERT_EQ(scr.insert(), Level::Benign);
    }
}

} // namespace

TEST(HousekeepingFaults, RemovingCompletedTasksIsAllOrNothing) {
    expectSound(qdtest::sweepFaults({"completed tasks", mixedTasks, [](DataSet& ds) {
                                         return ClearDisabledTasks(ds, true, nullptr).done();
                                     }}));
}

TEST(HousekeepingFaults, RemovingStepsWithoutATaskIsAllOrNothing) {
    expectSound(qdtest::sweepFaults({"verify links", mixedTasks, [](DataSet& ds) {
                                         const PassResult r = VerifyLinks(ds, nullptr);
                                         return r.done() && r.changed == 2;
                                     }}));
}

TEST(HousekeepingFaults, AssigningTheUserIsAllOrNothing) {
    expectSound(qdtest::sweepFaults({"assign user", mixedTasks, [](DataSet& ds) {
                                         const PassResult r = AssignCurrentUserToAllTasks(ds, "ann", nullptr);
                                         return r.done() && r.changed == 4;
                                     }}));
}
