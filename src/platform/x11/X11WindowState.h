// States of top-level X windows: normal, minimised (iconic), maximised and
// withdrawn, read from ICCCM WM_STATE and EWMH _NET_WM_STATE and changed the
// way a pager or taskbar asks the window manager to change them.
#pragma once

#include "platform/WindowSystem.h"

namespace qd {

class X11Connection;

// Minimized: WM_STATE iconic or _NET_WM_STATE_HIDDEN. Maximized: both
// _NET_WM_STATE_MAXIMIZED_VERT and _HORZ. Withdrawn: neither managed by the
// window manager nor mapped, or gone. Without a window manager a mapped window
// is Normal and an unmapped one Withdrawn.
WindowState x11WindowState(X11Connection& connection, WindowHandle window);

// Asks for a state and waits up to about a second until the window shows it
// (Failed when it does not, e.g. a window manager that will not maximise a
// window of fixed size).
//   Withdrawn: the window is withdrawn (unmapped, and the window manager told).
//   Minimized: an iconify request (WM_CHANGE_STATE); needs a window manager.
//   Maximized: a _NET_WM_STATE request for both maximised states, after
//              mapping the window when it is minimised or withdrawn. Without a
//              window manager the window is mapped and sized to the screen.
//   Normal:    the window is mapped (which de-iconifies it) and its maximised
//              states are removed.
WindowStatus x11SetWindowState(X11Connection& connection, WindowHandle window, WindowState state);

} // namespace qd
