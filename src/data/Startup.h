// How the program finds its data folder and the start-up steps up to the main
// frame taking over.
#pragma once

#include "data/Clock.h"
#include "data/DataSet.h"
#include "data/ErrorClass.h"
#include "data/EventLog.h"
#include "data/FileManager.h"
#include "data/Globals.h"
#include "data/IniFile.h"
#include "data/UserInterface.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace qd {

inline constexpr const char* kProductName = "Quandrel 2000";
inline constexpr const char* kProductVersion = "2.04";
inline constexpr const char* kHelpFile = "QD.HLP";
inline constexpr const char* kSettingsFile = "qd98.INI";

// "<product> <version>", the frame title.
std::string frameTitle();

// The folder that stands in for the program's install folder: $XDG_DATA_HOME/quandrel,
// else ~/.local/share/quandrel.
std::filesystem::path defaultInstallFolder();

struct DataFolder {
    std::filesystem::path folder;
    bool chooserShown = false;
    bool newDataSet = false; // no QD97.TPS there: the tables are created at first open
};

// Finds the data folder starting from `current`: the folder itself when it holds
// QD97.TPS; else the folder that "PATHS.INI" names (section "DATA", key "PATH");
// else the user picks one in a chooser titled "Select data directory" that starts
// in the install folder (the pick is written to "PATHS.INI" there), and
// cancelling keeps the folder reached so far and says "Application data will be
// created". The process's current folder is not changed.
DataFolder locateDataFolder(const std::filesystem::path& current, UserInterface& ui,
                            const std::filesystem::path& installFolder = defaultInstallFolder());

// The tables the main frame opens when it starts, each with its buffer.
struct FrameTables {
    explicit FrameTables(DataSet& ds);
    Table<CategoriesRecord> categories;
    Table<ClipboardRecord> clipboard;
    Table<ConfigurationRecord> configuration;
    Table<HolidaysRecord> holidays;
    Table<ScheduleRecord> schedule;
    Table<MessagesRecord> messages;
    Table<ScriptingRecord> scripting;
    Table<SysHotKeysRecord> sysHotKeys;
    Table<QDUSDRecord> qdusd;
};

// The program's start, and the owner of what every part reads for the whole run:
// the data folder with its data set and error manager, the settings, the event log
// and the clock. The desktop program, `qdctl` and the tests all start through it,
// so each of them does the same steps in the same order:
//
//   Startup s(ui, clock);
//   s.begin(current) or s.beginAt(folder);  // the data folder, its managers, INIT
//   s.openFrame();                          // the frame's tables, the "Version" row
//   s.loadSettings(commandLine);            // settings, then the log they configure
//   ...
//   s.end();                                // QD_Files_KILL; also on destruction
class Startup {
public:
    Startup(UserInterface& ui, const Clock& clock);
    // Begun at once on a folder the user named (beginAt).
    Startup(UserInterface& ui, const Clock& clock, const std::filesystem::path& folder);
    ~Startup();
    Startup(const Startup&) = delete;
    Startup& operator=(const Startup&) = delete;

    // Steps before the frame on the folder found from `current` (see
    // locateDataFolder): returns false when the program must end (haltText says why).
    bool begin(const std::filesystem::path& current,
               const std::filesystem::path& installFolder = defaultInstallFolder());
    // The same steps on a folder the user named: no search and no chooser.
    bool beginAt(const std::filesystem::path& folder);
    // The frame's opening up to its settings: opens the frame's tables and writes the
    // "Version" row. Returns false when the program must end; done once however often
    // it is asked.
    bool openFrame();
    // The frame's opening after the version row: loads every setting (applying the
    // command line and fixing the current user), then configures the event log from
    // them and logs "Debugging Active" when debug mode is on.
    void loadSettings(const CommandLineSwitches& commandLine);
    // QD_Files_KILL; the managers and tables go with this object.
    void end();

    UserInterface& ui() { return ui_; }
    const Clock& clock() const { return clock_; }
    const DataFolder& dataFolder() const { return folder_; }
    DataSet& dataSet() { return *ds_; }
    bool begun() const { return ds_ != nullptr; }
    ErrorClass& errors() { return errors_; }
    INIClass& positions() { return *positions_; }
    FrameTables& tables() { return *tables_; }
    ProgramSettings& settings() { return settings_; }
    EventLog& log() { return log_; }
    const std::string& haltText() const { return halt_; }

private:
    void initialise();

    UserInterface& ui_;
    const Clock& clock_;
    ErrorClass errors_;
    ProgramSettings settings_;
    EventLog log_;
    DataFolder folder_;
    std::unique_ptr<INIClass> positions_;
    std::unique_ptr<DataSet> ds_;
    std::unique_ptr<FrameTables> tables_;
    std::string halt_;
    bool initDone_ = false;
};

// Writes one row of Configuration (inserting it when missing).
Level writeConfigurationRow(Table<ConfigurationRecord>& cf, const std::string& name,
                            const std::string& value);

} // namespace qd
