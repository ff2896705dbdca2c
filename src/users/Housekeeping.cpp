#include "users/Housekeeping.h"

#include "data/FileManager.h"
#include "data/IniFile.h"
#include "data/RelationManager.h"
#include "data/StoreTransaction.h"
#include "data/TableDefs.h"

#include <algorithm>
#include <system_error>

namespace qd {
namespace {

bool endOfFile(Level l, const FileManager& t) {
    return l == Level::Notify && t.lastError().code == kStoreDone;
}

// What the work on one record says to the pass.
enum class Step { Next, End, Fail };

// Runs `work` (which reads and handles one record, counting what it changed in
// `changed`) over a table in transactions of kHousekeepingBatch records on the
// table's file. The progress is told, and may cancel, only between two
// transactions; a failing record rolls back its batch and ends the pass.
template <class Work>
PassResult runPass(FileManager& table, Progress* progress, const char* title, Work work) {
    PassResult result;
    const long long total = std::max(1LL, table.recordCount());
    if (progress) {
        progress->start(title);
        progress->update(0, progressLine(0));
    }
    for (;;) {
        StoreTransaction batch(table);
        if (!batch.started()) {
            result.outcome = PassOutcome::Failed;
            break;
        }
        long long changed = 0;
        Step step = Step::Next;
        for (int n = 0; n < kHousekeepingBatch && step == Step::Next; ++n) {
            step = work(changed);
            if (step == Step::Next) ++result.examined;
        }
        if (step == Step::Fail) {
            batch.rollback();
            result.outcome = PassOutcome::Failed;
            break;
        }
        if (batch.commit() != Level::Benign) {
            result.outcome = PassOutcome::Failed;
            break;
        }
        result.changed += changed;
        if (step == Step::End) break;
        const int percent = static_cast<int>(std::min(100LL, result.examined * 100 / total));
        if (progress && !progress->update(percent, progressLine(percent))) {
            result.outcome = PassOutcome::Cancelled;
            break;
        }
    }
    if (progress) progress->finish();
    return result;
}

// A read that ends the pass at the end of the table and fails it on an error.
Step readNext(FileManager& t) {
    const Level l = t.next();
    if (l == Level::Benign) return Step::Next;
    return endOfFile(l, t) ? Step::End : Step::Fail;
}

} // namespace

PassResult ClearDisabledTasks(DataSet& ds, bool completedOnly, Progress* progress) {
    Table<ScheduleRecord> sch(ds, tables::Schedule());
    if (sch.open() != Level::Benign) return {PassOutcome::Failed};
    sch.rec = {};
    sch.rec.Disabled = 1;
    sch.setPosition(sch.def().findKey("SCH:KeyDateEnabled"), 1);
    return runPass(sch, progress, completedOnly ? kRemovingCompletedTitle : kRemovingDisabledTitle,
                   [&](long long& changed) {
                       const Step s = readNext(sch);
                       if (s != Step::Next) return s;
                       if (sch.rec.Disabled == 0) return Step::End;
                       if (completedOnly && sch.rec.Completed == 0) return Step::Next;
                       // The steps, user rows and contact links go with the task:
                       // left behind, they would pass to the next task given its ID.
                       if (RelationManager(sch).deleteRecord() != Level::Benign) return Step::Fail;
                       ++changed;
                       return Step::Next;
                   });
}

PassResult ClearToDoList(DataSet& ds, Progress* progress) {
    Table<TodoRecord> todo(ds, tables::Todo());
    if (todo.open() != Level::Benign) return {PassOutcome::Failed};
    // TDO:KeyDone keeps every item, blank ones included.
    todo.setOrder(todo.def().findKey("TDO:KeyDone"));
    return runPass(todo, progress, kClearingToDoTitle, [&](long long& changed) {
        const Step s = readNext(todo);
        if (s != Step::Next) return s;
        if (RelationManager(todo).deleteRecord() != Level::Benign) return Step::Fail;
        ++changed;
        return Step::Next;
    });
}

bool ResetWindowSettings(const std::filesystem::path& dataFolder, std::string& error) {
    const std::filesystem::path file = findFileNoCase(dataFolder, "POSITION.INI");
    std::error_code ec;
    std::filesystem::remove(file, ec);
    if (ec) {
        error = ec.message();
        return false;
    }
    return true;
}

PassResult VerifyLinks(DataSet& ds, Progress* progress) {
    Table<ScriptingRecord> scr(ds, tables::Scripting());
    Table<ScheduleRecord> sch(ds, tables::Schedule());
    if (scr.open() != Level::Benign || sch.open() != Level::Benign) return {PassOutcome::Failed};
    const int byId = sch.def().findKey("SCH:KeyID");
    scr.setOrder(scr.def().findKey("SCR:KeyID"));
    // The steps of one task follow each other: its task is looked up once.
    std::int32_t lastId = 0;
    bool lastExists = false;
    bool looked = false;
    return runPass(scr, progress, kVerifyingLinksTitle, [&](long long& changed) {
        const Step s = readNext(scr);
        if (s != Step::Next) return s;
        if (!looked || scr.rec.ID != lastId) {
            sch.rec = {};
            sch.rec.ID = scr.rec.ID;
            const Level found = sch.fetch(byId);
            if (found != Level::Benign && sch.lastError().code != kStoreNotFound) return Step::Fail;
            lastId = scr.rec.ID;
            lastExists = found == Level::Benign;
            looked = true;
        }
        if (lastExists) return Step::Next;
        if (scr.deleteRecord() != Level::Benign) return Step::Fail;
        ++changed;
        return Step::Next;
    });
}

QDUSDRecord userScheduleDetails(const ScheduleRecord& task, const std::string& user) {
    QDUSDRecord r{};
    r.User = user;
    r.ID = task.ID;
    r.Date = task.Date;
    r.Time = task.Time;
    r.LastRunDate = 0;
    r.LastRunTime = 0;
    r.SkipNextTime = task.SkipNextTime;
    r.AdvanceWarnDate = task.AdvanceWarnDate;
    r.AdvanceWarnTime = task.AdvanceWarnTime;
    r.AdvanceWarned = task.AdvanceWarned;
    r.Disabled = task.Disabled;
    r.Completed = task.Completed;
    r.Skipped = task.Skipped;
    return r;
}

PassResult AssignCurrentUserToAllTasks(DataSet& ds, const std::string& user, Progress* progress) {
    if (user.empty()) return {};
    Table<ScheduleRecord> sch(ds, tables::Schedule());
    Table<QDUSDRecord> usd(ds, tables::QDUSD());
    if (sch.open() != Level::Benign || usd.open() != Level::Benign) return {PassOutcome::Failed};
    const int rowKey = usd.def().findKey("US:KeyID");
    sch.setOrder(sch.def().findKey("SCH:KeyDate"));
    return runPass(sch, progress, kAssigningUserTitle, [&](long long& changed) {
        const Step s = readNext(sch);
        if (s != Step::Next) return s;
        if (sch.rec.Date == 0 || sch.rec.Time == 0) return Step::Next;
        usd.rec = userScheduleDetails(sch.rec, user);
        if (usd.fetch(rowKey) == Level::Benign) return Step::Next; // the user has this task already
        usd.rec = userScheduleDetails(sch.rec, user);
        if (usd.tryInsert() == Level::Benign) {
            ++changed;
            return Step::Next;
        }
        // A row another process added meanwhile is passed over like one found
        // above; any other failure (a full disk) ends the pass with its message.
        if (usd.lastError().primary() == kStoreConstraint) return Step::Next;
        ErrorContext ctx;
        ctx.file = usd.def().label;
        ctx.errorCode = usd.lastError().code;
        ctx.errorText = usd.lastError().text;
        ds.errors().throwMessage(4, ctx);
        return Step::Fail;
    });
}

} // namespace qd
