#include "script/ScriptEditing.h"

#include "data/FileManager.h"
#include "data/Pictures.h"
#include "data/StoreTransaction.h"
#include "data/Text.h"
#include "data/TextWidth.h"
#include "script/FileActions.h"
#include "script/Keystrokes.h"
#include "script/ScriptStrings.h"
#include "script/ScriptText.h"

#include <algorithm>
#include <limits>
#include <map>

namespace qd {

std::atomic<int>& GLO_SCRIPTWIZARDMODE() {
    static std::atomic<int> mode{0};
    return mode;
}

bool StepOwner::isTemplate() const {
    return table == &tables::ScriptTemplateDetails();
}

StepOwner taskSteps(std::int32_t taskId) {
    return {&tables::Scripting(), taskId};
}

StepOwner templateSteps(std::int32_t templateId) {
    return {&tables::ScriptTemplateDetails(), templateId};
}

namespace {

using R = ScriptingRecord;

std::string errorText(const FileManager& t) {
    std::string e = t.lastError().text;
    return e.empty() ? std::string("The table could not be written") : e;
}

StepStatus failed(const std::string& error) {
    return StepStatus{Level::Notify, error};
}

// Reads the step `sequence` of `id` into t.rec; Benign when it is there.
Level fetchStep(Table<R>& t, std::int32_t id, std::int32_t sequence) {
    t.rec = {};
    t.rec.ID = id;
    t.rec.Sequence = sequence;
    return t.fetch(stepKeyIndex(t.def()));
}

// The number of the step of `id` next to `sequence` (below it when `before`),
// found by one seek in the key; nullopt when there is none.
std::optional<std::int32_t> neighbourOf(Table<R>& t, std::int32_t id, std::int32_t sequence, bool before) {
    t.rec = {};
    t.rec.ID = id;
    t.rec.Sequence = before ? sequence - 1 : sequence + 1;
    t.setPosition(stepKeyIndex(t.def()), 2);
    const Level l = before ? t.previous() : t.next();
    if (l != Level::Benign || t.rec.ID != id) return std::nullopt;
    return t.rec.Sequence;
}

// Gives step `from` the number `to`; false with `error` set when the write fails.
bool renumberOne(Table<R>& t, std::int32_t id, std::int32_t from, std::int32_t to, std::string& error) {
    if (fetchStep(t, id, from) != Level::Benign) {
        error = errorText(t);
        return false;
    }
    t.rec.Sequence = to;
    if (t.tryUpdate() != Level::Benign) {
        error = errorText(t);
        return false;
    }
    return true;
}

constexpr const char* kSwapOut = "Put Swap Out";
constexpr const char* kUpdSeq = "Put Upd Seq";

// Numbers the owner's steps 1, 2, 3 ... in their order, the step numbered
// `lead` first (leadPlace < 0) or last (> 0) when leadPlace is not 0: a few
// statements however long the script. A failure shows the swap error of its
// stage, naming `shown` as the step. Inside the caller's transaction.
bool renumberAll(Table<R>& t, const StepOwner& owner, std::int32_t lead, int leadPlace, std::int32_t shown,
                 UserInterface& ui) {
    const KeyDef& key = t.def().keys[static_cast<std::size_t>(stepKeyIndex(t.def()))];
    int stage = 0;
    if (t.renumberGroup(key.components[0].field, owner.id, key.components[1].field, lead, leadPlace,
                        &stage) == Level::Benign)
        return true;
    ui.message("Error!",
               RecordSwapError(*owner.table, owner.id, shown, errorText(t), stage == 2 ? kUpdSeq : kSwapOut),
               MessageIcon::Hand);
    return false;
}

} // namespace

std::string RecordSwapError(const TableDef& table, std::int32_t id, std::int32_t sequence,
                            const std::string& error, const std::string& section) {
    const KeyDef* key = table.primaryKey();
    std::string keyName = key ? key->name : std::string();
    if (keyName.find(':') == std::string::npos) keyName = table.prefix + ":" + keyName;
    const std::string idField =
        table.prefix + ((&table == &tables::ScriptTemplateDetails() ? ":WIZ_ID" : ":ID"));
    return "Record swap error: \n" + error + "\n" + table.label + ", " + keyName + "\nKey Field " + idField +
           " = " + std::to_string(id) + "\nKey Field " + table.prefix +
           ":Sequence = " + std::to_string(sequence) + "\nSection = " + section;
}

std::optional<std::int32_t> MoveStep(DataSet& ds, const StepOwner& owner, std::int32_t sequence,
                                     StepMove move, UserInterface& shown) {
    // A failure is shown once the transaction is over: a message window shown
    // inside it would let other work reach the store meanwhile.
    HeldMessages ui(shown);
    Table<R> t(ds, *owner.table);
    if (t.open() != Level::Benign) return std::nullopt;
    const bool up = move == StepMove::Up || move == StepMove::Top;
    std::string error;
    if (fetchStep(t, owner.id, sequence) != Level::Benign) return std::nullopt;
    // The neighbour and the highest number by a seek each: a move of one place
    // reads three steps, however long the script.
    const std::optional<std::int32_t> neighbour = neighbourOf(t, owner.id, sequence, up);
    if (!neighbour) return std::nullopt; // already at that end

    StoreTransaction tx(t);
    if (!tx.started()) return std::nullopt;
    std::int32_t result = 0;
    if (move == StepMove::Up || move == StepMove::Down) {
        // Exchange the numbers with the neighbour's through a parking number.
        const std::int32_t other = *neighbour;
        const std::int32_t park =
            neighbourOf(t, owner.id, std::numeric_limits<std::int32_t>::max(), true).value_or(sequence) + 1;
        if (!renumberOne(t, owner.id, sequence, park, error)) {
            ui.message("Error!", RecordSwapError(*owner.table, owner.id, sequence, error, kSwapOut),
                       MessageIcon::Hand);
            return std::nullopt;
        }
        if (!renumberOne(t, owner.id, other, sequence, error) ||
            !renumberOne(t, owner.id, park, other, error)) {
            ui.message("Error!", RecordSwapError(*owner.table, owner.id, other, error, kUpdSeq),
                       MessageIcon::Hand);
            return std::nullopt;
        }
        result = other;
    } else {
        if (!renumberAll(t, owner, sequence, up ? -1 : 1, sequence, ui)) return std::nullopt;
        // At the bottom the step's number is the count: the highest after renumbering.
        result =
            up ? 1 : neighbourOf(t, owner.id, std::numeric_limits<std::int32_t>::max(), true).value_or(1);
    }
    if (tx.commit() != Level::Benign) return std::nullopt;
    return result;
}

bool RenumberSteps(DataSet& ds, const StepOwner& owner, UserInterface& shown) {
    HeldMessages ui(shown); // shown after the transaction
    Table<R> t(ds, *owner.table);
    if (t.open() != Level::Benign) return false;
    // A failure names the first step; steps already numbered 1, 2, 3 ... are not written.
    const std::int32_t firstStep =
        neighbourOf(t, owner.id, std::numeric_limits<std::int32_t>::min() + 1, false).value_or(0);
    StoreTransaction tx(t);
    if (!tx.started()) return false;
    if (!renumberAll(t, owner, 0, 0, firstStep, ui)) return false;
    return tx.commit() == Level::Benign;
}

StepStatus InsertStepAfter(DataSet& ds, const StepOwner& owner, std::int32_t after, ScriptingRecord& step) {
    Table<R> t(ds, *owner.table);
    if (t.open() != Level::Benign) return failed(errorText(t));
    std::string error;
    const std::optional<std::int32_t> highest =
        neighbourOf(t, owner.id, std::numeric_limits<std::int32_t>::max(), true);
    StoreTransaction tx(t);
    if (!tx.started()) return failed(errorText(t));
    std::int32_t number = 1;
    if (after < 0 || (highest && after >= *highest)) {
        number = highest ? *highest + 1 : 1;
    } else {
        number = after + 1;
        // The steps from `number` on move up by one while the numbers run on
        // without a gap, the last first, so no two share a number.
        std::vector<std::int32_t> run;
        for (std::int32_t at = number; fetchStep(t, owner.id, at) == Level::Benign; ++at)
            run.push_back(at);
        for (auto it = run.rbegin(); it != run.rend(); ++it)
            if (!renumberOne(t, owner.id, *it, *it + 1, error)) return failed(error);
    }
    step.ID = owner.id;
    step.Sequence = number;
    fitStepFields(step);
    t.rec = step;
    if (t.tryInsert() != Level::Benign) return failed(errorText(t));
    if (tx.commit() != Level::Benign) return failed(errorText(t));
    return {};
}

StepStatus UpdateStep(DataSet& ds, const StepOwner& owner, ScriptingRecord& step) {
    Table<R> t(ds, *owner.table);
    if (t.open() != Level::Benign) return failed(errorText(t));
    if (fetchStep(t, owner.id, step.Sequence) != Level::Benign) return failed(errorText(t));
    step.ID = owner.id;
    fitStepFields(step);
    t.rec = step;
    if (t.tryUpdate() != Level::Benign) return failed(errorText(t));
    return {};
}

StepStatus DeleteStep(DataSet& ds, const StepOwner& owner, std::int32_t sequence) {
    Table<R> t(ds, *owner.table);
    if (t.open() != Level::Benign) return failed(errorText(t));
    if (fetchStep(t, owner.id, sequence) != Level::Benign) return failed(errorText(t));
    if (t.tryDelete() != Level::Benign) return failed(errorText(t));
    return {};
}

bool ClearAllSteps(DataSet& ds, const StepOwner& owner, UserInterface& ui) {
    if (!ui.ask("Delete", "Delete all script items for the current task?")) return false;
    const StepStatus s = DeleteScriptSteps(ds, *owner.table, owner.id);
    if (!s.ok()) {
        ui.message("Error!", "The script items could not be deleted: " + s.error, MessageIcon::Hand);
        return false;
    }
    return true;
}

std::optional<ScheduleRecord> PrepareTaskForScripting(DataSet& ds, std::int32_t taskId, Date today,
                                                      const std::string& dateFormat, UserInterface& ui) {
    if (taskId == 0) {
        ui.message("Internal Error", "Invalid Schedule ID #0", MessageIcon::Hand);
        return std::nullopt;
    }
    Table<ScheduleRecord> t(ds, tables::Schedule());
    if (t.open() != Level::Benign) return std::nullopt;
    t.rec.ID = taskId;
    if (t.fetch("KeyID") != Level::Benign) {
        ui.message("Internal Error", "Invalid Schedule ID #" + std::to_string(taskId), MessageIcon::Hand);
        return std::nullopt;
    }
    bool changed = false;
    if (text::trimRight(t.rec.Command).empty()) {
        t.rec.Command = "N/A";
        changed = true;
    }
    if (text::trimRight(t.rec.Description).empty()) {
        t.rec.Description =
            fitText("Script " + formatUserDate(today, dateFormat), ScheduleRecord::Width::Description);
        changed = true;
    }
    if (changed && t.tryUpdate() != Level::Benign)
        ui.message("Scripting", "The task could not be saved: " + errorText(t), MessageIcon::Exclamation);
    return t.rec;
}

std::string ScriptingTitle(const ScheduleRecord& task) {
    return "Scripting - " + text::trimmedRight(task.Category) + ": " + text::trimmedRight(task.Description) +
           " " + text::trimmedRight(task.Command);
}

// ---------------------------------------------------------------------------

namespace {

constexpr StepField tx(std::string R::*m) {
    return StepField{m, nullptr};
}
constexpr StepField nm(std::int32_t R::*m) {
    return StepField{nullptr, m};
}

const std::vector<std::string_view> kWaitModes{"Either", "Both"};
const std::vector<std::string_view> kExistence{"Exists", "Does not exist"};
const std::vector<std::string_view> kElapsed{"Less than", "Greater than"};
const std::vector<std::string_view> kOperators{"=", "<>", "<", "<=", ">", "=>"};
const std::vector<std::string_view> kScriptModes{"Insert (Execute and continue)",
                                                 "Jump to (Execute and skip)", "Append"};
const std::vector<std::string_view> kVerbs{"", "Open", "View", "Print", "Play", "Explore", "Find", "Edit"};
const std::vector<std::string_view> kDdeTypes{"Execute", "Poke", "Request"};

std::vector<std::string_view> fileOperations() {
    std::vector<std::string_view> out;
    for (const std::string& op : FileActionOperations())
        out.push_back(op);
    return out;
}

} // namespace

const std::vector<EditorAction>& EditorActions() {
    using K = FieldKind;
    static const std::vector<EditorAction> actions = {
        {StepAction::SendKeys,
         action::SendKeys,
         {{tx(&R::Keystrokes), "&Keystrokes:", K::Keys, {}, true}},
         "Types the keystrokes into the window that has the keyboard focus. Plain characters are typed as "
         "they "
         "are; a key name in square brackets sends one key, e.g. [ENTER], [TAB] or [CtrlS]; a bracketed "
         "variable "
         "such as [TODAY] types its value. Give the target window the focus first with a Set Focus step."},
        {StepAction::SetFocus,
         action::SetFocus,
         {{tx(&R::FocusOnWindow), "&Window:", K::Window, {}, true},
          {tx(&R::WaitForWindow), "&Containing:", K::Child}},
         "Brings the first window whose title matches the pattern to the front and gives it the keyboard "
         "focus. "
         "A pattern is a whole title, the start of a title followed by \"*\" (\"Untitled - *\"), or \"*\" "
         "followed by a phrase the title contains (\"*Notepad\"); case does not matter. With a text under "
         "Containing, only a window with a control showing that text counts. The step never waits: when no "
         "window matches, it does nothing."},
        {StepAction::Wait,
         action::Wait,
         {{nm(&R::SecondsToWait), "&Seconds:", K::Number},
          {tx(&R::WaitForWindow), "&Window:", K::Window},
          {tx(&R::DDEApplicationName), "&Mode:", K::Choice, kWaitModes},
          {tx(&R::FocusOnWindow), "&Containing:", K::Child}},
         "Waits for a number of seconds, for a window, or for both. Mode Either ends the wait when the "
         "seconds "
         "have passed or the window exists, whichever comes first; Both waits the seconds and then for the "
         "window, without a time limit. A window pattern that begins with \"~\" waits until no such window "
         "exists. A window that appears gets the keyboard focus."},
        {StepAction::StartProgram,
         action::StartProgram,
         {{tx(&R::Command), "&Program:", K::Program, {}, true},
          {tx(&R::Path), "&Start in:", K::Folder},
          {tx(&R::DDEApplicationName), "&Options:", K::StartOptions},
          {nm(&R::TimeElapsed), "&Longest wait (seconds):", K::Number},
          {tx(&R::DDEApplicationTopic), "Shell &verb:", K::Choice, kVerbs, false, true}},
         "Starts a program or opens a document. With \"Wait for the program to end\" the script stays at "
         "this "
         "step until the program ends or the longest wait has passed (0 = no limit); its exit code is kept "
         "in "
         "the variable EXITCODE. A shell verb (Open, Print ...) opens the document with the desktop's "
         "handler for it. "
         "\"Translate variables\" replaces bracketed names in the program and folder before the start."},
        {StepAction::CloseProgram,
         action::CloseProgram,
         {{tx(&R::Command), "&Window:", K::Window}, {tx(&R::Path), "&Containing:", K::Child}},
         "Asks the first window that matches the pattern to close, as its close button would. Without a "
         "pattern the window that has the focus is closed. When no window matches, the program behind the "
         "pattern is ended."},
        {StepAction::DisplayMessage,
         action::DisplayMessage,
         {{tx(&R::DDEApplicationName), "&Message:", K::Message, {}, true},
          {tx(&R::DDEApplicationTopic), "&Title:", K::Text},
          {nm(&R::SecondsToWait), "Standard message &box", K::Flag},
          {tx(&R::FocusOnWindow), "B&uttons:", K::Text}},
         "Shows a message. A standard message box waits for a button: give the captions separated by \"|\", "
         "with \"&\" before the accelerator letter (\"&Yes|&No\"); the number of the button pressed (1 for "
         "the "
         "first) is kept in the variable RESPONSE. Without the standard box the task's message window is "
         "shown "
         "and the script goes on. Bracketed variables in the message and title are replaced."},
        {StepAction::IfWindow,
         action::IfWindow,
         {{tx(&R::WindowExistance), "&Condition:", K::Choice, kExistence},
          {tx(&R::WindowTitleToCheckFor), "&Window:", K::Window, {}, true},
          {tx(&R::FocusOnWindow), "&Containing:", K::Child}},
         "Runs the steps up to the matching \"...End If\" only when a window matching the pattern exists (or "
         "does not exist). Blocks may be nested; every If needs its End If."},
        {StepAction::IfTimeElapsed,
         action::IfTimeElapsed,
         {{tx(&R::IfTimeElapsed), "&Condition:", K::Choice, kElapsed},
          {nm(&R::TimeElapsed), "&Seconds:", K::Number}},
         "Compares the time since the script started with a number of seconds and runs the steps up to the "
         "matching \"...End If\" only when the condition holds."},
        {StepAction::IfValue,
         action::IfValue,
         {{tx(&R::Command), "&Variable:", K::Text, {}, true},
          {tx(&R::WindowTitleToCheckFor), "&Operator:", K::Choice, kOperators},
          {tx(&R::WaitForWindow), "&Value:", K::Text}},
         "Compares a variable with a value and runs the steps up to the matching \"...End If\" only when the "
         "comparison holds. Numbers are compared as numbers (FILEEXISTS, FILESIZE, DATE, TIME ... always), "
         "other "
         "texts as texts. The value may be a bracketed name or expression such as [=COUNT+1]."},
        {StepAction::EndIf, action::EndIf, {}, "Ends the block of the If step before it."},
        {StepAction::FileActions,
         action::FileActions,
         {{tx(&R::DDEType), "O&peration:", K::Choice, fileOperations()},
          {tx(&R::Command), "&File:", K::File, {}, true},
          {tx(&R::Path), "&To:", K::File},
          {tx(&R::DDEApplicationName), "&Host:", K::Text},
          {tx(&R::DDEApplicationTopic), "&User and password:", K::Text}},
         "Copies, moves, renames, deletes or recycles files (several names separated by \";\"), makes and "
         "removes "
         "folders, reads a file's date, time or size into FILEDATE, FILETIME or FILESIZE, tests whether a "
         "file "
         "exists (FILEEXISTS), writes the list of open windows to a file, or transfers a file by FTP or HTTP "
         "(host, user and password for FTP)."},
        {StepAction::SendEmail,
         action::SendEmail,
         {{nm(&R::EmailID), "&Message number:", K::StoredMessage, {}, true},
          {tx(&R::WindowTitleToCheckFor), "&Subject:", K::Text}},
         "Sends a stored e-mail message by its number; the result code is kept in the variable "
         "EMAILEXITCODE. "
         "The subject is only shown in the list."},
        {StepAction::SetValue,
         action::SetValue,
         {{tx(&R::Path), "&Variable:", K::Text, {}, true}, {tx(&R::Command), "&Value:", K::Text}},
         "Sets a variable. Bracketed names in the value are replaced; a value that begins with \"=\" is "
         "calculated (\"=[COUNT]+1\"). Variables live until the program ends."},
        {StepAction::StartScript,
         action::StartScript,
         {{tx(&R::Command), "&Script file:", K::ScriptFile, {}, true},
          {tx(&R::Path), "&Mode:", K::Choice, kScriptModes}},
         "Runs the steps of an exported script file (.qds). Insert runs them and then the rest of this "
         "script; "
         "Jump to runs them instead of the rest; Append adds them as a script of their own after this one."},
        {StepAction::Dde,
         action::DDELong,
         {{tx(&R::DDEType), "&Type:", K::Choice, kDdeTypes, false, true},
          {tx(&R::DDEApplicationName), "&Service:", K::Text, {}, true},
          {tx(&R::DDEApplicationTopic), "T&opic:", K::Text},
          {tx(&R::DDELinkItem), "&Item:", K::Text},
          {tx(&R::DDECommand), "Co&mmand:", K::Text}},
         "Sends a command to another program over the session bus: the service is the bus name and the topic "
         "the object path. A failure is silent."},
        {StepAction::Comment,
         action::Comment,
         {{tx(&R::Command), "&Comment:", K::Text}},
         "A note for the reader of the script; it does nothing."},
        {StepAction::ExitScript,
         action::ExitScript,
         {},
         "Ends this script; scripts queued after it still run.",
         true},
    };
    return actions;
}

const EditorAction* FindEditorAction(std::string_view storedName) {
    const StepAction a = actionOf(storedName);
    if (a == StepAction::Unknown) return nullptr;
    for (const EditorAction& e : EditorActions())
        if (e.action == a) return &e;
    return nullptr;
}

std::vector<std::string> EditorActionList() {
    std::vector<std::string> out;
    for (const EditorAction& e : EditorActions())
        if (!e.underOther) out.emplace_back(e.name);
    out.emplace_back(kOtherAction);
    return out;
}

std::vector<std::string> OtherActionList() {
    std::vector<std::string> out;
    for (const EditorAction& e : EditorActions())
        if (e.underOther) out.emplace_back(e.name);
    return out;
}

StartOptions ReadStartOptions(std::string_view o) {
    StartOptions s;
    auto at = [&](std::size_t i) { return i < o.size() ? o[i] : ' '; };
    s.wait = at(0) == '1';
    s.priority = at(1) == '1' || at(1) == '3' ? at(1) : '2';
    const char show = at(2);
    s.show = show == '2' || show == '3' || show == '7' || show == '8' ? show : '1';
    s.translate = at(3) == '1';
    return s;
}

std::string WriteStartOptions(const StartOptions& s) {
    std::string o(4, '0');
    o[0] = s.wait ? '1' : '0';
    o[1] = s.priority;
    o[2] = s.show;
    o[3] = s.translate ? '1' : '0';
    return o;
}

void ApplyActionDefaults(ScriptingRecord& s) {
    switch (actionOf(s)) {
    case StepAction::Wait:
        if (text::trimRight(s.DDEApplicationName).empty() ||
            (text::lowerAscii(s.DDEApplicationName) != "both" &&
             text::lowerAscii(s.DDEApplicationName) != "and" &&
             text::lowerAscii(s.DDEApplicationName) != "or" &&
             text::lowerAscii(s.DDEApplicationName) != "either"))
            s.DDEApplicationName = "Either";
        break;
    case StepAction::IfWindow:
        if (s.WindowExistance != "Exists" && s.WindowExistance != "Does not exist")
            s.WindowExistance = "Exists";
        break;
    case StepAction::IfTimeElapsed:
        if (s.IfTimeElapsed != "Less than" && s.IfTimeElapsed != "Greater than")
            s.IfTimeElapsed = "Less than";
        break;
    case StepAction::IfValue:
        if (text::trimRight(s.Command).empty()) {
            s.Command = "FILEEXISTS";
            s.WindowTitleToCheckFor = "=";
            s.WaitForWindow = "1";
        }
        break;
    case StepAction::StartScript: {
        const char m = s.Path.empty() ? ' ' : text::upperAscii(s.Path.front());
        s.Path = m == 'A'   ? "Append"
                 : m == 'J' ? "Jump to (Execute and skip)"
                            : "Insert (Execute and continue)";
        break;
    }
    case StepAction::FileActions: {
        const auto& ops = FileActionOperations();
        if (std::find(ops.begin(), ops.end(), text::trimRight(s.DDEType)) == ops.end()) s.DDEType = "Copy";
        break;
    }
    case StepAction::StartProgram:
        if (text::trimRight(s.DDEApplicationName).empty()) s.DDEApplicationName = "0210";
        break;
    case StepAction::DisplayMessage:
        break;
    default:
        break;
    }
}

std::string PromptOf(std::string_view label) {
    std::string p;
    for (char c : label)
        if (c != '&') p += c;
    while (!p.empty() && (p.back() == ':' || p.back() == ' '))
        p.pop_back();
    return p;
}

StepCheck CheckStepForSave(const ScriptingRecord& step, std::int32_t ownerId) {
    StepCheck c;
    if (text::trimRight(step.Action) == kOtherAction) {
        c.ok = false;
        c.title = "Error";
        c.text = "\"Other\" script item not recorded correctly.  Re-enter.";
        return c;
    }
    if (step.ID == 0) {
        c.ok = false;
        c.title = "Internal Error";
        c.text =
            "Unable to attach script to scheduled item.  Schedule ID is " + std::to_string(ownerId) + ".";
        return c;
    }
    const EditorAction* e = FindEditorAction(step.Action);
    if (!e) return c;
    for (const EditorField& f : e->fields) {
        if (!f.required) continue;
        const bool empty =
            f.field.text ? text::trimRight(step.*(f.field.text)).empty() : step.*(f.field.number) == 0;
        if (!empty) continue;
        c.ok = false;
        c.title = "Missing Information";
        c.field = PromptOf(f.label);
        c.text = c.field + " must be entered.";
        return c;
    }
    // A text longer than its field would be cut when stored.
    ScriptingRecord fitted = step;
    fitStepFields(fitted);
    for (const EditorField& f : e->fields) {
        if (!f.field.text || fitted.*(f.field.text) == fitText(step.*(f.field.text), std::string::npos))
            continue;
        c.ok = false;
        c.title = "Error";
        c.field = PromptOf(f.label);
        c.text = c.field + " is longer than " + std::to_string(characterCount(fitted.*(f.field.text))) +
                 " characters.";
        return c;
    }
    // A Wait needs something to wait for.
    if (e->action == StepAction::Wait && step.SecondsToWait <= 0 &&
        text::trimRight(step.WaitForWindow).empty()) {
        c.ok = false;
        c.title = "Missing Information";
        c.field = "Seconds";
        c.text = "Seconds or Window must be entered.";
    }
    return c;
}

// ---------------------------------------------------------------------------

const std::vector<std::string>& KeyPickerNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> n = {"ENTER", "TAB",   "ESC",   "BS",    "DELETE", "INSERT",
                                      "HOME",  "END",   "PGUP",  "PGDN",  "UP",     "DOWN",
                                      "LEFT",  "RIGHT", "SPACE", "PAUSE", "PRINT",  "CAPSLOCK"};
        for (int i = 1; i <= 12; ++i)
            n.push_back("F" + std::to_string(i));
        for (char c = 'A'; c <= 'Z'; ++c)
            n.emplace_back(1, c);
        for (char c = '0'; c <= '9'; ++c)
            n.emplace_back(1, c);
        for (char c = '0'; c <= '9'; ++c)
            n.push_back(std::string("PAD") + c);
        for (const char* s : {"AST", "PLUS", "MINUS", "SLASH", "DECIMAL"})
            n.emplace_back(s);
        return n;
    }();
    return names;
}

