// Windows of an X desktop through EWMH and the X window tree.
//
// Top-level windows are the window manager's clients, front to back
// (_NET_CLIENT_LIST_STACKING), followed by the other top-level windows of the
// X tree (withdrawn and unmanaged ones); without a window manager, the
// children of the root window. Child texts come from named X subwindows and,
// when the owning application exposes one, from its accessibility tree.
#pragma once

#include "platform/WindowSystem.h"

#include <memory>

namespace qd {

class X11Connection;

class X11WindowSystem final : public WindowSystem {
public:
    // A null connection gives a window system that reports NoDisplay.
    explicit X11WindowSystem(std::shared_ptr<X11Connection> connection);
    ~X11WindowSystem() override;
    X11WindowSystem(const X11WindowSystem&) = delete;
    X11WindowSystem& operator=(const X11WindowSystem&) = delete;

    WindowStatus topLevelWindows(std::vector<TopLevelWindow>& out) override;
    std::vector<ChildWindow> childWindows(WindowHandle window) override;
    WindowHandle foregroundWindow() override;
    std::string windowText(WindowHandle window) override;
    WindowStatus activate(WindowHandle window) override;
    WindowStatus close(WindowHandle window) override;
    bool exists(WindowHandle window) override;
    std::int32_t windowPid(WindowHandle window) override;
    WindowState windowState(WindowHandle window) override;
    WindowStatus setWindowState(WindowHandle window, WindowState state) override;
    // XQueryPointer down the tree from the root; the client of the top-level
    // window under the pointer (its window manager frame skipped).
    PointerTarget pointerTarget() override;

    // Host name the window's program runs on (WM_CLIENT_MACHINE), "" when unknown.
    std::string clientMachine(WindowHandle window);

    // True when an EWMH window manager runs.
    bool windowManagerRunning();
    // Whether child texts are also read from the accessibility tree (default on).
    void setUseAccessibility(bool on);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace qd
