// What the task lists show, without any window: which tasks a view holds and in
// what order, the texts of a row, the icons and colours by a task's state, the
// filters of the explorer list and the window titles. The lists read the store
// a page at a time through TaskPager, in key order, so opening a list costs the
// same with ten tasks as with a hundred thousand.
#pragma once

#include "data/Calendar.h"
#include "data/DataSet.h"
#include "data/FileManager.h"
#include "data/Records.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qd {

enum class TaskTypeIcon { Program, Message, Both, Blank };
enum class TaskStatusIcon { Done, Skip, Skipped, NotDone, Disabled };
enum class TaskRowColour { Normal, Grey, Blue };

TaskTypeIcon taskTypeIcon(const ScheduleRecord& task);
TaskStatusIcon taskStatusIcon(const ScheduleRecord& task);
// Disabled tasks grey, tasks that skip their next occurrence blue (grey wins).
TaskRowColour taskRowColour(const ScheduleRecord& task);
// Neither disabled nor completed.
bool taskIsActive(const ScheduleRecord& task);

// The columns of a task list row.
enum TaskColumn {
    kColType,
    kColStatus,
    kColDate,
    kColTime,
    kColDescription,
    kColCategory,
    kColSchedule,
    kColCount
};
const char* taskColumnTitle(int column);
// The text of a column; the icon columns have none.
std::string taskColumnText(const ScheduleRecord& task, int column, const std::string& dateFormat);

// A view of the task table: a key order, where reading starts and stops, and
// which rows of that stretch are shown.
struct TaskFilter {
    std::string key = "KeyDate";
    // Reading starts at the first record whose leading key fields are at or
    // after these (none: at the start of the key).
    std::function<void(ScheduleRecord&)> start;
    int startComponents = 0;
    // True when a record lies past the end of the view: reading stops there.
    std::function<bool(const ScheduleRecord&)> past;
    // Conditions the store applies while reading, so that rows a view does
    // not show are skipped without being read one by one. They describe the
    // whole view: a list counts and numbers its rows with them alone.
    RecordFilter where;
    // True when a record of the stretch is shown (checked after `where`).
    std::function<bool(const ScheduleRecord&)> accept;
};

// The three views of the schedule list.
TaskFilter allByDate(bool activeOnly);
TaskFilter byCategory(const std::string& category, bool activeOnly);
TaskFilter oneDay(Date day, bool activeOnly);

// The filters of the explorer list.
enum class ExploreStatus { All, Active, Completed, Disabled };
enum class ExploreDates { All, Today, Yesterday, Tomorrow, ThisWeek, ThisMonth, Custom };
struct ExploreChoice {
    ExploreStatus status = ExploreStatus::All;
    ExploreDates dates = ExploreDates::All;
    Date first = 0;       // Custom: 0 counts as 1 January 1995
    Date last = 0;        // Custom: 0 counts as 1 January 2099
    std::string category; // blank: all categories
};
// Hot key tasks are never listed.
TaskFilter exploreFilter(const ExploreChoice& choice, Date today);

std::string scheduleListTitle(bool multiUser, const std::string& userId, bool dayView, Date day,
                              const std::string& dateFormat);
std::string exploreTitle(const ExploreChoice& choice, const std::string& dateFormat);

// Reads the rows of a view in its key order, a page at a time. Each read seeks
// after the last record read, so tasks written in between are picked up in
// their place and nothing is held open between pages.
class TaskPager {
public:
    TaskPager(DataSet& ds, TaskFilter filter);
    ~TaskPager();
    TaskPager(const TaskPager&) = delete;
    TaskPager& operator=(const TaskPager&) = delete;

    // Up to `count` more rows of the view. Fewer only at the end of the view
    // (or when the store failed: error() says why).
    std::vector<ScheduleRecord> fetch(int count);
    bool atEnd() const { return atEnd_; }
    // Back to the start of the view.
    void restart();
    // Records read from the store since the start (shown or not).
    long long scanned() const { return scanned_; }
    const std::string& error() const { return error_; }

private:
    void position();

    std::unique_ptr<Table<ScheduleRecord>> table_;
    TaskFilter filter_;
    bool positioned_ = false;
    bool atEnd_ = false;
    long long scanned_ = 0;
    std::string error_;
};

// The store's change counter of the file that holds the task table: it moves
// whenever another connection (another process, another station) committed a
// change to that file. -1 when it cannot be read.
long long taskStoreVersion(DataSet& ds);

} // namespace qd
