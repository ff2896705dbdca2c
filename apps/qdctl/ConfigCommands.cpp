// config get / set / list: the settings as the program uses them.
//
// Values are shown as the program uses them (inverted keys turned around, the
// minimum of ScriptingDelay, 7 for a BurstSize of 0) and given the same way;
// `set` stores them as the options window does. Reading changes nothing: a value
// that the program would copy from qd98.INI into the table at its next start is
// shown with the source "qd98.INI".
#include "ConfigCommands.h"

#include "FieldValues.h"

#include "data/Settings.h"

namespace qdctl {
namespace {

const qd::SettingDef* settingArg(Context& c, const std::string& key) {
    const qd::SettingDef* def = qd::findSettingDef(key);
    if (!def) c.failed("unknown setting '" + key + "' (see: qdctl config list)");
    return def;
}

std::string jsonValue(const qd::SettingDef& def, const std::string& effective) {
    return def.kind == qd::SettingKind::Text ? jsonEscape(effective) : effective;
}

std::string jsonSetting(const qd::SettingDef& def, const std::string& effective, qd::SettingSource source) {
    return "{\"key\": " + jsonEscape(std::string(def.key)) + ", \"value\": " + jsonValue(def, effective) +
           ", \"source\": " + jsonEscape(std::string(qd::sourceName(source))) + "}";
}

// A secret setting (the lock password) is never shown, only whether it is set.
std::string effectiveOf(const qd::SettingDef& def, const qd::SettingRead& r) {
    const std::string value = qd::effectiveText(def, r.ok ? std::string_view(r.value) : def.defaultText);
    if (def.secret) return value.empty() ? "(not set)" : "(set)";
    return value;
}

void noteUnreadable(Context& c, const qd::SettingRead& r) {
    c.io.err << "qdctl: cannot read the Configuration table: " << r.error << "\n";
}

int configGet(Context& c, const std::vector<std::string>& args, std::size_t pos) {
    if (args.size() != pos + 1) return c.usage("config get takes one KEY");
    const qd::SettingDef* def = settingArg(c, args[pos]);
    if (!def) return kFailed;
    qd::SettingsStore store(c.data());
    const qd::SettingRead r = store.peek(*def);
    if (!r.ok) {
        noteUnreadable(c, r);
        return kFailed;
    }
    const std::string value = effectiveOf(*def, r);
    c.io.out << (c.json ? jsonSetting(*def, value, r.source) : value) << "\n";
    return kOk;
}

int configSet(Context& c, const std::vector<std::string>& args, std::size_t pos) {
    if (args.size() != pos + 2) return c.usage("config set takes KEY VALUE");
    const qd::SettingDef* def = settingArg(c, args[pos]);
    if (!def) return kFailed;
    if (std::holds_alternative<std::monostate>(def->member))
        return c.failed(std::string(def->key) +
                        " is written by the program at every start and cannot be set");
    std::string error;
    const auto stored = qd::storedTextFor(*def, args[pos + 1], error);
    if (!stored) return c.failed(error);
    qd::SettingsStore store(c.data());
    if (!store.write(*def, *stored)) return kFailed; // the message was printed
    const std::string value =
        def->secret ? std::string(stored->empty() ? "(not set)" : "(set)") : qd::effectiveText(*def, *stored);
    if (def->kind == qd::SettingKind::Number && value != *stored)
        c.io.err << "qdctl: note: " << def->key << " is stored as " << *stored << "; the program uses "
                 << value << "\n";
    const auto source =
        def->home == qd::SettingHome::Table ? qd::SettingSource::Table : qd::SettingSource::LegacyIni;
    c.io.out << (c.json ? jsonSetting(*def, value, source) : std::string(def->key) + "=" + value) << "\n";
    return kOk;
}

int configList(Context& c, const std::vector<std::string>& args, std::size_t pos) {
    if (args.size() != pos) return c.usage("config list takes no arguments");
    qd::SettingsStore store(c.data());
    int rc = kOk;
    for (const qd::SettingDef& def : qd::settingDefs()) {
        const qd::SettingRead r = store.peek(def);
        if (!r.ok && rc == kOk) {
            noteUnreadable(c, r);
            rc = kFailed;
        }
        const std::string value = effectiveOf(def, r);
        if (c.json) {
            c.io.out << jsonSetting(def, value, r.source) << "\n";
        } else {
            std::string key(def.key);
            std::string source(qd::sourceName(r.source));
            key.resize(std::max<std::size_t>(key.size(), 23), ' ');
            source.resize(std::max<std::size_t>(source.size(), 9), ' ');
            c.io.out << key << source << value << "\n";
        }
    }
    return rc;
}

} // namespace

int cmdConfig(Context& c, const std::vector<std::string>& args, std::size_t pos) {
    if (pos >= args.size()) return c.usage("config needs get, set or list");
    const std::string& sub = args[pos];
    if (sub == "get") return configGet(c, args, pos + 1);
    if (sub == "set") return configSet(c, args, pos + 1);
    if (sub == "list") return configList(c, args, pos + 1);
    return c.usage("unknown config command '" + sub + "'");
}

} // namespace qdctl
