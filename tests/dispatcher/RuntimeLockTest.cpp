// A running scheduler holds its data folder: a restore waits for it to end, and
// a scheduler does not start on a folder that is being restored.
#include "DispatcherFixture.h"
#include "data/Backup.h"
#include "data/DataFolderLock.h"
#include "platform/null/NullDesktop.h"
#include "platform/posix/PosixProcess.h"
#include "runtime/Runtime.h"

using namespace qd;

TEST(RuntimeLock, RestoreIsRefusedWhileARuntimeRunsAndARuntimeWaitsForARestore) {
    qdtest::TempDir dir;
    ManualClock clock({dateFromMDY(3, 10, 2026), timeFromHMS(9, 0, 0)});
    ScriptedUserInterface ui;
    ErrorClass errors(&ui);
    {
        DataSet ds(dir.path(), errors);
        Table<ScheduleRecord> t(ds, tables::Schedule());
        ASSERT_EQ(t.open(), Level::Benign);
        t.rec.Description = "kept";
        ASSERT_EQ(t.insert(), Level::Benign);
    }
    ASSERT_TRUE(backupDataSet(dir.path(), "b1").ok);
    {
        Startup startup(ui, clock, dir.path());
        qdtest::RecordingFrame frame;
        NullDesktop desktop;
        PosixProcess launcher;
        Runtime runtime(startup, frame, desktop, launcher);
        ASSERT_TRUE(runtime.open());
        const BackupResult r = restoreBackup(dir.path(), "b1");
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.error.find("in use by a running scheduler"), std::string::npos) << r.error;
    }
    EXPECT_TRUE(restoreBackup(dir.path(), "b1").ok);

    DataFolderLock restoring;
    std::string why;
    ASSERT_TRUE(restoring.acquire(dir.path(), DataFolderLock::Mode::Exclusive, why)) << why;
    Startup startup(ui, clock, dir.path());
    qdtest::RecordingFrame frame;
    NullDesktop desktop;
    PosixProcess launcher;
    Runtime runtime(startup, frame, desktop, launcher);
    EXPECT_FALSE(runtime.open());
    ASSERT_FALSE(ui.shown.empty());
    EXPECT_EQ(ui.shown.back().title, "Data Folder In Use");
    EXPECT_NE(ui.shown.back().text.find("being restored or re-keyed"), std::string::npos);
}
