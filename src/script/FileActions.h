// The "File Actions" step: copy, move, rename, delete or recycle files, make or
// remove a folder, read a file's date, time or size, test that a file exists,
// write the window list to a file. Each operation stores its result in a script
// variable so later steps can test it with "If Value...":
//
//   Copy                 FileCopy               0 = success, else an errno value
//   Rename               FileCopy, FileRename   (the same)
//   Move                 FileMove               (the same)
//   Delete, Recycle      FileDelete             (the same)
//   Make Directory       DirCreate              1 when the folder exists afterwards
//   Remove Directory     DirRemove              1 when the folder is gone afterwards
//   Get File Date        FileDate               yyyymmdd of the first matching file, 0 for none
//   Get File Time        FileTime               hhmmss (hour not zero-filled), 0 for none
//   Get File Size        FileSize               bytes, 0 for none
//   If File Exists       FileExists             1 or 0 ("File Exists" is a synonym)
//   Log Windows          (none)                 the number of windows written
//   every operation      Errorcode              errno of the last failing call, 0 for none
//
// Name lists: an operand holding ";" or "|" names several files (blanks after
// a separator are dropped). The last part of a name may hold the wildcards "*"
// and "?" ("*.*" matches every name); wildcards match files only, in name
// order. Relative names resolve against the working folder (the data folder).
// Nothing asks the user: existing targets are replaced, missing target folders
// created. A copy or move of several files, or of a wildcard, goes into the
// target folder; of one named file or folder, to the target name (or into it
// when it is an existing folder). Rename never replaces an existing target.
// Recycle moves the names to the desktop trash (Trash.h); Delete removes them
// for good, folders with their contents.
//
// Before each copy, move, rename, delete or recycle, "DEBUG.INI" in the working
// folder gets section "ShFileOp" with "Exec" (1 move, 2 copy, 3 delete or
// recycle, 4 rename), "Source" and "Target" (the name lists, joined with ";").
#pragma once

#include "script/Trash.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace qd {

class EventLog;
class ScriptValues;
class WindowTargeting;

// The operation names of the step editor, in its order.
const std::vector<std::string>& FileActionOperations();

// A name list split at ";" and "|" (empty names left out).
std::vector<std::string> SplitNameList(std::string_view names);

enum class ShellKind { Move = 1, Copy = 2, Delete = 3, Rename = 4 };

// The shell-style file operations behind Copy, Move, Rename, Delete, Recycle.
class ShellFileOps {
public:
    explicit ShellFileOps(std::filesystem::path folder = {}, TrashOptions trash = {})
        : folder_(std::move(folder)), trash_(std::move(trash)) {}

    int Copy(std::string_view from, std::string_view to) { return run(ShellKind::Copy, from, to, false); }
    int Move(std::string_view from, std::string_view to) { return run(ShellKind::Move, from, to, false); }
    int Rename(std::string_view from, std::string_view to) { return run(ShellKind::Rename, from, to, false); }
    int Delete(std::string_view names, bool toRecycleBin) {
        return run(ShellKind::Delete, names, {}, toRecycleBin);
    }
    int Recycle(std::string_view names) { return Delete(names, true); }

    // A name resolved against the working folder.
    std::filesystem::path resolve(std::string_view name) const;

private:
    int run(ShellKind kind, std::string_view from, std::string_view to, bool recycle);
    void writeDebugIni(ShellKind kind, const std::vector<std::string>& from,
                       const std::vector<std::string>& to);

    std::filesystem::path folder_;
    TrashOptions trash_;
};

struct FileActionEnvironment {
    ScriptValues* values = nullptr;     // operands are translated and results stored here (required)
    WindowTargeting* windows = nullptr; // for "Log Windows"; none: nothing is written (result -1)
    EventLog* eventLog = nullptr;       // closed first, so an operation may touch the log file
    std::filesystem::path folder;       // working folder; empty = the current folder
    TrashOptions trash;
};

// Performs one operation and returns its result number (see the table above;
// 0 for an unknown operation, which sets only "Errorcode"). The operands are
// variable-translated first. The FTP and HTTP operations are not performed here:
// the step queue turns them into transfer program starts (FtpHttpSteps.h).
long long DoFileAction(std::string_view operation, std::string_view first, std::string_view second,
                       std::string_view host, std::string_view userAndPassword, FileActionEnvironment& env);

} // namespace qd
