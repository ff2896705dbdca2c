#include "data/Settings.h"

#include "data/LockPassword.h"
#include "data/Pictures.h"
#include "data/Text.h"
#include "data/TextWidth.h"

#include "data/Pictures.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace qd {
namespace {

using P = ProgramSettings;
constexpr auto kFlag = SettingKind::Flag;
constexpr auto kNumber = SettingKind::Number;
constexpr auto kText = SettingKind::Text;
constexpr auto kNone = LegacyIni::None;
constexpr auto kIni = LegacyIni::Program;
constexpr auto kSys = LegacyIni::System;
constexpr auto kTable = SettingHome::Table;
constexpr auto kNoAdjust = SettingAdjust::None;

// clang-format off
const SettingDef kDefs[] = {
    {"SysLock", kFlag, 0, "0", kSys, false, kNoAdjust, kTable, &P::SysLock, "System Locked"},
    {"SysPwd", kText, 32, "", kSys, false, kNoAdjust, kTable, &P::SysPwd, "Password to lock/unlock system", true},
    {"LogExitCodes", kFlag, 0, "0", kSys, false, kNoAdjust, kTable, &P::LogExitCodes, "Log exit codes"},
    {"SkipIfDaysPassed", kNumber, 0, "0", kIni, false, kNoAdjust, kTable, &P::SkipIfDaysPassed,
     "Skip tasks if overdue by N day(s)"},
    {"HistoryExpires", kNumber, 0, "0", kIni, false, kNoAdjust, kTable, &P::HistoryExpires,
     "Removed completed tasks after N days"},
    {"RemoveUncompleted", kFlag, 0, "0", kIni, false, kNoAdjust, kTable, &P::RemoveUncompleted,
     "Also remove uncompleted tasks"},
    {"StartUpSchedule", kFlag, 0, "0", kIni, true, kNoAdjust, kTable, &P::StartUpSchedule,
     "Show Schedule at start up"},
    {"StartUpToDo", kFlag, 0, "0", kIni, false, kNoAdjust, kTable, &P::StartUpToDo, "Show To Do List at start up"},
    {"StartUpClipboardSaver", kFlag, 0, "0", kIni, false, kNoAdjust, kTable, &P::StartUpClipboardSaver,
     "Show Clipboard Manager at start up"},
    {"StartUpContacts", kFlag, 0, "0", kIni, false, kNoAdjust, kTable, &P::StartUpContacts,
     "Show Contacts at start up"},
    {"StartUpActive", kFlag, 0, "0", kIni, true, kNoAdjust, kTable, &P::StartUpActive, "Scheduler active"},
    {"NewProc16", kFlag, 0, "0", kIni, false, kNoAdjust, kTable, &P::NewProc16,
     "Start each 16-bit application in a new process (NT Only)"},
    {"ActiveOnly", kFlag, 0, "0", kIni, false, kNoAdjust, kTable, &P::ActiveOnly,
     "Only show active tasks initially"},
    {"MinimizeOnCloseRequest", kFlag, 0, "0", kIni, false, kNoAdjust, kTable, &P::MinimizeOnCloseRequest,
     "Minimize to system tray instead of exiting"},
    {"StartUpMinimized", kFlag, 0, "0", kIni, false, kNoAdjust, kTable, &P::StartUpMinimized,
     "Minimize at start up"},
    {"FullSchedule", kFlag, 0, "0", kIni, false, kNoAdjust, kTable, &P::FullSchedule,
     "Show full schedule initially (\"All By Date\" tab)"},
    {"NoTray", kFlag, 0, "0", kIni, false, kNoAdjust, kTable, &P::NoTray, "Do not place in tray when minimized"},
    {"RIFO", kFlag, 0, "0", kIni, false, kNoAdjust, kTable, &P::RIFO, "Reports include future occurrences"},
    {"MonitorClipboard", kFlag, 0, "0", kIni, false, kNoAdjust, kTable, &P::MonitorClipboard, "Monitor clipboard"},
    {"UseQDMsg", kFlag, 0, "1", kIni, false, kNoAdjust, kTable, &P::UseQDMsg,
     "Use external message program (\"start in new process\")"},
    {"UseModalMessage", kFlag, 0, "0", kIni, false, kNoAdjust, kTable, &P::UseModalMessage,
     "Use \"Stay on top\" attribute for message windows"},
    {"RepeatAlarmInterval", kNumber, 0, "0", kIni, false, kNoAdjust, kTable, &P::RepeatAlarmInterval,
     "Repeat alarms every # seconds:"},
    {"SnoozeInterval", kNumber, 0, "0", kIni, false, kNoAdjust, kTable, &P::SnoozeInterval,
     "Snooze interval (minutes):"},
    {"MaxAlarmTime", kNumber, 0, "0", kIni, false, kNoAdjust, kTable, &P::MaxAlarmTime,
     "Maximum alarm time (minutes):"},
    {"LogEvents", kFlag, 0, "0", kIni, false, kNoAdjust, kTable, &P::LogEvents, "Log events to ASCII text file"},
    {"ExclHidden", kFlag, 0, "0", kIni, false, kNoAdjust, kTable, &P::ExclHidden,
     "Exclude hidden windows in comparisons and lists"},
    {"SaveScripts", kFlag, 0, "0", kIni, false, kNoAdjust, kTable, &P::SaveScripts,
     "Save script information on completed tasks"},
    {"TranslateFilenames", kFlag, 0, "0", kIni, false, kNoAdjust, kTable, &P::TranslateFilenames,
     "Translate \"values\" when starting a program"},
    {"MaximizeOnRun", kFlag, 0, "0", kIni, false, kNoAdjust, kTable, &P::MaximizeOnRun,
     "If iconized, restore before running a \"run program\" task"},
    {"ScriptingDelay", kNumber, 0, "0", kIni, false, SettingAdjust::AtLeast10, kTable, &P::ScriptingDelay,
     "Send Interval (1/100ths of a second):"},
    {"BurstSize", kNumber, 0, "0", kIni, false, SettingAdjust::ZeroMeans7, kTable, &P::BurstSize,
     "Maximum number of characters per send group:"},
    {"DateFormat", kText, 6, "d3", kSys, false, kNoAdjust, kTable, &P::DateFormat, "Display date in format:"},
    {"UseWinMessage", kFlag, 0, "0", kIni, false, kNoAdjust, kTable, &P::UseWinMessage,
     "Show task messages as plain system message boxes"},
    {"Sender", kText, 255, "", kIni, false, kNoAdjust, kTable, &P::Sender, "E-mail reply-to address"},
    {"SenderName", kText, 255, "", kIni, false, kNoAdjust, kTable, &P::SenderName, "Sender name shown in sent mail"},
    {"Host", kText, 255, "", kIni, false, kNoAdjust, kTable, &P::Host, "SMTP mail host"},
    {"Org", kText, 20, "", kIni, false, kNoAdjust, kTable, &P::Org, "Organisation named in sent mail"},
    {"NSender", kText, 255, "", kIni, false, kNoAdjust, kTable, &P::NSender, "News reply-to address"},
    {"NSenderName", kText, 255, "", kIni, false, kNoAdjust, kTable, &P::NSenderName, "News sender name"},
    {"NHost", kText, 255, "", kIni, false, kNoAdjust, kTable, &P::NHost, "News host"},
    {"NOrg", kText, 255, "", kIni, false, kNoAdjust, kTable, &P::NOrg, "News organisation"},
    {"MailUser", kText, 255, "", kNone, false, kNoAdjust, kTable, &P::MailUser, "SMTP login name (blank: none)"},
    {"MailSecurity", kText, 20, "", kNone, false, kNoAdjust, kTable, &P::MailSecurity,
     "STARTTLS: blank when offered, Require or Off"},
    {"MailCAFile", kText, 255, "", kNone, false, kNoAdjust, kTable, &P::MailCAFile,
     "Trusted certificates for STARTTLS: a file or a folder (blank: the system's)"},
    {"CM:Mode", kText, 10, "Normal", kSys, false, kNoAdjust, kTable, &P::CM_Mode, "Clipboard manager mode"},
    {"CM:OnTop", kFlag, 0, "1", kSys, false, kNoAdjust, kTable, &P::CM_OnTop,
     "Stay on top (External Clipboard Manager)"},
    {"CM:UseEx", kFlag, 0, "0", kSys, false, kNoAdjust, kTable, &P::CM_UseEx, "Use external Clipboard Manager"},
    {"AltFmt", kFlag, 0, "0", kSys, false, kNoAdjust, kTable, &P::AltFmt,
     "Use alternate format for list of scheduled tasks"},
    {"MultiUser", kFlag, 0, "0", kIni, false, kNoAdjust, kTable, &P::MultiUser,
     "Several users share the data set"},
    {"UserID", kText, 30, "", kIni, false, kNoAdjust, kTable, &P::UserID,
     "User identification when not in multi-user mode"},
    {"MaxClipboardEntries", kNumber, 0, "50", kNone, false, kNoAdjust, kTable, &P::MaxClipboardEntries,
     "Maximum number of entries to retain:"},
    {"Version", kText, 255, "", kNone, false, kNoAdjust, kTable, std::monostate{},
     "Program version, written at every start"},
    {"Debug", kFlag, 0, "0", kIni, false, kNoAdjust, SettingHome::ProgramIni, &P::Debug,
     "Debug mode (qd98.INI only)"},
};
// clang-format on

const DateFormatChoice kDateFormats[] = {
    {"Windows Default", "d17"}, {"Windows Default 2", "d18"},
    {"October 31, 1959", "d4"}, {"OCT 31,1959", "d3"},
    {"10/31/59", "d1"},         {"10/31/1959", "d2"},
    {"31 OCT 59", "d7"},        {"31 OCT 1959", "d8"},
    {"31/10/59", "d5"},         {"31/10/1959", "d6"},
    {"59/10", "d15"},           {"1959/10", "d16"},
    {"10/59", "d13"},           {"10/1959", "d14"},
    {"Year Only", "n4b"},
};

constexpr const char* kSettingsSection = "Settings";

// The value given to a number setting when its stored text is not a number.
std::int32_t defaultNumber(const SettingDef& def) {
    return parseStoredNumber(def.defaultText).value_or(0);
}

std::int32_t adjust(const SettingDef& def, std::int32_t n) {
    switch (def.adjust) {
    case SettingAdjust::AtLeast10:
        return std::max<std::int32_t>(n, 10);
    case SettingAdjust::ZeroMeans7:
        return n <= 0 ? 7 : std::min<std::int32_t>(n, 255);
    case SettingAdjust::None:
        break;
    }
    return n;
}

} // namespace

