// The resident program's engine assembled on a begun Startup (data set, settings,
// event log, clock): program start, script engine on the desktop the program chose,
// and the dispatcher. The Qt frame and qdctl's headless runner both drive it the same
// way: open(), then tick() once a second, then close().
#pragma once

#include "data/Clock.h"
#include "data/DataFolderLock.h"
#include "data/DataSet.h"
#include "data/EventLog.h"
#include "data/Globals.h"
#include "data/Startup.h"
#include "data/UserInterface.h"
#include "dispatcher/Dispatcher.h"
#include "mail/Mailer.h"
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
    // Ticks come once a wall-clock second: the dispatcher's jobs follow the
    // clock's second (the due-task check on whole minutes).
    bool realTime = false;
};

class Runtime {
public:
    // `startup` has begun (its data set exists); `desktop` and `process` are the
    // program's choice (X11 or null desktop, POSIX processes). All must outlive the
    // runtime.
    Runtime(Startup& startup, Frame& frame, Desktop& desktop, Process& process, RuntimeOptions options = {});
    ~Runtime();
    Runtime(const Runtime&) = delete;
    Runtime& operator=(const Runtime&) = delete;

    // The frame's opening: takes the data folder's lock (shared with other
    // schedulers) until the runtime goes, opens the frame's tables with the
    // "Version" row, loads the settings (applying the command line and fixing the
    // current user), configures the event log, logs "Debugging Active" in debug
    // mode and "Started" with the frame title. False, with the reason shown, while
    // a restore or re-key has the folder or a table cannot be opened; then nothing
    // is performed.
    bool open();
    // One second of the program.
    void tick();
    // Logs "Exit Quandrel" and closes the log.
    void close();

    ProgramSettings& settings() { return startup_.settings(); }
    EventLog& log() { return startup_.log(); }
    Process& launcher() { return process_; }
    TaskExecution& execution() { return *execution_; }
    ScriptEngine& scripts() { return *scripts_; }
    ScriptValues& values() { return *values_; }
    // The window search of the script steps (also what the step editor's pickers use).
    WindowTargeting& windows() { return *windows_; }
    Dispatcher& dispatcher() { return *dispatcher_; }
    // The keystroke sender of the scripts (the hot keys' typing shares it).
    KeystrokeSender& keys() { return *keys_; }
    // Whether keystrokes and windows reach a real display.
    bool desktopConnected() const { return desktop_.connected(); }

    // Passes the settings to the parts that keep their own copy (the values, the
    // keystroke sender, the window search, the script engine); after Setup's OK.
    void applySettings();

    // A mailer on the current settings, its texts translated with the script values.
    Mailer makeMailer();
    // Where the SMTP login password comes from (the desktop keyring).
    void setMailPassword(std::function<std::string()> password) { mailPassword_ = std::move(password); }
    // Trusted certificates for STARTTLS instead of the system's (tests, private servers).
    void setMailCaFile(std::string file) { mailCaFile_ = std::move(file); }

private:
    DataFolderLock folderLock_;
    bool opened_ = false;

    Startup& startup_;
    DataSet& ds_;
    UserInterface& ui_;
    Frame& frame_;
    const Clock& clock_;
    RuntimeOptions options_;
    ProgramSettings& settings_;
    EventLog& log_;
    Desktop& desktop_;
    Process& process_;
    std::unique_ptr<KeystrokeSender> keys_;
    std::unique_ptr<WindowTargeting> windows_;
    std::unique_ptr<ScriptValues> values_;
    std::unique_ptr<TaskExecution> execution_;
    std::unique_ptr<ScriptEngine> scripts_;
    std::unique_ptr<HistoryRemover> history_;
    std::unique_ptr<Dispatcher> dispatcher_;
    std::function<std::string()> mailPassword_;
    std::string mailCaFile_;
};

} // namespace qd
