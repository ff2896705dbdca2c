#include "support/MailServer.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace qdtest {
namespace fs = std::filesystem;

namespace {

// The Debian python has python3-aiosmtpd; another installation on the PATH may not.
std::string python() {
    return fs::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
}

} // namespace

MailServer::MailServer(const fs::path& folder, std::vector<std::string> options) : folder_(folder) {
    std::vector<std::string> args{python(),        QD_MAIL_SERVER_SCRIPT, "--dir",
                                  folder.string(), "--port-file",         (folder / "server.port").string()};
    args.insert(args.end(), options.begin(), options.end());
    const fs::path log = folder / "server.log";
    port_ = process_.start(std::move(args), folder / "server.port", log);
    if (port_ == 0) ADD_FAILURE() << "the test mail server did not start: " << readFile(log);
}

MailServer::~MailServer() = default;

void MailServer::stop() {
    process_.stop();
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

bool makeTestCertificate(const fs::path& folder, fs::path& cert, fs::path& key) {
    cert = folder / "cert.pem";
    key = folder / "key.pem";
    const std::string cmd = "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=localhost"
                            " -addext subjectAltName=IP:127.0.0.1,DNS:localhost -keyout '" +
                            key.string() + "' -out '" + cert.string() + "' >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

} // namespace qdtest
