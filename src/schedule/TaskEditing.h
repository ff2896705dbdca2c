// The rules of the task editor, without any window: the defaults of a new task,
// what each choice stores, the checks made as fields are accepted with their
// messages, what is filled in when a task is saved, and the save itself (new
// task, change, copy and special event) in one store transaction.
//
// The windows (src/schedule/ui) show the fields of `TaskEditor::task` and call
// these operations as the user edits; tests call the same operations.
#pragma once

#include "data/Calendar.h"
#include "data/Clock.h"
#include "data/DataSet.h"
#include "data/FileManager.h"
#include "data/Records.h"
#include "data/Settings.h"
#include "data/UserInterface.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace qd {

// Task types the editor offers, and the one it only shows.
inline constexpr const char* kTypeRunProgram = "Run Program";
inline constexpr const char* kTypeDisplayMessage = "Display Message";
inline constexpr const char* kTypeBoth = "Both";
inline constexpr const char* kTypeNone = "None";
inline constexpr const char* kTypeHotKey = "Hot Key";
// GLO:PrimeTaskType's word for a special event.
inline constexpr const char* kPrimeReschedule = "Reschedule";

// A reminder ("None") happens at 23:59:54.99.
inline constexpr Time kReminderTime = 8639500;
// A new task starts five minutes ahead.
inline constexpr Time kNewTaskLead = 30000;

inline constexpr const char* kScriptOnlyCommand = "N/A";
inline constexpr const char* kScriptOnlyTip =
    "TIP:  If you just want to use scripting, enter \"N/A\" as the command above.";

// The choices of the editor, as stored.
inline constexpr const char* kScheduleTypes[] = {"Once",    "Day of Week", "Day of Month",
                                                 "Monthly", "Yearly",      "Custom"};
inline constexpr const char* kMonthRepeats[] = {"Once", "Twice - 1st, 15th", "Twice - 15th, Last"};
inline constexpr const char* kEveryUnits[] = {"minute(s)", "hour(s)",  "day(s)",
                                              "week(s)",   "month(s)", "year(s)"};
inline constexpr const char* kShiftTypes[] = {"Skip", "Next day", "Previous day"};

// Messages of the checks.
inline constexpr const char* kWarningTitle = "Warning";
inline constexpr const char* kDateMismatchText = "Date given does not match schedule type.";
inline constexpr const char* kAdvanceAfterTaskText = "Advanced Warning cannot be after scheduled task.";
inline constexpr const char* kExpiryBeforeStartText =
    "End date and time must be after the start date and time.";
inline constexpr const char* kMissingTitle = "Missing Information";
inline constexpr const char* kOffsetTipsTitle = "Offset Tips";
inline constexpr const char* kOffsetTipsText =
    "\"Days to Offset\" allows you to shift the semi-monthly dates.  For example, if you have selected "
    "\"Twice - 1st, 15th\", an offset of \"3\" will make Quandrel run your task on the 4th and 18th of every "
    "month. If you have selected \"Twice - 15th, Last\", an offset of \"-1\" will make Quandrel run your "
    "task "
    "on the 14th and 2nd last day of every month.";
inline constexpr const char* kInternalErrorTitle = "Internal Error";
inline constexpr const char* kSpecialEventNote =
    "This wizard copies an existing task to create a special event.";

// The names of the required fields, as the "Missing Information" message names them.
inline constexpr const char* kPromptDate = "Next Date to Perform Task";
inline constexpr const char* kPromptTime = "Next Time to Perform Task";
inline constexpr const char* kPromptMessage = "Message to display";
inline constexpr const char* kPromptEvery = "Every";
inline constexpr const char* kPromptAlarmFile = "Alarm File";

// "@PROMPT must be entered." for a field.
std::string mustBeEntered(std::string_view prompt);

// True for the task types whose task shows a message ("Display Message", "Both", "None").
bool showsMessage(std::string_view taskType);
// True for the task types whose task starts a program ("Run Program", "Both").
bool startsProgram(std::string_view taskType);

// --- defaults -----------------------------------------------------------------

// What the lists hand to the editor for a new task.
struct NewTaskRequest {
    std::string primeTaskType; // GLO:PrimeTaskType: a task type, or blank
    Date dateToUse = 0;        // GLO:DateToUse: the day picked in a list, 0 for today
};

