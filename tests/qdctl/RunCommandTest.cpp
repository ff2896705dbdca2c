#include "QdctlFixture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sstream>

using RunCommandTest = qdtest::QdctlFixture;

TEST_F(RunCommandTest, SimulatedClockPerformsTasksAndScriptsWithoutWaiting) {
    const std::string marker = (dir / "ran.txt").string();
    ASSERT_EQ(run({"rec", "add", "SCH", "SCH:Description=Every minute", "SCH:TaskType=Run Program",
                   "SCH:Command=sh -c 'echo ran >> " + marker + "'", "SCH:ScheduleType=Custom", "SCH:Every=1",
                   "SCH:EveryType=minute(s)", "SCH:Date=2026-12-07", "SCH:Time=10:00"}),
              0)
        << err;
    ASSERT_EQ(
        run({"rec", "add", "SCR", "SCR:ID=1", "SCR:Action=Set Value", "SCR:Path=TOTAL", "SCR:Command==6*7"}),
        0);
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(run({"--now", "2026-12-07 09:59:50", "run", "--until", "2026-12-07", "10:02:30"}), 0) << err;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
    EXPECT_NE(out.find("Started: Quandrel 2000 2.04"), std::string::npos) << out;
    EXPECT_NE(out.find("task #1 Every minute (2026/12/07 10:00:00): performed; next 2026/12/07 10:01:00"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("step: Set Value  TOTAL = =6*7  [TOTAL=42]"), std::string::npos) << out;
    EXPECT_NE(out.find("(2026/12/07 10:02:00): performed"), std::string::npos) << out;
    EXPECT_NE(out.find("Exit Quandrel"), std::string::npos);
    // The program really ran, once per occurrence.
    for (int i = 0; i < 200 && qdtest::readFile(dir / "ran.txt").size() < 12; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(qdtest::readFile(dir / "ran.txt"), "ran\nran\nran\n");
    // History copies were kept.
    ASSERT_EQ(run({"rec", "list", "SCH", "--key", "SCH:KeyDateEnabled"}), 0);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 4);
}

TEST_F(RunCommandTest, InactiveRunPerformsNothingAndQuestionsTakeTheAnswer) {
    ASSERT_EQ(
        run({"rec", "add", "SCH", "SCH:Description=Ask first", "SCH:TaskType=Run Program", "SCH:Command=N/A",
             "SCH:ScheduleType=Once", "SCH:UserSkip=1", "SCH:Date=2026-12-07", "SCH:Time=10:00"}),
        0);
    ASSERT_EQ(run({"--now", "2026-12-07 10:00:05", "run", "--ticks", "8", "/I"}), 0) << err;
    EXPECT_NE(out.find("(Inactive)"), std::string::npos);
    EXPECT_EQ(out.find("task #1"), std::string::npos);

    ASSERT_EQ(run({"--now", "2026-12-07 10:00:05", "--answer", "no", "run", "--ticks", "8"}), 0) << err;
    EXPECT_NE(err.find("Confirm Task: Ask first is due to run.  Run it now? [no]"), std::string::npos) << err;
    EXPECT_NE(out.find("task #1 Ask first (2026/12/07 10:00:00): skipped, Task skipped; completed"),
              std::string::npos)
        << out;
    EXPECT_EQ(run({"run", "--ticks", "x"}), 2);
}
