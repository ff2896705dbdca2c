#include "schedule/Exceptions.h"

#include "data/DayMath.h"
#include "schedule/Recurrence.h"
#include "schedule/RuleParts.h"

#include <algorithm>
#include <limits>
#include <set>
#include <string>
#include <utility>

namespace qd {

namespace {

constexpr int kTimeAdvances = 100;
constexpr int kShiftDays = 366;

Time plusOne(Time t) {
    return t == std::numeric_limits<Time>::max() ? t : t + 1;
}
Date plusDays(Date d, int days) {
    const long long v = static_cast<long long>(d) + days;
    return static_cast<Date>(
        std::clamp<long long>(v, std::numeric_limits<Date>::min(), std::numeric_limits<Date>::max()));
}

bool hasDateRule(const ScheduleRecord& task) {
    return task.ExceptHolidays || task.ExceptWeekdays || task.ExceptWeekends ||
           !trimRight(task.ExceptOther).empty();
}

// Passes each distinct message on once: while the time window is being left the rule
// is advanced up to 101 times, and a broken rule would otherwise repeat its warning
// for every advance.
class OnceEach final : public UserInterface {
public:
    explicit OnceEach(UserInterface& inner) : inner_(inner) {}
    void message(const std::string& title, const std::string& text, MessageIcon icon) override {
        if (seen_.insert({title, text}).second) inner_.message(title, text, icon);
    }
    bool ask(const std::string& title, const std::string& text) override { return inner_.ask(title, text); }
    std::optional<std::string> chooseFolder(const std::string& title, const std::string& start) override {
        return inner_.chooseFolder(title, start);
    }
    void setClipboardText(const std::string& text) override { inner_.setClipboardText(text); }

private:
    UserInterface& inner_;
    std::set<std::pair<std::string, std::string>> seen_;
};

void clearExceptions(ScheduleRecord& task) {
    task.ExceptTime = 0;
    task.ExceptWeekends = 0;
    task.ExceptWeekdays = 0;
    task.ExceptHolidays = 0;
    task.ExceptTimeBegin = 0;
    task.ExceptTimeEnd = 0;
    task.ExceptOther.clear();
}

void leaveTimeWindow(ScheduleRecord& task, UserInterface& ui) {
    const Date date = task.Date;
    const Time time = task.Time;
    int advances = 0;
    while (InExceptionWindow(task, task.Time) && advances < kTimeAdvances) {
        ++advances;
        NextOccurrence(task, task.Date, plusOne(task.Time), ui);
    }
    if (advances < kTimeAdvances) return;
    // The rule cannot leave the window: take the next occurrence from the original
    // one and place it at the window's end.
    task.Date = date;
    task.Time = time;
    if (task.ExceptTimeEnd > task.Time)
        NextOccurrence(task, task.Date, plusOne(task.Time), ui);
    else
        NextOccurrence(task, plusDays(task.Date, 1), 1, ui);
    task.Time = task.ExceptTimeEnd;
}

bool isOwnCopy(const ScheduleRecord& task, const ScheduleRecord& linked) {
    return linked.ID != task.ID && ruleTypeOf(linked.ScheduleType) == RuleType::Once &&
           linked.OriginalID == task.OriginalID;
}

void shiftToCopy(ScheduleRecord& task, TaskStore& tasks, const HolidayCalendar& holidays,
                 ExceptionOutcome& out) {
    const char shift = task.ShiftType.empty() ? ' ' : task.ShiftType.front();
    if (shift != 'N' && shift != 'P') return;

    if (task.ExceptionLink != 0) {
        ScheduleRecord linked;
        if (tasks.fetchTask(task.ExceptionLink, linked) && isOwnCopy(task, linked) &&
            tasks.deleteTask(task.ExceptionLink))
            out.removedCopyId = task.ExceptionLink;
    }

    ScheduleRecord copy = task;
    const int direction = shift == 'N' ? 1 : -1;
    Date day = task.Date;
    bool found = false;
    for (int i = 0; i < kShiftDays && !found; ++i) {
        if (!IsExcludedDate(task, day, holidays))
            found = true;
        else
            day = plusDays(day, direction);
    }
    copy.Date = found ? day : task.Date;
    copy.ID = 0;
    copy.ExceptionLink = 0;
    copy.ScheduleType = "Once";
    copy.SkipNextTime = 0;
    const std::int32_t id = tasks.insertTaskCopy(copy, task.ID);
    task.ExceptionLink = id;
    out.copyId = id;
    out.copyFailed = id == 0;
}

} // namespace

ExceptionFields exceptionFieldsOf(const ScheduleRecord& task) {
    ExceptionFields f;
    f.ShiftType = task.ShiftType;
    f.ExceptWeekends = task.ExceptWeekends;
    f.ExceptWeekdays = task.ExceptWeekdays;
    f.ExceptHolidays = task.ExceptHolidays;
    f.ExceptTime = task.ExceptTime;
    f.ExceptTimeBegin = task.ExceptTimeBegin;
    f.ExceptTimeEnd = task.ExceptTimeEnd;
    f.ExceptOther = task.ExceptOther;
    return f;
}

void setExceptionFields(ScheduleRecord& task, const ExceptionFields& f) {
    task.ShiftType = f.ShiftType;
    task.ExceptWeekends = f.ExceptWeekends;
    task.ExceptWeekdays = f.ExceptWeekdays;
    task.ExceptHolidays = f.ExceptHolidays;
    task.ExceptTime = f.ExceptTime;
    task.ExceptTimeBegin = f.ExceptTimeBegin;
    task.ExceptTimeEnd = f.ExceptTimeEnd;
    task.ExceptOther = f.ExceptOther;
}

std::array<bool, 7> exceptedWeekdays(std::string_view exceptOther) {
    std::array<bool, 7> days{};
    for (std::size_t i = 0; i < days.size() && i < exceptOther.size(); ++i)
        days[i] = exceptOther[i] == 'Y';
    return days;
}

std::string exceptOtherText(const std::array<bool, 7>& days) {
    std::string text;
    for (bool d : days)
        text += d ? 'Y' : ' ';
    return text;
}

bool InExceptionWindow(const ScheduleRecord& task, Time time) {
    const Time begin = task.ExceptTimeBegin;
    const Time end = task.ExceptTimeEnd == 0 ? kTimeDay : task.ExceptTimeEnd;
    if (begin <= end) return begin <= time && time <= end;
    return time < end || time > begin;
}

bool IsExcludedDate(const ScheduleRecord& task, Date date, const HolidayCalendar& holidays) {
    const int w = daymath::weekday(date);
    if (task.ExceptWeekends && (w == 0 || w == 6)) return true;
    if (task.ExceptWeekdays && w >= 1 && w <= 5) return true;
    if (task.ExceptOther.size() > static_cast<std::size_t>(w) &&
        task.ExceptOther[static_cast<std::size_t>(w)] == 'Y')
        return true;
    return task.ExceptHolidays && IsHoliday(holidays, date);
}

ExceptionOutcome ApplyExceptions(ScheduleRecord& task, TaskStore& tasks, const HolidayCalendar& holidays,
                                 UserInterface& ui) {
    ExceptionOutcome out;
    const RuleType type = ruleTypeOf(task.ScheduleType);
    if (type == RuleType::Once || type == RuleType::DayOfWeek) {
        clearExceptions(task);
        return out;
    }
    if (!hasDateRule(task) && !task.ExceptTime) return out;

    bool timeExcluded = false;
    if (task.ExceptTime) {
        if (task.ExceptTimeEnd == 0) task.ExceptTimeEnd = kTimeDay;
        timeExcluded = InExceptionWindow(task, task.Time);
    }
    if (task.ExceptWeekends && task.ExceptWeekdays) task.ExceptWeekdays = 0;
    const bool dateExcluded = hasDateRule(task) && IsExcludedDate(task, task.Date, holidays);

    OnceEach onceEach(ui);
    if (timeExcluded) {
        leaveTimeWindow(task, onceEach);
        out.timeMoved = true;
    }
    if (dateExcluded) {
        task.SkipNextTime = 1;
        out.dateExcluded = true;
        shiftToCopy(task, tasks, holidays, out);
    }
    return out;
}

} // namespace qd
