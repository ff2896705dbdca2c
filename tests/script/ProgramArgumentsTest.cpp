// A value put into a started program's command line (a transfer program's or
// a "Start Program" step's with translation) reaches the program as the one
// argument it was written in, translated once. The programs are real (small
// shell scripts that write down their arguments).
#include "perform/PerformFixture.h"
#include "script/ScriptEngine.h"
#include "script/ScriptSteps.h"
#include "script/Values.h"
#include "support/RandomCommandLines.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "platform/CommandLine.h"

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

    // A program in the program folder that writes its arguments, each ended by
    // a NUL, to "<name>.args" beside it.
    std::filesystem::path recorder(const std::string& name) {
        writeScript(name, "printf '%s\\0' \"$@\" > \"$0.args.part\" && mv \"$0.args.part\" \"$0.args\"");
        return dir / "bin" / name;
    }
    std::vector<std::string> recorded(const std::filesystem::path& program) {
        const auto file = program.string() + ".args";
        for (int i = 0; i < 5000 && !std::filesystem::exists(file); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        std::ifstream in(file, std::ios::binary);
        std::vector<std::string> args;
        for (std::string arg; std::getline(in, arg, '\0');)
            args.push_back(arg);
        std::filesystem::remove(file);
        return args;
    }
    void runAll() {
        for (int i = 0; i < 200 && !engine->queue().empty(); ++i) {
            clock.advanceSeconds(1);
            engine->executeNextStep();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    // Runs one "Start Program" step; `options` as stored in the step.
    void start(const std::string& command, const std::string& options) {
        ScriptingRecord step{};
        step.Action = action::StartProgram;
        step.Command = command;
        step.DDEApplicationName = options;
        engine->queueSteps({step});
        runAll();
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
    EXPECT_EQ(
        recorded(dir / "bin" / "qdftp"),
        (std::vector<std::string>{"U", "/tmp/my report.txt", "[NOT AGAIN]/", "ftp.example.org", "alice"}));
}

// No wait, normal priority, minimized, translate: started directly (the
// start asks for the process). All defaults but translate: the simple start,
// through the shell's way with its retries.
const char* const kDirectStart = "0221";
const char* const kSimpleStart = "0211";

TEST_F(ProgramArgumentsTest, StartProgramWithTranslationKeepsEachValueInItsArgument) {
    const auto program = recorder("recorder");
    vars.set("FILE", "/tmp/my report.txt");
    vars.set("Q", "say \"hi\" [FILE]");
    vars.set("NONE", "");
    for (const char* options : {kDirectStart, kSimpleStart}) {
        SCOPED_TRACE(options);
        start(program.string() + " [FILE] \"x [Q]\" [Q] [NONE] 'it''s' [[FILE]", options);
        EXPECT_EQ(recorded(program), (std::vector<std::string>{"/tmp/my report.txt", "x say \"hi\" [FILE]",
                                                               "say \"hi\" [FILE]", "", "its", "[FILE]"}));
    }
}

TEST_F(ProgramArgumentsTest, AValueNeverAddsArgumentsOrChangesTheProgram) {
    std::filesystem::create_directories(dir / "bin" / "my apps");
    const auto program = recorder("my apps/run");
    writeScript("my apps/run x", "touch \"$0.started\""); // must never be the one started
    vars.set("EVIL", "a\" \"--rm\" 'b c' \t-x");
    vars.set("X", "x");
    vars.set("DIR", (dir / "bin" / "my apps").string());
    const std::string unquoted = program.string(); // a path with a blank, not quoted
    for (const char* options : {kDirectStart, kSimpleStart}) {
        SCOPED_TRACE(options);
        start(unquoted + " [EVIL] -v", options);
        EXPECT_EQ(recorded(program), (std::vector<std::string>{"a\" \"--rm\" 'b c' \t-x", "-v"}));
        start(unquoted + " [X]", options);
        EXPECT_EQ(recorded(program), (std::vector<std::string>{"x"}));
        start("\"[DIR]/run\" [X] [DIR]", options);
        EXPECT_EQ(recorded(program), (std::vector<std::string>{"x", (dir / "bin" / "my apps").string()}));
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "bin" / "my apps" / "run x.started"));
}

// A program whose folder comes from a value holding a double quote: both ways of
// starting find where the program ends by the one rule.
TEST_F(ProgramArgumentsTest, AQuoteInTheProgramsNameComingFromAValueKeepsTheProgramWhole) {
    std::filesystem::create_directories(dir / "bin" / "say \"hi\"");
    const auto program = recorder("say \"hi\"/run");
    vars.set("DIR", (dir / "bin" / "say \"hi\"").string());
    vars.set("X", "x y");
    for (const char* options : {kDirectStart, kSimpleStart}) {
        SCOPED_TRACE(options);
        start("\"[DIR]/run\" [X] -v", options);
        EXPECT_EQ(recorded(program), (std::vector<std::string>{"x y", "-v"}));
    }
}

TEST_F(ProgramArgumentsTest, TranslateFilenamesTranslatesWithoutTheOption) {
    const auto program = recorder("recorder");
    vars.set("FILE", "my file");
    engine->translateFilenames = true;
    start(program.string() + " [FILE]", "0220");
    EXPECT_EQ(recorded(program), (std::vector<std::string>{"my file"}));
    engine->translateFilenames = false;
    start(program.string() + " [FILE]", "0220");
    EXPECT_EQ(recorded(program), (std::vector<std::string>{"[FILE]"}));
}

// Random command lines started for real, alternately directly and the simple
// way, from a plain program path and from one with a blank: the program gets
// the arguments as written with each value put in, nothing more or less.
TEST_F(ProgramArgumentsTest, RandomValuesReachTheStartedProgramAsTheArgumentsWritten) {
    std::filesystem::create_directories(dir / "bin" / "my bin");
    const std::filesystem::path programs[] = {recorder("recorder"), recorder("my bin/recorder")};
    qdtest::RandomCommandLines lines(7122026);
    int started = 0;
    for (int round = 0; round < 240; ++round) {
        const qdtest::RandomArguments args = lines.next(vars);
        const std::filesystem::path& program = programs[round / 2 % 2];
        const std::string line = quoteCommandArgument(program.string()) + " " + joinCommandLine(args.written);
        start(line, round % 2 == 0 ? kDirectStart : kSimpleStart);
        const std::vector<std::string> got = recorded(program);
        ASSERT_EQ(got, args.expected) << "round " << round << ": " << line;
        ++started;
    }
    EXPECT_EQ(started, 240);
}

} // namespace
