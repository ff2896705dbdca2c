#include "perform/TaskExecution.h"

#include "data/FileManager.h"
#include "data/Redact.h"
#include "data/StoreTransaction.h"
#include "data/Text.h"
#include "schedule/ScheduleTables.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace qd {
namespace {

long long absolute(Moment m) {
    return static_cast<long long>(m.date) * kTimeDay + m.time;
}

// A moment some hundredths later, with the time carried into the date.
Moment later(Moment m, long long hundredths) {
    long long t = static_cast<long long>(m.time) + hundredths;
    Date d = m.date;
    while (t > kTimeDay) {
        t -= kTimeDay;
        ++d;
    }
    return Moment{d, static_cast<Time>(t)};
}

} // namespace

std::string messageLogDetail(const std::string& title, const std::string& alarmFile) {
    return alarmFile.empty() ? title : title + " " + alarmFile;
}

AlarmRepeat::AlarmRepeat(Moment opened, int intervalSeconds, int maxMinutes)
    : interval_(static_cast<long long>(intervalSeconds) * kTimeSecond),
      next_(intervalSeconds > 0 ? absolute(opened) + interval_ : -1),
      stop_(maxMinutes > 0 ? absolute(opened) + static_cast<long long>(maxMinutes) * kTimeMinute : -1) {}

bool AlarmRepeat::due(Moment now) {
    if (next_ < 0) return false;
    const long long t = absolute(now);
    if (t <= next_) return false;
    if (stop_ >= 0 && t > stop_) {
        next_ = -1;
        return false;
    }
    next_ = t + interval_;
    return true;
}

TaskExecution::TaskExecution(DataSet& ds, const ProgramSettings& settings, Frame& frame, UserInterface& ui,
                             EventLog& log, Process& launcher, const Clock& clock)
    : ds_(ds), settings_(settings), frame_(frame), ui_(ui), log_(log), launcher_(launcher), clock_(clock) {}

void TaskExecution::log(const std::string& detail, const std::string& label) {
    log_.log(detail, label);
}

void TaskExecution::soundAlarm(const ScheduleRecord& task) {
    if (!task.Alarm) return;
    if (text::upperAscii(text::trimmed(task.AlarmFile)) != "BEEP")
        frame_.playSound(text::trimmed(task.AlarmFile));
    else
        frame_.beep();
}

bool TaskExecution::handOverToMessageProgram(const std::string& title, const std::string& text,
                                             const std::string& alarmFile) {
    Table<MsgLinkRecord> link(ds_, tables::MsgLink());
    if (link.open() != Level::Benign) return false;
    link.rec = {};
    link.rec.Title = title;
    link.rec.Message = text;
    link.rec.AlarmFile = alarmFile;
    bool ok = link.tryInsert() == Level::Benign;
    if (ok) {
        const SpawnResult r =
            launcher_.createProcess("QDMsg.EXE ID=" + std::to_string(link.rec.ID), ds_.folder());
        ok = r.ok;
        if (!ok) {
            // The program did not start: the record would never be read.
            link.tryDelete();
        }
    }
    link.close();
    return ok;
}

void TaskExecution::showTaskMessage(const ScheduleRecord& task, bool expandTokens) {
    auto x = [&](const std::string& t) { return expandTokens ? expand(t) : t; };
    const std::string title = fitText(x(task.Description), FieldType::String, 40);
    const std::string text = fitText(x(task.Message), FieldType::String, 1024);
    const std::string alarm = task.Alarm ? x(task.AlarmFile) : std::string();
    if (settings_.UseQDMsg) {
        log(messageLogDetail(task.Description, task.AlarmFile), "Message");
        if (handOverToMessageProgram(title, text, alarm)) return;
    }
    if (frame_.openMessageWindows() >= 60) {
        frame_.bringToFront();
        ui_.message(title, text, MessageIcon::None);
        return;
    }
    MessageRequest request{title, text, alarm, false};
    if (settings_.UseQDMsg || !settings_.UseModalMessage) {
        // The window of its own (the message program was tried above already).
        if (settings_.UseWinMessage) {
            log(messageLogDetail(title, alarm), "Message");
            ui_.message(title, text, MessageIcon::None);
            return;
        }
        request.modal = settings_.UseModalMessage;
    } else {
        request.modal = true;
    }
    log(messageLogDetail(title, alarm), "Message");
    frame_.showMessageWindow(request);
}

void TaskExecution::showAdvanceWarning(const ScheduleRecord& task, const std::string& warning) {
    const std::string text = expand(warning);
    const std::string title = "Advanced Warning: " + expand(task.Description);
    if (settings_.UseQDMsg && handOverToMessageProgram(title, text, task.Alarm ? expand(task.AlarmFile) : ""))
        return;
    ui_.message(title, text, MessageIcon::Information);
}

