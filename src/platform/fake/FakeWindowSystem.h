// A scripted desktop for tests of the window-targeting logic: a list of
// top-level windows (front first) with their children, and a record of what
// was activated and closed.
#pragma once

#include "platform/WindowSystem.h"

#include <utility>
#include <vector>

namespace qd {

class FakeWindowSystem final : public WindowSystem {
public:
    struct Window {
        TopLevelWindow info;
        std::vector<ChildWindow> children;
        WindowState state = WindowState::Normal;
    };

    // Adds a window behind the existing ones; returns its handle (1000, 1001 ...).
    WindowHandle add(const std::string& title, bool visible = true, const std::string& className = "Fake",
                     std::int32_t pid = 0);
    void addChild(WindowHandle parent, const std::string& text, const std::string& className = "Button",
                  WindowHandle handle = 0);
    void remove(WindowHandle window);

    WindowStatus topLevelWindows(std::vector<TopLevelWindow>& out) override;
    std::vector<ChildWindow> childWindows(WindowHandle window) override;
    WindowHandle foregroundWindow() override { return foreground; }
    std::string windowText(WindowHandle window) override;
    WindowStatus activate(WindowHandle window) override;
    WindowStatus close(WindowHandle window) override;
    bool exists(WindowHandle window) override { return find(window) != nullptr; }
    std::int32_t windowPid(WindowHandle window) override;
    WindowState windowState(WindowHandle window) override;
    WindowStatus setWindowState(WindowHandle window, WindowState state) override;
    PointerTarget pointerTarget() override { return pointer; }

    Window* find(WindowHandle window);

    std::vector<Window> windows; // front to back
    WindowHandle foreground = 0;
    PointerTarget pointer; // what pointerTarget() reports
    std::vector<WindowHandle> activated;
    std::vector<WindowHandle> closed;
    std::vector<std::pair<WindowHandle, WindowState>> stateChanges;
    bool noWindowManager = false; // setWindowState refuses Minimized and Maximized
    bool noDisplay = false;
    int listCalls = 0;

private:
    WindowHandle next_ = 1000;
};

} // namespace qd
