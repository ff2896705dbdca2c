// "DDE" steps on Linux: a method call on the D-Bus session bus.
//
// The step's service is the bus name ("org.example.Editor"; a name without a dot
// is taken as "org.quandrel.dde.<name>"), its topic the object path ("/" + topic,
// characters other than letters, digits and "_" becoming "_"), and the command is
// passed to the method Execute(string) of the interface "org.quandrel.Dde".
// Failures are silent, as the step requires; the result tells tests what happened.
#pragma once

#include <string>

namespace qd {

class Process;

struct DdeCall {
    std::string busName;
    std::string objectPath;
};

DdeCall DdeAddress(const std::string& service, const std::string& topic);

// Sends the command and waits up to two seconds for the reply; true when the
// call was delivered and answered.
bool DdeExecute(Process& launcher, const std::string& service, const std::string& topic,
                const std::string& command);

} // namespace qd
