// The access manager of one table: the record buffer, insert / update / delete
// of the current record, reading by key and in key order. Every operation
// returns a Level: Benign (0) on success, otherwise the level of the message it
// raised. The "try" forms raise no message.
#pragma once

#include "data/DataSet.h"
#include "data/ErrorClass.h"
#include "data/RecordFilter.h"
#include "data/Records.h"
#include "data/TableDefs.h"

#include <functional>
#include <string>
#include <unordered_map>
#include <variant>
#include <vector>

namespace qd {

using FieldValue = std::variant<long long, std::string>;

FieldValue readField(const FieldPtr& f);
void writeField(const FieldPtr& f, const FieldValue& v);
// Cuts a text to what the field holds (width in characters, CSTRING one less)
// and removes trailing blanks: fitText of data/TextWidth.h for a field.
std::string fitText(const std::string& s, FieldType type, int width);

class FileManager {
public:
    FileManager(DataSet& ds, const TableDef& def, std::vector<FieldPtr> buffer);
    virtual ~FileManager();
    FileManager(const FileManager&) = delete;
    FileManager& operator=(const FileManager&) = delete;

    const TableDef& def() const { return def_; }
    DataSet& dataSet() const { return ds_; }
    const std::vector<FieldPtr>& buffer() const { return buf_; }

    // Opens the table on first use (table open operation) and counts users.
    Level open(const OpenOptions& options = {});
    OpenStatus openStatus() const { return openStatus_; }
    void close();
    bool opened() const { return useCount_ > 0; }

    Level insert() { return doInsert(false); }
    Level tryInsert() { return doInsert(true); }
    // Writes the buffer over the record last read. When another process changed
    // that record since, nothing is written and message `concurrencyMessage`
    // (6, or 7 from a form) is raised.
    Level update(int concurrencyMessage = 6) { return doUpdate(false, concurrencyMessage); }
    Level tryUpdate() { return doUpdate(true, 6); }
    // Deletes the record last read (no relation rules: see RelationManager).
    Level deleteRecord() { return doDelete(false); }
    Level tryDelete() { return doDelete(true); }

    // Reads the first record whose key components equal those in the buffer.
    // Notify (no message) when there is none.
    Level fetch(int key);
    Level fetch(const char* keyName) { return fetch(def_.findKey(keyName)); }
    // Reads the current record again by its position. Notify (no message) when
    // it is gone; tryReget shows no message on a store error either.
    Level reget() { return doReget(false); }
    Level tryReget() { return doReget(true); }

    // Key order: start before the first record, or at the first record whose
    // leading `components` key values (all when -1) are >= those in the buffer.
    void setOrder(int key);
    void setPosition(int key, int components = -1);
    // Only records that meet the filter are read by next() and previous()
    // (from the position they start at); an empty filter reads them all.
    // Conditions that do not fit their field are left out (filterValid says
    // which).
    void setFilter(const RecordFilter& filter);
    // Next / previous record in the order; Notify (no message) past the end.
    Level next();
    Level previous();
    // next() without a message on a store error (lastError() says what failed).
    Level tryNext() { return step(true, true); }
    // The first record of a key (as the dispatcher reads it); Notify when none.
    Level first(int key);

    long long recordCount();

    // Numbered reading of a view: the records that meet the filter (setFilter)
    // in an order, counted, read from any row on and located by row, so a list
    // can show any stretch of a large view without reading what lies before it.
    // The order is `sortField` first when there is one (-1: none), then key
    // `key`, then the order records were added in; `reverse` turns all of it round.
    struct ViewOrder {
        int key = 0;
        int sortField = -1;
        bool reverse = false;
    };
    // Records in the view; -1 when the store failed (lastError() says why).
    long long viewCount(const ViewOrder& order);
    // Reads rows [first, first + count) of the view into the buffer one at a
    // time and calls `each` with the row's number after each. `total` (the
    // view's count, when known) lets rows near the end be read from the end.
    // Notify when the store failed.
    Level readView(const ViewOrder& order, long long first, int count,
                   const std::function<void(long long)>& each, long long total = -1);
    // Where a reading of a view in pieces stands: the order's values of the
    // last record read (none yet: the view's start).
    struct ViewCursor {
        std::vector<FieldValue> after;
    };
    // Reads up to `count` records that follow the cursor in the view into the
    // buffer one at a time, calls `each` after each, and moves the cursor to
    // the last one. It seeks by the order's values, so a long view is read in
    // pieces at the same cost per piece wherever it stands, and a record that
    // another connection deleted meanwhile leaves no gap. Notify when the store
    // failed.
    Level readViewAfter(const ViewOrder& order, ViewCursor& cursor, int count,
                        const std::function<void()>& each);
    // The row of record `rowId` in the view; -1 when it is not in it (or the
    // store failed).
    long long viewRow(const ViewOrder& order, long long rowId);
    // Numbers the records whose `groupField` holds `group` 1, 2, 3 ... in the
    // order of `numberField`, in a few statements however many records there
    // are. With `leadPlace` < 0 the record numbered `lead` comes first, with
    // `leadPlace` > 0 last. Every record is first parked above the highest
    // number in use and above the count, so a unique key over both fields never
    // sees two records share a number on the way. Each record gets a new change
    // stamp; records already numbered 1, 2, 3 ... with no lead are not written. Inside the caller's
    // transaction when one is open, else in one of its own. Benign; Notify with lastError() set and
    // `failedStage` 1 (parking) or 2 (the final numbers) when the store refused.
    Level renumberGroup(int groupField, long long group, int numberField, long long lead = 0,
                        int leadPlace = 0, int* failedStage = nullptr);
    // Fills auto-numbered fields that are 0.
    Level primeAutoNumber();
    void clearBuffer();

