#include "data/Backup.h"
#include "StoreFixture.h"
#include "data/DataFolderLock.h"

#include <sys/wait.h>
#include <unistd.h>

using namespace qd;
using qdtest::StoreTest;

TEST_F(StoreTest, BackupIsConsistentWhileAnotherProcessWritesAndRestoresTheData) {
    {
        Table<ScheduleRecord> sch(*ds, tables::Schedule());
        Table<MsgLinkRecord> ml(*ds, tables::MsgLink());
        ASSERT_EQ(sch.open(), Level::Benign);
        ASSERT_EQ(ml.open(), Level::Benign);
        for (int i = 0; i < 200; ++i) {
            sch.rec = {};
            sch.rec.Description = "before";
            ASSERT_EQ(sch.insert(), Level::Benign);
        }
        ml.rec.Title = "plain";
        ASSERT_EQ(ml.insert(), Level::Benign);
    }
    // A writer in another process adds tasks in pairs, each pair in one transaction.
    const pid_t writer = fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        ScriptedUserInterface u;
        ErrorClass e(&u);
        DataSet d(dir.path(), e);
        Table<ScheduleRecord> t(d, tables::Schedule());
        if (t.open() != Level::Benign) _exit(1);
        for (int i = 0; i < 300; ++i) {
            t.file()->begin();
            for (int k = 0; k < 2; ++k) {
                t.rec = {};
                t.rec.Description = "during";
                t.insert();
            }
            t.file()->commit();
        }
        _exit(0);
    }
    const BackupResult b = backupDataSet(dir.path(), "first");
    int status = 0;
    waitpid(writer, &status, 0);
    ASSERT_TRUE(b.ok) << b.error;
    EXPECT_NE(std::find(b.files.begin(), b.files.end(), "QD97.TPS"), b.files.end());
    EXPECT_NE(std::find(b.files.begin(), b.files.end(), "MSGLINK.TPS"), b.files.end());

    // The copy opens as a data set and holds a whole number of the writer's pairs.
    ErrorClass copyErrors(&ui);
    DataSet copy(b.folder, copyErrors);
    Table<ScheduleRecord> copied(copy, tables::Schedule());
    ASSERT_EQ(copied.open(), Level::Benign);
    const long long n = copied.recordCount();
    EXPECT_GE(n, 200);
    EXPECT_EQ((n - 200) % 2, 0);
    copy.closeAll();

    // Lose the data, then restore it.
    {
        Table<ScheduleRecord> sch(*ds, tables::Schedule());
        ASSERT_EQ(sch.open(), Level::Benign);
        EXPECT_EQ(sch.recordCount(), 800);
        sch.setOrder(0);
        while (sch.next() == Level::Benign)
            sch.deleteRecord();
        EXPECT_EQ(sch.recordCount(), 0);
    }
    ds->closeAll();
    const BackupResult r = restoreBackup(dir.path(), "first");
    ASSERT_TRUE(r.ok) << r.error;
    reopen();
    Table<ScheduleRecord> sch(*ds, tables::Schedule());
    ASSERT_EQ(sch.open(), Level::Benign);
    EXPECT_EQ(sch.recordCount(), n);

    // The replaced files were kept as a backup of their own.
    ASSERT_EQ(listBackups(dir.path()).size(), 2u);
    EXPECT_EQ(listBackups(dir.path())[0].name, "first");
    EXPECT_EQ(listBackups(dir.path())[1].name, "before-restore-first");
    EXPECT_FALSE(restoreBackup(dir.path(), "../etc").ok);
    EXPECT_FALSE(restoreBackup(dir.path(), "missing").ok);
}

