#include "dispatcher/OccurrenceClaim.h"

#include "data/RelationManager.h"
#include "data/TableDefs.h"
#include "schedule/Exceptions.h"
#include "schedule/Recurrence.h"
#include "schedule/ScheduleTables.h"

#include <vector>

namespace qd {

OccurrenceClaim claimOccurrence(Table<ScheduleRecord>& sch, TaskStore& tasks, const HolidayCalendar& holidays,
                                UserInterface& ui, const ClaimRequest& request) {
    OccurrenceClaim claim;
    const ScheduleRecord read = sch.rec;
    const long long readRevision = sch.currentRevision();
    claim.performed = read;
    StoreFile* f = sch.file();
    if (!f) {
        claim.error = {-1, "The task table is not open."};
        claim.message = 21;
        return claim;
    }
    HeldMessages messages(ui);
    if (f->begin() != 0) {
        claim.error = f->lastError();
        claim.message = 21;
        return claim;
    }
    auto abandon = [&](ClaimStatus status, StoreError error, int message = 0) {
        f->rollback();
        sch.rec = read;
        claim.status = status;
        claim.error = std::move(error);
        claim.message = message;
        claim.historyId = 0;
        return claim;
    };

    // Under the write lock: the stored task must still be the one read. A task
    // that is gone was taken by another dispatcher; a store error is a failure.
    const Level got = sch.tryReget();
    if (got != Level::Benign && sch.lastError().code != kStoreNotFound)
        return abandon(ClaimStatus::Failed, sch.lastError(), 1);
    if (got != Level::Benign || sch.currentRevision() != readRevision || sch.rec.Date != read.Date ||
        sch.rec.Time != read.Time || sch.rec.Disabled != read.Disabled)
        return abandon(ClaimStatus::Refused, {});

    ScheduleRecord& task = sch.rec;
    const Date today = request.now.date;
    const int id = task.ID;
    task.Skipped = 0;
    claim.passedOver = task.SkipNextTime != 0;
    if (!claim.passedOver) {
        task.LastRunDate = request.now.date;
        task.LastRunTime = request.now.time;
    }

    // The performed occurrence, for the history copy.
    ScheduleRecord history = task;
    const bool hasWarning = task.AdvanceWarnDate != 0 || task.AdvanceWarnTime != 0;
    if (hasWarning) {
        // The warning travels as distances from the task's moment.
        task.AdvanceWarnDate -= task.Date;
        task.AdvanceWarnTime -= task.Time;
    }
    if (task.Date < today && task.SkipIfMissed)
        NextOccurrence(task, today, 0, messages);
    else
        NextOccurrence(task, today, request.now.time, messages);

    if (task.Completed) {
        // The task itself becomes the record of its last run.
        task.Date = history.Date;
        task.Time = history.Time;
        task.AdvanceWarnDate = history.AdvanceWarnDate;
        task.AdvanceWarnTime = history.AdvanceWarnTime;
        task.Completed = 1;
        task.Disabled = 1;
        if (sch.tryUpdate() != Level::Benign) return abandon(ClaimStatus::Failed, sch.lastError(), 25);
        claim.completed = true;
        claim.deleteAfter = task.NoHistory != 0;
        claim.deleteStepsAfter = !claim.deleteAfter && !request.saveScripts;
    } else {
        task.SkipNextTime = 0;
        if (hasWarning) {
            task.AdvanceWarnDate += task.Date;
            task.AdvanceWarnTime += task.Time;
        }
        task.AdvanceWarned = 0;
        ApplyExceptions(task, tasks, holidays, messages);
        if (sch.tryUpdate() != Level::Benign) return abandon(ClaimStatus::Failed, sch.lastError(), 25);
        claim.next = {task.Date, task.Time};

        if (!task.NoHistory && !claim.passedOver) {
            Table<ScheduleRecord> copy(sch.dataSet(), tables::Schedule());
            if (copy.open() != Level::Benign) return abandon(ClaimStatus::Failed, copy.lastError(), 4);
            copy.rec = history;
            copy.rec.ID = 0;
            copy.rec.Completed = 1;
            copy.rec.Disabled = 1;
            copy.rec.SkipNextTime = 0;
            copy.rec.ExceptionLink = 0;
            if (request.skipped) {
                copy.rec.Description = fitText("(Skipped) " + history.Description, FieldType::String, 40);
                copy.rec.Skipped = 1;
            }
            if (copy.tryInsert() != Level::Benign) return abandon(ClaimStatus::Failed, copy.lastError(), 4);
            claim.historyId = copy.rec.ID;
            if (copy.rec.ID != id && request.saveScripts && !copyScriptSteps(sch.dataSet(), id, copy.rec.ID))
                return abandon(ClaimStatus::Failed, {-1, "The script steps could not be copied."}, 4);
        }
    }
    if (f->commit() != 0) return abandon(ClaimStatus::Failed, f->lastError(), 21);
    claim.status = ClaimStatus::Claimed;
    return claim;
}

bool markHistorySkipped(DataSet& ds, int historyId) {
    if (historyId == 0) return false;
    Table<ScheduleRecord> copy(ds, tables::Schedule());
    if (copy.open() != Level::Benign) return false;
    copy.rec.ID = historyId;
    if (copy.fetch("SCH:KeyID") != Level::Benign) return false;
    if (copy.rec.Skipped) return true;
    copy.rec.Description = fitText("(Skipped) " + copy.rec.Description, FieldType::String, 40);
    copy.rec.Skipped = 1;
    return copy.tryUpdate() == Level::Benign;
}

void finishCompleted(Table<ScheduleRecord>& sch, const OccurrenceClaim& claim) {
    if (claim.status != ClaimStatus::Claimed || !claim.completed) return;
    if (claim.deleteAfter)
        RelationManager(sch).deleteRecord(); // its script steps go with it
    else if (claim.deleteStepsAfter)
        deleteScriptSteps(sch.dataSet(), claim.performed.ID);
}

} // namespace qd
