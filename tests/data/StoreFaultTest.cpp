// Record operations under failing reads, writes, syncs and locks and a full
// disk: each one completes or leaves the data as it was, with a message, and the
// files stay sound.
#include "data/FileManager.h"
#include "data/RelationManager.h"
#include "data/Settings.h"
#include "data/StoreTransaction.h"
#include "support/StoreFaults.h"

#include <gtest/gtest.h>

#include <iostream>

using namespace qd;
using qdtest::FaultOperation;
using qdtest::FaultSweep;

namespace {

void expectSound(const FaultSweep& s, const std::string& name) {
    qdtest::expectAllOrNothing(s);
    // The figures are part of what this test shows.
    std::cout << "[faults] " << name << ": " << s.runs << " runs, " << s.injected << " faults injected ("
              << s.calls.reads << " reads, " << s.calls.writes << " writes, " << s.calls.syncs << " syncs, "
              << s.calls.locks << " locks each, writes also as disk full); " << s.completed << " completed, "
              << s.unchanged << " left unchanged, " << s.reportedButKept << " reported failed but kept\n";
}

// Two tasks, each with steps, user records and contact links.
void tasksWithChildren(DataSet& ds) {
    Table<ScheduleRecord> sch(ds, tables::Schedule());
    Table<ScriptingRecord> scr(ds, tables::Scripting());
    Table<QDUSDRecord> usd(ds, tables::QDUSD());
    Table<QDSCDRecord> scd(ds, tables::QDSCD());
    for (FileManager* t : std::initializer_list<FileManager*>{&sch, &scr, &usd, &scd})
        ASSERT_EQ(t->open(), Level::Benign);
    for (int task = 1; task <= 2; ++task) {
        sch.rec = {};
        sch.rec.Description = "task " + std::to_string(task);
        ASSERT_EQ(sch.insert(), Level::Benign);
        for (int i = 1; i <= 5; ++i) {
            scr.rec = {};
            scr.rec.ID = sch.rec.ID;
            scr.rec.Sequence = i;
            scr.rec.Action = "Wait";
            ASSERT_EQ(scr.insert(), Level::Benign);
        }
        usd.rec = {};
        usd.rec.ID = sch.rec.ID;
        usd.rec.User = "ann";
        ASSERT_EQ(usd.insert(), Level::Benign);
        scd.rec = {};
        scd.rec.ID = sch.rec.ID;
        scd.rec.ClientID = 5;
        ASSERT_EQ(scd.insert(), Level::Benign);
    }
}

} // namespace

TEST(StoreFaults, InsertingATaskWithItsStepsIsAllOrNothing) {
    FaultOperation op;
    op.name = "insert with relations";
    op.prepare = tasksWithChildren;
    op.run = [](DataSet& ds) {
        Table<ScheduleRecord> sch(ds, tables::Schedule());
        Table<ScriptingRecord> scr(ds, tables::Scripting());
        if (sch.open() != Level::Benign || scr.open() != Level::Benign) return false;
        StoreTransaction tx(sch);
        if (!tx.started()) return false;
        sch.rec = {};
        sch.rec.Description = "new task";
        if (sch.insert() != Level::Benign) return false;
        for (int i = 1; i <= 3; ++i) {
            scr.rec = {};
            scr.rec.ID = sch.rec.ID;
            scr.rec.Sequence = i;
            scr.rec.Action = "Send Keys";
            if (scr.insert() != Level::Benign) return false;
        }
        return tx.commit() == Level::Benign;
    };
    expectSound(qdtest::sweepFaults(op), op.name);
}

TEST(StoreFaults, DeletingATaskWithItsChildrenIsAllOrNothing) {
    FaultOperation op;
    op.name = "cascade delete";
    op.prepare = tasksWithChildren;
    op.run = [](DataSet& ds) {
        Table<ScheduleRecord> sch(ds, tables::Schedule());
        if (sch.open() != Level::Benign) return false;
        sch.rec.ID = 1;
        if (sch.fetch("SCH:KeyID") != Level::Benign) return false;
        return RelationManager(sch).deleteRecord() == Level::Benign;
    };
    expectSound(qdtest::sweepFaults(op), op.name);
}

TEST(StoreFaults, ImportingManyRecordsInOneTransactionIsAllOrNothing) {
    FaultOperation op;
    op.name = "bulk import";
    op.prepare = tasksWithChildren;
    op.run = [](DataSet& ds) {
        Table<ScriptingRecord> scr(ds, tables::Scripting());
        if (scr.open() != Level::Benign) return false;
        StoreTransaction tx(scr);
        if (!tx.started()) return false;
        for (int i = 1; i <= 200; ++i) {
            scr.rec = {};
            scr.rec.ID = 2;
            scr.rec.Sequence = 100 + i;
            scr.rec.Action = "Send Keys";
            scr.rec.Keystrokes = "imported line " + std::to_string(i) + std::string(60, 'x');
            if (scr.insert() != Level::Benign) return false;
        }
        return tx.commit() == Level::Benign;
    };
    expectSound(qdtest::sweepFaults(op), op.name);
}

TEST(StoreFaults, WritingASettingKeepsTheOldValueOrTheNew) {
    FaultOperation op;
    op.name = "settings write";
    op.prepare = [](DataSet& ds) {
        SettingsStore store(ds);
        ASSERT_TRUE(store.write("DateFormat", "d3"));
        ASSERT_TRUE(store.write("LogEvents", "1"));
    };
    op.run = [](DataSet& ds) {
        SettingsStore store(ds);
        return store.write("DateFormat", "d17");
    };
    expectSound(qdtest::sweepFaults(op), op.name);
}
