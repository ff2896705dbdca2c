#include "script/ScriptEngine.h"

#include "data/FileManager.h"
#include "data/Pictures.h"
#include "data/TextWidth.h"
#include "perform/TaskExecution.h"
#include "platform/Process.h"
#include "script/FtpHttpSteps.h"
#include "script/Keystrokes.h"
#include "script/ScriptSteps.h"
#include "script/ScriptStrings.h"
#include "script/StepActions.h"
#include "script/Values.h"
#include "script/WindowTargeting.h"

#include <algorithm>

namespace qd {
namespace {

long long absolute(Date d, Time t) {
    return static_cast<long long>(d) * kTimeDay + t;
}

void normalize(Date& d, Time& t) {
    long long time = t;
    while (time > kTimeDay) {
        time -= kTimeDay;
        ++d;
    }
    while (time < 1) {
        time += kTimeDay;
        --d;
    }
    t = static_cast<Time>(time);
}

void normalize(Moment& m) {
    normalize(m.date, m.time);
}

// The longest keystroke text one step types.
constexpr std::size_t kMaxTypedText = 10000;

bool isEndMarker(const ScriptingRecord& s) {
    return actionOf(s) == StepAction::EndOfScript;
}

ScriptingRecord endMarker() {
    ScriptingRecord end{};
    end.Action = action::EndOfScript;
    return end;
}

} // namespace

std::string StepDescription(const ScriptingRecord& s) {
    const ActionDescriptor& d = describeAction(actionOf(s));
    return fitText(d.describe ? d.describe(s) : std::string(), kDescriptionWidth);
}

ScriptEngine::ScriptEngine(DataSet& ds, EventLog& log, UserInterface& ui, const Clock& clock,
                           ScriptEnvironment env)
    : ds_(ds), log_(log), ui_(ui), clock_(clock), env_(std::move(env)) {
    // Bracketed names in keystroke texts that are not keys are script variables.
    if (env_.keys && env_.values) {
        ScriptValues* values = env_.values;
        env_.keys->setTranslator(
            [values](const std::string& name) { return values->TranslateVariable(name); });
    }
}

int ScriptEngine::runningScripts() const {
    const auto ends =
        std::count_if(queue_.begin(), queue_.end(), [](const QueueEntry& e) { return isEndMarker(e.step); });
    if (ends > 0) return static_cast<int>(ends);
    return queue_.empty() ? 0 : 1;
}

std::string ScriptEngine::translate(const std::string& text) const {
    return env_.values ? env_.values->TranslateText(text) : text;
}

void ScriptEngine::setVariable(const std::string& name, const std::string& value) {
    if (env_.values) env_.values->SetValue(name, value);
}

Moment ScriptEngine::startMoment() const {
    const Moment now = clock_.now();
    Moment s{now.date, now.time + 2 * globalDelay};
    if (!queue_.empty()) {
        const QueueEntry& last = queue_.back();
        if (absolute(last.dueDate, last.dueTime) > absolute(s.date, s.time))
            s = Moment{last.dueDate, last.dueTime + globalDelay};
    }
    normalize(s);
    return s;
}

Moment ScriptEngine::appendTimed(std::deque<QueueEntry>& into, const std::vector<ScriptingRecord>& steps,
                                 Moment start, pid_t handle, bool runningReference, bool reportUnknown) {
    Moment t = start;
    for (ScriptingRecord step : steps) {
        const StepAction action = actionOf(step);
        switch (timingOf(step)) {
        case StepTiming::Delay:
            t.time += globalDelay;
            break;
        case StepTiming::NoDelay:
            break;
        case StepTiming::Wait: {
            const std::string mode = text::lowerAscii(text::trimmedRight(step.DDEApplicationName));
            if (mode == "or" || mode == "either")
                step.TimeElapsed = 0;
            else
                t.time += step.SecondsToWait * 100;
            break;
        }
        }
        normalize(t);
        if (action == StepAction::IfTimeElapsed) {
            const Moment ref = runningReference ? t : start;
            Time refTime = static_cast<Time>(static_cast<long long>(step.TimeElapsed) * 100 + ref.time);
            Date refDate = ref.date;
            normalize(refDate, refTime);
            step.TimeElapsed = refTime;
            step.SecondsToWait = refDate;
        }
        if (action == StepAction::FileActions && env_.transfers &&
            IsTransferOperation(text::trimmedRight(step.DDEType))) {
            if (auto rewritten = RewriteTransferStep(step)) step = *rewritten;
        }
        const std::string name = text::trimmedRight(step.Action);
        if (reportUnknown && !name.empty() && action != StepAction::Comment && !isKnownAction(name))
            ui_.message("Import Error", "Unrecognized script action: " + name, MessageIcon::Exclamation);
        into.push_back(QueueEntry{step, t.date, t.time, handle});
    }
    return t;
}

void ScriptEngine::queueTaskScript(int taskId, pid_t startHandle) {
    if (taskId == 0) return;
    const StepsResult steps = LoadScriptSteps(ds_, taskId);
    // Whatever was read before an error is queued all the same.
    if (!steps.ok()) ui_.message("Error", "Error executing script: " + steps.error, MessageIcon::Hand);
    queueSteps(steps.steps, startHandle);
}

int ScriptEngine::queueSteps(const std::vector<ScriptingRecord>& steps, pid_t startHandle) {
    if (steps.empty()) return 0;
    const Moment s = startMoment();
    const Moment t = appendTimed(queue_, steps, s, startHandle, false, false);
    queue_.push_back(QueueEntry{endMarker(), t.date, t.time, 0});
    return static_cast<int>(steps.size());
}

void ScriptEngine::appendEntry(const ScriptingRecord& step) {
    const Moment now = clock_.now();
    queue_.push_back(QueueEntry{step, now.date, now.time, 0});
}

std::string ScriptEngine::statusLine() const {
    if (queue_.empty()) return "";
    const QueueEntry& head = queue_.front();
    const std::string action = text::trimmedRight(head.step.Action);
    const std::string desc = StepDescription(head.step);
    return (desc.empty() ? action + " " : action + " " + desc + " ") + formatTime(head.dueTime, "@t7");
}

void ScriptEngine::executeNextStep() {
    if (queue_.empty()) {
        tempScriptingActive = false;
        return;
    }
    // A hot key is typing or pasting: the step waits for the next tick.
    if (env_.keys && env_.keys->held()) return;
    const Moment now = clock_.now();
    {
        const QueueEntry& head = queue_.front();
        if (absolute(now.date, now.time) <= absolute(head.dueDate, head.dueTime)) return;
    }
    bool keep = false;
    std::string note;
    QueueEntry executed = queue_.front();
    try {
        execute(queue_.front(), keep, note);
    } catch (const std::exception& e) {
        // A step that fails with an error is dropped; the script goes on.
        log(text::trimmedRight(executed.step.Action) + ": " + e.what(), "Step Failed");
        keep = false;
        note = e.what();
    }
    if (!keep) {
        if (!queue_.empty()) {
            const QueueEntry& head = queue_.front();
            const bool keys = actionOf(head.step) == StepAction::SendKeys;
            log(text::trimmedRight(head.step.Action) + "  " +
                    (keys ? keystrokesForLog(head.step) : StepDescription(head.step)),
                "Script");
            queue_.pop_front();
        }
    }
    if (observer_) observer_(executed, keep ? "kept" + (note.empty() ? "" : ": " + note) : note);
    if (queue_.empty()) tempScriptingActive = false;
}

std::string ScriptEngine::keystrokesForLog(const ScriptingRecord& step) const {
    const std::string text = text::trimmedRight(step.Keystrokes);
    if (debugMode) return text;
    return std::to_string(characterCount(text)) + " characters";
}

void ScriptEngine::skipBlock(bool& keep) {
    debug("Removing task items.", "Test failed");
    // Drops the false block: up to its End If (nested If blocks are dropped whole),
    // but never past the end of the script the block belongs to. A block without
    // an End If ends at the script's end marker, which then ends the script as
    // usual; the next queued script is left alone.
    int depth = 0;
    for (;;) {
        queue_.pop_front();
        if (queue_.empty()) {
            keep = true;
            return;
        }
        const ScriptingRecord& step = queue_.front().step;
        if (isEndMarker(step)) return;
        switch (blockRoleOf(step)) {
        case BlockRole::Closes:
            if (depth == 0) return;
            --depth;
            break;
        case BlockRole::Opens:
            ++depth;
            break;
        case BlockRole::None:
            break;
        }
    }
}

void ScriptEngine::execute(QueueEntry& head, bool& keep, std::string& note) {
    ScriptingRecord& s = head.step;
    switch (actionOf(s)) {
    case StepAction::DisplayMessage:
        executeDisplayMessage(s, note);
        break;
    case StepAction::ExitScript:
        do {
            queue_.pop_front();
        } while (!queue_.empty() && !isEndMarker(queue_.front().step));
        if (queue_.empty()) keep = true;
        break;
    case StepAction::CloseProgram:
        executeCloseProgram(head, note);
        break;
    case StepAction::StartProgram:
        executeStartProgram(head, keep);
        break;
    case StepAction::WaitForProgramEnd:
        executeWaitForProgram(head, keep);
        break;
    case StepAction::SendKeys:
        executeSendKeys(s, note);
        break;
    case StepAction::Dde:
        if (env_.dde)
            env_.dde(text::trimmedRight(s.DDEApplicationName), text::trimmedRight(s.DDEApplicationTopic),
                     text::trimmedRight(s.DDECommand));
        break;
    case StepAction::SetFocus: {
        const WindowHandle h = env_.windows ? env_.windows->SetFocus(text::trimmedRight(s.FocusOnWindow),
                                                                     text::trimmedRight(s.WaitForWindow))
                                            : 0;
        if (h != 0)
            debug(std::to_string(h), "Foreground Window");
        else
            debug(text::trimmedRight(s.FocusOnWindow) + " Failed Set Focus", "Debug");
        break;
    }
    case StepAction::FileActions:
        if (env_.fileAction) env_.fileAction(s);
        break;
    case StepAction::SendEmail: {
        const int code = env_.sendEmail ? env_.sendEmail(s.EmailID) : -1;
        if (!env_.sendEmail)
            log("Message #" + std::to_string(s.EmailID) + " not sent: no mail sender is set up",
                "Send Email");
        setVariable("EmailExitCode", std::to_string(code));
        note = "EmailExitCode=" + std::to_string(code);
        break;
    }
    case StepAction::SetValue:
        setVariable(text::trimmedRight(s.Path), text::trimmedRight(s.Command));
        if (env_.values)
            note =
                text::trimmedRight(s.Path) + "=" + env_.values->variables().text(text::trimmedRight(s.Path));
        break;
    case StepAction::IfValue:
    case StepAction::IfWindow:
    case StepAction::IfTimeElapsed:
        executeCondition(s, keep, note);
        break;
    case StepAction::StartScript:
        executeStartScript(head, keep);
        break;
    case StepAction::Wait:
        executeWait(head, keep);
        break;
    case StepAction::EndIf:
    case StepAction::EndOfScript:
    case StepAction::Comment:
        break; // nothing to do
    case StepAction::Unknown:
        ui_.message("Script Error", "Invalid script option: " + text::trimmedRight(s.Action),
                    MessageIcon::Hand);
        break;
    }
}

void ScriptEngine::executeDisplayMessage(const ScriptingRecord& s, std::string& note) {
    const std::string text = translate(s.DDEApplicationName);
    const std::string title = translate(s.DDEApplicationTopic);
    if (s.SecondsToWait != 0) {
        const std::string list = text::trimmedRight(s.FocusOnWindow);
        if (!list.empty()) {
            std::vector<std::string> buttons;
            std::size_t start = 0;
            while (start <= list.size()) {
                std::size_t bar = list.find('|', start);
                if (bar == std::string::npos) bar = list.size();
                buttons.push_back(list.substr(start, bar - start));
                start = bar + 1;
            }
            const int pressed = ui_.chooseButton(title, text, buttons);
            setVariable("RESPONSE", std::to_string(pressed));
            note = "RESPONSE=" + std::to_string(pressed);
        } else {
            ui_.message(title, text, MessageIcon::None);
        }
    } else if (env_.execution) {
        ScheduleRecord task{};
        task.Description = fitText(title, ScheduleRecord::Width::Description);
        task.Alarm = 0;
        task.Message = fitText(text, ScheduleRecord::Width::Message);
        env_.execution->showTaskMessage(task, false);
    } else {
        ui_.message(title, text, MessageIcon::None);
    }
}

void ScriptEngine::executeCloseProgram(const QueueEntry& head, std::string& note) {
    const ScriptingRecord& s = head.step;
    const std::string pattern = text::trimmedRight(s.Command);
    CloseOutcome outcome = CloseOutcome::NotFound;
    if (env_.windows) {
        WindowHandle startWindow = 0;
        if (head.startHandle > 0) {
            for (const auto& w : env_.windows->ListWindows())
                if (env_.windows->windowSystem().windowPid(w.handle) == head.startHandle) {
                    startWindow = w.handle;
                    break;
                }
        }
        outcome =
            env_.windows->CloseProgram(pattern, text::trimmedRight(s.Path), env_.ownMainWindow, startWindow);
    }
    if (outcome == CloseOutcome::NotFound && !pattern.empty()) {
        // No window matches: the process closer ends the owner of a window with
        // that title. The pattern is one argument, whatever it contains.
        Process* launcher = env_.execution ? &env_.execution->launcher() : nullptr;
        const auto killproc = launcher ? launcher->ownProgram("KillProc") : std::nullopt;
        const SpawnResult r =
            killproc ? launcher->startProgram(*killproc, {"killproc", "--", pattern}, {}, ds_.folder())
                     : SpawnResult{};
        note = "KillProc " + pattern;
        if (!r.ok)
            log("KillProc " + pattern + ": " + (r.error.empty() ? "not installed" : r.error), "Script");
    }
}

void ScriptEngine::executeSendKeys(const ScriptingRecord& s, std::string& note) {
    const std::string text = fitText(s.Keystrokes, kMaxTypedText);
    if (env_.keys) {
        const TypeTextResult r = env_.keys->SendKeystrokes(text);
        if (r.status != KeyStatus::Ok) {
            note = std::string("keystrokes failed: ") + toString(r.status);
            log(keystrokesForLog(s) + " " + toString(r.status), "Script");
        }
    } else {
        note = "no keyboard";
        log(keystrokesForLog(s) + " (no keyboard)", "Script");
    }
}

void ScriptEngine::executeCondition(const ScriptingRecord& s, bool& keep, std::string& note) {
    const std::string action = text::trimmedRight(s.Action);
    switch (actionOf(s)) {
    case StepAction::IfValue: {
        const bool ok = env_.values && env_.values->CompareValues(text::trimmedRight(s.Command),
                                                                  text::trimmedRight(s.WindowTitleToCheckFor),
                                                                  text::trimmedRight(s.WaitForWindow));
        if (ok) {
            log(action + " *TRUE* " + StepDescription(s), "Script");
        } else {
            log(action + " *FALSE* " + StepDescription(s), "Script");
            skipBlock(keep);
        }
        note = ok ? "true" : "false";
        return;
    }
    case StepAction::IfWindow: {
        const bool wanted =
            text::lowerAscii(text::trimmedRight(s.WindowExistance)).find("exists") != std::string::npos;
        const bool found =
            env_.windows && env_.windows->FindWindowByPattern(text::trimmedRight(s.WindowTitleToCheckFor),
                                                              text::trimmedRight(s.FocusOnWindow)) > 0;
        if (found != wanted) {
            log(action + " " + StepDescription(s), "Script");
            skipBlock(keep);
            note = "false";
        } else {
            debug("Next item will be processed.  " + StepDescription(s), "Test Passed");
            note = "true";
        }
        return;
    }
    case StepAction::IfTimeElapsed: {
        const Moment now = clock_.now();
        const Date refDate = s.SecondsToWait;
        const Time refTime = s.TimeElapsed;
        const bool before = now.date < refDate || (now.date == refDate && now.time < refTime);
        const bool greater =
            text::lowerAscii(text::trimmedRight(s.IfTimeElapsed)).find("greater") != std::string::npos;
        if ((!before && greater) || (before && !greater)) {
            log(action + " " + StepDescription(s), "Script");
            skipBlock(keep);
            note = "false";
        } else {
            debug("Next item will be processed.", "Test Passed");
            note = "true";
        }
        return;
    }
    default:
        return;
    }
}

void ScriptEngine::executeWait(QueueEntry& head, bool& keep) {
    ScriptingRecord& s = head.step;
    const Moment now = clock_.now();
    const std::string mode = text::lowerAscii(text::trimmedRight(s.DDEApplicationName));
    if (mode == "or" || mode == "either") {
        if (s.NextTaskID == 0) {
            Date d = now.date;
            Time t =
                static_cast<Time>(now.time + static_cast<long long>(s.SecondsToWait) * 100 - globalDelay);
            normalize(d, t);
            s.NextTaskID = d;
            s.TimeElapsed = t;
        }
        if (absolute(now.date, now.time) > absolute(s.NextTaskID, s.TimeElapsed)) return;
    }
    std::string pattern = text::trimmedRight(s.WaitForWindow);
    if (pattern.empty()) return;
    const bool absence = pattern.front() == '~';
    if (absence) pattern.erase(0, 1);
    const WindowHandle h =
        env_.windows ? env_.windows->FindWindowByPattern(pattern, text::trimmedRight(s.FocusOnWindow)) : 0;
    const auto completed = [&] {
        debug("Completed wait at " + formatDate(now.date, "@d17") + " " + formatTime(now.time, "@t7"),
              "Debug");
    };
    if (absence) {
        if (h == 0) {
            completed();
            return;
        }
        keep = true;
        return;
    }
    if (h != 0) {
        env_.windows->windowSystem().activate(h);
        debug("Switched to window:" + pattern, "Debug");
        completed();
        return;
    }
    keep = true;
}

void ScriptEngine::executeStartProgram(QueueEntry& head, bool& keep) {
    ScriptingRecord& s = head.step;
    std::string options = text::trimmedRight(s.DDEApplicationName);
    options.resize(4, ' ');
    const bool wait = options[0] == '1';
    const Priority priority = options[1] == '1'   ? Priority::Low
                              : options[1] == '3' ? Priority::High
                                                  : Priority::Normal;
    ShowMode show = ShowMode::Normal;
    switch (options[2]) {
    case '2':
        show = ShowMode::MinimizedFocus;
        break;
    case '3':
        show = ShowMode::MaximizedFocus;
        break;
    case '7':
        show = ShowMode::MinimizedNoFocus;
        break;
    case '8':
        show = ShowMode::NoActivate;
        break;
    default:
        break;
    }
    // A transfer program's entry is translated argument by argument when it is
    // prepared below, from the text as stored: translating it here as well
    // would put values into it twice.
    const ScriptingRecord stored = s;
    if (options[3] == '1' || translateFilenames) {
        // Split first, then the values put into each argument: a value with
        // blanks or quotes never adds, removes or moves an argument.
        if (env_.values) s.Command = env_.values->TranslateCommandLine(text::trimmedRight(s.Command));
        s.Path = translate(s.Path);
        debug(text::trimmedRight(s.Command), "Translated");
    }
    const std::string verb = text::trimmedRight(s.DDEApplicationTopic);
    ProgramStartRequest r;
    r.command = text::trimmedRight(s.Command);
    r.folder = text::trimmedRight(s.Path);
    std::string label;
    if (!wait && priority == Priority::Normal && show == ShowMode::Normal && verb.empty()) {
        r.forceNormal = true;
        label = "Debug - Simple Run";
    } else if (verb.empty() || wait) {
        r.showMode = show;
        r.priority = priority;
        r.usePriority = true;
        r.wantHandle = true;
        label = "Debug - No Operation Sent";
    } else {
        r.showMode = show;
        r.priority = priority;
        r.usePriority = true;
        r.verb = verb;
        r.useVerb = true;
        r.wantHandle = true;
        label = "Debug - Full Command Sent";
    }
    debug(r.command + " " + r.folder + " " + (wait ? "1" : "0") + " " +
              std::to_string(static_cast<int>(show)) + " " + std::to_string(static_cast<int>(priority)) +
              " " + verb,
          label);
    StartOutcome outcome;
    std::optional<ProgramLaunch> transfer;
    if (env_.transfers && IsTransferCommand(r.command)) {
        TransferStartOptions transferOptions;
        transferOptions.values = env_.values;
        transferOptions.translateFilenames = translateFilenames;
        if (env_.execution) transferOptions.programFolder = env_.execution->launcher().programFolder();
        transfer = PrepareTransferLaunch(stored, transferOptions);
    }
    if (transfer && env_.execution) {
        // The transfer programs take their password from the environment.
        std::vector<std::string> args{transfer->program.string()};
        args.insert(args.end(), transfer->arguments.begin(), transfer->arguments.end());
        log(transfer->visibleCommand, "Run Program");
        const SpawnResult started = env_.execution->launcher().startProgram(
            transfer->program, args, transfer->environment,
            transfer->workingFolder.empty() ? ds_.folder() : transfer->workingFolder, priority);
        outcome.started = started.ok;
        outcome.pid = started.pid;
        if (!started.ok)
            ui_.message("Error Code " + std::to_string(started.code),
                        "Could not start " + transfer->visibleCommand + ".", MessageIcon::Hand);
    } else if (env_.execution) {
        outcome = env_.execution->startProgram(r);
    }
    if (!wait) return;
    const Moment now = clock_.now();
    if (s.TimeElapsed != 0) {
        Date d = now.date;
        Time t = static_cast<Time>(now.time + static_cast<long long>(s.TimeElapsed) * 100);
        normalize(d, t);
        s.NextTaskID = d;
        s.TimeElapsed = t;
    } else {
        s.NextTaskID = 0;
    }
    s.Action = action::WaitForProgramEnd;
    head.startHandle = outcome.pid;
    keep = true;
}

void ScriptEngine::executeWaitForProgram(QueueEntry& head, bool& keep) {
    const ScriptingRecord& s = head.step;
    Process* launcher = env_.execution ? &env_.execution->launcher() : nullptr;
    const int code = head.startHandle > 0 && launcher ? launcher->exitCode(head.startHandle) : -1;
    if (code == -1) {
        setVariable("ExitCode", "-1");
        return;
    }
    if (code == kStillActive) {
        setVariable("ExitCode", std::to_string(kStillActive));
        const Moment now = clock_.now();
        if (s.NextTaskID != 0 && absolute(now.date, now.time) > absolute(s.NextTaskID, s.TimeElapsed)) return;
        keep = true;
        return;
    }
    setVariable("ExitCode", std::to_string(code));
    launcher->forget(head.startHandle);
}

void ScriptEngine::executeStartScript(QueueEntry& head, bool& keep) {
    const std::string file = text::trimmedRight(head.step.Command);
    const std::string modeText = text::trimmedRight(head.step.Path);
    const char mode = modeText.empty() ? 'I' : text::upperAscii(modeText[0]);
    const Moment start = startMoment();
    std::deque<QueueEntry> rest(queue_.begin() + 1, queue_.end());
    std::deque<QueueEntry> list;
    if (mode == 'A') list = rest;
    std::vector<ScriptingRecord> steps;
    std::string error;
    if (env_.readScriptFile) {
        if (auto read = env_.readScriptFile(file, error)) {
            ReportUnrecognized(ui_, *read);
            steps = std::move(read->steps);
        } else {
            ui_.message("Script Error", error, MessageIcon::Hand);
        }
    } else {
        ui_.message("Script Error", "Scripts cannot be read from files here: " + file, MessageIcon::Hand);
    }
    const Moment t = appendTimed(list, steps, start, head.startHandle, true, true);
    if (mode == 'A') {
        list.push_back(QueueEntry{endMarker(), t.date, t.time, 0});
    } else if (mode != 'J') {
        list.insert(list.end(), rest.begin(), rest.end());
    }
    queue_ = std::move(list);
    // The Start Script entry is gone: the head is the first step of the new
    // arrangement and runs at its own moment.
    keep = !queue_.empty();
}

} // namespace qd
