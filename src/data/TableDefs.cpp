#include "data/TableDefs.h"

#include <algorithm>
#include <mutex>
#include <set>

namespace qd {

std::string GLO_ScheduleWorkFileName = "qdWrkFil";
std::string GLO_SyncScheduleFileName = "SyncSch.TPS";
std::string GLO_SyncScriptingFileName = "SyncScr.TPS";
std::string GLO_SyncTodoFileName = "SyncTodo.TPS";
std::string GLO_ExportName = "Export.txt";

int TableDef::findField(std::string_view name) const {
    // "M_:Mail:Server" keeps its inner colon: strip only a leading "<prefix>:".
    if (name.size() > prefix.size() && equalsNoCase(name.substr(0, prefix.size()), prefix) &&
        name[prefix.size()] == ':')
        name.remove_prefix(prefix.size() + 1);
    for (int i = 0; i < valueCount(); ++i)
        if (equalsNoCase(field(i).name, name)) return i;
    return -1;
}

std::vector<int> TableDef::groupFields(std::string_view name) const {
    if (name.size() > prefix.size() && equalsNoCase(name.substr(0, prefix.size()), prefix) &&
        name[prefix.size()] == ':')
        name.remove_prefix(prefix.size() + 1);
    std::vector<int> out;
    for (std::size_t e = 0; e < entries.size(); ++e) {
        if (entries[e].type != FieldType::Group || !equalsNoCase(entries[e].name, name)) continue;
        int remaining = entries[e].groupCount;
        for (std::size_t j = e + 1; j < entries.size() && remaining > 0; ++j) {
            if (entries[j].type == FieldType::Group) continue;
            --remaining;
            out.push_back(entries[j].valueIndex);
        }
        break;
    }
    return out;
}

int TableDef::findKey(std::string_view name) const {
    for (std::size_t i = 0; i < keys.size(); ++i) {
        std::string_view k = keys[i].name;
        if (equalsNoCase(k, name) || equalsNoCase(k.substr(k.find(':') + 1), name))
            return static_cast<int>(i);
    }
    return -1;
}

const KeyDef* TableDef::primaryKey() const {
    for (const auto& k : keys)
        if (k.primary) return &k;
    return nullptr;
}

std::string TableDef::currentStorageName() const {
    return storageVariable ? *storageVariable : storageName;
}

int fixedRecordSize(const TableDef& t) {
    int size = 0;
    for (const auto& f : t.entries) {
        switch (f.type) {
        case FieldType::Long:
        case FieldType::ULong:
            size += 4;
            break;
        case FieldType::Byte:
            size += 1;
            break;
        case FieldType::String:
        case FieldType::CString:
            size += f.width;
            break;
        case FieldType::Memo:
        case FieldType::Group:
            break;
        }
    }
    return size;
}

namespace tables {
namespace {

#define QD_FD(m, t, w) FieldDef{#m, qdFieldType_##t, w, 0, -1},
#define QD_GD(n, c) FieldDef{#n, FieldType::Group, 0, c, -1},

TableDef makeTable(std::string label, std::string prefix, std::string storage, bool encrypted, int version,
                   std::vector<FieldDef> entries) {
    TableDef t;
    t.label = std::move(label);
    t.prefix = std::move(prefix);
    t.storageName = std::move(storage);
    t.encrypted = encrypted;
    t.version = version;
    t.entries = std::move(entries);
    static const std::set<std::string_view> kDates = {
        "Date",           "LastRunDate", "AdvanceWarnDate", "LastWarnDate", "ExpiryDate",
        "LastChangeDate", "HolidayDate", "CompletionDate",  "ClipDate",     "LastDateSent"};
    static const std::set<std::string_view> kTimes = {
        "Time",          "LastRunTime",    "AdvanceWarnTime", "LastWarnTime", "ExpiryTime", "ExceptTimeBegin",
        "ExceptTimeEnd", "LastChangeTime", "CompletionTime",  "ClipTime"};
    for (std::size_t i = 0; i < t.entries.size(); ++i) {
        if (t.entries[i].type == FieldType::Group) continue;
        if (kDates.count(t.entries[i].name)) t.entries[i].kind = ValueKind::DayNumber;
        if (kTimes.count(t.entries[i].name)) t.entries[i].kind = ValueKind::TimeOfDay;
        t.entries[i].valueIndex = static_cast<int>(t.values.size());
        t.values.push_back(static_cast<int>(i));
    }
    return t;
}

void renameField(TableDef& t, std::string_view from, std::string to) {
    for (auto& f : t.entries)
        if (f.name == from) f.name = std::move(to);
}

// Adds a key. `components` is a comma-separated list of field or group names, a
// leading '-' marking a descending component. Flags: P primary (unique), U unique,
// A auto-numbered, S auto-numbered within the leading field, E keeps empty records.
void key(TableDef& t, std::string name, std::string description, std::string_view components,
         std::string_view flags = "") {
    KeyDef k;
    k.name = t.prefix + ":" + name;
    k.description = std::move(description);
    std::size_t pos = 0;
    while (pos <= components.size()) {
        std::size_t end = components.find(',', pos);
        if (end == std::string_view::npos) end = components.size();
        std::string_view part = components.substr(pos, end - pos);
        bool desc = false;
        if (!part.empty() && part.front() == '-') {
            desc = true;
            part.remove_prefix(1);
        }
        const int f = t.findField(part);
        if (f >= 0) {
            k.components.push_back({f, desc});
        } else {
            for (int g : t.groupFields(part))
                k.components.push_back({g, desc});
        }
        pos = end + 1;
    }
    for (char c : flags) {
        switch (c) {
        case 'P':
            k.primary = k.unique = true;
            break;
        case 'U':
            k.unique = true;
            break;
        case 'A':
            k.autoNumber = AutoNumber::Whole;
            break;
        case 'S':
            k.autoNumber = AutoNumber::WithinLeading;
            break;
        case 'E':
            k.excludeEmpty = false;
            break;
        default:
            break;
        }
    }
    t.keys.push_back(std::move(k));
}

TableDef scheduleLike(const std::string& label, const std::string& prefix, const std::string& storage,
                      int version) {
    return makeTable(label, prefix, storage, true, version, {QD_LAYOUT_SCHEDULE(QD_FD, QD_GD)});
}

TableDef scriptingLike(const std::string& label, const std::string& prefix, const std::string& storage,
                       int version) {
    return makeTable(label, prefix, storage, true, version, {QD_LAYOUT_SCRIPTING(QD_FD, QD_GD)});
}

TableDef todoLike(const std::string& label, const std::string& prefix, const std::string& storage,
                  int version) {
    TableDef t = makeTable(label, prefix, storage, true, version, {QD_LAYOUT_TODO(QD_FD, QD_GD)});
    key(t, "KeyDone", "Done", "Done,Priority,ToDo", "E");
    key(t, "KeyPriority", "Priority", "Priority,Done,ToDo", "E");
    key(t, "KeyToDo", "To Do", "ToDo", "E");
    key(t, "KeyCategory", "Category", "Category,Priority,ToDo");
    return t;
}

struct Dictionary {
    std::vector<TableDef> defs;
    std::vector<const TableDef*> order;
    std::vector<RelationDef> relations;

