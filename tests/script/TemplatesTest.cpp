#include "script/Templates.h"
#include "../data/StoreFixture.h"
#include "data/StoreFile.h"
#include "platform/fake/FakeWindowSystem.h"
#include "script/WindowTargeting.h"

#include <gtest/gtest.h>

using namespace qd;

namespace {

class TemplatesTest : public qdtest::StoreTest {
protected:
    // A template with the given steps; returns its ID.
    std::int32_t makeTemplate(const std::string& name, std::vector<ScriptingRecord> steps) {
        Table<ScriptTemplatesRecord> t(*ds, tables::ScriptTemplates());
        EXPECT_EQ(t.open(), Level::Benign);
        t.rec = {};
        t.rec.Description = name;
        EXPECT_EQ(t.insert(), Level::Benign);
        for (std::size_t i = 0; i < steps.size(); ++i)
            steps[i].Sequence = static_cast<std::int32_t>(i + 1);
        EXPECT_TRUE(ReplaceScriptSteps(*ds, tables::ScriptTemplateDetails(), t.rec.WIZ_ID, steps).ok());
        return t.rec.WIZ_ID;
    }
    static ScriptingRecord keys(const std::string& k) {
        ScriptingRecord s;
        s.Action = "Send Keys";
        s.Keystrokes = k;
        return s;
    }
    std::vector<ScriptingRecord> task(std::int32_t id) { return LoadScriptSteps(*ds, id).steps; }

    TokenQueue tokens;
};

TEST_F(TemplatesTest, RepeatTokenAsksOnceAndTypesTheAnswerTwice) {
    const auto id = makeTemplate("Login", {keys("[?Your name][TAB][?]")});
    ui.promptAnswers = {std::string("Ann")};
    TemplateCopyResult r = CopyScriptTemplateToScript(*ds, id, 5, ui, nullptr, tokens);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.added, 1);
    ASSERT_EQ(ui.prompts.size(), 1u);
    EXPECT_EQ(ui.prompts[0].label, "Your name:");
    EXPECT_EQ(task(5).at(0).Keystrokes, "Ann[TAB]Ann");
    EXPECT_EQ(tokens.find("your name")->VALUE, "Ann");
}

TEST_F(TemplatesTest, SamePromptInTwoStepsAsksOncePerCopy) {
    ScriptingRecord start;
    start.Action = "Start Program";
    start.Command = "ssh [?Server]";
    const auto id = makeTemplate("Connect", {start, keys("echo [?server]")});
    ui.promptAnswers = {std::string("alpha")};
    CopyScriptTemplateToScript(*ds, id, 1, ui, nullptr, tokens);
    ASSERT_EQ(ui.prompts.size(), 1u);
    auto steps = task(1);
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].Command, "ssh alpha");
    EXPECT_EQ(steps[1].Keystrokes, "echo alpha");

    // A later copy asks again, starting from the previous answer.
    ui.promptAnswers = {std::string("beta")};
    CopyScriptTemplateToScript(*ds, id, 2, ui, nullptr, tokens);
    ASSERT_EQ(ui.prompts.size(), 2u);
    EXPECT_EQ(ui.prompts[1].initial, "alpha");
    EXPECT_EQ(task(2).at(1).Keystrokes, "echo beta");
}

TEST_F(TemplatesTest, CopyAddsAllStepsOrNone) {
    const auto id = makeTemplate("Three", {keys("one"), keys("two"), keys("boom")});
    // The store refuses the third step of the task: the first two must not stay.
    Table<ScriptingRecord> t(*ds, tables::Scripting());
    ASSERT_EQ(t.open(), Level::Benign);
    const TableDef& def = tables::Scripting();
    ASSERT_EQ(t.file()->exec("CREATE TEMP TRIGGER refuse BEFORE INSERT ON " +
                             sql::quote(ds->locate(def).table) + " WHEN NEW." +
                             sql::columnName(def, def.findField("SCR:Keystrokes")) +
                             " = 'boom' BEGIN SELECT RAISE(ABORT, 'refused'); END"),
              0);
    TemplateCopyResult r = CopyScriptTemplateToScript(*ds, id, 6, ui, nullptr, tokens);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.added, 0);
    EXPECT_TRUE(task(6).empty());
    EXPECT_EQ(lastTitle(), "Error!");
    t.close();
}

TEST_F(TemplatesTest, CancellingStopsTheCopyAndKeepsTheStepsAdded) {
    const auto id = makeTemplate("Three", {keys("[?One]"), keys("[?Two]"), keys("[?Three]")});
    ui.promptAnswers = {std::string("1"), std::nullopt};
    TemplateCopyResult r = CopyScriptTemplateToScript(*ds, id, 3, ui, nullptr, tokens);
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(r.added, 1);
    auto steps = task(3);
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0].Keystrokes, "1");
}

TEST_F(TemplatesTest, StepsAreNumberedAfterTheTasksHighest) {
    std::vector<ScriptingRecord> existing;
    for (int i = 1; i <= 5; ++i) {
        ScriptingRecord s = keys("k" + std::to_string(i));
        s.Sequence = i;
        existing.push_back(s);
    }
    ASSERT_TRUE(ReplaceScriptSteps(*ds, tables::Scripting(), 9, existing).ok());
    ScriptingRecord blank;
    const auto id = makeTemplate("Plain", {keys("a"), blank, keys("b")});
    TemplateCopyResult r = CopyScriptTemplateToScript(*ds, id, 9, ui, nullptr, tokens);
    EXPECT_EQ(r.added, 2);
    auto steps = task(9);
    ASSERT_EQ(steps.size(), 7u);
    EXPECT_EQ(steps[5].Sequence, 6);
    EXPECT_EQ(steps[5].Keystrokes, "a");
    EXPECT_EQ(steps[6].Sequence, 7);
    EXPECT_TRUE(ui.prompts.empty());
}