namespace {

long long scheduleCount(DataSet& ds) {
    Table<ScheduleRecord> sch(ds, tables::Schedule());
    return sch.open() == Level::Benign ? sch.recordCount() : -1;
}

void addTasks(DataSet& ds, int n) {
    Table<ScheduleRecord> sch(ds, tables::Schedule());
    ASSERT_EQ(sch.open(), Level::Benign);
    for (int i = 0; i < n; ++i) {
        sch.rec = {};
        sch.rec.Description = std::string(200, 'a' + static_cast<char>(i % 26));
        ASSERT_EQ(sch.insert(), Level::Benign);
    }
}

} // namespace

TEST_F(StoreTest, RestoreOfABackupWithADamagedFileChangesNothing) {
    addTasks(*ds, 300);
    {
        Table<MsgLinkRecord> ml(*ds, tables::MsgLink());
        ASSERT_EQ(ml.open(), Level::Benign);
        ml.rec.Title = "before";
        ASSERT_EQ(ml.insert(), Level::Benign);
    }
    ds->closeAll();
    ASSERT_TRUE(backupDataSet(dir.path(), "b1").ok);
    // After the backup: more tasks and a changed plain file.
    reopen();
    addTasks(*ds, 5);
    {
        Table<MsgLinkRecord> ml(*ds, tables::MsgLink());
        ASSERT_EQ(ml.open(), Level::Benign);
        ml.rec.Title = "after";
        ASSERT_EQ(ml.insert(), Level::Benign);
    }
    ds->closeAll();
    // Damage a page in the middle of the backup's main file (it sorts after MSGLINK.TPS).
    const auto damaged = dir / "Backups" / "b1" / "QD97.TPS";
    std::string bytes = qdtest::readFile(damaged);
    ASSERT_GT(bytes.size(), 5u * 4096);
    for (std::size_t i = 3 * 4096 + 100; i < 3 * 4096 + 300; ++i)
        bytes[i] = static_cast<char>(bytes[i] ^ 0x5a);
    qdtest::writeFile(damaged, bytes);

    const BackupResult r = restoreBackup(dir.path(), "b1");
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("QD97.TPS"), std::string::npos) << r.error;
    EXPECT_NE(r.error.find("nothing was restored"), std::string::npos) << r.error;
    reopen();
    EXPECT_EQ(scheduleCount(*ds), 305);
    Table<MsgLinkRecord> ml(*ds, tables::MsgLink());
    ASSERT_EQ(ml.open(), Level::Benign);
    EXPECT_EQ(ml.recordCount(), 2);
    // No temporary files and no safety copy were left behind.
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(e.path().filename().string().find(".restore"), std::string::npos) << e.path();
    EXPECT_EQ(listBackups(dir.path()).size(), 1u);
}

TEST_F(StoreTest, RestoreIsRefusedWhileASchedulerHoldsTheDataFolder) {
    addTasks(*ds, 3);
    ds->closeAll();
    ASSERT_TRUE(backupDataSet(dir.path(), "b1").ok);
    reopen();
    addTasks(*ds, 2);
    ds->closeAll();
    {
        DataFolderLock running;
        std::string why;
        ASSERT_TRUE(running.acquire(dir.path(), DataFolderLock::Mode::Shared, why)) << why;
        // A second scheduler may run beside the first.
        DataFolderLock second;
        EXPECT_TRUE(second.acquire(dir.path(), DataFolderLock::Mode::Shared, why)) << why;
        const BackupResult r = restoreBackup(dir.path(), "b1");
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.error.find("in use by a running scheduler"), std::string::npos) << r.error;
        reopen();
        EXPECT_EQ(scheduleCount(*ds), 5);
        ds->closeAll();
    }
    const BackupResult r = restoreBackup(dir.path(), "b1");
    ASSERT_TRUE(r.ok) << r.error;
    reopen();
    EXPECT_EQ(scheduleCount(*ds), 3);
    // The replaced data is kept and can be restored in turn.
    ASSERT_FALSE(r.safetyFolder.empty());
    ds->closeAll();
    ASSERT_TRUE(restoreBackup(dir.path(), r.safetyFolder.filename().string()).ok);
    reopen();
    EXPECT_EQ(scheduleCount(*ds), 5);
}
