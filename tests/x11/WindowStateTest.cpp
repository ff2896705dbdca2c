// Window states on Xvfb: the window system's own requests with and without a
// window manager, and the show modes of programs the engine starts, checked in
// the properties the window manager keeps (_NET_WM_STATE, WM_STATE, the
// active window).
#include "X11TestSupport.h"
#include "perform/PerformFixture.h"

#include "platform/x11/X11Desktop.h"
#include "runtime/Runtime.h"
#include "script/ScriptEngine.h"
#include "script/WindowTargeting.h"

#include <csignal>
#include <cstdlib>
#include <thread>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace qd {
namespace {

using qdtest::Probe;
using qdtest::X11Session;

bool waitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// Reads what the window manager says about windows, independently of the code
// under test.
class XProbe {
public:
    explicit XProbe(const std::string& display) : dpy_(XOpenDisplay(display.c_str())) {}
    ~XProbe() {
        if (dpy_) XCloseDisplay(dpy_);
    }
    XProbe(const XProbe&) = delete;
    XProbe& operator=(const XProbe&) = delete;
    bool ok() const { return dpy_ != nullptr; }

    std::vector<unsigned long> longs(unsigned long w, const char* property, Atom type) {
        Atom actual = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        std::vector<unsigned long> out;
        if (XGetWindowProperty(dpy_, w, XInternAtom(dpy_, property, False), 0, 1024, False, type, &actual,
                               &format, &count, &after, &data) == Success &&
            data && format == 32) {
            const auto* v = reinterpret_cast<const unsigned long*>(data);
            out.assign(v, v + count);
        }
        if (data) XFree(data);
        return out;
    }
    bool hasNetState(unsigned long w, const char* state) {
        const auto atoms = longs(w, "_NET_WM_STATE", XA_ATOM);
        return std::find(atoms.begin(), atoms.end(), XInternAtom(dpy_, state, False)) != atoms.end();
    }
    bool maximized(unsigned long w) {
        return hasNetState(w, "_NET_WM_STATE_MAXIMIZED_VERT") &&
               hasNetState(w, "_NET_WM_STATE_MAXIMIZED_HORZ");
    }
    // ICCCM WM_STATE: 1 normal, 3 iconic, -1 none (not managed).
    long icccmState(unsigned long w) {
        const auto v = longs(w, "WM_STATE", XInternAtom(dpy_, "WM_STATE", False));
        return v.empty() ? -1 : static_cast<long>(v[0]);
    }
    bool viewable(unsigned long w) {
        XWindowAttributes a{};
        return XGetWindowAttributes(dpy_, w, &a) && a.map_state == IsViewable;
    }
    bool exists(unsigned long w) {
        XWindowAttributes a{};
        return XGetWindowAttributes(dpy_, w, &a) != 0;
    }
    bool managed(unsigned long w) {
        const auto clients = longs(DefaultRootWindow(dpy_), "_NET_CLIENT_LIST", XA_WINDOW);
        return std::find(clients.begin(), clients.end(), w) != clients.end();
    }
    unsigned long active() {
        const auto v = longs(DefaultRootWindow(dpy_), "_NET_ACTIVE_WINDOW", XA_WINDOW);
        return v.empty() ? 0 : v[0];
    }
    void geometry(unsigned long w, int& width, int& height, int& screenWidth, int& screenHeight) {
        XWindowAttributes a{};
        XGetWindowAttributes(dpy_, w, &a);
        width = a.width;
        height = a.height;
        screenWidth = WidthOfScreen(a.screen);
        screenHeight = HeightOfScreen(a.screen);
    }

private:
    Display* dpy_;
};

class X11States : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        session_ = X11Session::shared(&error);
        if (!session_) GTEST_SKIP() << error;
        desktop_ = openX11Desktop(session_->display);
        ASSERT_TRUE(desktop_.connected());
        x_ = std::make_unique<XProbe>(session_->display);
        ASSERT_TRUE(x_->ok());
    }
    X11Session* session_ = nullptr;
    X11Desktop desktop_;
    std::unique_ptr<XProbe> x_;
};

