#include "QdctlFixture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
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

TEST_F(RunCommandTest, TwoRunningProcessesOpenAOnceTaskOnce) {
    const char* bin = std::getenv("QD_BIN_DIR");
    if (!bin || !std::filesystem::exists(std::filesystem::path(bin) / "qdctl"))
        GTEST_SKIP() << "qdctl is not built";
    // The desktop's opener takes three seconds, as a browser starting up does.
    std::filesystem::create_directories(dir / "bin");
    const auto opener = dir / "bin" / "xdg-open";
    std::ofstream(opener) << "#!/bin/sh\nsleep 3\necho \"$1\" >> \"" << (dir / "opened").string() << "\"\n";
    std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
    // Due half a minute ago by the real clock.
    const std::time_t due = std::time(nullptr) - 30;
    std::tm tm{};
    gmtime_r(&due, &tm);
    char date[16];
    char time[16];
    std::strftime(date, sizeof date, "%Y-%m-%d", &tm);
    std::strftime(time, sizeof time, "%H:%M:%S", &tm);
    ASSERT_EQ(run({"rec", "add", "SCH", "SCH:Description=Open once", "SCH:TaskType=Run Program",
                   "SCH:Command=https://example.invalid/once", "SCH:ScheduleType=Once",
                   std::string("SCH:Date=") + date, std::string("SCH:Time=") + time}),
              0)
        << err;
    // Two dispatchers on the folder, the second started while the first waits for the opener.
    const std::string qdctl = (std::filesystem::path(bin) / "qdctl").string();
    const std::string env = "TZ=UTC PATH=\"" + (dir / "bin").string() + ":$PATH\" ";
    const std::string one = env + "\"" + qdctl + "\" --data \"" + dir.str() + "\" run --ticks 12";
    const std::string script = one + " > \"" + (dir / "a.out").string() + "\" 2>&1 & sleep 2; " + one +
                               " > \"" + (dir / "b.out").string() + "\" 2>&1; wait";
    ASSERT_EQ(std::system(("sh -c '" + script + "'").c_str()), 0);
    EXPECT_EQ(qdtest::readFile(dir / "opened"), "https://example.invalid/once\n");
    const std::string both = qdtest::readFile(dir / "a.out") + qdtest::readFile(dir / "b.out");
    std::size_t performed = 0;
    for (auto at = both.find("): performed"); at != std::string::npos; at = both.find("): performed", at + 1))
        ++performed;
    EXPECT_EQ(performed, 1u) << both;
}
