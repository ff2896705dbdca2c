#include "data/FolderJournal.h"

#include "data/FileModes.h"
#include "data/Text.h"

#include <sys/vfs.h>

#include <fstream>
#include <mutex>
#include <system_error>

namespace qd {
namespace {

std::mutex gProbeMutex;
FileSystemProbe gProbe;

std::optional<std::uint64_t> statfsType(const std::filesystem::path& folder) {
    struct statfs info {};
    if (::statfs(folder.c_str(), &info) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(info.f_type);
}

std::optional<std::uint64_t> fileSystemType(const std::filesystem::path& folder) {
    FileSystemProbe probe;
    {
        std::lock_guard lock(gProbeMutex);
        probe = gProbe;
    }
    return probe ? probe(folder) : statfsType(folder);
}

bool markerAsksRollback(const std::filesystem::path& marker) {
    std::ifstream in(marker);
    std::string word;
    if (!(in >> word)) return false;
    return text::upperAscii(word) == "ROLLBACK";
}

void leaveMarker(const std::filesystem::path& marker) {
    std::string ignored;
    if (!createFileWithFolderMode(marker, ignored)) return; // there already, or the folder refuses it
    std::ofstream out(marker, std::ios::trunc);
    out << "rollback\n";
}

} // namespace

void setFileSystemProbe(FileSystemProbe probe) {
    std::lock_guard lock(gProbeMutex);
    gProbe = std::move(probe);
}

std::string networkFileSystemName(std::uint64_t type) {
    // The values of <linux/magic.h>; f_type is a signed word on some machines, so
    // only its low 32 bits are compared.
    switch (type & 0xffffffffu) {
    case 0x6969u:
        return "nfs";
    case 0x517bu:
    case 0xff534d42u:
    case 0xfe534d42u:
        return "smb/cifs";
    case 0x73757245u:
        return "coda";
    case 0x5346414fu:
    case 0x6b414653u:
        return "afs";
    case 0x564cu:
        return "ncp";
    case 0x01021997u:
        return "9p";
    case 0x00c36400u:
        return "ceph";
    case 0x01161970u:
        return "gfs2";
    case 0x7461636fu:
        return "ocfs2";
    case 0x0bd00bd0u:
        return "lustre";
    case 0x47504653u:
        return "gpfs";
    case 0x20030528u:
        return "orangefs";
    case 0x786f4256u:
        return "vboxsf";
    // FUSE carries sshfs, virtiofs and cluster clients as well as local drivers;
    // the rollback journal is right for all of them, the log only a little slower.
    case 0x65735546u:
        return "fuse";
    default:
        return {};
    }
}

JournalChoice journalFor(const std::filesystem::path& folder) {
    JournalChoice choice;
    const auto type = fileSystemType(folder);
    const std::filesystem::path marker = folder / kJournalMarkerFile;
    if (type) {
        const std::string name = networkFileSystemName(*type);
        if (!name.empty()) {
            choice.kind = JournalKind::Rollback;
            choice.reason = name;
            std::error_code ec;
            if (!std::filesystem::exists(marker, ec)) leaveMarker(marker);
            return choice;
        }
    }
    if (markerAsksRollback(marker)) {
        choice.kind = JournalKind::Rollback;
        choice.reason = kJournalMarkerFile;
    }
    return choice;
}

std::string networkFolderNote(const JournalChoice& choice) {
    if (!choice.rollback()) return {};
    if (choice.reason == kJournalMarkerFile)
        return std::string(kJournalMarkerFile) + " asks for a rollback journal: store files use it";
    return "Data folder on " + choice.reason + ": store files use a rollback journal";
}

} // namespace qd