TEST_F(X11States, MaximiseMinimiseHideAndRestore) {
    Probe probe(*session_, {"--window", "State Target"});
    ASSERT_TRUE(probe.waitReady());
    const WindowHandle w = probe.window("State Target");
    X11WindowSystem& ws = *desktop_.windows;
    EXPECT_EQ(ws.windowState(w), WindowState::Normal);

    ASSERT_EQ(ws.setWindowState(w, WindowState::Maximized), WindowStatus::Ok);
    EXPECT_TRUE(waitFor([&] { return x_->maximized(w); }, std::chrono::seconds(3)));
    EXPECT_EQ(ws.windowState(w), WindowState::Maximized);

    // The window manager sets its properties one after the other: give it time.
    ASSERT_EQ(ws.setWindowState(w, WindowState::Minimized), WindowStatus::Ok);
    EXPECT_TRUE(waitFor([&] { return x_->icccmState(w) == IconicState; }, std::chrono::seconds(3)));
    EXPECT_TRUE(waitFor([&] { return !x_->viewable(w); }, std::chrono::seconds(3)));
    EXPECT_EQ(ws.windowState(w), WindowState::Minimized);

    // Back to normal from minimised and maximised at once.
    ASSERT_EQ(ws.setWindowState(w, WindowState::Normal), WindowStatus::Ok);
    EXPECT_TRUE(waitFor([&] { return x_->icccmState(w) == NormalState; }, std::chrono::seconds(3)));
    EXPECT_TRUE(waitFor([&] { return !x_->maximized(w); }, std::chrono::seconds(3)));
    EXPECT_TRUE(waitFor([&] { return x_->viewable(w); }, std::chrono::seconds(3)));

    // Hidden: off the screen and out of the window manager's list, yet alive.
    ASSERT_EQ(ws.setWindowState(w, WindowState::Withdrawn), WindowStatus::Ok);
    EXPECT_FALSE(x_->viewable(w));
    EXPECT_FALSE(x_->managed(w));
    EXPECT_TRUE(x_->exists(w));
    EXPECT_EQ(ws.windowState(w), WindowState::Withdrawn);

    // A hidden window can be maximised straight away.
    ASSERT_EQ(ws.setWindowState(w, WindowState::Maximized), WindowStatus::Ok);
    EXPECT_TRUE(x_->viewable(w));
    EXPECT_TRUE(x_->maximized(w));

    EXPECT_EQ(ws.setWindowState(0, WindowState::Normal), WindowStatus::NotFound);
    EXPECT_EQ(ws.windowState(0), WindowState::Withdrawn);
}

TEST(X11StatesNoWindowManager, WhatCanBeDoneWithoutOne) {
    std::string error;
    auto session = X11Session::start(false, &error);
    if (!session) GTEST_SKIP() << error;
    X11Desktop desktop = openX11Desktop(session->display);
    ASSERT_TRUE(desktop.connected());
    XProbe x(session->display);
    Probe probe(*session, {"--window", "Bare State"});
    ASSERT_TRUE(probe.waitReady());
    const WindowHandle w = probe.window("Bare State");
    X11WindowSystem& ws = *desktop.windows;
    EXPECT_EQ(ws.windowState(w), WindowState::Normal);
    // There is no minimised state without a window manager.
    EXPECT_EQ(ws.setWindowState(w, WindowState::Minimized), WindowStatus::NoWindowManager);
    EXPECT_TRUE(x.viewable(w));
    // Maximised means filling the screen.
    EXPECT_EQ(ws.setWindowState(w, WindowState::Maximized), WindowStatus::Ok);
    int width = 0, height = 0, screenWidth = 0, screenHeight = 0;
    x.geometry(w, width, height, screenWidth, screenHeight);
    EXPECT_EQ(width, screenWidth);
    EXPECT_EQ(height, screenHeight);
    // Hiding and showing work on the window itself.
    EXPECT_EQ(ws.setWindowState(w, WindowState::Withdrawn), WindowStatus::Ok);
    EXPECT_FALSE(x.viewable(w));
    EXPECT_EQ(ws.setWindowState(w, WindowState::Normal), WindowStatus::Ok);
    EXPECT_TRUE(x.viewable(w));
    desktop.windows.reset();
    desktop.keyboard.reset();
}

// Programs started through the assembled engine with a show mode.
class ShowModes : public qdtest::PerformTest {
protected:
    void SetUp() override {
        std::string error;
        session_ = X11Session::shared(&error);
        if (!session_) GTEST_SKIP() << error;
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        x_ = std::make_unique<XProbe>(session_->display);
        ASSERT_TRUE(x_->ok());
        desktop_ = openX11Desktop(session_->display);
        programDesktop_ = openX11ProgramDesktop(session_->display);
        startup_ = std::make_unique<Startup>(ui, clock, dir.path());
        runtime_ = std::make_unique<Runtime>(*startup_, frame, *programDesktop_, launcher);
        ASSERT_TRUE(runtime_->desktopConnected());
        runtime_->open();
        // Debug mode logs how each window ended up.
        runtime_->settings().Debug = true;
        runtime_->log().configure(EventLogConfig{dir.path(), "d3", true, true});
    }
    void TearDown() override {
        for (pid_t pid : started_) {
            kill(pid, SIGKILL);
            launcher.wait(pid, 2000);
        }
        runtime_.reset();
    }

    std::string probeCommand(const std::string& title) {
        return "\"" + qdtest::binPath("qd_keyprobe") + "\" --log \"" + (dir / "keys.log").string() +
               "\" --window \"" + title + "\"";
    }

    // Starts the test program with one window; returns its process.
    pid_t start(const std::string& title, ShowMode mode) {
        ProgramStartRequest r;
        r.command = probeCommand(title);
        r.showMode = mode;
        r.wantHandle = true;
        const StartOutcome outcome = runtime_->execution().startProgram(r);
        EXPECT_TRUE(outcome.started);
        EXPECT_GT(outcome.pid, 0);
        if (outcome.pid > 0) started_.push_back(outcome.pid);
        return outcome.pid;
    }

