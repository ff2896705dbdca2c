// The user's settings: named text values in the Configuration table, with the
// program's INI file as the place an older installation kept them.
//
// Each setting is one Configuration row: CF:DataType is the key, CF:DataValue the
// value as text (numbers and flags as decimal text). A key missing from the table
// is looked up once in section "Settings" of its legacy file ("qd98.INI" in the
// data folder; the system INI file, which this platform does not have, for the
// keys marked so) with the key's default; a value that is not blank is then copied
// into the table, so the INI file is not consulted for that key again.
//
// Stored texts are read leniently: text that is not a number where a number is
// expected gives the key's default, and a blank text reads as 0. Inverted keys
// (StartUpSchedule, StartUpActive) store 1 minus the setting, so that a missing
// key turns the option on.
//
// "Debug" (section "Settings") and the advance-warning defaults (section
// "Warning") live in "qd98.INI" only and never in the table.
#pragma once

#include "data/DataSet.h"
#include "data/FileManager.h"
#include "data/Globals.h"
#include "data/IniFile.h"
#include "data/Records.h"
#include "data/UserInterface.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace qd {

class EventLog;
struct EventLogConfig;

enum class SettingKind {
    Flag,   // on when the stored text reads as a non-zero number (1 minus it, for inverted keys)
    Number, // LONG (BYTE for BurstSize)
    Text,   // STRING(width)
};

// Where a key missing from the table is looked up.
enum class LegacyIni {
    None,    // nowhere: the default
    Program, // section "Settings" of "qd98.INI"
    System,  // the system INI file: none on this platform, so the default
};

// Where a setting lives.
enum class SettingHome {
    Table,      // a Configuration row (with the legacy fallback)
    ProgramIni, // section "Settings" of "qd98.INI" only
};

// Adjustments made to a number as it is loaded.
enum class SettingAdjust {
    None,
    AtLeast10,  // ScriptingDelay: raised to at least 10
    ZeroMeans7, // BurstSize: 0 (or anything outside 1-255) means 7, more than 255 is 255
};

using SettingMember = std::variant<std::monostate, bool ProgramSettings::*, std::int32_t ProgramSettings::*,
                                   std::string ProgramSettings::*>;

struct SettingDef {
    std::string_view key;
    SettingKind kind;
    int width;                    // Text: the most characters it holds; 0 otherwise
    std::string_view defaultText; // what a missing key reads as (before inversion)
    LegacyIni legacy;
    bool inverted;
    SettingAdjust adjust;
    SettingHome home;
    SettingMember member; // the program-wide variable; monostate for "Version"
    std::string_view prompt;
    bool secret = false; // stored as a hash and never shown (the lock password)
};

// Every setting, in the order they are loaded, followed by "Version" (written by
// the program at every start) and "Debug" (qd98.INI only).
std::span<const SettingDef> settingDefs();
// The setting of that key (compared without regard to case); nullptr when unknown.
const SettingDef* findSettingDef(std::string_view key);

// Where a value came from.
enum class SettingSource { Table, LegacyIni, Default };
// "table", "qd98.INI", "default".
std::string_view sourceName(SettingSource source);

struct SettingRead {
    std::string value;
    SettingSource source = SettingSource::Default;
    bool ok = true;    // false: the store failed (read showed the message)
    std::string error; // the store's error text when not ok
};

// Stored text <-> the value the program uses.
// The flag, number or text a stored text stands for, with inversion and adjustments.
bool decodeFlag(const SettingDef& def, std::string_view stored);
std::int32_t decodeNumber(const SettingDef& def, std::string_view stored);
std::string decodeText(const SettingDef& def, std::string_view stored);
// The effective value as text: flags "1"/"0", numbers in decimal, texts as used.
std::string effectiveText(const SettingDef& def, std::string_view stored);
// The stored text for a value the user gives as the program uses it (flags as
// 0/1, on/off, yes/no or true/false; numbers as whole decimal numbers; texts up
// to their width; DateFormat one of the choices). nullopt with `error` when the
// value does not fit the setting.
std::optional<std::string> storedTextFor(const SettingDef& def, std::string_view effective,
                                         std::string& error);
// A whole number as stored ("42", " -1 ", "7.9" reads as 7; blank reads as 0);
// nullopt for text that is not a number or does not fit in 32 bits.
std::optional<std::int32_t> parseStoredNumber(std::string_view text);

// The program-wide variable of a setting <-> its stored text.
void assignSetting(ProgramSettings& settings, const SettingDef& def, std::string_view stored);
std::string storedTextOf(const ProgramSettings& settings, const SettingDef& def);

// Read and write of settings for one thread (it has its own record buffer).
// Messages go to the data set's user interface.
class SettingsStore {
public:
    explicit SettingsStore(DataSet& ds);