std::span<const SettingDef> settingDefs() {
    return kDefs;
}

const SettingDef* findSettingDef(std::string_view key) {
    for (const SettingDef& d : kDefs)
        if (equalsNoCase(d.key, key)) return &d;
    return nullptr;
}

std::string_view sourceName(SettingSource source) {
    switch (source) {
    case SettingSource::Table:
        return "table";
    case SettingSource::LegacyIni:
        return kProgramIniName;
    case SettingSource::Default:
        break;
    }
    return "default";
}

std::optional<std::int32_t> parseStoredNumber(std::string_view text) {
    text = text::trimSpace(text);
    if (text.empty()) return 0;
    bool negative = false;
    if (text.front() == '+' || text.front() == '-') {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // Digits, optionally followed by a fraction that is dropped.
    const std::size_t point = text.find('.');
    std::string_view whole = text.substr(0, point);
    if (point != std::string_view::npos) {
        const std::string_view fraction = text.substr(point + 1);
        if (!std::all_of(fraction.begin(), fraction.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::nullopt;
        if (whole.empty() && fraction.empty()) return std::nullopt;
    } else if (whole.empty()) {
        return std::nullopt;
    }
    long long value = 0;
    for (char c : whole) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > static_cast<long long>(std::numeric_limits<std::int32_t>::max()) + 1) return std::nullopt;
    }
    if (negative) value = -value;
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

bool decodeFlag(const SettingDef& def, std::string_view stored) {
    const std::int32_t n = parseStoredNumber(stored).value_or(defaultNumber(def));
    // An inverted key stores 1 minus the setting: only a stored 1 turns it off.
    return def.inverted ? n != 1 : n != 0;
}

std::int32_t decodeNumber(const SettingDef& def, std::string_view stored) {
    return adjust(def, parseStoredNumber(stored).value_or(defaultNumber(def)));
}

std::string decodeText(const SettingDef& def, std::string_view stored) {
    if (def.secret && isLockPasswordHash(stored)) return std::string(stored);
    return text::trimmedRight(cutText(stored, static_cast<std::size_t>(def.width)));
}

std::string effectiveText(const SettingDef& def, std::string_view stored) {
    switch (def.kind) {
    case SettingKind::Flag:
        return decodeFlag(def, stored) ? "1" : "0";
    case SettingKind::Number:
        return std::to_string(decodeNumber(def, stored));
    case SettingKind::Text:
        break;
    }
    return decodeText(def, stored);
}

std::optional<std::string> storedTextFor(const SettingDef& def, std::string_view effective,
                                         std::string& error) {
    const std::string key(def.key);
    switch (def.kind) {
    case SettingKind::Flag: {
        const std::string_view v = text::trimSpace(effective);
        std::optional<bool> on;
        for (std::string_view yes : {"1", "on", "yes", "true"})
            if (equalsNoCase(v, yes)) on = true;
        for (std::string_view no : {"0", "off", "no", "false"})
            if (equalsNoCase(v, no)) on = false;
        if (!on) {
            error = key + " is on or off: give 1 or 0 (or on/off, yes/no, true/false), not '" +
                    std::string(effective) + "'";
            return std::nullopt;
        }
        return std::string(*on != def.inverted ? "1" : "0");
    }
    case SettingKind::Number: {
        std::string_view v = text::trimSpace(effective);
        if (v.size() > 1 && v.front() == '+') v.remove_prefix(1);
        std::int32_t n = 0;
        const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
        if (v.empty() || ec != std::errc() || end != v.data() + v.size()) {
            error = key + " is a whole number, not '" + std::string(effective) + "'";
            return std::nullopt;
        }
        if (def.adjust == SettingAdjust::ZeroMeans7 && (n < 0 || n > 255)) {
            error = key + " takes 0 to 255 (0 means 7), not " + std::to_string(n);
            return std::nullopt;
        }
        return std::to_string(n);
    }
    case SettingKind::Text:
        break;
    }
    std::string text = text::trimmedRight(effective);
    if (text.size() > static_cast<std::size_t>(def.width)) {
        error = key + " holds at most " + std::to_string(def.width) + " characters";
        return std::nullopt;
    }
    if (def.member == SettingMember(&ProgramSettings::DateFormat)) {
        const DateFormatChoice* choice = findDateFormatChoice(text);
        if (!choice) {
            error = "DateFormat is one of";
            for (const auto& c : dateFormatChoices())
                error += " " + std::string(c.picture);
            error += ", not '" + text + "'";
            return std::nullopt;
        }
        text = choice->picture;
    }
    if (def.secret) {
        bool ok = false;
        text = hashLockPassword(text, &ok);
        if (!ok) {
            error = key + " could not be stored: hashing the password failed";
            return std::nullopt;
        }
    }
    return text;
}

void assignSetting(ProgramSettings& settings, const SettingDef& def, std::string_view stored) {
    if (auto flag = std::get_if<bool ProgramSettings::*>(&def.member)) {
        settings.*(*flag) = decodeFlag(def, stored);
    } else if (auto number = std::get_if<std::int32_t ProgramSettings::*>(&def.member)) {
        settings.*(*number) = decodeNumber(def, stored);
    } else if (auto text = std::get_if<std::string ProgramSettings::*>(&def.member)) {
        settings.*(*text) = decodeText(def, stored);
    }
}

std::string storedTextOf(const ProgramSettings& settings, const SettingDef& def) {
    if (auto flag = std::get_if<bool ProgramSettings::*>(&def.member))
        return settings.*(*flag) != def.inverted ? "1" : "0";
    if (auto number = std::get_if<std::int32_t ProgramSettings::*>(&def.member))
        return std::to_string(settings.*(*number));
    if (auto text = std::get_if<std::string ProgramSettings::*>(&def.member))
        return text::trimmedRight(settings.*(*text));
    return {};
}

// ---------------------------------------------------------------------------
// SettingsStore

SettingsStore::SettingsStore(DataSet& ds) : ds_(ds), table_(ds, tables::Configuration()) {}

void SettingsStore::showError(const std::string& text) {
    if (UserInterface* ui = ds_.errors().userInterface()) ui->message("Error!", text, MessageIcon::Hand);
}

SettingsStore::Lookup SettingsStore::lookup(std::string_view key, bool mayCreate) {
    if (!table_.opened()) {
        // A failed open is not retried by this store, so one broken table does not
        // ask the same question for every setting.
        if (openFailed_) return Lookup::Failed;
        OpenOptions options;
        options.shared = true;
        options.createIfMissing = mayCreate;
        options.neverCreate = !mayCreate;
        if (table_.open(options) != Level::Benign) {
            if (!mayCreate && table_.openStatus() == OpenStatus::NotFound) return Lookup::Missing;
            openFailed_ = true;
            return Lookup::Failed;
        }
    }
    table_.rec = {};
    table_.rec.DataType = std::string(key);
    switch (table_.fetch("CF:KeyDataType")) {
    case Level::Benign:
        return Lookup::Found;
    case Level::Notify:
        return table_.lastError().code == kStoreNotFound ? Lookup::Missing : Lookup::Failed;
    default:
        return Lookup::Failed;
    }
}

SettingRead SettingsStore::read(std::string_view key, std::string_view defaultText, LegacyIni legacy) {
    const std::string name(key);
    switch (lookup(key, true)) {
    case Lookup::Found:
        return {table_.rec.DataValue, SettingSource::Table, true, {}};
    case Lookup::Failed: {
        const std::string error = table_.lastError().text;
        // A table that cannot be opened is reported once, not for every setting.
        const bool openFailure = !table_.opened();
        if (!openFailure || !openErrorShown_)
            showError("Error retrieving configuration information code " + name + " - " + error);
        if (openFailure) openErrorShown_ = true;
        return {std::string(), SettingSource::Default, false, error};
    }
    case Lookup::Missing:
        break;
    }
    SettingRead r{std::string(defaultText), SettingSource::Default, true, {}};
    if (legacy == LegacyIni::Program) {
        if (auto v = IniFile(ds_.folder(), kProgramIniName).find(kSettingsSection, key)) {
            r.value = *v;
            r.source = SettingSource::LegacyIni;
        }
    }
    r.value = text::trimmedRight(r.value);
    if (r.value.empty()) return r;
    table_.rec = {};
    table_.rec.DataType = name;
    table_.rec.DataValue = r.value;
    if (table_.tryInsert() != Level::Benign) {
        // Another process may have added the row since the look-up: then its value counts.
        const std::string error = table_.lastError().text;
        if (lookup(key, true) == Lookup::Found) return {table_.rec.DataValue, SettingSource::Table, true, {}};
        showError("Error retrieving configuration information code " + name + " - " + error);
    }
    return r;
}

SettingRead SettingsStore::peek(std::string_view key, std::string_view defaultText, LegacyIni legacy) {
    SettingRead r{std::string(defaultText), SettingSource::Default, true, {}};
    switch (lookup(key, false)) {
    case Lookup::Found:
        return {table_.rec.DataValue, SettingSource::Table, true, {}};
    case Lookup::Failed:
        r.ok = false;
        r.error = table_.lastError().text;
        break;
    case Lookup::Missing:
        break;
    }
    if (legacy == LegacyIni::Program) {
        if (auto v = IniFile(ds_.folder(), kProgramIniName).find(kSettingsSection, key)) {
            r.value = text::trimmedRight(*v);
            r.source = SettingSource::LegacyIni;
        }
    }
    return r;
}

SettingRead SettingsStore::read(const SettingDef& def) {
    if (def.home == SettingHome::ProgramIni) return peek(def);
    return read(def.key, def.defaultText, def.legacy);
}

SettingRead SettingsStore::peek(const SettingDef& def) {
    if (def.home == SettingHome::ProgramIni) {
        SettingRead r{std::string(def.defaultText), SettingSource::Default, true, {}};
        if (auto v = IniFile(ds_.folder(), kProgramIniName).find(kSettingsSection, def.key)) {
            r.value = text::trimmedRight(*v);
            r.source = SettingSource::LegacyIni;
        }
        return r;
    }
    return peek(def.key, def.defaultText, def.legacy);
}

bool SettingsStore::write(std::string_view key, std::string_view value) {
    const std::string name(key);
    const Lookup found = lookup(key, true);
    if (found == Lookup::Failed) {
        showError("Error writing configuration information.  Code " + name + " - " + table_.lastError().text);
        return false;
    }
    Level l = Level::Benign;
    std::string error;
    if (found == Lookup::Missing) {
        table_.rec = {};
        table_.rec.DataType = name;
        table_.rec.DataValue = std::string(value);
        l = table_.tryInsert();
        error = table_.lastError().text;
        if (l != Level::Benign && lookup(key, true) == Lookup::Found) {
            // Added by another process in the meantime: store over it.
            table_.rec.DataValue = std::string(value);
            l = table_.tryUpdate();
            error = table_.lastError().text;
        }
    } else if (table_.rec.DataValue != text::trimmedRight(value)) {
        table_.rec.DataValue = std::string(value);
        l = table_.tryUpdate();
        error = table_.lastError().text;
    }
    if (l != Level::Benign) {
        showError("Error writing configuration information.  Code " + name + " - " + error);
        return false;
    }
    return true;
}

bool SettingsStore::write(const SettingDef& def, std::string_view storedText) {
    if (def.home == SettingHome::ProgramIni) {
        const IniStatus s = IniFile(ds_.folder(), kProgramIniName).set(kSettingsSection, def.key, storedText);
        if (!s)
            showError("Error writing configuration information.  Code " + std::string(def.key) + " - " +
                      s.message);
        return s.ok;
    }
    return write(def.key, storedText);
}

// ---------------------------------------------------------------------------
// Date formats

std::span<const DateFormatChoice> dateFormatChoices() {
    return kDateFormats;
}

const DateFormatChoice* findDateFormatChoice(std::string_view picture) {
    picture = text::trimSpace(picture);
    if (!picture.empty() && picture.front() == '@') picture.remove_prefix(1);
    for (const DateFormatChoice& c : kDateFormats)
        if (equalsNoCase(c.picture, picture)) return &c;
    return nullptr;
}

} // namespace qd
