#include "schedule/MemoryStores.h"

#include "schedule/RuleParts.h"

namespace qd {

bool MemoryTaskStore::fetchTask(std::int32_t id, ScheduleRecord& out) {
    const auto it = tasks.find(id);
    if (it == tasks.end()) return false;
    out = it->second;
    return true;
}

bool MemoryTaskStore::deleteTask(std::int32_t id) {
    copiedFrom.erase(id);
    return tasks.erase(id) == 1;
}

std::int32_t MemoryTaskStore::add(ScheduleRecord task) {
    if (task.ID == 0) task.ID = tasks.empty() ? 1 : tasks.rbegin()->first + 1;
    const std::int32_t id = task.ID;
    tasks[id] = std::move(task);
    return id;
}

std::int32_t MemoryTaskStore::insertTaskCopy(ScheduleRecord& copy, std::int32_t sourceId) {
    if (failInserts) return 0;
    copy.ID = 0;
    copy.ID = add(copy);
    copiedFrom[copy.ID] = sourceId;
    return copy.ID;
}

bool MemoryHolidayStore::isHoliday(Date date) const {
    return date != 0 && rows.count(date) != 0;
}

std::vector<HolidaysRecord> MemoryHolidayStore::holidaysBefore(Date date) {
    std::vector<HolidaysRecord> out;
    for (const auto& [d, row] : rows) {
        if (d >= date) break;
        if (d != 0) out.push_back(row);
    }
    return out;
}

bool MemoryHolidayStore::addHoliday(const HolidaysRecord& row) {
    return rows.emplace(row.HolidayDate, row).second;
}

bool MemoryHolidayStore::changeHoliday(Date date, const HolidaysRecord& row) {
    const auto it = rows.find(date);
    if (it == rows.end()) return false;
    if (row.HolidayDate != date && rows.count(row.HolidayDate) != 0) return false;
    rows.erase(it);
    rows.emplace(row.HolidayDate, row);
    return true;
}

bool MemoryHolidayStore::removeHoliday(Date date) {
    return rows.erase(date) == 1;
}

std::string MemorySettingStore::value(std::string_view name) {
    const auto it = values.find(name);
    return it == values.end() ? std::string() : std::string(trimRight(it->second));
}

bool MemorySettingStore::setValue(std::string_view name, std::string_view value) {
    values.insert_or_assign(std::string(name), std::string(value));
    return true;
}

} // namespace qd
