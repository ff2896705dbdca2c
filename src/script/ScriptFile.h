// The script file (".qds"): one step per line, comma-separated, every field in
// double quotes (a quote inside a field is doubled), lines ended by CR LF. The
// first field is the step's action (at most 20 characters), then up to six
// operand fields whose meaning depends on the action:
//
//   Close Program      Command, Path
//   Start Program      Command, Path, DDEApplicationName (options), TimeElapsed
//   Display Message    DDEApplicationName (message), DDEApplicationTopic (title),
//                      SecondsToWait, FocusOnWindow (buttons)
//   Send Keystrokes, Send Keys          Keystrokes
//   DDE (Dynamic Data Exchange), DDE    DDEType, DDEApplicationName,
//                      DDEApplicationTopic, DDELinkItem, DDECommand
//   Set Focus          FocusOnWindow, WaitForWindow
//   Wait               SecondsToWait, WaitForWindow, DDEApplicationName (mode), FocusOnWindow
//   If Window...       WindowExistance, WindowTitleToCheckFor, FocusOnWindow
//   If Time Elapsed... IfTimeElapsed, TimeElapsed
//   ...End If, Exit Script   (none)
//   File Actions       DDEType, Command, Path, DDEApplicationName, DDEApplicationTopic
//   Send Email         EmailID
//   Set Value          Path (name), Command (value)
//   If Value...        Command, WindowTitleToCheckFor, WaitForWindow
//   Start Script       Command (file), Path (mode)
//
// Steps of other actions (comments included) are not written. The reader also
// takes unquoted fields and LF or CR line ends, and normalises what it reads:
// "Send Keystrokes" becomes "Send Keys", the If conditions and the Wait mode
// take their canonical spellings. The long DDE action name does not fit in the
// 20-character action field: it is written cut ("DDE (Dynamic Data Ex") and that
// cut name is read back as the full one.
#pragma once

#include "data/DataSet.h"
#include "data/Records.h"
#include "data/UserInterface.h"
#include "script/ScriptSteps.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qd {

inline constexpr std::size_t kExportTypeWidth = ExportRecord::Width::Type;

// The line of one step; nullopt for steps the file does not carry.
std::optional<ExportRecord> StepToExportRecord(const ScriptingRecord& step);

enum class ImportKind { Step, Skipped, Unrecognized };
// The step of one line (not yet normalised). Skipped: blank action or
// "Comment"; Unrecognized: any other action the file does not carry.
ImportKind ExportRecordToStep(const ExportRecord& line, ScriptingRecord& step);

// The canonical form of a step read from a script file.
void NormaliseImportedStep(ScriptingRecord& step);

// The file's text for a list of steps.
std::string WriteScriptFileText(const std::vector<ScriptingRecord>& steps);

// The lines of a script file's text, fields without trailing blanks.
std::vector<ExportRecord> ParseExportLines(std::string_view text);

// Limits of a script file: its size, and the steps it may hold.
inline constexpr std::size_t kMaxScriptFileBytes = 16u << 20;
inline constexpr std::size_t kMaxScriptFileSteps = 100000;

struct ScriptFileContent {
    std::vector<ScriptingRecord> steps;    // normalised, Sequence 1, 2, 3 ...
    std::vector<std::string> unrecognized; // actions that were left out, each once, the first few
    std::size_t unrecognizedLines = 0;     // lines left out for an unrecognised action
    bool moreUnrecognized = false;         // other actions beyond those listed
    bool tooManySteps = false;             // reading stopped at kMaxScriptFileSteps
};
ScriptFileContent ParseScriptFileText(std::string_view text);

struct ScriptFileStatus {
    bool ok = true;
    std::string error;
    explicit operator bool() const { return ok; }
};

// Writes the file (replacing it; a failed write leaves the old file). The file
// is private to its owner: it may hold FTP passwords.
ScriptFileStatus SaveScriptFile(const std::filesystem::path& file, const std::vector<ScriptingRecord>& steps);
// The text of a script file: only a regular file of at most kMaxScriptFileBytes
// is read (a FIFO or a device is refused at once, never waited for).
ScriptFileStatus ReadScriptFileText(const std::filesystem::path& file, std::string& text);
// Reads and parses a file (ReadScriptFileText, then ParseScriptFileText; more
// than kMaxScriptFileSteps steps is an error). The caller reports
// content.unrecognized with ReportUnrecognized.
ScriptFileStatus LoadScriptFile(const std::filesystem::path& file, ScriptFileContent& content);

// One "Import Error" message for the unrecognised actions of one file:
// "Unrecognized script action: " and the action when one line was left out;
// otherwise the first few actions and the count of lines left out.
std::string UnrecognizedReport(const ScriptFileContent& content);
void ReportUnrecognized(UserInterface& ui, const ScriptFileContent& content);

struct ImportResult {
    bool ok = true;
    std::string error;
    int added = 0;
    bool cancelled = false; // stopped through the progress window: nothing added
};

// The work named in the progress window of an import and an export.
inline constexpr const char* kImportingStepsTitle = "Importing script items";
inline constexpr const char* kExportingStepsTitle = "Exporting script items";

// ImportScript: adds the steps of a script file to task (or template) `id`,
// after its existing steps, in one transaction. Unrecognised actions are
// reported through `ui` (one "Import Error") and skipped; a failed add shows
// "Error adding script item " with the error text (title "Error!") and adds
// none of the steps. A file that cannot be read is reported in the result only.
// Behind a progress window when one is given; a cancel adds none.
ImportResult ImportScript(DataSet& ds, const TableDef& table, std::int32_t id,
                          const std::filesystem::path& file, UserInterface* ui, Progress* progress = nullptr);

// ExportScript: writes the steps of task (or template) `id` to a script file. A
// failure shows "Error exporting script item " with the error text (title
// "Error!") and is returned. Behind a progress window when one is given; a
// cancel writes nothing (the old file stays) and gives "Cancelled".
ScriptFileStatus ExportScript(DataSet& ds, const TableDef& table, std::int32_t id,
                              const std::filesystem::path& file, UserInterface* ui,
                              Progress* progress = nullptr);

} // namespace qd
