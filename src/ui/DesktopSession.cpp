#include "ui/DesktopSession.h"

#include <cstdlib>

namespace qdui {

std::string processEnvironment(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string preferredPlatform(const EnvironmentReader& env) {
    if (env("WAYLAND_DISPLAY").empty() || !env("QT_QPA_PLATFORM").empty()) return {};
    return env("DISPLAY").empty() ? std::string() : std::string("xcb");
}

QString sessionNote(const EnvironmentReader& env) {
    if (env("WAYLAND_DISPLAY").empty()) return {};
    if (env("DISPLAY").empty())
        return QStringLiteral("Wayland session without XWayland: keystrokes and window steps of scripts "
                              "cannot reach any program.");
    return QStringLiteral("Wayland session: Quandrel runs through XWayland, so keystrokes and window steps "
                          "of scripts reach X11 programs only.");
}

} // namespace qdui
