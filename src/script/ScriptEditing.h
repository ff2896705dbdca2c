// The rules of the script editors: the steps of one task (or one template) as a
// list that is reordered, renumbered, inserted into and cleared in single store
// transactions; the step form's fields, defaults, help and checks for every
// action; the key names offered by the keystroke picker and a preview of how a
// keystroke text is sent; and the checks a script text passes before it
// replaces any stored step.
#pragma once

#include "data/Calendar.h"
#include "data/DataSet.h"
#include "data/Records.h"
#include "data/TableDefs.h"
#include "data/UserInterface.h"
#include "script/ScriptSteps.h"
#include "script/StepActions.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qd {

// GLO:SCRIPTWIZARDMODE: 1 while the template list is open; the step editors
// then work on template steps.
std::atomic<int>& GLO_SCRIPTWIZARDMODE();

// The steps a window edits: those of a task (Scripting, SCR:ID) or of a
// template (ScriptTemplateDetails, QDD:WIZ_ID).
struct StepOwner {
    const TableDef* table = nullptr;
    std::int32_t id = 0;
    bool isTemplate() const;
};
StepOwner taskSteps(std::int32_t taskId);
StepOwner templateSteps(std::int32_t templateId);

// ---------------------------------------------------------------------------
// The step list.

enum class StepMove { Up, Down, Top, Bottom };

// The text of a failed sequence write: "Record swap error: ", the error, the
// table and key, the key fields and the stage ("Put Swap Out", "Put Upd Seq").
std::string RecordSwapError(const TableDef& table, std::int32_t id, std::int32_t sequence,
                            const std::string& error, const std::string& section);

// Moves the step numbered `sequence` one place up or down (it exchanges its
// number with its neighbour's, parking one of them one above the highest
// number in use) or to the top or bottom (every step renumbered 1, 2, 3 ... in
// the new order). All in one transaction: a failed write shows the swap error
// (title "Error!") and leaves the order as it was. Returns the step's new
// number; nullopt when it did not move (failure, or already at that end).
std::optional<std::int32_t> MoveStep(DataSet& ds, const StepOwner& owner, std::int32_t sequence,
                                     StepMove move, UserInterface& ui);

// Writes 1, 2, 3 ... in the current order, in one transaction; a failed write
// shows the swap error and keeps the old numbers.
bool RenumberSteps(DataSet& ds, const StepOwner& owner, UserInterface& ui);

// Adds a step after the step numbered `after` (0: before the first step, -1:
// after the last); the steps behind it move up by one where the number is
// taken, in the same transaction. The step's ID and Sequence are set; its
// fields are cut to their widths.
StepStatus InsertStepAfter(DataSet& ds, const StepOwner& owner, std::int32_t after, ScriptingRecord& step);

// Replaces the stored step of the same ID and Sequence.
StepStatus UpdateStep(DataSet& ds, const StepOwner& owner, ScriptingRecord& step);

// Deletes one step.
StepStatus DeleteStep(DataSet& ds, const StepOwner& owner, std::int32_t sequence);

// "Clear All": asks "Delete all script items for the current task?" and, on
// Yes, deletes every step of the owner in one transaction. True when deleted.
bool ClearAllSteps(DataSet& ds, const StepOwner& owner, UserInterface& ui);

// Opening the step list of a task: ID 0 shows "Invalid Schedule ID #0"
// (title "Internal Error") and gives nullopt. An empty command becomes "N/A"
// and an empty description "Script " and today's date in the user's format;
// the task is saved when either changed.
std::optional<ScheduleRecord> PrepareTaskForScripting(DataSet& ds, std::int32_t taskId, Date today,
                                                      const std::string& dateFormat, UserInterface& ui);

// "Scripting - " category ": " description " " command.
std::string ScriptingTitle(const ScheduleRecord& task);

// ---------------------------------------------------------------------------
// The step form.

enum class FieldKind {
    Text,
    Number,
    Choice,        // one of `choices`, typed text allowed when `editable`
    Flag,          // a number used as 0 / 1
    Keys,          // keystroke text: key-name picker and preview
    Window,        // window title pattern: window picker and live match count
    Child,         // child-window text of the window field: child picker
    File,          // a file name ("All Files")
    ScriptFile,    // a script file name ("QD Script Files")
    Program,       // a program: program chooser fills the folder
    Folder,        // a folder
    Message,       // several lines
    StartOptions,  // the four option characters of Start Program
    StoredMessage, // a stored message's number: chosen from the messages list
};

