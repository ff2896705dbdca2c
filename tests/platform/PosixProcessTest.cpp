#include "platform/posix/PosixProcess.h"
#include "platform/null/NullDesktop.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>

using namespace qd;
using qdtest::readFile;

namespace {

class PosixProcessTest : public ::testing::Test {
protected:
    // An executable shell script that writes its name and arguments to "ran".
    void program(const std::filesystem::path& p, const std::string& name) {
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p) << "#!/bin/sh\necho \"" << name << " $*\" >> \"" << (dir / "ran").string() << "\"\n";
        std::filesystem::permissions(p, std::filesystem::perms::owner_all);
    }
    std::string ranAfter(const SpawnResult& r) {
        EXPECT_TRUE(r.ok) << r.error;
        if (r.ok) {
            EXPECT_EQ(process.wait(r.pid, 5000), 0);
        }
        process.forget(r.pid);
        return readFile(dir / "ran");
    }

    qdtest::TempDir dir;
    PosixProcess process;
};

TEST_F(PosixProcessTest, AnUnquotedPathWithBlanksNeverStartsAShorterPrefixProgram) {
    program(dir / "My", "prefix");
    program(dir / "My Apps" / "x", "app");
    const std::string app = (dir / "My Apps" / "x").string();

    EXPECT_EQ(ranAfter(process.createProcess(app + " --v 1", {})), "app --v 1\n");
    std::filesystem::remove(dir / "ran");
    EXPECT_EQ(ranAfter(process.createProcess(app, {})), "app \n");
    std::filesystem::remove(dir / "ran");
    EXPECT_EQ(ranAfter(process.shellStartWithRetries(app + " --v", {})), "app --v\n");
    std::filesystem::remove(dir / "ran");
    // The prefix program itself still starts when it is what the command names.
    EXPECT_EQ(ranAfter(process.createProcess((dir / "My").string() + " Apps", {})), "prefix Apps\n");
}

TEST_F(PosixProcessTest, RetriesOnlyTrySplitsThatNameAProgram) {
    program(dir / "tool", "tool");
    // "tool a" and "tool a b" do not exist: only the split after "tool" is a program.
    EXPECT_EQ(ranAfter(process.shellStartWithRetries((dir / "tool").string() + " a b", {})), "tool a b\n");
    const SpawnResult none = process.shellStartWithRetries((dir / "none").string() + " at all", {});
    EXPECT_FALSE(none.ok);
    EXPECT_EQ(none.code, 2);
}

TEST_F(PosixProcessTest, ExitCodesStayUntilForgotten) {
    const SpawnResult r = process.createProcess("sh -c 'exit 5'", {});
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(process.wait(r.pid, 5000), 5);
    EXPECT_EQ(process.exitCode(r.pid), 5);
    process.forget(r.pid);
    EXPECT_EQ(process.exitCode(r.pid), -1);

    const SpawnResult running = process.createProcess("sleep 5", {});
    ASSERT_TRUE(running.ok);
    process.forget(running.pid); // a running child stays known
    EXPECT_EQ(process.exitCode(running.pid), kStillActive);
    ::kill(running.pid, SIGKILL);
    EXPECT_EQ(process.wait(running.pid, 5000), 128 + SIGKILL);
}

TEST_F(PosixProcessTest, UncollectedExitCodesDoNotPileUp) {
    const std::size_t before = PosixProcess::knownChildren();
    for (int i = 0; i < 300; ++i) {
        const SpawnResult r = process.createProcess("true", {});
        ASSERT_TRUE(r.ok);
        process.wait(r.pid, 5000); // ends; its code is never forgotten
    }
    process.reap();
    EXPECT_LE(PosixProcess::knownChildren(), before + 256);
}

TEST(NullDesktopTest, EveryCallAnswersNoDisplay) {
    auto desktop = openNullDesktop();
    EXPECT_FALSE(desktop->connected());
    EXPECT_EQ(desktop->windowPlacer(), nullptr);
    EXPECT_EQ(desktop->keyboard().typeCharacter(U'a'), KeyStatus::NoDisplay);
    EXPECT_EQ(desktop->keyboard().keyDown(13), KeyStatus::NoDisplay);
    std::vector<TopLevelWindow> windows{TopLevelWindow{}};
    EXPECT_EQ(desktop->windows().topLevelWindows(windows), WindowStatus::NoDisplay);
    EXPECT_TRUE(windows.empty());
    EXPECT_EQ(desktop->windows().activate(42), WindowStatus::NoDisplay);
    EXPECT_EQ(desktop->windows().close(42), WindowStatus::NoDisplay);
    EXPECT_FALSE(desktop->windows().exists(42));
}

} // namespace
