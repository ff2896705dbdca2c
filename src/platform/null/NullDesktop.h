// The desktop of a program without a display: every key and window call
// answers "no display", nothing is sent anywhere.
#pragma once

#include "platform/Desktop.h"

#include <memory>

namespace qd {

class NullKeyboard : public Keyboard {
public:
    KeyStatus keyDown(int) override { return KeyStatus::NoDisplay; }
    KeyStatus keyUp(int) override { return KeyStatus::NoDisplay; }
    KeyStatus typeCharacter(char32_t) override { return KeyStatus::NoDisplay; }
    bool capsLockOn() override { return false; }
    int heldModifiers() override { return 0; }
    bool waitForModifiersReleased(std::chrono::milliseconds) override { return true; }
    void releaseAll() override {}
};

class NullWindowSystem : public WindowSystem {
public:
    WindowStatus topLevelWindows(std::vector<TopLevelWindow>& out) override;
    std::vector<ChildWindow> childWindows(WindowHandle) override { return {}; }
    WindowHandle foregroundWindow() override { return 0; }
    std::string windowText(WindowHandle) override { return {}; }
    WindowStatus activate(WindowHandle) override { return WindowStatus::NoDisplay; }
    WindowStatus close(WindowHandle) override { return WindowStatus::NoDisplay; }
    bool exists(WindowHandle) override { return false; }
    std::int32_t windowPid(WindowHandle) override { return 0; }
    WindowState windowState(WindowHandle) override { return WindowState::Withdrawn; }
    WindowStatus setWindowState(WindowHandle, WindowState) override { return WindowStatus::NoDisplay; }
};

class NullDesktop : public Desktop {
public:
    bool connected() const override { return false; }
    Keyboard& keyboard() override { return keyboard_; }
    WindowSystem& windows() override { return windows_; }
    StartedWindowPlacer* windowPlacer() override { return nullptr; }
    HotKeys& hotKeys() override { return hotKeys_; }

private:
    NullHotKeys hotKeys_;
    NullKeyboard keyboard_;
    NullWindowSystem windows_;
};

std::unique_ptr<Desktop> openNullDesktop();

} // namespace qd
