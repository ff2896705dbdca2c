#include "script/Dde.h"

#include "platform/Process.h"

#include <cctype>
#include <cstdlib>

namespace qd {

DdeCall DdeAddress(const std::string& service, const std::string& topic) {
    DdeCall call;
    std::string name;
    for (char c : service)
        name += std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-' ? c : '_';
    call.busName =
        name.find('.') == std::string::npos ? "org.quandrel.dde." + (name.empty() ? "_" : name) : name;
    call.objectPath = "/";
    for (char c : topic)
        call.objectPath += std::isalnum(static_cast<unsigned char>(c)) || c == '_' ? c : '_';
    if (call.objectPath == "/") call.objectPath = "/topic";
    return call;
}

bool DdeExecute(Process& launcher, const std::string& service, const std::string& topic,
                const std::string& command) {
    if (!std::getenv("DBUS_SESSION_BUS_ADDRESS")) return false; // no session bus: nothing to talk to
    const DdeCall call = DdeAddress(service, topic);
    const SpawnResult r = launcher.startProgram(
        "/usr/bin/dbus-send",
        {"dbus-send", "--session", "--print-reply", "--reply-timeout=2000", "--dest=" + call.busName,
         call.objectPath, "org.quandrel.Dde.Execute", "string:" + command},
        {}, {});
    if (!r.ok) return false;
    const int code = launcher.wait(r.pid, 3000);
    launcher.forget(r.pid);
    return code == 0;
}

} // namespace qd