    // Ticks the engine until the debug line of the process's window is logged;
    // returns that line ("" when none came).
    std::string placed(pid_t pid) {
        const std::string key = "Process " + std::to_string(pid) + ": ";
        std::string found;
        waitFor(
            [&] {
                runtime_->tick();
                for (const std::string& l : logLines())
                    if (l.find(key) != std::string::npos) found = l;
                return !found.empty();
            },
            std::chrono::seconds(20));
        return found;
    }

    // The top-level window of a process, shown or not.
    WindowHandle windowOf(pid_t pid) {
        std::vector<TopLevelWindow> all;
        desktop_.windows->topLevelWindows(all);
        for (const TopLevelWindow& w : all)
            if (w.pid == pid && !w.title.empty()) return w.handle;
        return 0;
    }

    X11Session* session_ = nullptr;
    std::unique_ptr<XProbe> x_;
    X11Desktop desktop_;
    std::unique_ptr<Desktop> programDesktop_;
    std::unique_ptr<Startup> startup_;
    std::unique_ptr<Runtime> runtime_;
    std::vector<pid_t> started_;
};

TEST_F(ShowModes, MaximisedWithFocusAndMinimised) {
    const pid_t big = start("Started Maximised", ShowMode::MaximizedFocus);
    const std::string line = placed(big);
    EXPECT_NE(line.find("Window State"), std::string::npos) << line;
    EXPECT_NE(line.find("maximized"), std::string::npos) << line;
    const WindowHandle bigWindow = windowOf(big);
    ASSERT_NE(bigWindow, 0u);
    EXPECT_TRUE(x_->maximized(bigWindow));
    EXPECT_EQ(x_->active(), bigWindow);

    for (ShowMode mode : {ShowMode::MinimizedFocus, ShowMode::MinimizedNoFocus}) {
        const pid_t small = start("Started Minimised " + std::to_string(static_cast<int>(mode)), mode);
        EXPECT_NE(placed(small).find("minimized"), std::string::npos);
        const WindowHandle w = windowOf(small);
        ASSERT_NE(w, 0u);
        EXPECT_EQ(x_->icccmState(w), IconicState);
        EXPECT_TRUE(x_->hasNetState(w, "_NET_WM_STATE_HIDDEN"));
        EXPECT_FALSE(x_->viewable(w));
    }
}

TEST_F(ShowModes, ScriptStepWithShowModeThree) {
    ScriptingRecord step{};
    step.Action = "Start Program";
    step.Command = probeCommand("Script Maximised");
    step.DDEApplicationName = "0030";
    runtime_->scripts().tempScriptingActive = true;
    ASSERT_EQ(runtime_->scripts().queueSteps({step}), 1);
    WindowHandle w = 0;
    const bool maximised = waitFor(
        [&] {
            clock.advanceSeconds(1);
            runtime_->tick();
            WindowTargeting t(*desktop_.windows);
            w = t.FindWindowByPattern("Script Maximised", "");
            return w != 0 && x_->maximized(w);
        },
        std::chrono::seconds(20));
    if (w != 0) started_.push_back(desktop_.windows->windowPid(w));
    EXPECT_TRUE(maximised);
    EXPECT_EQ(x_->active(), w);
}

TEST_F(ShowModes, HiddenAndQuietStartsLeaveTheFocusWhereItWas) {
    Probe keeper(*session_, {"--window", "Focus Keeper"});
    ASSERT_TRUE(keeper.waitReady());
    const WindowHandle keeperWindow = keeper.window("Focus Keeper");
    ASSERT_EQ(desktop_.windows->activate(keeperWindow), WindowStatus::Ok);

    const pid_t quiet = start("Started Quietly", ShowMode::NoActivate);
    EXPECT_NE(placed(quiet).find("normal"), std::string::npos);
    const WindowHandle quietWindow = windowOf(quiet);
    ASSERT_NE(quietWindow, 0u);
    EXPECT_TRUE(x_->viewable(quietWindow));
    EXPECT_TRUE(waitFor([&] { return x_->active() == keeperWindow; }, std::chrono::seconds(3)));

    const pid_t minimised = start("Minimised Quietly", ShowMode::MinimizedNoFocus);
    EXPECT_NE(placed(minimised).find("minimized"), std::string::npos);
    EXPECT_TRUE(waitFor([&] { return x_->active() == keeperWindow; }, std::chrono::seconds(3)));

    const pid_t hidden = start("Started Hidden", ShowMode::Hidden);
    EXPECT_NE(placed(hidden).find("withdrawn"), std::string::npos);
    const WindowHandle hiddenWindow = windowOf(hidden);
    ASSERT_NE(hiddenWindow, 0u);
    EXPECT_TRUE(x_->exists(hiddenWindow));
    EXPECT_FALSE(x_->viewable(hiddenWindow));
    EXPECT_FALSE(x_->managed(hiddenWindow));
    EXPECT_TRUE(waitFor([&] { return x_->active() == keeperWindow; }, std::chrono::seconds(3)));
    // The program itself runs on.
    EXPECT_EQ(launcher.exitCode(hidden), kStillActive);
}

} // namespace
} // namespace qd