    DataSet& dataSet() const { return ds_; }

    // The read operation: the table's value; else the legacy file's value (or the
    // default), copied into the table when it is not blank. A store failure shows
    // "Error retrieving configuration information code <key> - <error>" (title
    // "Error!") and gives a blank value that is not ok.
    SettingRead read(std::string_view key, std::string_view defaultText, LegacyIni legacy);
    // The setting's stored text read the same way ("Debug" from qd98.INI).
    SettingRead read(const SettingDef& def);
    // Like read, but changes nothing: no copy into the table, no table created,
    // no message. When the table cannot be read, the value is the fallback's and
    // the result is not ok.
    SettingRead peek(std::string_view key, std::string_view defaultText, LegacyIni legacy);
    SettingRead peek(const SettingDef& def);

    // The write operation: stores the value as text, adding the row when missing.
    // A failure shows "Error writing configuration information.  Code <key> -
    // <error>" (title "Error!") and returns false.
    bool write(std::string_view key, std::string_view value);
    bool write(const SettingDef& def, std::string_view storedText);

private:
    enum class Lookup { Found, Missing, Failed };
    Lookup lookup(std::string_view key, bool mayCreate);
    void showError(const std::string& text);

    DataSet& ds_;
    Table<ConfigurationRecord> table_;
    bool openFailed_ = false;
    bool openErrorShown_ = false;
};

// What load-all needs besides the data set.
struct SettingsEnvironment {
    CommandLineSwitches commandLine;
    // The login name of the user running the program; blank when unknown.
    std::string networkUser;
};

// The login name of the user running this process ("" when there is none).
std::string networkUserName();

// Loads every setting into `settings` in order, with the adjustments; reads
// "Debug" from qd98.INI; applies "/I" (StartUpActive off for this run, the stored
// value is kept); fixes the current user and makes sure it has a row in Users.
void loadAllSettings(SettingsStore& store, ProgramSettings& settings, const SettingsEnvironment& env);
// Writes every setting that lives in the table (not "Version") from the variables.
// Returns false when a write failed (each failure was shown).
bool writeAllSettings(SettingsStore& store, const ProgramSettings& settings);

// The current user's row in Users: added with U_:SourcePath = the data folder when
// missing. A blank name adds nothing. Returns false when the row could not be added.
bool ensureUserExists(DataSet& ds, const std::string& user);

// The event log's configuration from the settings.
EventLogConfig eventLogConfig(const ProgramSettings& settings, const std::filesystem::path& dataFolder);

// The advance-warning defaults the task editor keeps in section "Warning" of
// qd98.INI (keys "Active", "DateWarning" in days, "TimeWarning" in time units).
struct AdvanceWarningDefaults {
    bool Active = false;
    std::int32_t DateWarning = 0;
    std::int32_t TimeWarning = 0;
};
AdvanceWarningDefaults readAdvanceWarningDefaults(const std::filesystem::path& dataFolder);
IniStatus writeAdvanceWarningDefaults(const std::filesystem::path& dataFolder,
                                      const AdvanceWarningDefaults& d);

// ---------------------------------------------------------------------------
// The options window ("Setup"): its checks and its OK button, so the window only
// shows fields and calls these.

struct Notice {
    std::string title;
    std::string text;
    bool operator==(const Notice&) const = default;
};

struct DateFormatChoice {
    std::string_view shown;   // "OCT 31,1959"
    std::string_view picture; // "d3"
};
// The date formats the user can choose, in the order the window lists them.
std::span<const DateFormatChoice> dateFormatChoices();
// The choice for a stored picture (without regard to case, "@" optional).
const DateFormatChoice* findDateFormatChoice(std::string_view picture);

// Shown when the window opens: the "/I" warning unless "/CONFIG" was given too.
std::optional<Notice> optionsOpeningWarning(const CommandLineSwitches& commandLine);
// "The system lock passwords do not match." when password and confirmation differ.
std::optional<Notice> checkLockPasswords(std::string_view password, std::string_view confirmation);
// The note shown after OK when the date format was changed.
std::optional<Notice> dateFormatChangeNotice(std::string_view before, std::string_view after);
// The notes behind the info buttons.
Notice skipIfDaysPassedNote();
Notice translateFilenamesNote();

enum class OptionsResult {
    Saved,    // the window closes
    StayOpen, // a check failed and was shown; nothing was written
};
// The OK button: checks the lock passwords, writes every setting from `edited`,
// makes `edited` the program's settings (`current`), shows the date-format note
// when it changed, and reconfigures `log` (when given) from the new settings.
OptionsResult acceptOptions(SettingsStore& store, ProgramSettings& current, const ProgramSettings& edited,
                            std::string_view passwordConfirmation, UserInterface& ui, EventLog* log);

} // namespace qd
