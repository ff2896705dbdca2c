// The desktop a program runs on, as one bundle: the keyboard, the window
// system, the system-wide hot keys and the placer of started programs' windows. Each program picks its
// desktop when it is built: X11 for a display, the null desktop for none, fakes in tests.
#pragma once

#include "platform/Clipboard.h"
#include "platform/HotKeys.h"
#include "platform/Keyboard.h"
#include "platform/WindowSystem.h"

namespace qd {

class StartedWindowPlacer;

class Desktop {
public:
    virtual ~Desktop() = default;

    // Whether keys and windows reach a real display.
    virtual bool connected() const = 0;
    virtual Keyboard& keyboard() = 0;
    virtual WindowSystem& windows() = 0;
    // Puts the windows of started programs into the state their start asked
    // for; null when this desktop cannot place windows.
    virtual StartedWindowPlacer* windowPlacer() = 0;
    // System-wide key combinations; a desktop without them answers NoDisplay.
    virtual HotKeys& hotKeys();
    // Reads every clipboard change as it happens; null when the desktop
    // cannot tell about them (the program then looks at the clipboard itself).
    virtual ClipboardWatcher* clipboardWatcher() { return nullptr; }
};

} // namespace qd