struct EditorField {
    StepField field;
    std::string_view label; // with "&" and ":"
    FieldKind kind = FieldKind::Text;
    std::vector<std::string_view> choices{};
    bool required = false;
    bool editable = false; // Choice: other texts may be typed
};

struct EditorAction {
    StepAction action = StepAction::Unknown;
    std::string_view name; // as offered and stored
    std::vector<EditorField> fields;
    std::string_view help;
    bool underOther = false; // offered through the "Other" entry
};

// The "Other" entry of the action list.
inline constexpr std::string_view kOtherAction = "Other";

// Every action the editor offers, in its list order.
const std::vector<EditorAction>& EditorActions();
// The entry of a stored action name (either DDE name, either keystroke name);
// null for "Other" and names the editor does not offer.
const EditorAction* FindEditorAction(std::string_view storedName);
// The names of the main list: the actions not under "Other", then "Other".
std::vector<std::string> EditorActionList();
// The names offered under "Other".
std::vector<std::string> OtherActionList();

// The defaults when an action is chosen: Wait mode "Either"; If Window...
// "Exists"; If Time Elapsed... "Less than"; If Value... FILEEXISTS = 1;
// Start Script mode by the first letter of the current mode; File Actions
// "Copy" when the current operation is not one of the list; Start Program
// options "0210" when none are set. Fields already filled are kept otherwise.
void ApplyActionDefaults(ScriptingRecord& step);

struct StepCheck {
    bool ok = true;
    std::string title;
    std::string text;
    std::string field; // label of the field to go to, without "&" and ":"
};
// The checks of a save: the action still "Other"; an ID of 0 (task
// `ownerId`); a required field left empty ("Missing Information",
// "@PROMPT must be entered."); a text longer than its field holds.
StepCheck CheckStepForSave(const ScriptingRecord& step, std::int32_t ownerId);

// The label without "&" and the trailing ":".
std::string PromptOf(std::string_view label);

// The four option characters of Start Program.
struct StartOptions {
    bool wait = false;
    char priority = '2'; // '1' low, '2' normal, '3' high
    char show =
        '1'; // '1' focus, '2' minimized, '3' maximized, '7' minimized without focus, '8' without focus
    bool translate = false;
};
StartOptions ReadStartOptions(std::string_view options);
std::string WriteStartOptions(const StartOptions& options);

// The keystroke picker's names (every key of the key table, modifiers apart).
const std::vector<std::string>& KeyPickerNames();
// The modifier prefixes the picker offers ("Shift", "Ctrl", "Alt").
const std::vector<std::string>& KeyPickerModifiers();

// How a keystroke text will be sent, one line per group: "Type "abc"",
// "Press Ctrl+V", "Type the value of [DATE]", ... `burstSize` as BURSTSIZE.
std::vector<std::string> KeystrokePreview(std::string_view text, int burstSize);

// ---------------------------------------------------------------------------
// The script text.

struct TextProblem {
    int line = 0; // from 1
    std::string message;
};
// Limits of a script text the editor saves.
inline constexpr std::size_t kMaxScriptTextBytes = 16u << 20;
inline constexpr std::size_t kMaxScriptTextLines = 100000;

// The problems that keep a script text from being saved, in line order: an
// unknown keyword, a value longer than its step field holds (it would be cut),
// a text beyond the limits. At most `limit` are returned.
std::vector<TextProblem> CheckScriptText(std::string_view text, std::size_t limit = 20);

// The problems that keep a script file from being imported: binary data (a
// NUL byte or other control characters), a line with more fields than the
// action and its six operands, a field longer than a step field holds (it
// would be cut). At most `limit` are returned.
std::vector<TextProblem> CheckScriptFileText(std::string_view text, std::size_t limit = 20);

// The message shown for problems: the first one's line named, then the others.
std::string TextProblemMessage(const std::vector<TextProblem>& problems);

} // namespace qd
