// The resident program's engine assembled: settings, event log, program start,
// script engine on the desktop the program chose, and the dispatcher. The Qt frame and
// qdctl's headless runner both drive it the same way: open(), then tick() once a
// second, then close().
#pragma once

#include "data/Clock.h"
#include "data/DataFolderLock.h"
#include "data/DataSet.h"
#include "data/EventLog.h"
#include "data/Globals.h"
#include "data/UserInterface.h"
#include "dispatcher/Dispatcher.h"
#include "perform/Frame.h"
#include "perform/TaskExecution.h"
#include "platform/Desktop.h"
#include "platform/Process.h"

#include <memory>
#include <string>
#include <vector>

namespace qd {

class ScriptEngine;
class ScriptValues;
class HistoryRemover;
class KeystrokeSender;
class WindowTargeting;

struct RuntimeOptions {
    std::vector<std::string> commandLine; // "/I", "/CONFIG", "User=<name>"
};

class Runtime {
public:
    // `desktop` and `process` are the program's choice (X11 or null desktop,
    // POSIX processes) and must outlive the runtime.
    Runtime(DataSet& ds, UserInterface& ui, Frame& frame, const Clock& clock, Desktop& desktop,
            Process& process, RuntimeOptions options = {});
    ~Runtime();
    Runtime(const Runtime&) = delete;
    Runtime& operator=(const Runtime&) = delete;

    // The frame's opening after its tables: loads the settings (applying the
    // command line and fixing the current user), configures the event log, logs
    // "Debugging Active" in debug mode and "Started" with the frame title.
    // Holds the data folder's lock (shared with other schedulers) until the
    // runtime goes; false, with the reason shown, while a restore or re-key has
    // the folder, and then nothing is performed.
    bool open();
    // One second of the program.
    void tick();
    // Logs "Exit Quandrel" and closes the log.
    void close();

    ProgramSettings& settings() { return settings_; }
    EventLog& log() { return log_; }
    Process& launcher() { return process_; }
    TaskExecution& execution() { return *execution_; }
    ScriptEngine& scripts() { return *scripts_; }
    ScriptValues& values() { return *values_; }
    Dispatcher& dispatcher() { return *dispatcher_; }
    // Whether keystrokes and windows reach a real display.
    bool desktopConnected() const { return desktop_.connected(); }

private:
    void applySettings();
    DataFolderLock folderLock_;
    bool opened_ = false;

    DataSet& ds_;
    UserInterface& ui_;
    Frame& frame_;
    const Clock& clock_;
    RuntimeOptions options_;
    ProgramSettings settings_;
    EventLog log_;
    Desktop& desktop_;
    Process& process_;
    std::unique_ptr<KeystrokeSender> keys_;
    std::unique_ptr<WindowTargeting> windows_;
    std::unique_ptr<ScriptValues> values_;
    std::unique_ptr<TaskExecution> execution_;
    std::unique_ptr<ScriptEngine> scripts_;
    std::unique_ptr<HistoryRemover> history_;
    std::unique_ptr<Dispatcher> dispatcher_;
};

} // namespace qd