const std::vector<std::string>& KeyPickerModifiers() {
    static const std::vector<std::string> m = {"Shift", "Ctrl", "Alt"};
    return m;
}

namespace {

// The key names by code, for the preview.
const std::map<int, std::string>& namesByCode() {
    static const std::map<int, std::string> m = [] {
        std::map<int, std::string> out;
        for (const std::string& n : KeyPickerNames())
            out.emplace(KeyNameToCode(n), n);
        out[KeyNameToCode("CAPS")] = "CAPSLOCK";
        return out;
    }();
    return m;
}

std::string keyText(int code) {
    std::string s;
    if (code & kModShift) s += "Shift+";
    if (code & kModCtrl) s += "Ctrl+";
    if (code & kModAlt) s += "Alt+";
    if (code & kModWin) s += "Win+";
    const int key = code & 0xFF;
    if (key >= 1 && key <= 7) return s + "(mouse name: no key is sent)";
    if (key == 0) return s.empty() ? std::string("(nothing)") : s.substr(0, s.size() - 1) + " alone";
    const auto& m = namesByCode();
    const auto it = m.find(key);
    return s + (it != m.end() ? it->second : "key " + std::to_string(key));
}

} // namespace

std::vector<std::string> KeystrokePreview(std::string_view text, int burstSize) {
    // The same splitting as the sending: groups of plain characters (at most
    // the burst size before a bracket) and bracketed names.
    std::vector<std::string> out;
    const std::size_t burst = static_cast<std::size_t>(std::clamp(burstSize <= 0 ? 7 : burstSize, 1, 255));
    std::string rest(text.substr(0, std::min(text.size(), kMaxKeystrokeText)));
    while (!rest.empty()) {
        const std::size_t open = rest.find('[');
        if (open == std::string::npos) {
            const std::string plain(text::trimRight(rest));
            if (!plain.empty()) out.push_back("Type \"" + plain + "\"");
            break;
        }
        if (open == 0) {
            rest.erase(0, 1);
            const std::size_t close = rest.find(']');
            if (close == std::string::npos) continue;
            const std::string name = rest.substr(0, close);
            rest.erase(0, close + 1);
            if (const int code = KeyNameToCode(name); code != 0)
                out.push_back("Press " + keyText(code));
            else
                out.push_back("Type the value of [" + name + "] (its name when it has none)");
            continue;
        }
        const std::size_t n = std::min(open, burst);
        out.push_back("Type \"" + rest.substr(0, n) + "\"");
        rest.erase(0, n);
    }
    return out;
}

