#include "script/FileActions.h"

#include "data/EventLog.h"
#include "data/IniFile.h"
#include "script/ScriptStrings.h"
#include "script/Values.h"
#include "script/WindowTargeting.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>

namespace qd {

namespace fs = std::filesystem;

namespace {

bool hasWildcard(std::string_view s) {
    return s.find_first_of("*?") != std::string_view::npos;
}

bool wildcardMatch(std::string_view pattern, std::string_view name) {
    if (pattern == "*.*") return true;
    std::size_t p = 0, n = 0, star = std::string_view::npos, mark = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            mark = n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

int errnoOf(const std::error_code& ec) {
    return ec ? (ec.value() ? ec.value() : EIO) : 0;
}

// The regular files of a folder whose names match a wildcard, in name order.
std::vector<fs::path> matchFiles(const fs::path& pattern, int& error) {
    std::vector<fs::path> found;
    const fs::path dir = pattern.has_parent_path() ? pattern.parent_path() : fs::path(".");
    const std::string mask = pattern.filename().string();
    std::error_code ec;
    fs::directory_iterator it(dir, ec);
    if (ec) {
        error = errnoOf(ec);
        return found;
    }
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) {
            error = errnoOf(ec);
            break;
        }
        std::error_code sec;
        if (!it->is_regular_file(sec)) continue;
        if (wildcardMatch(mask, it->path().filename().string())) found.push_back(it->path());
    }
    std::sort(found.begin(), found.end());
    return found;
}

// Files named by one name: itself (when it is a file) or the wildcard's matches.
std::vector<fs::path> filesNamed(const fs::path& name, int& error) {
    if (hasWildcard(name.filename().string())) return matchFiles(name, error);
    std::error_code ec;
    if (fs::is_regular_file(name, ec)) return {name};
    error = ec ? errnoOf(ec) : 0;
    return {};
}

bool existsNoFollow(const fs::path& p) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0;
}

// Whether `inner` is `outer` itself or lies inside it (both resolved).
bool isWithin(const fs::path& inner, const fs::path& outer) {
    std::error_code ec;
    fs::path a = fs::weakly_canonical(inner, ec);
    if (ec) return false;
    fs::path b = fs::weakly_canonical(outer, ec);
    if (ec) return false;
    if (!a.has_filename()) a = a.parent_path();
    if (!b.has_filename()) b = b.parent_path();
    return std::mismatch(b.begin(), b.end(), a.begin(), a.end()).first == b.end();
}

// Copies a file, or a folder with its contents. A named link is followed; links
// inside a copied folder are copied as links, so a link to a parent folder (or
// to itself) cannot make the copy endless. A folder is never copied into itself.
int copyItem(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    if (fs::equivalent(from, to, ec)) return EINVAL;
    ec.clear();
    if (fs::is_directory(from, ec)) {
        if (isWithin(to, from)) return EINVAL;
        fs::path source = from;
        if (fs::is_symlink(from, ec)) source = fs::canonical(from, ec);
        if (ec) return errnoOf(ec);
        fs::copy(source, to,
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing |
                     fs::copy_options::copy_symlinks,
                 ec);
    } else {
        if (ec) return errnoOf(ec);
        if (fs::is_directory(to, ec)) return EISDIR;
        fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    }
    return errnoOf(ec);
}

int moveItem(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    if (fs::equivalent(from, to, ec)) return 0;
    if (::rename(from.c_str(), to.c_str()) == 0) return 0;
    if (errno != EXDEV) return errno;
    if (int e = copyItem(from, to)) return e;
    fs::remove_all(from, ec);
    return errnoOf(ec);
}

std::string joined(const std::vector<std::string>& names) {
    std::string s;
    for (const auto& n : names) {
        if (!s.empty()) s += ';';
        s += n;
    }
    return s;
}

