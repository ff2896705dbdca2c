// Opens the X display once and gives the keyboard and the window system that
// share it. Without a display both are still usable and report NoDisplay.
#pragma once

#include "platform/Desktop.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11Keyboard.h"
#include "platform/x11/X11WindowSystem.h"

#include <memory>
#include <string>

namespace qd {

struct X11Desktop {
    std::shared_ptr<X11Connection> connection; // null without a display
    std::unique_ptr<X11Keyboard> keyboard;
    std::unique_ptr<X11WindowSystem> windows;

    bool connected() const { return connection != nullptr; }
};

X11Desktop openX11Desktop(const std::string& displayName = {});

// The program's desktop on the named display ($DISPLAY when empty): keys and
// windows on one connection, and a window placer for started programs that
// works on a connection of its own. Without a display every call reports
// NoDisplay and there is no placer.
std::unique_ptr<Desktop> openX11ProgramDesktop(const std::string& displayName = {});

} // namespace qd
