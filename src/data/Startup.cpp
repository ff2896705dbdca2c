#include "data/Startup.h"

#include "data/FolderJournal.h"

#include "data/EventLog.h"
#include "data/FileModes.h"
#include "data/Pictures.h"
#include "data/QD_Files.h"
#include "data/Settings.h"

#include <cstdlib>
#include <system_error>

namespace qd {

std::string frameTitle() {
    return std::string(kProductName) + " " + kProductVersion;
}

std::filesystem::path defaultInstallFolder() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        return std::filesystem::path(xdg) / "quandrel";
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::filesystem::path(home) / ".local" / "share" / "quandrel";
    return std::filesystem::current_path() / "quandrel";
}

namespace {

bool holdsData(const std::filesystem::path& folder) {
    std::error_code ec;
    return std::filesystem::exists(findFileNoCase(folder, "QD97.TPS"), ec);
}

} // namespace

DataFolder locateDataFolder(const std::filesystem::path& current, UserInterface& ui,
                            const std::filesystem::path& installFolder) {
    DataFolder result;
    std::error_code ec;
    std::filesystem::path folder = std::filesystem::absolute(current, ec);
    if (holdsData(folder)) {
        result.folder = folder;
        return result;
    }
    IniFile paths(folder, "PATHS.INI");
    if (std::filesystem::exists(paths.path(), ec)) {
        std::string named = paths.get("DATA", "PATH");
        if (!named.empty()) {
            std::filesystem::path target(named);
            if (target.is_relative()) target = folder / target;
            if (std::filesystem::is_directory(target, ec)) folder = std::filesystem::canonical(target, ec);
        }
    }
    if (!holdsData(folder)) {
        std::string made; // a folder that cannot be made shows as "not a folder" below
        // Offer the chooser from the install folder, made when it is missing.
        std::filesystem::path start = folder;
        if (!installFolder.empty()) {
            createPrivateFolder(installFolder, made);
            if (std::filesystem::is_directory(installFolder, ec)) start = installFolder;
        }
        result.chooserShown = true;
        if (auto picked = ui.chooseFolder("Select data directory", start.string())) {
            IniFile(start, "PATHS.INI").set("DATA", "PATH", *picked);
            std::filesystem::path p(*picked);
            folder = p.is_relative() ? start / p : p;
            createPrivateFolder(folder, made);
        } else {
            ui.message("New Database", "Application data will be created", MessageIcon::Information);
            folder = start;
        }
        result.newDataSet = !holdsData(folder);
    }
    result.folder = folder;
    return result;
}

FrameTables::FrameTables(DataSet& ds)
    : categories(ds, qd::tables::Categories()), clipboard(ds, qd::tables::Clipboard()),
      configuration(ds, qd::tables::Configuration()), holidays(ds, qd::tables::Holidays()),
      schedule(ds, qd::tables::Schedule()), messages(ds, qd::tables::Messages()),
      scripting(ds, qd::tables::Scripting()), sysHotKeys(ds, qd::tables::SysHotKeys()),
      qdusd(ds, qd::tables::QDUSD()) {}

Startup::Startup(UserInterface& ui, const Clock& clock)
    : ui_(ui), clock_(clock), errors_(&ui), log_(EventLogConfig{}, &clock) {}

Startup::Startup(UserInterface& ui, const Clock& clock, const std::filesystem::path& folder)
    : Startup(ui, clock) {
    beginAt(folder);
}

Startup::~Startup() {
    end();
}

bool Startup::begin(const std::filesystem::path& current, const std::filesystem::path& installFolder) {
    folder_ = locateDataFolder(current, ui_, installFolder);
    initialise();
    return true;
}

bool Startup::beginAt(const std::filesystem::path& folder) {
    std::error_code ec;
    folder_ = DataFolder{};
    folder_.folder = std::filesystem::absolute(folder, ec);
    folder_.newDataSet = !std::filesystem::exists(findFileNoCase(folder_.folder, "QD97.TPS"), ec);
    initialise();
    return true;
}

void Startup::initialise() {
    end();
    positions_ = std::make_unique<INIClass>(folder_.folder, "POSITION.INI");
    registerTableVersions();
    ds_ = std::make_unique<DataSet>(folder_.folder, errors_);
    // Until the settings say otherwise the log writes nothing, in the data folder.
    log_.configure(EventLogConfig{folder_.folder, "d3", false, false});
    // Two-digit years are read against this run's clock.
    PictureLocale locale = *pictureLocale();
    locale.clock = &clock_;
    setPictureLocale(locale);
    QD_Files_INIT(&errors_, positions_.get());
    initDone_ = true;
}

bool Startup::openFrame() {
    if (!ds_) return false;
    if (tables_) return true;
    tables_ = std::make_unique<FrameTables>(*ds_);
    FrameTables& t = *tables_;
    for (FileManager* table : std::initializer_list<FileManager*>{
             &t.categories, &t.clipboard, &t.configuration, &t.holidays, &t.schedule, &t.messages,
             &t.scripting, &t.sysHotKeys, &t.qdusd}) {
        if (table->open() == Level::Fatal) {
            halt_ = errors_.haltText();
            tables_.reset();
            return false;
        }
    }
    // A failing write of the version row is reported and start-up goes on.
    if (t.configuration.opened()) writeConfigurationRow(t.configuration, "Version", kProductVersion);
    return true;
}

void Startup::loadSettings(const CommandLineSwitches& commandLine) {
    if (!ds_) return;
    SettingsStore store(*ds_);
    loadAllSettings(store, settings_, SettingsEnvironment{commandLine, networkUserName()});
    log_.configure(eventLogConfig(settings_, folder_.folder));
    if (settings_.Debug) log_.log("", "Debugging Active");
    // Once a run: the store files of a shared network folder keep a rollback journal.
    if (const std::string note = networkFolderNote(journalFor(folder_.folder)); !note.empty())
        log_.log(note, kNetworkFolderLabel);
}

void Startup::end() {
    if (!initDone_) return;
    tables_.reset();
    ds_.reset();
    QD_Files_KILL();
    PictureLocale locale = *pictureLocale();
    if (locale.clock == &clock_) {
        locale.clock = nullptr;
        setPictureLocale(locale);
    }
    initDone_ = false;
}

Level writeConfigurationRow(Table<ConfigurationRecord>& cf, const std::string& name,
                            const std::string& value) {
    cf.rec = {};
    cf.rec.DataType = name;
    if (cf.fetch(cf.def().findKey("CF:KeyDataType")) == Level::Benign) {
        if (cf.rec.DataValue == value) return Level::Benign;
        cf.rec.DataValue = value;
        return cf.update();
    }
    cf.rec.DataType = name;
    cf.rec.DataValue = value;
    return cf.insert();
}

} // namespace qd
