// qdctl run: the resident dispatcher without a desktop window.
#include "RunCommand.h"

#include "TerminalFrame.h"

#include "FieldValues.h"
#include "MailCommands.h"

#include "data/Pictures.h"
#include "data/Text.h"
#include "runtime/Runtime.h"
#include "script/ScriptEngine.h"

#include <atomic>
#include <csignal>
#include <iostream>
#include <thread>

namespace qdctl {
namespace {

std::atomic<bool> gStop{false};

extern "C" void onSignal(int) {
    gStop = true;
}

std::string moment(qd::Date d, qd::Time t) {
    return qd::formatDate(d, "@d10") + " " + qd::formatTime(t, "@t4");
}

} // namespace

int cmdRun(Context& c, const std::vector<std::string>& args, std::size_t pos) {
    long long ticks = -1;
    std::optional<qd::Moment> until;
    std::vector<std::string> commandLine;
    for (std::size_t i = pos; i < args.size(); ++i) {
        if (args[i] == "--ticks" && i + 1 < args.size()) {
            try {
                ticks = std::stoll(args[++i]);
            } catch (...) {
                return c.usage("--ticks needs a number");
            }
            if (ticks < 0) return c.usage("--ticks needs a number of 0 or more");
        } else if (args[i] == "--until" && i + 2 < args.size()) {
            const auto d = parseIsoDate(args[i + 1]);
            const auto t = parseClockTime(args[i + 2]);
            if (!d || !t) return c.usage("--until takes YYYY-MM-DD HH:MM[:SS[.cc]]");
            until = qd::Moment{static_cast<qd::Date>(*d), static_cast<qd::Time>(*t)};
            i += 2;
        } else if (args[i] == "/I" || args[i] == "/i" || args[i] == "/CONFIG" ||
                   args[i].rfind("User=", 0) == 0) {
            commandLine.push_back(args[i]);
        } else {
            return c.usage("unexpected '" + args[i] + "'");
        }
    }
    std::ostream& out = c.io.out;
    TerminalFrame frame(out, c.process, [] { gStop = true; });
    const std::unique_ptr<qd::Desktop> desktop = c.openDesktop();
    qd::Runtime runtime(*c.startup, frame, *desktop, c.process, qd::RuntimeOptions{commandLine, true});
    runtime.setMailPassword(mailPasswordSource(c));
    runtime.log().setObserver([&out, &c](std::string_view detail, std::string_view label) {
        const qd::Moment m = c.now().now();
        out << moment(m.date, m.time) << "  " << label << ": " << detail << "\n";
    });
    runtime.dispatcher().setObserver([&out](const qd::PerformedTask& p) {
        out << "task #" << p.id << " " << p.description << " ("
            << moment(p.occurrence.date, p.occurrence.time)
            << "): " << (p.skipped ? "skipped, " + p.reason : std::string("performed"));
        if (p.completed)
            out << "; completed";
        else
            out << "; next " << moment(p.next.date, p.next.time);
        out << "\n";
    });
    runtime.scripts().setObserver([&out](const qd::QueueEntry& e, const std::string& note) {
        out << "step: " << qd::text::trimRight(e.step.Action) << "  " << qd::StepDescription(e.step)
            << (note.empty() ? "" : "  [" + note + "]") << "\n";
    });
    if (!runtime.open()) return kFailed; // the reason was shown
    out << "Running on " << c.data().folder().string() << (runtime.dispatcher().active() ? "" : " (Inactive)")
        << (runtime.desktopConnected() ? "" : "; no X display: keystrokes and window steps fail") << "\n";

    gStop = false;
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    const bool simulated = c.clock != nullptr;
    // Real time: one tick per second of the steady clock, however long a tick took.
    // The first tick at the next whole second of the wall clock, so the
    // dispatcher's jobs fall on the seconds they are meant for.
    auto nextTick = std::chrono::steady_clock::now();
    if (!simulated) {
        const auto wall = std::chrono::system_clock::now().time_since_epoch();
        nextTick += std::chrono::seconds(1) - (wall - std::chrono::floor<std::chrono::seconds>(wall));
        std::this_thread::sleep_until(nextTick);
    }
    for (long long n = 0; !gStop; ++n) {
        if (ticks >= 0 && n >= ticks) break;
        if (until && c.now().now() >= *until) break;
        runtime.tick();
        runtime.launcher().reap();
        if (simulated) {
            c.clock->advanceSeconds(1);
        } else {
            nextTick += std::chrono::seconds(1);
            std::this_thread::sleep_until(nextTick);
        }
    }
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    runtime.close();
    return kOk;
}

} // namespace qdctl
