#include "schedule/TaskLists.h"

#include "data/Pictures.h"
#include "data/Text.h"
#include "schedule/ScheduleDescription.h"

namespace qd {

TaskTypeIcon taskTypeIcon(const ScheduleRecord& task) {
    const std::string type = text::trimmed(task.TaskType);
    if (type == "Run Program") return TaskTypeIcon::Program;
    if (type == "Display Message") return TaskTypeIcon::Message;
    if (type == "Both") return TaskTypeIcon::Both;
    return TaskTypeIcon::Blank;
}

TaskStatusIcon taskStatusIcon(const ScheduleRecord& task) {
    if (task.Completed && !task.Skipped) return TaskStatusIcon::Done;
    if (task.SkipNextTime && !task.Completed) return TaskStatusIcon::Skip;
    if (!task.Disabled || task.Completed)
        return task.Completed && task.Skipped ? TaskStatusIcon::Skipped : TaskStatusIcon::NotDone;
    return TaskStatusIcon::Disabled;
}

TaskRowColour taskRowColour(const ScheduleRecord& task) {
    if (task.Disabled) return TaskRowColour::Grey;
    if (task.SkipNextTime) return TaskRowColour::Blue;
    return TaskRowColour::Normal;
}

bool taskIsActive(const ScheduleRecord& task) {
    return !task.Disabled && !task.Completed;
}

const char* taskColumnTitle(int column) {
    switch (column) {
    case kColType:
        return "Type";
    case kColStatus:
        return "Status";
    case kColDate:
        return "Date";
    case kColTime:
        return "Time";
    case kColDescription:
        return "Description";
    case kColCategory:
        return "Category";
    case kColSchedule:
        return "Schedule";
    default:
        return "";
    }
}

std::string taskColumnText(const ScheduleRecord& task, int column, const std::string& dateFormat) {
    switch (column) {
    case kColDate:
        return formatUserDate(task.Date, dateFormat);
    case kColTime:
        return task.Time > 0 ? text::trimmed(formatTime(task.Time, "@t7")) : std::string();
    case kColDescription:
        return task.Description;
    case kColCategory:
        return task.Category;
    case kColSchedule:
        return ScheduleDescription(task);
    default:
        return {};
    }
}

namespace {

std::function<bool(const ScheduleRecord&)> activeFilter(bool activeOnly) {
    if (!activeOnly) return {};
    return [](const ScheduleRecord& r) { return taskIsActive(r); };
}

bool isHotKeyTask(const ScheduleRecord& r) {
    return text::trimmed(r.TaskType) == "Hot Key";
}

int scheduleField(const char* name) {
    return tables::Schedule().findField(name);
}

// Neither disabled nor completed, as store conditions.
void whereActive(RecordFilter& where) {
    where.push_back({scheduleField("Disabled"), FieldMatch::Equals, 0LL, {}, {}});
    where.push_back({scheduleField("Completed"), FieldMatch::Equals, 0LL, {}, {}});
}

} // namespace

TaskFilter allByDate(bool activeOnly) {
    TaskFilter f;
    f.key = "KeyDate";
    f.accept = activeFilter(activeOnly);
    if (activeOnly) whereActive(f.where);
    return f;
}

TaskFilter byCategory(const std::string& category, bool activeOnly) {
    TaskFilter f;
    f.key = "KeyCategory";
    f.start = [category](ScheduleRecord& r) { r.Category = category; };
    f.startComponents = 1;
    f.past = [category](const ScheduleRecord& r) { return !text::equalsNoCase(r.Category, category); };
    f.accept = activeFilter(activeOnly);
    f.where.push_back({scheduleField("Category"), FieldMatch::Equals, category, {}, {}});
    if (activeOnly) whereActive(f.where);
    return f;
}

TaskFilter oneDay(Date day, bool activeOnly) {
    TaskFilter f;
    f.key = "KeyDate";
    f.start = [day](ScheduleRecord& r) { r.Date = day; };
    f.startComponents = 1;
    f.past = [day](const ScheduleRecord& r) { return r.Date != day; };
    f.accept = activeFilter(activeOnly);
    f.where.push_back({scheduleField("Date"), FieldMatch::Equals, static_cast<long long>(day), {}, {}});
    if (activeOnly) whereActive(f.where);
    return f;
}

TaskFilter exploreFilter(const ExploreChoice& choice, Date today) {
    TaskFilter f;
    f.key = "KeyDate";
    Date first = 0;
    Date last = 0;
    switch (choice.dates) {
    case ExploreDates::All:
    case ExploreDates::ThisMonth:
        break;
    case ExploreDates::Today:
        first = last = today;
        break;
    case ExploreDates::Yesterday:
        first = last = today - 1;
        break;
    case ExploreDates::Tomorrow:
        first = last = today + 1;
        break;
    case ExploreDates::ThisWeek:
        first = today;
        last = today + 6;
        break;
    case ExploreDates::Custom:
        first = choice.first != 0 ? choice.first : dateFromMDY(1, 1, 1995);
        last = choice.last != 0 ? choice.last : dateFromMDY(1, 1, 2099);
        break;
    }
    if (first != 0) {
        f.start = [first](ScheduleRecord& r) { r.Date = first; };
        f.startComponents = 1;
        f.past = [last](const ScheduleRecord& r) { return r.Date > last; };
    }
    // The same rules as store conditions, so a filter that shows few of many
    // tasks is answered by the store instead of by reading every task, and the
    // list can count and number the rows of the view.
    const auto field = scheduleField;
    f.where.push_back({field("TaskType"), FieldMatch::NotEquals, std::string("Hot Key"), {}, {}});
    if (first != 0)
        f.where.push_back({field("Date"), FieldMatch::Range, 0LL, static_cast<long long>(first),
                           static_cast<long long>(last)});
    switch (choice.status) {
    case ExploreStatus::All:
        break;
    case ExploreStatus::Active:
        f.where.push_back({field("Disabled"), FieldMatch::Equals, 0LL, {}, {}});
        f.where.push_back({field("Completed"), FieldMatch::Equals, 0LL, {}, {}});
        break;
    case ExploreStatus::Completed:
        f.where.push_back({field("Completed"), FieldMatch::NotEquals, 0LL, {}, {}});
        break;
    case ExploreStatus::Disabled:
        f.where.push_back({field("Disabled"), FieldMatch::NotEquals, 0LL, {}, {}});
        break;
    }
    if (!choice.category.empty())
        f.where.push_back({field("Category"), FieldMatch::Equals, choice.category, {}, {}});
    const int month = choice.dates == ExploreDates::ThisMonth ? monthOf(today) : 0;
    if (month != 0)
        f.where.push_back({field("Date"), FieldMatch::InMonth, static_cast<long long>(month), {}, {}});
    f.accept = [choice, month](const ScheduleRecord& r) {
        if (isHotKeyTask(r)) return false;
        switch (choice.status) {
        case ExploreStatus::All:
            break;
        case ExploreStatus::Active:
            if (!taskIsActive(r)) return false;
            break;
        case ExploreStatus::Completed:
            if (!r.Completed) return false;
            break;
        case ExploreStatus::Disabled:
            if (!r.Disabled) return false;
            break;
        }
        if (month != 0 && (r.Date == 0 || monthOf(r.Date) != month)) return false;
        if (!choice.category.empty() && !text::equalsNoCase(r.Category, choice.category)) return false;
        return true;
    };
    return f;
}

std::string scheduleListTitle(bool multiUser, const std::string& userId, bool dayView, Date day,
                              const std::string& dateFormat) {
    std::string title = "View Schedule";
    if (multiUser && !text::trimmed(userId).empty()) return title + " - " + text::trimmed(userId);
    if (dayView) title += " - " + formatUserDate(day, dateFormat);
    return title;
}

std::string exploreTitle(const ExploreChoice& choice, const std::string& dateFormat) {
    std::string title = "List of Scheduled Tasks";
    if (choice.dates != ExploreDates::Custom) return title;
    const Date first = choice.first != 0 ? choice.first : dateFromMDY(1, 1, 1995);
    const Date last = choice.last != 0 ? choice.last : dateFromMDY(1, 1, 2099);
    title += " - " + formatUserDate(first, dateFormat);
    if (last != first) title += "-" + formatUserDate(last, dateFormat);
    return title;
}

TaskPager::TaskPager(DataSet& ds, TaskFilter filter)
    : table_(std::make_unique<Table<ScheduleRecord>>(ds, tables::Schedule())), filter_(std::move(filter)) {}

TaskPager::~TaskPager() = default;

void TaskPager::restart() {
    positioned_ = false;
    atEnd_ = false;
    scanned_ = 0;
    error_.clear();
}

void TaskPager::position() {
    const int key = table_->def().findKey(filter_.key);
    table_->clearBuffer();
    if (filter_.start) {
        filter_.start(table_->rec);
        table_->setPosition(key, filter_.startComponents);
    } else {
        table_->setOrder(key);
    }
    table_->setFilter(filter_.where);
    positioned_ = true;
}

std::vector<ScheduleRecord> TaskPager::fetch(int count) {
    std::vector<ScheduleRecord> rows;
    if (atEnd_ || count <= 0) return rows;
    if (!table_->opened() && table_->open() != Level::Benign) {
        error_ = "The task table could not be opened.";
        atEnd_ = true;
        return rows;
    }
    if (!positioned_) position();
    while (static_cast<int>(rows.size()) < count) {
        const Level l = table_->tryNext();
        if (l != Level::Benign) {
            if (const StoreError& e = table_->lastError(); !e.ok() && e.code != kStoreDone) error_ = e.text;
            atEnd_ = true;
            break;
        }
        ++scanned_;
        if (filter_.past && filter_.past(table_->rec)) {
            atEnd_ = true;
            break;
        }
        if (!filter_.accept || filter_.accept(table_->rec)) rows.push_back(table_->rec);
    }
    return rows;
}

long long taskStoreVersion(DataSet& ds) {
    if (!ds.isOpen(tables::Schedule()) && !ds.openTable(tables::Schedule()).ok()) return -1;
    StoreFile* f = ds.fileOf(tables::Schedule());
    if (!f) return -1;
    Query q = f->prepare("PRAGMA data_version");
    if (!q) return -1;
    long long v = -1;
    if (q.step() == kStoreRow) v = q.columnInt(0);
    q.reset();
    return v;
}

} // namespace qd
