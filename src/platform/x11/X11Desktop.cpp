#include "platform/x11/X11Desktop.h"

namespace qd {

X11Desktop openX11Desktop(const std::string& displayName) {
    X11Desktop desktop;
    desktop.connection = X11Connection::open(displayName);
    desktop.keyboard = std::make_unique<X11Keyboard>(desktop.connection);
    desktop.windows = std::make_unique<X11WindowSystem>(desktop.connection);
    return desktop;
}

} // namespace qd
