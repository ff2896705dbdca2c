#include "BackupWindow.h"

#include "data/DataFolderLock.h"
#include "data/FileManager.h"
#include "support/TempDir.h"

#include <QEventLoop>
#include <QListWidget>
#include <QTimer>

#include <gtest/gtest.h>

using namespace qd;
using qdtool::BackupWindow;

namespace {

class BackupWindowTest : public ::testing::Test {
protected:
    BackupWindowTest() : errors(&ui) { addTasks(2); }
    void addTasks(int n) {
        DataSet ds(dir.path(), errors);
        Table<ScheduleRecord> sch(ds, tables::Schedule());
        ASSERT_EQ(sch.open(), Level::Benign);
        for (int i = 0; i < n; ++i) {
            sch.rec = {};
            sch.rec.Date = 80000 + i;
            ASSERT_EQ(sch.insert(), Level::Benign);
        }
    }
    long long tasks() {
        DataSet ds(dir.path(), errors);
        Table<ScheduleRecord> sch(ds, tables::Schedule());
        EXPECT_EQ(sch.open(), Level::Benign);
        return sch.recordCount();
    }
    static bool runUntilFinished(BackupWindow& w) {
        QEventLoop loop;
        QObject::connect(&w, &BackupWindow::workFinished, &loop, &QEventLoop::quit);
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        if (w.busy()) loop.exec();
        return !w.busy();
    }

    qdtest::TempDir dir;
    ScriptedUserInterface ui;
    ErrorClass errors;
    int stamps = 0;
    BackupWindow window{dir.path(), "", [this] { return "20261207-1000" + std::to_string(10 + stamps++); }};
};

TEST_F(BackupWindowTest, BacksUpAndRestoresOnlyAfterTheUserAgrees) {
    EXPECT_EQ(window.list()->count(), 0);
    window.backUpNow();
    ASSERT_TRUE(runUntilFinished(window));
    ASSERT_TRUE(window.lastResult().ok) << window.lastResult().error;
    EXPECT_TRUE(window.status().startsWith("Backed up")) << window.status().toStdString();
    ASSERT_EQ(window.list()->count(), 1);

    addTasks(1);
    QString asked;
    window.setConfirm([&](const QString&, const QString& text) {
        asked = text;
        return false;
    });
    window.restoreSelected();
    EXPECT_TRUE(asked.contains("The current data will be replaced"));
    EXPECT_EQ(window.status(), "Nothing was restored.");
    EXPECT_EQ(tasks(), 3);

    // While a scheduler holds the folder the restore is refused and nothing changes.
    window.setConfirm([](const QString&, const QString&) { return true; });
    {
        DataFolderLock running;
        std::string why;
        ASSERT_TRUE(running.acquire(dir.path(), DataFolderLock::Mode::Shared, why)) << why;
        window.restoreSelected();
        ASSERT_TRUE(runUntilFinished(window));
        EXPECT_FALSE(window.lastResult().ok);
        EXPECT_TRUE(window.status().startsWith("Not done: ")) << window.status().toStdString();
        EXPECT_EQ(tasks(), 3);
    }
    window.list()->setCurrentRow(0);
    window.restoreSelected();
    ASSERT_TRUE(runUntilFinished(window));
    ASSERT_TRUE(window.lastResult().ok) << window.lastResult().error;
    EXPECT_TRUE(window.status().contains("The replaced files were kept in")) << window.status().toStdString();
    EXPECT_EQ(tasks(), 2);
    // The replaced data is itself a backup now.
    EXPECT_EQ(window.list()->count(), 2);
}

} // namespace
