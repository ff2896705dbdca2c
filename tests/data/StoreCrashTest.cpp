// A process changing tasks is killed at random moments: the data set must open,
// pass the store's check, and hold every change the process reported committed
// and no part of a change that was not.
#include "StoreFixture.h"
#include "support/StoreFaults.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <iostream>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace qd;
using qdtest::StoreTest;

namespace {

constexpr int kChangesPerChild = 10000;

// One change: the task's description and date name the change, and a step with
// the change's number is added, both in one transaction.
bool change(Table<ScheduleRecord>& sch, Table<ScriptingRecord>& scr, int k) {
    if (sch.file()->begin() != kStoreOk) return false;
    sch.rec.ID = 1;
    bool ok = sch.fetch("SCH:KeyID") == Level::Benign;
    if (ok) {
        sch.rec.Description = "change " + std::to_string(k);
        sch.rec.Date = 80000 + k;
        ok = sch.update() == Level::Benign;
    }
    if (ok) {
        scr.rec = {};
        scr.rec.ID = 1;
        scr.rec.Sequence = k;
        scr.rec.Action = "Send Keys";
        scr.rec.Keystrokes = "step " + std::to_string(k);
        ok = scr.insert() == Level::Benign;
    }
    if (!ok) {
        sch.file()->rollback();
        return false;
    }
    return sch.file()->commit() == kStoreOk;
}

// What the data set holds: the last change and whether it is whole (the task
// names change `last` and the steps are exactly 1..last).
struct Held {
    int last = -1;
    bool whole = false;
    std::string why;
};

Held readHeld(DataSet& ds) {
    Held h;
    Table<ScheduleRecord> sch(ds, tables::Schedule());
    Table<ScriptingRecord> scr(ds, tables::Scripting());
    if (sch.open() != Level::Benign || scr.open() != Level::Benign) {
        h.why = "tables do not open";
        return h;
    }
    sch.rec.ID = 1;
    if (sch.fetch("SCH:KeyID") != Level::Benign) {
        h.why = "task missing";
        return h;
    }
    const std::string d = sch.rec.Description;
    h.last = d == "start" ? 0 : std::stoi(d.substr(7));
    int expected = 1;
    scr.setOrder(0);
    while (scr.next() == Level::Benign) {
        if (scr.rec.Sequence != expected) {
            h.why = "step " + std::to_string(expected) + " missing or out of place";
            return h;
        }
        ++expected;
    }
    if (expected - 1 != h.last) {
        h.why = "task says " + std::to_string(h.last) + ", steps go to " + std::to_string(expected - 1);
        return h;
    }
    if (h.last > 0 && sch.rec.Date != 80000 + h.last) {
        h.why = "date does not match the description";
        return h;
    }
    h.whole = true;
    return h;
}

} // namespace

TEST_F(StoreTest, KilledWriterLosesNoCommittedChangeAndLeavesNoHalfChange) {
    {
        Table<ScheduleRecord> sch(*ds, tables::Schedule());
        Table<ScriptingRecord> scr(*ds, tables::Scripting());
        ASSERT_EQ(sch.open(), Level::Benign);
        ASSERT_EQ(scr.open(), Level::Benign);
        sch.rec.Description = "start";
        ASSERT_EQ(sch.insert(), Level::Benign);
        ASSERT_EQ(sch.rec.ID, 1);
    }
    ds->closeAll();

    std::mt19937 random(20261207);
    int committedTotal = 0;
    int kills = 0;
    for (int round = 0; round < 20; ++round) {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(fds[0]);
            ScriptedUserInterface u;
            ErrorClass e(&u);
            DataSet d(dir.path(), e);
            const Held start = readHeld(d);
            if (!start.whole) _exit(3);
            Table<ScheduleRecord> sch(d, tables::Schedule());
            Table<ScriptingRecord> scr(d, tables::Scripting());
            if (sch.open() != Level::Benign || scr.open() != Level::Benign) _exit(2);
            for (int k = start.last + 1; k <= start.last + kChangesPerChild; ++k) {
                if (!change(sch, scr, k)) _exit(1);
                // Reported only once committed.
                if (::write(fds[1], &k, sizeof k) != sizeof k) _exit(4);
            }
            _exit(0);
        }
        ::close(fds[1]);
        // Kill somewhere in the first few hundred changes, counted from the first
        // commit: opening the data set takes a while (much longer under the
        // sanitizers), and a kill before any change would test nothing.
        int reported = -1;
        int k = 0;
        if (::read(fds[0], &k, sizeof k) == sizeof k) reported = k;
        std::this_thread::sleep_for(
            std::chrono::milliseconds(std::uniform_int_distribution<int>(5, 400)(random)));
        if (::kill(child, SIGKILL) == 0) ++kills;
        int status = 0;
        ::waitpid(child, &status, 0);
        while (::read(fds[0], &k, sizeof k) == sizeof k)
            reported = k;
        ::close(fds[0]);
        ASSERT_TRUE(WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) == 0))
            << "child failed with " << WEXITSTATUS(status);

        EXPECT_EQ(qdtest::checkDataSet(dir.path()), "ok") << "round " << round;
        reopen();
        const Held held = readHeld(*ds);
        ASSERT_TRUE(held.whole) << "round " << round << ": " << held.why;
        if (reported >= 0) {
            // Every reported change is there; at most the one being reported when killed is more.
            EXPECT_GE(held.last, reported) << "round " << round;
            EXPECT_LE(held.last, reported + 1) << "round " << round;
        }
        committedTotal = held.last;
        ds->closeAll();
    }
    std::cout << "[crash] " << kills << " kills, " << committedTotal << " changes committed in all\n";
    EXPECT_GT(committedTotal, 20);
}
