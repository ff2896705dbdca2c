// The step queue and its interpreter.
//
// Performing a task with a script copies its steps into one process-wide queue,
// each with a due moment; the dispatcher executes at most one step per tick: the
// head, once its moment has passed. Every script in the queue ends with an
// "**End**" entry.
#pragma once

#include "data/Clock.h"
#include "data/DataSet.h"
#include "data/EventLog.h"
#include "data/Records.h"
#include "data/Redact.h"
#include "data/UserInterface.h"
#include "perform/ScriptHost.h"
#include "script/ScriptFile.h"
#include "script/StepActions.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qd {

class KeystrokeSender;
class ScriptValues;
class TaskExecution;
class WindowTargeting;

inline constexpr std::string_view kEndMarker = action::EndOfScript;

struct QueueEntry {
    ScriptingRecord step;
    Date dueDate = 0;
    Time dueTime = 0;
    pid_t startHandle = 0; // the program the task started, or the step's own program
};

// What the interpreter uses of the rest of the program. Everything may be left
// empty in tests that do not reach it; a step that needs a missing service
// fails as that service would (see each member).
struct ScriptEnvironment {
    ScriptValues* values = nullptr;     // variables, translation, comparison
    KeystrokeSender* keys = nullptr;    // Send Keys
    WindowTargeting* windows = nullptr; // Set Focus, Wait, If Window..., Close Program
    TaskExecution* execution = nullptr; // Start Program, Display Message (task window)
    // File Actions: performs the step's operation.
    std::function<void(const ScriptingRecord& step)> fileAction;
    // Transfers: FTP/HTTP file actions become Start Program entries when queued,
    // and an entry that runs qdftp or httpget gets its password outside the
    // command line. Off: they are left as they are.
    bool transfers = true;
    // Reads a script file (its steps and the actions it left out); nullopt with
    // `error` set when it cannot.
    std::function<std::optional<ScriptFileContent>(const std::string& file, std::string& error)>
        readScriptFile;
    // Send Email: the mail result code of sending the stored message.
    std::function<int(int emailId)> sendEmail;
    // DDE: executes a command on a service/topic; failure is silent.
    std::function<void(const std::string& service, const std::string& topic, const std::string& command)> dde;
    // The program's own main window (Close Program without a pattern).
    unsigned long ownMainWindow = 0;
};

// One line of at most kDescriptionWidth characters describing a step.
inline constexpr std::size_t kDescriptionWidth = 128;
std::string StepDescription(const ScriptingRecord& step);

class ScriptEngine : public ScriptHost {
public:
    ScriptEngine(DataSet& ds, EventLog& log, UserInterface& ui, const Clock& clock, ScriptEnvironment env);

    // GLOBALDELAY (hundredths), DEBUGMODE, TRANSLATEFILENAMES, STARTUPACTIVE.
    int globalDelay = 10;
    bool debugMode = false;
    bool translateFilenames = false;
    // TEMPSCRIPTINGACTIVE: run queued steps although the dispatcher is inactive.
    bool tempScriptingActive = false;

    // ScriptHost
    int runningScripts() const override;
    bool startedByHand() const override { return tempScriptingActive; }
    void executeNextStep() override;
    void queueTaskScript(int taskId, pid_t startHandle) override;
    void stopAll() override { queue_.clear(); }

    // Queues steps held in memory as one script (a script run from a file or by
    // hand); returns the number of steps queued.
    int queueSteps(const std::vector<ScriptingRecord>& steps, pid_t startHandle = 0);
    // Adds one ready-made entry at the tail, due now.
    void appendEntry(const ScriptingRecord& step);

    const std::deque<QueueEntry>& queue() const { return queue_; }
    // The main window's status line for the head entry ("" when the queue is empty).
    std::string statusLine() const;
    // Called after each executed step (qdctl prints it).
    void setObserver(std::function<void(const QueueEntry&, const std::string& note)> observer) {
        observer_ = std::move(observer);
    }
    ScriptEnvironment& environment() { return env_; }

private:
    // Appends steps timed from the start moment; `runningReference` makes "If
    // Time Elapsed" refer to the running moment (scripts loaded by Start Script).
    Moment appendTimed(std::deque<QueueEntry>& into, const std::vector<ScriptingRecord>& steps, Moment start,
                       pid_t handle, bool runningReference, bool reportUnknown);
    Moment startMoment() const;
    void skipBlock(bool& keep);
    void execute(QueueEntry& head, bool& keep, std::string& note);
    void executeDisplayMessage(const ScriptingRecord& step, std::string& note);
    void executeCloseProgram(const QueueEntry& head, std::string& note);
    void executeSendKeys(const ScriptingRecord& step, std::string& note);
    // If Value..., If Window..., If Time Elapsed...: a false condition skips its block.
    void executeCondition(const ScriptingRecord& step, bool& keep, std::string& note);
    void executeWait(QueueEntry& head, bool& keep);
    void executeStartProgram(QueueEntry& head, bool& keep);
    void executeWaitForProgram(QueueEntry& head, bool& keep);
    void executeStartScript(QueueEntry& head, bool& keep);
    // Every line the engine logs goes out with the passwords of addresses masked.
    void log(const std::string& detail, const std::string& label) {
        log_.log(maskCredentials(detail), label);
    }
    void debug(const std::string& detail, const std::string& label) {
        if (debugMode) log(detail, label);
    }
    // What the log shows of a keystroke step's text: its length, or with the
    // debug switch on the text itself (it may hold a password).
    std::string keystrokesForLog(const ScriptingRecord& step) const;
    void setVariable(const std::string& name, const std::string& value);
    std::string translate(const std::string& text) const;

    DataSet& ds_;
    EventLog& log_;
    UserInterface& ui_;
    const Clock& clock_;
    ScriptEnvironment env_;
    std::deque<QueueEntry> queue_;
    std::function<void(const QueueEntry&, const std::string&)> observer_;
};

} // namespace qd
