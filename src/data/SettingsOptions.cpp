// The checks and the OK button of the options window ("Setup").
#include "data/Settings.h"

#include "data/EventLog.h"
#include "data/LockPassword.h"

namespace qd {

std::optional<Notice> optionsOpeningWarning(const CommandLineSwitches& commandLine) {
    if (!commandLine.inactive || commandLine.config) return std::nullopt;
    return Notice{"Warning",
                  "The task scheduler has been \"inactivated\" using the /I command line parameter."};
}

std::optional<Notice> checkLockPasswords(std::string_view password, std::string_view confirmation) {
    if (password == confirmation) return std::nullopt;
    return Notice{"Error", "The system lock passwords do not match."};
}

std::optional<Notice> dateFormatChangeNotice(std::string_view before, std::string_view after) {
    if (before == after) return std::nullopt;
    return Notice{
        "Information",
        "Date format changes will not affect currently open windows.  You can close and re-open windows, "
        "or exit and restart Quandrel to view information using the new date format."};
}

Notice skipIfDaysPassedNote() {
    return Notice{"Note",
                  "Tasks will be skipped if the system date is greater than the task date by the number of "
                  "days set here (default is 1).  Quandrel will optionally issue a warning (determined by "
                  "the \"Warn if not run on specified date\" checkbox in Update Schedule, Advanced "
                  "Settings)."};
}

Notice translateFilenamesNote() {
    return Notice{"Info",
                  "This applies to starting programs from within scripting.  When checked, values in "
                  "brackets such as [DATE] in the program name and its parameters are replaced by their "
                  "current values before the program is started."};
}

OptionsResult acceptOptions(SettingsStore& store, ProgramSettings& current, const ProgramSettings& edited,
                            std::string_view passwordConfirmation, UserInterface& ui, EventLog* log) {
    if (auto n = checkLockPasswords(edited.SysPwd, passwordConfirmation)) {
        ui.message(n->title, n->text, MessageIcon::Hand);
        return OptionsResult::StayOpen;
    }
    const std::string before = current.DateFormat;
    // A lock password typed anew is kept only as its hash.
    ProgramSettings accepted = edited;
    if (accepted.SysPwd != current.SysPwd && !isLockPasswordHash(accepted.SysPwd)) {
        bool hashed = false;
        accepted.SysPwd = hashLockPassword(edited.SysPwd, &hashed);
        if (!hashed) {
            ui.message("Error", "The system lock password could not be stored.", MessageIcon::Hand);
            return OptionsResult::StayOpen;
        }
    }
    // A failed write was shown; the program goes on with the values in memory.
    writeAllSettings(store, accepted);
    current = accepted;
    if (log) log->configure(eventLogConfig(current, store.dataSet().folder()));
    if (auto n = dateFormatChangeNotice(before, current.DateFormat))
        ui.message(n->title, n->text, MessageIcon::Information);
    return OptionsResult::Saved;
}

} // namespace qd
