// The script text: a task's script as lines of keywords and arguments, edited
// as one text and parsed back into steps.
//
//   KEYS keys                          DISPLAY message title buttons [/MODAL]
//   FOCUS window child                 START program folder [WAIT=n] [PRIORITY=p]
//   WAIT [AND|OR|EITHER|BOTH] seconds window child   [MODE=m] [ACTION=verb] [/TRANSLATE]
//   WAIT seconds window child          IF name operator value
//   WAIT window child seconds          IFWINDOW / IFNOTWINDOW window child
//   IFTIME / IFTIMELESS seconds        END
//   FILE operation first second [host user password]
//   SET name value                     SCRIPT file mode
//   CLOSE window child                 DDE application topic command
//   EMAIL id                           EXIT
//   COMMENT text  (or ! text)
//
// Lines end with CR LF, CR or LF; leading blanks are ignored; the keyword is
// the first word (any case). Arguments are separated by blanks or commas
// outside double quotes and outside square brackets; one pair of enclosing
// quotes is removed, a doubled quote inside quotes is one quote of the text,
// '""' is an empty argument. "KEYS" takes the rest of the line as it stands.
// The START options (WAIT=, PRIORITY=, MODE=, ACTION=, /TRANSLATE) count only
// as separate unquoted words at the end of the line; "/MODAL" only as a
// separate unquoted word.
//
// The generator quotes every argument that holds a blank, a comma, "/", "", a
// quote or a "[" left open, and every argument that would otherwise read as an
// option or a WAIT count (and writes "" for an empty one), indents the lines
// inside If blocks by 3 blanks per level (at most 24) and drops empty arguments
// at the end of a line. Reading back what it wrote and writing it again gives
// the same text.
#pragma once

#include "data/DataSet.h"
#include "data/Records.h"
#include "data/UserInterface.h"
#include "script/ScriptSteps.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qd {

// The arguments of a line (the text after the keyword), tokens unquoted.
std::vector<std::string> TokenizeArguments(std::string_view arguments);

// An argument as the generator writes it: in double quotes (a quote inside
// doubled, so the value reads back exactly) when it holds a blank, a comma, "/", "\\", a quote or a "[" left
// open, or when `always` is set; "" when empty.
std::string QuoteArgument(std::string_view value, bool always = false);

// The operation a FILE line names ("make directory" -> "Make Directory";
// unknown names -> "Copy").
std::string FileOperationFromText(std::string_view name);

struct ParsedLine {
    enum class Kind { Empty, Step, Unknown } kind = Kind::Empty;
    ScriptingRecord step; // Step, and Unknown (action = the keyword as written)
    std::string keyword;  // as written
    std::string rest;     // the text after the keyword
};
// One line (without its line end).
ParsedLine ParseScriptLine(std::string_view line);

// The line of one step without indentation; nullopt for actions the text does
// not carry.
std::optional<std::string> StepToTextLine(const ScriptingRecord& step);

// The script text of a list of steps (lines ended by CR LF).
std::string StepsToText(const std::vector<ScriptingRecord>& steps);

// The steps of a script text. Every line, empty ones included, takes the next
// sequence number from 1; empty lines give no step. An unknown keyword is shown
// through `ui` ("Unknown script action:", title "Error") and kept as a step whose
// action is the keyword.
std::vector<ScriptingRecord> TextToSteps(std::string_view text, std::int32_t taskId, UserInterface* ui);

// ScriptToText: the script text of task `taskId` from the Scripting table.
// Task 0 shows "No task ID"; a read error shows "Next script:  " and the error
// text (title "Error") and ends the text there.
std::string ScriptToText(DataSet& ds, std::int32_t taskId, UserInterface& ui);

// TextToScript: replaces the steps of task `taskId` by the parsed text, in one
// transaction. An empty text shows "Nothing to save." and changes nothing; a
// failed write shows "Error adding scripting:" with the error text, and the
// old steps stay. Returns whether the steps were replaced.
bool TextToScript(DataSet& ds, std::int32_t taskId, std::string_view text, UserInterface& ui);

// The syntax lines of the reference window, in order.
const std::vector<std::string>& ScriptTextReferenceLines();

} // namespace qd
