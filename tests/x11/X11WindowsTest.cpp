// Window lists, title patterns, child texts, focus and closing on Xvfb, with
// and without a window manager.
#include "X11TestSupport.h"
#include "platform/x11/X11Desktop.h"
#include "script/WindowTargeting.h"

#include <gtest/gtest.h>

#include <thread>

namespace qd {
namespace {

using qdtest::Probe;
using qdtest::X11Session;

bool waitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

class X11Windows : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        session_ = X11Session::shared(&error);
        if (!session_) GTEST_SKIP() << error;
        desktop_ = openX11Desktop(session_->display);
        ASSERT_TRUE(desktop_.connected());
    }
    X11Session* session_ = nullptr;
    X11Desktop desktop_;
};

TEST_F(X11Windows, PatternsFrontWindowAndHiddenWindows) {
    Probe probe(*session_, {"--window", "Untitled - Notepad", "--window", "Report - Notepad", "--window",
                            "Secret Window", "--hidden", "--window", "Minimized Window", "--minimized"});
    ASSERT_TRUE(probe.waitReady());
    const WindowHandle untitled = probe.window("Untitled - Notepad");
    const WindowHandle report = probe.window("Report - Notepad");
    WindowTargeting t(*desktop_.windows);

    EXPECT_EQ(t.FindWindowByPattern("untitled - notepad", ""), untitled);
    EXPECT_EQ(t.FindWindowByPattern("notepad", ""), 0u);
    EXPECT_EQ(t.FindWindowByPattern("Untitled - *", ""), untitled);
    EXPECT_EQ(t.FindWindowByPattern("~Untitled - *", ""), untitled);
    EXPECT_EQ(t.FindWindowByPattern("No such window at all", ""), 0u);

    // The window in front wins.
    ASSERT_EQ(desktop_.windows->activate(report), WindowStatus::Ok);
    EXPECT_EQ(t.FindWindowByPattern("*Notepad", ""), report);
    ASSERT_EQ(desktop_.windows->activate(untitled), WindowStatus::Ok);
    EXPECT_EQ(t.FindWindowByPattern("*Notepad", ""), untitled);
    EXPECT_EQ(t.FocusText(), "Untitled - Notepad");

    // Hidden (never mapped) and minimised windows are found unless excluded.
    const WindowHandle secret = probe.window("Secret Window");
    const WindowHandle minimized = probe.window("Minimized Window");
    EXPECT_EQ(t.FindWindowByPattern("Secret Window", ""), secret);
    EXPECT_EQ(t.FindWindowByPattern("Minimized Window", ""), minimized);
    t.excludeHiddenWindows = true;
    EXPECT_EQ(t.FindWindowByPattern("Secret Window", ""), 0u);
    EXPECT_EQ(t.FindWindowByPattern("Minimized Window", ""), 0u);
    EXPECT_EQ(t.FindWindowByPattern("*Notepad", ""), untitled);

    std::vector<TopLevelWindow> all;
    ASSERT_EQ(desktop_.windows->topLevelWindows(all), WindowStatus::Ok);
    int ours = 0;
    for (const TopLevelWindow& w : all) {
        if (w.pid != probe.pid()) continue;
        if (w.handle == untitled || w.handle == report) {
            ++ours;
            EXPECT_TRUE(w.visible) << w.title;
            EXPECT_FALSE(w.className.empty());
        }
    }
    EXPECT_EQ(ours, 2);
    EXPECT_EQ(desktop_.windows->windowPid(report), probe.pid());
}

