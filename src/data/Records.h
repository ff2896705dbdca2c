// Record structs of every table, generated from the layouts in Layouts.h.
//
// Members carry the field names without the table prefix (SCH:Date is
// ScheduleRecord::Date). Texts are held without trailing blanks; the record store
// cuts them to the field width when it stores them.
#pragma once

#include "data/Layouts.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qd {

enum class FieldType : std::uint8_t { Long, ULong, Byte, String, CString, Memo, Group };

using QdType_LONG = std::int32_t;
using QdType_ULONG = std::uint32_t;
using QdType_BYTE = std::uint8_t;
using QdType_STRING = std::string;
using QdType_CSTRING = std::string;
using QdType_MEMO = std::string;

// A pointer to one value field of a record, tagged with its storage type.
struct FieldPtr {
    FieldType type;
    void* p;

    std::int32_t* asLong() const { return static_cast<std::int32_t*>(p); }
    std::uint32_t* asULong() const { return static_cast<std::uint32_t*>(p); }
    std::uint8_t* asByte() const { return static_cast<std::uint8_t*>(p); }
    std::string* asText() const { return static_cast<std::string*>(p); }
    bool isText() const {
        return type == FieldType::String || type == FieldType::CString || type == FieldType::Memo;
    }
};

inline constexpr FieldType qdFieldType_LONG = FieldType::Long;
inline constexpr FieldType qdFieldType_ULONG = FieldType::ULong;
inline constexpr FieldType qdFieldType_BYTE = FieldType::Byte;
inline constexpr FieldType qdFieldType_STRING = FieldType::String;
inline constexpr FieldType qdFieldType_CSTRING = FieldType::CString;
inline constexpr FieldType qdFieldType_MEMO = FieldType::Memo;

#define QD_REC_MEMBER(m, t, w) QdType_##t m{};
#define QD_REC_GROUP(n, c)
#define QD_REC_PTR(m, t, w) out.push_back(FieldPtr{qdFieldType_##t, &m});
#define QD_REC_WIDTH(m, t, w) static constexpr std::size_t m = w;

#define QD_DECLARE_RECORD(Name, LAYOUT)                                                                      \
    struct Name {                                                                                            \
        LAYOUT(QD_REC_MEMBER, QD_REC_GROUP)                                                                  \
        /* The width of each text field, from the layout (Name::Width::Member). */                           \
        struct Width {                                                                                       \
            LAYOUT(QD_REC_WIDTH, QD_REC_GROUP)                                                               \
        };                                                                                                   \
        void fieldPtrs(std::vector<FieldPtr>& out) {                                                         \
            out.clear();                                                                                     \
            LAYOUT(QD_REC_PTR, QD_REC_GROUP)                                                                 \
        }                                                                                                    \
        bool operator==(const Name&) const = default;                                                        \
    };

QD_DECLARE_RECORD(ScheduleRecord, QD_LAYOUT_SCHEDULE)
QD_DECLARE_RECORD(SyncScheduleRecord, QD_LAYOUT_SYNCSCHEDULE)
QD_DECLARE_RECORD(ScriptingRecord, QD_LAYOUT_SCRIPTING)
QD_DECLARE_RECORD(QDUSDRecord, QD_LAYOUT_QDUSD)
QD_DECLARE_RECORD(QDSCDRecord, QD_LAYOUT_QDSCD)
QD_DECLARE_RECORD(CategoriesRecord, QD_LAYOUT_CATEGORIES)
QD_DECLARE_RECORD(HolidaysRecord, QD_LAYOUT_HOLIDAYS)
QD_DECLARE_RECORD(SysHotKeysRecord, QD_LAYOUT_SYSHOTKEYS)
QD_DECLARE_RECORD(ConfigurationRecord, QD_LAYOUT_CONFIGURATION)
QD_DECLARE_RECORD(QD_LOGRecord, QD_LAYOUT_QD_LOG)
QD_DECLARE_RECORD(ContactRecord, QD_LAYOUT_CONTACT)
QD_DECLARE_RECORD(ContactCategoriesRecord, QD_LAYOUT_CONTACTCATEGORIES)
QD_DECLARE_RECORD(MessagesRecord, QD_LAYOUT_MESSAGES)
QD_DECLARE_RECORD(MsgLinkRecord, QD_LAYOUT_MSGLINK)
QD_DECLARE_RECORD(MassMailSentRecord, QD_LAYOUT_MASSMAILSENT)
QD_DECLARE_RECORD(TodoRecord, QD_LAYOUT_TODO)
QD_DECLARE_RECORD(ClipboardRecord, QD_LAYOUT_CLIPBOARD)
QD_DECLARE_RECORD(ClipboardCategoriesRecord, QD_LAYOUT_CLIPBOARDCATEGORIES)
QD_DECLARE_RECORD(UsersRecord, QD_LAYOUT_USERS)
QD_DECLARE_RECORD(FavoritesRecord, QD_LAYOUT_FAVORITES)
QD_DECLARE_RECORD(CommandsRecord, QD_LAYOUT_COMMANDS)
QD_DECLARE_RECORD(ActionsRecord, QD_LAYOUT_ACTIONS)
QD_DECLARE_RECORD(ScriptTemplatesRecord, QD_LAYOUT_SCRIPTTEMPLATES)
QD_DECLARE_RECORD(ExportRecord, QD_LAYOUT_EXPORT)

// Tables that share a layout share the struct.
using ScheduleWorkFileRecord = ScheduleRecord;
using ScriptTemplateDetailsRecord = ScriptingRecord;
using SyncScriptingRecord = ScriptingRecord;
using SyncTodoRecord = TodoRecord;

} // namespace qd
