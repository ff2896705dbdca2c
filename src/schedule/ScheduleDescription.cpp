#include "schedule/ScheduleDescription.h"

#include "data/Text.h"
#include "schedule/Recurrence.h"
#include "schedule/RuleParts.h"

#include <string_view>

namespace qd {

namespace {

// The text is built in an 80-character working field: every assignment cuts it.
constexpr std::size_t kWidth = 80;

void assign(std::string& text, std::string value) {
    if (value.size() > kWidth) value.resize(kWidth);
    text = std::move(value);
}

struct Item {
    std::uint8_t flag;
    const char* text;
};

// Appends one blank and the item of every set flag, then drops trailing blanks and one
// final comma.
void appendList(std::string& text, const Item* items, std::size_t count) {
    assign(text, text::trimmedRight(text) + " ");
    for (std::size_t i = 0; i < count; ++i)
        if (items[i].flag != 0) assign(text, text + items[i].text);
    std::string done = text::trimmedRight(text);
    if (!done.empty() && done.back() == ',') done.pop_back();
    assign(text, done);
}

void appendWeekdays(std::string& text, const ScheduleRecord& t) {
    const Item items[] = {{t.Sunday, "Sun, "},    {t.Monday, "Mon, "},   {t.Tuesday, "Tue, "},
                          {t.Wednesday, "Wed, "}, {t.Thursday, "Thu, "}, {t.Friday, "Fri, "},
                          {t.Saturday, "Sat, "}};
    appendList(text, items, std::size(items));
}

void appendOrdinals(std::string& text, const ScheduleRecord& t) {
    const Item items[] = {{t.Every1st, "1st, "},
                          {t.Every2nd, "2nd, "},
                          {t.Every3rd, "3rd, "},
                          {t.Every4th, "4th, "},
                          {t.EveryLast, "Last"}};
    appendList(text, items, std::size(items));
}

} // namespace

std::string ScheduleDescription(const ScheduleRecord& task) {
    std::string text;
    assign(text, task.ScheduleType);
    const std::string_view type = trimRight(task.ScheduleType);
    const RuleType rule = ruleTypeOf(type);
    if (rule == RuleType::Monthly && isTwiceMonthly(task.MonthRepeat)) {
        assign(text, "Twice Monthly");
        if (task.Offset != 0) assign(text, text + " (" + std::to_string(task.Offset) + ")");
    } else if (rule == RuleType::DayOfWeek) {
        assign(text, "Days:");
        appendWeekdays(text, task);
    } else if (rule == RuleType::DayOfMonth) {
        assign(text, "Days:");
        appendOrdinals(text, task);
        assign(text, text::trimmedRight(text) + ":");
        appendWeekdays(text, task);
    } else if (type == "Custom" || type == "Other" || type == "Every") {
        assign(text, "Every " + std::to_string(task.Every) + " " + task.EveryType);
    }
    const bool exceptions = !trimRight(task.ExceptOther).empty() || task.ExceptTime || task.ExceptHolidays ||
                            task.ExceptWeekdays || task.ExceptWeekends;
    if (exceptions) assign(text, text::trimmedRight(text) + " (exceptions exist)");
    return text::trimmed(text);
}

} // namespace qd
