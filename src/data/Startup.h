// How the program finds its data folder and the start-up steps up to the main
// frame taking over.
#pragma once

#include "data/DataSet.h"
#include "data/ErrorClass.h"
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

// The program's start: the data folder, its managers, the library's INIT and
// the first steps of the frame's opening (open the frame's tables, the
// Configuration table with the version row). Later steps (settings, log,
// windows) belong to the parts that own them.
class Startup {
public:
    explicit Startup(UserInterface& ui) : ui_(ui), errors_(&ui) {}
    ~Startup();

    // Steps before the frame: returns false when the program must end (haltText says why).
    bool begin(const std::filesystem::path& current,
               const std::filesystem::path& installFolder = defaultInstallFolder());
    // The frame's opening up to its settings: returns false when the program must end.
    bool openFrame();
    // The frame's opening after the version row: loads every setting into
    // `settings` (applying the command line and fixing the current user), then
    // configures the process's event log from them and logs "Debugging Active"
    // when debug mode is on.
    void loadSettings(const CommandLineSwitches& commandLine, ProgramSettings& settings = programSettings());
    // QD_Files_KILL; the managers go with this object.
    void end();

    const DataFolder& dataFolder() const { return folder_; }
    DataSet& dataSet() { return *ds_; }
    ErrorClass& errors() { return errors_; }
    INIClass& positions() { return *positions_; }
    FrameTables& tables() { return *tables_; }
    const std::string& haltText() const { return halt_; }

private:
    UserInterface& ui_;
    ErrorClass errors_;
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
