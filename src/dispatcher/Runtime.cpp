#include "dispatcher/Runtime.h"

#include "data/Settings.h"
#include "data/Startup.h"
#include "platform/WindowPlacer.h"
#include "platform/x11/X11Desktop.h"
#include "schedule/BatchOperations.h"
#include "script/Dde.h"
#include "script/FileActions.h"
#include "script/Keystrokes.h"
#include "script/ScriptEngine.h"
#include "script/ScriptFile.h"
#include "script/Values.h"
#include "script/WindowTargeting.h"

namespace qd {

struct RuntimeDesktop {
    X11Desktop x11;
    std::unique_ptr<KeystrokeSender> keys;
    std::unique_ptr<WindowTargeting> windows;
    // Window states of started programs, applied on a connection of its own.
    std::unique_ptr<StartedWindowPlacer> placer;
};

Runtime::Runtime(DataSet& ds, UserInterface& ui, Frame& frame, const Clock& clock, RuntimeOptions options)
    : ds_(ds), ui_(ui), frame_(frame), clock_(clock), options_(std::move(options)),
      log_(EventLogConfig{ds.folder(), "d3", false, false}, &clock) {
    desktop_ = std::make_unique<RuntimeDesktop>();
    if (options_.openDesktop)
        desktop_->x11 = openX11Desktop();
    else
        desktop_->x11 = openX11Desktop(":no-display-wanted");
    desktop_->keys = std::make_unique<KeystrokeSender>(*desktop_->x11.keyboard);
    desktop_->keys->setClock(&clock_);
    desktop_->windows = std::make_unique<WindowTargeting>(*desktop_->x11.windows);

    values_ = std::make_unique<ScriptValues>(VARQ());
    values_->setClock(&clock_);
    values_->setEventLog(&log_);
    WindowTargeting* targeting = desktop_->windows.get();
    values_->setFocusProvider([targeting] { return targeting->FocusText(); });

    execution_ = std::make_unique<TaskExecution>(ds_, settings_, frame_, ui_, log_, launcher_, clock_);
    ScriptValues* values = values_.get();
    execution_->setTranslator([values](const std::string& text) { return values->TranslateText(text); });
    if (desktop_->x11.connected()) {
        desktop_->placer = std::make_unique<StartedWindowPlacer>([]() -> std::unique_ptr<WindowSystem> {
            auto connection = X11Connection::open();
            if (!connection) return nullptr;
            auto windows = std::make_unique<X11WindowSystem>(connection);
            windows->setUseAccessibility(false);
            return windows;
        });
        StartedWindowPlacer* placer = desktop_->placer.get();
        execution_->setShowModeHandler([placer](pid_t pid, ShowMode mode) {
            placer->place(pid, placementForShowMode(static_cast<int>(mode)));
        });
    }

    ScriptEnvironment env;
    env.values = values_.get();
    env.keys = desktop_->keys.get();
    env.windows = desktop_->windows.get();
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
    ProcessLauncher* launcher = &launcher_;
    env.dde = [launcher](const std::string& service, const std::string& topic, const std::string& command) {
        DdeExecute(*launcher, service, topic, command);
    };
    scripts_ = std::make_unique<ScriptEngine>(ds_, log_, ui_, clock_, env);
    execution_->setScriptHost(scripts_.get());
    history_ = std::make_unique<HistoryRemover>(ds_, log_, ui_);
    dispatcher_ =
        std::make_unique<Dispatcher>(ds_, settings_, frame_, ui_, log_, *execution_, *scripts_, clock_);
    HistoryRemover* history = history_.get();
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

bool Runtime::desktopConnected() const {
    return desktop_->x11.connected();
}

void Runtime::applySettings() {
    log_.configure(eventLogConfig(settings_, ds_.folder()));
    ValueSettings vs;
    vs.dateFormat = settings_.DateFormat;
    vs.debugMode = settings_.Debug;
    values_->setSettings(vs);
    KeystrokeSettings ks;
    ks.globalDelay = settings_.ScriptingDelay;
    ks.burstSize = settings_.BurstSize;
    desktop_->keys->setSettings(ks);
    desktop_->windows->excludeHiddenWindows = settings_.ExclHidden;
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
    opened_ = true;
    SettingsStore store(ds_);
    SettingsEnvironment env;
    env.commandLine = CommandLineSwitches::parse(options_.commandLine);
    env.networkUser = networkUserName();
    loadAllSettings(store, settings_, env);
    applySettings();
    dispatcher_->open();
    if (settings_.Debug) log_.log("", "Debugging Active");
    log_.log(frameTitle(), "Started");
    return true;
}

void Runtime::tick() {
    if (!opened_) return;
    dispatcher_->tick();
    if (!desktop_->placer) return;
    for (const PlacementResult& r : desktop_->placer->takeResults()) {
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
