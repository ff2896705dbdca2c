// The resident program's engine assembled: settings, event log, program start,
// script engine on the X11 desktop, and the dispatcher. The Qt frame and
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
#include "dispatcher/Frame.h"
#include "dispatcher/ProcessLauncher.h"
#include "dispatcher/TaskExecution.h"

#include <memory>
#include <string>
#include <vector>

namespace qd {

class ScriptEngine;
class ScriptValues;
class HistoryRemover;
struct RuntimeDesktop;

struct RuntimeOptions {
    std::vector<std::string> commandLine; // "/I", "/CONFIG", "User=<name>"
    bool openDesktop = true;              // use the X11 display when there is one
};

class Runtime {
public:
    Runtime(DataSet& ds, UserInterface& ui, Frame& frame, const Clock& clock, RuntimeOptions options = {});
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
    ProcessLauncher& launcher() { return launcher_; }
    TaskExecution& execution() { return *execution_; }
    ScriptEngine& scripts() { return *scripts_; }
    ScriptValues& values() { return *values_; }
    Dispatcher& dispatcher() { return *dispatcher_; }
    // Whether keystrokes and windows reach a real display.
    bool desktopConnected() const;

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
    ProcessLauncher launcher_;
    std::unique_ptr<RuntimeDesktop> desktop_;
    std::unique_ptr<ScriptValues> values_;
    std::unique_ptr<TaskExecution> execution_;
    std::unique_ptr<ScriptEngine> scripts_;
    std::unique_ptr<HistoryRemover> history_;
    std::unique_ptr<Dispatcher> dispatcher_;
};

} // namespace qd
