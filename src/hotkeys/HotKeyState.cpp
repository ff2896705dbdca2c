#include "hotkeys/HotKeyState.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <signal.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace qd {

namespace {

std::string folderTag(const std::filesystem::path& folder) {
    std::error_code ec;
    auto canonical = std::filesystem::weakly_canonical(folder, ec);
    const std::string s = (ec ? folder : canonical).string();
    std::uint64_t h = 1469598103934665603ull; // FNV-1a: the same name from every program
    for (unsigned char c : s) {
        h ^= c;
        h *= 1099511628211ull;
    }
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
    return buf;
}

const char* statusWord(HotKeyStatus s) {
    switch (s) {
    case HotKeyStatus::Ok:
        return "registered";
    case HotKeyStatus::NoDisplay:
        return "no-display";
    case HotKeyStatus::Refused:
        return "refused";
    case HotKeyStatus::Unsupported:
        return "unsupported";
    }
    return "refused";
}

HotKeyStatus statusOf(const std::string& w) {
    if (w == "registered") return HotKeyStatus::Ok;
    if (w == "no-display") return HotKeyStatus::NoDisplay;
    if (w == "unsupported") return HotKeyStatus::Unsupported;
    return HotKeyStatus::Refused;
}

} // namespace

std::filesystem::path hotKeyStatePath(const std::filesystem::path& dataFolder) {
    std::filesystem::path base = "/tmp";
    if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && *run) base = run;
    return base / ("quandrel-hotkeys-" + std::to_string(::getuid()) + "-" + folderTag(dataFolder));
}

bool writeHotKeyState(const std::filesystem::path& file, const SysHotKeyClass& component) {
    std::ostringstream out;
    out << "pid " << ::getpid() << "\n";
    for (const auto& e : component.registered())
        if (e.code != 0)
            out << e.code << ' ' << statusWord(component.active() ? e.status : HotKeyStatus::Refused) << ' '
                << e.text << "\n";
    const std::string body = out.str();
    const std::string tmp = file.string() + ".new";
    ::unlink(tmp.c_str());
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const bool written = ::write(fd, body.data(), body.size()) == static_cast<ssize_t>(body.size());
    ::close(fd);
    if (!written || ::rename(tmp.c_str(), file.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

void removeHotKeyState(const std::filesystem::path& file) {
    ::unlink(file.c_str());
}

std::optional<HotKeyStateFile> readHotKeyState(const std::filesystem::path& file) {
    struct stat st {};
    if (::lstat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::getuid())
        return std::nullopt;
    std::ifstream in(file);
    std::string word;
    HotKeyStateFile state;
    if (!(in >> word >> state.pid) || word != "pid" || state.pid <= 0) return std::nullopt;
    if (::kill(state.pid, 0) != 0 && errno == ESRCH) return std::nullopt;
    int code = 0;
    std::string status;
    while (in >> code >> status) {
        std::string rest;
        std::getline(in, rest);
        state.byCode[code] = statusOf(status);
    }
    return state;
}

} // namespace qd
