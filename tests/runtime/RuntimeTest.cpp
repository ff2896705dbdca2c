// The assembled engine on the null desktop with real processes.
#include "perform/PerformFixture.h"

#include "platform/null/NullDesktop.h"
#include "runtime/Runtime.h"
#include "script/ScriptEngine.h"
#include "script/Values.h"

#include <stdexcept>

using namespace qd;

namespace {

// Answers like the scripted one, but its dialogs break for texts naming "Broken"
// and for the error box of a program that cannot start.
struct FaultyUserInterface : ScriptedUserInterface {
    bool ask(const std::string& title, const std::string& text) override {
        if (text.find("Broken") != std::string::npos) throw std::runtime_error("question window failed");
        return ScriptedUserInterface::ask(title, text);
    }
    void message(const std::string& title, const std::string& text, MessageIcon icon) override {
        if (text.find("/no/such/program") != std::string::npos)
            throw std::runtime_error("message box failed");
        ScriptedUserInterface::message(title, text, icon);
    }
};

class RuntimeTest : public qdtest::PerformTest {
protected:
    RuntimeTest() : startup(faultyUi, clock, dir.path()), runtime(startup, frame, desktop, launcher) {
        faultyUi.defaultAnswer = true;
        runtime.dispatcher().setObserver([this](const PerformedTask& p) { performed.push_back(p.id); });
    }
    void open() {
        runtime.open();
        runtime.log().configure(EventLogConfig{dir.path(), "d3", true, false});
    }

    FaultyUserInterface faultyUi;
    NullDesktop desktop;
    Startup startup;
    Runtime runtime;
    std::vector<int> performed;
};

TEST_F(RuntimeTest, AFaultInOneTaskNeverStopsTheOthers) {
    // "Broken" is due first and fails every time it is performed; "Fine" comes after it.
    ScheduleRecord broken = daily("Broken", clock.today(), timeFromHMS(9, 0, 0));
    broken.UserSkip = 1;
    const int brokenId = addTask(broken);
    const int fineId = addTask(daily("Fine", clock.today(), timeFromHMS(9, 0, 30)));
    open();
    for (int second = 0; second < 120; ++second, clock.advanceSeconds(1))
        EXPECT_NO_THROW(runtime.tick());
    EXPECT_EQ(performed, std::vector<int>{fineId});
    EXPECT_TRUE(logged("Broken: question window failed"));
    EXPECT_TRUE(logged("Task Failed"));
    // The broken occurrence is not retried over and over within one run.
    int failures = 0;
    for (const auto& l : logLines())
        failures += l.find("Task Failed") != std::string::npos;
    EXPECT_EQ(failures, 1);
    (void)brokenId;
}

TEST_F(RuntimeTest, AFailingStepIsDroppedAndTheScriptGoesOn) {
    open();
    ScriptingRecord run{};
    run.Action = "Start Program";
    run.Command = "/no/such/program";
    ScriptingRecord set{};
    set.Action = "Set Value";
    set.Path = "AFTER";
    set.Command = "reached";
    runtime.scripts().queueSteps({run, set});
    runtime.scripts().tempScriptingActive = true;
    for (int second = 0; second < 10 && !runtime.scripts().queue().empty(); ++second) {
        clock.advanceSeconds(1);
        EXPECT_NO_THROW(runtime.tick());
    }
    EXPECT_TRUE(runtime.scripts().queue().empty());
    EXPECT_EQ(runtime.values().TranslateVariable("AFTER"), "reached");
    EXPECT_TRUE(logged("message box failed"));
}

// The runtime's opening is the program's: the "Version" row, the settings with the
// command line, and a log that reads the runtime's clock.
TEST_F(RuntimeTest, OpeningWritesTheVersionRowAndLoadsTheSettings) {
    qdtest::writeFile(dir / "qd98.INI", "[Settings]\nLogEvents=1\nDebug=1\n");
    ASSERT_TRUE(runtime.open());
    Table<ConfigurationRecord> cf(ds, tables::Configuration());
    ASSERT_EQ(cf.open(), Level::Benign);
    cf.rec.DataType = "Version";
    ASSERT_EQ(cf.fetch(cf.def().findKey("CF:KeyDataType")), Level::Benign);
    EXPECT_EQ(std::string(cf.rec.DataValue), "2.04");
    EXPECT_TRUE(runtime.settings().Debug);
    EXPECT_EQ(&runtime.settings(), &startup.settings());
    const LogTail tail = readLogTail(dir.path());
    ASSERT_EQ(tail.lines.size(), 2u);
    EXPECT_EQ(std::string(parseLogLine(tail.lines[0]).LogLabel), "Debugging Active");
    const QD_LOGRecord started = parseLogLine(tail.lines[1]);
    EXPECT_EQ(std::string(started.LogLabel), "Started");
    EXPECT_EQ(std::string(started.LogTime).substr(0, 5), "09:00"); // the test's clock
}

} // namespace
