// A value put into a transfer program's command line reaches the program as
// the one argument it was written in, translated once. The program is a real
// one (a small shell script that writes down its arguments).
#include "perform/PerformFixture.h"
#include "script/ScriptEngine.h"
#include "script/ScriptSteps.h"
#include "script/Values.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

using namespace qd;

namespace {

class ProgramArgumentsTest : public qdtest::PerformTest {
protected:
    ProgramArgumentsTest() : values(vars) {
        values.setClock(&clock);
        ScriptEnvironment env;
        env.values = &values;
        env.execution = &exec;
        engine = std::make_unique<ScriptEngine>(ds, log, ui, clock, env);
        exec.setScriptHost(engine.get());
    }

    // A program in the program folder that writes its arguments, one a line,
    // to "<name>.args" beside it.
    void recorder(const std::string& name) {
        writeScript(name, "printf '%s\\n' \"$@\" > \"$0.args.part\" && mv \"$0.args.part\" \"$0.args\"");
    }
    std::vector<std::string> recorded(const std::string& name) {
        const auto file = dir / "bin" / (name + ".args");
        for (int i = 0; i < 1000 && !std::filesystem::exists(file); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::vector<std::string> lines;
        std::ifstream in(file);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
    void runAll() {
        for (int i = 0; i < 200 && !engine->queue().empty(); ++i) {
            clock.advanceSeconds(1);
            engine->executeNextStep();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    VariableQueue vars;
    ScriptValues values;
    std::unique_ptr<ScriptEngine> engine;
};

TEST_F(ProgramArgumentsTest, FtpUploadOfAFileNameWithBlanksSendsItAsOneArgument) {
    recorder("qdftp");
    vars.set("FILE", "/tmp/my report.txt");
    vars.set("DIR", "[NOT AGAIN]"); // a value is never translated a second time
    vars.set("NOT AGAIN", "wrong");
    ScriptingRecord up{};
    up.Action = action::FileActions;
    up.DDEType = "FTP Upload";
    up.Command = "[FILE]";
    up.Path = "[DIR]/";
    up.DDEApplicationName = "ftp.example.org";
    std::string user = "alice";
    user.resize(128, ' ');
    up.DDEApplicationTopic = user + "secret";
    engine->queueSteps({up});
    runAll();
    EXPECT_EQ(recorded("qdftp"), (std::vector<std::string>{"U", "/tmp/my report.txt", "[NOT AGAIN]/",
                                                           "ftp.example.org", "alice"}));
}

} // namespace