std::string fileDate(const struct stat& st) {
    std::tm tm{};
    const std::time_t t = st.st_mtime;
    localtime_r(&t, &tm);
    char b[32];
    std::snprintf(b, sizeof b, "%04d%02d%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
    return b;
}

std::string fileTime(const struct stat& st) {
    std::tm tm{};
    const std::time_t t = st.st_mtime;
    localtime_r(&t, &tm);
    char b[32];
    std::snprintf(b, sizeof b, "%d%02d%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
    return b;
}

} // namespace

const std::vector<std::string>& FileActionOperations() {
    static const std::vector<std::string> ops = {
        "Copy",          "Move",           "Rename",           "Recycle",
        "Delete",        "Make Directory", "Remove Directory", "Get File Date",
        "Get File Time", "Get File Size",  "If File Exists",   "Log Windows",
        "FTP Upload",    "FTP Download",   "HTTP Download"};
    return ops;
}

std::vector<std::string> SplitNameList(std::string_view names) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= names.size(); ++i) {
        if (i < names.size() && names[i] != ';' && names[i] != '|') continue;
        std::string_view part = names.substr(start, i - start);
        if (start > 0) part = text::trimLeft(part); // blanks after a separator
        part = text::trimRight(part);
        if (!part.empty()) out.emplace_back(part);
        start = i + 1;
    }
    return out;
}

fs::path ShellFileOps::resolve(std::string_view name) const {
    fs::path p{std::string(name)};
    if (p.is_relative() && !folder_.empty()) p = folder_ / p;
    return p;
}

void ShellFileOps::writeDebugIni(ShellKind kind, const std::vector<std::string>& from,
                                 const std::vector<std::string>& to) {
    const fs::path folder = folder_.empty() ? fs::path(".") : folder_;
    IniFile ini(folder, kDebugIniName);
    ini.modify([&](IniDocument& doc) {
        const std::string source = joined(from);
        const std::string target = joined(to);
        bool changed = doc.set("ShFileOp", "Exec", std::to_string(static_cast<int>(kind)));
        if (IniDocument::checkEntry("ShFileOp", "Source", source).empty())
            changed = doc.set("ShFileOp", "Source", source) || changed;
        else
            changed = doc.set("ShFileOp", "Source", "?") || changed;
        if (IniDocument::checkEntry("ShFileOp", "Target", target).empty())
            changed = doc.set("ShFileOp", "Target", target) || changed;
        else
            changed = doc.set("ShFileOp", "Target", "?") || changed;
        return changed;
    });
}

int ShellFileOps::run(ShellKind kind, std::string_view fromText, std::string_view toText, bool recycle) {
    const std::vector<std::string> fromNames = SplitNameList(fromText);
    const std::vector<std::string> toNames = SplitNameList(toText);
    writeDebugIni(kind, fromNames, toNames);

    // The sources: every name must exist; a wildcard may match nothing.
    std::vector<fs::path> sources;
    bool wildcard = false;
    for (const auto& n : fromNames) {
        const fs::path p = resolve(n);
        if (hasWildcard(p.filename().string())) {
            wildcard = true;
            int error = 0;
            auto matched = matchFiles(p, error);
            if (error) return error;
            sources.insert(sources.end(), matched.begin(), matched.end());
        } else {
            if (!existsNoFollow(p)) return ENOENT;
            sources.push_back(p);
        }
    }
    if (sources.empty()) return ENOENT;

    if (kind == ShellKind::Delete) {
        for (const auto& s : sources) {
            if (recycle) {
                if (TrashResult t = moveToTrash(s, trash_); !t) return t.error;
            } else {
                std::error_code ec;
                fs::remove_all(s, ec);
                if (ec) return errnoOf(ec);
            }
        }
        return 0;
    }

    const fs::path target = toNames.empty() ? resolve(".") : resolve(toNames.front());
    std::error_code ec;
    if (kind == ShellKind::Rename) {
        if (existsNoFollow(target) && !fs::equivalent(sources.front(), target, ec)) return EEXIST;
        return moveItem(sources.front(), target);
    }

    const bool intoFolder = fs::is_directory(target, ec) || sources.size() > 1 || wildcard;
    if (intoFolder) {
        fs::create_directories(target, ec);
        std::error_code check;
        if (!fs::is_directory(target, check)) return ec ? errnoOf(ec) : check ? errnoOf(check) : ENOTDIR;
    } else if (target.has_parent_path()) {
        fs::create_directories(target.parent_path(), ec);
    }
    for (const auto& s : sources) {
        const fs::path dest = intoFolder ? target / s.filename() : target;
        const int e = kind == ShellKind::Copy ? copyItem(s, dest) : moveItem(s, dest);
        if (e) return e;
    }
    return 0;
}

