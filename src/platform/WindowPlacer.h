// Puts the window of a program we started into the state its start asked for:
// hidden, minimised, maximised, or shown without taking the focus.
//
// A program maps its window some time after it was started, so a request waits
// in the background: a worker thread with a window-system connection of its own
// looks for a shown top-level window of the process (or of a process it
// started) on every poll until the window is there or the time runs out. The
// caller never waits.
#pragma once

#include "platform/WindowSystem.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace qd {

struct WindowPlacement {
    WindowState state = WindowState::Normal;
    bool activate = false;  // give the window the focus
    bool keepFocus = false; // the focus stays with the window that had it before
};

// The placement for a show mode number of a program start: 0 hidden, 1 normal
// with focus, 2 minimised "with focus", 3 maximised with focus, 7 minimised
// without focus, 8 shown without activation; any other number means 1. A
// minimised window cannot hold the keyboard focus on X, so 2 and 7 differ only
// in where the focus goes afterwards.
WindowPlacement placementForShowMode(int showMode);

struct PlacementResult {
    std::int32_t pid = 0;
    WindowHandle window = 0; // 0 when no shown window turned up in time
    WindowState state = WindowState::Normal;
    WindowStatus status = WindowStatus::NotFound;
};

// True when `pid` is `ancestor` or one of its descendants (read from /proc).
bool isProcessOrDescendant(std::int32_t pid, std::int32_t ancestor);

// The waiting requests and their search, without a thread: the owner polls.
class PendingPlacements {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    // Whether a window owned by `windowPid` belongs to the started process.
    using Relation = std::function<bool(std::int32_t windowPid, std::int32_t startedPid)>;

    explicit PendingPlacements(Relation relation = isProcessOrDescendant) : relation_(std::move(relation)) {}

    void add(std::int32_t pid, WindowPlacement placement, TimePoint deadline);

    // One round over the window list. The first poll of a request notes the
    // window that has the focus; a request whose process shows a window now is
    // applied to its front-most such window and finished; a request past its
    // deadline finishes without a window.
    std::vector<PlacementResult> poll(WindowSystem& windows, TimePoint now);

    bool empty() const { return pending_.empty(); }
    std::size_t size() const { return pending_.size(); }

private:
    struct Request {
        std::int32_t pid = 0;
        WindowPlacement placement;
        TimePoint deadline;
        bool sampled = false;
        WindowHandle previousFocus = 0;
    };
    PlacementResult apply(WindowSystem& windows, const Request& request, WindowHandle window);

    Relation relation_;
    std::vector<Request> pending_;
};

class StartedWindowPlacer {
public:
    // Opens the worker's own connection to the desktop (nullptr when there is none).
    using Connect = std::function<std::unique_ptr<WindowSystem>()>;

    struct Options {
        std::chrono::milliseconds findLimit{10000}; // how long a program may take to show its window
        std::chrono::milliseconds pollInterval{50};
    };

    explicit StartedWindowPlacer(Connect connect) : StartedWindowPlacer(std::move(connect), Options{}) {}
    StartedWindowPlacer(Connect connect, Options options,
                        PendingPlacements::Relation relation = isProcessOrDescendant);
    ~StartedWindowPlacer();
    StartedWindowPlacer(const StartedWindowPlacer&) = delete;
    StartedWindowPlacer& operator=(const StartedWindowPlacer&) = delete;

    // Queues a request and returns at once; the worker starts on first use.
    void place(std::int32_t pid, WindowPlacement placement);

    // Waits until every request so far has finished; false when `limit` passed first.
    bool waitIdle(std::chrono::milliseconds limit);

    // Finished requests not taken yet, oldest first (at most the latest 64).
    std::vector<PlacementResult> takeResults();

private:
    void run();

    Connect connect_;
    Options options_;
    PendingPlacements::Relation relation_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::vector<std::pair<std::int32_t, WindowPlacement>> incoming_;
    std::deque<PlacementResult> results_;
    std::size_t inFlight_ = 0; // requests taken by the worker and not finished
    bool stop_ = false;
    std::thread worker_;
};

} // namespace qd
