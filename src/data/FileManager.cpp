#include "data/FileManager.h"
#include "data/TextWidth.h"

#include <algorithm>
#include <random>

namespace qd {
namespace {

// Statement cache slots from here on walk a key (they carry the filter).
constexpr int kSeekSlots = 1000;
// The numbered view statements, after the seek slots (they carry the filter too).
constexpr int kViewSlots = 1000000;
constexpr int kRenumberSlots = 500000;
// The filter's values are numbered from here, after any key's values.
constexpr int kFilterFirstParam = 50;

bool isTextType(FieldType t) {
    return t == FieldType::String || t == FieldType::CString || t == FieldType::Memo;
}

bool allDescending(const KeyDef& k) {
    return !k.components.empty() && std::all_of(k.components.begin(), k.components.end(),
                                                [](const KeyComponent& c) { return c.descending; });
}

long long newRevision() {
    thread_local std::mt19937_64 gen{std::random_device{}()};
    return static_cast<long long>(gen() >> 1) | 1;
}

} // namespace

FieldValue readField(const FieldPtr& f) {
    switch (f.type) {
    case FieldType::Long:
        return static_cast<long long>(*f.asLong());
    case FieldType::ULong:
        return static_cast<long long>(*f.asULong());
    case FieldType::Byte:
        return static_cast<long long>(*f.asByte());
    case FieldType::String:
    case FieldType::CString:
    case FieldType::Memo:
        return *f.asText();
    case FieldType::Group:
        break;
    }
    return 0LL;
}

void writeField(const FieldPtr& f, const FieldValue& v) {
    const long long n = std::holds_alternative<long long>(v) ? std::get<long long>(v) : 0;
    switch (f.type) {
    case FieldType::Long:
        *f.asLong() = static_cast<std::int32_t>(n);
        break;
    case FieldType::ULong:
        *f.asULong() = static_cast<std::uint32_t>(n);
        break;
    case FieldType::Byte:
        *f.asByte() = static_cast<std::uint8_t>(n);
        break;
    case FieldType::String:
    case FieldType::CString:
    case FieldType::Memo:
        *f.asText() = std::holds_alternative<std::string>(v) ? std::get<std::string>(v) : std::to_string(n);
        break;
    case FieldType::Group:
        break;
    }
}

std::string fitText(const std::string& s, FieldType type, int width) {
    // A CSTRING field keeps one place for its terminator.
    const int chars = type == FieldType::CString ? width - 1 : width;
    return fitText(std::string_view(s), static_cast<std::size_t>(std::max(chars, 0)));
}

// ---------------------------------------------------------------------------

GenericRecord::GenericRecord(const TableDef& def) {
    longs_.resize(static_cast<std::size_t>(def.valueCount()));
    ulongs_.resize(longs_.size());
    bytes_.resize(longs_.size());
    texts_.resize(longs_.size());
    for (int i = 0; i < def.valueCount(); ++i) {
        const auto u = static_cast<std::size_t>(i);
        const FieldType t = def.field(i).type;
        void* p = nullptr;
        switch (t) {
        case FieldType::Long:
            p = &longs_[u];
            break;
        case FieldType::ULong:
            p = &ulongs_[u];
            break;
        case FieldType::Byte:
            p = &bytes_[u];
            break;
        default:
            p = &texts_[u];
            break;
        }
        ptrs_.push_back(FieldPtr{t, p});
    }
}

std::vector<FieldPtr> GenericRecord::ptrs() {
    return ptrs_;
}

// ---------------------------------------------------------------------------

FileManager::FileManager(DataSet& ds, const TableDef& def, std::vector<FieldPtr> buffer)
    : ds_(ds), def_(def), buf_(std::move(buffer)) {
    saved_.resize(buf_.size());
    for (std::size_t i = 0; i < buf_.size(); ++i)
        saved_[i] = readField(buf_[i]);
}

FileManager::~FileManager() = default;

StoreFile* FileManager::file() {
    if (generation_ != ds_.generation()) {
        stmts_.clear();
        file_ = ds_.fileOf(def_);
        sqlTable_ = sql::quote(ds_.locate(def_).table);
        generation_ = ds_.generation();
    }
    return file_;
}

const std::string& FileManager::sqlTable() {
    file();
    return sqlTable_;
}

Level FileManager::open(const OpenOptions& options) {
    if (useCount_ > 0) {
        ++useCount_;
        return Level::Benign;
    }
    const OpenResult r = ds_.openTable(def_, options);
    openStatus_ = r.status;
    lastError_ = r.error;
    if (!r.ok()) return r.status == OpenStatus::Fatal ? Level::Fatal : Level::Notify;
    ++useCount_;
    generation_ = 0; // look the file up again
    return Level::Benign;
}

void FileManager::close() {
    if (useCount_ > 0) --useCount_;
}

Level FileManager::notOpened() {
    lastError_ = {kStoreMisuse, "File not open"};
    ErrorContext ctx;
    ctx.file = def_.label;
    return ds_.errors().throwMessage(39, ctx);
}

Level FileManager::fail(bool silent, int message, int storeCode) {
    StoreFile* f = file();
    lastError_ = f ? f->lastError() : StoreError{storeCode, storeCodeText(storeCode)};
    if (lastError_.code == 0) lastError_ = {storeCode, storeCodeText(storeCode)};
    if (silent) return Level::Notify;
    ErrorContext ctx;
    ctx.file = def_.label;
    ctx.errorCode = lastError_.code;
    ctx.errorText = lastError_.text;
    return ds_.errors().throwMessage(message, ctx);
}

std::string FileManager::selectList() const {
    std::string s = "\"_rid\", \"_rev\"";
    for (int i = 0; i < def_.valueCount(); ++i)
        s += ", " + sql::columnName(def_, i);
    return s;
}

void FileManager::bindBuffer(Query s, int start) {
    for (int i = 0; i < def_.valueCount(); ++i) {
        const FieldPtr& f = buf_[static_cast<std::size_t>(i)];
        if (f.isText()) {
            std::string& text = *f.asText();
            const FieldDef& fd = def_.field(i);
            text = fitText(text, fd.type, fd.width);
            s.bindRef(start + i, text);
        } else {
            s.bind(start + i, std::get<long long>(readField(f)));
        }
    }
}

void FileManager::snapshot() {
    for (std::size_t i = 0; i < buf_.size(); ++i)
        saved_[i] = readField(buf_[i]);
    if (orderKey_ >= 0) {
        const KeyDef& k = def_.keys[static_cast<std::size_t>(orderKey_)];
        positionValues_.clear();
        for (const auto& c : k.components)
            positionValues_.push_back(saved_[static_cast<std::size_t>(c.field)]);
        positionRid_ = currentRid_;
        positioned_ = true;
    }
}

void FileManager::restoreSaved(const std::vector<int>& fields) {
    for (int f : fields)
        writeField(buf_[static_cast<std::size_t>(f)], saved_[static_cast<std::size_t>(f)]);
}

void FileManager::clearBuffer() {
    for (const auto& f : buf_)
        writeField(f, f.isText() ? FieldValue{std::string()} : FieldValue{0LL});
}

Level FileManager::readRow(Query s) {
    currentRid_ = s.columnInt(0);
    currentRev_ = s.columnInt(1);
    for (int i = 0; i < def_.valueCount(); ++i) {
        const FieldPtr& f = buf_[static_cast<std::size_t>(i)];
        if (f.isText()) {
            s.columnText(i + 2, *f.asText());
        } else {
            writeField(f, static_cast<long long>(s.columnInt(i + 2)));
        }
    }
    snapshot();
    return Level::Benign;
}

int FileManager::autoNumberKey() const {
    for (std::size_t k = 0; k < def_.keys.size(); ++k)
        if (def_.keys[k].autoNumber != AutoNumber::None) return static_cast<int>(k);
    return -1;
}

Level FileManager::renumberGroup(int groupField, long long group, int numberField, long long lead,
                                 int leadPlace, int* failedStage) {
    if (failedStage) *failedStage = 0;
    if (!opened()) return notOpened();
    StoreFile* f = file();
    if (!f) return notOpened();
    if (groupField < 0 || groupField >= def_.valueCount() || numberField < 0 ||
        numberField >= def_.valueCount()) {
        lastError_ = {kStoreMisuse, "Unknown field"};
        return Level::Notify;
    }
    const std::string grp = sql::columnName(def_, groupField);
    const std::string num = sql::columnName(def_, numberField);
    const int slot = kRenumberSlots + groupField * 1000 + numberField * 10;
    bool own = false;
    if (int rc = f->beginOperation(own); rc != kStoreOk) {
        lastError_ = f->lastError();
        if (failedStage) *failedStage = 1;
        return Level::Notify;
    }
    int stage = 1;
    const auto failed = [&] {
        lastError_ = f->lastError();
        f->exec("DELETE FROM temp.qd_renumber");
        f->endOperation(own, false);
        if (failedStage) *failedStage = stage;
        return Level::Notify;
    };
    // The highest number and the count tell where the parking numbers start.
    Query range = statement(slot, [&] {
        return "SELECT min(" + num + "), max(" + num + "), count(*) FROM " + sqlTable_ + " WHERE " + grp +
               " = ?";
    });
    if (!range) return failed();
    range.bind(1, group);
    if (range.step() != kStoreRow) {
        range.reset();
        return failed();
    }
    const long long lowest = range.columnInt(0);
    const long long highest = range.columnInt(1);
    const long long count = range.columnInt(2);
    range.reset();
    const long long park = std::max(highest, count);
    // No record, or numbered 1 ... count already (the numbers are distinct) with
    // nothing to lead: nothing is written.
    if (count == 0 || (leadPlace == 0 && lowest == 1 && highest == count))
        return f->endOperation(own, true) == kStoreOk ? Level::Benign : failed();

    // The new order, numbered by the rows of a scratch table of this connection.
    if (f->exec("CREATE TEMP TABLE IF NOT EXISTS qd_renumber (n INTEGER PRIMARY KEY, rid INTEGER UNIQUE)") !=
            kStoreOk ||
        f->exec("DELETE FROM temp.qd_renumber") != kStoreOk)
        return failed();
    Query order = statement(slot + 1, [&] {
        return "INSERT INTO temp.qd_renumber (rid) SELECT \"_rid\" FROM " + sqlTable_ + " WHERE " + grp +
               " = ? ORDER BY CASE WHEN " + num + " = ? THEN ? ELSE 0 END, " + num + ", \"_rid\"";
    });
    if (!order) return failed();
    order.bind(1, group);
    order.bind(2, lead);
    order.bind(3, static_cast<long long>(leadPlace < 0 ? -1 : leadPlace > 0 ? 1 : 0));
    int rc = order.step();
    order.reset();
    if (rc != kStoreDone) return failed();

    Query parkAll = statement(slot + 2, [&] {
        return "UPDATE " + sqlTable_ + " SET \"_rev\" = ?, " + num +
               " = ? + (SELECT n FROM temp.qd_renumber WHERE rid = \"_rid\") WHERE " + grp + " = ?";
    });
    if (!parkAll) return failed();
    parkAll.bind(1, newRevision());
    parkAll.bind(2, park);
    parkAll.bind(3, group);
    rc = parkAll.step();
    parkAll.reset();
    if (rc != kStoreDone) return failed();

    stage = 2;
    Query settle = statement(slot + 3, [&] {
        return "UPDATE " + sqlTable_ + " SET " + num + " = " + num + " - ? WHERE " + grp + " = ?";
    });
    if (!settle) return failed();
    settle.bind(1, park);
    settle.bind(2, group);
    rc = settle.step();
    settle.reset();
    if (rc != kStoreDone) return failed();
    if (f->exec("DELETE FROM temp.qd_renumber") != kStoreOk) return failed();
    if (f->endOperation(own, true) != kStoreOk) return failed();
    // The record in the buffer (if any) was renumbered too: its stamp is gone.
    currentRid_ = 0;
    currentRev_ = 0;
    return Level::Benign;
}

Level FileManager::primeAutoNumber() {
    const int k = autoNumberKey();
    if (k < 0) return Level::Benign;
    const KeyDef& key = def_.keys[static_cast<std::size_t>(k)];
    const int numbered = key.components.back().field;
    if (std::get<long long>(value(numbered)) != 0) return Level::Benign;
    StoreFile* f = file();
    if (!f) return notOpened();
    Query s = statement(5, [&] {
        const std::string col = sql::columnName(def_, numbered);
        std::string where = sql::notEmpty(def_, key);
        if (key.autoNumber == AutoNumber::WithinLeading) {
            const int lead = key.components.front().field;
            if (!where.empty()) where += " AND ";
            where += sql::columnName(def_, lead);
            if (key.noCase && isTextType(def_.field(lead).type)) where += " COLLATE NOCASE";
            where += " = ?";
        }
        return "SELECT " + col + " FROM " + sqlTable_ + (where.empty() ? "" : " WHERE " + where) +
               " ORDER BY " + col + " DESC LIMIT 1";
    });
    if (!s) return fail(true, 32, kStoreError);
    if (key.autoNumber == AutoNumber::WithinLeading) {
        const FieldValue lead = value(key.components.front().field);
        if (std::holds_alternative<std::string>(lead)) {
            const std::string text = fitText(std::get<std::string>(lead), FieldType::String, 1 << 20);
            s.bind(1, text);
        } else {
            s.bind(1, std::get<long long>(lead));
        }
    }
    long long highest = 0;
    const int rc = s.step();
    if (rc == kStoreRow) highest = s.columnInt(0);
    s.reset();
    if (rc != kStoreRow && rc != kStoreDone) return fail(false, 32, rc);
    setValue(numbered, highest + 1);
    return Level::Benign;
}

Level FileManager::doInsert(bool silent) {
    if (!opened()) return notOpened();
    StoreFile* f = file();
    if (!f) return notOpened();
    bool own = false;
    if (int rc = f->beginOperation(own); rc != kStoreOk) return fail(silent, 4, rc);
    const int autoKey = autoNumberKey();
    const int numbered =
        autoKey >= 0 ? def_.keys[static_cast<std::size_t>(autoKey)].components.back().field : -1;
    const bool primed = numbered >= 0 && std::get<long long>(value(numbered)) == 0;
    if (Level l = primeAutoNumber(); l != Level::Benign) {
        f->endOperation(own, false);
        return l;
    }
    std::string cols = "\"_rev\"";
    std::string params = "?";
    if (!stmts_.count(0))
        for (int i = 0; i < def_.valueCount(); ++i) {
            cols += ", " + sql::columnName(def_, i);
            params += ", ?";
        }
    Query s =
        statement(0, [&] { return "INSERT INTO " + sqlTable_ + " (" + cols + ") VALUES (" + params + ")"; });
    if (!s) {
        f->endOperation(own, false);
        return fail(silent, 4, kStoreError);
    }
    const long long rev = newRevision();
    s.bind(1, rev);
    bindBuffer(s, 2);
    const int rc = s.step();
    s.reset();
    if (rc != kStoreDone) {
        const StoreError err = f->lastError();
        f->endOperation(own, false);
        if (primed) setValue(numbered, 0LL);
        lastError_ = err;
        if (primaryCode(rc) == kStoreConstraint) {
            // Name the key whose value is taken.
            std::string description;
            for (const auto& k : def_.keys) {
                if (!k.unique) continue;
                std::string where = sql::notEmpty(def_, k);
                for (const auto& c : k.components) {
                    if (!where.empty()) where += " AND ";
                    where += sql::columnName(def_, c.field);
                    if (k.noCase && isTextType(def_.field(c.field).type)) where += " COLLATE NOCASE";
                    where += " = ?";
                }
                Query q = f->prepare("SELECT 1 FROM " + sqlTable_ + " WHERE " + where + " LIMIT 1");
                if (!q) continue;
                int n = 1;
                for (const auto& c : k.components) {
                    const FieldValue v = value(c.field);
                    if (std::holds_alternative<std::string>(v))
                        q.bind(n++, std::get<std::string>(v));
                    else
                        q.bind(n++, std::get<long long>(v));
                }
                const bool taken = q.step() == kStoreRow;
                q.reset();
                if (taken) {
                    description = k.description;
                    break;
                }
            }
            if (silent) return Level::Notify;
            ErrorContext ctx;
            ctx.file = def_.label;
            ctx.errorText = err.text;
            ctx.errorCode = err.code;
            ctx.message = description;
            return ds_.errors().throwMessage(13, ctx);
        }
        if (silent) return Level::Notify;
        ErrorContext ctx;
        ctx.file = def_.label;
        ctx.errorText = err.text;
        ctx.errorCode = err.code;
        return ds_.errors().throwMessage(4, ctx);
    }
    const long long rid = f->lastInsertId();
    if (int crc = f->endOperation(own, true); crc != kStoreOk) {
        if (primed) setValue(numbered, 0LL);
        return fail(silent, 4, crc);
    }
    currentRid_ = rid;
    currentRev_ = rev;
    snapshot();
    return Level::Benign;
}

// An update or delete before any record was read: `message` is the operation's own.
Level FileManager::noCurrentRecord(bool silent, int message) {
    lastError_ = {kStoreNotFound, "No record has been read"};
    if (silent) return Level::Notify;
    ErrorContext ctx;
    ctx.file = def_.label;
    ctx.errorText = lastError_.text;
    return ds_.errors().throwMessage(message, ctx);
}

Level FileManager::doUpdate(bool silent, int concurrencyMessage) {
    if (!opened()) return notOpened();
    StoreFile* f = file();
    if (!f) return notOpened();
    if (!hasCurrent()) return noCurrentRecord(silent, 25);
    bool own = false;
    if (int rc = f->beginOperation(own); rc != kStoreOk) return fail(silent, 25, rc);
    const int n = def_.valueCount();
    Query s = statement(1, [&] {
        std::string sets = "\"_rev\" = ?";
        for (int i = 0; i < def_.valueCount(); ++i)
            sets += ", " + sql::columnName(def_, i) + " = ?";
        return "UPDATE " + sqlTable_ + " SET " + sets + " WHERE \"_rid\" = ? AND \"_rev\" = ?";
    });
    if (!s) {
        f->endOperation(own, false);
        return fail(silent, 25, kStoreError);
    }
    const long long rev = newRevision();
    s.bind(1, rev);
    bindBuffer(s, 2);
    s.bind(n + 2, currentRid_);
    s.bind(n + 3, currentRev_);
    const int rc = s.step();
    s.reset();
    if (rc != kStoreDone) {
        const StoreError err = f->lastError();
        f->endOperation(own, false);
        lastError_ = err;
        if (silent) return Level::Notify;
        ErrorContext ctx;
        ctx.file = def_.label;
        ctx.errorText = err.text;
        ctx.errorCode = err.code;
        if (primaryCode(rc) == kStoreConstraint) {
            ctx.message = def_.label;
            return ds_.errors().throwMessage(13, ctx);
        }
        return ds_.errors().throwMessage(25, ctx);
    }
    if (f->changes() == 0) {
        // Another station changed or removed the record since it was read.
        f->endOperation(own, false);
        lastError_ = {kStoreAbort, "This record was changed by another station."};
        if (silent) return Level::Notify;
        ErrorContext ctx;
        ctx.file = def_.label;
        return ds_.errors().throwMessage(concurrencyMessage, ctx);
    }
    if (int crc = f->endOperation(own, true); crc != kStoreOk) {
        return fail(silent, 25, crc);
    }
    currentRev_ = rev;
    snapshot();
    return Level::Benign;
}

Level FileManager::doDelete(bool silent) {
    if (!opened()) return notOpened();
    StoreFile* f = file();
    if (!f) return notOpened();
    if (!hasCurrent()) return noCurrentRecord(silent, 11);
    Query s = statement(2, [&] { return "DELETE FROM " + sqlTable_ + " WHERE \"_rid\" = ?"; });
    if (!s) return fail(silent, 11, kStoreError);
    s.bind(1, currentRid_);
    const int rc = s.step();
    s.reset();
    if (rc != kStoreDone) return fail(silent, 11, rc);
    currentRid_ = 0;
    currentRev_ = 0;
    return Level::Benign;
}

int FileManager::bindKeyValues(Query s, int key, int components, int start, bool withRid) {
    const KeyDef& k = def_.keys[static_cast<std::size_t>(key)];
    const int count = components < 0 ? static_cast<int>(k.components.size()) : components;
    int n = start;
    for (int i = 0; i < count; ++i) {
        const FieldValue& v = positionValues_[static_cast<std::size_t>(i)];
        if (std::holds_alternative<std::string>(v))
            s.bind(n++, std::get<std::string>(v));
        else
            s.bind(n++, std::get<long long>(v));
    }
    if (withRid) s.bind(n++, positionRid_);
    return n;
}

Query FileManager::seekStatement(int key, Seek seek, int components) {
    return statement(kSeekSlots + key * 100 + static_cast<int>(seek) * 10 + components + 1, [&] {
        const KeyDef& k = def_.keys[static_cast<std::size_t>(key)];
        const bool desc = allDescending(k);
        const bool reverse = seek == Seek::Before || seek == Seek::AtOrBefore || seek == Seek::Last;
        const bool withRid = seek == Seek::After || seek == Seek::Before;
        std::string where = sql::notEmpty(def_, k);
        if (seek != Seek::First && seek != Seek::Last) {
            const int count = components < 0 ? static_cast<int>(k.components.size()) : components;
            // The key values as numbered parameters (bound once, used several
            // times below), with the key's collation on the value side.
            std::vector<std::string> cols;
            std::vector<std::string> params;
            for (int i = 0; i < count; ++i) {
                const int field = k.components[static_cast<std::size_t>(i)].field;
                cols.push_back(sql::columnName(def_, field));
                params.push_back("?" + std::to_string(i + 1));
                if (k.noCase && isTextType(def_.field(field).type)) params.back() += " COLLATE NOCASE";
            }
            if (withRid) {
                cols.push_back("\"_rid\"");
                params.push_back("?" + std::to_string(count + 1));
            }
            // Forward in key order means "greater" unless the key runs from high to low.
            const bool greater = (seek == Seek::After || seek == Seek::AtOrAfter) != desc;
            const std::string strict = greater ? " > " : " < ";
            const std::string orEqual = greater ? " >= " : " <= ";
            const std::string last = withRid ? strict : orEqual;
            // (c1, c2, ...) after (v1, v2, ...), spelled out field by field and
            // led by a bound on the first field: the store then starts its index
            // walk at the position instead of at the start of the key.
            std::string tail = cols.back() + last + params.back();
            for (std::size_t i = cols.size() - 1; i-- > 0;)
                tail = "(" + cols[i] + strict + params[i] + " OR (" + cols[i] + " = " + params[i] + " AND " +
                       tail + "))";
            if (!where.empty()) where += " AND ";
            where += cols.size() == 1 ? tail : cols[0] + orEqual + params[0] + " AND " + tail;
        }
        if (!filter_.where.empty()) where += (where.empty() ? "" : " AND ") + filter_.where;
        return "SELECT " + selectList() + " FROM " + sqlTable_ + (where.empty() ? "" : " WHERE " + where) +
               " ORDER BY " + sql::orderBy(def_, k, reverse) + " LIMIT 1";
    });
}

void FileManager::setOrder(int key) {
    orderKey_ = key;
    pending_ = Seek::First;
    pendingComponents_ = -1;
    positioned_ = false;
}

void FileManager::setFilter(const RecordFilter& filter) {
    filter_ = filterQuery(def_, filter, kFilterFirstParam);
    // The key-walking statements carry the filter: build them anew.
    std::erase_if(stmts_, [](const auto& slot) { return slot.first >= kSeekSlots; });
}

void FileManager::setPosition(int key, int components) {
    orderKey_ = key;
    pending_ = Seek::AtOrAfter;
    pendingComponents_ = components;
    positioned_ = false;
    const KeyDef& k = def_.keys[static_cast<std::size_t>(key)];
    positionValues_.clear();
    for (const auto& c : k.components) {
        FieldValue v = value(c.field);
        if (std::holds_alternative<std::string>(v))
            v = fitText(std::get<std::string>(v), def_.field(c.field).type, def_.field(c.field).width);
        positionValues_.push_back(v);
    }
}

Level FileManager::next() {
    return step(true);
}

Level FileManager::previous() {
    return step(false);
}

Level FileManager::step(bool forward, bool silent) {
    if (!opened()) return notOpened();
    if (orderKey_ < 0) setOrder(0);
    Seek seek;
    if (forward)
        seek = positioned_ ? Seek::After : pending_;
    else
        seek = positioned_ ? Seek::Before : (pending_ == Seek::First ? Seek::Last : Seek::AtOrBefore);
    const int components = positioned_ ? -1 : pendingComponents_;
    Query s = seekStatement(orderKey_, seek, components);
    if (!s) return fail(silent, 1, kStoreError);
    if (seek != Seek::First && seek != Seek::Last)
        bindKeyValues(s, orderKey_, components, 1, seek == Seek::After || seek == Seek::Before);
    bindFilter(s);
    const int rc = s.step();
    if (rc == kStoreRow) {
        readRow(s);
        s.reset();
        return Level::Benign;
    }
    s.reset();
    if (rc == kStoreDone) {
        lastError_ = {kStoreDone, forward ? "End of file" : "Beginning of file"};
        return Level::Notify;
    }
    return fail(silent, 1, rc);
}

Level FileManager::first(int key) {
    setOrder(key);
    return next();
}

Level FileManager::fetch(int key) {
    if (!opened()) return notOpened();
    if (key < 0 || key >= static_cast<int>(def_.keys.size())) {
        lastError_ = {kStoreMisuse, "Unknown key"};
        return Level::Notify;
    }
    const KeyDef& k = def_.keys[static_cast<std::size_t>(key)];
    if (!file()) return notOpened();
    Query s = statement(16 + key, [&] {
        std::string where = sql::notEmpty(def_, k);
        for (const auto& c : k.components) {
            if (!where.empty()) where += " AND ";
            where += sql::columnName(def_, c.field);
            if (k.noCase && isTextType(def_.field(c.field).type)) where += " COLLATE NOCASE";
            where += " = ?";
        }
        return "SELECT " + selectList() + " FROM " + sqlTable_ + " WHERE " + where + " ORDER BY " +
               sql::orderBy(def_, k, false) + " LIMIT 1";
    });
    if (!s) return fail(false, 1, kStoreError);
    int n = 1;
    for (const auto& c : k.components) {
        const FieldValue v = value(c.field);
        if (std::holds_alternative<std::string>(v)) {
            const std::string text =
                fitText(std::get<std::string>(v), def_.field(c.field).type, def_.field(c.field).width);
            s.bind(n++, text);
        } else {
            s.bind(n++, std::get<long long>(v));
        }
    }
    const int rc = s.step();
    if (rc == kStoreRow) {
        const int saveOrder = orderKey_;
        orderKey_ = key;
        readRow(s);
        orderKey_ = saveOrder;
        if (saveOrder != key) positioned_ = false;
        s.reset();
        return Level::Benign;
    }
    s.reset();
    if (rc == kStoreDone) {
        lastError_ = {kStoreNotFound, "Record Not Found"};
        return Level::Notify;
    }
    return fail(false, 1, rc);
}

Level FileManager::doReget(bool silent) {
    if (!opened()) return notOpened();
    StoreFile* f = file();
    if (!f || !hasCurrent()) return Level::Notify;
    Query s =
        statement(3, [&] { return "SELECT " + selectList() + " FROM " + sqlTable_ + " WHERE \"_rid\" = ?"; });
    if (!s) return fail(silent, 1, kStoreError);
    s.bind(1, currentRid_);
    const int rc = s.step();
    if (rc == kStoreRow) {
        readRow(s);
        s.reset();
        return Level::Benign;
    }
    s.reset();
    if (rc == kStoreDone) {
        lastError_ = {kStoreNotFound, "Record Not Found"};
        return Level::Notify;
    }
    return fail(silent, 1, rc);
}

long long FileManager::recordCount() {
    StoreFile* f = file();
    if (!opened() || !f) return 0;
    Query s = statement(4, [&] { return "SELECT count(*) FROM " + sqlTable_; });
    if (!s) return 0;
    long long n = 0;
    if (s.step() == kStoreRow) n = s.columnInt(0);
    s.reset();
    return n;
}

void FileManager::bindFilter(Query s) {
    int n = kFilterFirstParam;
    for (const auto& v : filter_.values) {
        if (std::holds_alternative<std::string>(v))
            s.bind(n++, std::get<std::string>(v));
        else
            s.bind(n++, std::get<long long>(v));
    }
}

// ---------------------------------------------------------------------------
// Numbered views.

std::vector<FileManager::ViewColumn> FileManager::viewColumns(const ViewOrder& order, bool reverse) const {
    const KeyDef& k = def_.keys[static_cast<std::size_t>(order.key)];
    std::vector<ViewColumn> cols;
    const auto add = [&](int field, bool noCase, bool descending) {
        const bool text = isTextType(def_.field(field).type);
        cols.push_back(
            {sql::columnName(def_, field), noCase && text ? " COLLATE NOCASE" : "", descending, text});
    };
    if (order.sortField >= 0) add(order.sortField, true, reverse);
    for (const auto& c : k.components)
        add(c.field, k.noCase, c.descending != reverse);
    cols.push_back({"\"_rid\"", "", allDescending(k) != reverse, false});
    return cols;
}

std::string FileManager::viewWhere(const ViewOrder& order) const {
    std::string where = sql::notEmpty(def_, def_.keys[static_cast<std::size_t>(order.key)]);
    if (!filter_.where.empty()) where += (where.empty() ? "" : " AND ") + filter_.where;
    return where;
}

namespace {

bool validOrder(const TableDef& def, const FileManager::ViewOrder& order) {
    return order.key >= 0 && order.key < static_cast<int>(def.keys.size()) && order.sortField >= -1 &&
           order.sortField < def.valueCount();
}

int viewSlot(const FileManager::ViewOrder& order, int kind, bool reverse) {
    return kViewSlots + order.key * 10000 + (order.sortField + 1) * 20 + kind * 2 + (reverse ? 1 : 0);
}

} // namespace

long long FileManager::viewCount(const ViewOrder& order) {
    if (!opened() || !file()) {
        lastError_ = {kStoreMisuse, "File not open"};
        return -1;
    }
    if (!validOrder(def_, order)) {
        lastError_ = {kStoreMisuse, "Unknown key"};
        return -1;
    }
    Query s = statement(viewSlot(order, 0, false), [&] {
        const std::string where = viewWhere(order);
        return "SELECT count(*) FROM " + sqlTable() + (where.empty() ? "" : " WHERE " + where);
    });
    if (!s) {
        lastError_ = file()->lastError();
        return -1;
    }
    bindFilter(s);
    const int rc = s.step();
    const long long n = rc == kStoreRow ? s.columnInt(0) : -1;
    s.reset();
    if (rc != kStoreRow) lastError_ = {rc, file()->lastError().text};
    return n;
}

Level FileManager::readView(const ViewOrder& order, long long first, int count,
                            const std::function<void(long long)>& each, long long total) {
    if (!opened() || !file()) return notOpened();
    if (!validOrder(def_, order)) {
        lastError_ = {kStoreMisuse, "Unknown key"};
        return Level::Notify;
    }
    if (first < 0 || count <= 0) return Level::Benign;
    // Past the middle of a known view the rows are counted from its end: the
    // store then steps over fewer records to reach them.
    bool fromEnd = false;
    long long offset = first;
    int wanted = count;
    if (total >= 0 && first > total / 2) {
        if (first >= total) return Level::Benign;
        const long long end = std::min(total, first + count);
        wanted = static_cast<int>(end - first);
        offset = total - end;
        fromEnd = true;
    }
    const bool reverse = order.reverse != fromEnd;
    Query s = statement(viewSlot(order, 1, reverse), [&] {
        const std::string where = viewWhere(order);
        std::string by;
        for (const auto& c : viewColumns(order, reverse))
            by += (by.empty() ? "" : ", ") + c.column + c.collate + (c.descending ? " DESC" : "");
        return "SELECT " + selectList() + " FROM " + sqlTable() + (where.empty() ? "" : " WHERE " + where) +
               " ORDER BY " + by + " LIMIT ?1 OFFSET ?2";
    });
    if (!s) return fail(true, 1, kStoreError);
    s.bind(1, static_cast<long long>(wanted));
    s.bind(2, offset);
    bindFilter(s);
    long long row = fromEnd ? first + wanted - 1 : first;
    int rc;
    while ((rc = s.step()) == kStoreRow) {
        readRow(s);
        each(row);
        row += fromEnd ? -1 : 1;
    }
    s.reset();
    // The numbered reads leave no position for next() and previous().
    positioned_ = false;
    if (rc != kStoreDone) return fail(true, 1, rc);
    return Level::Benign;
}

std::vector<FieldValue> FileManager::viewValues(const ViewOrder& order, const std::vector<ViewColumn>& cols,
                                                long long rowId) {
    std::vector<FieldValue> at;
    Query values = statement(viewSlot(order, 2, order.reverse), [&] {
        std::string list;
        for (const auto& c : cols)
            list += (list.empty() ? "" : ", ") + c.column;
        std::string where = viewWhere(order);
        where = "\"_rid\" = ?1" + (where.empty() ? "" : " AND " + where);
        return "SELECT " + list + " FROM " + sqlTable() + " WHERE " + where;
    });
    if (!values) return at;
    values.bind(1, rowId);
    bindFilter(values);
    if (values.step() == kStoreRow) {
        for (std::size_t i = 0; i < cols.size(); ++i) {
            const int column = static_cast<int>(i);
            if (cols[i].text)
                at.emplace_back(values.columnText(column));
            else
                at.emplace_back(values.columnInt(column));
        }
    }
    values.reset();
    return at;
}

std::string FileManager::orderCondition(const std::vector<ViewColumn>& cols, bool after, int first) {
    std::string tail;
    for (std::size_t i = cols.size(); i-- > 0;) {
        const ViewColumn& c = cols[i];
        const std::string param = "?" + std::to_string(first + static_cast<int>(i)) + c.collate;
        const std::string beyond = c.column + (c.descending != after ? " > " : " < ") + param;
        tail =
            tail.empty() ? beyond : "(" + beyond + " OR (" + c.column + " = " + param + " AND " + tail + "))";
    }
    return tail;
}

void FileManager::bindValues(Query s, const std::vector<FieldValue>& values, int first) {
    for (std::size_t i = 0; i < values.size(); ++i) {
        const int n = first + static_cast<int>(i);
        if (std::holds_alternative<std::string>(values[i]))
            s.bind(n, std::get<std::string>(values[i]));
        else
            s.bind(n, std::get<long long>(values[i]));
    }
}

long long FileManager::viewRow(const ViewOrder& order, long long rowId) {
    if (!opened() || !file() || !validOrder(def_, order)) return -1;
    const std::vector<ViewColumn> cols = viewColumns(order, order.reverse);
    // The record's own values of the order's columns, when it is in the view.
    const std::vector<FieldValue> at = viewValues(order, cols, rowId);
    if (at.empty()) return -1;
    Query before = statement(viewSlot(order, 3, order.reverse), [&] {
        std::string where = viewWhere(order);
        where = orderCondition(cols, false, 1) + (where.empty() ? "" : " AND " + where);
        return "SELECT count(*) FROM " + sqlTable() + " WHERE " + where;
    });
    if (!before) return -1;
    bindValues(before, at, 1);
    bindFilter(before);
    const int rc = before.step();
    const long long row = rc == kStoreRow ? before.columnInt(0) : -1;
    before.reset();
    return row;
}

Level FileManager::readViewAfter(const ViewOrder& order, ViewCursor& cursor, int count,
                                 const std::function<void()>& each) {
    if (!opened() || !file()) return notOpened();
    if (!validOrder(def_, order)) {
        lastError_ = {kStoreMisuse, "Unknown key"};
        return Level::Notify;
    }
    if (count <= 0) return Level::Benign;
    const std::vector<ViewColumn> cols = viewColumns(order, order.reverse);
    const bool fromStart = cursor.after.size() != cols.size();
    Query s = statement(viewSlot(order, fromStart ? 4 : 5, order.reverse), [&] {
        std::string by, list;
        for (const auto& c : cols) {
            by += (by.empty() ? "" : ", ") + c.column + c.collate + (c.descending ? " DESC" : "");
            list += ", " + c.column;
        }
        std::string where = viewWhere(order);
        if (!fromStart) where = orderCondition(cols, true, 2) + (where.empty() ? "" : " AND " + where);
        return "SELECT " + selectList() + list + " FROM " + sqlTable() +
               (where.empty() ? "" : " WHERE " + where) + " ORDER BY " + by + " LIMIT ?1";
    });
    if (!s) return fail(true, 1, kStoreError);
    s.bind(1, static_cast<long long>(count));
    if (!fromStart) bindValues(s, cursor.after, 2);
    bindFilter(s);
    // The order's columns follow the record's own.
    const int valuesAt = def_.valueCount() + 2;
    int rc;
    while ((rc = s.step()) == kStoreRow) {
        readRow(s);
        cursor.after.clear();
        for (std::size_t i = 0; i < cols.size(); ++i) {
            const int column = valuesAt + static_cast<int>(i);
            if (cols[i].text)
                cursor.after.emplace_back(s.columnText(column));
            else
                cursor.after.emplace_back(s.columnInt(column));
        }
        each();
    }
    s.reset();
    positioned_ = false;
    if (rc != kStoreDone) return fail(true, 1, rc);
    return Level::Benign;
}

} // namespace qd
