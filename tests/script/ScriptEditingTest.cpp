// The step list's store operations (moves, renumbering, inserting, clearing)
// on a real data set, with store failures injected by triggers; the step
// form's table against the step actions; the keystroke picker and preview; the
// checks a script text and a script file pass before anything is stored.
#include "script/ScriptEditing.h"
#include "../data/StoreFixture.h"

#include "data/Pictures.h"
#include "data/StoreFile.h"
#include "data/TableDefs.h"
#include "script/Keystrokes.h"
#include "script/ScriptFile.h"
#include "script/ScriptText.h"
#include "script/Templates.h"
#include "support/StoreFaults.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

using namespace qd;

namespace {

ScriptingRecord step(const std::string& action, const std::string& command = {}) {
    ScriptingRecord s;
    s.Action = action;
    s.Command = command;
    return s;
}

// What a run tells its progress window; cancels at update number `cancelAt` (0: never).
struct CountingProgress : Progress {
    int starts = 0;
    int finishes = 0;
    int cancelAt = 0;
    std::vector<int> percents;
    void start(const std::string&) override { ++starts; }
    bool update(int percent, const std::string&) override {
        percents.push_back(percent);
        return cancelAt == 0 || static_cast<int>(percents.size()) < cancelAt;
    }
    void finish() override { ++finishes; }
};

// `n` "Send Keys" steps typing "k1", "k2" ... numbered 1 ... n (what a script file carries).
std::vector<ScriptingRecord> keySteps(int n) {
    std::vector<ScriptingRecord> steps;
    for (int i = 1; i <= n; ++i) {
        steps.push_back(step("Send Keys"));
        steps.back().Keystrokes = "k" + std::to_string(i);
        steps.back().Sequence = i;
    }
    return steps;
}

// `n` comment steps "s1", "s2" ... numbered 1 ... n.
std::vector<ScriptingRecord> comments(int n) {
    std::vector<ScriptingRecord> steps;
    for (int i = 1; i <= n; ++i) {
        steps.push_back(step("Comment", "s" + std::to_string(i)));
        steps.back().Sequence = i;
    }
    return steps;
}

class StepListTest : public qdtest::StoreTest {
protected:
    // Steps "a", "b", "c" ... as comments numbered by `numbers`.
    void make(std::int32_t id, const std::vector<std::int32_t>& numbers) {
        std::vector<ScriptingRecord> steps;
        for (std::size_t i = 0; i < numbers.size(); ++i) {
            ScriptingRecord s = step("Comment", std::string(1, static_cast<char>('a' + i)));
            s.Sequence = numbers[i];
            steps.push_back(s);
        }
        ASSERT_TRUE(ReplaceScriptSteps(*ds, tables::Scripting(), id, steps).ok());
    }
    // "a1 b2 c3": each step's command and number, in key order.
    std::string order(std::int32_t id) {
        std::string out;
        for (const auto& s : LoadScriptSteps(*ds, id).steps)
            out += (out.empty() ? "" : " ") + s.Command + std::to_string(s.Sequence);
        return out;
    }
    // Makes the store refuse an update of the step numbered `from` (of any task).
    void refuseUpdateOf(Table<ScriptingRecord>& t, std::int32_t from) {
        const TableDef& def = tables::Scripting();
        ASSERT_EQ(t.open(), Level::Benign);
        ASSERT_EQ(t.file()->exec("CREATE TEMP TRIGGER refuse BEFORE UPDATE ON " +
                                 sql::quote(ds->locate(def).table) + " WHEN OLD." +
                                 sql::columnName(def, def.findField("SCR:Sequence")) + " = " +
                                 std::to_string(from) + " BEGIN SELECT RAISE(ABORT, 'disk full'); END"),
                  0);
    }
};

TEST_F(StepListTest, MovesExchangeNumbersAndKeepTheOthers) {
    make(7, {1, 2, 3, 4});
    make(8, {1, 2});
    EXPECT_EQ(MoveStep(*ds, taskSteps(7), 3, StepMove::Up, ui), 2);
    EXPECT_EQ(order(7), "a1 c2 b3 d4");
    EXPECT_EQ(MoveStep(*ds, taskSteps(7), 1, StepMove::Down, ui), 2);
    EXPECT_EQ(order(7), "c1 a2 b3 d4");
    EXPECT_EQ(MoveStep(*ds, taskSteps(7), 4, StepMove::Top, ui), 1);
    EXPECT_EQ(order(7), "d1 c2 a3 b4");
    EXPECT_EQ(MoveStep(*ds, taskSteps(7), 2, StepMove::Bottom, ui), 4);
    EXPECT_EQ(order(7), "d1 a2 b3 c4");
    // At either end nothing moves.
    EXPECT_EQ(MoveStep(*ds, taskSteps(7), 1, StepMove::Up, ui), std::nullopt);
    EXPECT_EQ(MoveStep(*ds, taskSteps(7), 4, StepMove::Bottom, ui), std::nullopt);
    EXPECT_EQ(order(7), "d1 a2 b3 c4");
    EXPECT_EQ(order(8), "a1 b2");
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(StepListTest, MovesWorkOnGaps) {
    // Deleted steps leave gaps in the numbers.
    make(3, {2, 5, 9});
    EXPECT_EQ(MoveStep(*ds, taskSteps(3), 9, StepMove::Up, ui), 5);
    EXPECT_EQ(order(3), "a2 c5 b9");
    EXPECT_EQ(MoveStep(*ds, taskSteps(3), 9, StepMove::Top, ui), 1);
    EXPECT_EQ(order(3), "b1 a2 c3");
}

TEST_F(StepListTest, AFailedSwapShowsItsStageAndKeepsTheOrder) {
    make(7, {1, 2, 3});
    {
        // The neighbour's write fails after the step was parked: the parking is undone.
        Table<ScriptingRecord> t(*ds, tables::Scripting());
        refuseUpdateOf(t, 2);
        EXPECT_EQ(MoveStep(*ds, taskSteps(7), 3, StepMove::Up, ui), std::nullopt);
        EXPECT_EQ(order(7), "a1 b2 c3");
        ASSERT_EQ(lastTitle(), "Error!");
        const std::string m = lastText();
        EXPECT_EQ(m.rfind("Record swap error: \n", 0), 0u) << m;
        EXPECT_NE(m.find("disk full"), std::string::npos) << m;
        EXPECT_NE(m.find("\nScripting, SCR:KeyID\nKey Field SCR:ID = 7\nKey Field SCR:Sequence = 2\n"
                         "Section = Put Upd Seq"),
                  std::string::npos)
            << m;
        // The step itself cannot be parked.
        EXPECT_EQ(MoveStep(*ds, taskSteps(7), 2, StepMove::Down, ui), std::nullopt);
        EXPECT_NE(lastText().find("Key Field SCR:Sequence = 2\nSection = Put Swap Out"), std::string::npos)
            << lastText();
        EXPECT_EQ(order(7), "a1 b2 c3");
        // Renumbering stops the same way and keeps the old numbers.
        make(9, {2, 4, 6});
        ui.shown.clear();
        EXPECT_FALSE(RenumberSteps(*ds, taskSteps(9), ui));
        EXPECT_EQ(order(9), "a2 b4 c6");
        EXPECT_EQ(lastTitle(), "Error!");
        t.file()->exec("DROP TRIGGER refuse");
        t.close();
    }
    EXPECT_TRUE(RenumberSteps(*ds, taskSteps(9), ui));
    EXPECT_EQ(order(9), "a1 b2 c3");
}

TEST_F(StepListTest, AFailureWhileSettlingTheNewNumbersUndoesTheParking) {
    make(7, {1, 2, 3});
    make(8, {1, 3});
    Table<ScriptingRecord> t(*ds, tables::Scripting());
    // "To Top" of c parks c, a, b as 4, 5, 6; the write that gives 5 its final number fails.
    refuseUpdateOf(t, 5);
    EXPECT_EQ(MoveStep(*ds, taskSteps(7), 3, StepMove::Top, ui), std::nullopt);
    EXPECT_EQ(order(7), "a1 b2 c3");
    EXPECT_NE(lastText().find("Key Field SCR:ID = 7\nKey Field SCR:Sequence = 3\nSection = Put Upd Seq"),
              std::string::npos)
        << lastText();
    // Renumbering 1, 3 parks them as 4, 5: the same write fails, the gap stays.
    ui.shown.clear();
    EXPECT_FALSE(RenumberSteps(*ds, taskSteps(8), ui));
    EXPECT_EQ(order(8), "a1 b3");
    EXPECT_NE(lastText().find("Section = Put Upd Seq"), std::string::npos) << lastText();
    t.file()->exec("DROP TRIGGER refuse");
    t.close();
    EXPECT_EQ(MoveStep(*ds, taskSteps(7), 3, StepMove::Top, ui), 1);
    EXPECT_EQ(order(7), "c1 a2 b3");
}

TEST_F(StepListTest, RandomEditsFollowAPlainList) {
    // Every step-list operation against a plain list of names: the order must
    // always agree, and after "To Top", "To Bottom" and "Renumber" the numbers
    // must run 1, 2, 3 ... Numbers start with gaps, and another task's steps
    // must never move.
    std::vector<ScriptingRecord> steps;
    std::vector<std::string> names;
    for (int i = 0; i < 120; ++i) {
        names.push_back("n" + std::to_string(i));
        steps.push_back(step("Comment", names.back()));
        steps.back().Sequence = 3 * i + 2;
    }
    ASSERT_TRUE(ReplaceScriptSteps(*ds, tables::Scripting(), 1, steps).ok());
    make(2, {1, 2, 3});
    std::mt19937 random(20261208);
    const auto pick = [&](std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
    };
    int fresh = 0;
    for (int round = 0; round < 150; ++round) {
        const std::vector<ScriptingRecord> now = LoadScriptSteps(*ds, 1).steps;
        ASSERT_EQ(now.size(), names.size());
        const std::size_t at = pick(names.size());
        const std::int32_t seq = now[at].Sequence;
        bool numbered = false;
        switch (pick(7)) {
        case 0:
            if (at > 0) std::swap(names[at], names[at - 1]);
            EXPECT_EQ(MoveStep(*ds, taskSteps(1), seq, StepMove::Up, ui).has_value(), at > 0);
            break;
        case 1:
            if (at + 1 < names.size()) std::swap(names[at], names[at + 1]);
            EXPECT_EQ(MoveStep(*ds, taskSteps(1), seq, StepMove::Down, ui).has_value(),
                      at + 1 < names.size());
            break;
        case 2:
            std::rotate(names.begin(), names.begin() + static_cast<long>(at),
                        names.begin() + static_cast<long>(at) + 1);
            if (at > 0) {
                EXPECT_EQ(MoveStep(*ds, taskSteps(1), seq, StepMove::Top, ui), 1);
                numbered = true;
            }
            break;
        case 3:
            std::rotate(names.begin() + static_cast<long>(at), names.begin() + static_cast<long>(at) + 1,
                        names.end());
            if (at + 1 < names.size()) {
                EXPECT_EQ(MoveStep(*ds, taskSteps(1), seq, StepMove::Bottom, ui),
                          static_cast<std::int32_t>(names.size()));
                numbered = true;
            }
            break;
        case 4:
            EXPECT_TRUE(RenumberSteps(*ds, taskSteps(1), ui));
            numbered = true;
            break;
        case 5:
            ASSERT_TRUE(DeleteStep(*ds, taskSteps(1), seq).ok());
            names.erase(names.begin() + static_cast<long>(at));
            break;
        default: {
            ScriptingRecord x = step("Comment", "x" + std::to_string(++fresh));
            ASSERT_TRUE(InsertStepAfter(*ds, taskSteps(1), seq, x).ok());
            names.insert(names.begin() + static_cast<long>(at) + 1, x.Command);
        }
        }
        const std::vector<ScriptingRecord> after = LoadScriptSteps(*ds, 1).steps;
        ASSERT_EQ(after.size(), names.size()) << "round " << round;
        for (std::size_t i = 0; i < names.size(); ++i) {
            ASSERT_EQ(after[i].Command, names[i]) << "round " << round << ", row " << i;
            if (numbered) {
                ASSERT_EQ(after[i].Sequence, static_cast<std::int32_t>(i) + 1) << "round " << round;
            }
        }
    }
    EXPECT_EQ(order(2), "a1 b2 c3");
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(StepListTest, ImportAndExportRunBehindAProgressThatCancelsWithoutATrace) {
    ASSERT_TRUE(ReplaceScriptSteps(*ds, tables::Scripting(), 3, keySteps(1200)).ok());
    make(4, {1});
    const std::filesystem::path file = dir / "script.qds";
    // Exported whole, the percentage only ever growing.
    CountingProgress shown;
    ASSERT_TRUE(ExportScript(*ds, tables::Scripting(), 3, file, &ui, &shown));
    EXPECT_EQ(shown.starts, 1);
    EXPECT_EQ(shown.finishes, 1);
    EXPECT_TRUE(std::is_sorted(shown.percents.begin(), shown.percents.end()));
    const std::string written = qdtest::readFile(file);
    // A cancelled export leaves the file as it was.
    ASSERT_TRUE(ReplaceScriptSteps(*ds, tables::Scripting(), 3, keySteps(900)).ok());
    CountingProgress cancelExport;
    cancelExport.cancelAt = 2;
    EXPECT_FALSE(ExportScript(*ds, tables::Scripting(), 3, file, &ui, &cancelExport));
    EXPECT_EQ(qdtest::readFile(file), written);
    EXPECT_EQ(cancelExport.finishes, 1);
    // A cancelled import adds nothing, and says nothing.
    CountingProgress cancelImport;
    cancelImport.cancelAt = 3;
    const ImportResult cancelled = ImportScript(*ds, tables::Scripting(), 4, file, &ui, &cancelImport);
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_EQ(cancelled.added, 0);
    EXPECT_EQ(order(4), "a1");
    EXPECT_TRUE(ui.shown.empty()) << lastText();
    // Imported whole: after the step already there, in file order.
    CountingProgress importing;
    const ImportResult imported = ImportScript(*ds, tables::Scripting(), 4, file, &ui, &importing);
    EXPECT_EQ(imported.added, 1200);
    EXPECT_EQ(importing.finishes, 1);
    const auto steps = LoadScriptSteps(*ds, 4).steps;
    ASSERT_EQ(steps.size(), 1201u);
    EXPECT_EQ(steps[1].Keystrokes, "k1");
    EXPECT_EQ(steps[1200].Keystrokes, "k1200");
    EXPECT_EQ(steps[1200].Sequence, 1201);
    // A short script is over too soon for a window.
    CountingProgress small;
    ASSERT_TRUE(ExportScript(*ds, tables::Scripting(), 7, dir / "small.qds", &ui, &small));
    EXPECT_EQ(small.starts, 0);
}

TEST_F(StepListTest, ATemplateCopyCancelledInItsProgressAddsNothing) {
    make(5, {1, 2});
    ASSERT_TRUE(ReplaceScriptSteps(*ds, tables::ScriptTemplateDetails(), 9, comments(700)).ok());
    TokenQueue tokens;
    CountingProgress cancel;
    cancel.cancelAt = 2;
    const TemplateCopyResult r = CopyScriptTemplateToScript(*ds, 9, 5, ui, nullptr, tokens, &cancel);
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(r.added, 0);
    EXPECT_EQ(order(5), "a1 b2");
    EXPECT_TRUE(ui.shown.empty()) << lastText();
    CountingProgress copying;
    EXPECT_EQ(CopyScriptTemplateToScript(*ds, 9, 5, ui, nullptr, tokens, &copying).added, 700);
    EXPECT_EQ(copying.starts, 1);
    EXPECT_EQ(LoadScriptSteps(*ds, 5).steps.size(), 702u);
}

TEST_F(StepListTest, RenumberWritesOneTwoThreeInOrder) {
    make(4, {3, 4, 7, 8});
    EXPECT_TRUE(RenumberSteps(*ds, taskSteps(4), ui));
    EXPECT_EQ(order(4), "a1 b2 c3 d4");
    EXPECT_TRUE(RenumberSteps(*ds, taskSteps(4), ui)); // nothing to do
    EXPECT_EQ(order(4), "a1 b2 c3 d4");
}

TEST_F(StepListTest, InsertingMakesRoomOnlyWhereTheNumberIsTaken) {
    make(5, {1, 2, 3, 7});
    ScriptingRecord x = step("Comment", "x");
    ASSERT_TRUE(InsertStepAfter(*ds, taskSteps(5), 1, x).ok());
    EXPECT_EQ(x.Sequence, 2);
    EXPECT_EQ(x.ID, 5);
    EXPECT_EQ(order(5), "a1 x2 b3 c4 d7");
    ScriptingRecord y = step("Comment", "y");
    ASSERT_TRUE(InsertStepAfter(*ds, taskSteps(5), 4, y).ok());
    EXPECT_EQ(order(5), "a1 x2 b3 c4 y5 d7");
    ScriptingRecord z = step("Comment", "z");
    ASSERT_TRUE(InsertStepAfter(*ds, taskSteps(5), -1, z).ok());
    EXPECT_EQ(order(5), "a1 x2 b3 c4 y5 d7 z8");
    ScriptingRecord w = step("Comment", "w");
    ASSERT_TRUE(InsertStepAfter(*ds, taskSteps(5), 0, w).ok());
    EXPECT_EQ(order(5), "w1 a2 x3 b4 c5 y6 d7 z8");
    ScriptingRecord first = step("Comment", "f");
    ASSERT_TRUE(InsertStepAfter(*ds, taskSteps(6), -1, first).ok());
    EXPECT_EQ(order(6), "f1");
}

TEST_F(StepListTest, AFailedInsertLeavesTheNumbersAsTheyWere) {
    make(5, {1, 2, 3});
    Table<ScriptingRecord> t(*ds, tables::Scripting());
    refuseUpdateOf(t, 2);
    ScriptingRecord x = step("Comment", "x");
    EXPECT_FALSE(InsertStepAfter(*ds, taskSteps(5), 1, x).ok());
    EXPECT_EQ(order(5), "a1 b2 c3");
    t.close();
}

TEST_F(StepListTest, ClearAllAsksAndTouchesOnlyItsOwner) {
    make(1, {1, 2});
    make(2, {1});
    ui.answers = {false};
    EXPECT_FALSE(ClearAllSteps(*ds, taskSteps(1), ui));
    EXPECT_EQ(order(1), "a1 b2");
    EXPECT_EQ(lastText(), "Delete all script items for the current task?");
    ui.answers = {true};
    EXPECT_TRUE(ClearAllSteps(*ds, taskSteps(1), ui));
    EXPECT_EQ(order(1), "");
    EXPECT_EQ(order(2), "a1");
    // A template's steps live in their own table.
    ASSERT_TRUE(ReplaceScriptSteps(*ds, tables::ScriptTemplateDetails(), 1, {step("Comment", "t")}).ok());
    ui.answers = {true};
    EXPECT_TRUE(ClearAllSteps(*ds, templateSteps(1), ui));
    EXPECT_TRUE(LoadScriptSteps(*ds, tables::ScriptTemplateDetails(), 1).steps.empty());
    EXPECT_EQ(order(2), "a1");
}

TEST_F(StepListTest, OpeningATasksScriptFillsCommandAndDescription) {
    EXPECT_EQ(PrepareTaskForScripting(*ds, 0, 60000, "d17", ui), std::nullopt);
    EXPECT_EQ(lastTitle(), "Internal Error");
    EXPECT_EQ(lastText(), "Invalid Schedule ID #0");

    Table<ScheduleRecord> t(*ds, tables::Schedule());
    ASSERT_EQ(t.open(), Level::Benign);
    t.rec = {};
    t.rec.Category = "Work";
    ASSERT_EQ(t.insert(), Level::Benign);
    const int id = t.rec.ID;
    t.close();
    const auto task = PrepareTaskForScripting(*ds, id, 60000, "d17", ui);
    ASSERT_TRUE(task);
    EXPECT_EQ(task->Command, "N/A");
    EXPECT_EQ(task->Description, "Script " + formatUserDate(60000, "d17"));
    EXPECT_EQ(ScriptingTitle(*task), "Scripting - Work: Script " + formatUserDate(60000, "d17") + " N/A");
    ASSERT_EQ(t.open(), Level::Benign);
    t.rec.ID = id;
    ASSERT_EQ(t.fetch("KeyID"), Level::Benign);
    EXPECT_EQ(t.rec.Command, "N/A"); // stored, so performing the task starts no program
}

// ---------------------------------------------------------------------------
// Templates under failing reads, writes, syncs, locks and a full disk.

namespace {

// Every run with a fault either completed or left the data as it was, with a message.
void expectSound(const qdtest::FaultSweep& s) {
    qdtest::expectAllOrNothing(s);
    EXPECT_GT(s.unchanged, 0);
}

// Two templates of three steps each.
void twoTemplates(DataSet& ds) {
    Table<ScriptTemplatesRecord> t(ds, tables::ScriptTemplates());
    ASSERT_EQ(t.open(), Level::Benign);
    for (const char* name : {"Log in", "Back up"}) {
        t.rec = {};
        t.rec.Description = name;
        ASSERT_EQ(t.insert(), Level::Benign);
        ASSERT_TRUE(ReplaceScriptSteps(ds, tables::ScriptTemplateDetails(), t.rec.WIZ_ID, comments(3)).ok());
    }
}

// The window's part: a failure is shown.
bool shownIfFailed(DataSet& ds, bool ok, const std::string& error) {
    if (!ok) ds.errors().userInterface()->message("Error!", error, MessageIcon::Hand);
    return ok;
}

} // namespace

TEST(TemplateFaults, ATemplateAndItsStepsAreDeletedTogetherOrNotAtAll) {
    expectSound(qdtest::sweepFaults({"delete template", twoTemplates, [](DataSet& ds) {
                                         const StepStatus st = DeleteScriptTemplate(ds, 1);
                                         return shownIfFailed(ds, st.ok(), st.error);
                                     }}));
}

TEST(StepListFaults, ToTopAndRenumberingChangeEveryNumberOrNone) {
    const auto gappedScript = [](DataSet& ds) {
        std::vector<ScriptingRecord> steps = comments(6);
        for (auto& s : steps)
            s.Sequence *= 2;
        ASSERT_TRUE(ReplaceScriptSteps(ds, tables::Scripting(), 4, steps).ok());
    };
    expectSound(qdtest::sweepFaults({"to top", gappedScript, [](DataSet& ds) {
                                         return MoveStep(ds, taskSteps(4), 10, StepMove::Top,
                                                         *ds.errors().userInterface()) == 1;
                                     }}));
    expectSound(qdtest::sweepFaults({"renumber", gappedScript, [](DataSet& ds) {
                                         return RenumberSteps(ds, taskSteps(4), *ds.errors().userInterface());
                                     }}));
}

TEST(TemplateFaults, AnImportedTemplateComesWithAllItsStepsOrNotAtAll) {
    qdtest::TempDir files;
    const std::filesystem::path file = files / "Weekly.qds";
    ASSERT_TRUE(SaveScriptFile(file, keySteps(5)));
    expectSound(qdtest::sweepFaults({"import template", twoTemplates, [file](DataSet& ds) {
                                         const TemplateImportResult r =
                                             ImportScriptTemplate(ds, file, "", nullptr);
                                         return shownIfFailed(ds, r.ok && r.added == 5, r.error);
                                     }}));
}

// ---------------------------------------------------------------------------

TEST(StepForm, EveryFieldAnActionStoresIsOnItsForm) {
    // What the script file carries of an action is what the action uses: the
    // form must offer each of those fields, or a step could not be edited back.
    for (const ActionDescriptor& d : StepActions()) {
        if (!d.stored) continue;
        const EditorAction* e = FindEditorAction(d.name);
        ASSERT_NE(e, nullptr) << d.name;
        for (const StepField& column : d.fileColumns) {
            if (column.empty()) continue;
            bool onForm = false;
            for (const EditorField& f : e->fields)
                onForm = onForm || (f.field.text == column.text && f.field.number == column.number);
            EXPECT_TRUE(onForm) << d.name << ": a stored field has no place on the form";
        }
        EXPECT_FALSE(e->help.empty()) << d.name;
    }
    const auto main = EditorActionList();
    EXPECT_EQ(main.back(), "Other");
    EXPECT_EQ(OtherActionList(), std::vector<std::string>{"Exit Script"});
}

TEST(StepForm, ChoosingAnActionSetsItsDefaults) {
    struct Case {
        std::string action;
        std::string before; // field under test before
        std::string after;
        std::string ScriptingRecord::*field;
    };
    const Case cases[] = {
        {"Wait", "", "Either", &ScriptingRecord::DDEApplicationName},
        {"Wait", "Both", "Both", &ScriptingRecord::DDEApplicationName},
        {"If Window...", "", "Exists", &ScriptingRecord::WindowExistance},
        {"If Time Elapsed...", "", "Less than", &ScriptingRecord::IfTimeElapsed},
        {"If Time Elapsed...", "Greater than", "Greater than", &ScriptingRecord::IfTimeElapsed},
        {"Start Script", "append", "Append", &ScriptingRecord::Path},
        {"Start Script", "jump", "Jump to (Execute and skip)", &ScriptingRecord::Path},
        {"Start Script", "", "Insert (Execute and continue)", &ScriptingRecord::Path},
        {"File Actions", "Zip", "Copy", &ScriptingRecord::DDEType},
        {"File Actions", "Move", "Move", &ScriptingRecord::DDEType},
        {"Start Program", "", "0210", &ScriptingRecord::DDEApplicationName},
    };
    for (const Case& c : cases) {
        ScriptingRecord s = step(c.action);
        s.*c.field = c.before;
        ApplyActionDefaults(s);
        EXPECT_EQ(s.*c.field, c.after) << c.action << " from \"" << c.before << "\"";
    }
    ScriptingRecord v = step("If Value...");
    ApplyActionDefaults(v);
    EXPECT_EQ(v.Command + " " + v.WindowTitleToCheckFor + " " + v.WaitForWindow, "FILEEXISTS = 1");
}

TEST(StepForm, SaveChecksNameTheirProblem) {
    ScriptingRecord other = step("Other");
    other.ID = 3;
    StepCheck c = CheckStepForSave(other, 3);
    EXPECT_FALSE(c.ok);
    EXPECT_EQ(c.title, "Error");
    EXPECT_EQ(c.text, "\"Other\" script item not recorded correctly.  Re-enter.");

    ScriptingRecord orphan = step("Comment");
    c = CheckStepForSave(orphan, 0);
    EXPECT_EQ(c.title, "Internal Error");
    EXPECT_EQ(c.text, "Unable to attach script to scheduled item.  Schedule ID is 0.");

    ScriptingRecord keys = step("Send Keys");
    keys.ID = 3;
    c = CheckStepForSave(keys, 3);
    EXPECT_EQ(c.title, "Missing Information");
    EXPECT_EQ(c.text, "Keystrokes must be entered.");
    EXPECT_EQ(c.field, "Keystrokes");
    keys.Keystrokes = "hello";
    EXPECT_TRUE(CheckStepForSave(keys, 3).ok);

    // A message longer than its field is refused, not cut.
    ScriptingRecord message = step("Display Message");
    message.ID = 3;
    message.DDEApplicationName = std::string(300, 'm');
    c = CheckStepForSave(message, 3);
    EXPECT_FALSE(c.ok);
    EXPECT_EQ(c.text, "Message is longer than 255 characters.");

    ScriptingRecord wait = step("Wait");
    wait.ID = 3;
    EXPECT_FALSE(CheckStepForSave(wait, 3).ok);
    wait.WaitForWindow = "Untitled - *";
    EXPECT_TRUE(CheckStepForSave(wait, 3).ok);
}

TEST(StepForm, StartOptionsReadAndWriteTheFourCharacters) {
    const StartOptions o = ReadStartOptions("1371");
    EXPECT_TRUE(o.wait);
    EXPECT_EQ(o.priority, '3');
    EXPECT_EQ(o.show, '7');
    EXPECT_TRUE(o.translate);
    EXPECT_EQ(WriteStartOptions(o), "1371");
    // Anything else reads as the defaults: no wait, normal priority, normal with focus.
    EXPECT_EQ(WriteStartOptions(ReadStartOptions("x9")), "0210");
}

TEST(KeyPicker, OffersEveryKeyOfTheKeyReference) {
    for (const std::string& n : KeyPickerNames())
        EXPECT_NE(KeyNameToCode(n), 0) << n;
    // The user document's key list: each name (or both ends of a range) is offered.
    std::ifstream in(QD_KEYCODES_FILE);
    ASSERT_TRUE(in) << QD_KEYCODES_FILE;
    std::string line;
    bool inList = false;
    int checked = 0;
    const auto& names = KeyPickerNames();
    auto offered = [&](const std::string& n) {
        return std::find(names.begin(), names.end(), n) != names.end();
    };
    while (std::getline(in, line)) {
        if (line.rfind("Key names", 0) == 0) inList = true;
        if (line.rfind("Pacing", 0) == 0) break;
        if (!inList || line.rfind("    ", 0) != 0 || line.size() < 5 || line[4] == ' ') continue;
        const std::string head = line.substr(4, line.find("  ", 4) - 4);
        if (head.rfind("MOUSE", 0) == 0) continue;
        std::istringstream words(head);
        for (std::string w; words >> w;) {
            if (w == "...") continue;
            if (!w.empty() && w.back() == ',') w.pop_back();
            if (w == "CAPS") continue; // the short spelling of CAPSLOCK
            EXPECT_TRUE(offered(w)) << w;
            ++checked;
        }
    }
    EXPECT_GT(checked, 30);
}

TEST(KeyPicker, PreviewSplitsAsTheSendingDoes) {
    using V = std::vector<std::string>;
    EXPECT_EQ(KeystrokePreview("abc[ENTER]def", 2),
              (V{"Type \"ab\"", "Type \"c\"", "Press ENTER", "Type \"def\""}));
    EXPECT_EQ(KeystrokePreview("[CtrlV]", 7), V{"Press Ctrl+V"});
    EXPECT_EQ(KeystrokePreview("[^%DELETE]", 7), V{"Press Ctrl+Alt+DELETE"});
    EXPECT_EQ(KeystrokePreview("[TODAY]", 7), V{"Type the value of [TODAY] (its name when it has none)"});
    EXPECT_EQ(KeystrokePreview("a[b", 7), (V{"Type \"a\"", "Type \"b\""}));
    EXPECT_EQ(KeystrokePreview("Hello ", 7), V{"Type \"Hello\""});
    EXPECT_EQ(KeystrokePreview("[MOUSE]", 7), V{"Press (mouse name: no key is sent)"});
}

// ---------------------------------------------------------------------------

TEST(ScriptTextCheck, NamesTheLineOfAnUnknownKeyword) {
    const std::string text = "KEYS hello\r\n"
                             "\r\n"
                             "FOCUS \"Untitled - *\"\r\n"
                             "IFWINDOW Calc\r\n"
                             "   KEYS 1+1[ENTER]\r\n"
                             "END\r\n"
                             "TYPE oops\r\n"
                             "WAIT 5\r\n";
    const auto problems = CheckScriptText(text);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].line, 7);
    EXPECT_EQ(problems[0].message, "Unknown script action: TYPE");
    EXPECT_EQ(TextProblemMessage(problems), "Line 7: Unknown script action: TYPE\n\nNothing was saved.");
}

TEST(ScriptTextCheck, RefusesValuesThatWouldBeCut) {
    const std::string longKeys = "KEYS " + std::string(300, 'k');
    const std::string longArg = "FOCUS \"" + std::string(300, 'w') + "\"";
    const auto problems = CheckScriptText("COMMENT ok\n" + longKeys + "\n" + longArg + "\n");
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_EQ(problems[0].line, 2);
    EXPECT_EQ(problems[1].line, 3);
    // What the generator writes always passes.
    std::vector<ScriptingRecord> steps;
    ScriptingRecord k = step("Send Keys");
    k.Keystrokes = std::string(255, 'x');
    steps.push_back(k);
    ScriptingRecord f = step("Set Focus");
    f.FocusOnWindow = std::string(250, 'y') + " \"q\"";
    steps.push_back(f);
    EXPECT_TRUE(CheckScriptText(StepsToText(steps)).empty()) << StepsToText(steps);
}

TEST(ScriptTextCheck, StopsAtItsLimit) {
    std::string text;
    for (int i = 0; i < 100; ++i)
        text += "BAD line\n";
    EXPECT_EQ(CheckScriptText(text, 5).size(), 5u);
    EXPECT_TRUE(CheckScriptText(std::string(kMaxScriptTextLines, '\n')).empty());
    const auto many = CheckScriptText(std::string(kMaxScriptTextLines + 1, '\n'));
    ASSERT_EQ(many.size(), 1u);
    EXPECT_EQ(many[0].line, static_cast<int>(kMaxScriptTextLines) + 1);
}

TEST(ScriptFileCheck, RefusesBinaryWideLinesAndLongValues) {
    const auto binary = CheckScriptFileText("\"Send Keys\",\"a\"\r\n\x7f\x45LF\x02\x01");
    ASSERT_EQ(binary.size(), 1u);
    EXPECT_EQ(binary[0].line, 2);
    EXPECT_NE(binary[0].message.find("binary"), std::string::npos);
    const auto wide = CheckScriptFileText("\"Send Keys\",\"a\"\n\"Wait\",1,2,3,4,5,6,7,8\n");
    ASSERT_EQ(wide.size(), 1u);
    EXPECT_EQ(wide[0].line, 2);
    const auto longValue = CheckScriptFileText("\"Send Keys\",\"" + std::string(1 << 20, 'a') + "\"\r\n");
    ASSERT_EQ(longValue.size(), 1u);
    EXPECT_NE(longValue[0].message.find("255"), std::string::npos);
    // Quotes, commas and a byte order mark are no problem; nor is a file we wrote.
    EXPECT_TRUE(CheckScriptFileText("\xEF\xBB\xBF\"Set Value\",\"a, b\",\"say \"\"hi\"\"\"\r\n").empty());
    ScriptingRecord w = step("Wait");
    w.WaitForWindow = std::string(255, ',');
    w.FocusOnWindow = std::string(255, '"');
    EXPECT_TRUE(CheckScriptFileText(WriteScriptFileText({w, w})).empty());
}

} // namespace
