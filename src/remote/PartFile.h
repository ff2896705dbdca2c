// The partial file a download is written to: created exclusively and private
// (0600) under a fresh name in the target's folder, so that nothing planted
// under a known name (a symbolic link, say) is ever opened or truncated. Only a
// complete download replaces the target: the data is flushed and synced, then
// renamed over it. Otherwise the partial file is removed, also when the
// program is ended by SIGINT, SIGTERM or SIGHUP (see removeOnTermination).
#pragma once

#include <cstdio>
#include <filesystem>
#include <string_view>

namespace qd::remote {

class PartFile {
public:
    PartFile() = default;
    ~PartFile(); // removes an uncommitted partial file
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    // Creates "<target>.<tag>-XXXXXX" (or a shorter hidden name when that is
    // too long) beside the target; 0 or the errno of the failure. An existing
    // target's permission bits are carried over to the new file.
    int create(const std::filesystem::path& target, std::string_view tag);

    std::FILE* stream() const { return stream_; }
    const std::filesystem::path& path() const { return path_; }

    // Flushes, syncs and closes the file and renames it over the target: 0, or
    // the errno of the failure (the partial file is then removed).
    int commit();

    // Closes and removes the partial file.
    void discard();

    // Installs handlers for SIGINT, SIGTERM and SIGHUP that remove the partial
    // file being written and then end the program as the signal would.
    static void removeOnTermination();

private:
    std::FILE* stream_ = nullptr;
    std::filesystem::path path_;
    std::filesystem::path target_;
};

} // namespace qd::remote
