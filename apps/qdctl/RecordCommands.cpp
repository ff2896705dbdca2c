#include "Context.h"
#include "FieldValues.h"

#include "data/FileManager.h"
#include "data/IniFile.h"
#include "data/RelationManager.h"
#include "data/Startup.h"

#include <algorithm>
#include <filesystem>

namespace qdctl {
namespace {

const qd::TableDef* tableArg(Context& c, const std::string& name) {
    const qd::TableDef* t = qd::tables::find(name);
    if (!t) {
        c.failed("unknown table '" + name + "' (see: qdctl table list)");
        return nullptr;
    }
    if (t->kind != qd::TableKind::Store) {
        c.failed(t->label + " is a text file (" + t->storageName + "), not a keyed table");
        return nullptr;
    }
    return t;
}

struct Assignment {
    int field;
    qd::FieldValue value;
};

// kOk, kUsage for a malformed argument, kFailed for an unknown field or a bad value.
int parseAssignments(Context& c, const qd::TableDef& t, const std::vector<std::string>& args,
                     std::size_t from, std::size_t to, std::vector<Assignment>& out) {
    for (std::size_t i = from; i < to; ++i) {
        const std::string& a = args[i];
        const auto eq = a.find('=');
        if (eq == std::string::npos || eq == 0) {
            return c.usage("expected FIELD=VALUE, got '" + a + "'");
        }
        const std::string name = a.substr(0, eq);
        const int f = t.findField(name);
        if (f < 0) {
            return c.failed("unknown field '" + name + "' of table " + t.label);
        }
        std::string error;
        auto v = parseValue(t.field(f), a.substr(eq + 1), error);
        if (!v) {
            return c.failed(t.qualifiedName(f) + ": " + error);
        }
        if (std::holds_alternative<std::string>(*v)) {
            const std::string& text = std::get<std::string>(*v);
            if (qd::fitText(text, t.field(f).type, t.field(f).width) !=
                qd::fitText(text, t.field(f).type, 1 << 30))
                c.io.err << "qdctl: note: " << t.qualifiedName(f) << " holds " << t.field(f).width
                         << " characters; the text was cut\n";
        }
        out.push_back({f, *v});
    }
    return kOk;
}

// The key made of exactly the given fields, the primary key first.
int keyOf(const qd::TableDef& t, const std::vector<Assignment>& given) {
    auto matches = [&](const qd::KeyDef& k) {
        if (k.components.size() != given.size()) return false;
        for (const auto& a : given) {
            bool found = false;
            for (const auto& comp : k.components)
                found = found || comp.field == a.field;
            if (!found) return false;
        }
        return true;
    };
    for (int pass = 0; pass < 3; ++pass)
        for (std::size_t k = 0; k < t.keys.size(); ++k) {
            const auto& key = t.keys[k];
            const bool wanted = pass == 0 ? key.primary : pass == 1 ? key.unique : true;
            if (wanted && matches(key)) return static_cast<int>(k);
        }
    return -1;
}

std::string keyFieldNames(const qd::TableDef& t) {
    std::string out;
    for (const auto& k : t.keys) {
        if (!k.unique) continue;
        out += out.empty() ? "" : ", ";
        out += k.name + " (";
        for (std::size_t i = 0; i < k.components.size(); ++i)
            out += (i ? "," : "") + t.qualifiedName(k.components[i].field);
        out += ")";
    }
    return out;
}

int printLevelFailure(Context& c, qd::Level l, qd::FileManager& t) {
    if (l == qd::Level::Benign) return kOk;
    // The message itself was printed by the error manager; add the store's detail when there was no message.
    if (c.errors().last().id == 0 && !t.lastError().text.empty())
        c.io.err << "qdctl: " << t.lastError().text << "\n";
    return kFailed;
}

bool openTable(Context& c, qd::FileManager& t) {
    const qd::Level l = t.open();
    if (l == qd::Level::Benign) return true;
    if (!c.errors().haltText().empty())
        c.io.err << c.errors().haltText() << "\n";
    else if (!t.lastError().text.empty())
        c.io.err << "qdctl: " << t.lastError().text << "\n";
    return false;
}

void printKeyValues(Context& c, const qd::FileManager& t) {
    const qd::KeyDef* k = t.def().primaryKey();
    if (!k)
        for (const auto& key : t.def().keys)
            if (key.unique) {
                k = &key;
                break;
            }
    if (!k && !t.def().keys.empty()) k = &t.def().keys.front();
    std::string json = "{";
    std::string line;
    if (k)
        for (std::size_t i = 0; i < k->components.size(); ++i) {
            const int f = k->components[i].field;
            const qd::FieldValue v = t.value(f);
            const std::string text = std::holds_alternative<std::string>(v)
                                         ? std::get<std::string>(v)
                                         : std::to_string(std::get<long long>(v));
            json += (i ? ", " : "") + jsonEscape(t.def().qualifiedName(f)) + ": " +
                    (std::holds_alternative<std::string>(v) ? jsonEscape(text) : text);
            line += (i ? "  " : "") + t.def().qualifiedName(f) + "=" + text;
        }
    c.io.out << (c.json ? json + "}" : line) << "\n";
}

// rec get/set/del: finds the record named by KEYFIELD=VALUE arguments.
int findRecord(Context& c, qd::GenericTable& t, const std::vector<Assignment>& keyArgs) {
    const int key = keyOf(t.def(), keyArgs);
    if (key < 0)
        return c.failed("no key of " + t.def().label +
                        " is made of exactly those fields; unique keys: " + keyFieldNames(t.def()));
    t.clearBuffer();
    for (const auto& a : keyArgs)
        t.setValue(a.field, a.value);
    if (t.fetch(key) != qd::Level::Benign) {
        std::string what;
        for (const auto& a : keyArgs)
            what +=
                (what.empty() ? "" : " ") + t.def().qualifiedName(a.field) + "=" +
                (std::holds_alternative<std::string>(a.value) ? std::get<std::string>(a.value)
                                                              : std::to_string(std::get<long long>(a.value)));
        return c.failed("no " + t.def().label + " record with " + what);
    }
    return kOk;
}

} // namespace

int cmdInit(Context& c, const std::vector<std::string>&, std::size_t) {
    int ready = 0;
    for (const qd::TableDef* def : qd::tables::all()) {
        if (def->kind != qd::TableKind::Store) continue;
        qd::GenericTable t(c.data(), *def);
        if (!openTable(c, t)) return kFailed;
        ++ready;
    }
    if (c.json)
        c.io.out << "{\"folder\": " << jsonEscape(c.data().folder().string()) << ", \"tables\": " << ready
                 << "}\n";
    else
        c.io.out << "Data folder " << c.data().folder().string() << ": " << ready << " tables ready\n";
    return kOk;
}

int cmdTable(Context& c, const std::vector<std::string>& args, std::size_t pos) {
    if (pos >= args.size() || args[pos] != "list") return c.usage("expected: table list");
    for (const qd::TableDef* def : qd::tables::all()) {
        std::string file = def->currentStorageName();
        long long count = -1;
        std::error_code ec;
        if (def->kind == qd::TableKind::Store) {
            const auto loc = c.data().locate(*def);
            file = loc.file.filename().string() + (loc.table == def->label ? "" : "\\!" + loc.table);
            if (std::filesystem::exists(loc.file, ec)) {
                qd::GenericTable t(c.data(), *def);
                qd::OpenOptions o;
                o.neverCreate = true;
                if (t.open(o) == qd::Level::Benign) count = t.recordCount();
            }
        }
        if (c.json) {
            std::string keys = "[";
            for (std::size_t k = 0; k < def->keys.size(); ++k)
                keys += (k ? ", " : "") + jsonEscape(def->keys[k].name);
            keys += "]";
            c.io.out << "{\"table\": " << jsonEscape(def->label)
                     << ", \"prefix\": " << jsonEscape(def->prefix)
                     << ", \"storage\": " << jsonEscape(def->currentStorageName())
                     << ", \"file\": " << jsonEscape(file)
                     << ", \"encrypted\": " << (def->encrypted ? "true" : "false")
                     << ", \"version\": " << def->version << ", \"fields\": " << def->valueCount()
                     << ", \"keys\": " << keys
                     << ", \"records\": " << (count < 0 ? "null" : std::to_string(count)) << "}\n";
        } else {
            c.io.out << def->label << " (" << def->prefix << ":)  " << file
                     << (def->encrypted ? "  encrypted" : "  plain") << "  v" << def->version << "  "
                     << def->valueCount() << " fields  " << def->keys.size() << " keys  "
                     << (count < 0 ? std::string("-") : std::to_string(count)) << " records\n";
        }
    }
    return kOk;
}

namespace {

int cmdRecAdd(Context& c, const qd::TableDef& def, const std::vector<std::string>& args, std::size_t pos) {
    std::vector<Assignment> values;
    if (int rc = parseAssignments(c, def, args, pos, args.size(), values); rc != kOk) return rc;
    qd::GenericTable t(c.data(), def);
    if (!openTable(c, t)) return kFailed;
    t.clearBuffer();
    for (const auto& a : values)
        t.setValue(a.field, a.value);
    if (qd::Level l = t.insert(); l != qd::Level::Benign) return printLevelFailure(c, l, t);
    printKeyValues(c, t);
    return kOk;
}

int cmdRecGet(Context& c, const qd::TableDef& def, const std::vector<std::string>& args, std::size_t pos) {
    std::vector<Assignment> keyArgs;
    if (int rc = parseAssignments(c, def, args, pos, args.size(), keyArgs); rc != kOk) return rc;
    if (keyArgs.empty()) return c.usage("rec get needs KEYFIELD=VALUE");
    qd::GenericTable t(c.data(), def);
    if (!openTable(c, t)) return kFailed;
    if (int rc = findRecord(c, t, keyArgs); rc != kOk) return rc;
    c.io.out << (c.json ? recordJson(t) + "\n" : recordBlock(t));
    return kOk;
}

int cmdRecSet(Context& c, const qd::TableDef& def, const std::vector<std::string>& args, std::size_t pos) {
    std::size_t sep = pos;
    while (sep < args.size() && args[sep] != "--")
        ++sep;
    if (sep >= args.size()) return c.usage("rec set needs KEYFIELD=VALUE... -- FIELD=VALUE...");
    std::vector<Assignment> keyArgs;
    std::vector<Assignment> changes;
    if (int rc = parseAssignments(c, def, args, pos, sep, keyArgs); rc != kOk) return rc;
    if (int rc = parseAssignments(c, def, args, sep + 1, args.size(), changes); rc != kOk) return rc;
    if (keyArgs.empty() || changes.empty())
        return c.usage("rec set needs KEYFIELD=VALUE... -- FIELD=VALUE...");
    qd::GenericTable t(c.data(), def);
    if (!openTable(c, t)) return kFailed;
    if (int rc = findRecord(c, t, keyArgs); rc != kOk) return rc;
    for (const auto& a : changes)
        t.setValue(a.field, a.value);
    if (qd::Level l = qd::RelationManager(t).update(); l != qd::Level::Benign)
        return printLevelFailure(c, l, t);
    c.io.out << (c.json ? recordJson(t) + "\n" : recordBlock(t));
    return kOk;
}

int cmdRecDel(Context& c, const qd::TableDef& def, const std::vector<std::string>& args, std::size_t pos) {
    std::vector<Assignment> keyArgs;
    if (int rc = parseAssignments(c, def, args, pos, args.size(), keyArgs); rc != kOk) return rc;
    if (keyArgs.empty()) return c.usage("rec del needs KEYFIELD=VALUE");
    qd::GenericTable t(c.data(), def);
    if (!openTable(c, t)) return kFailed;
    if (int rc = findRecord(c, t, keyArgs); rc != kOk) return rc;
    if (qd::Level l = qd::RelationManager(t).deleteRecord(); l != qd::Level::Benign)
        return printLevelFailure(c, l, t);
    return kOk;
}

int cmdRecList(Context& c, const qd::TableDef& def, const std::vector<std::string>& args, std::size_t pos) {
    int key = -1;
    long long limit = -1;
    std::vector<Assignment> from;
    for (std::size_t i = pos; i < args.size(); ++i) {
        if (args[i] == "--key" && i + 1 < args.size()) {
            key = def.findKey(args[++i]);
            if (key < 0) return c.failed("unknown key '" + args[i] + "' of table " + def.label);
        } else if (args[i] == "--limit" && i + 1 < args.size()) {
            try {
                limit = std::stoll(args[++i]);
            } catch (...) {
                return c.usage("--limit needs a number");
            }
        } else if (args[i] == "--from") {
            std::size_t j = i + 1;
            while (j < args.size() && args[j].rfind("--", 0) != 0)
                ++j;
            if (int rc = parseAssignments(c, def, args, i + 1, j, from); rc != kOk) return rc;
            i = j - 1;
        } else {
            return c.usage("unexpected '" + args[i] + "'");
        }
    }
    if (key < 0) {
        const qd::KeyDef* pk = def.primaryKey();
        key = pk ? static_cast<int>(pk - def.keys.data()) : 0;
    }
    qd::GenericTable t(c.data(), def);
    if (!openTable(c, t)) return kFailed;
    if (from.empty()) {
        t.setOrder(key);
    } else {
        // --from names leading components of the key.
        const auto& comps = def.keys[static_cast<std::size_t>(key)].components;
        std::size_t leading = 0;
        t.clearBuffer();
        for (const auto& a : from)
            t.setValue(a.field, a.value);
        while (leading < comps.size() && std::any_of(from.begin(), from.end(), [&](const Assignment& a) {
                   return a.field == comps[leading].field;
               }))
            ++leading;
        if (leading != from.size())
            return c.failed("--from must name the leading fields of " +
                            def.keys[static_cast<std::size_t>(key)].name);
        t.setPosition(key, static_cast<int>(leading));
    }
    long long n = 0;
    qd::Level l;
    while ((limit < 0 || n < limit) && (l = t.next()) == qd::Level::Benign) {
        c.io.out << (c.json ? recordJson(t) : recordLine(t)) << "\n";
        ++n;
    }
    if (limit >= 0 && n >= limit) return kOk;
    return l == qd::Level::Notify && t.lastError().code == 101 /* end of file */ ? kOk
                                                                                 : printLevelFailure(c, l, t);
}

} // namespace

int cmdRec(Context& c, const std::vector<std::string>& args, std::size_t pos) {
    if (pos + 1 >= args.size()) return c.usage("rec needs a verb and a table");
    const std::string verb = args[pos];
    if (verb != "add" && verb != "get" && verb != "set" && verb != "del" && verb != "list")
        return c.usage("unknown rec verb '" + verb + "'");
    const qd::TableDef* def = tableArg(c, args[pos + 1]);
    if (!def) return kFailed;
    pos += 2;
    if (verb == "add") return cmdRecAdd(c, *def, args, pos);
    if (verb == "get") return cmdRecGet(c, *def, args, pos);
    if (verb == "set") return cmdRecSet(c, *def, args, pos);
    if (verb == "del") return cmdRecDel(c, *def, args, pos);
    return cmdRecList(c, *def, args, pos);
}

} // namespace qdctl
