// Scripts run by the real step interpreter against real windows on Xvfb +
// openbox: a program is started, waited for, focused, typed into, tested,
// closed and waited away; a program that will not end politely is ended by
// killproc. The clock is a manual one, one second ahead per tick, so only the
// real windows take real time.
#include "X11TestSupport.h"
#include "perform/PerformFixture.h"

#include "data/Text.h"

#include "platform/x11/X11Desktop.h"
#include "script/Keystrokes.h"
#include "script/ScriptEngine.h"
#include "script/Values.h"
#include "script/WindowTargeting.h"

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

namespace qd {
namespace {

using qdtest::X11Session;

ScriptingRecord step(const std::string& action) {
    ScriptingRecord s{};
    s.Action = action;
    return s;
}

ScriptingRecord setValue(const std::string& name, const std::string& value) {
    ScriptingRecord s = step("Set Value");
    s.Path = name;
    s.Command = value;
    return s;
}

ScriptingRecord startProgram(const std::string& command, const std::string& options = "0010") {
    ScriptingRecord s = step("Start Program");
    s.Command = command;
    s.DDEApplicationName = options;
    return s;
}

// A window wait without seconds: waits for as long as it takes.
ScriptingRecord waitFor(const std::string& pattern) {
    ScriptingRecord s = step("Wait");
    s.WaitForWindow = pattern;
    return s;
}

ScriptingRecord setFocus(const std::string& pattern) {
    ScriptingRecord s = step("Set Focus");
    s.FocusOnWindow = pattern;
    return s;
}

ScriptingRecord sendKeys(const std::string& keys) {
    ScriptingRecord s = step("Send Keys");
    s.Keystrokes = keys;
    return s;
}

ScriptingRecord ifWindow(const std::string& existence, const std::string& pattern) {
    ScriptingRecord s = step("If Window...");
    s.WindowExistance = existence;
    s.WindowTitleToCheckFor = pattern;
    return s;
}

ScriptingRecord closeProgram(const std::string& pattern, const std::string& childText = "") {
    ScriptingRecord s = step("Close Program");
    s.Command = pattern;
    s.Path = childText;
    return s;
}

std::string quoted(const std::string& s) {
    return "\"" + s + "\"";
}

// Qt's modifier keys (Shift, Control, Meta, Alt, Caps Lock, Num Lock, AltGr).
bool isModifierKey(int key) {
    return (key >= 0x01000020 && key <= 0x01000026) || key == 0x01001103;
}

class ScriptEndToEnd : public qdtest::PerformTest {
protected:
    void SetUp() override {
        std::string error;
        session_ = X11Session::shared(&error);
        if (!session_) GTEST_SKIP() << error;
        // The started test program finds the display in our environment.
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        // killproc is started from beside the running program, as in the program itself.
        launcher.setProgramFolder({});
        desktop_ = openX11Desktop(session_->display);
        ASSERT_TRUE(desktop_.connected());

        keys_ = std::make_unique<KeystrokeSender>(*desktop_.keyboard);
        keys_->setClock(&clock);
        keys_->setSleep([this](std::chrono::milliseconds ms) { clock.advance(ms.count() / 10); });
        targeting_ = std::make_unique<WindowTargeting>(*desktop_.windows);
        values_ = std::make_unique<ScriptValues>(vars_);
        values_->setClock(&clock);

        ScriptEnvironment env;
        env.values = values_.get();
        env.keys = keys_.get();
        env.windows = targeting_.get();
        env.execution = &exec;
        engine_ = std::make_unique<ScriptEngine>(ds, log, ui, clock, env);
        engine_->globalDelay = 10;
        engine_->setObserver([this](const QueueEntry& e, const std::string& note) {
            lastKept_ = note.rfind("kept", 0) == 0;
            if (lastKept_) return;
            const std::string a = text::trimmedRight(e.step.Action);
            executed_.push_back(note.empty() ? a : a + " [" + note + "]");
            if (afterStep_) afterStep_(a);
        });
    }

