// Batch operations over the whole task table: the work file of predicted
// occurrences for a date range, moving every task to its first occurrence after a
// chosen moment, and the once-a-day removal of old history records.
#pragma once

#include "data/Calendar.h"
#include "data/DataSet.h"
#include "data/EventLog.h"
#include "data/Progress.h"
#include "data/UserInterface.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace qd {

class Clock;

inline constexpr const char* kEmptyWorkfileTitle = "Removing old work file...";
inline constexpr const char* kCreateWorkfileTitle = "Creating future occurance information";
inline constexpr const char* kRescheduleTitle = "Rescheduling all tasks";

// --- work file -------------------------------------------------------------------------

// Deletes every row of the work file (the table ScheduleWorkFile under the name in
// GLO_ScheduleWorkFileName), in SCW:KeyID order. A failed delete is reported by the
// record-access layer and stops the run. False when stopped, cancelled or the file
// cannot be opened.
bool EmptyWorkfile(DataSet& ds, Progress* progress);

// The name a run's work file gets: the time of day of the clock written as a number;
// when a file of that name is already in the data folder, the next free number.
std::string freshWorkfileName(const DataSet& ds, const Clock& clock);

// Fills a fresh work file with the predicted occurrences of the tasks dated from
// `from` to `to` (both included):
//  - GLO_ScheduleWorkFileName is set to freshWorkfileName(ds, clock);
//  - the work file is emptied, then every task whose SCH:Date lies in the range
//    contributes its pending occurrence and, unless it is "Once", each following one
//    (NextOccurrence from SCH:Date, SCH:Time + 1 on the task in memory) up to the
//    end of the range or until the calculation makes no progress;
//  - each row is the task as it would stand at that occurrence (flags the calculation
//    set included: occurrences after the expiry are marked completed) with SCW:ID the
//    running number of the row; exceptions and holidays are not applied;
//  - the Schedule table is never written; rows the work file refuses are left out.
//  - the work file holds at most `rowLimit` rows: a run that would write more stops
//    there with the message kWorkfileLimitTitle / workfileLimitText(rowLimit);
//  - the progress counts the tasks done plus, within a task, how far its
//    occurrences have come through the range (or towards the row limit, when that
//    is nearer), so that it moves also when one frequent task makes all the rows.
// Messages of the calculation (an invalid custom unit) go to `ui`. False when the run
// was cancelled, stopped at the limit or could not be done; the rows written so far
// stay.
inline constexpr std::int32_t kWorkfileRowLimit = 100000;
inline constexpr const char* kWorkfileLimitTitle = "Work File";
std::string workfileLimitText(std::int32_t rowLimit);
bool CreateWorkfile(DataSet& ds, Date from, Date to, UserInterface& ui, const Clock& clock,
                    Progress* progress, std::int32_t rowLimit = kWorkfileRowLimit);

// One report run on a work file. The work file is written and read in a data set of
// the run's own on the same data folder, so that closing it closes the file, which is
// then removed: a data set keeps its files open until it is closed as a whole.
//
//   WorkfileRun run(ds);
//   if (run.create(from, to, ui, clock, &progress)) {
//       Table<ScheduleWorkFileRecord> rows(run.dataSet(), tables::ScheduleWorkFile());
//       ...
//   }   // tables of the run closed first, then the run removes the file
class WorkfileRun {
public:
    explicit WorkfileRun(DataSet& data);
    ~WorkfileRun();
    WorkfileRun(const WorkfileRun&) = delete;
    WorkfileRun& operator=(const WorkfileRun&) = delete;

    // CreateWorkfile in the run's data set.
    bool create(Date from, Date to, UserInterface& ui, const Clock& clock, Progress* progress,
                std::int32_t rowLimit = kWorkfileRowLimit);
    // Open tables::ScheduleWorkFile() here to read the rows (after create).
    DataSet& dataSet() { return *run_; }
    // The work file on disk; empty before create.
    const std::filesystem::path& file() const { return file_; }
    // Closes the run's data set and deletes the work file with its journal. Tables
    // opened in dataSet() must not be used afterwards. False when the file stays.
    bool remove();

private:
    std::unique_ptr<DataSet> run_;
    std::filesystem::path file_;
};

// --- rescheduling ----------------------------------------------------------------------

inline constexpr const char* kRescheduleErrorTitle = "Error";
inline constexpr const char* kRescheduleNotInFuture = "The date and time entered must be in the future.";

// The moment the reschedule window starts with: the given one, or, when it lies
// before now plus one minute, now plus one minute (carried into the next day when
// that passes midnight).
Moment rescheduleDefaultMoment(Moment given, Moment now);

// The check of the reschedule window's OK: "" when the moment lies on a later day
// than now, or today at least one minute after now; otherwise the error text.
std::string checkRescheduleMoment(Date date, Time time, Moment now);

struct RescheduleStats {
    int moved = 0;     // tasks rewritten
    int untouched = 0; // hot key, completed, undated or timeless tasks
};

// Moves every task, in SCH:KeyID order, to its first occurrence more than one minute
// after (date, time): PreviousOccurrence then NextOccurrence with that moment, and
// writes it back. Tasks without a date or time, completed tasks and "Hot Key" tasks
// are left as they are; a pending "Once" task becomes completed when its moment has
// passed by then, and keeps its date when it still lies ahead. Exceptions are not
// applied again.
//
// Tasks are moved in transactions of a few hundred, each task read again inside the
// one that writes it; the progress (where the user may cancel) is told between two
// transactions. Whenever the run ends, every task is either moved or as it was, and
// running it again with the same moment finishes the work. A failed write undoes its
// batch, is reported by the record-access layer and stops the run. False when stopped
// or cancelled.
bool RescheduleAllTasks(DataSet& ds, Date date, Time time, UserInterface& ui, const Clock& clock,
                        Progress* progress, RescheduleStats* stats = nullptr);

// --- history removal -------------------------------------------------------------------

struct HistoryOptions {
    int historyExpires = 0;         // days a completed or disabled task is kept; 0 = no daily check
    bool removeUncompleted = false; // also remove disabled tasks that are not completed
    // History records carry copies of script steps. A removed task's steps are deleted
    // with it either way: left behind they would pass to the next task given its ID.
    bool saveScripts = false;
};

inline constexpr const char* kHistoryErrorTitle = "Cannot Remove History";
inline constexpr const char* kHistoryLogLabel = "History";
inline constexpr const char* kHistoryLogText = "Checked for tasks needing removal";
// Disabled tasks examined by one daily pass at most; the rest wait for the next day.
inline constexpr int kHistoryRowsPerPass = 10000;

class HistoryRemover {
public:
    HistoryRemover(DataSet& ds, EventLog& log, UserInterface& ui);

    // The daily check. Not run (false) while historyExpires is 0 or when it already
    // ran on `today` or a later date. Otherwise it reads the disabled tasks in
    // SCH:KeyDateEnabled order (at most kHistoryRowsPerPass) and deletes each one
    // that is completed (or, with removeUncompleted, any) and dated at least
    // historyExpires days before today, with its script steps, user details and
    // contact links; then logs "History", rolls the holidays forward and returns true.
    bool RemoveHistory(const HistoryOptions& options, Date today);
    // The date of the last check (0 before the first).
    Date checkedHistory() const { return checked_; }
    // Tasks deleted by the last check.
    int removedCount() const { return removed_; }

private:
    DataSet& ds_;
    EventLog& log_;
    UserInterface& ui_;
    Date checked_ = 0;
    int removed_ = 0;
};

} // namespace qd
