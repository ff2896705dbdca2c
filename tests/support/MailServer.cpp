#include "support/MailServer.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace qdtest {
namespace fs = std::filesystem;

namespace {

// The Debian python has python3-aiosmtpd; another installation on the PATH may not.
std::string python() {
    return fs::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
}

} // namespace

MailServer::MailServer(const fs::path& folder, std::vector<std::string> options) : folder_(folder) {
    const fs::path portFile = folder / "server.port";
    fs::remove(portFile);
    std::vector<std::string> args{python(),        QD_MAIL_SERVER_SCRIPT, "--dir",
                                  folder.string(), "--port-file",         portFile.string()};
    args.insert(args.end(), options.begin(), options.end());
    const std::string log = (folder / "server.log").string();
    pid_ = ::fork();
    if (pid_ == 0) {
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (FILE* f = std::freopen(log.c_str(), "a", stderr)) (void)f;
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    for (int i = 0; i < 200 && port_ == 0; ++i) {
        const std::string text = readFile(portFile);
        if (!text.empty())
            port_ = std::atoi(text.c_str());
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (port_ == 0) ADD_FAILURE() << "the test mail server did not start: " << readFile(log);
}

MailServer::~MailServer() {
    stop();
}

void MailServer::stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = 0;
}

int MailServer::received() const {
    int n = 0;
    while (fs::exists(folder_ / (std::to_string(n + 1) + ".eml")) ||
           fs::exists(folder_ / (std::to_string(n + 1) + ".article")))
        ++n;
    return n;
}

std::string MailServer::file(int n, const std::string& suffix) const {
    return readFile(folder_ / (std::to_string(n) + "." + suffix));
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

bool makeTestCertificate(const fs::path& folder, fs::path& cert, fs::path& key) {
    cert = folder / "cert.pem";
    key = folder / "key.pem";
    const std::string cmd = "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=localhost"
                            " -addext subjectAltName=IP:127.0.0.1,DNS:localhost -keyout '" +
                            key.string() + "' -out '" + cert.string() + "' >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

} // namespace qdtest
