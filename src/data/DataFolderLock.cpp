#include "data/DataFolderLock.h"

#include "data/FileModes.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qd {

DataFolderLock::~DataFolderLock() {
    release();
}

DataFolderLock& DataFolderLock::operator=(DataFolderLock&& o) noexcept {
    if (this != &o) {
        release();
        fd_ = o.fd_;
        o.fd_ = -1;
    }
    return *this;
}

bool DataFolderLock::acquire(const std::filesystem::path& folder, Mode mode, std::string& error) {
    release();
    const std::filesystem::path file = folder / kFileName;
    const mode_t fileMode = static_cast<mode_t>(fileModeFor(folder));
    // Close-on-exec: a program started from here must not keep the folder locked after we end.
    int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, fileMode);
    if (fd >= 0)
        ::fchmod(fd, fileMode);
    else if (errno == EEXIST)
        fd = ::open(file.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        error = "Cannot open the lock file " + file.string() + ": " + std::strerror(errno);
        return false;
    }
    const int op = (mode == Mode::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
    int rc;
    while ((rc = ::flock(fd, op)) != 0 && errno == EINTR) {
    }
    if (rc != 0) {
        const int err = errno;
        ::close(fd);
        error = err == EWOULDBLOCK
                    ? "The data folder " + folder.string() +
                          (mode == Mode::Exclusive
                               ? " is in use by a running scheduler (qd or qdctl run); end it first."
                               : " is being restored or re-keyed; try again when that has finished.")
                    : "Cannot lock " + file.string() + ": " + std::strerror(err);
        return false;
    }
    fd_ = fd;
    return true;
}

void DataFolderLock::release() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

} // namespace qd
