// The desktop's windows: enumeration, texts, focus and closing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qd {

// Identifies a window of the desktop; 0 is "no window". Real handles are far
// above 31, which callers use as the "found" threshold.
using WindowHandle = std::uint64_t;

enum class WindowStatus {
    Ok,
    NoDisplay,       // no connection to a display
    NoWindowManager, // the operation needs a window manager and none runs
    NotFound,        // the window does not exist (any more)
    Failed,          // the system refused the request
};

const char* toString(WindowStatus s);

struct TopLevelWindow {
    WindowHandle handle = 0;
    std::string title;     // empty when the window has none
    std::string className; // e.g. the X resource class
    bool visible = false;  // mapped on screen and not minimised
    std::int32_t pid = 0;  // owning process, 0 when unknown
};

// How a top-level window is shown.
enum class WindowState {
    Withdrawn, // not on screen and not minimised: never shown, or hidden
    Normal,
    Minimized,
    Maximized,
};

const char* toString(WindowState s);

struct ChildWindow {
    WindowHandle handle = 0; // 0 for elements that have no window of their own
    std::string text;
    std::string className;
};

// What lies under the mouse pointer: the top-level (client) window and the
// deepest window inside it that carries a text of its own.
struct PointerTarget {
    WindowHandle window = 0;  // 0 when the pointer is over the desktop or there is no display
    WindowHandle control = 0; // 0 when no inner window is under the pointer
};

class WindowSystem {
public:
    virtual ~WindowSystem() = default;

    // Top-level windows, front to back. NoDisplay when there is no display.
    virtual WindowStatus topLevelWindows(std::vector<TopLevelWindow>& out) = 0;

    // Descendants of a window (all depths) that carry a text, in tree order.
    virtual std::vector<ChildWindow> childWindows(WindowHandle window) = 0;

    // The window that has the keyboard focus now, 0 when none.
    virtual WindowHandle foregroundWindow() = 0;

    // The title of one window ("" when it has none or does not exist).
    virtual std::string windowText(WindowHandle window) = 0;

    // Raises the window, makes it active and gives it the keyboard focus.
    virtual WindowStatus activate(WindowHandle window) = 0;

    // Asks the window to close, as its own close button would.
    virtual WindowStatus close(WindowHandle window) = 0;

    virtual bool exists(WindowHandle window) = 0;

    // Process that owns the window, 0 when unknown.
    virtual std::int32_t windowPid(WindowHandle window) = 0;

    // How the window is shown now (Withdrawn for a window that does not exist).
    // Desktops that cannot tell report every existing window as Normal.
    virtual WindowState windowState(WindowHandle window) {
        return exists(window) ? WindowState::Normal : WindowState::Withdrawn;
    }

    // The window under the mouse pointer. Desktops that cannot tell report none.
    virtual PointerTarget pointerTarget() { return {}; }

    // Shows the window normally, minimised or maximised, or hides it
    // (Withdrawn). Does not change the focus. NoWindowManager when the desktop
    // needs a window manager for this state and has none.
    virtual WindowStatus setWindowState(WindowHandle window, WindowState state) {
        (void)window;
        (void)state;
        return WindowStatus::Failed;
    }
};

} // namespace qd
