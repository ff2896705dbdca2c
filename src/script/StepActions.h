// Step actions as data.
//
// A step's action is stored as its name ("Start Program"); it is read once into
// a StepAction, and one descriptor per action says everything the formats need:
// its stored names, the step fields of the script file's columns, its script
// text keywords and arguments, how it is timed and nested in the queue, and its
// description line. The interpreter, the step description, the script file and
// the script text all read this table. Adding an action is one row in
// StepActions.cpp plus its execute function in the interpreter (the compiler
// points at every switch over StepAction that has to learn it).
#pragma once

#include "data/Records.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qd {

// The stored action names.
namespace action {
inline constexpr std::string_view DisplayMessage = "Display Message";
inline constexpr std::string_view StartProgram = "Start Program";
inline constexpr std::string_view CloseProgram = "Close Program";
inline constexpr std::string_view ExitScript = "Exit Script";
inline constexpr std::string_view SendKeystrokes = "Send Keystrokes";
inline constexpr std::string_view SendKeys = "Send Keys";
inline constexpr std::string_view DDELong = "DDE (Dynamic Data Exchange)";
inline constexpr std::string_view DDE = "DDE";
inline constexpr std::string_view SetFocus = "Set Focus";
inline constexpr std::string_view Wait = "Wait";
inline constexpr std::string_view IfWindow = "If Window...";
inline constexpr std::string_view IfTimeElapsed = "If Time Elapsed...";
inline constexpr std::string_view IfValue = "If Value...";
inline constexpr std::string_view EndIf = "...End If";
inline constexpr std::string_view FileActions = "File Actions";
inline constexpr std::string_view SendEmail = "Send Email";
inline constexpr std::string_view SetValue = "Set Value";
inline constexpr std::string_view StartScript = "Start Script";
inline constexpr std::string_view Comment = "Comment";
// Entries that exist only in the step queue.
inline constexpr std::string_view WaitForProgramEnd = "Wait for Program End";
inline constexpr std::string_view EndOfScript = "**End**";
} // namespace action

enum class StepAction : std::uint8_t {
    Unknown,
    DisplayMessage,
    StartProgram,
    CloseProgram,
    ExitScript,
    SendKeys,
    Dde,
    SetFocus,
    Wait,
    IfWindow,
    IfTimeElapsed,
    IfValue,
    EndIf,
    FileActions,
    SendEmail,
    SetValue,
    StartScript,
    Comment,
    WaitForProgramEnd, // a waiting Start Program while its program runs
    EndOfScript,       // ends each script in the queue
};

// One field of a step: a text or a number (empty: no field).
struct StepField {
    std::string ScriptingRecord::*text = nullptr;
    std::int32_t ScriptingRecord::*number = nullptr;

    bool empty() const { return !text && !number; }
    // The value as text (numbers in decimal).
    std::string get(const ScriptingRecord& s) const;
    // Sets the value from text (numbers read as whole numbers, 0 when not one).
    void set(ScriptingRecord& s, std::string_view value) const;
};

// How queueing times a step.
enum class StepTiming : std::uint8_t {
    Delay,   // one global delay after the step before it
    NoDelay, // at the moment of the step before it (conditions, End If)
    Wait,    // after its own seconds (none in Either/Or mode)
};

// Its part in If blocks.
enum class BlockRole : std::uint8_t { None, Opens, Closes };

// How a script text line carries the step: positional arguments, or a rule of
// its own in the script text reader and writer.
enum class TextRule : std::uint8_t {
    None,    // the text does not carry the action
    Plain,   // keyword and `textArguments`
    Display, // "/MODAL" switch
    Start,   // trailing option words
    Keys,    // the rest of the line as it stands
    File,    // operation-dependent arguments
    Script,  // mode by its first letter
    Wait,    // three forms
    IfWindow,
    IfTime,
};

struct ActionDescriptor {
    StepAction action = StepAction::Unknown;
    std::string_view name;                // as stored
    std::vector<std::string_view> others; // other stored names of the action
    bool stored = true;                   // false: an entry of the step queue only
    StepTiming timing = StepTiming::Delay;
    BlockRole block = BlockRole::None;
    // Script file: whether it carries the action, and the step field of each of
    // the columns Field1 to Field5.
    bool inFile = false;
    std::array<StepField, 5> fileColumns{};
    // Script text: keywords (the first is written; rules may use the others),
    // the rule, and the positional arguments of Plain lines.
    std::vector<std::string_view> keywords;
    TextRule textRule = TextRule::None;
    std::vector<StepField> textArguments;
    // The step's description line (before it is cut to its width).
    std::string (*describe)(const ScriptingRecord&) = nullptr;
};

// Every action, in StepAction order (Unknown excluded).
const std::vector<ActionDescriptor>& StepActions();

// The descriptor of an action; of a stored name (trailing blanks ignored; null
// when unknown); of a script text keyword (any case; null when unknown).
const ActionDescriptor& describeAction(StepAction a);
const ActionDescriptor* findAction(std::string_view storedName);
const ActionDescriptor* findActionByKeyword(std::string_view keyword);

// The action of a step's stored name.
StepAction actionOf(std::string_view storedName);
inline StepAction actionOf(const ScriptingRecord& s) {
    return actionOf(s.Action);
}

// Known step actions (as stored; queue-only entries excluded).
bool isKnownAction(std::string_view storedName);

// Timing and block role of a step; a name no action has keeps the rules of its
// name (a name starting with "Wait" waits, one holding "..." adds no delay, one
// starting with "If " or "End" opens or closes a block), as before actions were
// data.
StepTiming timingOf(const ScriptingRecord& s);
BlockRole blockRoleOf(const ScriptingRecord& s);

} // namespace qd
