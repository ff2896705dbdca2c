#include "ui/Autostart.h"

#include "data/FileModes.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qdui {
namespace {

constexpr const char* kEntryName = "quandrel.desktop";

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

// Characters that make an Exec argument need quotes.
bool reserved(char c) {
    return std::strchr(" \t\n\"'\\><~|&;$*?#()`", c) != nullptr;
}

bool writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

std::filesystem::path autostartFolder() {
    const std::string config = env("XDG_CONFIG_HOME");
    if (!config.empty() && config.front() == '/') return std::filesystem::path(config) / "autostart";
    const std::string home = env("HOME");
    if (home.empty()) return {};
    return std::filesystem::path(home) / ".config" / "autostart";
}

std::filesystem::path autostartFile(const std::filesystem::path& folder) {
    return folder / kEntryName;
}

std::string quoteExecArgument(std::string_view arg) {
    bool quote = arg.empty();
    for (char c : arg)
        quote = quote || reserved(c);
    std::string exec;
    if (quote) exec += '"';
    for (char c : arg) {
        if (c == '%') {
            exec += "%%";
            continue;
        }
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) exec += '\\';
        exec += c;
    }
    if (quote) exec += '"';
    // The Exec key is a string value: its own escapes come on top.
    std::string value;
    for (char c : exec) {
        switch (c) {
        case '\\':
            value += "\\\\";
            break;
        case '\n':
            value += "\\n";
            break;
        case '\t':
            value += "\\t";
            break;
        case '\r':
            value += "\\r";
            break;
        default:
            value += c;
        }
    }
    return value;
}

std::string autostartEntry(const std::filesystem::path& program, const std::filesystem::path& dataFolder) {
    std::string text = "[Desktop Entry]\n"
                       "Type=Application\n"
                       "Name=Quandrel\n"
                       "Comment=Task scheduler and reminders\n"
                       "Icon=quandrel\n";
    text += "Exec=" + quoteExecArgument(program.string()) + " --data " +
            quoteExecArgument(dataFolder.string()) + "\n";
    text += "Terminal=false\n"
            "X-GNOME-Autostart-enabled=true\n";
    return text;
}

bool autostartEnabled(const std::filesystem::path& folder) {
    if (folder.empty()) return false;
    std::error_code ec;
    return std::filesystem::is_regular_file(autostartFile(folder), ec);
}

bool setAutostart(const std::filesystem::path& folder, bool on, const std::filesystem::path& program,
                  const std::filesystem::path& dataFolder, std::string& error) {
    if (folder.empty()) {
        error = "Neither XDG_CONFIG_HOME nor HOME is set, so there is no autostart folder.";
        return false;
    }
    const std::filesystem::path file = autostartFile(folder);
    if (!on) {
        if (::unlink(file.c_str()) == 0 || errno == ENOENT) return true;
        error = "Cannot remove " + file.string() + ": " + std::strerror(errno);
        return false;
    }
    if (!qd::createPrivateFolder(folder, error)) return false;
    // Written beside the entry and renamed over it, so a login never finds half an entry.
    std::string temp = (folder / ".quandrel.desktop.XXXXXX").string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        error = "Cannot write in " + folder.string() + ": " + std::strerror(errno);
        return false;
    }
    const bool written = ::fchmod(fd, 0600) == 0 && writeAll(fd, autostartEntry(program, dataFolder));
    const int saved = errno;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(temp.c_str(), file.c_str()) != 0) {
        error = "Cannot write " + file.string() + ": " + std::strerror(written && closed ? errno : saved);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

} // namespace qdui
