// Window states for started programs: which window is taken, when, and what
// happens to the focus, on the scripted desktop.
#include "platform/WindowPlacer.h"
#include "platform/fake/FakeWindowSystem.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

using namespace qd;

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

class PendingPlacementsTest : public ::testing::Test {
protected:
    // Window owners 500 and 501 were started by process 42; nothing else is related.
    PendingPlacements pending{[](std::int32_t windowPid, std::int32_t started) {
        return started == 42 && (windowPid == 500 || windowPid == 501);
    }};
    FakeWindowSystem desktop;
    Clock::time_point t0 = Clock::now();
};

TEST(WindowPlacement, ShowModeNumbers) {
    struct Case {
        int mode;
        WindowState state;
        bool activate, keepFocus;
    };
    const Case cases[] = {
        {0, WindowState::Withdrawn, false, true},  {1, WindowState::Normal, true, false},
        {2, WindowState::Minimized, false, false}, {3, WindowState::Maximized, true, false},
        {7, WindowState::Minimized, false, true},  {8, WindowState::Normal, false, true},
        {5, WindowState::Normal, true, false},     {-1, WindowState::Normal, true, false},
    };
    for (const Case& c : cases) {
        const WindowPlacement p = placementForShowMode(c.mode);
        EXPECT_EQ(p.state, c.state) << c.mode;
        EXPECT_EQ(p.activate, c.activate) << c.mode;
        EXPECT_EQ(p.keepFocus, c.keepFocus) << c.mode;
    }
}

TEST_F(PendingPlacementsTest, WaitsForAShownWindowOfTheProcessThenAppliesOnce) {
    const WindowHandle other = desktop.add("Other program", true, "Fake", 7);
    desktop.foreground = other;
    pending.add(42, placementForShowMode(3), t0 + milliseconds(5000));
    EXPECT_TRUE(pending.poll(desktop, t0).empty());

    // A helper window the program never shows is not its window.
    const WindowHandle helper = desktop.add("", false, "Fake", 42);
    EXPECT_TRUE(pending.poll(desktop, t0 + milliseconds(50)).empty());
    EXPECT_EQ(desktop.windowState(helper), WindowState::Withdrawn);

    const WindowHandle main = desktop.add("Main window", true, "Fake", 42);
    const auto done = pending.poll(desktop, t0 + milliseconds(100));
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].pid, 42);
    EXPECT_EQ(done[0].window, main);
    EXPECT_EQ(done[0].status, WindowStatus::Ok);
    EXPECT_EQ(done[0].state, WindowState::Maximized);
    EXPECT_EQ(desktop.stateChanges,
              (std::vector<std::pair<WindowHandle, WindowState>>{{main, WindowState::Maximized}}));
    EXPECT_EQ(desktop.activated, std::vector<WindowHandle>{main});
    EXPECT_TRUE(pending.empty());
    EXPECT_TRUE(pending.poll(desktop, t0 + milliseconds(150)).empty());
    EXPECT_EQ(desktop.stateChanges.size(), 1u);
}

TEST_F(PendingPlacementsTest, WindowsOfProcessesTheProgramStartedCount) {
    desktop.add("Unrelated", true, "Fake", 499);
    const WindowHandle child = desktop.add("Started by a launcher", true, "Fake", 501);
    pending.add(42, placementForShowMode(2), t0 + milliseconds(5000));
    const auto done = pending.poll(desktop, t0);
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].window, child);
    EXPECT_EQ(done[0].state, WindowState::Minimized);
    EXPECT_TRUE(desktop.activated.empty());
}

TEST_F(PendingPlacementsTest, GivesUpAtTheDeadlineAndWithoutADisplay) {
    pending.add(42, placementForShowMode(3), t0 + milliseconds(100));
    pending.add(43, placementForShowMode(3), t0 + milliseconds(300));
    EXPECT_TRUE(pending.poll(desktop, t0 + milliseconds(99)).empty());
    auto done = pending.poll(desktop, t0 + milliseconds(100));
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].pid, 42);
    EXPECT_EQ(done[0].window, 0u);
    EXPECT_EQ(done[0].status, WindowStatus::NotFound);
    EXPECT_EQ(pending.size(), 1u);

    desktop.noDisplay = true;
    done = pending.poll(desktop, t0 + milliseconds(150));
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].status, WindowStatus::NoDisplay);
    EXPECT_TRUE(pending.empty());
}

