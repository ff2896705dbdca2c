#include "runtime/Runtime.h"

#include "data/Settings.h"
#include "data/Startup.h"
#include "mail/Mailer.h"
#include "platform/WindowPlacer.h"
#include "schedule/BatchOperations.h"
#include "script/Dde.h"
#include "script/FileActions.h"
#include "script/Keystrokes.h"
#include "script/ScriptEngine.h"
#include "script/ScriptFile.h"
#include "script/Values.h"
#include "script/WindowTargeting.h"

namespace qd {

Runtime::Runtime(Startup& startup, Frame& frame, Desktop& desktop, Process& process, RuntimeOptions options)
    : startup_(startup), ds_(startup.dataSet()), ui_(startup.ui()), frame_(frame), clock_(startup.clock()),
      options_(std::move(options)), settings_(startup.settings()), log_(startup.log()), desktop_(desktop),
      process_(process) {
    keys_ = std::make_unique<KeystrokeSender>(desktop_.keyboard());
    keys_->setClock(&clock_);
    windows_ = std::make_unique<WindowTargeting>(desktop_.windows());

    values_ = std::make_unique<ScriptValues>(VARQ());
    values_->setClock(&clock_);
    values_->setEventLog(&log_);
    WindowTargeting* targeting = windows_.get();
    values_->setFocusProvider([targeting] { return targeting->FocusText(); });

    execution_ = std::make_unique<TaskExecution>(ds_, settings_, frame_, ui_, log_, process_, clock_);
    ScriptValues* values = values_.get();
    execution_->setTranslator([values](const std::string& text) { return values->TranslateText(text); });
    if (StartedWindowPlacer* placer = desktop_.windowPlacer()) {
        execution_->setShowModeHandler([placer](pid_t pid, ShowMode mode) {
            placer->place(pid, placementForShowMode(static_cast<int>(mode)));
        });
    }

    ScriptEnvironment env;
    env.values = values_.get();
    env.keys = keys_.get();
    env.windows = windows_.get();
    env.execution = execution_.get();
    const std::filesystem::path folder = ds_.folder();
    EventLog* log = &log_;
    env.fileAction = [values, targeting, log, folder](const ScriptingRecord& step) {
        FileActionEnvironment fe;
        fe.values = values;
        fe.windows = targeting;
        fe.eventLog = log;
        fe.folder = folder;
        DoFileAction(step.DDEType, step.Command, step.Path, step.DDEApplicationName, step.DDEApplicationTopic,
                     fe);
    };
    env.readScriptFile = [folder](const std::string& file,
                                  std::string& error) -> std::optional<ScriptFileContent> {
        std::filesystem::path p(file);
        if (p.is_relative()) p = folder / p;
        ScriptFileContent content;
        const ScriptFileStatus status = LoadScriptFile(p, content);
        if (!status.ok) {
            error = status.error;
            return std::nullopt;
        }
        return content;
    };
    Process* launcher = &process_;
    env.dde = [launcher](const std::string& service, const std::string& topic, const std::string& command) {
        DdeExecute(*launcher, service, topic, command);
    };
    env.sendEmail = [this](int emailId) {
        Mailer mailer = makeMailer();
        ScriptValues* v = values_.get();
        mailer.setVariableSink(
            [v](const std::string& name, const std::string& value) { v->SetValue(name, value); });
        return mailer.SendStoredMessage(emailId, false, true);
    };
    scripts_ = std::make_unique<ScriptEngine>(ds_, log_, ui_, clock_, env);
    execution_->setScriptHost(scripts_.get());
    history_ = std::make_unique<HistoryRemover>(ds_, log_, ui_);
    dispatcher_ =
        std::make_unique<Dispatcher>(ds_, settings_, frame_, ui_, log_, *execution_, *scripts_, clock_);
    HistoryRemover* history = history_.get();
    dispatcher_->setPhaseFollowsClock(options_.realTime);
    ProgramSettings* settings = &settings_;
    dispatcher_->setHistoryJob([history, settings](Date today) {
        HistoryOptions o;
        o.historyExpires = settings->HistoryExpires;
        o.removeUncompleted = settings->RemoveUncompleted;
        o.saveScripts = settings->SaveScripts;
        return history->RemoveHistory(o, today);
    });
}

Runtime::~Runtime() = default;

Mailer Runtime::makeMailer() {
    Mailer mailer(ds_, log_, ui_, clock_, settings_);
    ScriptValues* values = values_.get();
    mailer.setTranslator([values](const std::string& text) { return values->TranslateText(text); });
    mailer.setPasswordSource(mailPassword_);
    mailer.setCaFile(mailCaFile_);
    return mailer;
}

void Runtime::applySettings() {
    ValueSettings vs;
    vs.dateFormat = settings_.DateFormat;
    vs.debugMode = settings_.Debug;
    values_->setSettings(vs);
    KeystrokeSettings ks;
    ks.globalDelay = settings_.ScriptingDelay;
    ks.burstSize = settings_.BurstSize;
    keys_->setSettings(ks);
    windows_->excludeHiddenWindows = settings_.ExclHidden;
    scripts_->globalDelay = settings_.ScriptingDelay;
    scripts_->debugMode = settings_.Debug;
    scripts_->translateFilenames = settings_.TranslateFilenames;
}

bool Runtime::open() {
    std::string why;
    if (!folderLock_.acquire(ds_.folder(), DataFolderLock::Mode::Shared, why)) {
        ui_.message("Data Folder In Use", why, MessageIcon::Hand);
        return false;
    }
    // A table that cannot be opened was shown by the error manager; the program ends.
    if (!startup_.openFrame()) {
        folderLock_.release();
        return false;
    }
    opened_ = true;
    startup_.loadSettings(CommandLineSwitches::parse(options_.commandLine));
    FillMailSettingsFromSystem(settings_, readSystemMailSources());
    applySettings();
    dispatcher_->open();
    log_.log(frameTitle(), "Started");
    return true;
}

void Runtime::tick() {
    if (!opened_) return;
    // Whatever escapes a job of this second is logged and the program goes on.
    try {
        dispatcher_->tick();
    } catch (const std::exception& e) {
        log_.log(e.what(), "Error");
    } catch (...) {
        log_.log("unknown error", "Error");
    }
    StartedWindowPlacer* placer = desktop_.windowPlacer();
    if (!placer) return;
    for (const PlacementResult& r : placer->takeResults()) {
        if (!settings_.Debug) continue;
        std::string detail = "Process " + std::to_string(r.pid) + ": ";
        detail += r.window == 0 ? std::string("no window") : std::string(toString(r.state));
        if (r.status != WindowStatus::Ok) detail += std::string(" (") + toString(r.status) + ")";
        log_.log(detail, "Window State");
    }
}

void Runtime::close() {
    log_.log("", "Exit Quandrel");
    log_.close();
}

} // namespace qd