    const TableDef& byLabel(std::string_view l) const {
        for (const auto& d : defs)
            if (d.label == l) return d;
        std::abort();
    }

    Dictionary() {
        defs.reserve(28);
        {
            TableDef t = scheduleLike("Schedule", "SCH", "QD97\\!s", 14);
            key(t, "KeyID", "By System ID", "ID", "PA");
            key(t, "KeyDate", "Date", "Date,Time");
            key(t, "KeyCategory", "Category", "Category,Description");
            key(t, "KeyCategoryDate", "Category/Date", "Category,Date,Time");
            key(t, "KeyTaskName", "Description", "Description,Category");
            key(t, "KeyTaskType", "Task Type", "TaskType,Description");
            key(t, "KeyTaskDate", "Task Type/Date", "TaskType,Date,Time");
            key(t, "KeyDateEnabled", "Only used to determine if task is waitin", "Disabled,Date,Time");
            key(t, "KeyAdvanced", "Advanced Warning Date Order",
                "AdvanceWarned,AdvanceWarnDate,AdvanceWarnTime");
            key(t, "KeyExpiryDate", "Expiry Date", "ExpiryDate,ExpiryTime");
            key(t, "KeyOriginalID", "Original ID", "OriginalID");
            defs.push_back(std::move(t));
        }
        {
            TableDef t = scriptingLike("Scripting", "SCR", "QD97\\!Script", 8);
            key(t, "KeyID", "Sequence", "ID,Sequence", "PS");
            key(t, "KeyEmail", "Email", "EmailID");
            defs.push_back(std::move(t));
        }
        {
            TableDef t = scheduleLike("ScheduleWorkFile", "SCW", "qdWrkFil", 5);
            t.storageVariable = &GLO_ScheduleWorkFileName;
            key(t, "KeyID", "By System ID", "ID", "PA");
            key(t, "KeyUser", "SCW:KeyUser", "User,ID");
            key(t, "KeyDate", "Date", "Date,Time");
            key(t, "KeyUserDate", "By Date for Specific User", "User,Date,Time");
            key(t, "KeyCategory", "Category", "Category,Description");
            key(t, "KeyCategoryDate", "Category/Date", "Category,Date,Time");
            key(t, "KeyTaskName", "Description", "Description,Category");
            key(t, "KeyTaskType", "Task Type", "TaskType,Description");
            key(t, "KeyTaskDate", "Task Type/Date", "TaskType,Date,Time");
            key(t, "KeyDateEnabled", "Only used to determine if task is waitin", "Disabled,Date,Time");
            key(t, "KeyAdvanced", "SCW:KeyAdvanced", "AdvanceWarned,AdvanceWarnDate,AdvanceWarnTime");
            key(t, "KeyUserAdvanced", "By Advance Notice Within User",
                "User,AdvanceWarnDate,AdvanceWarnTime");
            key(t, "KeyExpiryDate", "Expiry Date", "ExpiryDate,ExpiryTime");
            defs.push_back(std::move(t));
        }
        {
            TableDef t = makeTable("QDUSD", "US", "QD97.TPS\\!UserScheduleDetails", true, 1,
                                   {QD_LAYOUT_QDUSD(QD_FD, QD_GD)});
            key(t, "KeyID", "Schedule ID", "ID,User", "P");
            key(t, "KeyUser", "User", "User,Completed,Disabled,Date,Time");
            key(t, "KeyAdvanced", "Advanced Warning",
                "AdvancedWarning,AdvanceWarned,Disabled,Completed,AdvanceWarnDate,AdvanceWarnTime");
            defs.push_back(std::move(t));
        }
        {
            TableDef t = makeTable("QDSCD", "SCD", "QD97.TPS\\!ScheduleContacts", true, 1,
                                   {QD_LAYOUT_QDSCD(QD_FD, QD_GD)});
            key(t, "KeyID", "Schedule ID", "ID,SCD_ID", "PS");
            key(t, "KeyContact", "Contact", "ClientID");
            defs.push_back(std::move(t));
        }
        {
            TableDef t = makeTable("Categories", "CAT", "QD97\\!Categories", true, 4,
                                   {QD_LAYOUT_CATEGORIES(QD_FD, QD_GD)});
            key(t, "KeyCategory", "Category", "Category", "P");
            defs.push_back(std::move(t));
        }
        {
            TableDef t =
                makeTable("Holidays", "HOL", "QD97\\!Hol", true, 4, {QD_LAYOUT_HOLIDAYS(QD_FD, QD_GD)});
            key(t, "KeyHolidayDate", "HOL:KeyHolidayDate", "HolidayDate", "U");
            defs.push_back(std::move(t));
        }
        {
            TableDef t = makeTable("SysHotKeys", "HOT", "QD97\\!Hotkeys", true, 2,
                                   {QD_LAYOUT_SYSHOTKEYS(QD_FD, QD_GD)});
            key(t, "K_HotKey", "Hot Keys", "HotKey", "P");
            key(t, "K_ID", "Link to Schedule", "ID", "U");
            key(t, "K_Active", "Active Hot Keys", "Active,HotKey");
            key(t, "K_Description", "Description", "Description");
            defs.push_back(std::move(t));
        }
        {
            TableDef t = makeTable("Configuration", "CF", "QD97\\!CF", true, 2,
                                   {QD_LAYOUT_CONFIGURATION(QD_FD, QD_GD)});
            key(t, "KeyDataType", "Data Type", "DataType", "P");
            defs.push_back(std::move(t));
        }
        {
            TableDef t =
                makeTable("QD_LOG", "QDL", "QD98Evnt.LOG", false, 0, {QD_LAYOUT_QD_LOG(QD_FD, QD_GD)});
            t.kind = TableKind::LineText;
            defs.push_back(std::move(t));
        }
        {
            TableDef t =
                makeTable("Contact", "C_", "Qd97.TPS\\!Contact", true, 2, {QD_LAYOUT_CONTACT(QD_FD, QD_GD)});
            key(t, "KeyClientID", "C_:KeyClientID", "ClientID", "PA");
            key(t, "KeyUserClientID", "By ID within User", "User,ClientID");
            key(t, "KeyLastName", "Last Name", "LastName,FirstName,PostalCode");
            key(t, "KeyFirstName", "First Name", "FirstName,LastName,PostalCode");
            key(t, "KeyWorkPhone", "Work/Day Phone", "WorkDayPhone");
            key(t, "KeyHomePhone", "Home/Evening Phone", "HomeEveningPhone");
            key(t, "KeyFaxNumber", "Fax", "Fax");
            key(t, "KeyEmail", "Email", "Email");
            key(t, "KeyCategory", "Category", "ContactCategory,LastName,FirstName");
            defs.push_back(std::move(t));
        }
        {
            TableDef t = makeTable("ContactCategories", "CC", "qd97\\!ConCat", true, 3,
                                   {QD_LAYOUT_CONTACTCATEGORIES(QD_FD, QD_GD)});
            key(t, "KeyContactCategories", "Contact Categories", "ContactCategory", "U");
            defs.push_back(std::move(t));
        }
        {
            TableDef t =
                makeTable("Messages", "M_", "QD97\\!Messages", true, 3, {QD_LAYOUT_MESSAGES(QD_FD, QD_GD)});
            renameField(t, "Mail_Server", "Mail:Server");
            renameField(t, "Mail_User", "Mail:User");
            renameField(t, "News_Server", "News:Server");
            renameField(t, "News_User", "News:User");
            renameField(t, "News_Password", "News:Password");
            key(t, "KeyEmailID", "Email ID", "EmailID", "PA");
            key(t, "KeyContact", "Contact", "ContactID,EmailID");
            key(t, "KeySubject", "Subject", "Subject");
            key(t, "KeyLastDateSent", "Last Date Sent", "LastDateSent");
            defs.push_back(std::move(t));
        }
        {
            TableDef t = makeTable("MsgLink", "ML", "MSGLINK", false, 2, {QD_LAYOUT_MSGLINK(QD_FD, QD_GD)});
            key(t, "K_ID", "Unique Sys ID", "ID", "PA");
            defs.push_back(std::move(t));
        }
        defs.push_back(todoLike("Todo", "TDO", "QD97\\!ToDo", 4));
        {
            TableDef t = makeTable("Clipboard", "CLI", "QD97\\!Clipboard", true, 8,
                                   {QD_LAYOUT_CLIPBOARD(QD_FD, QD_GD)});
            key(t, "KeyClipDate", "All by Date", "-ClipDate,-ClipTime", "E");
            key(t, "KeyClipKeep", "Saved Clipboard Records", "ClipKeep,ClipDate,ClipTime");
            key(t, "KeyCategory", "Category", "Category,Abbreviation,ClipHashKey");
            key(t, "KeyAbbreviation", "Abbreviations", "Abbreviation,Category");
            key(t, "KeyClipHash", "All by Contents", "ClipHashKey", "P");
            defs.push_back(std::move(t));
        }
        {
            TableDef t = makeTable("ClipboardCategories", "CLC", "QD97\\!ClipboardCategories", true, 3,
                                   {QD_LAYOUT_CLIPBOARDCATEGORIES(QD_FD, QD_GD)});
            key(t, "KeyCategory", "Category", "Category", "P");
            defs.push_back(std::move(t));
        }
        {
            TableDef t = makeTable("Users", "U_", "QD97\\!Users", true, 5, {QD_LAYOUT_USERS(QD_FD, QD_GD)});
            key(t, "KeyUser", "User", "User", "P");
            defs.push_back(std::move(t));
        }
        {
            TableDef t =
                makeTable("Favorites", "FAV", "QD97\\!Fav", true, 0, {QD_LAYOUT_FAVORITES(QD_FD, QD_GD)});
            key(t, "KeyFavType", "FAV:KeyFavType", "FavType,FavDesc", "U");
            defs.push_back(std::move(t));
        }
        {
            TableDef t =
                makeTable("Commands", "CMD", "COMMANDS", false, 0, {QD_LAYOUT_COMMANDS(QD_FD, QD_GD)});
            key(t, "KeyTitle", "Title", "Title", "P");
            defs.push_back(std::move(t));
        }
        {
            TableDef t = makeTable("Actions", "ACT", "ACTIONS", false, 1, {QD_LAYOUT_ACTIONS(QD_FD, QD_GD)});
            key(t, "KeyAction", "Action", "Action", "U");
            key(t, "KeySeq", "Sequence", "Seq", "PA");
            defs.push_back(std::move(t));
        }
        {
            TableDef t = makeTable("ScriptTemplates", "QDT", "QDTpl\\!ScriptTemplates", true, 2,
                                   {QD_LAYOUT_SCRIPTTEMPLATES(QD_FD, QD_GD)});
            key(t, "K_WIZ_ID", "Script Wizard ID", "WIZ_ID", "PA");
            key(t, "K_Description", "Description", "Description", "U");
            key(t, "K_DOSFilename", "Import/Export Filename", "DOSFilename");
            t.renames.emplace_back("Filename", "DOSFilename");
            defs.push_back(std::move(t));
        }
        {
            TableDef t = scriptingLike("ScriptTemplateDetails", "QDD", "QDTpl\\!ScriptTemplateDetails", 3);
            renameField(t, "ID", "WIZ_ID");
            key(t, "K_WIZ_ID", "Sequence", "WIZ_ID,Sequence", "PS");
            defs.push_back(std::move(t));
        }
        {
            TableDef t = makeTable("Export", "EXP", "Export.txt", false, 0, {QD_LAYOUT_EXPORT(QD_FD, QD_GD)});
            t.kind = TableKind::CommaText;
            t.storageVariable = &GLO_ExportName;
            defs.push_back(std::move(t));
        }
        {
            TableDef t = makeTable("SyncSchedule", "SSCH", "SyncSch.TPS", true, 9,
                                   {QD_LAYOUT_SYNCSCHEDULE(QD_FD, QD_GD)});
            t.storageVariable = &GLO_SyncScheduleFileName;
            key(t, "KeyID", "By System ID", "ID", "PA");
            key(t, "KeyDate", "Date", "Date,Time");
            key(t, "KeyCategory", "Category", "Category,Description");
            key(t, "KeyTaskType", "Task Type", "TaskType,Description");
            key(t, "KeyOriginalID", "SSch:KeyOriginalID", "OriginalID");
            defs.push_back(std::move(t));
        }
        {
            TableDef t = scriptingLike("SyncScripting", "SSCR", "SyncScr.TPS", 5);
            t.storageVariable = &GLO_SyncScriptingFileName;
            key(t, "KeyID", "Sequence", "ID,Sequence", "PS");
            defs.push_back(std::move(t));
        }
        {
            TableDef t = todoLike("SyncTodo", "STDO", "SyncTodo.TPS", 1);
            t.storageVariable = &GLO_SyncTodoFileName;
            defs.push_back(std::move(t));
        }
        {
            TableDef t = makeTable("MassMailSent", "MMS", "QD97\\!MassMailSent", true, 1,
                                   {QD_LAYOUT_MASSMAILSENT(QD_FD, QD_GD)});
            key(t, "KeyEmailClient", "Message and contact", "EmailID,ClientID", "U");
            defs.push_back(std::move(t));
        }
        for (const auto& d : defs)
            order.push_back(&d);

        auto rel = [this](std::string_view parent, std::string_view child, std::string_view pf,
                          std::string_view cf, std::string_view childKey, Rule upd, Rule del) {
            const TableDef& p = byLabel(parent);
            const TableDef& c = byLabel(child);
            relations.push_back(
                RelationDef{&p, &c, {{p.findField(pf), c.findField(cf)}}, c.findKey(childKey), upd, del});
        };
        rel("Categories", "Schedule", "Category", "Category", "KeyCategory", Rule::Restrict, Rule::Restrict);
        rel("Categories", "Todo", "Category", "Category", "KeyCategory", Rule::None, Rule::None);
        rel("Schedule", "QDSCD", "ID", "ID", "KeyID", Rule::Cascade, Rule::Cascade);
        rel("Schedule", "QDUSD", "ID", "ID", "KeyID", Rule::Cascade, Rule::Cascade);
        rel("Schedule", "Scripting", "ID", "ID", "KeyID", Rule::None, Rule::Cascade);
        rel("SysHotKeys", "Schedule", "ID", "ID", "KeyID", Rule::None, Rule::Cascade);
        rel("Users", "QDUSD", "User", "User", "KeyUser", Rule::Cascade, Rule::Cascade);
        rel("Users", "Contact", "User", "User", "KeyUserClientID", Rule::None, Rule::None);
        rel("ContactCategories", "Contact", "ContactCategory", "ContactCategory", "KeyCategory",
            Rule::Restrict, Rule::Restrict);
        rel("Contact", "QDSCD", "ClientID", "ClientID", "KeyContact", Rule::Cascade, Rule::Cascade);
        rel("ScriptTemplates", "ScriptTemplateDetails", "WIZ_ID", "WIZ_ID", "K_WIZ_ID", Rule::None,
            Rule::Cascade);
        rel("ScriptTemplateDetails", "Messages", "EmailID", "EmailID", "KeyEmailID", Rule::None, Rule::None);
        rel("Messages", "Scripting", "EmailID", "EmailID", "KeyEmail", Rule::Restrict, Rule::Restrict);
        rel("Messages", "MassMailSent", "EmailID", "EmailID", "KeyEmailClient", Rule::Cascade, Rule::Cascade);
        rel("ClipboardCategories", "Clipboard", "Category", "Category", "KeyCategory", Rule::Cascade,
            Rule::Restrict);
    }
};

const Dictionary& dict() {
    static const Dictionary d;
    return d;
}

} // namespace

#define QD_TABLE_ACCESSOR(Name)                                                                              \
    const TableDef& Name() {                                                                                 \
        return dict().byLabel(#Name);                                                                        \
    }
QD_TABLE_ACCESSOR(Schedule)
QD_TABLE_ACCESSOR(Scripting)
QD_TABLE_ACCESSOR(ScheduleWorkFile)
QD_TABLE_ACCESSOR(QDUSD)
QD_TABLE_ACCESSOR(QDSCD)
QD_TABLE_ACCESSOR(Categories)
QD_TABLE_ACCESSOR(Holidays)
QD_TABLE_ACCESSOR(SysHotKeys)
QD_TABLE_ACCESSOR(Configuration)
QD_TABLE_ACCESSOR(QD_LOG)
QD_TABLE_ACCESSOR(Contact)
QD_TABLE_ACCESSOR(ContactCategories)
QD_TABLE_ACCESSOR(Messages)
QD_TABLE_ACCESSOR(MsgLink)
QD_TABLE_ACCESSOR(MassMailSent)
QD_TABLE_ACCESSOR(Todo)
QD_TABLE_ACCESSOR(Clipboard)
QD_TABLE_ACCESSOR(ClipboardCategories)
QD_TABLE_ACCESSOR(Users)
QD_TABLE_ACCESSOR(Favorites)
QD_TABLE_ACCESSOR(Commands)
QD_TABLE_ACCESSOR(Actions)
QD_TABLE_ACCESSOR(ScriptTemplates)
QD_TABLE_ACCESSOR(ScriptTemplateDetails)
QD_TABLE_ACCESSOR(Export)
QD_TABLE_ACCESSOR(SyncSchedule)
QD_TABLE_ACCESSOR(SyncScripting)
QD_TABLE_ACCESSOR(SyncTodo)

std::span<const TableDef* const> all() {
    return dict().order;
}

const TableDef* find(std::string_view name) {
    for (const TableDef* t : dict().order)
        if (equalsNoCase(t->label, name) || equalsNoCase(t->prefix, name)) return t;
    return nullptr;
}

std::vector<const RelationDef*> relationsOf(const TableDef& parent) {
    std::vector<const RelationDef*> out;
    for (const auto& r : dict().relations)
        if (r.parent == &parent) out.push_back(&r);
    return out;
}

std::span<const RelationDef> relations() {
    return dict().relations;
}

} // namespace tables
} // namespace qd
