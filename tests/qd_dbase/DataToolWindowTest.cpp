#include "DataToolWindow.h"

#include "data/DataFolderLock.h"
#include "data/FileManager.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

using namespace qd;
using qdtool::DataToolWindow;

namespace {

// One application for all tests, on the offscreen platform.
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "DataToolWindowTest";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<QApplication> app_;
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

class DataToolWindowTest : public ::testing::Test {
protected:
    DataToolWindowTest() : errors(&ui), ds(dir.path(), errors) {
        Table<ScheduleRecord> sch(ds, tables::Schedule());
        EXPECT_EQ(sch.open(), Level::Benign);
        for (int i = 0; i < 3; ++i) {
            sch.rec = {};
            sch.rec.Date = 80000 + i;
            EXPECT_EQ(sch.insert(), Level::Benign);
        }
    }
    // Runs the event loop until the window's work has ended (or 20 s passed).
    static bool runUntilFinished(DataToolWindow& w) {
        QEventLoop loop;
        QObject::connect(&w, &DataToolWindow::workFinished, &loop, &QEventLoop::quit);
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        if (w.busy()) loop.exec();
        return !w.busy();
    }
    static QPushButton* button(QWidget& w, const QString& accessibleName) {
        for (QPushButton* b : w.findChildren<QPushButton*>())
            if (b->accessibleName() == accessibleName) return b;
        return nullptr;
    }

    qdtest::TempDir dir;
    ScriptedUserInterface ui;
    ErrorClass errors;
    DataSet ds;
};

TEST_F(DataToolWindowTest, ListsTheTablesAndReportsACheckRunOffTheGuiThread) {
    DataToolWindow w(ds, QString());
    const auto& rows = w.model().rows();
    const auto schedule = std::find_if(rows.begin(), rows.end(),
                                       [](const TableSurvey& s) { return s.def->label == "Schedule"; });
    ASSERT_NE(schedule, rows.end());
    const int row = static_cast<int>(schedule - rows.begin());
    EXPECT_EQ(w.model().data(w.model().index(row, 2), Qt::DisplayRole).toString(), "3");
    EXPECT_EQ(w.model().headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), "Records");
    // No backup program: its button cannot be clicked.
    ASSERT_NE(button(w, "Backup/Restore..."), nullptr);
    EXPECT_FALSE(button(w, "Backup/Restore...")->isEnabled());

    button(w, "Verify")->click();
    EXPECT_TRUE(w.busy());
    EXPECT_FALSE(button(w, "Verify")->isEnabled()) << "one piece of work at a time";
    EXPECT_FALSE(w.start(DataToolWindow::Work::Compact));
    ASSERT_TRUE(runUntilFinished(w));
    EXPECT_EQ(w.lastReport().problems, 0);
    EXPECT_TRUE(w.reportView()->isVisible());
    EXPECT_TRUE(w.reportView()->toPlainText().startsWith("Done: no problems found."));
    EXPECT_TRUE(w.reportView()->toPlainText().contains("Schedule: 3 records"));
    EXPECT_TRUE(button(w, "Verify")->isEnabled());
    // For the documentation: the window and its report, when asked for.
    if (const QString folder = qEnvironmentVariable("QD_SCREENSHOT_DIR"); !folder.isEmpty()) {
        w.grab().save(folder + "/data-tool.png");
        w.reportView()->window()->grab().save(folder + "/data-tool-report.png");
    }
}

TEST_F(DataToolWindowTest, RepairsAreRefusedWhileASchedulerRunsAndDoneAfter) {
    DataToolWindow w(ds, QString());
    {
        DataFolderLock running;
        std::string why;
        ASSERT_TRUE(running.acquire(dir.path(), DataFolderLock::Mode::Shared, why)) << why;
        ASSERT_TRUE(w.start(DataToolWindow::Work::Rebuild));
        ASSERT_TRUE(runUntilFinished(w));
        EXPECT_TRUE(w.lastReport().refused);
        EXPECT_TRUE(w.reportView()->toPlainText().startsWith("Not done: "));
    }
    ASSERT_TRUE(w.start(DataToolWindow::Work::Compact));
    ASSERT_TRUE(runUntilFinished(w));
    EXPECT_FALSE(w.lastReport().refused);
    EXPECT_EQ(w.lastReport().problems, 0) << w.lastReport().text();
}

} // namespace
