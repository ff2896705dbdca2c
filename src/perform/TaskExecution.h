// Performing a task: its message (through the message program, a message box or
// a message window), its alarm, the snooze operations, the advance warning and
// the program start shared by the dispatcher, the scripts and the hot keys.
#pragma once

#include "data/Clock.h"
#include "data/DataSet.h"
#include "data/EventLog.h"
#include "data/Globals.h"
#include "data/Records.h"
#include "data/UserInterface.h"
#include "perform/Frame.h"
#include "perform/ScriptHost.h"
#include "platform/Process.h"

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace qd {

struct ProgramStartRequest {
    std::string command; // "N/A" (any case) starts nothing
    std::string folder;  // blank: the data folder
    std::string verb;    // shell verb; blank = "open"
    bool useVerb = false;
    ShowMode showMode = ShowMode::Normal;
    bool forceNormal = false;
    Priority priority = Priority::Normal;
    bool usePriority = false;
    bool wantHandle = false; // the caller waits for the process (StartOutcome::pid)
    int taskId = 0;          // when not 0, the task's script steps are queued after the start
};

struct StartOutcome {
    bool started = false; // a process was started (or "N/A": nothing to start)
    bool shownError = false;
    pid_t pid = 0;     // the started process, when a direct start gave one
    int errorCode = 0; // the shell's error code when the start failed
};

// A program started with exit-code logging on, until its exit is logged.
struct StartedProgram {
    pid_t pid = 0;
    std::string name; // the command's first 80 characters
};

// The repeat of a message window's alarm: every `interval` seconds, for at most
// `maxMinutes` minutes (0 = no limit) after the window opened.
class AlarmRepeat {
public:
    AlarmRepeat(Moment opened, int intervalSeconds, int maxMinutes);
    // Called on the window's timer: true when the alarm is to sound now.
    bool due(Moment now);
    bool finished() const { return next_ < 0; }

private:
    long long interval_;
    long long next_;
    long long stop_;
};

// "Message" log detail: the title followed by the alarm file.
std::string messageLogDetail(const std::string& title, const std::string& alarmFile);

class TaskExecution {
public:
    TaskExecution(DataSet& ds, const ProgramSettings& settings, Frame& frame, UserInterface& ui,
                  EventLog& log, Process& launcher, const Clock& clock);

    void setScriptHost(ScriptHost* host) { scripts_ = host; }
    // Expands bracketed names in message texts (plain copy until set).
    void setTranslator(std::function<std::string(const std::string&)> translate) {
        translate_ = std::move(translate);
    }
    // Puts a started program's windows into the requested state where the desktop allows it.
    void setShowModeHandler(std::function<void(pid_t, ShowMode)> handler) {
        applyShowMode_ = std::move(handler);
    }

    void soundAlarm(const ScheduleRecord& task);
    // `expandTokens` off: the texts were expanded already (a script's message).
    void showTaskMessage(const ScheduleRecord& task, bool expandTokens = true);
    void showAdvanceWarning(const ScheduleRecord& task, const std::string& text);
    StartOutcome startProgram(const ProgramStartRequest& request);
    // Alarm, message and program start of a task, as the task lists' "perform now" does.
    void performTaskNow(const ScheduleRecord& task);

    // New one-time tasks; they return the new task's ID, 0 when the insert failed.
    int snoozeMessage(const std::string& title, const std::string& text, const std::string& alarmFile);
    int snoozeTask(const ScheduleRecord& task, int minutes);

    // Hands a message to the separate message program through MsgLink; false
    // when the record could not be written or the program not started.
    bool handOverToMessageProgram(const std::string& title, const std::string& text,
                                  const std::string& alarmFile);

    std::vector<StartedProgram>& startedPrograms() { return started_; }
    Process& launcher() { return launcher_; }
    bool addingScripting() const { return addingScripting_; }

private:
    std::string expand(const std::string& text) const { return translate_ ? translate_(text) : text; }
    void log(const std::string& detail, const std::string& label);

    DataSet& ds_;
    const ProgramSettings& settings_;
    Frame& frame_;
    UserInterface& ui_;
    EventLog& log_;
    Process& launcher_;
    const Clock& clock_;
    ScriptHost* scripts_ = nullptr;
    std::function<std::string(const std::string&)> translate_;
    std::function<void(pid_t, ShowMode)> applyShowMode_;
    std::vector<StartedProgram> started_;
    std::atomic<bool> addingScripting_{false};
};

} // namespace qd
