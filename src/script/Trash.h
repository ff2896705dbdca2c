// Moving files and folders to the desktop's trash (the freedesktop.org trash
// layout that file managers show and restore from):
//   <trash>/files/<name>               the item itself
//   <trash>/info/<name>.trashinfo      "[Trash Info]", Path=<original path,
//                                       percent-encoded>, DeletionDate=<local time>
// Items on the file system of the home trash ($XDG_DATA_HOME/Trash, by default
// ~/.local/share/Trash) go there. Items on another file system go to the trash
// folder at the top of that file system ($topdir/.Trash/$uid when the
// administrator prepared a sticky .Trash, else $topdir/.Trash-$uid), with a
// Path relative to the top; when neither can be used safely (see
// topDirectoryTrash) they are copied into the home trash and then removed.
#pragma once

#include <filesystem>
#include <string>

namespace qd {

class Clock;

struct TrashOptions {
    std::filesystem::path homeTrash; // empty: $XDG_DATA_HOME/Trash or ~/.local/share/Trash
    const Clock* clock = nullptr;    // deletion date; nullptr: the process clock
};

// The home trash folder the options name.
std::filesystem::path homeTrashFolder(const TrashOptions& options);

struct TrashResult {
    int error = 0;                   // 0, or the errno of the failure
    std::filesystem::path trashedAs; // the item's path inside the trash
    std::filesystem::path infoFile;
    explicit operator bool() const { return error == 0; }
};

// The trash folder to use at the top directory of another file system:
// $top/.Trash/$uid when $top/.Trash is a sticky folder (not a link), else
// $top/.Trash-$uid; either only when it, its files/ and its info/ are folders
// (not links) owned by this user and writable by no one else. Empty when
// neither qualifies: the item then goes to the home trash.
std::filesystem::path topDirectoryTrash(const std::filesystem::path& top);

// Moves one file, link or folder (with its contents) to the trash.
TrashResult moveToTrash(const std::filesystem::path& item, const TrashOptions& options = {});

} // namespace qd
