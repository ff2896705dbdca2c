#include "data/Backup.h"
#include "StoreFixture.h"

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

    ASSERT_EQ(listBackups(dir.path()).size(), 1u);
    EXPECT_EQ(listBackups(dir.path())[0].name, "first");
    EXPECT_FALSE(restoreBackup(dir.path(), "../etc").ok);
    EXPECT_FALSE(restoreBackup(dir.path(), "missing").ok);
}
