// System-wide key grabs on a real X server: presses sent with XTest arrive
// whatever the lock keys, a combination another client holds is refused and
// nothing of it stays grabbed, and released grabs are free for others.
#include "platform/x11/X11HotKeys.h"
#include "X11TestSupport.h"
#include "platform/x11/X11Connection.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <poll.h>
#include <sys/wait.h>
#include <thread>

namespace qd {
namespace {

using qdtest::X11Session;

class X11HotKeysTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        session_ = X11Session::shared(&error);
        if (!session_) GTEST_SKIP() << error;
        ASSERT_TRUE(session_->setLayout("us"));
        keys_ = std::make_unique<X11HotKeys>(X11Connection::open(session_->display));
    }
    void TearDown() override {
        keys_.reset();
        for (pid_t p : grabbers_) {
            kill(p, SIGTERM);
            waitpid(p, nullptr, 0);
        }
    }
    void xdotool(const std::vector<std::string>& args) {
        std::vector<std::string> argv = {"/usr/bin/xdotool"};
        argv.insert(argv.end(), args.begin(), args.end());
        ASSERT_EQ(qdtest::runProgram(argv, session_->display), 0);
    }
    // The presses delivered within `ms`, read when the descriptor signals.
    std::vector<int> presses(int ms = 2000) {
        std::vector<int> out;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (out.empty() && std::chrono::steady_clock::now() < end) {
            pollfd p{keys_->eventDescriptor(), POLLIN, 0};
            if (!keys_->pressesPending()) ::poll(&p, 1, 50);
            for (int id : keys_->takePresses())
                out.push_back(id);
        }
        return out;
    }
    // Another client holding a combination, as qd_keygrab does it.
    bool grabElsewhere(const std::vector<std::string>& args) {
        std::vector<std::string> argv = {qdtest::binPath("qd_keygrab")};
        argv.insert(argv.end(), args.begin(), args.end());
        const std::string cmd = "DISPLAY=" + session_->display + " " + argv[0];
        std::string line;
        for (std::size_t i = 1; i < argv.size(); ++i)
            line += " " + argv[i];
        FILE* out = popen((cmd + line + " >/dev/null 2>&1 & echo $!").c_str(), "r");
        if (!out) return false;
        int pid = 0;
        const bool read = std::fscanf(out, "%d", &pid) == 1;
        pclose(out);
        if (!read) return false;
        grabbers_.push_back(pid);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return true;
    }

    X11Session* session_ = nullptr;
    std::unique_ptr<X11HotKeys> keys_;
    std::vector<pid_t> grabbers_;
};

TEST_F(X11HotKeysTest, PressesArriveWhateverTheLockKeys) {
    ASSERT_EQ(keys_->registerKey(7, hotmod::kCtrl | hotmod::kAlt, 'T'), HotKeyStatus::Ok);
    ASSERT_EQ(keys_->registerKey(8, hotmod::kWin, 'W'), HotKeyStatus::Ok);
    ASSERT_EQ(keys_->registerKey(9, 0, 123), HotKeyStatus::Ok); // F12 alone
    xdotool({"key", "ctrl+alt+t"});
    EXPECT_EQ(presses(), std::vector<int>{7});
    xdotool({"key", "super+w"});
    EXPECT_EQ(presses(), std::vector<int>{8});
    xdotool({"key", "F12"});
    EXPECT_EQ(presses(), std::vector<int>{9});
    // Caps Lock and Num Lock on: the same combination still arrives.
    xdotool({"key", "Caps_Lock", "Num_Lock"});
    xdotool({"key", "ctrl+alt+t"});
    EXPECT_EQ(presses(), std::vector<int>{7});
    xdotool({"key", "Caps_Lock", "Num_Lock"});
    // Another combination of the same key is not ours.
    xdotool({"key", "ctrl+t"});
    EXPECT_TRUE(presses(300).empty());
}

TEST_F(X11HotKeysTest, AHeldKeyCountsOnce) {
    ASSERT_EQ(keys_->registerKey(1, hotmod::kCtrl | hotmod::kShift, 'K'), HotKeyStatus::Ok);
    xdotool({"keydown", "ctrl+shift+k"});
    xdotool({"keydown", "k"}); // the server's repeat: a press while it is down
    EXPECT_EQ(presses(), std::vector<int>{1});
    EXPECT_TRUE(keys_->lastKeyHeld()) << "seen held without waiting";
    EXPECT_TRUE(keys_->waitForRelease(std::chrono::milliseconds(50)) == false);
    xdotool({"keyup", "k", "shift", "ctrl"});
    EXPECT_FALSE(keys_->lastKeyHeld());
    EXPECT_TRUE(presses(300).empty());
}

TEST_F(X11HotKeysTest, ACombinationAnotherClientHoldsIsRefusedAndLeftAlone) {
    ASSERT_TRUE(grabElsewhere({"g", "ctrl", "alt"}));
    EXPECT_EQ(keys_->probe(hotmod::kCtrl | hotmod::kAlt, 'G'), HotKeyStatus::Refused);
    EXPECT_EQ(keys_->registerKey(3, hotmod::kCtrl | hotmod::kAlt, 'G'), HotKeyStatus::Refused);
    EXPECT_EQ(keys_->registerKey(4, hotmod::kCtrl | hotmod::kAlt, 'H'), HotKeyStatus::Ok);
    xdotool({"key", "ctrl+alt+g"});
    EXPECT_TRUE(presses(300).empty()) << "the refused combination is silently inactive";
    // With Caps Lock on the other client's grab does not apply, and ours was undone whole.
    xdotool({"key", "Caps_Lock"});
    xdotool({"key", "ctrl+alt+g"});
    EXPECT_TRUE(presses(300).empty()) << "no lock variant of a refused combination stays grabbed";
    xdotool({"key", "Caps_Lock"});
    xdotool({"key", "ctrl+alt+h"});
    EXPECT_EQ(presses(), std::vector<int>{4});
}

TEST_F(X11HotKeysTest, ReleasedCombinationsAreFreeForOthers) {
    ASSERT_EQ(keys_->registerKey(5, hotmod::kCtrl | hotmod::kAlt, 'J'), HotKeyStatus::Ok);
    X11HotKeys other(X11Connection::open(session_->display));
    EXPECT_EQ(other.probe(hotmod::kCtrl | hotmod::kAlt, 'J'), HotKeyStatus::Refused);
    keys_->unregisterKey(5);
    EXPECT_EQ(other.probe(hotmod::kCtrl | hotmod::kAlt, 'J'), HotKeyStatus::Ok);
    ASSERT_EQ(keys_->registerKey(6, hotmod::kShift, 120), HotKeyStatus::Ok); // Shift+F9
    keys_->unregisterAll();
    EXPECT_EQ(other.probe(hotmod::kShift, 120), HotKeyStatus::Ok);
    EXPECT_EQ(keys_->registerKey(2, 0, 1), HotKeyStatus::Unsupported) << "a mouse button is no key";
}

} // namespace
} // namespace qd
