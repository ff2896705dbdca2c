#include "ScheduleCommands.h"

#include "FieldValues.h"

#include "data/Settings.h"

#include "data/Calendar.h"
#include "data/EventLog.h"
#include "data/FileManager.h"
#include "data/TableDefs.h"
#include "schedule/BatchOperations.h"
#include "schedule/Exceptions.h"
#include "schedule/Holidays.h"
#include "schedule/Recurrence.h"
#include "schedule/ScheduleDescription.h"
#include "schedule/ScheduleTables.h"

#include <charconv>
#include <csignal>
#include <cstdio>
#include <optional>
#include <signal.h>

namespace qdctl {
namespace {

bool isOption(const std::string& a) {
    return a.rfind("--", 0) == 0;
}

std::optional<long long> parseNumber(const std::string& text) {
    long long v = 0;
    const char* b = text.data();
    const char* e = text.data() + text.size();
    const auto r = std::from_chars(b, e, v);
    if (text.empty() || r.ec != std::errc() || r.ptr != e) return std::nullopt;
    return v;
}

std::string isoDate(qd::Date d) {
    const qd::CivilDate c = qd::civilFromDate(d);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", c.year, c.month, c.day);
    return buf;
}

// A date or time argument, read as the Schedule fields SCH:Date and SCH:Time are.
std::optional<long long> parseFieldArg(Context& c, const char* field, const std::string& text) {
    const qd::TableDef& sch = qd::tables::Schedule();
    std::string error;
    const auto v = parseValue(sch.field(sch.findField(field)), text, error);
    if (!v) {
        c.failed(error);
        return std::nullopt;
    }
    return std::get<long long>(*v);
}

// A task for the calculation commands: a stored task by its ID, or one described on
// the command line with --task FIELD=VALUE...
int readTask(Context& c, const std::vector<std::string>& args, std::size_t& pos, qd::ScheduleRecord& task) {
    if (pos >= args.size()) return c.usage("expected a task: ID or --task FIELD=VALUE...");
    if (args[pos] != "--task") {
        const auto id = parseNumber(args[pos]);
        if (!id || *id <= 0 || *id > INT32_MAX) return c.usage("expected a task ID, got '" + args[pos] + "'");
        ++pos;
        qd::TableTaskStore store(c.data());
        if (!store.fetchTask(static_cast<std::int32_t>(*id), task))
            return c.failed("no Schedule record with SCH:ID=" + std::to_string(*id));
        return kOk;
    }
    ++pos;
    const qd::TableDef& def = qd::tables::Schedule();
    task = {};
    std::vector<qd::FieldPtr> fields;
    task.fieldPtrs(fields);
    // The fields end at the next option or at the first word without "=" (a DATE).
    for (; pos < args.size() && !isOption(args[pos]) && args[pos].find('=') != std::string::npos; ++pos) {
        const std::string& a = args[pos];
        const auto eq = a.find('=');
        if (eq == 0) return c.usage("expected FIELD=VALUE, got '" + a + "'");
        const int f = def.findField(a.substr(0, eq));
        if (f < 0) return c.failed("unknown field '" + a.substr(0, eq) + "' of table Schedule");
        std::string error;
        auto v = parseValue(def.field(f), a.substr(eq + 1), error);
        if (!v) return c.failed(def.qualifiedName(f) + ": " + error);
        if (std::holds_alternative<std::string>(*v))
            v = qd::fitText(std::get<std::string>(*v), def.field(f).type, def.field(f).width);
        qd::writeField(fields[static_cast<std::size_t>(f)], *v);
    }
    return kOk;
}

int occurrences(Context& c, const std::vector<std::string>& args, std::size_t pos, bool forward) {
    qd::ScheduleRecord task;
    if (int rc = readTask(c, args, pos, task); rc != kOk) return rc;
    std::optional<long long> date;
    std::optional<long long> time;
    long long count = 1;
    for (; pos < args.size(); ++pos) {
        if (args[pos] == "--from" && pos + 2 < args.size()) {
            date = parseFieldArg(c, "Date", args[++pos]);
            time = parseFieldArg(c, "Time", args[++pos]);
            if (!date || !time) return kFailed;
        } else if (args[pos] == "--count" && pos + 1 < args.size()) {
            const auto n = parseNumber(args[++pos]);
            if (!n || *n < 1 || *n > 1000000) return c.usage("--count takes a number from 1 to 1000000");
            count = *n;
        } else {
            return c.usage("unexpected '" + args[pos] + "'");
        }
    }
    if (!date) return c.usage(std::string(forward ? "next" : "prev") + " needs --from DATE TIME");

    qd::Date refDate = static_cast<qd::Date>(*date);
    qd::Time refTime = static_cast<qd::Time>(*time);
    for (long long i = 0; i < count; ++i) {
        if (forward)
            qd::NextOccurrence(task, refDate, refTime, c.ui);
        else
            qd::PreviousOccurrence(task, refDate, refTime, c.ui, c.now());
        if (c.json)
            c.io.out << "{\"SCH:Date\": " << task.Date << ", \"SCH:Time\": " << task.Time
                     << ", \"SCH:Completed\": " << int{task.Completed} << ", \"SCH:Every\": " << task.Every
                     << "}\n";
        else
            c.io.out << task.Date << " " << task.Time << " " << int{task.Completed} << " " << task.Every
                     << "\n";
        // The next call starts just after (before) the occurrence found.
        refDate = task.Date;
        refTime = forward ? task.Time + 1 : task.Time - 1;
    }
    return kOk;
}

// Progress of a batch run on standard error: the work's name, then every tenth percent.
// SIGINT and SIGTERM during a long run ask it to stop, so that it can clean up
// (the work file is removed) before the program ends; a second signal ends the
// program at once.
volatile std::sig_atomic_t interruptRequested = 0;

extern "C" void requestInterrupt(int) {
    interruptRequested = 1;
}

class InterruptGuard {
public:
    InterruptGuard() {
        interruptRequested = 0;
        struct sigaction sa {};
        sa.sa_handler = requestInterrupt;
        sa.sa_flags = SA_RESETHAND;
        sigemptyset(&sa.sa_mask);
        ::sigaction(SIGINT, &sa, &oldInt_);
        ::sigaction(SIGTERM, &sa, &oldTerm_);
    }
    ~InterruptGuard() {
        ::sigaction(SIGINT, &oldInt_, nullptr);
        ::sigaction(SIGTERM, &oldTerm_, nullptr);
    }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;
    static bool requested() { return interruptRequested != 0; }

private:
    struct sigaction oldInt_ {};
    struct sigaction oldTerm_ {};
};

class TerminalProgress final : public qd::Progress {
public:
    explicit TerminalProgress(std::ostream& err) : err_(err) {}
    void start(const std::string& title) override {
        err_ << title << "\n";
        shown_ = -10;
    }
    bool update(int percent, const std::string& line) override {
        if (percent >= shown_ + 10) {
            err_ << "  " << line << "\n";
            shown_ = percent - percent % 10;
        }
        return !InterruptGuard::requested();
    }
    void finish() override {}

private:
    std::ostream& err_;
    int shown_ = -10;
};

template <class R> std::string lineOf(Context& c, const qd::TableDef& def, const R& rec) {
    qd::Table<R> view(c.data(), def);
    view.rec = rec;
    return c.json ? recordJson(view) : recordLine(view);
}

int holidaysRoll(Context& c) {
    qd::TableHolidayStore holidays(c.data());
    qd::TableSettingStore settings(c.data());
    const qd::HolidayRollResult r = qd::RollHolidaysForward(holidays, settings, c.now().today());
    if (c.json)
        c.io.out << "{\"defaultsAdded\": " << r.defaultsAdded << ", \"moved\": " << r.moved
                 << ", \"deleted\": " << r.deleted << ", \"failed\": " << r.failed << "}\n";
    else
        c.io.out << r.defaultsAdded << " default holidays added, " << r.moved << " moved, " << r.deleted
                 << " deleted, " << r.failed << " failed\n";
    return r.failed == 0 ? kOk : kFailed;
}

int holidaysList(Context& c) {
    qd::TableHolidayStore holidays(c.data());
    for (const qd::HolidaysRecord& row : holidays.allHolidays())
        c.io.out << lineOf(c, qd::tables::Holidays(), row) << "\n";
    return kOk;
}

} // namespace

int cmdNext(Context& c, const std::vector<std::string>& args, std::size_t pos) {
    return occurrences(c, args, pos, true);
}

int cmdPrev(Context& c, const std::vector<std::string>& args, std::size_t pos) {
    return occurrences(c, args, pos, false);
}

int cmdMatches(Context& c, const std::vector<std::string>& args, std::size_t pos) {
    qd::ScheduleRecord task;
    if (int rc = readTask(c, args, pos, task); rc != kOk) return rc;
    if (pos + 1 != args.size()) return c.usage("matches needs one DATE after the task");
    const auto date = parseFieldArg(c, "Date", args[pos]);
    if (!date) return kFailed;
    const bool matches = qd::DateMatchesSchedule(task, static_cast<qd::Date>(*date));
    c.io.out << (c.json ? std::string("{\"matches\": ") + (matches ? "true" : "false") + "}"
                        : std::string(matches ? "yes" : "no"))
             << "\n";
    return kOk;
}

int cmdDescribe(Context& c, const std::vector<std::string>& args, std::size_t pos) {
    qd::ScheduleRecord task;
    if (int rc = readTask(c, args, pos, task); rc != kOk) return rc;
    if (pos != args.size()) return c.usage("unexpected '" + args[pos] + "'");
    const std::string text = qd::ScheduleDescription(task);
    c.io.out << (c.json ? "{\"description\": " + jsonEscape(text) + "}" : text) << "\n";
    return kOk;
}

int cmdEaster(Context& c, const std::vector<std::string>& args, std::size_t pos) {
    if (pos + 1 != args.size()) return c.usage("easter needs a YEAR");
    const auto year = parseNumber(args[pos]);
    if (!year || *year < 1801 || *year > 9999) return c.usage("easter takes a year from 1801 to 9999");
    const qd::Date d = qd::EasterDate(static_cast<int>(*year));
    if (c.json)
        c.io.out << "{\"year\": " << *year << ", \"date\": " << d << ", \"text\": " << jsonEscape(isoDate(d))
                 << "}\n";
    else
        c.io.out << isoDate(d) << "\n";
    return kOk;
}

int cmdExceptions(Context& c, const std::vector<std::string>& args, std::size_t pos) {
    if (pos + 2 != args.size() || args[pos] != "apply") return c.usage("expected: exceptions apply ID");
    const auto id = parseNumber(args[pos + 1]);
    if (!id || *id <= 0 || *id > INT32_MAX) return c.usage("expected a task ID, got '" + args[pos + 1] + "'");
    qd::Table<qd::ScheduleRecord> sch(c.data(), qd::tables::Schedule());
    if (sch.open() != qd::Level::Benign) return kFailed;
    sch.rec = {};
    sch.rec.ID = static_cast<std::int32_t>(*id);
    if (sch.fetch("SCH:KeyID") != qd::Level::Benign)
        return c.failed("no Schedule record with SCH:ID=" + std::to_string(*id));

    qd::TableTaskStore tasks(c.data());
    qd::TableHolidayStore holidays(c.data());
    qd::ScheduleRecord task = sch.rec;
    const qd::ExceptionOutcome outcome = qd::ApplyExceptions(task, tasks, holidays, c.ui);
    sch.rec = task;
    if (sch.update() != qd::Level::Benign) return kFailed;

    std::optional<std::string> copy;
    qd::ScheduleRecord copyRec;
    if (outcome.copyId != 0 && tasks.fetchTask(outcome.copyId, copyRec))
        copy = lineOf(c, qd::tables::Schedule(), copyRec);
    if (c.json) {
        c.io.out << "{\"task\": " << recordJson(sch) << ", \"copy\": " << (copy ? *copy : "null")
                 << ", \"removedCopy\": " << outcome.removedCopyId
                 << ", \"copyFailed\": " << (outcome.copyFailed ? "true" : "false") << "}\n";
    } else {
        c.io.out << "task: " << recordLine(sch) << "\n";
        if (copy) c.io.out << "copy: " << *copy << "\n";
        if (outcome.removedCopyId != 0) c.io.out << "removed copy: SCH:ID=" << outcome.removedCopyId << "\n";
        if (outcome.copyFailed) c.io.out << "the one-time copy could not be written\n";
    }
    return kOk;
}

int cmdHolidays(Context& c, const std::vector<std::string>& args, std::size_t pos) {
    if (pos + 1 == args.size() && args[pos] == "roll") return holidaysRoll(c);
    if (pos + 1 == args.size() && args[pos] == "list") return holidaysList(c);
    return c.usage("expected: holidays roll | holidays list");
}

int cmdWorkfile(Context& c, const std::vector<std::string>& args, std::size_t pos) {
    std::optional<long long> from;
    std::optional<long long> to;
    for (; pos < args.size(); ++pos) {
        if (args[pos] == "--from" && pos + 1 < args.size()) {
            if (!(from = parseFieldArg(c, "Date", args[++pos]))) return kFailed;
        } else if (args[pos] == "--to" && pos + 1 < args.size()) {
            if (!(to = parseFieldArg(c, "Date", args[++pos]))) return kFailed;
        } else {
            return c.usage("unexpected '" + args[pos] + "'");
        }
    }
    if (!from || !to) return c.usage("workfile needs --from DATE --to DATE");

    const InterruptGuard interrupt;
    TerminalProgress progress(c.io.err);
    qd::WorkfileRun run(c.data());
    const bool created =
        run.create(static_cast<qd::Date>(*from), static_cast<qd::Date>(*to), c.ui, c.now(), &progress);
    if (created) {
        qd::Table<qd::ScheduleWorkFileRecord> rows(run.dataSet(), qd::tables::ScheduleWorkFile());
        if (rows.open() == qd::Level::Benign) {
            rows.setOrder(rows.def().findKey("SCW:KeyID"));
            while (!InterruptGuard::requested() && rows.next() == qd::Level::Benign)
                c.io.out << (c.json ? recordJson(rows) : recordLine(rows)) << "\n";
        }
    }
    if (!run.remove())
        c.io.err << "qdctl: the work file " << run.file().string() << " could not be removed\n";
    if (InterruptGuard::requested()) return c.failed("interrupted; the work file was removed");
    return created ? kOk : c.failed("the work file could not be filled");
}

int cmdReschedule(Context& c, const std::vector<std::string>& args, std::size_t pos) {
    if (pos + 3 != args.size() || args[pos] != "--at") return c.usage("expected: reschedule --at DATE TIME");
    const auto date = parseFieldArg(c, "Date", args[pos + 1]);
    if (!date) return kFailed;
    const auto time = parseFieldArg(c, "Time", args[pos + 2]);
    if (!time) return kFailed;
    const std::string error =
        qd::checkRescheduleMoment(static_cast<qd::Date>(*date), static_cast<qd::Time>(*time), c.now().now());
    if (!error.empty()) {
        c.ui.message(qd::kRescheduleErrorTitle, error, qd::MessageIcon::Hand);
        return kFailed;
    }
    TerminalProgress progress(c.io.err);
    qd::RescheduleStats stats;
    const bool done = qd::RescheduleAllTasks(c.data(), static_cast<qd::Date>(*date),
                                             static_cast<qd::Time>(*time), c.ui, c.now(), &progress, &stats);
    if (c.json)
        c.io.out << "{\"moved\": " << stats.moved << ", \"untouched\": " << stats.untouched << "}\n";
    else
        c.io.out << stats.moved << " tasks rescheduled, " << stats.untouched << " left as they were\n";
    return done ? kOk : kFailed;
}

int cmdHistory(Context& c, const std::vector<std::string>& args, std::size_t pos) {
    if (pos >= args.size() || args[pos] != "remove") return c.usage("expected: history remove [options]");
    // The data set's settings, unless the options say otherwise.
    c.startup->loadSettings({});
    const qd::ProgramSettings& settings = c.startup->settings();
    qd::HistoryOptions options;
    options.historyExpires = settings.HistoryExpires;
    options.removeUncompleted = settings.RemoveUncompleted;
    options.saveScripts = settings.SaveScripts;
    for (++pos; pos < args.size(); ++pos) {
        if (args[pos] == "--expires" && pos + 1 < args.size()) {
            const auto n = parseNumber(args[++pos]);
            if (!n || *n < -1 || *n > 1000000) return c.usage("--expires takes a number of days");
            options.historyExpires = static_cast<int>(*n);
        } else if (args[pos] == "--remove-uncompleted") {
            options.removeUncompleted = true;
        } else if (args[pos] == "--save-scripts") {
            options.saveScripts = true;
        } else {
            return c.usage("unexpected '" + args[pos] + "'");
        }
    }
    // The check is logged when the data set's LogEvents setting is on.
    qd::HistoryRemover remover(c.data(), c.startup->log(), c.ui);
    const bool ran = remover.RemoveHistory(options, c.now().today());
    if (c.json)
        c.io.out << "{\"ran\": " << (ran ? "true" : "false") << ", \"removed\": " << remover.removedCount()
                 << "}\n";
    else if (ran)
        c.io.out << "History checked: " << remover.removedCount() << " tasks removed\n";
    else
        c.io.out << "History not checked: the number of days to keep history is 0\n";
    return kOk;
}

} // namespace qdctl