// ---------------------------------------------------------------------------

std::vector<TextProblem> CheckScriptText(std::string_view text, std::size_t limit) {
    std::vector<TextProblem> out;
    if (text.size() > kMaxScriptTextBytes) {
        out.push_back({1, "The text is longer than " + std::to_string(kMaxScriptTextBytes >> 20) + " MB."});
        return out;
    }
    int number = 0;
    std::size_t pos = 0;
    while (pos < text.size() && out.size() < limit) {
        std::size_t end = text.find_first_of("\r\n", pos);
        std::size_t next;
        if (end == std::string_view::npos)
            end = next = text.size();
        else if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n')
            next = end + 2;
        else
            next = end + 1;
        const std::string_view line = text.substr(pos, end - pos);
        pos = next;
        ++number;
        if (static_cast<std::size_t>(number) > kMaxScriptTextLines) {
            out.push_back(
                {number, "A script holds at most " + std::to_string(kMaxScriptTextLines) + " lines."});
            break;
        }
        const std::string_view trimmed = text::trimLeft(line);
        if (text::trimRight(trimmed).empty()) continue;
        const std::size_t blank = trimmed.find(' ');
        const std::string keyword(trimmed.substr(0, blank));
        const std::string_view rest =
            blank == std::string_view::npos ? std::string_view() : trimmed.substr(blank + 1);
        const ActionDescriptor* d = findActionByKeyword(text::upperAscii(keyword));
        if (!d) {
            out.push_back({number, "Unknown script action: " + keyword.substr(0, 40)});
            continue;
        }
        if (d->textRule == TextRule::Keys) {
            if (rest.size() > ScriptingRecord::Width::Keystrokes)
                out.push_back({number, "The keystrokes are longer than " +
                                           std::to_string(ScriptingRecord::Width::Keystrokes) +
                                           " characters; split them over several KEYS lines."});
            continue;
        }
        for (const std::string& token : TokenizeArguments(rest))
            if (token.size() > ScriptingRecord::Width::Command) {
                out.push_back({number, "A value is longer than " +
                                           std::to_string(ScriptingRecord::Width::Command) + " characters."});
                break;
            }
    }
    return out;
}

