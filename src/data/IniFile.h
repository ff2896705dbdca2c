// INI files ("qd98.INI", "PATHS.INI", "POSITION.INI", "QDMSG.INI", "DEBUG.INI").
//
// Profile semantics: "[Section]" lines open sections, "key=value" lines inside a
// section are entries; section and key names compare without regard to case; the
// first section and the first key of a name win; values are read without the
// blanks around them and without one pair of enclosing quotes. Every other line
// (comments, text before the first section, garbage, binary bytes) is kept exactly
// as it is and ignored by lookups.
//
// Every operation reads the file afresh, because other processes write the same
// files. A write changes only the lines it must, keeps the file's line ends (LF or
// CRLF), and replaces the file atomically: the new text goes to a temporary file in
// the same folder that is then renamed over the old one, so a crash leaves either
// the old or the new file, never half of one. Writers in one folder are serialised
// by a lock on the folder.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace qd {

// The INI files of the program, all in the data folder.
inline constexpr const char* kProgramIniName = "qd98.INI"; // sections "Settings" (incl. "Debug"), "Warning"
inline constexpr const char* kPathsIniName = "PATHS.INI";  // section "DATA", key "PATH"
inline constexpr const char* kPositionIniName = "POSITION.INI";
inline constexpr const char* kMessageIniName = "QDMSG.INI"; // last forward recipient
inline constexpr const char* kDebugIniName = "DEBUG.INI";   // written before shell file operations

// Outcome of a file operation: ok, or a message that says what failed and why.
struct IniStatus {
    bool ok = true;
    std::string message;

    explicit operator bool() const { return ok; }
    static IniStatus failure(std::string text) { return IniStatus{false, std::move(text)}; }
};

// Replaces `file` by `text` atomically: a temporary file in the same folder,
// fsync, rename over the file, fsync of the folder; a failure leaves the old
// file. The new file gets `mode` when given (also over a file that had other
// permissions), otherwise the permissions of the file it replaces, or the
// default ones for a new file.
IniStatus ReplaceFileAtomically(const std::filesystem::path& file, const std::string& text,
                                std::optional<mode_t> mode = std::nullopt);

// The file in `folder` whose name equals `name` without regard to case (the exact
// spelling first); folder / name when there is none.
std::filesystem::path findFileNoCase(const std::filesystem::path& folder, std::string_view name);

// An INI text in memory. Lines are kept as read; edits touch only their own lines.
class IniDocument {
public:
    static IniDocument parse(std::string_view text);
    std::string text() const;

    std::optional<std::string> find(std::string_view section, std::string_view key) const;
    std::string get(std::string_view section, std::string_view key, std::string_view fallback = {}) const;
    // The names of the sections, in file order (each name once).
    std::vector<std::string> sections() const;
    // The entries of the first section of that name, in file order.
    std::vector<std::pair<std::string, std::string>> entries(std::string_view section) const;

    // Edits; each returns whether the text changed. Names and values must pass
    // checkEntry (set) or be non-empty (removals); otherwise nothing changes.
    bool set(std::string_view section, std::string_view key, std::string_view value);
    bool removeKey(std::string_view section, std::string_view key);
    bool removeSection(std::string_view section);

    // Empty when the section, key and value can be written as one entry, else why not.
    static std::string checkEntry(std::string_view section, std::string_view key, std::string_view value);

private:
    struct Line {
        std::string text;
        std::string ending; // "\n", "\r\n", or "" for a last line without one
    };
    // Index of the first header line of the section, or npos.
    std::size_t findSection(std::string_view section) const;
    // One past the last line of the section that starts at header.
    std::size_t sectionEnd(std::size_t header) const;
    void ensureEnding(std::size_t line);

    std::vector<Line> lines_;
    std::string bom_;
    std::string newline_ = "\n";
};

// One INI file on disk.
class IniFile {
public:
    // The file `name` in `folder` (matched without regard to case; an empty folder
    // is the current folder).
    IniFile(std::filesystem::path folder, std::string name);
    // The file at that path (its name matched without regard to case in its folder).
    explicit IniFile(const std::filesystem::path& file);

    // The existing file that matches, else the path a write creates.
    std::filesystem::path path() const;

    // The value, or the fallback when the key, the section or the file is missing
    // or cannot be read.
    std::string get(std::string_view section, std::string_view key, std::string_view fallback = {}) const;
    std::optional<std::string> find(std::string_view section, std::string_view key) const;

    // Writes one entry, creating the file and the section when missing.
    IniStatus set(std::string_view section, std::string_view key, std::string_view value);
    IniStatus removeKey(std::string_view section, std::string_view key);
    IniStatus removeSection(std::string_view section);

    // The whole file; a missing file is an empty document, an unreadable one an error.
    IniStatus load(IniDocument& doc) const;
    // Reads the file, applies the change under the folder's write lock and writes
    // the result when the change returns true.
    IniStatus modify(const std::function<bool(IniDocument&)>& change);

private:
    std::filesystem::path folder_;
    std::string name_;
};

// A window's saved place on the screen.
struct WindowPosition {
    bool maximized = false;
    int x = 0;
    int y = 0;
    int width = 0;  // resizable windows only; 0 = not saved
    int height = 0; // resizable windows only; 0 = not saved
};

// The window-position manager: one section per window in "POSITION.INI" with the
// keys "Maximize" ("Yes"/"No"), "XPos", "YPos" and, for resizable windows,
// "Width" and "Height".
class INIClass {
public:
    explicit INIClass(std::filesystem::path folder, std::string fileName = kPositionIniName);

    // The saved position; nullopt when the window has none (no valid XPos and YPos).
    std::optional<WindowPosition> fetch(std::string_view window, bool resizable) const;
    // Saves the position (one write for all keys).
    IniStatus update(std::string_view window, const WindowPosition& position, bool resizable);

    // Any other value kept in the same file.
    std::string fetchValue(std::string_view section, std::string_view key,
                           std::string_view fallback = {}) const;
    IniStatus updateValue(std::string_view section, std::string_view key, std::string_view value);

    const IniFile& file() const { return file_; }

private:
    IniFile file_;
};

} // namespace qd