TEST_F(PendingPlacementsTest, FocusGoesBackOnlyWhenTheNewWindowTookIt) {
    const WindowHandle editor = desktop.add("Editor", true, "Fake", 7);
    desktop.foreground = editor;
    pending.add(42, placementForShowMode(8), t0 + milliseconds(5000));
    pending.poll(desktop, t0); // notes the editor as the focused window

    // The window manager gave the new window the focus: it goes back.
    const WindowHandle started = desktop.add("Quiet start", true, "Fake", 42);
    desktop.foreground = started;
    auto done = pending.poll(desktop, t0 + milliseconds(50));
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].status, WindowStatus::Ok);
    EXPECT_TRUE(desktop.stateChanges.empty()); // shown as the program shows it
    EXPECT_EQ(desktop.activated, std::vector<WindowHandle>{editor});

    // The user went on to another window meanwhile: it keeps the focus.
    desktop.activated.clear();
    pending.add(500, placementForShowMode(7), t0 + milliseconds(5000));
    desktop.foreground = editor;
    pending.poll(desktop, t0 + milliseconds(100));
    const WindowHandle mail = desktop.add("Mail", true, "Fake", 8);
    desktop.foreground = mail;
    desktop.add("Minimised start", true, "Fake", 500);
    done = pending.poll(desktop, t0 + milliseconds(150));
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].state, WindowState::Minimized);
    EXPECT_TRUE(desktop.activated.empty());
    EXPECT_EQ(desktop.foreground, mail);
}

TEST_F(PendingPlacementsTest, RefusalsAreReportedAndNothingIsActivatedAfterThem) {
    desktop.noWindowManager = true;
    const WindowHandle w = desktop.add("Program", true, "Fake", 42);
    pending.add(42, placementForShowMode(3), t0 + milliseconds(5000));
    const auto done = pending.poll(desktop, t0);
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].window, w);
    EXPECT_EQ(done[0].status, WindowStatus::NoWindowManager);
    EXPECT_EQ(done[0].state, WindowState::Normal);
    EXPECT_TRUE(desktop.activated.empty());
}

TEST(StartedWindowPlacer, WorksInTheBackgroundOnItsOwnConnection) {
    FakeWindowSystem* seen = nullptr;
    StartedWindowPlacer::Options options;
    options.findLimit = milliseconds(300);
    options.pollInterval = milliseconds(5);
    StartedWindowPlacer placer(
        [&seen]() -> std::unique_ptr<WindowSystem> {
            auto fake = std::make_unique<FakeWindowSystem>();
            fake->add("Shown", true, "Fake", 42);
            seen = fake.get();
            return fake;
        },
        options, nullptr);
    EXPECT_TRUE(placer.waitIdle(milliseconds(0))); // nothing asked: idle, no worker
    placer.place(42, placementForShowMode(0));
    placer.place(99, placementForShowMode(3)); // never shows a window
    ASSERT_TRUE(placer.waitIdle(milliseconds(5000)));
    const auto results = placer.takeResults();
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].pid, 42);
    EXPECT_EQ(results[0].state, WindowState::Withdrawn);
    EXPECT_EQ(results[0].status, WindowStatus::Ok);
    EXPECT_EQ(results[1].pid, 99);
    EXPECT_EQ(results[1].status, WindowStatus::NotFound);
    ASSERT_NE(seen, nullptr);
    EXPECT_EQ(seen->stateChanges.size(), 1u);
    EXPECT_TRUE(placer.takeResults().empty());
}

TEST(StartedWindowPlacer, WithoutADesktopRequestsEndAtOnce) {
    StartedWindowPlacer placer([]() -> std::unique_ptr<WindowSystem> { return nullptr; });
    placer.place(42, placementForShowMode(3));
    ASSERT_TRUE(placer.waitIdle(milliseconds(5000)));
    const auto results = placer.takeResults();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].status, WindowStatus::NoDisplay);
}

TEST(ProcessRelation, ChildrenAndGrandchildrenButNotParents) {
    EXPECT_TRUE(isProcessOrDescendant(getpid(), getpid()));
    EXPECT_TRUE(isProcessOrDescendant(getpid(), getppid()));
    EXPECT_FALSE(isProcessOrDescendant(getppid(), getpid()));
    EXPECT_FALSE(isProcessOrDescendant(0, getpid()));
    EXPECT_FALSE(isProcessOrDescendant(getpid(), 0));

    // A grandchild: the child forks and waits for its own child.
    int pipefd[2];
    ASSERT_EQ(pipe(pipefd), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const pid_t grandchild = fork();
        if (grandchild == 0) {
            pause();
            _exit(0);
        }
        const ssize_t n = write(pipefd[1], &grandchild, sizeof grandchild);
        (void)n;
        int status = 0;
        waitpid(grandchild, &status, 0);
        _exit(0);
    }
    pid_t grandchild = 0;
    ASSERT_EQ(read(pipefd[0], &grandchild, sizeof grandchild), static_cast<ssize_t>(sizeof grandchild));
    EXPECT_TRUE(isProcessOrDescendant(grandchild, child));
    EXPECT_TRUE(isProcessOrDescendant(grandchild, getpid()));
    EXPECT_FALSE(isProcessOrDescendant(child, grandchild));
    kill(grandchild, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    close(pipefd[0]);
    close(pipefd[1]);
}

} // namespace
