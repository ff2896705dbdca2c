// A data set, a manual clock, a recording frame, a real event log and real
// process starts for the tests of performing tasks (and, through
// DispatcherFixture.h, of the dispatcher).
#pragma once

#include "data/Calendar.h"
#include "data/Clock.h"
#include "data/DataSet.h"
#include "data/EventLog.h"
#include "data/FileManager.h"
#include "perform/TaskExecution.h"
#include "platform/posix/PosixProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>

namespace qdtest {

struct RecordingFrame : qd::Frame {
    void bringToFront() override { ++broughtToFront; }
    bool isMinimized() const override { return minimized; }
    void playSound(const std::string& file) override { sounds.push_back(file); }
    void beep() override { ++beeps; }
    void showMessageWindow(const qd::MessageRequest& r) override { windows.push_back(r); }
    int openMessageWindows() const override { return openWindows; }
    void requestShutdown() override { ++shutdowns; }
    void refreshTaskLists() override { ++refreshes; }

    int broughtToFront = 0;
    bool minimized = false;
    std::vector<std::string> sounds;
    int beeps = 0;
    std::vector<qd::MessageRequest> windows;
    int openWindows = 0;
    int shutdowns = 0;
    int refreshes = 0;
};

// Counts scripts queued; runs nothing.
struct CountingScripts : qd::ScriptHost {
    int runningScripts() const override { return running; }
    bool startedByHand() const override { return false; }
    void executeNextStep() override { ++steps; }
    void queueTaskScript(int taskId, pid_t) override { queued.push_back(taskId); }
    void stopAll() override { running = 0; }
    int running = 0;
    int steps = 0;
    std::vector<int> queued;
};

class PerformTest : public ::testing::Test {
protected:
    PerformTest()
        : errors(&ui), ds(dir.path(), errors),
          clock({qd::dateFromMDY(3, 10, 2026), qd::timeFromHMS(9, 0, 0)}),
          log(qd::EventLogConfig{dir.path(), "d3", true, false}, &clock),
          exec(ds, settings, frame, ui, log, launcher, clock) {
        settings.UseQDMsg = false;
        exec.setScriptHost(&scripts);
        launcher.setProgramFolder(dir / "bin");
        std::filesystem::create_directories(dir / "bin");
    }

    // Adds a task; returns its ID.
    int addTask(qd::ScheduleRecord r) {
        qd::Table<qd::ScheduleRecord> t(ds, qd::tables::Schedule());
        EXPECT_EQ(t.open(), qd::Level::Benign);
        t.rec = r;
        EXPECT_EQ(t.insert(), qd::Level::Benign);
        return t.rec.ID;
    }
    static qd::ScheduleRecord daily(const std::string& name, qd::Date d, qd::Time t) {
        qd::ScheduleRecord r{};
        r.Description = name;
        r.TaskType = "None";
        r.ScheduleType = "Custom";
        r.Every = 1;
        r.EveryType = "day(s)";
        r.Date = d;
        r.Time = t;
        return r;
    }
    std::vector<qd::ScheduleRecord> allTasks() {
        std::vector<qd::ScheduleRecord> out;
        qd::Table<qd::ScheduleRecord> t(ds, qd::tables::Schedule());
        t.open();
        t.setOrder(0);
        while (t.next() == qd::Level::Benign)
            out.push_back(t.rec);
        return out;
    }
    std::vector<std::string> logLines() { return qd::readLogTail(dir.path()).lines; }
    bool logged(const std::string& text) {
        const auto lines = logLines();
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& l) { return l.find(text) != std::string::npos; });
    }
    void writeScript(const std::string& name, const std::string& body) {
        const auto p = dir / "bin" / name;
        std::ofstream(p) << "#!/bin/sh\n" << body << "\n";
        std::filesystem::permissions(p, std::filesystem::perms::owner_all);
    }

    TempDir dir;
    qd::ScriptedUserInterface ui;
    qd::ErrorClass errors;
    qd::DataSet ds;
    qd::ManualClock clock;
    qd::ProgramSettings settings;
    RecordingFrame frame;
    CountingScripts scripts;
    qd::EventLog log;
    qd::PosixProcess launcher;
    qd::TaskExecution exec;
};

} // namespace qdtest
