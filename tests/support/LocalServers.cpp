#include "support/LocalServers.h"

#include "support/TempDir.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace qdtest {
namespace fs = std::filesystem;

namespace {

int readPort(const fs::path& file) {
    return std::atoi(readFile(file).c_str());
}

// A path as one word of a shell command.
std::string quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

} // namespace

ServerProcess::~ServerProcess() {
    stop();
}

int ServerProcess::start(std::vector<std::string> argv, const fs::path& portFile, const fs::path& log,
                         int seconds) {
    stop();
    fs::remove(portFile);
    const std::string logName = log.string();
    pid_ = ::fork();
    if (pid_ == 0) {
        std::vector<char*> args;
        for (auto& a : argv)
            args.push_back(a.data());
        args.push_back(nullptr);
        if (FILE* f = std::freopen(logName.c_str(), "a", stderr)) (void)f;
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    for (int i = 0; i < seconds * 20; ++i) {
        if (const int port = readPort(portFile); port > 0) return port;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return 0;
}

void ServerProcess::stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = 0;
}

ScriptedServers::ScriptedServers(std::string script, fs::path folder)
    : script_(std::move(script)), folder_(std::move(folder)) {}

ScriptedServers::~ScriptedServers() {
    if (started_) stop();
}

bool ScriptedServers::start() {
    started_ = true;
    return run("start");
}

bool ScriptedServers::stop() {
    started_ = false;
    return run("stop");
}

int ScriptedServers::port(const std::string& name) const {
    return readPort(folder_ / (name + ".port"));
}

bool ScriptedServers::run(const char* command) const {
    const std::string cmd = quoted(script_) + " " + command + " " + quoted(folder_.string()) + " >/dev/null";
    return std::system(cmd.c_str()) == 0;
}

int closedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

} // namespace qdtest
