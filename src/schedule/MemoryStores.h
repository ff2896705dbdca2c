// In-memory task, holiday and setting stores: the storage interfaces of the schedule
// engine without a database, for tests and for tools that work on loose records.
#pragma once

#include "schedule/Exceptions.h"
#include "schedule/Holidays.h"

#include <map>
#include <string>

namespace qd {

class MemoryTaskStore final : public TaskStore {
public:
    bool fetchTask(std::int32_t id, ScheduleRecord& out) override;
    bool deleteTask(std::int32_t id) override;
    std::int32_t insertTaskCopy(ScheduleRecord& copy, std::int32_t sourceId) override;
    // Adds a task as it is (auto-numbered when its ID is 0); returns its ID.
    std::int32_t add(ScheduleRecord task);

    std::map<std::int32_t, ScheduleRecord> tasks;
    std::map<std::int32_t, std::int32_t> copiedFrom; // copy's ID -> source task's ID
    bool failInserts = false;
};

class MemoryHolidayStore final : public HolidayStore {
public:
    bool isHoliday(Date date) const override;
    std::vector<HolidaysRecord> holidaysBefore(Date date) override;
    bool addHoliday(const HolidaysRecord& row) override;
    bool changeHoliday(Date date, const HolidaysRecord& row) override;
    bool removeHoliday(Date date) override;

    std::map<Date, HolidaysRecord> rows; // by HOL:HolidayDate (unique)
};

class MemorySettingStore final : public SettingStore {
public:
    std::string value(std::string_view name) override;
    bool setValue(std::string_view name, std::string_view value) override;

    std::map<std::string, std::string, std::less<>> values;
};

} // namespace qd
