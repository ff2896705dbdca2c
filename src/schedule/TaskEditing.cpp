#include "schedule/TaskEditing.h"

#include "data/Pictures.h"
#include "data/StoreTransaction.h"
#include "data/TableDefs.h"
#include "data/Text.h"
#include "data/TextWidth.h"
#include "schedule/Exceptions.h"
#include "schedule/Recurrence.h"
#include "schedule/ScheduleTables.h"

#include <algorithm>

namespace qd {
namespace {

constexpr std::size_t kDescriptionWidth = 40;

// A one-line text: line breaks and tabs become blanks, so a description made
// from a message never breaks the lines of the lists or of the event log.
std::string oneLine(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    return out;
}

std::string description(std::string_view text) {
    return fitText(text::trimLeft(oneLine(text)), kDescriptionWidth);
}

bool blank(std::string_view s) {
    return text::trim(s).empty();
}

bool sameUser(std::string_view a, std::string_view b) {
    return text::equalsNoCase(text::trimRight(a), text::trimRight(b));
}

// A moment `hundredths` before or after `m`, with the time kept inside one day.
Moment shifted(Moment m, long long hundredths) {
    long long t = static_cast<long long>(m.time) + hundredths;
    long long d = m.date;
    while (t > kTimeDay) {
        t -= kTimeDay;
        ++d;
    }
    while (t < 1) {
        t += kTimeDay;
        --d;
    }
    return {static_cast<Date>(d), static_cast<Time>(t)};
}

bool sameScheduleState(const ScheduleRecord& a, const ScheduleRecord& b) {
    return a.Date == b.Date && a.Time == b.Time && a.SkipNextTime == b.SkipNextTime &&
           a.AdvanceWarnDate == b.AdvanceWarnDate && a.AdvanceWarnTime == b.AdvanceWarnTime &&
           a.AdvanceWarned == b.AdvanceWarned && a.Disabled == b.Disabled && a.Completed == b.Completed &&
           a.Skipped == b.Skipped;
}

void copyScheduleState(const ScheduleRecord& task, QDUSDRecord& row) {
    row.Date = task.Date;
    row.Time = task.Time;
    row.SkipNextTime = task.SkipNextTime;
    row.AdvanceWarnDate = task.AdvanceWarnDate;
    row.AdvanceWarnTime = task.AdvanceWarnTime;
    row.AdvanceWarned = task.AdvanceWarned;
    row.Disabled = task.Disabled;
    row.Completed = task.Completed;
    row.Skipped = task.Skipped;
}

bool sameRow(const QDUSDRecord& a, const QDUSDRecord& b) {
    return a.Date == b.Date && a.Time == b.Time && a.LastRunDate == b.LastRunDate &&
           a.LastRunTime == b.LastRunTime && a.SkipNextTime == b.SkipNextTime &&
           a.AdvanceWarnDate == b.AdvanceWarnDate && a.AdvanceWarnTime == b.AdvanceWarnTime &&
           a.AdvanceWarned == b.AdvanceWarned && a.Disabled == b.Disabled && a.Completed == b.Completed &&
           a.Skipped == b.Skipped;
}

} // namespace

std::string mustBeEntered(std::string_view prompt) {
    return std::string(prompt) + " must be entered.";
}

bool showsMessage(std::string_view taskType) {
    const std::string_view t = text::trimRight(taskType);
    return t == kTypeDisplayMessage || t == kTypeBoth || t == kTypeNone;
}

bool startsProgram(std::string_view taskType) {
    const std::string_view t = text::trimRight(taskType);
    return t == kTypeRunProgram || t == kTypeBoth;
}

// --- defaults -----------------------------------------------------------------

ScheduleRecord newTaskDefaults(const NewTaskRequest& request, const Clock& clock,
                               const std::string& category) {
    ScheduleRecord t{};
    const std::string_view prime = text::trimRight(request.primeTaskType);
    const bool typed =
        prime == kTypeRunProgram || prime == kTypeDisplayMessage || prime == kTypeBoth || prime == kTypeNone;
    const Moment now = clock.now();
    const Moment at =
        shifted({request.dateToUse != 0 ? request.dateToUse : now.date, now.time}, kNewTaskLead);
    t.Date = at.date;
    t.Time = at.time;
    setTaskType(t, typed ? prime : kTypeBoth);
    t.ScheduleType = "Day of Week";
    t.Monday = t.Tuesday = t.Wednesday = t.Thursday = t.Friday = 1;
    t.Sunday = t.Saturday = 0;
    t.EveryLast = 1;
    t.Warn = 1;
    t.Every = 1;
    t.EveryType = "hour(s)";
    t.MonthRepeat = "Once";
    t.Category = category;
    t.Completed = 0;
    t.AdvanceWarned = 0;
    t.Disabled = 0;
    t.LastChangeDate = now.date;
    t.LastChangeTime = now.time;
    return t;
}

ScheduleRecord scriptTaskDefaults(const Clock& clock) {
    ScheduleRecord t{};
    const Moment now = clock.now();
    t.Date = now.date;
    t.Time = now.time;
    t.ScheduleType = "Day of Week";
    t.Sunday = t.Monday = t.Tuesday = t.Wednesday = t.Thursday = t.Friday = t.Saturday = 1;
    t.EveryLast = 1;
    t.Warn = 1;
    t.TaskType = kTypeRunProgram;
    t.Command = kScriptOnlyCommand;
    t.Every = 1;
    t.EveryType = "hour(s)";
    t.MonthRepeat = "Once";
    t.Category = "General";
    t.Completed = 0;
    t.LastChangeDate = now.date;
    t.LastChangeTime = now.time;
    return t;
}

ScheduleRecord hotKeyScriptDefaults(const Clock& clock, const std::string& hotKeyName) {
    ScheduleRecord t = scriptTaskDefaults(clock);
    t.Category = "Hot Key";
    t.Description = description("Hot Key " + hotKeyName);
    return t;
}

std::optional<WizardTitles> wizardFor(std::string_view primeTaskType) {
    const std::string_view prime = text::trimRight(primeTaskType);
    if (prime == kTypeRunProgram) return WizardTitles{"Start Program Wizard", "Program Task Basics..."};
    if (prime == kTypeDisplayMessage) return WizardTitles{"Display Message Wizard", "Message Task Basics..."};
    return std::nullopt;
}

// --- rules while editing ------------------------------------------------------

void setTaskType(ScheduleRecord& task, std::string_view type) {
    task.TaskType = std::string(text::trimRight(type));
    if (task.TaskType == kTypeNone) task.Time = kReminderTime;
}

void messageAccepted(ScheduleRecord& task) {
    if (blank(task.Description) && !blank(task.Message)) task.Description = description(task.Message);
}

void commandAccepted(ScheduleRecord& task) {
    if (blank(task.Description) && !blank(task.Command))
        task.Description = description("Program: " + task.Command);
}

void everyAccepted(ScheduleRecord& task) {
    if (task.Every > 0 && repeatUnitOf(task.EveryType) == RepeatUnit::Hour) task.NoHistory = 1;
}

void monthRepeatAccepted(ScheduleRecord& task) {
    if (blank(task.MonthRepeat)) task.MonthRepeat = "Once";
}

bool offsetEnabled(std::string_view monthRepeat) {
    return text::startsWith(text::trimLeft(monthRepeat), "T");
}

bool ordinalBoxesEnabled(const ScheduleRecord& task) {
    return task.LastDayofMonth == 0;
}

void startDateAccepted(ScheduleRecord& task, bool specialEvent, const AdvanceWarningDefaults& warning,
                       UserInterface& ui) {
    if (task.Date == 0) return;
    if (!specialEvent && !DateMatchesSchedule(task, 0))
        ui.message(kWarningTitle, kDateMismatchText, MessageIcon::Exclamation);
    if (warning.Active) {
        // The warning's time stays within one day: a time warning reaching
        // before midnight moves the warning to the day before.
        const Moment at = shifted({task.Date - warning.DateWarning, task.Time == 0 ? 1 : task.Time},
                                  -static_cast<long long>(warning.TimeWarning));
        task.AdvanceWarned = 0;
        task.AdvanceWarnDate = at.date;
        task.AdvanceWarnTime = at.time;
    }
}

bool advanceWarningAccepted(ScheduleRecord& task, UserInterface& ui) {
    if (task.AdvanceWarnDate == 0) return true;
    const Moment due{task.Date, task.Time};
    const Moment warn{task.AdvanceWarnDate, task.AdvanceWarnTime};
    if (!(due < warn)) return true;
    task.AdvanceWarnDate = 0;
    task.AdvanceWarnTime = 0;
    ui.message(kWarningTitle, kAdvanceAfterTaskText, MessageIcon::Exclamation);
    return false;
}

bool expiryAccepted(ScheduleRecord& task, UserInterface& ui) {
    if (task.ExpiryDate == 0) return true;
    // An end on the start day without a time of its own ends with that day.
    const bool before = task.ExpiryDate < task.Date ||
                        (task.ExpiryDate == task.Date && task.ExpiryTime != 0 && task.ExpiryTime < task.Time);
    if (!before) return true;
    task.ExpiryDate = 0;
    task.ExpiryTime = 0;
    ui.message(kWarningTitle, kExpiryBeforeStartText, MessageIcon::Exclamation);
    return false;
}

std::optional<std::string> missingField(const ScheduleRecord& task) {
    if (task.Date == 0) return std::string(kPromptDate);
    if (task.Time == 0) return std::string(kPromptTime);
    if (showsMessage(task.TaskType) && blank(task.Message)) return std::string(kPromptMessage);
    if (ruleTypeOf(task.ScheduleType) == RuleType::Custom && task.Every == 0)
        return std::string(kPromptEvery);
    if (task.Alarm && blank(task.AlarmFile)) return std::string(kPromptAlarmFile);
    return std::nullopt;
}

bool checkRequiredFields(const ScheduleRecord& task, UserInterface& ui) {
    const auto missing = missingField(task);
    if (!missing) return true;
    ui.message(kMissingTitle, mustBeEntered(*missing), MessageIcon::Exclamation);
    return false;
}

// --- what the save fills in -----------------------------------------------------

void fillOnSave(ScheduleRecord& task, const SaveStamp& stamp) {
    const std::string type(text::trimRight(task.TaskType));
    if (blank(task.Command) && (type == kTypeRunProgram || type == kTypeBoth || type == kTypeHotKey))
        task.Command = kScriptOnlyCommand;
    if (blank(task.Description)) {
        if (type == kTypeNone)
            task.Description = description("Reminder: " + task.Message);
        else if (type == kTypeDisplayMessage)
            task.Description = description("Message: " + task.Message);
        else if (type == kTypeHotKey)
            task.Description = description("Hot Key " + std::to_string(task.ID));
        else if (type == kTypeBoth)
            task.Description = "Message/Run Program";
        else if (type == kTypeRunProgram)
            task.Description =
                text::equalsNoCase(text::trim(task.Command), kScriptOnlyCommand)
                    ? description("Script: " + formatUserDate(stamp.now.date, stamp.dateFormat))
                    : description("Run: " + task.Command);
    }
    if (blank(task.Category)) task.Category = "General";
    task.NetworkUser = fitText(stamp.networkUser, ScheduleRecord::Width::NetworkUser);
    task.LastChangeDate = stamp.now.date;
    task.LastChangeTime = stamp.now.time;
    if (task.OriginalID == 0) task.OriginalID = task.ID;
}

std::vector<Moment> upcomingOccurrences(const ScheduleRecord& task, int count) {
    std::vector<Moment> out;
    if (task.Date == 0 || count <= 0) return out;
    ScheduleRecord t = task;
    t.Completed = 0;
    if (t.Time == 0) t.Time = 1;
    const RuleType type = ruleTypeOf(t.ScheduleType);
    if (type == RuleType::Custom && (repeatUnitOf(t.EveryType) == RepeatUnit::Invalid || t.Every < 1))
        return out;
    const bool expires = t.ExpiryDate != 0 && t.ExpiryTime != 0;
    const Moment end{t.ExpiryDate, t.ExpiryTime};
    if (DateMatchesSchedule(t, 0) && !(expires && end < Moment{t.Date, t.Time}))
        out.push_back({t.Date, t.Time});
    ScriptedUserInterface quiet;
    while (static_cast<int>(out.size()) < count && type != RuleType::Once) {
        const Moment before{t.Date, t.Time};
        NextOccurrence(t, t.Date, t.Time + 1, quiet);
        const Moment next{t.Date, t.Time};
        if (t.Completed || !(before < next)) break;
        out.push_back(next);
    }
    return out;
}

QDUSDRecord userRowFor(const ScheduleRecord& task, const std::string& user) {
    QDUSDRecord row{};
    row.User = fitText(user, QDUSDRecord::Width::User);
    row.ID = task.ID;
    copyScheduleState(task, row);
    row.LastRunDate = 0;
    row.LastRunTime = 0;
    return row;
}

// --- the editor's session ---------------------------------------------------------

TaskEditor::TaskEditor(DataSet& ds, EditorEnvironment env)
    : ds_(ds), env_(std::move(env)), table_(std::make_unique<Table<ScheduleRecord>>(ds, tables::Schedule())) {
}

TaskEditor::~TaskEditor() = default;

void TaskEditor::stampUser() {
    task.User = fitText(env_.user, ScheduleRecord::Width::User);
}

std::vector<std::string> TaskEditor::categories() {
    std::vector<std::string> out;
    Table<CategoriesRecord> t(ds_, tables::Categories());
    if (t.open() != Level::Benign) return out;
    t.setOrder(t.def().findKey("KeyCategory"));
    while (t.tryNext() == Level::Benign)
        out.push_back(t.rec.Category);
    return out;
}

std::vector<std::string> TaskEditor::allUsers() {
    std::vector<std::string> out;
    Table<UsersRecord> t(ds_, tables::Users());
    if (t.open() != Level::Benign) return out;
    t.setOrder(t.def().findKey("KeyUser"));
    while (t.tryNext() == Level::Benign)
        if (!blank(t.rec.User)) out.push_back(t.rec.User);
    return out;
}

std::string TaskEditor::rememberedCategory(const std::string& taskType) {
    SettingsStore settings(ds_);
    const std::string remembered =
        text::trimmed(settings.peek("QDCAT" + taskType, "", LegacyIni::None).value);
    const std::vector<std::string> names = categories();
    // A remembered category that was deleted since is not offered again.
    for (const std::string& n : names)
        if (!remembered.empty() && text::equalsNoCase(n, remembered)) return n;
    return names.empty() ? std::string() : names.front();
}

void TaskEditor::openNew(const NewTaskRequest& request) {
    mode_ = EditMode::Insert;
    sourceId_ = 0;
    const std::string_view prime = text::trimRight(request.primeTaskType);
    const bool typed =
        prime == kTypeRunProgram || prime == kTypeDisplayMessage || prime == kTypeBoth || prime == kTypeNone;
    task = newTaskDefaults(request, env_.clock, rememberedCategory(typed ? std::string(prime) : kTypeBoth));
    stampUser();
    rows_.clear();
    readRows_.clear();
}

void TaskEditor::openScriptTask() {
    mode_ = EditMode::Insert;
    sourceId_ = 0;
    task = scriptTaskDefaults(env_.clock);
    stampUser();
    rows_.clear();
    readRows_.clear();
}

void TaskEditor::openHotKeyScript(const std::string& hotKeyName) {
    openScriptTask();
    task = hotKeyScriptDefaults(env_.clock, hotKeyName);
    stampUser();
}

bool TaskEditor::openChange(std::int32_t id) {
    mode_ = EditMode::Change;
    sourceId_ = 0;
    if (table_->open() != Level::Benign) return false;
    table_->rec = {};
    table_->rec.ID = id;
    if (id == 0 || table_->fetch("KeyID") != Level::Benign) {
        env_.ui.message("Update Schedule", "The task is not there any more.", MessageIcon::Exclamation);
        return false;
    }
    task = table_->rec;
    read_ = task;
    loadUserRows(id);
    return true;
}

bool TaskEditor::openCopy(std::int32_t sourceId) {
    Table<ScheduleRecord> source(ds_, tables::Schedule());
    if (source.open() != Level::Benign) return false;
    source.rec.ID = sourceId;
    if (sourceId == 0 || source.fetch("KeyID") != Level::Benign) {
        env_.ui.message("Update Schedule", "The task is not there any more.", MessageIcon::Exclamation);
        return false;
    }
    mode_ = EditMode::Copy;
    sourceId_ = sourceId;
    task = source.rec;
    task.ID = 0;
    // The copy is a task of its own: it is matched with nothing in the
    // synchronisation tables and owns none of the source's exception copies.
    task.OriginalID = 0;
    task.ExceptionLink = 0;
    rows_.clear();
    readRows_.clear();
    return true;
}

bool TaskEditor::openReschedule(std::int32_t sourceId) {
    if (!openCopy(sourceId)) return false;
    mode_ = EditMode::Reschedule;
    // The copy's own skip box stands for the source's next regular occurrence.
    skipSourceNextTime = task.SkipNextTime != 0;
    task.SkipNextTime = 0;
    task.Disabled = 0;
    task.Completed = 0;
    task.Skipped = 0;
    return true;
}

// --- users --------------------------------------------------------------------------

void TaskEditor::loadUserRows(std::int32_t id) {
    rows_.clear();
    Table<QDUSDRecord> t(ds_, tables::QDUSD());
    if (t.open() == Level::Benign) {
        t.rec = {};
        t.rec.ID = id;
        t.setPosition(t.def().findKey("KeyID"), 1);
        while (t.tryNext() == Level::Benign && t.rec.ID == id)
            rows_.push_back(t.rec);
    }
    readRows_ = rows_;
}

void TaskEditor::addAllUsers() {
    for (const std::string& u : allUsers())
        addUser(u);
}

bool TaskEditor::addUser(const std::string& user) {
    if (blank(user)) return false;
    for (const QDUSDRecord& r : rows_)
        if (sameUser(r.User, user)) return false;
    rows_.push_back(userRowFor(task, user));
    return true;
}

void TaskEditor::removeUser(const std::string& user) {
    std::erase_if(rows_, [&](const QDUSDRecord& r) { return sameUser(r.User, user); });
}

void TaskEditor::removeAllUsers() {
    rows_.clear();
}

bool TaskEditor::changeUserRow(const QDUSDRecord& row) {
    for (QDUSDRecord& r : rows_)
        if (sameUser(r.User, row.User)) {
            const std::string user = r.User;
            const std::int32_t id = r.ID;
            r = row;
            r.User = user;
            r.ID = id;
            edited_.insert(text::lowerAscii(text::trimRight(user)));
            return true;
        }
    return false;
}

bool TaskEditor::writeUserRows(std::int32_t id, const ScheduleRecord& before) {
    std::vector<QDUSDRecord> wanted = rows_;
    for (QDUSDRecord& r : wanted)
        r.ID = id;
    // A changed date, time or state of the task reaches the rows the choice
    // names; the rows of a new task take its state as saved. A row edited for
    // its user in this session keeps that user's values.
    if (cascade != Cascade::None && (mode_ != EditMode::Change || !sameScheduleState(before, task)))
        for (QDUSDRecord& r : wanted)
            if ((cascade == Cascade::All || sameUser(r.User, selectedUser)) &&
                !edited_.count(text::lowerAscii(text::trimRight(r.User)))) {
                const std::int32_t lastDate = r.LastRunDate, lastTime = r.LastRunTime;
                copyScheduleState(task, r);
                r.LastRunDate = lastDate;
                r.LastRunTime = lastTime;
            }

    if (wanted.empty() && readRows_.empty()) {
        written_.clear();
        return true;
    }
    Table<QDUSDRecord> t(ds_, tables::QDUSD());
    if (t.open() != Level::Benign) return false;
    const int key = t.def().findKey("KeyID");
    auto fetchRow = [&](const std::string& user) {
        t.rec = {};
        t.rec.ID = id;
        t.rec.User = user;
        return t.fetch(key) == Level::Benign;
    };
    for (const QDUSDRecord& old : readRows_) {
        const bool kept = std::any_of(wanted.begin(), wanted.end(),
                                      [&](const QDUSDRecord& r) { return sameUser(r.User, old.User); });
        if (!kept && fetchRow(old.User) && t.deleteRecord() != Level::Benign) return false;
    }
    for (const QDUSDRecord& row : wanted) {
        if (fetchRow(row.User)) {
            if (sameRow(t.rec, row)) continue;
            t.rec = row;
            if (t.update() != Level::Benign) return false;
        } else {
            t.rec = row;
            if (t.insert() != Level::Benign) return false;
        }
    }
    written_ = std::move(wanted);
    return true;
}

// --- save ---------------------------------------------------------------------------

bool TaskEditor::ensureCategory(const std::string& name) {
    Table<CategoriesRecord> t(ds_, tables::Categories());
    if (t.open() != Level::Benign) return false;
    t.rec.Category = name;
    if (t.fetch("KeyCategory") == Level::Benign) return true;
    t.rec.Category = name;
    return t.insert() == Level::Benign;
}

std::string TaskEditor::rememberedWavFile() {
    SettingsStore settings(ds_);
    return text::trimmed(settings.peek("LastWAVFile", "", LegacyIni::None).value);
}

// The category for the next task of this type, and the alarm file for the next alarm.
bool TaskEditor::rememberChoices() {
    SettingsStore settings(ds_);
    if (!settings.write("QDCAT" + std::string(text::trimRight(task.TaskType)), task.Category)) return false;
    if (task.Alarm && !blank(task.AlarmFile) && !text::equalsNoCase(text::trim(task.AlarmFile), "BEEP"))
        return settings.write("LastWAVFile", task.AlarmFile);
    return true;
}

bool TaskEditor::setSourceSkip() {
    Table<ScheduleRecord> source(ds_, tables::Schedule());
    if (source.open() != Level::Benign) return false;
    source.rec.ID = sourceId_;
    if (source.fetch("KeyID") != Level::Benign) {
        env_.ui.message("Error",
                        "Could not set SKIP status  ID #" + std::to_string(sourceId_) + "  Error: " +
                            (source.lastError().text.empty() ? "the task is not there any more"
                                                             : source.lastError().text),
                        MessageIcon::Exclamation);
        return false;
    }
    source.rec.SkipNextTime = 1;
    if (source.tryUpdate() != Level::Benign) {
        env_.ui.message("Error", "Could not change SKIP status " + source.lastError().text,
                        MessageIcon::Exclamation);
        return false;
    }
    return true;
}

SaveResult TaskEditor::save() {
    if (!checkRequiredFields(task, env_.ui)) return SaveResult::Refused;
    if (table_->open() != Level::Benign) return SaveResult::Failed;
    // Every table the save writes is opened (and created when missing) before
    // the transaction starts: a table created inside a transaction that is
    // then rolled back would be gone while the data set takes it as there.
    for (const TableDef* def : {&tables::Scripting(), &tables::QDUSD(), &tables::Categories(),
                                &tables::Configuration(), &tables::Holidays()})
        if (!ds_.openTable(*def).ok()) return SaveResult::Failed;
    return mode_ == EditMode::Change ? saveChange() : saveNew();
}

SaveResult TaskEditor::saveNew() {
    Table<ScheduleRecord>& t = *table_;
    StoreTransaction transaction(t);
    if (!transaction.started()) return SaveResult::Failed;

    ScheduleRecord work = task;
    work.ID = 0;
    if (mode_ == EditMode::Reschedule) work.ScheduleType = "Once";
    t.rec = work;
    if (t.insert() != Level::Benign) return SaveResult::Failed;
    work.ID = t.rec.ID;

    if (mode_ == EditMode::Copy || mode_ == EditMode::Reschedule) {
        const char* problem = work.ID == sourceId_ ? "Schedule IDs should not match."
                              : work.ID == 0       ? "Unassigned new schedule ID."
                              : sourceId_ == 0     ? "Unassigned original schedule ID."
                                                   : nullptr;
        if (problem) {
            env_.ui.message(kInternalErrorTitle, problem, MessageIcon::Exclamation);
            return SaveResult::Failed;
        }
        // A copy without its steps would run an empty script: both or neither.
        if (!copyScriptSteps(ds_, sourceId_, work.ID)) {
            env_.ui.message(kInternalErrorTitle, "The script steps of the task could not be copied.",
                            MessageIcon::Exclamation);
            return SaveResult::Failed;
        }
    }

    fillOnSave(work, SaveStamp{env_.userId, env_.clock.now(), env_.dateFormat});
    if (!ensureCategory(work.Category)) return SaveResult::Failed;
    TableTaskStore tasks(ds_);
    TableHolidayStore holidays(ds_);
    ApplyExceptions(work, tasks, holidays, env_.ui);
    t.rec = work;
    if (t.update() != Level::Benign) return SaveResult::Failed;
    if (!writeUserRows(work.ID, work)) return SaveResult::Failed;
    if (mode_ == EditMode::Reschedule && skipSourceNextTime && !setSourceSkip()) return SaveResult::Failed;
    task = work;
    if (!rememberChoices()) return SaveResult::Failed;
    if (transaction.commit() != Level::Benign) return SaveResult::Failed;
    savedId_ = work.ID;
    edited_.clear();
    rows_ = written_;
    readRows_ = written_;
    return SaveResult::Saved;
}

SaveResult TaskEditor::saveChange() {
    Table<ScheduleRecord>& t = *table_;
    const std::int32_t id = read_.ID;
    {
        StoreTransaction transaction(t);
        if (!transaction.started()) return SaveResult::Failed;
        ScheduleRecord work = task;
        work.ID = id;
        fillOnSave(work, SaveStamp{env_.userId, env_.clock.now(), env_.dateFormat});
        if (!ensureCategory(work.Category)) return SaveResult::Failed;
        TableTaskStore tasks(ds_);
        TableHolidayStore holidays(ds_);
        ApplyExceptions(work, tasks, holidays, env_.ui);
        t.rec = work;
        // The task read when the window opened must still be the stored one:
        // a change made meanwhile (the dispatcher performing it, another
        // process) is kept, and the message says so.
        if (t.update(6) != Level::Benign) {
            if (t.lastError().code != kStoreAbort) return SaveResult::Failed;
            transaction.rollback();
            t.rec = {};
            t.rec.ID = id;
            if (t.fetch("KeyID") == Level::Benign) {
                task = t.rec;
                read_ = task;
                loadUserRows(id);
            }
            return SaveResult::ChangedByOther;
        }
        const ScheduleRecord before = read_;
        task = work;
        if (!writeUserRows(id, before)) return SaveResult::Failed;
        if (!rememberChoices()) return SaveResult::Failed;
        if (transaction.commit() != Level::Benign) return SaveResult::Failed;
    }
    read_ = task;
    rows_ = written_;
    readRows_ = written_;
    savedId_ = id;
    edited_.clear();
    return SaveResult::Saved;
}

} // namespace qd
