#include "script/ScriptFile.h"
#include "../data/StoreFixture.h"

#include <gtest/gtest.h>

using namespace qd;
using qdtest::readFile;
using qdtest::writeFile;

namespace {

ScriptingRecord step(const std::string& action) {
    ScriptingRecord s;
    s.Action = action;
    return s;
}

TEST(ScriptFileFormat, LinesAreQuotedCommaSeparated) {
    ScriptingRecord w = step("Wait");
    w.SecondsToWait = 30;
    w.WaitForWindow = "Say \"hi\", then";
    w.DDEApplicationName = "Either";
    ScriptingRecord c = step("Comment");
    c.Command = "not written";
    EXPECT_EQ(WriteScriptFileText({w, c, step("...End If")}),
              "\"Wait\",\"30\",\"Say \"\"hi\"\", then\",\"Either\",\"\",\"\",\"\"\r\n"
              "\"...End If\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n");
}

TEST(ScriptFileFormat, ReaderTakesOtherDialectsAndNormalises) {
    const std::string text = "\xEF\xBB\xBF"
                             "Send Keystrokes,hello\n"
                             "\"If Window...\",\"EXISTS\",\"Calc\"\r"
                             "\"If Window...\",\"gone\",\"Calc\"\n"
                             "\"If Time Elapsed...\",\"GREATER\", 45 \n"
                             "\"Wait\",\"5\",\"Win\",\"and\"\n"
                             "\"Wait\",\"5\",\"Win\",\"either\"\n"
                             "\"Wait\",\"5\",\"Win\",\"or\"\n"
                             "\n"
                             "\"Display Message\",\"two\nlines\",\"T\",\"1\"\n"
                             "\"Comment\",\"skipped\"\n"
                             "\"\",\"blank\"\n"
                             "\"Frobnicate\",\"x\"\n";
    ScriptFileContent c = ParseScriptFileText(text);
    ASSERT_EQ(c.steps.size(), 8u);
    EXPECT_EQ(c.steps[0].Action, "Send Keys");
    EXPECT_EQ(c.steps[0].Keystrokes, "hello");
    EXPECT_EQ(c.steps[1].WindowExistance, "Exists");
    EXPECT_EQ(c.steps[2].WindowExistance, "Does not exist");
    EXPECT_EQ(c.steps[3].IfTimeElapsed, "Greater than");
    EXPECT_EQ(c.steps[3].TimeElapsed, 45);
    EXPECT_EQ(c.steps[4].DDEApplicationName, "Both");
    EXPECT_EQ(c.steps[5].DDEApplicationName, "Either");
    EXPECT_EQ(c.steps[6].DDEApplicationName, "or");
    EXPECT_EQ(c.steps[7].DDEApplicationName, "two\nlines");
    EXPECT_EQ(c.steps[7].SecondsToWait, 1);
    EXPECT_EQ(c.steps[7].Sequence, 8);
    EXPECT_EQ(c.unrecognized, (std::vector<std::string>{"Frobnicate"}));
}

TEST(ScriptFileFormat, LongDdeActionSurvivesTheNarrowActionField) {
    ScriptingRecord d = step("DDE (Dynamic Data Exchange)");
    d.DDEType = "Execute";
    d.DDEApplicationName = "app";
    d.DDECommand = "[open]";
    const std::string text = WriteScriptFileText({d});
    EXPECT_EQ(text.substr(0, 23), "\"DDE (Dynamic Data Ex\",");
    ScriptFileContent c = ParseScriptFileText(text);
    ASSERT_EQ(c.steps.size(), 1u);
    EXPECT_EQ(c.steps[0].Action, "DDE (Dynamic Data Exchange)");
    EXPECT_EQ(c.steps[0].DDECommand, "[open]");
    EXPECT_TRUE(c.unrecognized.empty());
}

class ScriptFileStoreTest : public qdtest::StoreTest {};

TEST_F(ScriptFileStoreTest, ExportThenImportIntoAnEmptyTask) {
    std::vector<ScriptingRecord> steps;
    ScriptingRecord a = step("Start Program");
    a.Command = "/usr/bin/gedit notes.txt";
    a.Path = "/tmp";
    a.DDEApplicationName = "1211";
    a.TimeElapsed = 30;
    ScriptingRecord b = step("Comment");
    b.Command = "dropped";
    ScriptingRecord c = step("Set Value");
    c.Path = "COUNT";
    c.Command = "=[COUNT]+1";
    steps = {a, b, c, step("Exit Script")};
    ASSERT_TRUE(ReplaceScriptSteps(*ds, tables::Scripting(), 1, steps).ok());

    const auto file = dir / "out.qds";
    ASSERT_TRUE(ExportScript(*ds, tables::Scripting(), 1, file, &ui));
    ImportResult r = ImportScript(*ds, tables::Scripting(), 2, file, &ui);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.added, 3);
    StepsResult back = LoadScriptSteps(*ds, 2);
    ASSERT_EQ(back.steps.size(), 3u);
    EXPECT_EQ(back.steps[0].Command, a.Command);
    EXPECT_EQ(back.steps[0].TimeElapsed, 30);
    EXPECT_EQ(back.steps[1].Command, "=[COUNT]+1");
    EXPECT_EQ(back.steps[2].Action, "Exit Script");
    EXPECT_EQ(back.steps[0].Sequence, 1);
    EXPECT_EQ(back.steps[2].Sequence, 3);
    EXPECT_TRUE(ui.shown.empty());

    // Importing again appends after the existing steps.
    ASSERT_TRUE(ImportScript(*ds, tables::Scripting(), 2, file, &ui).ok);
    back = LoadScriptSteps(*ds, 2);
    ASSERT_EQ(back.steps.size(), 6u);
    EXPECT_EQ(back.steps[3].Sequence, 4);
    EXPECT_EQ(back.steps[3].Action, "Start Program");
}

TEST_F(ScriptFileStoreTest, ImportReportsUnrecognisedActions) {
    const auto file = dir / "in.qds";
    writeFile(file, "\"Bogus\",\"1\"\r\n\"Exit Script\"\r\n");
    ImportResult r = ImportScript(*ds, tables::Scripting(), 3, file, &ui);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.added, 1);
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].title, "Import Error");
    EXPECT_EQ(ui.shown[0].text, "Unrecognized script action: Bogus");
    EXPECT_FALSE(ImportScript(*ds, tables::Scripting(), 3, dir / "missing.qds", &ui).ok);
}

TEST_F(ScriptFileStoreTest, FailedExportLeavesTheOldFile) {
    const auto file = dir / "keep.qds";
    writeFile(file, "old");
    EXPECT_FALSE(ExportScript(*ds, tables::Scripting(), 1, dir / "no" / "such" / "x.qds", &ui));
    EXPECT_EQ(lastTitle(), "Error!");
    EXPECT_EQ(lastText().rfind("Error exporting script item ", 0), 0u);
    EXPECT_EQ(readFile(file), "old");
}

} // namespace
