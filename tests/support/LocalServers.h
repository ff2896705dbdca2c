// Servers the tests run on free ports of 127.0.0.1, and a port nothing
// listens on.
#pragma once

#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

namespace qdtest {

// A server started as a child process that writes the port it listens on to a
// file once it listens; stopped (SIGTERM, then waited for) when the object goes.
class ServerProcess {
public:
    ServerProcess() = default;
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // Starts `argv` (the program first, looked up on the PATH) with its
    // standard error added to `log`, and waits up to `seconds` for a port in
    // `portFile` (removed first). The port; 0 when none came (stop() still ends
    // the process).
    int start(std::vector<std::string> argv, const std::filesystem::path& portFile,
              const std::filesystem::path& log, int seconds = 10);
    // Stops the server now.
    void stop();

private:
    pid_t pid_ = 0;
};

// Servers that a script starts and stops in a folder: "<script> start <folder>"
// leaves each one's port in <folder>/<name>.port, "<script> stop <folder>"
// stops them all. Stopped when the object goes.
class ScriptedServers {
public:
    ScriptedServers(std::string script, std::filesystem::path folder);
    ~ScriptedServers();
    ScriptedServers(const ScriptedServers&) = delete;
    ScriptedServers& operator=(const ScriptedServers&) = delete;

    // False when the script failed.
    bool start();
    // False when the script failed (the servers may be left running).
    bool stop();
    // The port of server `name`; 0 when it has none.
    int port(const std::string& name) const;
    const std::filesystem::path& folder() const { return folder_; }

private:
    bool run(const char* command) const;

    std::string script_;
    std::filesystem::path folder_;
    bool started_ = false;
};

// A port of 127.0.0.1 that nothing listens on.
int closedPort();

} // namespace qdtest
