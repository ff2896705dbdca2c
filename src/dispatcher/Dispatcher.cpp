#include "dispatcher/Dispatcher.h"

#include "dispatcher/OccurrenceClaim.h"

#include "data/Pictures.h"
#include "data/RelationManager.h"
#include "data/Startup.h"
#include "data/Text.h"
#include "schedule/Exceptions.h"
#include "schedule/Recurrence.h"
#include "schedule/ScheduleTables.h"

#include <algorithm>

namespace qd {
namespace {

constexpr int kDueTaskReadLimit = 1000;
constexpr int kWarningReadLimit = 10000;
constexpr long long kOverdueMargin = 60000; // ten minutes

// A moment as one number, with times above a day carried into the date and
// times of 0 or less borrowing from it.
long long absolute(Date d, Time t) {
    return static_cast<long long>(d) * kTimeDay + t;
}

} // namespace

Dispatcher::Dispatcher(DataSet& ds, const ProgramSettings& settings, Frame& frame, UserInterface& ui,
                       EventLog& log, TaskExecution& execution, ScriptHost& scripts, const Clock& clock)
    : ds_(ds), settings_(settings), frame_(frame), ui_(ui), log_(log), exec_(execution), scripts_(scripts),
      clock_(clock), taskStore_(std::make_unique<TableTaskStore>(ds)),
      holidays_(std::make_unique<TableHolidayStore>(ds)), title_(kProductName) {
    trayTip_ = kProductName;
}

Dispatcher::~Dispatcher() = default;

void Dispatcher::open() {
    startedAt_ = clock_.now();
    lastCheckDate_ = startedAt_.date;
}

int Dispatcher::phaseAt(const Moment& now) {
    const int second = (now.time > 0 ? now.time - 1 : 0) / kTimeSecond;
    // Second 0 of every minute (and every fourth second) is phase 3.
    return (second + 2) % 4 + 1;
}

void Dispatcher::tick() {
    // Collect the exit codes of ended programs, so none stays a zombie.
    exec_.launcher().reap();
    animation_ = animation_ % 7 + 1;
    wasBusy_ = busy_;
    busy_ = false;
    if (settings_.MonitorClipboard && !settings_.CM_UseEx && clipboardCheck_) clipboardCheck_();
    phase_ = phaseFollowsClock_ ? phaseAt(clock_.now()) : phase_ % 4 + 1;
    title_ = kProductName;
    if (settings_.StartUpActive) {
        frameIcon_.clear();
        if (frame_.isMinimized()) unlocked_ = false;
        if (unlocked_) title_ += " (Unlocked)";
        switch (phase_) {
        case 1:
            checkAdvanceWarnings();
            break;
        case 2:
            if (removeHistory()) frame_.refreshTaskLists();
            break;
        case 3:
            checkDueTask();
            break;
        case 4:
            watchDateAndExitCodes();
            break;
        default:
            break;
        }
    } else {
        title_ += " (Inactive)";
        frameIcon_ = "~blank.ico";
    }
    busy_ = scripts_.runningScripts() > 0 && (settings_.StartUpActive || scripts_.startedByHand());
    if (busy_) scripts_.executeNextStep();
    if (!busy_) {
        trayIcon_ = "tray_ico";
    } else {
        busyToggle_ = !busyToggle_;
        trayIcon_ = busyToggle_ ? "traybusy_ico" : "traybus2_ico";
    }
    const Moment now = clock_.now();
    const Time two = timeFromHMS(2, 0, 0);
    const Time three = timeFromHMS(3, 0, 0);
    const Time fourteen = timeFromHMS(14, 0, 0);
    const Time fifteen = timeFromHMS(15, 0, 0);
    if (now.date == lastCheckDate_ + 1 &&
        ((now.time > two && now.time < three) || (now.time > fourteen && now.time < fifteen)))
        lastCheckDate_ = now.date;
}

bool Dispatcher::removeHistory() {
    return historyJob_ ? historyJob_(clock_.today()) : false;
}

void Dispatcher::checkDueTask() {
    // The table stays open between checks, with its statements prepared once.
    if (!schedule_) schedule_ = std::make_unique<Table<ScheduleRecord>>(ds_, tables::Schedule());
    Table<ScheduleRecord>& sch = *schedule_;
    if (!sch.opened() && sch.open() != Level::Benign) return;
    static const int kKeyDateEnabled = tables::Schedule().findKey("SCH:KeyDateEnabled");
    sch.setOrder(kKeyDateEnabled);
    bool found = false;
    for (int read = 0; read < kDueTaskReadLimit; ++read) {
        if (sch.tryNext() != Level::Benign) {
            if (sch.lastError().code == kStoreDone) break;
            storeFault("The due tasks could not be read", 1, sch.lastError());
            return;
        }
        if (sch.rec.Disabled) break;
        if (sch.rec.Date == 0 && sch.rec.Time == 0) continue;
        if (failed_.count({sch.rec.ID, sch.rec.Date, sch.rec.Time})) continue;
        found = true;
        break;
    }
    if (!found) {
        storeFaultShown_ = false; // the check worked and has nothing to write
        statusText_ = "No tasks pending";
        trayTip_ = kProductName;
        return;
    }
    if (sch.rec.Time > kTimeDay) {
        while (sch.rec.Time > kTimeDay) {
            sch.rec.Time -= kTimeDay;
            sch.rec.Date += 1;
        }
        // Saved, the record moves in the key: look again at the next check.
        if (sch.tryUpdate() == Level::Benign) return;
    }
    statusText_ = "Next: " + fitText(sch.rec.Description, FieldType::String, 40);
    trayTip_ = std::string(kProductName) + " - " + sch.rec.Description + " " +
               formatUserDate(sch.rec.Date, settings_.DateFormat) + " " + formatTime(sch.rec.Time, "@t7");
    nextTask_ = sch.rec;
    const Moment now = clock_.now();
    if (absolute(now.date, now.time) >= absolute(sch.rec.Date, sch.rec.Time)) {
        const ScheduleRecord due = sch.rec;
        try {
            performDueTask(sch);
        } catch (const std::exception& e) {
            failed_.insert({due.ID, due.Date, due.Time});
            log(text::trimmed(due.Description) + ": " + e.what(), "Task Failed");
        }
        frame_.refreshTaskLists();
    } else {
        storeFaultShown_ = false; // the check worked; the next task is not due yet
    }
}

void Dispatcher::storeFault(const std::string& what, int message, const StoreError& error) {
    // Every failure is logged; the message is shown once for a run of failures
    // (until a check works again), so a store that keeps failing does not raise
    // one every second.
    log(what + ": " + error.text, "Task not performed");
    if (storeFaultShown_) return;
    storeFaultShown_ = true;
    ErrorContext ctx;
    ctx.file = tables::Schedule().label;
    ctx.errorCode = error.code;
    ctx.errorText = error.text;
    ds_.errors().throwMessage(message, ctx);
}

void Dispatcher::performDueTask(Table<ScheduleRecord>& sch) {
    const ScheduleRecord& task = sch.rec;
    const Moment now = clock_.now();
    const Date today = now.date;
    PerformedTask report;
    report.id = task.ID;
    report.description = task.Description;
    report.occurrence = {task.Date, task.Time};
    report.reason = "Performed";

    const std::string type = text::trimmed(task.TaskType);
    const std::string desc = text::trimmed(task.Description);
    const bool passedOver = task.SkipNextTime != 0;

    // The skip tests that need no answer are decided on the task as read; the
    // questions are asked after the claim, so that an open question never lets
    // another dispatcher take the same occurrence.
    std::string autoSkip;
    enum class Question { None, Missed, Confirm } question = Question::None;
    if (!passedOver) {
        if (absolute(now.date, now.time) - absolute(task.Date, task.Time) > kOverdueMargin &&
            task.SkipIfMissed) {
            autoSkip = "Overdue task skipped";
        } else if (task.SkipIfScriptActive && scripts_.runningScripts() > 0) {
            autoSkip = "Task skipped during script";
        } else {
            bool missed = false;
            if (task.Warn && type != "Display Message") {
                const int n = settings_.SkipIfDaysPassed;
                missed = n > 0 ? absolute(now.date, now.time) > absolute(task.Date + n, task.Time)
                               : task.Date + 1 < today;
            }
            if (missed)
                question = Question::Missed;
            else if (task.UserSkip)
                question = Question::Confirm;
        }
    }

    ClaimRequest request;
    request.now = now;
    request.skipped = !autoSkip.empty();
    request.saveScripts = settings_.SaveScripts;
    const OccurrenceClaim claim = claimOccurrence(sch, *taskStore_, *holidays_, ui_, request);
    if (claim.status == ClaimStatus::Refused) return; // another dispatcher has this occurrence
    if (claim.status == ClaimStatus::Failed) {
        // Nothing was written: the task stays due and is tried again on the next check.
        storeFault(desc, claim.message != 0 ? claim.message : 25, claim.error);
        return;
    }
    storeFaultShown_ = false;
    const ScheduleRecord& performed = claim.performed;
    const int id = performed.ID;

    if (passedOver) {
        report.skipped = true;
        report.reason = "Skip next occurrence";
    } else {
        const bool showsMessage = type == "Display Message" || type == "Both";
        if ((showsMessage && !settings_.UseQDMsg && settings_.UseModalMessage) || settings_.MaximizeOnRun)
            frame_.bringToFront();
        exec_.soundAlarm(performed);
        auto skip = [&](const std::string& label) {
            log(desc, label);
            report.skipped = true;
            report.reason = label;
        };
        if (!autoSkip.empty()) {
            skip(autoSkip);
        } else if (question != Question::None) {
            frame_.bringToFront();
            const bool yes = question == Question::Missed
                                 ? ui_.ask("Missed Task", desc + " was not run.  Run it now?")
                                 : ui_.ask("Confirm Task", desc + " is due to run.  Run it now?");
            if (!yes) {
                skip(question == Question::Missed ? "Missed task skipped" : "Task skipped");
                markHistorySkipped(ds_, claim.historyId);
            }
        }
        if (!report.skipped) {
            if (showsMessage) exec_.showTaskMessage(performed);
            if (type == "Run Program" || type == "Both") {
                ProgramStartRequest r;
                r.command = performed.Command;
                r.folder = performed.Path;
                r.taskId = id;
                exec_.startProgram(r);
            }
        }
    }
    finishCompleted(sch, claim);
    report.completed = claim.completed;
    report.next = claim.next;
    if (observer_) observer_(report);
}

void Dispatcher::checkAdvanceWarnings() {
    Table<ScheduleRecord> sch(ds_, tables::Schedule());
    if (sch.open() != Level::Benign) return;
    const Moment now = clock_.now();
    sch.setOrder(sch.def().findKey("SCH:KeyAdvanced"));
    for (int read = 0; read < kWarningReadLimit; ++read) {
        if (sch.next() != Level::Benign || sch.rec.AdvanceWarned ||
            text::trimmed(sch.rec.ScheduleType).empty())
            break;
        const bool due = sch.rec.AdvanceWarnDate < now.date ||
                         (sch.rec.AdvanceWarnDate == now.date && sch.rec.AdvanceWarnTime < now.time);
        if (!due) continue;
        // Only the dispatcher whose save of the flag succeeds gives the warning:
        // another one on the same data may have read the task too.
        sch.rec.AdvanceWarned = 1;
        if (sch.tryUpdate() != Level::Benign) continue;
        const std::string desc = text::trimmed(sch.rec.Description);
        if (sch.rec.SkipNextTime) {
            log("Skipped:  " + desc, "Advanced Warning");
            continue;
        }
        log(desc, "Advanced Warning");
        std::string text = formatDate(sch.rec.Date, "@d3") + " " + formatTime(sch.rec.Time, "@t3");
        const std::string type = text::trimmed(sch.rec.TaskType);
        if (type == "Display Message")
            text += "\r\n\r\n" + sch.rec.Message;
        else if (type == "Run Program")
            text += "\r\n\r\nCommand:  " + sch.rec.Command;
        else if (type == "Both")
            text += "\r\n\r\n" + sch.rec.Message + "\r\n\r\nCommand: " + sch.rec.Command;
        else {
            text += "\r\n\r\n" + sch.rec.Message;
            if (!text::trimmed(sch.rec.Command).empty()) text += "\r\n\r\nCommand: " + sch.rec.Command;
        }
        exec_.showAdvanceWarning(sch.rec, text);
    }
}

void Dispatcher::watchDateAndExitCodes() {
    const Moment now = clock_.now();
    if (now.date - lastCheckDate_ > 3) {
        exec_.launcher().createProcess("KLVBACK.EXE QD97.TPS", ds_.folder());
        ui_.message(
            "Warning",
            "Warning!\r\rYou have set the system date forward more than 3 days.\r\rTasks scheduled prior "
            "to " +
                formatDate(now.date, "@d17") + " " + formatTime(now.time, "@t7") +
                " will be executed immediately.  We recommend that you make a backup or change the date "
                "back to " +
                formatDate(lastCheckDate_, "@d17") + " before pressing OK (on this warning message).",
            MessageIcon::Exclamation);
        lastCheckDate_ = now.date;
    }
    // Ended programs leave the list, their code logged while logging is on.
    auto& started = exec_.startedPrograms();
    for (std::size_t i = started.size(); i-- > 0;) {
        const int code = exec_.launcher().exitCode(started[i].pid);
        if (code == kStillActive) continue;
        if (settings_.LogEvents && settings_.LogExitCodes)
            log("Code " + std::to_string(code) + " for " + started[i].name, "Program Exit");
        exec_.launcher().forget(started[i].pid);
        started.erase(started.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

} // namespace qd