    void TearDown() override {
        if (!session_) return;
        // Nothing the script pressed may stay down.
        X11Keyboard fresh(desktop_.connection);
        EXPECT_EQ(fresh.serverKeysDown(), 0);
        EXPECT_EQ(fresh.heldModifiers(), 0);
        if (probePid_ > 0 && launcher.exitCode(probePid_) == kStillActive) {
            kill(probePid_, SIGKILL);
            launcher.wait(probePid_, 2000);
        }
    }

    // One step per tick with the clock one second ahead each time; a step that
    // stays at the head (waiting for a real window) lets real time pass too.
    bool runScript(std::chrono::seconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!engine_->queue().empty()) {
            if (std::chrono::steady_clock::now() >= end) return false;
            clock.advanceSeconds(1);
            lastKept_ = false;
            engine_->executeNextStep();
            if (lastKept_) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return true;
    }

    std::string probeCommand(const std::string& title, const std::string& extra = "") {
        return quoted(qdtest::binPath("qd_keyprobe")) + " --log " + quoted((dir / "keys.log").string()) +
               " --ready " + quoted((dir / "ready").string()) + (extra.empty() ? "" : " " + extra) +
               " --window " + quoted(title);
    }

    // The started program's process, read from its window when the wait for it ends.
    void notePidAfterFirstWait(const std::string& pattern) {
        afterStep_ = [this, pattern](const std::string& action) {
            if (action != "Wait" || probePid_ > 0) return;
            probePid_ = desktop_.windows->windowPid(targeting_->FindWindowByPattern(pattern, ""));
        };
    }

    // Key presses as they reached the window, modifier keys left out: the text
    // of plain presses, "^X" for a Ctrl combination.
    std::string receivedPresses() const {
        std::ifstream in(dir / "keys.log");
        std::string line, out;
        while (std::getline(in, line)) {
            std::istringstream ls(line);
            std::string kind, key, mods, hex;
            ls >> kind >> key >> mods >> hex;
            if (kind != "P") continue;
            const int code = static_cast<int>(std::stoul(key, nullptr, 16));
            const unsigned m = static_cast<unsigned>(std::stoul(mods, nullptr, 16));
            if (isModifierKey(code)) continue;
            if (m & qdtest::kQtCtrl) {
                out += "^" + std::string(1, static_cast<char>(code));
                continue;
            }
            for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
                out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
        }
        return out;
    }

    // Every key the window saw go down also came up.
    bool pressesBalanced() const {
        std::ifstream in(dir / "keys.log");
        std::map<std::string, int> down;
        std::string kind, key, rest;
        while (in >> kind >> key && std::getline(in, rest))
            down[key] += kind == "P" ? 1 : -1;
        for (const auto& [k, n] : down)
            if (n != 0) return false;
        return true;
    }

