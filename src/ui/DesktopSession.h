// The kind of desktop session qd runs in. Keystrokes and window steps of
// scripts work through X11, so under Wayland qd runs on XWayland (the xcb
// platform) and tells the user once that they reach X11 programs only.
#pragma once

#include <QString>

#include <functional>
#include <string>

namespace qdui {

// Reads an environment variable; empty when it is not set.
using EnvironmentReader = std::function<std::string(const char* name)>;
std::string processEnvironment(const char* name);

// The Qt platform qd should ask for, or empty to leave Qt's own choice: "xcb"
// in a Wayland session (WAYLAND_DISPLAY set) that has XWayland (DISPLAY set),
// unless the user named a platform (QT_QPA_PLATFORM).
std::string preferredPlatform(const EnvironmentReader& env = processEnvironment);

// The status-bar note for the session, or empty in a plain X11 session.
QString sessionNote(const EnvironmentReader& env = processEnvironment);

} // namespace qdui
