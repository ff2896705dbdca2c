#include "platform/WindowPlacer.h"

#include "platform/null/NullDesktop.h"

#include <fstream>
#include <string>
#include <unordered_map>

namespace qd {

WindowPlacement placementForShowMode(int showMode) {
    switch (showMode) {
    case 0:
        return {WindowState::Withdrawn, false, true};
    case 2:
        return {WindowState::Minimized, false, false};
    case 3:
        return {WindowState::Maximized, true, false};
    case 7:
        return {WindowState::Minimized, false, true};
    case 8:
        return {WindowState::Normal, false, true};
    default:
        return {WindowState::Normal, true, false};
    }
}

namespace {

// Parent of a process from /proc/<pid>/stat, 0 when it cannot be read.
std::int32_t parentOf(std::int32_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(in, line)) return 0;
    // "pid (command) state ppid ...": the command may hold blanks and parentheses.
    const auto close = line.rfind(')');
    if (close == std::string::npos || close + 4 > line.size()) return 0;
    const auto start = line.find(' ', close + 2);
    if (start == std::string::npos) return 0;
    try {
        return static_cast<std::int32_t>(std::stol(line.substr(start + 1)));
    } catch (...) {
        return 0;
    }
}

} // namespace

bool isProcessOrDescendant(std::int32_t pid, std::int32_t ancestor) {
    if (pid <= 0 || ancestor <= 0) return false;
    for (int depth = 0; depth < 64 && pid > 1; ++depth) {
        if (pid == ancestor) return true;
        pid = parentOf(pid);
    }
    return pid == ancestor;
}

void PendingPlacements::add(std::int32_t pid, WindowPlacement placement, TimePoint deadline) {
    Request r;
    r.pid = pid;
    r.placement = placement;
    r.deadline = deadline;
    pending_.push_back(r);
}

std::vector<PlacementResult> PendingPlacements::poll(WindowSystem& windows, TimePoint now) {
    std::vector<PlacementResult> done;
    if (pending_.empty()) return done;
    std::vector<TopLevelWindow> list;
    const WindowStatus listed = windows.topLevelWindows(list);
    // Window owners seen in this round, per started process.
    std::unordered_map<std::int32_t, bool> related;
    for (auto it = pending_.begin(); it != pending_.end();) {
        Request& r = *it;
        if (!r.sampled) {
            r.previousFocus = windows.foregroundWindow();
            r.sampled = true;
        }
        WindowHandle found = 0;
        if (listed == WindowStatus::Ok) {
            related.clear();
            for (const TopLevelWindow& w : list) {
                if (w.pid <= 0) continue;
                auto known = related.find(w.pid);
                if (known == related.end())
                    known = related.emplace(w.pid, w.pid == r.pid || (relation_ && relation_(w.pid, r.pid)))
                                .first;
                if (!known->second) continue;
                // Windows the program has not shown yet (or never will, like
                // toolkit helper windows) are not its window.
                if (windows.windowState(w.handle) == WindowState::Withdrawn) continue;
                found = w.handle;
                break;
            }
        }
        if (found != 0) {
            done.push_back(apply(windows, r, found));
        } else if (listed == WindowStatus::NoDisplay) {
            done.push_back({r.pid, 0, WindowState::Withdrawn, WindowStatus::NoDisplay});
        } else if (now >= r.deadline) {
            done.push_back({r.pid, 0, WindowState::Withdrawn, WindowStatus::NotFound});
        } else {
            ++it;
            continue;
        }
        it = pending_.erase(it);
    }
    return done;
}

PlacementResult PendingPlacements::apply(WindowSystem& windows, const Request& request, WindowHandle window) {
    const WindowPlacement& p = request.placement;
    WindowStatus status = WindowStatus::Ok;
    if (p.state != WindowState::Normal) status = windows.setWindowState(window, p.state);
    if (status == WindowStatus::Ok && p.activate) status = windows.activate(window);
    if (p.keepFocus && request.previousFocus != 0 && request.previousFocus != window) {
        // Hand the focus back when the new window took it (or nobody has it),
        // not when the user has moved on to another window meanwhile.
        const WindowHandle now = windows.foregroundWindow();
        if ((now == window || now == 0) && windows.exists(request.previousFocus)) {
            const WindowState previous = windows.windowState(request.previousFocus);
            if (previous == WindowState::Normal || previous == WindowState::Maximized)
                windows.activate(request.previousFocus);
        }
    }
    return {request.pid, window, windows.windowState(window), status};
}

// ---------------------------------------------------------------------------

StartedWindowPlacer::StartedWindowPlacer(Connect connect, Options options,
                                         PendingPlacements::Relation relation)
    : connect_(std::move(connect)), options_(options), relation_(std::move(relation)) {}

StartedWindowPlacer::~StartedWindowPlacer() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (worker_.joinable()) worker_.join();
}

void StartedWindowPlacer::place(std::int32_t pid, WindowPlacement placement) {
    {
        std::lock_guard lock(mutex_);
        incoming_.emplace_back(pid, placement);
        if (!worker_.joinable()) worker_ = std::thread(&StartedWindowPlacer::run, this);
    }
    wake_.notify_all();
}

bool StartedWindowPlacer::waitIdle(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return idle_.wait_for(lock, limit, [this] { return incoming_.empty() && inFlight_ == 0; });
}

std::vector<PlacementResult> StartedWindowPlacer::takeResults() {
    std::lock_guard lock(mutex_);
    std::vector<PlacementResult> out(results_.begin(), results_.end());
    results_.clear();
    return out;
}

void StartedWindowPlacer::run() {
    std::unique_ptr<WindowSystem> windows;
    PendingPlacements pending(relation_);
    std::unique_lock lock(mutex_);
    while (!stop_) {
        if (incoming_.empty() && pending.empty()) {
            wake_.wait(lock, [this] { return stop_ || !incoming_.empty(); });
            continue;
        }
        const auto now = std::chrono::steady_clock::now();
        for (const auto& [pid, placement] : incoming_)
            pending.add(pid, placement, now + options_.findLimit);
        incoming_.clear();
        inFlight_ = pending.size();
        lock.unlock();

        // The connection is the worker's own: the caller's may be in use on
        // its thread. Without a desktop every request ends at once.
        if (!windows && connect_) windows = connect_();
        std::vector<PlacementResult> done;
        if (windows) {
            done = pending.poll(*windows, std::chrono::steady_clock::now());
        } else {
            NullWindowSystem none;
            done = pending.poll(none, std::chrono::steady_clock::now());
        }

        lock.lock();
        for (const PlacementResult& r : done) {
            results_.push_back(r);
            if (results_.size() > 64) results_.pop_front();
        }
        inFlight_ = pending.size();
        if (inFlight_ == 0 && incoming_.empty()) idle_.notify_all();
        if (!pending.empty())
            wake_.wait_for(lock, options_.pollInterval, [this] { return stop_ || !incoming_.empty(); });
    }
}

} // namespace qd
