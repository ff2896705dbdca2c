#include "schedule/BatchOperations.h"

#include "data/Clock.h"
#include "data/FileManager.h"
#include "data/RelationManager.h"
#include "data/StoreTransaction.h"
#include "data/TableDefs.h"
#include "schedule/Recurrence.h"
#include "schedule/RuleParts.h"
#include "schedule/ScheduleTables.h"

#include <algorithm>
#include <cstdint>
#include <system_error>
#include <vector>

namespace qd {
namespace {

constexpr int kEndOfFile = 101; // the store's code for "no further record"
constexpr int kRowsPerCommit = 1000;

bool endOfFile(Level l, const FileManager& t) {
    return l == Level::Notify && t.lastError().code == kEndOfFile;
}

int keyOf(const FileManager& t, const char* name) {
    return t.def().findKey(name);
}

using Meter = ProgressMeter;

// Groups the writes of a long run into transactions of kRowsPerCommit rows: one
// commit per row would make a run of many rows crawl.
class WriteBatch {
public:
    explicit WriteBatch(StoreFile* file) : file_(file) { open_ = file_ && file_->begin() == 0; }
    ~WriteBatch() { close(); }
    WriteBatch(const WriteBatch&) = delete;
    WriteBatch& operator=(const WriteBatch&) = delete;

    void wrote() {
        if (!open_ || ++pending_ < kRowsPerCommit) return;
        pending_ = 0;
        if (!commit()) return;
        open_ = file_->begin() == 0;
    }
    bool close() {
        if (!open_) return true;
        open_ = false;
        return commit();
    }

private:
    bool commit() {
        if (file_->commit() == 0) return true;
        file_->rollback();
        return false;
    }

