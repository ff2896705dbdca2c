#include "platform/secret/Passphrase.h"

#include "data/Protection.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qd {

std::string passphraseItem(const std::filesystem::path& dataFolder) {
    std::error_code ec;
    std::filesystem::path p =
        std::filesystem::weakly_canonical(std::filesystem::absolute(dataFolder, ec), ec);
    if (p.empty()) p = dataFolder;
    return p.lexically_normal().string();
}

namespace {

// Reads up to a line end; false on a read error.
bool readLine(int fd, std::string& line) {
    line.clear();
    char c;
    for (;;) {
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0 || c == '\n') break;
        line += c;
        if (line.size() > 4096) break;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

} // namespace

std::optional<std::string> readPassphraseFrom(int fd, std::string& error) {
    std::string line;
    if (!readLine(fd, line)) {
        error =
            "cannot read the passphrase from descriptor " + std::to_string(fd) + ": " + std::strerror(errno);
        return std::nullopt;
    }
    return line;
}

std::optional<std::string> askPassphrase(const std::string& prompt, std::string& error) {
    const int tty = ::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (tty < 0) {
        error = "no terminal to ask for the passphrase on";
        return std::nullopt;
    }
    termios saved{};
    const bool haveTerm = ::tcgetattr(tty, &saved) == 0;
    if (haveTerm) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        ::tcsetattr(tty, TCSAFLUSH, &quiet);
    }
    if (::write(tty, prompt.data(), prompt.size()) < 0) {
        // The prompt is a courtesy; reading goes on.
    }
    std::string line;
    const bool ok = readLine(tty, line);
    if (haveTerm) ::tcsetattr(tty, TCSAFLUSH, &saved);
    ::close(tty);
    if (!ok) {
        error = "cannot read the passphrase from the terminal";
        return std::nullopt;
    }
    return line;
}

std::optional<std::string> obtainPassphrase(const std::filesystem::path& dataFolder,
                                            PassphraseSources sources, std::string& error) {
    std::string tried;
    if (sources.keyring) {
        std::string why;
        if (auto kept = sources.keyring->lookup(passphraseItem(dataFolder), why)) {
            if (passphraseOpens(dataFolder, *kept)) return kept;
            tried = "the keyring's passphrase does not open it";
        } else {
            tried = why.empty() ? "the keyring keeps no passphrase for it" : "keyring: " + why;
        }
    }
    auto check = [&](std::optional<std::string> p, const std::string& from) -> std::optional<std::string> {
        if (!p) return std::nullopt;
        if (passphraseOpens(dataFolder, *p)) return p;
        error = "the passphrase " + from + " does not open the data set in " + dataFolder.string();
        return std::nullopt;
    };
    if (sources.fd) {
        std::string why;
        auto p = readPassphraseFrom(*sources.fd, why);
        if (!p) {
            error = why;
            return std::nullopt;
        }
        return check(p, "from descriptor " + std::to_string(*sources.fd));
    }
    if (sources.mayAsk) {
        std::string why;
        const std::string prompt = "Passphrase for " + dataFolder.string() + ": ";
        std::optional<std::string> p;
        if (sources.ask) {
            p = sources.ask(prompt);
            if (!p) why = "none was given";
        } else {
            p = askPassphrase(prompt, why);
        }
        if (p) return check(p, "typed");
        if (!tried.empty()) tried += "; ";
        tried += why;
    }
    error = "the data set in " + dataFolder.string() + " is protected with a passphrase (" + tried +
            "); give it with --passphrase-fd N or on a terminal";
    return std::nullopt;
}

} // namespace qd
