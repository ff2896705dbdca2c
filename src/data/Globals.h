// The program-wide variables that hold the user's settings, the current user and
// the switches of the command line.
//
// One `ProgramSettings` instance, owned by the run's Startup, serves the program. Its
// members carry the names of the settings keys ("CM:OnTop" becomes CM_OnTop) and
// hold the values as the program uses them: inverted keys already turned around,
// ScriptingDelay raised to its minimum, a BurstSize of 0 replaced by 7. The frame
// fills it once at start-up (loadAllSettings in Settings.h) and the options window
// replaces it when it is closed with OK; both run on the main thread. Code on other
// threads takes a copy when it starts its work.
#pragma once

#include "data/IniFile.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qd {

// The switches of the program's command line.
struct CommandLineSwitches {
    bool inactive = false;           // "/I": the dispatcher is inactive for this run
    bool config = false;             // "/CONFIG": with "/I", the options window does not warn
    std::optional<std::string> user; // "User=<name>": the current user instead of the login name

    // Reads the arguments (without the program name). Switches compare without
    // regard to case; each is one argument, so "User=Ann" names Ann and a name
    // that starts with "/I" is not taken for the switch.
    static CommandLineSwitches parse(const std::vector<std::string>& args);
};

struct ProgramSettings {
    // Read from the Configuration table, in this order.
    bool SysLock = false;
    std::string SysPwd;
    bool LogExitCodes = false;
    std::int32_t SkipIfDaysPassed = 0; // 0 behaves as 1 where it is used
    std::int32_t HistoryExpires = 0;   // days; 0 never, -1 at the next daily pass
    bool RemoveUncompleted = false;
    bool StartUpSchedule = true;
    bool StartUpToDo = false;
    bool StartUpClipboardSaver = false;
    bool StartUpContacts = false;
    bool StartUpActive = true; // forced off for the run by "/I"
    bool NewProc16 = false;
    bool ActiveOnly = false;
    bool MinimizeOnCloseRequest = false;
    bool StartUpMinimized = false;
    bool FullSchedule = false;
    bool NoTray = false;
    bool RIFO = false;
    bool MonitorClipboard = false;
    bool UseQDMsg = true;
    bool UseModalMessage = false;
    std::int32_t RepeatAlarmInterval = 0; // seconds; 0 = do not repeat
    std::int32_t SnoozeInterval = 0;      // minutes; 0 = 10 minutes
    std::int32_t MaxAlarmTime = 0;        // minutes; 0 = no limit
    bool LogEvents = false;
    bool ExclHidden = false;
    bool SaveScripts = false;
    bool TranslateFilenames = false;
    bool MaximizeOnRun = false;
    std::int32_t ScriptingDelay = 10; // hundredths of a second, at least 10
    std::int32_t BurstSize = 7;       // characters per send group, 1-255
    std::string DateFormat = "d3";    // picture code without "@", see dateFormatChoices()
    bool UseWinMessage = false;
    std::string Sender;
    std::string SenderName;
    std::string Host;
    std::string Org;
    std::string NSender;
    std::string NSenderName;
    std::string NHost;
    std::string NOrg;
    // The SMTP server's login name (blank: no login) and how the connection is
    // secured: blank for STARTTLS when the server offers it, "Require" or "Off".
    std::string MailUser;
    std::string MailSecurity;
    // The certificates STARTTLS trusts instead of the system's: a PEM file, or
    // a folder in OpenSSL's hashed layout (blank: the system's store).
    std::string MailCAFile;
    std::string CM_Mode = "Normal";
    bool CM_OnTop = true;
    bool CM_UseEx = false;
    bool AltFmt = false;
    bool MultiUser = false;
    std::string UserID;
    std::int32_t MaxClipboardEntries = 50; // 0 or less = no limit

    // Key "Debug" of section "Settings" in qd98.INI (never in the table).
    bool Debug = false;

    // The current user. UserID above is the user's identification (the login
    // name in multi-user mode), UserName the logged-on user in multi-user mode
    // (blank otherwise), User (GLO:User) the user the per-user rows belong to.
    std::string UserName;
    std::string User;

    std::string ININame = kProgramIniName; // the program's settings file
    CommandLineSwitches CommandLine;
};

} // namespace qd
