#include "remote/PartFile.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace qd::remote {

namespace fs = std::filesystem;

namespace {

// The partial file a signal handler removes; only async-signal-safe access.
char pendingPath[4096];
volatile std::sig_atomic_t pendingArmed = 0;

void arm(const fs::path& p) {
    const std::string& s = p.native();
    if (s.size() >= sizeof pendingPath) return;
    pendingArmed = 0;
    std::memcpy(pendingPath, s.c_str(), s.size() + 1);
    pendingArmed = 1;
}

void disarm() {
    pendingArmed = 0;
}

extern "C" void removePendingAndDie(int sig) {
    if (pendingArmed) ::unlink(pendingPath);
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

int makeTemp(std::string& name) {
    return ::mkostemp(name.data(), O_CLOEXEC);
}

void syncFolder(const fs::path& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

PartFile::~PartFile() {
    discard();
}

int PartFile::create(const fs::path& target, std::string_view tag) {
    discard();
    const fs::path folder = target.parent_path();
    std::string name = target.native() + "." + std::string(tag) + "-XXXXXX";
    int fd = makeTemp(name);
    if (fd < 0 && errno == ENAMETOOLONG) {
        name = (folder / ("." + std::string(tag) + "-XXXXXX")).native();
        fd = makeTemp(name);
    }
    if (fd < 0) return errno;
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::fchmod(fd, st.st_mode & 0777);
    stream_ = ::fdopen(fd, "wb");
    if (!stream_) {
        const int e = errno;
        ::close(fd);
        ::unlink(name.c_str());
        return e;
    }
    path_ = name;
    target_ = target;
    arm(path_);
    return 0;
}

int PartFile::commit() {
    if (!stream_) return EBADF;
    int error = 0;
    if (std::fflush(stream_) != 0 || ::fsync(::fileno(stream_)) != 0) error = errno ? errno : EIO;
    if (std::fclose(stream_) != 0 && error == 0) error = errno ? errno : EIO;
    stream_ = nullptr;
    if (error == 0 && ::rename(path_.c_str(), target_.c_str()) != 0) error = errno;
    if (error != 0) {
        disarm();
        ::unlink(path_.c_str());
    } else {
        disarm();
        syncFolder(target_.parent_path());
    }
    path_.clear();
    target_.clear();
    return error;
}

void PartFile::discard() {
    if (stream_) {
        std::fclose(stream_);
        stream_ = nullptr;
    }
    if (!path_.empty()) {
        disarm();
        ::unlink(path_.c_str());
        path_.clear();
    }
    target_.clear();
}

void PartFile::removeOnTermination() {
    struct sigaction sa {};
    sa.sa_handler = removePendingAndDie;
    sigemptyset(&sa.sa_mask);
    for (const int sig : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(sig, &sa, nullptr);
}

} // namespace qd::remote
