// Claiming a due occurrence of a task before performing it.
//
// The claim moves the task to its next occurrence (or completes it) and writes
// the history copy of the occurrence in one transaction, on condition that the
// stored task is still the one the due-task check read: same change stamp, date
// and time. Only a committed claim is performed, so dispatchers sharing a data
// folder (two processes, or two stations) never perform an occurrence twice,
// however long the performing takes: whoever reads the task after the claim
// finds it at its next occurrence.
//
// Performing comes after the claim; two things can only be settled then: a "No"
// to the missed-task or confirmation question marks the history copy as skipped
// (markHistorySkipped), and a completed task's leftovers (the task itself when it
// keeps no history, its script steps when scripts are not kept) are removed once
// the performing has queued its steps (finishCompleted).
#pragma once

#include "data/Clock.h"
#include "data/FileManager.h"
#include "data/Records.h"
#include "data/UserInterface.h"

namespace qd {

class HolidayCalendar;
class TaskStore;

struct ClaimRequest {
    Moment now;
    // Passed over by a test decided before the claim (overdue, script running):
    // the history copy is written as skipped.
    bool skipped = false;
    bool saveScripts = true; // the SaveScripts setting
};

enum class ClaimStatus {
    Claimed, // committed: the caller performs the occurrence
    Refused, // the stored task is not the one read any more (another dispatcher has it)
    Failed,  // the store failed; nothing was written (error says why)
};

struct OccurrenceClaim {
    ClaimStatus status = ClaimStatus::Failed;
    ScheduleRecord performed{};    // the task as read: the performed occurrence
    bool passedOver = false;       // SCH:SkipNextTime was set: nothing is performed, no history copy
    bool completed = false;        // no further occurrence: the task is completed and disabled
    bool deleteAfter = false;      // completed without history: delete the task once performed
    bool deleteStepsAfter = false; // completed with SaveScripts off: delete its steps once performed
    Moment next;                   // the next occurrence, when not completed
    int historyId = 0;             // the history copy written; 0 when none
    StoreError error;
    // When Failed: the numbered message that fits the failing step (21 the
    // transaction could not be begun or committed, 25 the task not saved, 4 the
    // history copy not inserted).
    int message = 0;
};

// `sch` holds the task as the due-task check read it. On a claim its buffer holds
// the task as saved; otherwise the buffer is as read and nothing was written.
// Messages of the schedule rules are shown after the transaction ended, so no
// message box holds the data set's write lock.
OccurrenceClaim claimOccurrence(Table<ScheduleRecord>& sch, TaskStore& tasks, const HolidayCalendar& holidays,
                                UserInterface& ui, const ClaimRequest& request);

// Marks a claim's history copy as a skipped occurrence ("(Skipped) " before its
// description). False when it could not be saved.
bool markHistorySkipped(DataSet& ds, int historyId);

// Removes what a completed task leaves once it was performed: the task with its
// script steps (no history), or its script steps (SaveScripts off). `sch` is
// positioned on the task by the claim.
void finishCompleted(Table<ScheduleRecord>& sch, const OccurrenceClaim& claim);

} // namespace qd
