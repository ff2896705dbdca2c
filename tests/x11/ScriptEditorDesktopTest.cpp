// The step editor's window helpers on a real X desktop (Xvfb + openbox): the
// window picker lists a real window, a pattern typed into the form counts it,
// the pointer query finds the window under the pointer; and a script written
// through the form is run by the real interpreter and types into that window.
// The editor's own windows are drawn offscreen; the targets are real.
#include "X11TestSupport.h"

#include "data/DataSet.h"
#include "data/ErrorClass.h"
#include "data/EventLog.h"
#include "platform/x11/X11Desktop.h"
#include "script/Keystrokes.h"
#include "script/ScriptEditing.h"
#include "script/ScriptEngine.h"
#include "script/Values.h"
#include "script/WindowTargeting.h"
#include "script/ui/UpdateScripting.h"
#include "script/ui/WindowPickers.h"
#include "ui/QtUserInterface.h"

#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>

// Last: Xlib's macros (None, Bool, Status) would break the headers above.
#include <X11/Xlib.h>

namespace {

using namespace qd;

// The editor's windows need an application; main() below owns it, so it is
// torn down (fonts and all) before the program exits.
QApplication* theApp = nullptr;

QApplication& app() {
    return *theApp;
}

// A loaded machine may take many seconds to start a program, map its windows
// and let the window manager list them: every wait here is for a condition,
// checked again whenever the event loop has run a little, with a deadline far
// beyond what an idle machine needs.
constexpr std::chrono::seconds kDeadline{90};

bool waitUntil(const std::function<bool()>& ready, std::chrono::seconds limit = kDeadline) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!ready()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        QEventLoop loop;
        QTimer::singleShot(25, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

class ScriptEditorDesktop : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        session_ = qdtest::X11Session::shared(&error);
        if (!session_) GTEST_SKIP() << error;
        app();
        setenv("QT_QPA_PLATFORM", "xcb", 1); // for the probe we start; ours is offscreen already
        desktop_ = openX11Desktop(session_->display);
        ASSERT_TRUE(desktop_.connected());
        targeting_ = std::make_unique<WindowTargeting>(*desktop_.windows);
        context_ = std::make_unique<qdscriptui::ScriptUiContext>(
            qdscriptui::ScriptUiContext{ds_, qtUi_, clock_, settings_, targeting_.get(), nullptr, nullptr});
    }

    qdtest::TempDir dir_;
    ScriptedUserInterface scripted_;
    ErrorClass errors_{&scripted_};
    DataSet ds_{dir_.path(), errors_};
    ManualClock clock_{{dateFromMDY(3, 10, 2026), timeFromHMS(9, 0, 0)}};
    ProgramSettings settings_;
    qdui::QtUserInterface qtUi_;
    qdtest::X11Session* session_ = nullptr;
    X11Desktop desktop_;
    std::unique_ptr<WindowTargeting> targeting_;
    std::unique_ptr<qdscriptui::ScriptUiContext> context_;

    // Until the window manager lists every title (the pickers and the steps find windows there).
    bool listed(const std::vector<std::string>& titles) {
        return waitUntil([&] {
            const auto& windows = targeting_->ListWindows();
            for (const std::string& title : titles)
                if (std::none_of(windows.begin(), windows.end(),
                                 [&](const WindowListEntry& w) { return w.text == title; }))
                    return false;
            return true;
        });
    }
};

