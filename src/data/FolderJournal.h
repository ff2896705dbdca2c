// How the store files of a folder keep their journal.
//
// On a local disk the files run in write-ahead-log mode: readers never wait for
// a writer. That mode keeps an index of the log in shared memory beside the
// file, which only works when every process runs on one machine; on a network
// file system (NFS, SMB/CIFS and their kin) processes on two machines would each
// see their own index and corrupt the file. There the files run with a rollback
// journal and the file system's byte-range locks instead.
//
// The machine that serves a shared folder sees it as a local disk. So that it
// too stays in rollback mode, a process that finds the folder on a network file
// system leaves the file "QD.journal" (holding "rollback") in it; any process
// that finds that file uses the rollback journal whatever its file system.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace qd {

// The file system type of a folder as statfs() reports it (f_type); nullopt
// when it cannot be read.
using FileSystemProbe = std::function<std::optional<std::uint64_t>(const std::filesystem::path&)>;

// Replaces statfs() for the decisions below (tests force a file system type);
// an empty probe restores statfs().
void setFileSystemProbe(FileSystemProbe probe);

// The name of a network file system type ("nfs", "smb/cifs", ...), or empty
// for a type that keeps its data on this machine.
std::string networkFileSystemName(std::uint64_t type);

enum class JournalKind { WriteAheadLog, Rollback };

struct JournalChoice {
    JournalKind kind = JournalKind::WriteAheadLog;
    // Why rollback: the network file system's name, or the marker file. Empty for WAL.
    std::string reason;
    bool rollback() const { return kind == JournalKind::Rollback; }
};

inline constexpr const char* kJournalMarkerFile = "QD.journal";

// The journal of the store files in `folder`. A folder found on a network file
// system gets the marker file (best effort: a folder that refuses it still gets
// the rollback journal from this process).
JournalChoice journalFor(const std::filesystem::path& folder);

// The event-log line that says a folder runs with the rollback journal.
inline constexpr const char* kNetworkFolderLabel = "Network Folder";
std::string networkFolderNote(const JournalChoice& choice);

} // namespace qd
