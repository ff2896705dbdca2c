// The data dictionary: every table with its storage name, prefix, fields, keys,
// memo fields, structure version and the relations between tables.
#pragma once

#include "data/Records.h"
#include "data/Text.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qd {

// What a LONG holds, for reading and showing values: a day number, a time, or a plain number.
enum class ValueKind : std::uint8_t { Plain, DayNumber, TimeOfDay };

struct FieldDef {
    std::string name; // without prefix, e.g. "Date"
    FieldType type;
    int width = 0;       // STRING/CSTRING/MEMO width
    int groupCount = 0;  // GROUP: number of following entries it spans
    int valueIndex = -1; // position among the value fields, -1 for a group
    ValueKind kind = ValueKind::Plain;
};

enum class AutoNumber { None, Whole, WithinLeading };

struct KeyComponent {
    int field = 0; // value index
    bool descending = false;
};

struct KeyDef {
    std::string name;        // "SCH:KeyDateEnabled"
    std::string description; // shown when offering a sort order
    std::vector<KeyComponent> components;
    bool unique = false;
    bool primary = false;
    AutoNumber autoNumber = AutoNumber::None;
    bool excludeEmpty = true; // records whose components are all zero/blank are left out
    bool noCase = true;       // text components compare without regard to case
};

enum class TableKind { Store, LineText, CommaText };

struct TableDef {
    std::string label;                      // "Schedule"
    std::string prefix;                     // "SCH"
    std::string storageName;                // default storage name, e.g. "QD97\!s"
    std::string* storageVariable = nullptr; // GLO: variable that names the file, when there is one
    bool encrypted = true;
    int version = 0;
    TableKind kind = TableKind::Store;
    std::vector<FieldDef> entries; // fields and groups in layout order
    std::vector<int> values;       // entry index of each value field
    std::vector<KeyDef> keys;
    // Former field names carried into the current field by the structure upgrade.
    std::vector<std::pair<std::string, std::string>> renames;

    int valueCount() const { return static_cast<int>(values.size()); }
    const FieldDef& field(int valueIndex) const {
        return entries[static_cast<std::size_t>(values[static_cast<std::size_t>(valueIndex)])];
    }
    // "SCH:Date", "sch:date" or "Date"; -1 when unknown.
    int findField(std::string_view name) const;
    // Value indexes of a group's fields ("AdvancedWarning"); empty when not a group.
    std::vector<int> groupFields(std::string_view name) const;
    // "SCH:KeyDate" or "KeyDate"; -1 when unknown.
    int findKey(std::string_view name) const;
    const KeyDef* primaryKey() const;
    std::string qualifiedName(int valueIndex) const { return prefix + ":" + field(valueIndex).name; }
    // Storage name in effect now (the GLO: variable when the table has one).
    std::string currentStorageName() const;
};

enum class Rule { None = 0, Clear = 1, Restrict = 2, Cascade = 3 };

struct RelationDef {
    const TableDef* parent;
    const TableDef* child;
    std::vector<std::pair<int, int>> links; // parent value index, child value index
    int childKey;                           // key index in child
    Rule onUpdate;
    Rule onDelete;
};

// Program-wide storage-name variables, read when their table is opened.
extern std::string GLO_ScheduleWorkFileName;
extern std::string GLO_SyncScheduleFileName;
extern std::string GLO_SyncScriptingFileName;
extern std::string GLO_SyncTodoFileName;
extern std::string GLO_ExportName;

namespace tables {
const TableDef& Schedule();
const TableDef& Scripting();
const TableDef& ScheduleWorkFile();
const TableDef& QDUSD();
const TableDef& QDSCD();
const TableDef& Categories();
const TableDef& Holidays();
const TableDef& SysHotKeys();
const TableDef& Configuration();
const TableDef& QD_LOG();
const TableDef& Contact();
const TableDef& ContactCategories();
const TableDef& Messages();
const TableDef& MsgLink();
const TableDef& MassMailSent();
const TableDef& Todo();
const TableDef& Clipboard();
const TableDef& ClipboardCategories();
const TableDef& Users();
const TableDef& Favorites();
const TableDef& Commands();
const TableDef& Actions();
const TableDef& ScriptTemplates();
const TableDef& ScriptTemplateDetails();
const TableDef& Export();
const TableDef& SyncSchedule();
const TableDef& SyncScripting();
const TableDef& SyncTodo();

// All 27 tables in dictionary order.
std::span<const TableDef* const> all();
// By label ("Schedule") or prefix ("SCH"), case-insensitive; nullptr when unknown.
const TableDef* find(std::string_view labelOrPrefix);
// Relations in which the table is the parent.
std::vector<const RelationDef*> relationsOf(const TableDef& parent);
std::span<const RelationDef> relations();
} // namespace tables

// Fixed record size in bytes as the dictionary defines it (memos excluded).
int fixedRecordSize(const TableDef& t);

using text::equalsNoCase;

} // namespace qd