// A new task: the primed type (else "Both"), the picked day (else today) at five
// minutes from now (carried into the next day after 23:55), Monday to Friday,
// EveryLast, Warn, every 1 hour(s), the category given, and enabled.
// `category` is the remembered "QDCAT" value for the type, or the first
// category when that is blank (see TaskEditor::openNew).
ScheduleRecord newTaskDefaults(const NewTaskRequest& request, const Clock& clock,
                               const std::string& category);

// A new task of the script wizard: today now, every day of the week, "Run
// Program" with the command "N/A", every 1 hour(s), category "General".
ScheduleRecord scriptTaskDefaults(const Clock& clock);
// The script wizard opened from the hot key editor: as above, with the category
// "Hot Key" and the description "Hot Key " + the hot key's name.
ScheduleRecord hotKeyScriptDefaults(const Clock& clock, const std::string& hotKeyName);

// The window a primed type opens: "Start Program Wizard" with the page "Program
// Task Basics..." for "Run Program", "Display Message Wizard" with "Message Task
// Basics..." for "Display Message"; nullopt for the tabbed form.
struct WizardTitles {
    std::string window;
    std::string firstPage;
};
std::optional<WizardTitles> wizardFor(std::string_view primeTaskType);

// --- rules while editing ------------------------------------------------------

// Sets the task type; "None" also sets the time to 23:59:54.99.
void setTaskType(ScheduleRecord& task, std::string_view type);
// The message was accepted: a blank description becomes its first 40 characters.
void messageAccepted(ScheduleRecord& task);
// The command was accepted: a blank description becomes "Program: " + command.
void commandAccepted(ScheduleRecord& task);
// The count or units of "Every..." were accepted: a count above 0 in hours ticks No History.
void everyAccepted(ScheduleRecord& task);
// A blank month repeat becomes "Once".
void monthRepeatAccepted(ScheduleRecord& task);
// "Days to Offset" is used only by the twice-monthly choices.
bool offsetEnabled(std::string_view monthRepeat);
// The weekday and ordinal boxes are off while "Month End" is ticked.
bool ordinalBoxesEnabled(const ScheduleRecord& task);

// The start date was accepted. A date that the rule cannot fall on shows the
// "Date given does not match schedule type." warning (not for a special event;
// the date stays). Then, with advance warnings active by default, the warning
// is set that far ahead of the task and marked not given.
void startDateAccepted(ScheduleRecord& task, bool specialEvent, const AdvanceWarningDefaults& warning,
                       UserInterface& ui);
// The advance warning date or time was accepted: a warning after the task is
// cleared with its message. False when it was cleared.
bool advanceWarningAccepted(ScheduleRecord& task, UserInterface& ui);
// The expiry date or time was accepted: an end before the start is cleared with
// its message. False when it was cleared.
bool expiryAccepted(ScheduleRecord& task, UserInterface& ui);

// The first required field that is blank, by its name; nullopt when all are
// there. `withTime` is false where the time is not asked for ("None" sets it).
std::optional<std::string> missingField(const ScheduleRecord& task);
// The check made when the form is completed: shows "Missing Information" for
// the first blank required field. True when all are there.
bool checkRequiredFields(const ScheduleRecord& task, UserInterface& ui);

// --- what the save fills in -----------------------------------------------------

struct SaveStamp {
    std::string networkUser; // UserID
    Moment now;
    std::string dateFormat; // the user's date picture, for "Script: " + today
};
// Steps 1 to 4 of a save: "N/A" for a blank command of a program task, the
// description by type when blank (cut to 40 characters), "General" for a blank
// category, the network user, the change moment and the original ID.
void fillOnSave(ScheduleRecord& task, const SaveStamp& stamp);

// The one-line rule description and the next occurrences of a task as the
// editor previews them: the pending occurrence when the rule can fall on its
// date, then each following one, at most `count`, stopping when the series
// ends. Computed on a copy; nothing is shown or written.
std::vector<Moment> upcomingOccurrences(const ScheduleRecord& task, int count);

// --- users of a task --------------------------------------------------------------

// A user row for a task, its schedule state copied from the task.
QDUSDRecord userRowFor(const ScheduleRecord& task, const std::string& user);

// --- the editor's session over the store ----------------------------------------------

enum class EditMode {
    Insert,     // a new task
    Change,     // an existing task
    Copy,       // a new task filled from another ("Cop&y")
    Reschedule, // a special event: a one-time copy of another task
};