    StoreFile* file_;
    bool open_ = false;
    int pending_ = 0;
};

// The tasks whose pending date lies in [from, to], in SCH:KeyDate order.
bool tasksInRange(DataSet& ds, Date from, Date to, std::vector<ScheduleRecord>& out) {
    Table<ScheduleRecord> sch(ds, tables::Schedule());
    if (sch.open() != Level::Benign) return false;
    sch.rec = {};
    sch.rec.Date = std::max<Date>(from, 1); // date 0 means no pending occurrence
    sch.setPosition(keyOf(sch, "SCH:KeyDate"), 1);
    Level l;
    while ((l = sch.next()) == Level::Benign && sch.rec.Date <= to)
        out.push_back(sch.rec);
    return l == Level::Benign || endOfFile(l, sch);
}

bool isHotKeyTask(const ScheduleRecord& task) {
    return trimRight(task.TaskType) == "Hot Key";
}

std::string storeErrorText(const FileManager& t) {
    if (!t.lastError().text.empty()) return t.lastError().text;
    return t.dataSet().errors().last().text;
}

} // namespace

// --- work file -------------------------------------------------------------------------

bool EmptyWorkfile(DataSet& ds, Progress* progress) {
    Table<ScheduleWorkFileRecord> work(ds, tables::ScheduleWorkFile());
    if (work.open() != Level::Benign) return false;
    Meter meter(progress, kEmptyWorkfileTitle, work.recordCount());
    WriteBatch batch(work.file());
    work.setOrder(keyOf(work, "SCW:KeyID"));
    long long done = 0;
    for (;;) {
        const Level l = work.next();
        if (endOfFile(l, work)) break;
        if (l != Level::Benign || work.deleteRecord() != Level::Benign) return false;
        batch.wrote();
        if (!meter.at(++done)) return false;
    }
    return batch.close();
}

std::string freshWorkfileName(const DataSet& ds, const Clock& clock) {
    long long number = clock.clockTime();
    for (;;) {
        const std::string name = std::to_string(number);
        std::error_code ec;
        if (!std::filesystem::exists(ds.resolve(name + ".TPS"), ec)) return name;
        ++number;
    }
}

std::string workfileLimitText(std::int32_t rowLimit) {
    return "The work file would hold more than " + std::to_string(rowLimit) +
           " occurrences. Choose a shorter date range.";
}

bool CreateWorkfile(DataSet& ds, Date from, Date to, UserInterface& ui, const Clock& clock,
                    Progress* progress, std::int32_t rowLimit) {
    GLO_ScheduleWorkFileName = freshWorkfileName(ds, clock);
    if (!EmptyWorkfile(ds, progress)) return false;

    std::vector<ScheduleRecord> tasks;
    if (!tasksInRange(ds, from, to, tasks)) return false;
    Table<ScheduleWorkFileRecord> work(ds, tables::ScheduleWorkFile());
    if (work.open() != Level::Benign) return false;

    // Each task is kUnitsPerTask units of progress, shared out within the task by
    // how far its occurrences have come.
    constexpr long long kUnitsPerTask = 1000;
    Meter meter(progress, kCreateWorkfileTitle, static_cast<long long>(tasks.size()) * kUnitsPerTask);
    WriteBatch batch(work.file());
    std::int32_t rows = static_cast<std::int32_t>(work.recordCount());
    const std::int32_t rowsBefore = rows;
    bool full = false;
    auto add = [&](const ScheduleRecord& occurrence) {
        if (rows >= rowLimit) {
            full = true;
            return;
        }
        work.rec = occurrence;
        work.rec.ID = rows + 1;
        if (work.tryInsert() == Level::Benign) ++rows;
        batch.wrote();
    };
    const long long span = std::max<long long>(1, static_cast<long long>(to) - from + 1);
    auto within = [&](const ScheduleRecord& task, std::int32_t rowsAtStart) {
        const long long byDate = (static_cast<long long>(task.Date) - from) * kUnitsPerTask / span;
        const long long byRows = static_cast<long long>(rows - rowsAtStart) * kUnitsPerTask /
                                 std::max<long long>(1, rowLimit - rowsBefore);
        return std::clamp<long long>(std::max(byDate, byRows), 0, kUnitsPerTask - 1);
    };
    auto stopAtLimit = [&] {
        batch.close();
        ui.message(kWorkfileLimitTitle, workfileLimitText(rowLimit), MessageIcon::Exclamation);
        return false;
    };

    long long done = 0;
    for (ScheduleRecord& task : tasks) {
        const std::int32_t rowsAtStart = rows;
        add(task);
        if (full) return stopAtLimit();
        if (ruleTypeOf(task.ScheduleType) != RuleType::Once) {
            for (;;) {
                const Moment added{task.Date, task.Time};
                NextOccurrence(task, task.Date, task.Time + 1, ui);
                if (task.Date > to || Moment{task.Date, task.Time} == added) break;
                add(task);
                if (full) return stopAtLimit();
                if (!meter.at(done * kUnitsPerTask + within(task, rowsAtStart))) return false;
            }
        }
        if (!meter.at(++done * kUnitsPerTask)) return false;
    }
    return batch.close();
}

WorkfileRun::WorkfileRun(DataSet& data) : run_(std::make_unique<DataSet>(data.folder(), data.errors())) {}

WorkfileRun::~WorkfileRun() {
    remove();
}

bool WorkfileRun::create(Date from, Date to, UserInterface& ui, const Clock& clock, Progress* progress,
                         std::int32_t rowLimit) {
    remove();
    const bool ok = CreateWorkfile(*run_, from, to, ui, clock, progress, rowLimit);
    file_ = run_->locate(tables::ScheduleWorkFile()).file;
    return ok;
}

bool WorkfileRun::remove() {
    if (file_.empty()) return true;
    run_->closeAll();
    std::error_code ec;
    for (const char* suffix : {"-journal", "-wal", "-shm"})
        std::filesystem::remove(std::filesystem::path(file_.string() + suffix), ec);
    std::filesystem::remove(file_, ec);
    if (std::filesystem::exists(file_, ec)) return false;
    file_.clear();
    return true;
}

// --- rescheduling ----------------------------------------------------------------------

Moment rescheduleDefaultMoment(Moment given, Moment now) {
    const Time soonest = now.time + kTimeMinute;
    if (given.date > now.date || (given.date == now.date && given.time >= soonest)) return given;
    if (soonest > kTimeDay) return Moment{now.date + 1, soonest - kTimeDay};
    return Moment{now.date, soonest};
}

std::string checkRescheduleMoment(Date date, Time time, Moment now) {
    if (date > now.date || (date == now.date && time >= now.time + kTimeMinute)) return {};
    return kRescheduleNotInFuture;
}

namespace {

// Tasks moved per transaction: every task is re-read and written inside it, and the
// progress window (where the user may cancel) only runs between two transactions.
constexpr std::size_t kRescheduleBatch = 200;

bool reschedulable(const ScheduleRecord& task, Moment moment) {
    if (task.Time == 0 || task.Date == 0 || task.Completed != 0 || isHotKeyTask(task)) return false;
    // A one-time task still ahead of the moment keeps its date: completing it would
    // drop an occurrence that has not come yet.
    if (ruleTypeOf(task.ScheduleType) == RuleType::Once &&
        Moment{task.Date, task.Time} > Moment{moment.date, moment.time + kTimeMinute})
        return false;
    return true;
}

} // namespace

bool RescheduleAllTasks(DataSet& ds, Date date, Time time, UserInterface& ui, const Clock& clock,
                        Progress* progress, RescheduleStats* stats) {
    RescheduleStats local;
    RescheduleStats& counts = stats ? *stats : local;
    counts = {};
    Table<ScheduleRecord> sch(ds, tables::Schedule());
    if (sch.open() != Level::Benign) return false;
    const int byId = keyOf(sch, "SCH:KeyID");

    // The IDs first: the tasks are then read again one by one inside the batch that
    // moves them, so a change the dispatcher made meanwhile is moved, not overwritten.
    std::vector<std::int32_t> ids;
    sch.setOrder(byId);
    for (;;) {
        const Level l = sch.next();
        if (endOfFile(l, sch)) break;
        if (l != Level::Benign) return false;
        ids.push_back(sch.rec.ID);
    }

    Meter meter(progress, kRescheduleTitle, static_cast<long long>(ids.size()));
    // Messages of the rule calculation (an invalid custom unit) raised while a
    // batch's transaction is open: shown, each distinct text once, after it ended.
    HeldMessages messages(ui, true);
    const Moment moment{date, time};
    std::size_t done = 0;
    while (done < ids.size()) {
        const std::size_t end = std::min(ids.size(), done + kRescheduleBatch);
        RescheduleStats batch;
        {
            StoreTransaction transaction(sch);
            if (!transaction.started()) return false;
            for (std::size_t i = done; i < end; ++i) {
                sch.rec = {};
                sch.rec.ID = ids[i];
                if (sch.fetch(byId) != Level::Benign) continue; // deleted meanwhile
                ScheduleRecord& task = sch.rec;
                if (!reschedulable(task, moment)) {
                    ++batch.untouched;
                    continue;
                }
                PreviousOccurrence(task, date, time, messages, clock);
                NextOccurrence(task, date, time, messages);
                if (sch.tryUpdate() != Level::Benign) {
                    // Nothing of this batch stays; the tasks of earlier batches stay moved.
                    const StoreError error = sch.lastError();
                    transaction.rollback();
                    messages.flush();
                    ErrorContext ctx;
                    ctx.file = sch.def().label;
                    ctx.errorCode = error.code;
                    ctx.errorText = error.text;
                    ds.errors().throwMessage(25, ctx);
                    return false;
                }
                ++batch.moved;
            }
            if (transaction.commit() != Level::Benign) return false;
        }
        counts.moved += batch.moved;
        counts.untouched += batch.untouched;
        messages.flush();
        done = end;
        if (!meter.at(static_cast<long long>(done))) return false;
    }
    return true;
}

// --- history removal -------------------------------------------------------------------

HistoryRemover::HistoryRemover(DataSet& ds, EventLog& log, UserInterface& ui) : ds_(ds), log_(log), ui_(ui) {}

bool HistoryRemover::RemoveHistory(const HistoryOptions& options, Date today) {
    removed_ = 0;
    if (options.historyExpires == 0 || checked_ >= today) return false;
    checked_ = today;

    Table<ScheduleRecord> sch(ds_, tables::Schedule());
    if (sch.open() == Level::Benign) {
        sch.rec = {};
        sch.rec.Disabled = 1;
        sch.setPosition(keyOf(sch, "SCH:KeyDateEnabled"), 1);
        for (int examined = 0; examined < kHistoryRowsPerPass; ++examined) {
            const Level l = sch.next();
            if (endOfFile(l, sch)) break;
            if (l != Level::Benign) {
                ui_.message(kHistoryErrorTitle, storeErrorText(sch) + " error while removing history");
                break;
            }
            const ScheduleRecord& task = sch.rec;
            if (static_cast<std::int64_t>(today) <
                static_cast<std::int64_t>(task.Date) + options.historyExpires)
                continue;
            if (task.Completed == 0 && !options.removeUncompleted) continue;
            // The task goes with everything that hangs on it (its script steps, user
            // details and contact links): steps left behind would otherwise be taken
            // over by the next task that receives this ID.
            if (RelationManager(sch).deleteRecord() != Level::Benign) {
                ui_.message(kHistoryErrorTitle, storeErrorText(sch) + " error while removing history");
                continue;
            }
            ++removed_;
        }
    }

    log_.log(kHistoryLogText, kHistoryLogLabel);
    TableHolidayStore holidays(ds_);
    TableSettingStore settings(ds_);
    RollHolidaysForward(holidays, settings, today);
    return true;
}

} // namespace qd
