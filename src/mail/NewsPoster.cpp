#include "mail/NewsPoster.h"

#include "data/Text.h"
#include "mail/MailSender.h"

#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qd {
namespace {

class NntpConnection {
public:
    explicit NntpConnection(const NewsArticle& a) : timeoutMs_(a.timeoutSeconds * 1000) {
        if (!a.transcript.empty())
            log_ = ::open(a.transcript.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    }
    ~NntpConnection() {
        if (fd_ >= 0) ::close(fd_);
        if (log_ >= 0) ::close(log_);
    }
    NntpConnection(const NntpConnection&) = delete;
    NntpConnection& operator=(const NntpConnection&) = delete;

    int connect(const std::string& host, const std::string& port) {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* list = nullptr;
        if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &list) != 0 || !list)
            return mailresult::ResolveHost;
        for (addrinfo* ai = list; ai && fd_ < 0; ai = ai->ai_next) {
            const int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC, ai->ai_protocol);
            if (fd < 0) continue;
            if (::connect(fd, ai->ai_addr, ai->ai_addrlen) == 0)
                fd_ = fd;
            else
                ::close(fd);
        }
        ::freeaddrinfo(list);
        return fd_ < 0 ? mailresult::Connect : 0;
    }

    // Sends text as it is (lines already ended by CR LF).
    bool send(const std::string& data, bool logIt = true) {
        if (logIt) note("> ", data);
        std::size_t off = 0;
        while (off < data.size()) {
            const ssize_t n = ::send(fd_, data.data() + off, data.size() - off, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            off += static_cast<std::size_t>(n);
        }
        return true;
    }

    // One reply line without its line end; false when the server closed or timed out.
    bool readLine(std::string& line) {
        line.clear();
        for (;;) {
            const auto end = buffer_.find('\n');
            if (end != std::string::npos) {
                line = buffer_.substr(0, end);
                buffer_.erase(0, end + 1);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                note("< ", line + "\r\n");
                return true;
            }
            pollfd p{fd_, POLLIN, 0};
            const int ready = ::poll(&p, 1, timeoutMs_);
            if (ready < 0 && errno == EINTR) continue;
            if (ready <= 0) return false;
            char chunk[1024];
            const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            buffer_.append(chunk, static_cast<std::size_t>(n));
        }
    }

    void note(std::string_view prefix, std::string_view text) {
        if (log_ < 0) return;
        std::string out(prefix);
        out += text.substr(0, text.size() >= 2 ? text.size() - 2 : text.size());
        out += '\n';
        [[maybe_unused]] const ssize_t n = ::write(log_, out.data(), out.size());
    }

private:
    int fd_ = -1;
    int log_ = -1;
    int timeoutMs_;
    std::string buffer_;
};

int replyCode(const std::string& line) {
    if (line.size() < 3 || !text::isDigit(line[0]) || !text::isDigit(line[1]) || !text::isDigit(line[2]))
        return 0;
    return (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
}

// Lines ended by CR LF, a leading "." doubled, the whole ended by ".".
std::string dotStuffed(const std::string& body) {
    std::string out;
    std::string line;
    const auto flush = [&] {
        if (!line.empty() && line[0] == '.') out += '.';
        out += line;
        out += "\r\n";
        line.clear();
    };
    for (std::size_t i = 0; i < body.size(); ++i) {
        const char c = body[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < body.size() && body[i + 1] == '\n') ++i;
            flush();
        } else {
            line += c;
        }
    }
    if (!line.empty()) flush();
    out += ".\r\n";
    return out;
}

} // namespace

int PostNewsArticle(const NewsArticle& a, std::string& serverReply) {
    serverReply.clear();
    for (const std::string* h : {&a.from, &a.organization, &a.newsgroups, &a.subject, &a.mailer, &a.user})
        if (hasLineBreak(*h)) return mailresult::HeaderLineBreak;
    if (text::trimmed(a.newsgroups).empty()) return mailresult::NoRecipients;

    std::string host = text::trimmed(a.host);
    std::string port = "119";
    if (const auto colon = host.rfind(':'); colon != std::string::npos && host.find(':') == colon) {
        port = host.substr(colon + 1);
        host.resize(colon);
    }
    NntpConnection c(a);
    c.note("--- ", "news to " + host + ":" + port + "\r\n");
    if (const int r = c.connect(host, port); r != 0) return r;

    std::string line;
    // Exchanges one command; the reply's code, or 0 when the connection broke.
    const auto expect = [&](int wanted, const std::string& command, bool logIt = true) -> int {
        if (!command.empty() && !c.send(command, logIt)) return -mailresult::SendFailed;
        if (!c.readLine(line)) return -mailresult::ReceiveFailed;
        const int code = replyCode(line);
        if (code != wanted) {
            serverReply = line;
            return -mailresult::ServerError;
        }
        return code;
    };
    // The greeting: 200 posting allowed; 201 is a refusal to post.
    int got = expect(200, "");
    if (got > 0 && !a.user.empty()) {
        got = expect(381, "AUTHINFO USER " + a.user + "\r\n");
        if (got > 0) {
            c.note("> ", "AUTHINFO PASS ****\r\n");
            got = expect(281, "AUTHINFO PASS " + a.password + "\r\n", false);
        }
    }
    if (got > 0) got = expect(340, "POST\r\n");
    if (got > 0) {
        std::string article = "From: " + a.from + "\r\nNewsgroups: " + a.newsgroups +
                              "\r\nSubject: " + encodeHeaderText(a.subject) + "\r\n";
        if (!a.organization.empty()) article += "Organization: " + encodeHeaderText(a.organization) + "\r\n";
        if (!a.mailer.empty()) article += "User-Agent: " + a.mailer + "\r\n";
        article += "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=UTF-8\r\n"
                   "Content-Transfer-Encoding: 8bit\r\n\r\n";
        article += dotStuffed(a.body);
        c.note("* ", std::to_string(article.size()) + " bytes of the article\r\n");
        got = c.send(article, false) ? 0 : -mailresult::SendFailed;
        if (got == 0) got = expect(240, "");
    }
    if (got > 0) c.send("QUIT\r\n");
    return got > 0 ? 0 : -got;
}

} // namespace qd
