// The local SMTP (or NNTP) test server of tools/smtp-test-server.py, started on
// a free port of 127.0.0.1 and stopped when the object goes. What it received
// is in files of its folder (see the script).
#pragma once

#include "support/LocalServers.h"

#include <filesystem>
#include <string>
#include <vector>

namespace qdtest {

class MailServer {
public:
    // Starts the server with these options (besides --dir and --port-file);
    // `folder` must exist. Fails the test when it does not listen within 10 s.
    MailServer(const std::filesystem::path& folder, std::vector<std::string> options = {});
    ~MailServer();
    MailServer(const MailServer&) = delete;
    MailServer& operator=(const MailServer&) = delete;

    int port() const { return port_; }
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
    const std::filesystem::path& folder() const { return folder_; }
    // How many messages (N.eml or N.article) arrived.
    int received() const;
    // A file the server wrote for message n ("1.envelope", ...), "" when missing.
    std::string file(int n, const std::string& suffix) const;
    // Stops the server now.
    void stop();

private:
    std::filesystem::path folder_;
    ServerProcess process_;
    int port_ = 0;
};

// A self-signed certificate for 127.0.0.1 and localhost made with openssl:
// `cert` and `key` in `folder`. False when openssl failed.
bool makeTestCertificate(const std::filesystem::path& folder, std::filesystem::path& cert,
                         std::filesystem::path& key);

} // namespace qdtest
