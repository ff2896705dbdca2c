// killproc against real windows: polite end, forced end, no match, refusals.
#include "X11TestSupport.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using qdtest::Probe;
using qdtest::X11Session;

class KillProc : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        session_ = X11Session::shared(&error);
        if (!session_) GTEST_SKIP() << error;
    }
    int killproc(const std::vector<std::string>& args, const std::string& display = {}) {
        std::vector<std::string> argv = {qdtest::binPath("killproc")};
        argv.insert(argv.end(), args.begin(), args.end());
        return qdtest::runProgram(argv, display.empty() ? session_->display : display);
    }
    static bool gone(Probe& p) {
        for (int i = 0; i < 100 && p.running(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return !p.running();
    }
    X11Session* session_ = nullptr;
};

TEST_F(KillProc, EndsTheOwnerOfTheFirstMatchingWindow) {
    Probe probe(*session_, {"--window", "Kill Me Politely"});
    ASSERT_TRUE(probe.waitReady());
    // The words of the command line form one pattern.
    EXPECT_EQ(killproc({"Kill", "Me", "*"}), 0);
    EXPECT_TRUE(gone(probe));
}

TEST_F(KillProc, ForcesAProcessThatIgnoresTerm) {
    Probe probe(*session_, {"--ignore-term", "--window", "Stubborn Window"});
    ASSERT_TRUE(probe.waitReady());
    EXPECT_EQ(killproc({"--grace-ms=300", "*stubborn"}), 0);
    EXPECT_TRUE(gone(probe));
}

TEST_F(KillProc, NoMatchRefusalAndUsage) {
    EXPECT_EQ(killproc({"No Window Has This Title 4711"}), 1);
    EXPECT_EQ(killproc({}), 4);
    EXPECT_EQ(killproc({"Anything"}, ":1999"), 3);
    // A window whose program runs on another machine names a process id that
    // means nothing here: refused, and the local process is left alone.
    Probe probe(*session_, {"--client-machine", "elsewhere.invalid", "--window", "Remote Window"});
    ASSERT_TRUE(probe.waitReady());
    EXPECT_EQ(killproc({"Remote Window"}), 2);
    EXPECT_TRUE(probe.running());
}

TEST_F(KillProc, DoubleDashEndsOptionsSoAPatternMayLookLikeOne) {
    Probe probe(*session_, {"--window", "--grace-ms=5 looks like an option"});
    ASSERT_TRUE(probe.waitReady());
    EXPECT_EQ(killproc({"--", "--grace-ms=5 looks*"}), 0);
    EXPECT_TRUE(gone(probe));
    // Without a window of that title the pattern is searched for, not taken as an option.
    EXPECT_EQ(killproc({"--", "--grace-ms=5"}), 1);
}

} // namespace
