#include "schedule/TaskCalendar.h"

#include "data/FileManager.h"
#include "data/RecordFilter.h"
#include "data/TableDefs.h"
#include "schedule/Exceptions.h"
#include "schedule/MemoryStores.h"
#include "schedule/Recurrence.h"
#include "schedule/RuleParts.h"

#include <algorithm>
#include <optional>
#include <tuple>

namespace qd {

namespace {

const char* const kMonthNames[12] = {"January", "February", "March",     "April",   "May",      "June",
                                     "July",    "August",   "September", "October", "November", "December"};

// Occurrences of one task looked at per page at most: six weeks of days plus the
// days a broken rule may stand still on.
constexpr int kStepsPerTask = 2 * kCalendarDays + 8;

// Questions of the rule (an invalid custom unit) are not shown while marking days.
class Silent final : public UserInterface {
public:
    void message(const std::string&, const std::string&, MessageIcon) override {}
    bool ask(const std::string&, const std::string&) override { return false; }
    std::optional<std::string> chooseFolder(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    void setClipboardText(const std::string&) override {}
};

// The reference that makes NextOccurrence give the first occurrence on a later day
// than `day`: minute and hour rules move to the first occurrence strictly after the
// reference, every other rule to the first one more than a minute after it.
Time endOfDayReference(const ScheduleRecord& task) {
    const RuleParts rule = RuleParts::of(task);
    const bool stepsWithin =
        rule.type == RuleType::Custom && (rule.unit == RepeatUnit::Minute || rule.unit == RepeatUnit::Hour);
    return stepsWithin ? kTimeDay : kTimeDay - kTimeMinute;
}

} // namespace

CalendarMonth calendarMonthOf(Date date) {
    if (date <= 0) return {kCalendarFirstYear, 1};
    const CivilDate c = civilFromDate(date);
    if (c.year < kCalendarFirstYear) return {kCalendarFirstYear, 1};
    if (c.year > kCalendarLastYear) return {kCalendarLastYear, 12};
    return {c.year, c.month};
}

CalendarMonth nextMonth(CalendarMonth m) {
    if (m.month < 12) return {m.year, m.month + 1};
    return {m.year >= kCalendarLastYear ? kCalendarFirstYear : m.year + 1, 1};
}

CalendarMonth previousMonth(CalendarMonth m) {
    if (m.month > 1) return {m.year, m.month - 1};
    return {m.year <= kCalendarFirstYear ? kCalendarLastYear : m.year - 1, 12};
}

CalendarMonth nextYear(CalendarMonth m) {
    return {m.year >= kCalendarLastYear ? kCalendarFirstYear : m.year + 1, m.month};
}

CalendarMonth previousYear(CalendarMonth m) {
    return {m.year <= kCalendarFirstYear ? kCalendarLastYear : m.year - 1, m.month};
}

Date firstShownDay(CalendarMonth m) {
    const Date first = dateFromMDY(m.month, 1, m.year);
    return first - weekdayOf(first);
}

std::string calendarMonthText(CalendarMonth m) {
    return std::string(kMonthNames[std::clamp(m.month, 1, 12) - 1]) + ", " + std::to_string(m.year);
}

std::string calendarWindowTitle(const std::string& given, const ScheduleRecord* rule) {
    if (!trimRight(given).empty()) return given;
    if (rule != nullptr && !trimRight(rule->ScheduleType).empty())
        return std::string(trimRight(rule->ScheduleType));
    return "Select Date";
}

bool calendarDayAllowed(const ScheduleRecord* rule, Date day) {
    return rule == nullptr || DateMatchesSchedule(*rule, day);
}

void addTaskDays(const ScheduleRecord& stored, Date from, Date to, const HolidayCalendar& holidays,
                 std::map<Date, DayMarks>& marks) {
    if (stored.Date == 0 || stored.Time == 0 || trimRight(stored.TaskType) == "Hot Key") return;
    auto list = [&](DayMarks& m, const ScheduleRecord& t, bool done) {
        if (m.entries.size() >= kListedPerDay) return;
        for (const DayEntry& e : m.entries)
            if (e.id == stored.ID && e.done == done) return; // listed once a day
        const DayEntry entry{stored.ID, t.Time, std::string(trimRight(t.Description)), done};
        const auto at =
            std::upper_bound(m.entries.begin(), m.entries.end(), entry,
                             [](const DayEntry& a, const DayEntry& b) { return a.time < b.time; });
        m.entries.insert(at, entry);
    };
    if (stored.Completed != 0) {
        if (stored.Date >= from && stored.Date <= to) {
            DayMarks& m = marks[stored.Date];
            ++m.done;
            list(m, stored, true);
        }
        return;
    }
    if (stored.Disabled != 0 || stored.Date > to) return;

    Silent silent;
    MemoryTaskStore copies;
    ScheduleRecord task = stored;
    std::vector<Date> ownDays; // days with an occurrence of the task itself (not a copy)
    auto mark = [&](const ScheduleRecord& t) {
        if (t.SkipNextTime != 0 || t.Date < from || t.Date > to) return;
        DayMarks& m = marks[t.Date];
        ++m.due;
        list(m, t, false);
    };
    auto markOwn = [&](const ScheduleRecord& t) {
        if (t.SkipNextTime == 0) ownDays.push_back(t.Date);
        mark(t);
    };
    // The one-time copy made for the last excluded day. The next excluded day deletes
    // it and makes its own (when the task moves on to that day), so a copy that has
    // not come by then is not marked.
    std::optional<Moment> lastCopy;
    auto markCopy = [&](const ScheduleRecord& copy, Moment movedAt) {
        if (lastCopy && *lastCopy > movedAt && lastCopy->date >= from && lastCopy->date <= to) {
            DayMarks& m = marks[lastCopy->date];
            --m.due;
            if (std::find(ownDays.begin(), ownDays.end(), lastCopy->date) == ownDays.end())
                std::erase_if(m.entries, [&](const DayEntry& e) { return e.id == stored.ID && !e.done; });
        }
        lastCopy = Moment{copy.Date, copy.Time};
        mark(copy);
    };
    // The dispatcher moves a task on and applies its exceptions to the new occurrence;
    // a day it passes over may get a one-time copy on another day.
    auto advance = [&](Date refDate, Time refTime) {
        const Moment before{task.Date, task.Time};
        NextOccurrence(task, refDate, refTime, silent);
        if (task.Completed != 0 || Moment{task.Date, task.Time} <= before) return false;
        task.SkipNextTime = 0;
        task.ExceptionLink = 0;
        copies.tasks.clear();
        const ExceptionOutcome out = ApplyExceptions(task, copies, holidays, silent);
        if (out.copyId != 0) markCopy(copies.tasks[out.copyId], before);
        return true;
    };

    if (ruleTypeOf(task.ScheduleType) == RuleType::Once) {
        markOwn(task);
        return;
    }
    const Time endOfDay = endOfDayReference(task);
    if (task.Date < from && !advance(from - 1, endOfDay)) return;
    for (int step = 0; step < kStepsPerTask && task.Date <= to; ++step) {
        markOwn(task);
        // Further occurrences on the same day add nothing: on to the next day.
        if (!advance(task.Date, endOfDay)) break;
    }
}

CalendarMarker::CalendarMarker(DataSet& ds, Date from, Date to) : from_(from), to_(to) {
    if (from <= 0 || to < from) {
        done_ = true;
        return;
    }
    // The holiday table is small: read once, it answers every task's holiday test
    // without a store read each (a shifted copy may look up to a year away).
    holidays_ = std::make_unique<MemoryHolidayStore>();
    Table<HolidaysRecord> hol(ds, tables::Holidays());
    if (hol.open() == Level::Benign) {
        hol.setOrder(hol.def().findKey("HOL:KeyHolidayDate"));
        while (hol.tryNext() == Level::Benign) {
            holidays_->rows[hol.rec.HolidayDate] = hol.rec;
            if (hol.rec.HolidayDate >= from && hol.rec.HolidayDate <= to)
                marks_[hol.rec.HolidayDate].holiday = std::string(trimRight(hol.rec.Holiday));
        }
    }
    const TableDef& def = tables::Schedule();
    const int date = def.findField("Date");
    const auto open = [&](Stream& s, const char* key, RecordFilter where) {
        s.table = std::make_unique<Table<ScheduleRecord>>(ds, def);
        if (s.table->open() != Level::Benign) return false;
        s.table->setFilter(where);
        s.order.key = def.findKey(key);
        return true;
    };
    // Active: neither disabled nor completed, pending from the first date on
    // (0 means no pending occurrence) to the page's last day. History: completed,
    // dated on the page. A disabled task that is not completed marks nothing.
    if (!open(active_, "SCH:KeyDateEnabled",
              {{def.findField("Disabled"), FieldMatch::Equals, 0LL, {}, {}},
               {def.findField("Completed"), FieldMatch::Equals, 0LL, {}, {}},
               {date, FieldMatch::Range, 0LL, 1LL, static_cast<long long>(to)}}) ||
        !open(history_, "SCH:KeyDate",
              {{def.findField("Completed"), FieldMatch::NotEquals, 0LL, {}, {}},
               {date, FieldMatch::Range, 0LL, static_cast<long long>(from), static_cast<long long>(to)}}))
        done_ = true;
}

const std::pair<ScheduleRecord, long long>* CalendarMarker::Stream::peek() {
    if (next == chunk.size()) {
        chunk.clear();
        next = 0;
        if (last) return nullptr;
        const Level l = table->readViewAfter(
            order, cursor, kChunk, [this] { chunk.emplace_back(table->rec, table->currentRowId()); });
        read += static_cast<long long>(chunk.size());
        last = l != Level::Benign || static_cast<int>(chunk.size()) < kChunk;
        if (chunk.empty()) return nullptr;
    }
    return &chunk[next];
}

CalendarMarker::~CalendarMarker() = default;

bool CalendarMarker::step(int count) {
    for (int i = 0; i < count && !done_; ++i) {
        const auto* a = active_.peek();
        const auto* h = history_.peek();
        if (!a && !h) {
            done_ = true;
            break;
        }
        // The one walk's order: date, time, then the order records were added in.
        const auto place = [](const std::pair<ScheduleRecord, long long>& r) {
            return std::tuple(r.first.Date, r.first.Time, r.second);
        };
        Stream& from = !h || (a && place(*a) < place(*h)) ? active_ : history_;
        addTaskDays(from.chunk[from.next++].first, from_, to_, *holidays_, marks_);
    }
    if (done_) {
        for (auto it = marks_.begin(); it != marks_.end();) {
            const DayMarks& m = it->second;
            if (m.due == 0 && m.done == 0 && m.holiday.empty())
                it = marks_.erase(it);
            else
                ++it;
        }
    }
    return done_;
}

std::map<Date, DayMarks> calendarMarks(DataSet& ds, Date from, Date to) {
    CalendarMarker marker(ds, from, to);
    while (!marker.step(1000)) {
    }
    return marker.marks();
}

} // namespace qd
