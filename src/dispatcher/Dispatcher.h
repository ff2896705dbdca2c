// The resident one-second loop: finds the first enabled task whose moment has
// come and performs it, advances it to its next occurrence, keeps a history copy,
// gives advance warnings, removes old history once a day and watches the date.
//
// Everything the main window shows (title, status text, tray tip and icon,
// whether "Stop Active Scripts" is enabled) is state read after each tick.
#pragma once

#include "data/Clock.h"
#include "data/DataSet.h"
#include "data/EventLog.h"
#include "data/FileManager.h"
#include "data/Globals.h"
#include "perform/Frame.h"
#include "perform/ScriptHost.h"
#include "perform/TaskExecution.h"

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <tuple>

namespace qd {

class HolidayCalendar;
class TaskStore;

// What happened to a due task, for observers (qdctl run prints it).
struct PerformedTask {
    int id = 0;
    std::string description;
    Moment occurrence;    // the moment that was due
    bool skipped = false; // passed over by a skip test or a "No" answer
    std::string reason;   // the log label of the skip, or "Performed"
    bool completed = false;
    Moment next; // the next occurrence when not completed
};

class Dispatcher {
public:
    Dispatcher(DataSet& ds, const ProgramSettings& settings, Frame& frame, UserInterface& ui, EventLog& log,
               TaskExecution& execution, ScriptHost& scripts, const Clock& clock);
    ~Dispatcher();

    // The frame's opening: the start-up moment, and the date watch starts at today.
    void open();
    // One timer tick (once a second).
    void tick();

    // Jobs supplied by other parts: the daily history removal (returns whether it
    // ran) and the clipboard check.
    void setHistoryJob(std::function<bool(Date today)> job) { historyJob_ = std::move(job); }
    void setClipboardCheck(std::function<void()> check) { clipboardCheck_ = std::move(check); }
    void setObserver(std::function<void(const PerformedTask&)> observer) { observer_ = std::move(observer); }
    // The system lock's unlocked state (" (Unlocked)" in the title).
    void setUnlocked(bool unlocked) { unlocked_ = unlocked; }
    bool unlocked() const { return unlocked_; }

    // State shown by the frame.
    const std::string& title() const { return title_; }
    const std::string& statusText() const { return statusText_; }
    const std::string& trayTip() const { return trayTip_; }
    const std::string& trayIcon() const { return trayIcon_; }
    const std::string& frameIcon() const { return frameIcon_; }
    bool busy() const { return busy_; }
    bool stopScriptsEnabled() const { return busy_; }
    bool active() const { return settings_.StartUpActive; }
    int phase() const { return phase_; }
    Date lastCheckDate() const { return lastCheckDate_; }
    void setLastCheckDate(Date d) { lastCheckDate_ = d; }
    Moment startedAt() const { return startedAt_; }
    // The task last shown as the next task.
    const std::optional<ScheduleRecord>& nextTask() const { return nextTask_; }

    // The jobs, callable one by one (tests and the perform-now command use them).
    void checkAdvanceWarnings();
    bool removeHistory();
    void checkDueTask();
    void watchDateAndExitCodes();

private:
    void performDueTask(Table<ScheduleRecord>& sch);
    // Logs a store fault that kept a due task from being performed; shows
    // numbered message `message` once per run of faults.
    void storeFault(const std::string& what, int message, const StoreError& error);
    void log(const std::string& detail, const std::string& label) { log_.log(detail, label); }

    DataSet& ds_;
    const ProgramSettings& settings_;
    Frame& frame_;
    UserInterface& ui_;
    EventLog& log_;
    TaskExecution& exec_;
    ScriptHost& scripts_;
    const Clock& clock_;
    std::unique_ptr<Table<ScheduleRecord>> schedule_;
    std::unique_ptr<TaskStore> taskStore_;
    std::unique_ptr<HolidayCalendar> holidays_;

    std::function<bool(Date)> historyJob_;
    std::function<void()> clipboardCheck_;
    std::function<void(const PerformedTask&)> observer_;

    int phase_ = 0;
    int animation_ = 0;
    bool busy_ = false;
    bool wasBusy_ = false;
    bool busyToggle_ = false;
    bool unlocked_ = false;
    std::string title_;
    std::string statusText_ = "No tasks pending";
    std::string trayTip_;
    std::string trayIcon_ = "tray_ico";
    std::string frameIcon_;
    Moment startedAt_;
    Date lastCheckDate_ = 0;
    std::optional<ScheduleRecord> nextTask_;
    // Occurrences whose performing failed with an error: passed over by the due
    // check, so one broken task never holds up the others.
    std::set<std::tuple<int, Date, Time>> failed_;
    // A store fault of the due-task check was shown and no check has worked since.
    bool storeFaultShown_ = false;
};

} // namespace qd