    bool hasCurrent() const { return currentRid_ != 0; }
    long long currentRowId() const { return currentRid_; }
    // The change stamp of the record last read or written.
    long long currentRevision() const { return currentRev_; }
    // The value of a field as last read from or written to the store.
    const FieldValue& savedValue(int field) const { return saved_[static_cast<std::size_t>(field)]; }
    FieldValue value(int field) const { return readField(buf_[static_cast<std::size_t>(field)]); }
    void setValue(int field, const FieldValue& v) { writeField(buf_[static_cast<std::size_t>(field)], v); }
    // Restores fields to the values last read.
    void restoreSaved(const std::vector<int>& fields);

    const StoreError& lastError() const { return lastError_; }
    StoreFile* file();

private:
    enum class Seek { First, AtOrAfter, After, Before, AtOrBefore, Last };

    Level doInsert(bool silent);
    Level doUpdate(bool silent, int concurrencyMessage);
    Level doReget(bool silent);
    Level doDelete(bool silent);
    Level notOpened();
    Level noCurrentRecord(bool silent, int message);
    Level readRow(Query s);
    Level step(bool forward, bool silent = false);
    Query seekStatement(int key, Seek seek, int components);
    int bindKeyValues(Query s, int key, int components, int start, bool withRid);
    struct ViewColumn {
        std::string column;
        std::string collate; // " COLLATE NOCASE" or ""
        bool descending;
        bool text;
    };
    std::vector<ViewColumn> viewColumns(const ViewOrder& order, bool reverse) const;
    std::string viewWhere(const ViewOrder& order) const;
    // The values of the order's columns of record `rowId`; empty when it is not
    // in the view.
    std::vector<FieldValue> viewValues(const ViewOrder& order, const std::vector<ViewColumn>& cols,
                                       long long rowId);
    // "The row comes before (after) the values bound from ?first on", spelled
    // out column by column with each column's direction and collation.
    static std::string orderCondition(const std::vector<ViewColumn>& cols, bool after, int first);
    static void bindValues(Query s, const std::vector<FieldValue>& values, int first);
    void bindFilter(Query s);
    void bindBuffer(Query s, int start);
    Level fail(bool silent, int message, int storeCode);
    std::string selectList() const;
    int autoNumberKey() const;
    void snapshot();
    // Statement cache of this manager, slot by slot; dropped when the data set
    // reopens its files.
    template <class Build> Query statement(int slot, Build build) {
        StoreFile* f = file();
        if (!f) return Query();
        auto it = stmts_.find(slot);
        if (it != stmts_.end()) return it->second;
        Query s = f->prepare(build());
        if (s) stmts_.emplace(slot, s);
        return s;
    }
    const std::string& sqlTable();

    DataSet& ds_;
    const TableDef& def_;
    std::vector<FieldPtr> buf_;
    int useCount_ = 0;
    OpenStatus openStatus_ = OpenStatus::NotFound;
    StoreError lastError_;

    long long currentRid_ = 0;
    long long currentRev_ = 0;
    std::vector<FieldValue> saved_;

    // Position in key order.
    int orderKey_ = -1;
    Seek pending_ = Seek::First;
    int pendingComponents_ = -1;
    std::vector<FieldValue> positionValues_;
    long long positionRid_ = 0;
    bool positioned_ = false;
    FilterQuery filter_;
    std::unordered_map<int, Query> stmts_;
    StoreFile* file_ = nullptr;
    unsigned generation_ = 0;
    std::string sqlTable_;
};

// A table together with its typed record buffer: `Table<ScheduleRecord> t(ds,
// tables::Schedule()); t.rec.Date = ...; t.insert();`
template <class R> struct RecordHolder {
    R rec{};
    std::vector<FieldPtr> ptrs() {
        std::vector<FieldPtr> p;
        rec.fieldPtrs(p);
        return p;
    }
};

template <class R> class Table : public RecordHolder<R>, public FileManager {
public:
    Table(DataSet& ds, const TableDef& def)
        : RecordHolder<R>(), FileManager(ds, def, RecordHolder<R>::ptrs()) {}
};

// A buffer for any table, laid out from its dictionary entry.
class GenericRecord {
public:
    explicit GenericRecord(const TableDef& def);
    std::vector<FieldPtr> ptrs();

private:
    std::vector<std::int32_t> longs_;
    std::vector<std::uint32_t> ulongs_;
    std::vector<std::uint8_t> bytes_;
    std::vector<std::string> texts_;
    std::vector<FieldPtr> ptrs_;
};

class GenericTable : private GenericRecord, public FileManager {
public:
    GenericTable(DataSet& ds, const TableDef& def)
        : GenericRecord(def), FileManager(ds, def, GenericRecord::ptrs()) {}
};

} // namespace qd
