// The bulk maintenance of the housekeeping window, without any window: removing
// disabled or completed tasks, clearing the to-do list, forgetting the saved
// window positions, removing script steps whose task is gone and giving the
// current user a schedule row on every task.
//
// The passes over the tables run in transactions of kHousekeepingBatch records,
// and the progress (with its cancel button) is updated only between two of them.
// So a cancelled or failed pass leaves every record either fully done (a task
// removed together with its script steps, user rows and contact links) or
// untouched, and the dispatcher, which runs between two updates of the progress,
// never has its own work swept into a batch that is later rolled back.
#pragma once

#include "data/DataSet.h"
#include "data/Records.h"
#include "schedule/BatchOperations.h"

#include <filesystem>
#include <string>

namespace qd {

inline constexpr int kHousekeepingBatch = 200;

enum class PassOutcome { Done, Cancelled, Failed };

struct PassResult {
    PassOutcome outcome = PassOutcome::Done;
    long long changed = 0;  // records removed or added, committed
    long long examined = 0; // records read
    bool done() const { return outcome == PassOutcome::Done; }
};

// The titles the progress window shows while a pass runs.
inline constexpr const char* kRemovingDisabledTitle = "Removing disabled tasks";
inline constexpr const char* kRemovingCompletedTitle = "Removing completed tasks";
inline constexpr const char* kClearingToDoTitle = "Clearing the To Do list";
inline constexpr const char* kVerifyingLinksTitle = "Removing script steps without a task";
inline constexpr const char* kAssigningUserTitle = "Assigning the current user to all tasks";

// Reads the disabled tasks (SCH:KeyDateEnabled from SCH:Disabled = 1 on) and
// deletes each one with everything that hangs on it; with `completedOnly`, only
// those that are also completed. A completed task that is not disabled is never
// read, so it stays.
PassResult ClearDisabledTasks(DataSet& ds, bool completedOnly, Progress* progress);

// Deletes every to-do item.
PassResult ClearToDoList(DataSet& ds, Progress* progress);

// Deletes "POSITION.INI" in the data folder, so every window opens at its
// default place. True when the file is gone (also when there was none).
bool ResetWindowSettings(const std::filesystem::path& dataFolder, std::string& error);

// Reads Scripting in SCR:KeyID order and deletes every step whose task
// (SCH:ID = SCR:ID) does not exist.
PassResult VerifyLinks(DataSet& ds, Progress* progress);

// The user row a task gets for `user`: the task's schedule state, never run.
QDUSDRecord userScheduleDetails(const ScheduleRecord& task, const std::string& user);

// Reads Schedule in SCH:KeyDate order and adds a QDUSD row for `user` to every
// task with a date and a time. A row that cannot be added (it exists already)
// is passed over without a message. A blank user adds nothing.
PassResult AssignCurrentUserToAllTasks(DataSet& ds, const std::string& user, Progress* progress);

} // namespace qd