std::vector<TextProblem> CheckScriptFileText(std::string_view text, std::size_t limit) {
    std::vector<TextProblem> out;
    int number = 1;
    std::size_t fields = 1;
    std::size_t fieldLength = 0;
    bool quoted = false;
    bool lineReported = false;
    auto report = [&](std::string message) {
        if (!lineReported) out.push_back({number, std::move(message)});
        lineReported = true;
    };
    for (std::size_t i = 0; i < text.size() && out.size() < limit; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == 0 || (c < 32 && c != '\t' && c != '\r' && c != '\n') || c == 127) {
            out.push_back({number, "The file holds binary data: it is not a script file."});
            return out;
        }
        if (c == '"') {
            quoted = !quoted; // a doubled quote toggles twice
            continue;
        }
        if (!quoted && (c == '\r' || c == '\n')) {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            ++number;
            fields = 1;
            fieldLength = 0;
            lineReported = false;
            continue;
        }
        if (!quoted && c == ',') {
            if (++fields == 8) report("The line has more than 7 fields (an action and at most six values).");
            fieldLength = 0;
            continue;
        }
        if (++fieldLength == ExportRecord::Width::Field1 + 1)
            report("A value is longer than " + std::to_string(ExportRecord::Width::Field1) + " characters.");
    }
    return out;
}

std::string TextProblemMessage(const std::vector<TextProblem>& problems) {
    if (problems.empty()) return {};
    std::string m = "Line " + std::to_string(problems.front().line) + ": " + problems.front().message;
    for (std::size_t i = 1; i < problems.size(); ++i)
        m += "\nLine " + std::to_string(problems[i].line) + ": " + problems[i].message;
    m += "\n\nNothing was saved.";
    return m;
}

} // namespace qd