TEST_F(ScriptEditorDesktop, PickerListsARealWindowAndThePatternCountsIt) {
    qdtest::Probe probe(*session_, {"--window", "Quarterly Figures - Probe", "--window", "Notes - Probe"});
    ASSERT_TRUE(probe.waitReady(kDeadline));
    ASSERT_TRUE(listed({"Quarterly Figures - Probe", "Notes - Probe"}));

    qdscriptui::WindowPickerDialog picker(*targeting_);
    QStringList titles;
    for (int i = 0; i < picker.list()->count(); ++i)
        titles << picker.list()->item(i)->text();
    EXPECT_TRUE(titles.filter("Quarterly Figures - Probe").size() == 1) << titles.join(" | ").toStdString();
    EXPECT_TRUE(titles.filter("Notes - Probe").size() == 1);

    ScriptingRecord s{};
    s.ID = 1;
    s.Action = "Set Focus";
    qdscriptui::UpdateScriptingDialog form(*context_, taskSteps(1), s, true);
    auto* window = qobject_cast<QLineEdit*>(form.field("Window"));
    ASSERT_NE(window, nullptr);
    window->setText("*- Probe");
    EXPECT_EQ(form.matchCount()->text().toStdString(), "matches 2 windows");
    window->setText("quarterly figures - *");
    EXPECT_EQ(form.matchCount()->text().toStdString(), "matches 1 window");

    // The pointer over the window: the pointer query names that window.
    Display* dpy = XOpenDisplay(session_->display.c_str());
    ASSERT_NE(dpy, nullptr);
    const unsigned long target = probe.window("Notes - Probe");
    XWindowAttributes a{};
    ASSERT_NE(XGetWindowAttributes(dpy, target, &a), 0);
    Window child = 0;
    int x = 0, y = 0;
    XTranslateCoordinates(dpy, target, DefaultRootWindow(dpy), a.width / 2, a.height / 2, &x, &y, &child);
    XRaiseWindow(dpy, target);
    XWarpPointer(dpy, 0, DefaultRootWindow(dpy), 0, 0, 0, 0, x, y);
    XSync(dpy, False);
    // The window manager raises the window in its own time.
    EXPECT_TRUE(waitUntil([&] { return desktop_.windows->pointerTarget().window == target; }))
        << "under the pointer: " << desktop_.windows->pointerTarget().window << ", expected " << target;
    XCloseDisplay(dpy);
}

TEST_F(ScriptEditorDesktop, AScriptWrittenInTheFormTypesIntoTheWindow) {
    qdtest::Probe probe(*session_, {"--window", "Typing Target - Probe"});
    ASSERT_TRUE(probe.waitReady(kDeadline));
    ASSERT_TRUE(listed({"Typing Target - Probe"}));

    // The steps as a person makes them: the form, then the list's insert.
    ScriptingRecord blank{};
    blank.ID = 5;
    {
        qdscriptui::UpdateScriptingDialog form(*context_, taskSteps(5), blank, true);
        form.chooseAction("Set Focus");
        form.setField("Window", "Typing Target - *");
        ScriptingRecord focus = form.step();
        ASSERT_TRUE(CheckStepForSave(focus, 5).ok);
        ASSERT_TRUE(InsertStepAfter(ds_, taskSteps(5), -1, focus).ok());
    }
    {
        qdscriptui::UpdateScriptingDialog form(*context_, taskSteps(5), blank, true);
        form.chooseAction("Send Keys");
        form.setField("Keystrokes", "Hello there[ENTER]");
        ScriptingRecord keys = form.step();
        ASSERT_TRUE(InsertStepAfter(ds_, taskSteps(5), -1, keys).ok());
    }

    EventLog log(EventLogConfig{dir_.path(), "d3", true, false}, &clock_);
    KeystrokeSender keys(*desktop_.keyboard);
    keys.setClock(&clock_);
    keys.setSleep([this](std::chrono::milliseconds ms) { clock_.advance(ms.count() / 10); });
    VariableQueue vars;
    ScriptValues values(vars);
    ScriptEnvironment env;
    env.values = &values;
    env.keys = &keys;
    env.windows = targeting_.get();
    ScriptEngine engine(ds_, log, scripted_, clock_, env);
    ASSERT_EQ(engine.queueSteps(LoadScriptSteps(ds_, 5).steps), 2);
    EXPECT_TRUE(waitUntil([&] {
        clock_.advanceSeconds(1);
        engine.executeNextStep();
        return engine.queue().empty();
    }));
    EXPECT_EQ(probe.waitTyped(12, kDeadline), "Hello there\r");
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    int qtArgc = 3;
    char arg0[] = "ScriptEditorDesktopTest", arg1[] = "-platform", arg2[] = "offscreen";
    char* qtArgv[] = {arg0, arg1, arg2, nullptr};
    QApplication application(qtArgc, qtArgv);
    theApp = &application;
    return RUN_ALL_TESTS();
}