StartOutcome TaskExecution::startProgram(const ProgramStartRequest& request) {
    StartOutcome outcome;
    // Another start may be handing steps to the script engine: wait up to 3 seconds.
    for (int waited = 0; addingScripting_.load(); waited += 10) {
        if (waited >= 3000) {
            log("Scripting", "Lock Error");
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    addingScripting_ = true;
    struct Release {
        std::atomic<bool>& flag;
        ~Release() { flag = false; }
    } release{addingScripting_};

    const std::string command = request.command;
    if (text::upperAscii(command).rfind("QDCHAIN", 0) == 0) {
        SpawnResult r = launcher_.createProcess(command, ds_.folder());
        if (!r.ok) r = launcher_.shellStartWithRetries(command, ds_.folder());
        frame_.requestShutdown();
        outcome.started = r.ok;
        outcome.pid = r.pid;
        return outcome;
    }
    const ShowMode mode = request.forceNormal ? ShowMode::Normal : request.showMode;
    log(maskCredentials(command), "Run Program");
    const std::filesystem::path folder = text::trimmed(request.folder).empty()
                                             ? ds_.folder()
                                             : std::filesystem::path(text::trimmed(request.folder));
    if (text::upperAscii(text::trimmed(command)) != "N/A") {
        const std::string verb = request.useVerb && !text::trimmed(request.verb).empty()
                                     ? text::upperAscii(text::trimmed(request.verb)).substr(0, 4)
                                     : std::string("open");
        SpawnResult r;
        const bool direct = request.wantHandle || settings_.LogEvents || settings_.LogExitCodes;
        if (direct) {
            r = launcher_.createProcess(command, folder,
                                        request.usePriority ? request.priority : Priority::Normal);
            if (r.ok) {
                outcome.pid = r.pid;
                if (settings_.LogEvents && settings_.LogExitCodes)
                    started_.push_back({r.pid, maskCredentials(command).substr(0, 80)});
            }
        }
        if (!r.ok) {
            r = launcher_.shellStartWithRetries(command, folder, text::lowerAscii(verb));
            if (r.ok && request.wantHandle) outcome.pid = r.pid;
        }
        if (!r.ok) {
            ui_.message("Error Code " + std::to_string(r.code), "Could not start " + command + ".",
                        MessageIcon::Hand);
            outcome.shownError = true;
            outcome.errorCode = r.code;
            return outcome;
        }
        if (applyShowMode_ && r.pid > 0 && mode != ShowMode::Normal) applyShowMode_(r.pid, mode);
    }
    outcome.started = true;
    if (request.taskId != 0 && scripts_) scripts_->queueTaskScript(request.taskId, outcome.pid);
    return outcome;
}

void TaskExecution::performTaskNow(const ScheduleRecord& task) {
    soundAlarm(task);
    const std::string type = text::trimmed(task.TaskType);
    if (type == "Display Message" || type == "Both") showTaskMessage(task);
    if (type == "Run Program" || type == "Both") {
        ProgramStartRequest r;
        r.command = task.Command;
        r.folder = task.Path;
        r.taskId = task.ID;
        startProgram(r);
    }
}

int TaskExecution::snoozeMessage(const std::string& title, const std::string& text,
                                 const std::string& alarmFile) {
    Table<ScheduleRecord> sch(ds_, tables::Schedule());
    if (sch.open() != Level::Benign) return 0;
    const Moment now = clock_.now();
    const int minutes = settings_.SnoozeInterval > 0 ? settings_.SnoozeInterval : 10;
    const Moment at = later(now, static_cast<long long>(minutes) * kTimeMinute);
    sch.rec = {};
    sch.rec.Message = text;
    sch.rec.TaskType = "Display Message";
    sch.rec.Category = "Snooze";
    sch.rec.Description = title;
    sch.rec.ScheduleType = "Once";
    sch.rec.Date = at.date;
    sch.rec.Time = at.time;
    sch.rec.SkipIfMissed = 1;
    sch.rec.AlarmFile = alarmFile;
    sch.rec.Alarm = text::trimmed(alarmFile).empty() ? 0 : 1;
    return sch.insert() == Level::Benign ? sch.rec.ID : 0;
}

int TaskExecution::snoozeTask(const ScheduleRecord& task, int minutes) {
    Table<ScheduleRecord> sch(ds_, tables::Schedule());
    if (sch.open() != Level::Benign) return 0;
    const Moment at = later(clock_.now(), static_cast<long long>(minutes) * kTimeMinute + kTimeSecond);
    sch.rec = task;
    sch.rec.ID = 0;
    sch.rec.OriginalID = 0;
    sch.rec.Date = at.date;
    sch.rec.Time = at.time;
    sch.rec.ScheduleType = "Once";
    sch.rec.AdvanceWarnDate = 0;
    sch.rec.AdvanceWarnTime = 0;
    sch.rec.Disabled = 0;
    sch.rec.Completed = 0;
    sch.rec.Skipped = 0;
    // The copy and its script steps are kept together or not at all: a snooze
    // copy without its steps would run an empty script.
    StoreTransaction transaction(sch);
    if (!transaction.started()) return 0;
    if (sch.insert() != Level::Benign) return 0;
    if (!copyScriptSteps(ds_, task.ID, sch.rec.ID)) return 0;
    if (transaction.commit() != Level::Benign) return 0;
    return sch.rec.ID;
}

} // namespace qd
