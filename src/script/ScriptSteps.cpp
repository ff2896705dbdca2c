#include "script/ScriptSteps.h"

#include "data/FileManager.h"
#include "data/RecordFilter.h"
#include "data/TextWidth.h"

#include <limits>

namespace qd {

int stepKeyIndex(const TableDef& def) {
    for (std::size_t k = 0; k < def.keys.size(); ++k)
        if (def.keys[k].primary) return static_cast<int>(k);
    return 0;
}

namespace {

StepStatus failure(const FileManager& t, Level level) {
    StepStatus s;
    s.level = level == Level::Benign ? Level::Notify : level;
    s.error = t.lastError().text;
    if (s.error.empty()) s.error = "The table could not be used";
    return s;
}

// Positions the table before the first step of `id`.
void positionAt(Table<ScriptingRecord>& t, std::int32_t id) {
    const int key = stepKeyIndex(t.def());
    t.rec = {};
    t.rec.ID = id;
    t.setPosition(key, 1);
}

// A write transaction on the table's file; rolled back unless committed.
class Transaction {
public:
    explicit Transaction(FileManager& t) : file_(t.file()) {
        if (file_ && file_->begin() != 0) file_ = nullptr;
        started_ = file_ != nullptr;
    }
    ~Transaction() {
        if (started_ && !done_) file_->rollback();
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    bool started() const { return started_; }
    bool commit() {
        done_ = true;
        return started_ && file_->commit() == 0;
    }

private:
    StoreFile* file_;
    bool started_ = false;
    bool done_ = false;
};

StepStatus deleteAll(Table<ScriptingRecord>& t, std::int32_t id) {
    for (;;) {
        positionAt(t, id);
        const Level l = t.next();
        if (l == Level::Notify || t.rec.ID != id) return {};
        if (l != Level::Benign) return failure(t, l);
        if (Level d = t.tryDelete(); d != Level::Benign) return failure(t, d);
    }
}

} // namespace

namespace {
void fitField(std::string& v, std::size_t width) {
    v = fitText(v, width);
}
void fitField(std::int32_t&, std::size_t) {}
} // namespace

void fitStepFields(ScriptingRecord& s) {
#define QD_FIT_STEP_FIELD(m, t, w) fitField(s.m, ScriptingRecord::Width::m);
    QD_LAYOUT_SCRIPTING(QD_FIT_STEP_FIELD, QD_REC_GROUP)
#undef QD_FIT_STEP_FIELD
}

StepsResult LoadScriptSteps(DataSet& ds, const TableDef& table, std::int32_t id, Progress* progress,
                            const std::string& title) {
    StepsResult r;
    Table<ScriptingRecord> t(ds, table);
    const auto failed = [&](Level l) {
        StepStatus s = failure(t, l);
        r.level = s.level;
        r.error = s.error;
        r.steps.clear();
        t.close();
        return r;
    };
    if (Level l = t.open(); l != Level::Benign) return failed(l);
    // The owner's steps in key order, read by a few numbered reads rather than
    // a seek per step: a script of 10,000 steps is read in milliseconds.
    const int key = stepKeyIndex(t.def());
    const KeyDef& k = t.def().keys[static_cast<std::size_t>(key)];
    FieldCondition owner;
    owner.field = k.components.front().field;
    owner.value = static_cast<long long>(id);
    t.setFilter({owner});
    const FileManager::ViewOrder order{key, -1, false};
    long long total = -1;
    if (progress) {
        total = t.viewCount(order);
        if (total < 0) return failed(Level::Notify);
        if (total < static_cast<long long>(kStepsShownInProgress)) progress = nullptr;
    }
    ProgressMeter meter(progress, title, total);
    // With a progress window the steps come in chunks, so a cancel is heard.
    const int chunk = progress ? 500 : std::numeric_limits<int>::max();
    // Each chunk seeks past the last step read, so a step another connection
    // deletes meanwhile makes no other step be skipped or read twice.
    FileManager::ViewCursor cursor;
    for (;;) {
        std::size_t read = 0;
        const auto add = [&] {
            r.steps.push_back(t.rec);
            ++read;
        };
        if (t.readViewAfter(order, cursor, chunk, add) != Level::Benign) return failed(Level::Notify);
        if (read < static_cast<std::size_t>(chunk)) break;
        if (!meter.at(static_cast<long long>(r.steps.size()))) {
            t.close();
            return StepsResult{Level::Notify, "Cancelled", {}, true};
        }
    }
    t.close();
    return r;
}

std::int32_t HighestSequence(DataSet& ds, const TableDef& table, std::int32_t id, StepStatus* status) {
    StepsResult r = LoadScriptSteps(ds, table, id);
    if (status) *status = StepStatus{r.level, r.error};
    std::int32_t highest = 0;
    for (const auto& s : r.steps)
        highest = std::max(highest, s.Sequence);
    return highest;
}

StepStatus DeleteScriptSteps(DataSet& ds, const TableDef& table, std::int32_t id) {
    Table<ScriptingRecord> t(ds, table);
    if (Level l = t.open(); l != Level::Benign) return failure(t, l);
    Transaction tx(t);
    StepStatus s = deleteAll(t, id);
    if (s.ok() && tx.started() && !tx.commit()) s = failure(t, Level::Notify);
    t.close();
    return s;
}

namespace {

StepStatus writeSteps(DataSet& ds, const TableDef& table, std::int32_t id,
                      const std::vector<ScriptingRecord>& steps, bool replace, Progress* progress = nullptr,
                      const std::string& title = {}) {
    Table<ScriptingRecord> t(ds, table);
    if (Level l = t.open(); l != Level::Benign) return failure(t, l);
    Transaction tx(t);
    StepStatus s;
    if (!tx.started()) s = failure(t, Level::Notify);
    if (s.ok() && replace) s = deleteAll(t, id);
    ProgressMeter meter(steps.size() >= kStepsShownInProgress ? progress : nullptr, title,
                        static_cast<long long>(steps.size()));
    for (std::size_t i = 0; s.ok() && i < steps.size(); ++i) {
        if (!meter.at(static_cast<long long>(i))) {
            s = StepStatus{Level::Notify, "Cancelled", true};
            break;
        }
        t.rec = steps[i];
        t.rec.ID = id;
        fitStepFields(t.rec);
        if (Level l = t.tryInsert(); l != Level::Benign) s = failure(t, l);
    }
    if (s.ok() && !tx.commit()) s = failure(t, Level::Notify);
    t.close();
    return s;
}

} // namespace

StepStatus ReplaceScriptSteps(DataSet& ds, const TableDef& table, std::int32_t id,
                              const std::vector<ScriptingRecord>& steps) {
    return writeSteps(ds, table, id, steps, true);
}

StepStatus AppendScriptSteps(DataSet& ds, const TableDef& table, std::int32_t id,
                             const std::vector<ScriptingRecord>& steps, Progress* progress,
                             const std::string& title) {
    return writeSteps(ds, table, id, steps, false, progress, title);
}

} // namespace qd