    X11Session* session_ = nullptr;
    X11Desktop desktop_;
    VariableQueue vars_;
    std::unique_ptr<KeystrokeSender> keys_;
    std::unique_ptr<WindowTargeting> targeting_;
    std::unique_ptr<ScriptValues> values_;
    std::unique_ptr<ScriptEngine> engine_;
    std::vector<std::string> executed_;
    std::function<void(const std::string&)> afterStep_;
    bool lastKept_ = false;
    pid_t probePid_ = 0;
};

TEST_F(ScriptEndToEnd, StartWaitFocusTypeTestCloseAndWaitAway) {
    notePidAfterFirstWait("Untitled - *");
    const std::vector<ScriptingRecord> script = {
        setValue("NAME", "World"),
        startProgram(probeCommand("Untitled - Notepad")),
        waitFor("Untitled - *"),
        setFocus("Untitled - *"),
        sendKeys("Hello [NAME]![ENTER][CtrlA]"),
        ifWindow("Exists", "Untitled - *"),
        setValue("SEEN", "1"),
        step("...End If"),
        ifWindow("Exists", "No Such Window 4711"),
        setValue("NEVER", "1"),
        sendKeys("never typed"),
        step("...End If"),
        ifWindow("Does not exist", "No Such Window 4711"),
        setValue("ABSENT", "1"),
        step("...End If"),
        closeProgram("Untitled - *"),
        waitFor("~Untitled - *"),
        setValue("DONE", "1"),
    };
    ASSERT_EQ(engine_->queueSteps(script), static_cast<int>(script.size()));
    ASSERT_TRUE(runScript(std::chrono::seconds(60))) << "stuck at " << engine_->statusLine();

    // The window got exactly what was typed, nothing of the skipped block.
    EXPECT_EQ(receivedPresses(), "Hello World!\r^A");
    EXPECT_TRUE(pressesBalanced());

    EXPECT_EQ(vars_.text("NAME"), "World");
    EXPECT_EQ(vars_.text("SEEN"), "1");
    EXPECT_EQ(vars_.text("NEVER"), "");
    EXPECT_EQ(vars_.text("ABSENT"), "1");
    EXPECT_EQ(vars_.text("DONE"), "1");
    EXPECT_EQ(executed_, (std::vector<std::string>{
                             "Set Value [NAME=World]", "Start Program", "Wait", "Set Focus", "Send Keys",
                             "If Window... [true]", "Set Value [SEEN=1]", "...End If", "If Window... [false]",
                             "If Window... [true]", "Set Value [ABSENT=1]", "...End If", "Close Program",
                             "Wait", "Set Value [DONE=1]", "**End**"}));

    // The event log has a line for every step; the skipped test names its window.
    const auto lines = logLines();
    const auto has = [&](const std::string& text) {
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& l) { return l.find(text) != std::string::npos; });
    };
    EXPECT_TRUE(has("Run Program"));
    EXPECT_TRUE(has("Wait  Untitled - *"));
    // Keystroke texts are logged by their length only (they may hold passwords).
    EXPECT_TRUE(has("Send Keys  27 characters"));
    EXPECT_FALSE(has("Hello [NAME]"));
    EXPECT_TRUE(has("If Window... No Such Window 4711 Exists"));
    EXPECT_TRUE(has("Close Program  Untitled - *"));
    EXPECT_TRUE(has("Wait  ~Untitled - *"));
    EXPECT_FALSE(has("never typed"));

    // Closed politely: the program ended by itself, with success.
    ASSERT_GT(probePid_, 0);
    EXPECT_EQ(launcher.wait(probePid_, 5000), 0);
    EXPECT_EQ(targeting_->FindWindowByPattern("Untitled - *", ""), 0u);
}

TEST_F(ScriptEndToEnd, ProgramThatIgnoresPoliteEndingIsEndedByKillproc) {
    notePidAfterFirstWait("Stubborn*");
    // No window has the child text, so the step hands the title pattern to
    // killproc, which finds the window by its title alone; the program shrugs
    // off SIGTERM and is killed after killproc's grace period.
    const std::vector<ScriptingRecord> script = {
        startProgram(probeCommand("Stubborn Window", "--ignore-term")),
        waitFor("Stubborn*"),
        closeProgram("Stubborn*", "Text no child has"),
        waitFor("~Stubborn*"),
        closeProgram("No Window Has This Title 4711"),
        setValue("DONE", "1"),
    };
    ASSERT_EQ(engine_->queueSteps(script), static_cast<int>(script.size()));
    ASSERT_TRUE(runScript(std::chrono::seconds(60))) << "stuck at " << engine_->statusLine();

    ASSERT_GT(probePid_, 0);
    EXPECT_EQ(launcher.wait(probePid_, 5000), 128 + SIGKILL);
    EXPECT_EQ(vars_.text("DONE"), "1");
    EXPECT_EQ(executed_,
              (std::vector<std::string>{"Start Program", "Wait", "Close Program [KillProc Stubborn*]", "Wait",
                                        "Close Program [KillProc No Window Has This Title 4711]",
                                        "Set Value [DONE=1]", "**End**"}));
}

} // namespace
} // namespace qd