TEST_F(X11Windows, ChildTextsFromAccessibilityAndSubwindows) {
    if (session_->bus.empty()) GTEST_SKIP() << "no D-Bus session bus for the accessibility tree";
    Probe probe(*session_, {"--window", "Editor - Plain", "--button", "&Cancel", "--window", "Editor - Save",
                            "--button", "&Save", "--native-child", "Status Pane"});
    ASSERT_TRUE(probe.waitReady());
    const WindowHandle plain = probe.window("Editor - Plain");
    const WindowHandle save = probe.window("Editor - Save");
    ASSERT_EQ(desktop_.windows->activate(plain), WindowStatus::Ok);
    WindowTargeting t(*desktop_.windows);
    // The accessibility bridge of a new program may take a moment to register.
    WindowHandle found = 0;
    waitFor([&] { return (found = t.FindWindowByPattern("Editor - *", "Save")) != 0; },
            std::chrono::seconds(10));
    EXPECT_EQ(found, save); // the top-level window, though "Plain" is in front
    EXPECT_EQ(t.FindWindowByPattern("Editor - *", "cancel"), plain);
    EXPECT_EQ(t.FindWindowByPattern("Editor - *", "Print"), 0u);
    // A named X subwindow counts as a child text too.
    EXPECT_EQ(t.FindWindowByPattern("Editor - *", "status pane"), save);
    bool sawButton = false;
    for (const ChildListEntry& c : t.ListChildWindows(save))
        if (c.text.find("Save") != std::string::npos && c.className.find("button") != std::string::npos)
            sawButton = true;
    EXPECT_TRUE(sawButton);

    qdtest::TempDir dir;
    const int entries = t.LogWindows((dir / "windows.txt").string());
    EXPECT_GE(entries, 2);
    const std::string log = qdtest::readFile(dir / "windows.txt");
    EXPECT_NE(log.find("Editor - Save"), std::string::npos);
    EXPECT_NE(log.find("Status Pane"), std::string::npos);
}

TEST_F(X11Windows, CloseAndForeground) {
    Probe probe(*session_, {"--window", "Closing Soon", "--window", "Staying"});
    ASSERT_TRUE(probe.waitReady());
    WindowTargeting t(*desktop_.windows);
    const WindowHandle closing = probe.window("Closing Soon");
    ASSERT_EQ(desktop_.windows->activate(closing), WindowStatus::Ok);
    EXPECT_EQ(desktop_.windows->foregroundWindow(), closing);
    EXPECT_EQ(t.CloseProgram("Closing*", ""), CloseOutcome::Closed);
    EXPECT_TRUE(waitFor([&] { return t.FindWindowByPattern("Closing Soon", "") == 0; }));
    EXPECT_EQ(t.CloseProgram("Closing*", ""), CloseOutcome::NotFound);
    // Without a pattern the foreground window is closed.
    WindowStatus st{};
    ASSERT_EQ(t.SetFocus("Staying", "", &st), probe.window("Staying"));
    EXPECT_EQ(st, WindowStatus::Ok);
    EXPECT_EQ(t.CloseProgram("", ""), CloseOutcome::Closed);
    EXPECT_TRUE(waitFor([&] { return !probe.running(); }));
    EXPECT_FALSE(desktop_.windows->exists(probe.window("Staying")));
    EXPECT_EQ(desktop_.windows->activate(probe.window("Staying")), WindowStatus::NotFound);
}

TEST(X11NoWindowManager, ListFocusAndClose) {
    std::string error;
    auto session = X11Session::start(false, &error);
    if (!session) GTEST_SKIP() << error;
    X11Desktop desktop = openX11Desktop(session->display);
    ASSERT_TRUE(desktop.connected());
    EXPECT_FALSE(desktop.windows->windowManagerRunning());
    Probe probe(*session, {"--window", "Bare One", "--window", "Bare Two"});
    ASSERT_TRUE(probe.waitReady());
    WindowTargeting t(*desktop.windows);
    const WindowHandle two = probe.window("Bare Two");
    EXPECT_EQ(t.FindWindowByPattern("Bare Two", ""), two);
    EXPECT_EQ(desktop.windows->activate(two), WindowStatus::Ok);
    EXPECT_EQ(t.FocusText(), "Bare Two");
    EXPECT_EQ(desktop.windows->close(two), WindowStatus::Ok); // the window's own delete protocol
    EXPECT_TRUE(waitFor([&] { return t.FindWindowByPattern("Bare Two", "") == 0; }));
    desktop.windows.reset();
    desktop.keyboard.reset();
}

} // namespace
} // namespace qd