enum class SaveResult {
    Saved,
    Refused,        // a check failed and was shown; nothing was written; the form stays open
    ChangedByOther, // another process changed the task since it was read: the message was
                    // shown, nothing was written and the stored task was read again
    Failed,         // the store failed (shown); nothing was written
};

struct EditorEnvironment {
    const Clock& clock;
    UserInterface& ui;
    std::string userId;     // UserID, stored as SCH:NetworkUser
    std::string user;       // GLO:User, the owner of a new task in multi-user data
    std::string dateFormat; // the user's date picture
};

class TaskEditor {
public:
    TaskEditor(DataSet& ds, EditorEnvironment env);
    ~TaskEditor();
    TaskEditor(const TaskEditor&) = delete;
    TaskEditor& operator=(const TaskEditor&) = delete;

    // A new task with its defaults; the category remembered for its type.
    void openNew(const NewTaskRequest& request);
    // A new task of the script wizard; "General" is added to the categories
    // when missing.
    void openScriptTask();
    // A new script task for a hot key (the hot key editor's script wizard).
    void openHotKeyScript(const std::string& hotKeyName);
    // The task with this ID, to change; false (with a message) when it is gone.
    bool openChange(std::int32_t id);
    // A copy of the task with this ID (GLO:SCH:ID), or a special event of it.
    bool openCopy(std::int32_t sourceId);
    bool openReschedule(std::int32_t sourceId);

    // The data folder: the program's INI file and relative alarm files are there.
    const std::filesystem::path& dataFolder() const { return ds_.folder(); }
    DataSet& dataSet() const { return ds_; }
    const Clock& clock() const { return env_.clock; }

    EditMode mode() const { return mode_; }
    bool specialEvent() const { return mode_ == EditMode::Reschedule; }
    std::int32_t sourceId() const { return sourceId_; }

    // The buffer the window edits.
    ScheduleRecord task;
    // Special event: "&Skip next regular occurance of this task".
    bool skipSourceNextTime = false;

    // The categories in key order.
    std::vector<std::string> categories();
    // Every user in Users, in key order.
    std::vector<std::string> allUsers();
    // The alarm file chosen last ("LastWAVFile"); a ticked alarm without a file
    // starts with it.
    std::string rememberedWavFile();

    // The task's user rows as they will be saved.
    const std::vector<QDUSDRecord>& userRows() const { return rows_; }
    // ">>", ">", "<", "<<": rows are written when the task is saved.
    void addAllUsers();
    bool addUser(const std::string& user);
    void removeUser(const std::string& user);
    void removeAllUsers();
    // A row edited in "UpdateQDUSD"; false when there is no row of that user.
    bool changeUserRow(const QDUSDRecord& row);
    // "Cascade task schedule &changes to:" "All", "Selected" or "None": where a
    // changed date, time or state of the task is copied when it is saved.
    enum class Cascade { All, Selected, None };
    Cascade cascade = Cascade::All;
    std::string selectedUser; // for Cascade::Selected

    // Checks the required fields, fills in what a save fills in, applies the
    // exceptions and writes the task with everything that goes with it (user
    // rows, copied script steps, the source's skip flag) in one transaction.
    SaveResult save();
    // The ID of the task saved (0 before).
    std::int32_t savedId() const { return savedId_; }

private:
    void stampUser();
    std::string rememberedCategory(const std::string& taskType);
    void loadUserRows(std::int32_t id);
    bool writeUserRows(std::int32_t id, const ScheduleRecord& before);
    bool rememberChoices();
    bool ensureCategory(const std::string& name);
    bool setSourceSkip();
    SaveResult saveNew();
    SaveResult saveChange();

    DataSet& ds_;
    EditorEnvironment env_;
    EditMode mode_ = EditMode::Insert;
    std::int32_t sourceId_ = 0;
    std::unique_ptr<Table<ScheduleRecord>> table_; // holds the record read, for the change check
    ScheduleRecord read_{};                        // the task as read (change)
    std::vector<QDUSDRecord> rows_;
    std::vector<QDUSDRecord> readRows_;
    std::vector<QDUSDRecord> written_; // the rows of the save under way
    std::set<std::string> edited_;     // users whose row was edited since the last save (lower case)
    std::int32_t savedId_ = 0;
};

} // namespace qd
