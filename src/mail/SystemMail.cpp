// The user's mail settings as this system knows them: the full name from the
// password database, the mail name of /etc/mailname, $EMAIL, and a mail server
// listening on this machine's port 25.
#include "data/Text.h"
#include "mail/Mailer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qd {
namespace {

bool blank(std::string_view s) {
    return text::trimmed(s).empty();
}

// Whether something accepts a connection on 127.0.0.1:25 within a fifth of a second.
bool localMtaListens() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(25);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    if (!ok && errno == EINPROGRESS) {
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, 200) == 1) {
            int err = 0;
            socklen_t len = sizeof err;
            ok = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0;
        }
    }
    ::close(fd);
    return ok;
}

} // namespace

SystemMailSources readSystemMailSources() {
    SystemMailSources s;
    if (const passwd* pw = ::getpwuid(::getuid())) {
        s.loginName = pw->pw_name ? pw->pw_name : "";
        // The GECOS field: "Full Name,room,phone,...".
        const std::string gecos = pw->pw_gecos ? pw->pw_gecos : "";
        s.fullName = text::trimmed(gecos.substr(0, gecos.find(',')));
    }
    std::ifstream mailname("/etc/mailname");
    std::getline(mailname, s.mailName);
    s.mailName = text::trimmed(s.mailName);
    if (const char* e = std::getenv("EMAIL")) s.emailEnv = text::trimmed(e);
    s.localMta = localMtaListens();
    return s;
}

void FillMailSettingsFromSystem(ProgramSettings& s, const SystemMailSources& src) {
    if (blank(s.Host) && src.localMta) s.Host = "localhost";
    if (blank(s.SenderName) && blank(s.Sender)) s.SenderName = src.fullName;
    if (blank(s.Sender)) {
        if (!blank(src.emailEnv))
            s.Sender = src.emailEnv;
        else if (!blank(src.mailName) && !blank(src.loginName))
            s.Sender = src.loginName + "@" + src.mailName;
    }
    if (blank(s.NSender)) s.NSender = s.Sender;
}

} // namespace qd
