#include "QdctlFixture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sstream>
#include <sys/stat.h>

using ScriptCommandsTest = qdtest::QdctlFixture;

TEST_F(ScriptCommandsTest, ScriptTextRunVariablesAndFileRoundTrip) {
    ASSERT_EQ(run({"rec", "add", "SCH", "SCH:Description=Scripted"}), 0);
    const std::string text =
        "SET COUNT 3\r\nSET TOTAL \"=[COUNT]*2\"\r\nIF TOTAL = 6\r\n  SET OK yes\r\nEND\r\n"
        "IF TOTAL > 6\r\n  SET WRONG 1\r\nEND\r\n";
    ASSERT_EQ(run({"script", "set", "1", "-"}, text), 0) << err;
    ASSERT_EQ(run({"script", "show", "1"}), 0);
    EXPECT_NE(out.find("SET TOTAL"), std::string::npos);
    EXPECT_NE(out.find("IF TOTAL > 6"), std::string::npos) << out;

    ASSERT_EQ(run({"--now", "2026-12-07 10:00", "script", "run", "1"}), 0) << err;
    EXPECT_NE(out.find("step: Set Value  TOTAL = =[COUNT]*2  [TOTAL=6]"), std::string::npos) << out;
    EXPECT_NE(out.find("step: If Value...  TOTAL > 6  [false]"), std::string::npos) << out;
    ASSERT_EQ(run({"vars"}), 0);
    EXPECT_EQ(out, "COUNT=3\nTOTAL=6\nOK=yes\n");

    const std::string file = (dir / "copy.qds").string();
    ASSERT_EQ(run({"script", "export", "1", file}), 0) << err;
    ASSERT_EQ(run({"rec", "add", "SCH", "SCH:Description=Second"}), 0);
    ASSERT_EQ(run({"script", "import", "2", file}), 0) << err;
    EXPECT_EQ(out, "added 8 steps\n");
    ASSERT_EQ(run({"script", "show", "2"}), 0);
    const std::string second = out;
    ASSERT_EQ(run({"script", "show", "1"}), 0);
    EXPECT_EQ(second, out);

    ASSERT_EQ(run({"--now", "2026-12-07 11:00", "script", "run-file", file}), 0) << err;
    EXPECT_NE(out.find("queued 8 steps"), std::string::npos);

    EXPECT_EQ(run({"script", "show", "99"}), 1);
    EXPECT_EQ(run({"script", "run-file", (dir / "missing.qds").string()}), 1);
    // A script that cannot finish within its ticks says so.
    ASSERT_EQ(run({"script", "set", "2", "-"}, "WAIT 100\r\n"), 0);
    EXPECT_EQ(run({"--now", "2026-12-07 10:00", "script", "run", "2", "--ticks", "5"}), 1);
}

TEST_F(ScriptCommandsTest, TemplateCopyResolvesPromptsOnce) {
    ASSERT_EQ(run({"rec", "add", "SCH", "SCH:Description=Target"}), 0);
    ASSERT_EQ(run({"rec", "add", "QDT", "QDT:Description=Greeting"}), 0);
    ASSERT_EQ(run({"rec", "add", "QDD", "QDD:WIZ_ID=1", "QDD:Action=Send Keys",
                   "QDD:Keystrokes=[?Your name][TAB][?]"}),
              0);
    ASSERT_EQ(run({"template", "list"}), 0);
    EXPECT_EQ(out, "1  Greeting\n");
    ASSERT_EQ(run({"template", "copy", "1", "1", "--answer", "Your name=Ann"}), 0) << err;
    EXPECT_EQ(out, "added 1 steps to task 1\n");
    ASSERT_EQ(run({"script", "show", "1"}), 0);
    EXPECT_EQ(out, "KEYS Ann[TAB]Ann\r\n") << out;
    // Without an answer the prompt is cancelled and nothing is added.
    EXPECT_EQ(run({"template", "copy", "1", "1"}), 1);
    ASSERT_EQ(run({"rec", "list", "SCR"}), 0);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1);
}

TEST_F(ScriptCommandsTest, RunFileRefusesWhatIsNotARegularFileAtOnce) {
    const std::string fifo = (dir / "pipe.qds").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(run({"script", "run-file", fifo}), 1);
    EXPECT_NE(err.find("not a regular file"), std::string::npos) << err;
    EXPECT_EQ(run({"script", "run-file", "/dev/zero"}), 1);
    EXPECT_NE(err.find("not a regular file"), std::string::npos) << err;
}