TEST_F(TemplatesTest, KindsOfTokens) {
    FakeWindowSystem ws;
    ws.add("Calculator");
    ws.add("Editor");
    WindowTargeting targeting(ws);
    ScriptingRecord focus;
    focus.Action = "Set Focus";
    focus.FocusOnWindow = "[?WINDOW Target window]";
    focus.WaitForWindow = "[?TEXT]";
    ScriptingRecord file;
    file.Action = "File Actions";
    file.DDEType = "Copy";
    file.Command = "[?FILE]";
    file.Path = "[?file  Backup folder ]/x [?unterminated";
    const auto id = makeTemplate("Kinds", {focus, file});
    // Fields are resolved in a fixed order: the child text before the window.
    ui.promptAnswers = {std::string("OK"), std::string("Editor"), std::string("/tmp/a.txt"),
                        std::string("/backup")};
    CopyScriptTemplateToScript(*ds, id, 4, ui, &targeting, tokens);
    ASSERT_EQ(ui.prompts.size(), 4u);
    EXPECT_EQ(ui.prompts[0].kind, PromptKind::Text);
    EXPECT_EQ(ui.prompts[0].label, "TEXT:");
    EXPECT_EQ(ui.prompts[1].kind, PromptKind::Choice);
    EXPECT_EQ(ui.prompts[1].label, "Target window:");
    EXPECT_EQ(ui.prompts[1].choices, (std::vector<std::string>{"Calculator", "Editor"}));
    EXPECT_EQ(ui.prompts[2].kind, PromptKind::File);
    EXPECT_EQ(ui.prompts[2].label, "FILE:");
    EXPECT_EQ(ui.prompts[3].label, "Backup folder:");
    auto steps = task(4);
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].FocusOnWindow, "Editor");
    EXPECT_EQ(steps[0].WaitForWindow, "OK");
    EXPECT_EQ(steps[1].Command, "/tmp/a.txt");
    EXPECT_EQ(steps[1].Path, "/backup/x [?unterminated");
}

TEST_F(TemplatesTest, AnswerHoldingATokenIsNotAskedAgain) {
    const auto id = makeTemplate("Loop", {keys("[?A] and [?]")});
    ui.promptAnswers = {std::string("[?]")};
    CopyScriptTemplateToScript(*ds, id, 6, ui, nullptr, tokens);
    EXPECT_EQ(ui.prompts.size(), 1u);
    EXPECT_EQ(task(6).at(0).Keystrokes, "[?] and [?]");
}

TEST_F(TemplatesTest, StartProgramGetsTheCommandsFolder) {
    ScriptingRecord a;
    a.Action = "Start Program";
    a.Command = "/usr/bin/editor";
    ScriptingRecord b = a;
    b.Command = "C:\\Tools\\calc.exe";
    ScriptingRecord c = a;
    c.Command = "editor";
    ScriptingRecord d = a;
    d.Path = "/given";
    const auto id = makeTemplate("Starts", {a, b, c, d});
    CopyScriptTemplateToScript(*ds, id, 8, ui, nullptr, tokens);
    auto steps = task(8);
    ASSERT_EQ(steps.size(), 4u);
    EXPECT_EQ(steps[0].Path, "/usr/bin");
    EXPECT_EQ(steps[1].Path, "C:\\Tools");
    EXPECT_EQ(steps[2].Path, "");
    EXPECT_EQ(steps[3].Path, "/given");
}

TEST_F(TemplatesTest, DeleteDetailsAndExchangeThroughScriptFiles) {
    ScriptingRecord w;
    w.Action = "Wait";
    w.SecondsToWait = 3;
    const auto id = makeTemplate("Exchange", {keys("[?Name]"), w});
    const auto file = dir / "copy-of-exchange.qds";
    ASSERT_TRUE(ExportScriptTemplate(*ds, id, file, &ui));
    {
        Table<ScriptTemplatesRecord> t(*ds, tables::ScriptTemplates());
        t.open();
        t.rec.WIZ_ID = id;
        ASSERT_EQ(t.fetch("QDT:K_WIZ_ID"), Level::Benign);
        EXPECT_EQ(t.rec.DOSFilename, file.string());
    }
    ASSERT_TRUE(DeleteScriptTemplateDetails(*ds, id).ok());
    EXPECT_TRUE(LoadScriptSteps(*ds, tables::ScriptTemplateDetails(), id).steps.empty());

    TemplateImportResult r = ImportScriptTemplate(*ds, file, "", &ui);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_NE(r.templateId, id);
    EXPECT_EQ(r.added, 2);
    auto steps = LoadScriptSteps(*ds, tables::ScriptTemplateDetails(), r.templateId).steps;
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].Keystrokes, "[?Name]");
    EXPECT_EQ(steps[1].SecondsToWait, 3);
    // The description is taken from the file name and must be new.
    EXPECT_FALSE(ImportScriptTemplate(*ds, file, "Exchange", &ui).ok);
    EXPECT_FALSE(ImportScriptTemplate(*ds, dir / "missing.qds", "", &ui).ok);
}

} // namespace
