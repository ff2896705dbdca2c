#include "platform/x11/X11WindowState.h"

#include "platform/x11/X11Connection.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

namespace qd {

namespace {

// A 32-bit property as a list (empty when it is missing or the window is gone).
std::vector<unsigned long> property32(Display* dpy, Window w, Atom property, Atom type) {
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<unsigned long> out;
    if (XGetWindowProperty(dpy, w, property, 0, 1024, False, type, &actualType, &format, &count, &after,
                           &data) != Success)
        return out;
    if (data && format == 32) {
        // Xlib hands 32-bit items over as longs.
        const auto* items = reinterpret_cast<const unsigned long*>(data);
        out.assign(items, items + count);
    }
    if (data) XFree(data);
    return out;
}

bool contains(const std::vector<unsigned long>& list, unsigned long value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

bool windowManagerRunning(X11Connection& c) {
    Display* dpy = c.display();
    const Atom check = c.atom("_NET_SUPPORTING_WM_CHECK");
    const auto first = property32(dpy, c.root(), check, XA_WINDOW);
    if (first.empty() || first[0] == 0) return false;
    const auto self = property32(dpy, first[0], check, XA_WINDOW);
    return !self.empty() && self[0] == first[0];
}

bool windowManagerSupports(X11Connection& c, const char* name) {
    return contains(property32(c.display(), c.root(), c.atom("_NET_SUPPORTED"), XA_ATOM), c.atom(name));
}

bool validHandle(WindowHandle window) {
    return window != 0 && window <= 0xFFFFFFFFu;
}

// A _NET_WM_STATE request to the window manager: action 0 removes, 1 adds.
void requestNetState(X11Connection& c, Window w, long action, const char* first, const char* second) {
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = w;
    ev.xclient.message_type = c.atom("_NET_WM_STATE");
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = action;
    ev.xclient.data.l[1] = static_cast<long>(c.atom(first));
    ev.xclient.data.l[2] = second ? static_cast<long>(c.atom(second)) : 0;
    ev.xclient.data.l[3] = 2; // on behalf of the user, as a pager asks
    XSendEvent(c.display(), c.root(), False, SubstructureRedirectMask | SubstructureNotifyMask, &ev);
}

// Polls until the window is in a state `accept` takes, for at most `limit`.
template <typename Accept>
bool waitForState(X11Connection& c, WindowHandle window, Accept accept, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (accept(x11WindowState(c, window))) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// Maps a minimised or withdrawn window and waits until the window manager shows it.
void showFirst(X11Connection& c, WindowHandle window) {
    const WindowState now = x11WindowState(c, window);
    if (now != WindowState::Minimized && now != WindowState::Withdrawn) return;
    XMapWindow(c.display(), static_cast<Window>(window));
    XFlush(c.display());
    waitForState(
        c, window, [](WindowState s) { return s == WindowState::Normal || s == WindowState::Maximized; },
        std::chrono::milliseconds(1000));
}

} // namespace

WindowState x11WindowState(X11Connection& c, WindowHandle window) {
    if (!validHandle(window)) return WindowState::Withdrawn;
    Display* dpy = c.display();
    const auto w = static_cast<Window>(window);
    XWindowAttributes attrs{};
    if (!XGetWindowAttributes(dpy, w, &attrs)) return WindowState::Withdrawn;
    const bool mapped = attrs.map_state != IsUnmapped;
    if (!windowManagerRunning(c)) return mapped ? WindowState::Normal : WindowState::Withdrawn;

    const Atom wmStateAtom = c.atom("WM_STATE");
    const auto wmState = property32(dpy, w, wmStateAtom, wmStateAtom);
    const unsigned long iccState = wmState.empty() ? WithdrawnState : wmState[0];
    // Not managed: a window the program has not shown yet, or one that
    // bypasses the window manager (then it counts as shown when mapped).
    if (iccState == WithdrawnState) return mapped ? WindowState::Normal : WindowState::Withdrawn;
    const auto net = property32(dpy, w, c.atom("_NET_WM_STATE"), XA_ATOM);
    if (iccState == IconicState || contains(net, c.atom("_NET_WM_STATE_HIDDEN")))
        return WindowState::Minimized;
    if (contains(net, c.atom("_NET_WM_STATE_MAXIMIZED_VERT")) &&
        contains(net, c.atom("_NET_WM_STATE_MAXIMIZED_HORZ")))
        return WindowState::Maximized;
    return WindowState::Normal;
}

WindowStatus x11SetWindowState(X11Connection& c, WindowHandle window, WindowState state) {
    if (!validHandle(window)) return WindowStatus::NotFound;
    Display* dpy = c.display();
    const auto w = static_cast<Window>(window);
    XWindowAttributes attrs{};
    if (!XGetWindowAttributes(dpy, w, &attrs)) return WindowStatus::NotFound;
    const int screen = XScreenNumberOfScreen(attrs.screen);
    const bool wm = windowManagerRunning(c);

    switch (state) {
    case WindowState::Withdrawn:
        XWithdrawWindow(dpy, w, screen);
        break;
    case WindowState::Minimized:
        // Iconic windows are the window manager's business; without one
        // there is no minimised state to go to.
        if (!wm) return WindowStatus::NoWindowManager;
        showFirst(c, window);
        XIconifyWindow(dpy, w, screen);
        break;
    case WindowState::Maximized:
        if (!wm) {
            XMapWindow(dpy, w);
            XMoveResizeWindow(dpy, w, 0, 0, static_cast<unsigned>(WidthOfScreen(attrs.screen)),
                              static_cast<unsigned>(HeightOfScreen(attrs.screen)));
            XSync(dpy, False);
            return WindowStatus::Ok;
        }
        if (!windowManagerSupports(c, "_NET_WM_STATE_MAXIMIZED_VERT") ||
            !windowManagerSupports(c, "_NET_WM_STATE_MAXIMIZED_HORZ"))
            return WindowStatus::Failed;
        showFirst(c, window);
        requestNetState(c, w, 1, "_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ");
        break;
    case WindowState::Normal:
        // Mapping an iconic or withdrawn window shows it again (ICCCM).
        XMapWindow(dpy, w);
        if (wm) requestNetState(c, w, 0, "_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ");
        break;
    }
    XFlush(dpy);
    const bool reached = waitForState(
        c, window, [state](WindowState s) { return s == state; }, std::chrono::milliseconds(1500));
    return reached ? WindowStatus::Ok : WindowStatus::Failed;
}

} // namespace qd
