// The storage interfaces of the schedule engine bound to the tables of a data set:
// tasks in Schedule (with their steps in Scripting), holidays in Holidays and named
// settings in Configuration.
//
// Each binding opens its table on first use, through the table open operation of the
// data set. Failures of that open and of the writes the record-access layer reports
// itself are reported by it; the bindings then answer as their interface says for a
// failure (false, 0, "").
#pragma once

#include "data/DataSet.h"
#include "data/FileManager.h"
#include "schedule/Exceptions.h"
#include "schedule/Holidays.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qd {

class TableTaskStore final : public TaskStore {
public:
    explicit TableTaskStore(DataSet& ds);

    bool fetchTask(std::int32_t id, ScheduleRecord& out) override;
    // Deletes through the relation manager: script steps, user details and contact
    // links go with the task, all in one transaction.
    bool deleteTask(std::int32_t id) override;
    // The new row and the copies of the source's script steps are written in one
    // transaction; when any write fails nothing stays and 0 is returned (copy.ID is
    // then 0 too).
    std::int32_t insertTaskCopy(ScheduleRecord& copy, std::int32_t sourceId) override;

private:
    bool ready();

    DataSet& ds_;
    Table<ScheduleRecord> schedule_;
};

// The Holidays table, keyed by its unique HOL:KeyHolidayDate. Writes are made with
// the silent forms of the record-access layer: a refused change leaves the row as
// it was and is reported to the caller by the return value only.
class TableHolidayStore final : public HolidayStore {
public:
    explicit TableHolidayStore(DataSet& ds);

    bool isHoliday(Date date) const override;
    std::vector<HolidaysRecord> holidaysBefore(Date date) override;
    bool addHoliday(const HolidaysRecord& row) override;
    bool changeHoliday(Date date, const HolidaysRecord& row) override;
    bool removeHoliday(Date date) override;

    // Every row in HOL:KeyHolidayDate order (rows dated 0 are outside the key).
    std::vector<HolidaysRecord> allHolidays();

private:
    bool ready() const;
    // Reads the row dated `date` into the buffer.
    bool fetchDate(Date date) const;

    mutable Table<HolidaysRecord> holidays_;
};

// Named settings as rows of the Configuration table (CF:DataType, CF:DataValue).
class TableSettingStore final : public SettingStore {
public:
    explicit TableSettingStore(DataSet& ds);

    std::string value(std::string_view name) override;
    bool setValue(std::string_view name, std::string_view value) override;

private:
    bool ready();

    Table<ConfigurationRecord> configuration_;
};

// Gives the task `id` new exception fields and applies them to its pending occurrence
// (ApplyExceptions: a day now excluded is passed over and may get its one-time copy),
// reading and writing the task in one transaction, so a change made meanwhile by the
// dispatcher or another process is built upon, never overwritten.
enum class ExceptionSave { Saved, Gone, Failed };
ExceptionSave saveTaskExceptions(DataSet& ds, std::int32_t id, const ExceptionFields& fields,
                                 UserInterface& ui, ExceptionOutcome* outcome = nullptr);

// Copies the script steps of one task to another, keeping their sequence numbers.
// False when a step could not be read or written.
bool copyScriptSteps(DataSet& ds, std::int32_t fromTask, std::int32_t toTask);
// Deletes every script step of a task.
bool deleteScriptSteps(DataSet& ds, std::int32_t task);

} // namespace qd
