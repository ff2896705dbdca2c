// Recurrence workloads, run the same way on every recurrence library compared:
//
//   recurrence_bench expand RULES.tsv START END RUNS
//   recurrence_bench jump JUMP.tsv RULES.tsv TARGET REPS RUNS
//   recurrence_bench many TASKS.tsv REF RUNS
//
// Output is tab-separated on stdout:
//   R workload impl case metric value unit     (one per run)
//   C workload impl case count checksum info   (one per case)
//   N workload impl case text                  (notes)
// The checksum adds up the minutes since 1970-01-01 00:00 of the answers.
#include "RecurrenceReference.h"

#include "data/Calendar.h"
#include "data/DayMath.h"
#include "data/Records.h"
#include "data/UserInterface.h"
#include "schedule/Recurrence.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

using namespace qd;

namespace {

class SilentUserInterface final : public UserInterface {
public:
    void message(const std::string&, const std::string&, MessageIcon) override {}
    bool ask(const std::string&, const std::string&) override { return false; }
    std::optional<std::string> chooseFolder(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    void setClipboardText(const std::string&) override {}
};

[[noreturn]] void fail(const std::string& why) {
    std::cerr << "recurrence_bench: " << why << "\n";
    std::exit(2);
}

std::vector<std::string> split(const std::string& s, char sep) {
    std::vector<std::string> out;
    std::string cur;
    std::istringstream in(s);
    while (std::getline(in, cur, sep))
        out.push_back(cur);
    return out;
}

// "YYYY-MM-DD" or "YYYY-MM-DD HH:MM".
Moment parseMoment(const std::string& text) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0;
    const int n = std::sscanf(text.c_str(), "%d-%d-%d %d:%d", &y, &mo, &d, &h, &mi);
    if (n != 3 && n != 5) fail("bad date or moment: " + text);
    return Moment{dateFromMDY(mo, d, y), timeFromHMS(h, mi, 0)};
}

long long minutesSince1970(const ScheduleRecord& r) {
    return (static_cast<long long>(r.Date) - daymath::kUnixEpochDay) * 1440 + (r.Time - 1) / kTimeMinute;
}

std::string compact(Date date, Time time) {
    const CivilDate c = civilFromDate(date);
    const ClockTime k = clockFromTime(time);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d%02d%02dT%02d%02d%02d", c.year, c.month, c.day, k.hour, k.minute,
                  k.second);
    return buf;
}

void assignValue(std::string& member, const std::string& value) {
    member = value;
}
template <class Int> void assignValue(Int& member, const std::string& value) {
    member = static_cast<Int>(std::stol(value));
}

// Sets one field of a task from "SCH:Name=value".
void setField(ScheduleRecord& r, const std::string& assignment) {
    const auto eq = assignment.find('=');
    if (eq == std::string::npos) fail("bad field: " + assignment);
    std::string name = assignment.substr(0, eq);
    const std::string value = assignment.substr(eq + 1);
    if (name.rfind("SCH:", 0) == 0) name = name.substr(4);
    bool found = false;
#define QD_BENCH_SET(member, type, width)                                                                    \
    if (!found && name == #member) {                                                                         \
        found = true;                                                                                        \
        assignValue(r.member, value);                                                                        \
    }
#define QD_BENCH_GROUP(name, count)
    QD_LAYOUT_SCHEDULE(QD_BENCH_SET, QD_BENCH_GROUP)
#undef QD_BENCH_SET
#undef QD_BENCH_GROUP
    if (!found) fail("unknown field: " + name);
}

ScheduleRecord taskFrom(const std::string& fields, const Moment& pending) {
    ScheduleRecord r;
    for (const std::string& f : split(fields, ';'))
        if (!f.empty()) setField(r, f);
    r.Date = pending.date;
    r.Time = pending.time;
    return r;
}

struct RuleLine {
    std::string name;
    Moment first;
    std::string fields;
};

std::vector<std::vector<std::string>> readTsv(const std::string& path) {
    std::ifstream in(path);
    if (!in) fail("cannot read " + path);
    std::vector<std::vector<std::string>> rows;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        rows.push_back(split(line, '\t'));
    }
    return rows;
}

std::vector<RuleLine> readRules(const std::string& path) {
    std::vector<RuleLine> rules;
    for (const auto& cols : readTsv(path)) {
        if (cols.size() < 3) fail("short line in " + path);
        rules.push_back({cols[0], parseMoment(cols[1]), cols[2]});
    }
    return rules;
}

using Clock = std::chrono::steady_clock;
double nsSince(Clock::time_point start) {
    return static_cast<double>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count());
}

void printR(const char* workload, const std::string& name, const char* metric, double value,
            const char* unit) {
    std::printf("R\t%s\tours\t%s\t%s\t%.3f\t%s\n", workload, name.c_str(), metric, value, unit);
}

