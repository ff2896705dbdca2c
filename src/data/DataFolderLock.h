// A lock on a data folder, held through a file in it ("QD.lock") with flock().
//
// Every process that works on the data set for a while (the resident program,
// `qdctl run`) holds it shared, so several of them may run side by side. Work
// that replaces the data set's files under everyone (restoring a backup,
// re-keying) takes it exclusive and is refused while any holder runs. The lock
// ends with the process, however it ends, so a crash never leaves it behind.
#pragma once

#include <filesystem>
#include <string>

namespace qd {

class DataFolderLock {
public:
    enum class Mode { Shared, Exclusive };

    static constexpr const char* kFileName = "QD.lock";

    DataFolderLock() = default;
    ~DataFolderLock();
    DataFolderLock(DataFolderLock&& o) noexcept : fd_(o.fd_) { o.fd_ = -1; }
    DataFolderLock& operator=(DataFolderLock&& o) noexcept;
    DataFolderLock(const DataFolderLock&) = delete;
    DataFolderLock& operator=(const DataFolderLock&) = delete;

    // Takes the lock without waiting. False, with a message that says why, when
    // another process holds it in a mode that conflicts or the file cannot be made.
    bool acquire(const std::filesystem::path& folder, Mode mode, std::string& error);
    void release();
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

} // namespace qd
