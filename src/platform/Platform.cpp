#include "platform/Desktop.h"
#include "platform/HotKeys.h"
#include "platform/Keyboard.h"
#include "platform/WindowSystem.h"

namespace qd {

const char* toString(KeyStatus s) {
    switch (s) {
    case KeyStatus::Ok:
        return "ok";
    case KeyStatus::NoDisplay:
        return "no display";
    case KeyStatus::Unsupported:
        return "key not available";
    case KeyStatus::Failed:
        return "key events refused";
    }
    return "unknown";
}

const char* toString(HotKeyStatus s) {
    switch (s) {
    case HotKeyStatus::Ok:
        return "registered";
    case HotKeyStatus::NoDisplay:
        return "no display";
    case HotKeyStatus::Refused:
        return "held by another program";
    case HotKeyStatus::Unsupported:
        return "no such key on this keyboard";
    }
    return "unknown";
}

HotKeys& Desktop::hotKeys() {
    static NullHotKeys none;
    return none;
}

const char* toString(WindowStatus s) {
    switch (s) {
    case WindowStatus::Ok:
        return "ok";
    case WindowStatus::NoDisplay:
        return "no display";
    case WindowStatus::NoWindowManager:
        return "no window manager";
    case WindowStatus::NotFound:
        return "window not found";
    case WindowStatus::Failed:
        return "request refused";
    }
    return "unknown";
}

const char* toString(WindowState s) {
    switch (s) {
    case WindowState::Withdrawn:
        return "withdrawn";
    case WindowState::Normal:
        return "normal";
    case WindowState::Minimized:
        return "minimized";
    case WindowState::Maximized:
        return "maximized";
    }
    return "unknown";
}

} // namespace qd
