#include "schedule/ScheduleTables.h"

#include "data/RelationManager.h"
#include "data/Startup.h"
#include "data/StoreTransaction.h"
#include "data/TableDefs.h"
#include "schedule/RuleParts.h"

#include <algorithm>

namespace qd {
namespace {

constexpr int kEndOfFile = 101; // the store's code for "no further record"

int keyOf(const FileManager& t, const char* name) {
    return t.def().findKey(name);
}

// The script steps of a task (Scripting rows with SCR:ID = task) in SCR:KeyID order.
// They are read completely before anything is written, so the read never runs over
// rows inserted behind it.
bool readSteps(Table<ScriptingRecord>& steps, std::int32_t task, std::vector<ScriptingRecord>& out) {
    steps.rec = {};
    steps.rec.ID = task;
    steps.setPosition(keyOf(steps, "SCR:KeyID"), 1);
    Level l;
    while ((l = steps.next()) == Level::Benign && steps.rec.ID == task)
        out.push_back(steps.rec);
    return l == Level::Benign || (l == Level::Notify && steps.lastError().code == kEndOfFile);
}

// Writes copies of the steps of `fromTask` under `toTask`, keeping their sequence
// numbers. The caller holds the transaction.
bool copyTaskSteps(Table<ScriptingRecord>& steps, std::int32_t fromTask, std::int32_t toTask) {
    std::vector<ScriptingRecord> source;
    if (!readSteps(steps, fromTask, source)) return false;
    for (const ScriptingRecord& step : source) {
        steps.rec = step;
        steps.rec.ID = toTask;
        if (steps.insert() != Level::Benign) return false;
    }
    return true;
}

} // namespace

ExceptionSave saveTaskExceptions(DataSet& ds, std::int32_t id, const ExceptionFields& fields,
                                 UserInterface& ui, ExceptionOutcome* outcome) {
    HeldMessages held(ui);
    Table<ScheduleRecord> sch(ds, tables::Schedule());
    if (sch.open() != Level::Benign) return ExceptionSave::Failed;
    StoreTransaction transaction(sch);
    if (!transaction.started()) return ExceptionSave::Failed;
    sch.rec = {};
    sch.rec.ID = id;
    if (sch.fetch("KeyID") != Level::Benign) return ExceptionSave::Gone;
    setExceptionFields(sch.rec, fields);
    TableTaskStore tasks(ds);
    TableHolidayStore holidays(ds);
    const ExceptionOutcome out = ApplyExceptions(sch.rec, tasks, holidays, held);
    if (out.copyFailed) return ExceptionSave::Failed;
    if (sch.tryUpdate() != Level::Benign) {
        // Reported once the transaction is undone, not while it holds the store.
        const StoreError error = sch.lastError();
        transaction.rollback();
        ErrorContext ctx;
        ctx.file = sch.def().label;
        ctx.errorCode = error.code;
        ctx.errorText = error.text;
        ds.errors().throwMessage(25, ctx);
        return ExceptionSave::Failed;
    }
    if (transaction.commit() != Level::Benign) return ExceptionSave::Failed;
    if (outcome) *outcome = out;
    return ExceptionSave::Saved;
}

bool copyScriptSteps(DataSet& ds, std::int32_t fromTask, std::int32_t toTask) {
    if (fromTask == toTask || fromTask == 0 || toTask == 0) return false;
    Table<ScriptingRecord> steps(ds, tables::Scripting());
    if (steps.open() != Level::Benign) return false;
    return copyTaskSteps(steps, fromTask, toTask);
}

bool deleteScriptSteps(DataSet& ds, std::int32_t task) {
    Table<ScriptingRecord> steps(ds, tables::Scripting());
    if (steps.open() != Level::Benign) return false;
    std::vector<ScriptingRecord> all;
    if (!readSteps(steps, task, all)) return false;
    bool ok = true;
    for (const ScriptingRecord& step : all) {
        steps.rec = step;
        ok = steps.fetch(keyOf(steps, "SCR:KeyID")) == Level::Benign &&
             steps.deleteRecord() == Level::Benign && ok;
    }
    return ok;
}

// --- tasks ---------------------------------------------------------------------------

TableTaskStore::TableTaskStore(DataSet& ds) : ds_(ds), schedule_(ds, tables::Schedule()) {}

bool TableTaskStore::ready() {
    return schedule_.opened() || schedule_.open() == Level::Benign;
}

bool TableTaskStore::fetchTask(std::int32_t id, ScheduleRecord& out) {
    if (id == 0 || !ready()) return false;
    schedule_.rec = {};
    schedule_.rec.ID = id;
    if (schedule_.fetch(keyOf(schedule_, "SCH:KeyID")) != Level::Benign) return false;
    out = schedule_.rec;
    return true;
}

bool TableTaskStore::deleteTask(std::int32_t id) {
    if (id == 0 || !ready()) return false;
    schedule_.rec = {};
    schedule_.rec.ID = id;
    if (schedule_.fetch(keyOf(schedule_, "SCH:KeyID")) != Level::Benign) return false;
    return RelationManager(schedule_).deleteRecord() == Level::Benign;
}

std::int32_t TableTaskStore::insertTaskCopy(ScheduleRecord& copy, std::int32_t sourceId) {
    copy.ID = 0;
    if (!ready()) return 0;
    Table<ScriptingRecord> steps(ds_, tables::Scripting());
    if (steps.open() != Level::Benign) return 0;

    // Tasks and steps live in one container file, so one transaction covers both;
    // should they ever be apart, each file gets a transaction of its own.
    StoreFile* taskFile = schedule_.file();
    StoreFile* stepFile = steps.file();
    if (!taskFile || !stepFile) return 0;
    std::vector<StoreFile*> files{taskFile};
    if (stepFile != taskFile) files.push_back(stepFile);
    std::size_t begun = 0;
    while (begun < files.size() && files[begun]->begin() == 0)
        ++begun;

    bool ok = begun == files.size();
    if (ok) {
        schedule_.rec = copy;
        schedule_.rec.ID = 0;
        ok = schedule_.insert() == Level::Benign;
    }
    const std::int32_t newId = ok ? schedule_.rec.ID : 0;
    if (ok && sourceId != 0) ok = copyTaskSteps(steps, sourceId, newId);
    for (std::size_t i = 0; ok && i < begun; ++i)
        ok = files[i]->commit() == 0;
    if (!ok) {
        while (begun > 0)
            files[--begun]->rollback();
        return 0;
    }
    copy.ID = newId;
    return newId;
}

// --- holidays ------------------------------------------------------------------------

TableHolidayStore::TableHolidayStore(DataSet& ds) : holidays_(ds, tables::Holidays()) {}

bool TableHolidayStore::ready() const {
    return holidays_.opened() || holidays_.open() == Level::Benign;
}

bool TableHolidayStore::fetchDate(Date date) const {
    if (date == 0 || !ready()) return false;
    holidays_.rec = {};
    holidays_.rec.HolidayDate = date;
    return holidays_.fetch(keyOf(holidays_, "HOL:KeyHolidayDate")) == Level::Benign;
}

bool TableHolidayStore::isHoliday(Date date) const {
    return fetchDate(date);
}

std::vector<HolidaysRecord> TableHolidayStore::holidaysBefore(Date date) {
    std::vector<HolidaysRecord> out;
    if (!ready()) return out;
    holidays_.setOrder(keyOf(holidays_, "HOL:KeyHolidayDate"));
    while (holidays_.next() == Level::Benign && holidays_.rec.HolidayDate < date)
        out.push_back(holidays_.rec);
    return out;
}

std::vector<HolidaysRecord> TableHolidayStore::allHolidays() {
    std::vector<HolidaysRecord> out;
    if (!ready()) return out;
    holidays_.setOrder(keyOf(holidays_, "HOL:KeyHolidayDate"));
    while (holidays_.next() == Level::Benign)
        out.push_back(holidays_.rec);
    return out;
}

bool TableHolidayStore::addHoliday(const HolidaysRecord& row) {
    if (row.HolidayDate == 0 || !ready() || fetchDate(row.HolidayDate)) return false;
    holidays_.rec = row;
    return holidays_.tryInsert() == Level::Benign;
}

bool TableHolidayStore::changeHoliday(Date date, const HolidaysRecord& row) {
    if (row.HolidayDate == 0) return false;
    if (row.HolidayDate != date && fetchDate(row.HolidayDate)) return false;
    if (!fetchDate(date)) return false;
    holidays_.rec = row;
    return holidays_.tryUpdate() == Level::Benign;
}

bool TableHolidayStore::removeHoliday(Date date) {
    if (!fetchDate(date)) return false;
    return holidays_.tryDelete() == Level::Benign;
}

// --- settings ------------------------------------------------------------------------

TableSettingStore::TableSettingStore(DataSet& ds) : configuration_(ds, tables::Configuration()) {}

bool TableSettingStore::ready() {
    return configuration_.opened() || configuration_.open() == Level::Benign;
}

std::string TableSettingStore::value(std::string_view name) {
    if (!ready()) return {};
    configuration_.rec = {};
    configuration_.rec.DataType = std::string(name);
    if (configuration_.fetch(keyOf(configuration_, "CF:KeyDataType")) != Level::Benign) return {};
    return std::string(trimRight(configuration_.rec.DataValue));
}

bool TableSettingStore::setValue(std::string_view name, std::string_view value) {
    if (!ready()) return false;
    return writeConfigurationRow(configuration_, std::string(name), std::string(value)) == Level::Benign;
}

} // namespace qd
