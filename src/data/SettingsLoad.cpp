// Loading every setting at start-up, the current user, and the values that live
// in qd98.INI only.
#include "data/Settings.h"

#include "data/LockPassword.h"

#include "data/EventLog.h"
#include "data/Text.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace qd {
namespace {

constexpr const char* kWarningSection = "Warning";

std::int32_t iniNumber(const IniFile& ini, const char* section, const char* key) {
    return parseStoredNumber(ini.get(section, key)).value_or(0);
}

} // namespace

std::string networkUserName() {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd pw{};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &pw, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_name && *found->pw_name)
        return found->pw_name;
    for (const char* var : {"LOGNAME", "USER"})
        if (const char* v = std::getenv(var); v && *v) return v;
    return {};
}

void loadAllSettings(SettingsStore& store, ProgramSettings& settings, const SettingsEnvironment& env) {
    for (const SettingDef& def : settingDefs()) {
        if (std::holds_alternative<std::monostate>(def.member)) continue; // "Version" is only written
        const SettingRead r = store.read(def);
        // A store failure leaves the default.
        assignSetting(settings, def, r.ok ? std::string_view(r.value) : def.defaultText);
    }
    // A lock password stored plain by an older data set is kept as its hash from now on.
    upgradeLockPassword(store, settings);
    settings.ININame = kProgramIniName;
    settings.CommandLine = env.commandLine;
    // "/I": the dispatcher stays inactive for this run; what is stored is kept.
    if (env.commandLine.inactive) settings.StartUpActive = false;

    // The current user.
    const std::string network = text::trimmedRight(env.networkUser);
    if (settings.MultiUser) {
        if (!network.empty()) settings.UserID = network;
        settings.UserName = settings.UserID;
    } else {
        settings.UserName.clear();
    }
    settings.User = network;
    if (env.commandLine.user) {
        const std::string named = text::trimmedRight(*env.commandLine.user);
        if (!named.empty()) settings.User = named;
    }
    // The Users row takes at most 40 characters; so does the variable, so that
    // the per-user rows of this user match it.
    settings.User = fitText(settings.User, FieldType::String, 40);
    ensureUserExists(store.dataSet(), settings.User);
}

bool writeAllSettings(SettingsStore& store, const ProgramSettings& settings) {
    bool ok = true;
    for (const SettingDef& def : settingDefs()) {
        if (def.home != SettingHome::Table || std::holds_alternative<std::monostate>(def.member)) continue;
        std::string stored = storedTextOf(settings, def);
        // A secret is never stored as typed.
        if (def.secret && !isLockPasswordHash(stored)) {
            bool hashed = false;
            stored = hashLockPassword(stored, &hashed);
            if (!hashed) {
                ok = false;
                continue;
            }
        }
        ok = store.write(def, stored) && ok;
    }
    return ok;
}

bool ensureUserExists(DataSet& ds, const std::string& user) {
    if (user.empty()) return true;
    Table<UsersRecord> users(ds, tables::Users());
    if (users.open() != Level::Benign) return false;
    users.rec = {};
    users.rec.User = user;
    if (users.fetch("U_:KeyUser") == Level::Benign) return true;
    users.rec = {};
    users.rec.User = user;
    users.rec.SourcePath = ds.folder().string();
    return users.insert() == Level::Benign;
}

EventLogConfig eventLogConfig(const ProgramSettings& settings, const std::filesystem::path& dataFolder) {
    EventLogConfig c;
    c.dataFolder = dataFolder;
    c.dateFormat = settings.DateFormat;
    c.logEvents = settings.LogEvents;
    c.debugMode = settings.Debug;
    return c;
}

AdvanceWarningDefaults readAdvanceWarningDefaults(const std::filesystem::path& dataFolder) {
    const IniFile ini(dataFolder, kProgramIniName);
    AdvanceWarningDefaults d;
    d.Active = iniNumber(ini, kWarningSection, "Active") != 0;
    d.DateWarning = iniNumber(ini, kWarningSection, "DateWarning");
    d.TimeWarning = iniNumber(ini, kWarningSection, "TimeWarning");
    return d;
}

IniStatus writeAdvanceWarningDefaults(const std::filesystem::path& dataFolder,
                                      const AdvanceWarningDefaults& d) {
    IniFile ini(dataFolder, kProgramIniName);
    // One write for the three keys, so a reader never sees half of a change.
    return ini.modify([&](IniDocument& doc) {
        bool changed = doc.set(kWarningSection, "Active", d.Active ? "1" : "0");
        changed = doc.set(kWarningSection, "DateWarning", std::to_string(d.DateWarning)) || changed;
        changed = doc.set(kWarningSection, "TimeWarning", std::to_string(d.TimeWarning)) || changed;
        return changed;
    });
}

} // namespace qd