long long DoFileAction(std::string_view operation, std::string_view firstOperand,
                       std::string_view secondOperand, std::string_view /*host*/,
                       std::string_view /*userAndPassword*/, FileActionEnvironment& env) {
    if (env.eventLog) env.eventLog->close();
    ScriptValues& values = env.values ? *env.values : processScriptValues();
    const std::string first = values.TranslateText(firstOperand);
    const std::string second = values.TranslateText(secondOperand);
    ShellFileOps shell(env.folder, env.trash);
    const std::string op(text::trimRight(operation));
    long long result = 0;
    int error = 0;
    auto set = [&](const char* name, long long v) { values.SetValue(name, std::to_string(v)); };

    if (op == "Copy" || op == "Move" || op == "Rename" || op == "Delete" || op == "Recycle") {
        if (op == "Copy") result = shell.Copy(first, second);
        if (op == "Move") result = shell.Move(first, second);
        if (op == "Rename") result = shell.Rename(first, second);
        if (op == "Delete") result = shell.Delete(first, false);
        if (op == "Recycle") result = shell.Recycle(first);
        error = static_cast<int>(result);
        if (op == "Copy" || op == "Rename") set("FileCopy", result);
        if (op == "Rename") set("FileRename", result);
        if (op == "Move") set("FileMove", result);
        if (op == "Delete" || op == "Recycle") set("FileDelete", result);
    } else if (op == "Make Directory" || op == "Remove Directory") {
        const std::string name(text::trim(first));
        const bool make = op == "Make Directory";
        if (!name.empty()) {
            const fs::path p = shell.resolve(name);
            std::error_code ec;
            if (make) {
                if (::mkdir(p.c_str(), 0777) != 0) error = errno;
                result = fs::is_directory(p, ec) ? 1 : 0;
            } else {
                if (::rmdir(p.c_str()) != 0 && errno != ENOENT) error = errno;
                result = existsNoFollow(p) ? 0 : 1;
            }
            if (result == 1) error = 0;
        }
        set(make ? "DirCreate" : "DirRemove", result);
    } else if (op == "Get File Date" || op == "Get File Time" || op == "Get File Size") {
        std::string text = "0";
        if (!text::trim(first).empty()) {
            const auto files = filesNamed(shell.resolve(text::trimRight(first)), error);
            struct stat st {};
            if (!files.empty() && ::stat(files.front().c_str(), &st) == 0) {
                if (op == "Get File Date") text = fileDate(st);
                if (op == "Get File Time") text = fileTime(st);
                if (op == "Get File Size") text = std::to_string(static_cast<long long>(st.st_size));
            }
        }
        result = std::stoll(text);
        values.SetValue(op == "Get File Date"   ? "FileDate"
                        : op == "Get File Time" ? "FileTime"
                                                : "FileSize",
                        text);
    } else if (op == "If File Exists" || op == "File Exists") {
        const std::string name(text::trimRight(first));
        if (!name.empty()) {
            const fs::path p = shell.resolve(name);
            if (hasWildcard(p.filename().string()))
                result = matchFiles(p, error).empty() ? 0 : 1;
            else
                result = existsNoFollow(p) ? 1 : 0;
        }
        set("FileExists", result);
    } else if (op == "Log Windows") {
        result = env.windows ? env.windows->LogWindows(shell.resolve(text::trimRight(first)).string()) : -1;
        if (result < 0) error = EIO;
    }
    set("Errorcode", error);
    return result;
}

} // namespace qd