int expand(const std::string& rulesPath, const std::string& startText, const std::string& endText, int runs) {
    const Date start = parseMoment(startText).date;
    const Date end = parseMoment(endText).date;
    SilentUserInterface ui;
    for (const RuleLine& rule : readRules(rulesPath)) {
        long long count = 0, checksum = 0;
        for (int run = 0; run < runs; ++run) {
            ScheduleRecord r = taskFrom(rule.fields, rule.first);
            count = 0;
            checksum = 0;
            const auto t0 = Clock::now();
            while (r.Date < end && r.Completed == 0) {
                if (r.Date >= start) {
                    ++count;
                    checksum += minutesSince1970(r);
                }
                NextOccurrence(r, r.Date, r.Time + 1, ui);
            }
            const double ns = nsSince(t0);
            printR("recur_expand", rule.name, "ns_per_occ", count ? ns / static_cast<double>(count) : 0.0,
                   "ns");
            printR("recur_expand", rule.name, "ms_total", ns / 1e6, "ms");
        }
        std::printf("C\trecur_expand\tours\t%s\t%lld\t%lld\t%s..%s\n", rule.name.c_str(), count, checksum,
                    startText.c_str(), endText.c_str());
        if (rule.name == "yearly_feb29")
            std::printf("N\trecur_expand\tours\t%s\t29 February carries to 1 March in common years\n",
                        rule.name.c_str());
    }
    return 0;
}

int jump(const std::string& jumpPath, const std::string& rulesPath, const std::string& targetText, long reps,
         int runs) {
    const Moment target = parseMoment(targetText);
    std::map<std::string, RuleLine> rules;
    for (const RuleLine& r : readRules(rulesPath))
        rules[r.name] = r;
    SilentUserInterface ui;
    for (const auto& cols : readTsv(jumpPath)) {
        if (cols.size() < 3) fail("short line in " + jumpPath);
        const auto it = rules.find(cols[2]);
        if (it == rules.end()) fail("unknown rule " + cols[2]);
        const ScheduleRecord pending = taskFrom(it->second.fields, parseMoment(cols[1]));
        ScheduleRecord r = pending;
        for (int run = 0; run < runs; ++run) {
            const auto t0 = Clock::now();
            for (long i = 0; i < reps; ++i) {
                // A fresh copy: the call changes only these four fields.
                r.Date = pending.Date;
                r.Time = pending.Time;
                r.Every = pending.Every;
                r.Completed = pending.Completed;
                NextOccurrence(r, target.date, target.time, ui);
            }
            printR("recur_jump", cols[0], "ns_per_call", nsSince(t0) / static_cast<double>(reps), "ns");
        }
        // The step-by-step definition, once, outside the timing.
        ScheduleRecord slow = pending;
        qdtest::NextOccurrenceReference(slow, target.date, target.time, ui);
        std::printf("C\trecur_jump\tours\t%s\t1\t%lld\t%s %s\n", cols[0].c_str(), minutesSince1970(r),
                    compact(r.Date, r.Time).c_str(),
                    slow == r ? "matches-step-by-step" : "DIFFERS-FROM-STEP-BY-STEP");
        if (!(slow == r)) return 1;
    }
    return 0;
}

int many(const std::string& tasksPath, const std::string& refText, int runs) {
    const Moment ref = parseMoment(refText);
    std::vector<ScheduleRecord> tasks;
    std::vector<std::string> ids;
    for (const auto& cols : readTsv(tasksPath)) {
        if (cols.size() < 3) fail("short line in " + tasksPath);
        tasks.push_back(taskFrom(cols[2], parseMoment(cols[1])));
        ids.push_back(cols[0].substr(0, cols[0].find(':')));
    }
    const std::string name = "next@" + compact(ref.date, ref.time);
    SilentUserInterface ui;
    std::vector<ScheduleRecord> work;
    for (int run = 0; run < runs; ++run) {
        work = tasks;
        const auto t0 = Clock::now();
        for (ScheduleRecord& r : work)
            NextOccurrence(r, ref.date, ref.time, ui);
        const double ns = nsSince(t0);
        printR("many_tasks", name, "ms_total", ns / 1e6, "ms");
        printR("many_tasks", name, "ns_per_task",
               tasks.empty() ? 0.0 : ns / static_cast<double>(tasks.size()), "ns");
    }
    long long checksum = 0;
    for (const ScheduleRecord& r : work)
        checksum += minutesSince1970(r);
    std::printf("C\tmany_tasks\tours\t%s\t%zu\t%lld\t%s\n", name.c_str(), work.size(), checksum,
                tasksPath.c_str());
    if (const char* dump = std::getenv("ANCHORS_DUMP"); dump && *dump) {
        std::ofstream out(dump);
        if (!out) fail(std::string("cannot write ") + dump);
        for (std::size_t i = 0; i < work.size(); ++i)
            out << ids[i] << '\t' << compact(work[i].Date, work[i].Time) << '\n';
    }
    return 0;
}

int usage() {
    std::cerr << "usage:\n"
                 "  recurrence_bench expand RULES.tsv START END RUNS\n"
                 "  recurrence_bench jump JUMP.tsv RULES.tsv TARGET REPS RUNS\n"
                 "  recurrence_bench many TASKS.tsv REF RUNS\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> a(argv + 1, argv + argc);
    if (a.size() == 5 && a[0] == "expand") return expand(a[1], a[2], a[3], std::stoi(a[4]));
    if (a.size() == 6 && a[0] == "jump") return jump(a[1], a[2], a[3], std::stol(a[4]), std::stoi(a[5]));
    if (a.size() == 4 && a[0] == "many") return many(a[1], a[2], std::stoi(a[3]));
    return usage();
}
