#include "platform/fake/FakeWindowSystem.h"

#include <algorithm>

namespace qd {

WindowHandle FakeWindowSystem::add(const std::string& title, bool visible, const std::string& className,
                                   std::int32_t pid) {
    Window w;
    w.info.handle = next_++;
    w.info.title = title;
    w.info.visible = visible;
    w.info.className = className;
    w.info.pid = pid;
    w.state = visible ? WindowState::Normal : WindowState::Withdrawn;
    windows.push_back(w);
    return w.info.handle;
}

void FakeWindowSystem::addChild(WindowHandle parent, const std::string& text, const std::string& className,
                                WindowHandle handle) {
    if (Window* w = find(parent)) w->children.push_back({handle, text, className});
}

void FakeWindowSystem::remove(WindowHandle window) {
    std::erase_if(windows, [&](const Window& w) { return w.info.handle == window; });
    if (foreground == window) foreground = 0;
}

FakeWindowSystem::Window* FakeWindowSystem::find(WindowHandle window) {
    for (Window& w : windows)
        if (w.info.handle == window) return &w;
    return nullptr;
}

WindowStatus FakeWindowSystem::topLevelWindows(std::vector<TopLevelWindow>& out) {
    ++listCalls;
    out.clear();
    if (noDisplay) return WindowStatus::NoDisplay;
    for (const Window& w : windows)
        out.push_back(w.info);
    return WindowStatus::Ok;
}

std::vector<ChildWindow> FakeWindowSystem::childWindows(WindowHandle window) {
    if (Window* w = find(window)) return w->children;
    return {};
}

std::string FakeWindowSystem::windowText(WindowHandle window) {
    if (Window* w = find(window)) return w->info.title;
    return {};
}

WindowStatus FakeWindowSystem::activate(WindowHandle window) {
    if (noDisplay) return WindowStatus::NoDisplay;
    if (!find(window)) return WindowStatus::NotFound;
    activated.push_back(window);
    foreground = window;
    return WindowStatus::Ok;
}

WindowStatus FakeWindowSystem::close(WindowHandle window) {
    if (noDisplay) return WindowStatus::NoDisplay;
    if (!find(window)) return WindowStatus::NotFound;
    closed.push_back(window);
    return WindowStatus::Ok;
}

std::int32_t FakeWindowSystem::windowPid(WindowHandle window) {
    if (Window* w = find(window)) return w->info.pid;
    return 0;
}

WindowState FakeWindowSystem::windowState(WindowHandle window) {
    if (Window* w = find(window)) return w->state;
    return WindowState::Withdrawn;
}

WindowStatus FakeWindowSystem::setWindowState(WindowHandle window, WindowState state) {
    if (noDisplay) return WindowStatus::NoDisplay;
    Window* w = find(window);
    if (!w) return WindowStatus::NotFound;
    if (noWindowManager && (state == WindowState::Minimized || state == WindowState::Maximized))
        return WindowStatus::NoWindowManager;
    stateChanges.emplace_back(window, state);
    w->state = state;
    w->info.visible = state == WindowState::Normal || state == WindowState::Maximized;
    return WindowStatus::Ok;
}

} // namespace qd
