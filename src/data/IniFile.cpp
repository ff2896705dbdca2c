#include "data/IniFile.h"
#include "data/Text.h"

#include "data/FileModes.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qd {
namespace {

namespace fs = std::filesystem;

// Files larger than this are not INI files; reading them is refused.
constexpr off_t kMaxIniSize = 64 * 1024 * 1024;

// What one line of an INI file is.
struct LineInfo {
    enum Kind { Other, Section, Entry } kind = Other;
    std::string_view name;  // section name or key
    std::string_view value; // entry value as written (trimmed)
};

LineInfo classify(std::string_view line) {
    const std::string_view t = text::trimSpace(line);
    LineInfo info;
    if (t.empty() || t.front() == ';') return info;
    if (t.front() == '[') {
        const std::size_t close = t.find(']');
        if (close == std::string_view::npos) return info;
        info.kind = LineInfo::Section;
        info.name = text::trimSpace(t.substr(1, close - 1));
        return info;
    }
    const std::size_t eq = t.find('=');
    if (eq == std::string_view::npos) return info;
    info.name = text::trimSpace(t.substr(0, eq));
    if (info.name.empty()) return info;
    info.kind = LineInfo::Entry;
    info.value = text::trimSpace(t.substr(eq + 1));
    return info;
}

std::string unquote(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return std::string(v);
}

std::string errnoText(int err) {
    return std::strerror(err);
}

bool writeAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

// Replaces the file with the text: temporary file, fsync, rename, fsync of the folder.
IniStatus ReplaceFileAtomically(const fs::path& target, const std::string& text, std::optional<mode_t> mode) {
    const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string tmpl = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0) return IniStatus::failure("Cannot write " + target.string() + ": " + errnoText(errno));
    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;
    bool ok = writeAll(fd, text) && ::fsync(fd) == 0;
    int err = errno;
    if (ok) {
        if (mode) {
            ok = ::fchmod(fd, *mode) == 0;
        } else if (existed) {
            // Keep the owner and the permissions of the file being replaced.
            if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
                // Not permitted for an ordinary user writing a file of another: keep ours.
            }
            ok = ::fchmod(fd, old.st_mode & 07777) == 0;
        } else {
            ok = ::fchmod(fd, static_cast<mode_t>(fileModeFor(dir))) == 0;
        }
        err = errno;
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && ::rename(tmpl.c_str(), target.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        ::unlink(tmpl.c_str());
        return IniStatus::failure("Cannot write " + target.string() + ": " + errnoText(err));
    }
    const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return {};
}

namespace {

// Exclusive lock on a folder for the life of the object (no lock when the folder
// cannot be opened; the write that follows reports that failure).
class FolderLock {
public:
    explicit FolderLock(const fs::path& dir) : fd_(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        if (fd_ >= 0) {
            while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    ~FolderLock() {
        if (fd_ >= 0) ::close(fd_);
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int fd_;
};

std::optional<int> toInt(std::string_view text) {
    const std::string_view t = text::trimSpace(text);
    int v = 0;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), v);
    if (t.empty() || r.ec != std::errc() || r.ptr != t.data() + t.size()) return std::nullopt;
    return v;
}

} // namespace

// ---------------------------------------------------------------------------

fs::path findFileNoCase(const fs::path& folder, std::string_view name) {
    const fs::path dir = folder.empty() ? fs::path(".") : folder;
    const fs::path exact = folder.empty() ? fs::path(name) : folder / name;
    std::error_code ec;
    if (fs::exists(fs::symlink_status(exact, ec))) return exact;
    std::vector<std::string> matches;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string candidate = it->path().filename().string();
        if (text::equalsNoCase(candidate, name)) matches.push_back(candidate);
    }
    if (matches.empty()) return exact;
    std::sort(matches.begin(), matches.end());
    return folder.empty() ? fs::path(matches.front()) : folder / matches.front();
}

// ---------------------------------------------------------------------------
// IniDocument

IniDocument IniDocument::parse(std::string_view text) {
    IniDocument doc;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        doc.bom_ = text.substr(0, 3);
        text.remove_prefix(3);
    }
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t nl = text.find('\n', pos);
        Line line;
        if (nl == std::string_view::npos) {
            line.text = text.substr(pos);
            pos = text.size();
        } else {
            std::size_t end = nl;
            if (end > pos && text[end - 1] == '\r') {
                --end;
                line.ending = "\r\n";
            } else {
                line.ending = "\n";
            }
            line.text = text.substr(pos, end - pos);
            pos = nl + 1;
        }
        doc.lines_.push_back(std::move(line));
    }
    if (!doc.lines_.empty() && !doc.lines_.front().ending.empty()) doc.newline_ = doc.lines_.front().ending;
    return doc;
}

std::string IniDocument::text() const {
    std::string out = bom_;
    for (const Line& l : lines_) {
        out += l.text;
        out += l.ending;
    }
    return out;
}

std::size_t IniDocument::findSection(std::string_view section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const LineInfo info = classify(lines_[i].text);
        if (info.kind == LineInfo::Section && text::equalsNoCase(info.name, text::trimSpace(section)))
            return i;
    }
    return std::string::npos;
}

std::size_t IniDocument::sectionEnd(std::size_t header) const {
    std::size_t i = header + 1;
    while (i < lines_.size() && classify(lines_[i].text).kind != LineInfo::Section)
        ++i;
    return i;
}

void IniDocument::ensureEnding(std::size_t line) {
    if (line < lines_.size() && lines_[line].ending.empty()) lines_[line].ending = newline_;
}

std::optional<std::string> IniDocument::find(std::string_view section, std::string_view key) const {
    const std::size_t header = findSection(section);
    if (header == std::string::npos) return std::nullopt;
    const std::size_t end = sectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i) {
        const LineInfo info = classify(lines_[i].text);
        if (info.kind == LineInfo::Entry && text::equalsNoCase(info.name, text::trimSpace(key)))
            return unquote(info.value);
    }
    return std::nullopt;
}

std::string IniDocument::get(std::string_view section, std::string_view key,
                             std::string_view fallback) const {
    auto v = find(section, key);
    return v ? std::move(*v) : std::string(fallback);
}

std::vector<std::string> IniDocument::sections() const {
    std::vector<std::string> out;
    for (const Line& l : lines_) {
        const LineInfo info = classify(l.text);
        if (info.kind != LineInfo::Section) continue;
        const bool seen = std::any_of(out.begin(), out.end(),
                                      [&](const std::string& s) { return text::equalsNoCase(s, info.name); });
        if (!seen) out.emplace_back(info.name);
    }
    return out;
}

std::vector<std::pair<std::string, std::string>> IniDocument::entries(std::string_view section) const {
    std::vector<std::pair<std::string, std::string>> out;
    const std::size_t header = findSection(section);
    if (header == std::string::npos) return out;
    const std::size_t end = sectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i) {
        const LineInfo info = classify(lines_[i].text);
        if (info.kind == LineInfo::Entry) out.emplace_back(std::string(info.name), unquote(info.value));
    }
    return out;
}

std::string IniDocument::checkEntry(std::string_view section, std::string_view key, std::string_view value) {
    auto hasBreak = [](std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; };
    if (text::trimSpace(section).empty()) return "the section name is empty";
    if (hasBreak(section) || section.find(']') != std::string_view::npos)
        return "the section name \"" + std::string(section) + "\" contains a line break or \"]\"";
    const std::string_view k = text::trimSpace(key);
    if (k.empty()) return "the key name is empty";
    if (hasBreak(key) || key.find('=') != std::string_view::npos || k.front() == '[' || k.front() == ';')
        return "the key name \"" + std::string(key) + "\" cannot be written as a key";
    if (hasBreak(value)) return "the value of \"" + std::string(key) + "\" contains a line break";
    return {};
}

bool IniDocument::set(std::string_view section, std::string_view key, std::string_view value) {
    if (!checkEntry(section, key, value).empty()) return false;
    const std::string_view k = text::trimSpace(key);
    const std::size_t header = findSection(section);
    if (header == std::string::npos) {
        if (!lines_.empty()) ensureEnding(lines_.size() - 1);
        lines_.push_back({"[" + std::string(text::trimSpace(section)) + "]", newline_});
        lines_.push_back({std::string(k) + "=" + std::string(value), newline_});
        return true;
    }
    const std::size_t end = sectionEnd(header);
    std::size_t insertAt = header + 1;
    for (std::size_t i = header + 1; i < end; ++i) {
        const LineInfo info = classify(lines_[i].text);
        if (info.kind != LineInfo::Entry) continue;
        if (text::equalsNoCase(info.name, k)) {
            std::string line = std::string(info.name) + "=" + std::string(value);
            if (line == lines_[i].text) return false;
            lines_[i].text = std::move(line);
            return true;
        }
        insertAt = i + 1;
    }
    ensureEnding(insertAt - 1);
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt),
                  Line{std::string(k) + "=" + std::string(value), newline_});
    return true;
}

bool IniDocument::removeKey(std::string_view section, std::string_view key) {
    if (text::trimSpace(key).empty()) return false;
    const std::size_t header = findSection(section);
    if (header == std::string::npos) return false;
    std::size_t end = sectionEnd(header);
    bool changed = false;
    for (std::size_t i = header + 1; i < end;) {
        const LineInfo info = classify(lines_[i].text);
        if (info.kind == LineInfo::Entry && text::equalsNoCase(info.name, text::trimSpace(key))) {
            lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
            --end;
            changed = true;
        } else {
            ++i;
        }
    }
    return changed;
}

bool IniDocument::removeSection(std::string_view section) {
    if (text::trimSpace(section).empty()) return false;
    bool changed = false;
    for (std::size_t header = findSection(section); header != std::string::npos;
         header = findSection(section)) {
        const std::size_t end = sectionEnd(header);
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(header),
                     lines_.begin() + static_cast<std::ptrdiff_t>(end));
        changed = true;
    }
    return changed;
}

// ---------------------------------------------------------------------------
// IniFile

IniFile::IniFile(fs::path folder, std::string name) : folder_(std::move(folder)), name_(std::move(name)) {}

IniFile::IniFile(const fs::path& file) : folder_(file.parent_path()), name_(file.filename().string()) {}

fs::path IniFile::path() const {
    return findFileNoCase(folder_, name_);
}

IniStatus IniFile::load(IniDocument& doc) const {
    const fs::path p = path();
    // Non-blocking, so that a FIFO under the settings file's name cannot hold us.
    const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT) {
            doc = IniDocument{};
            return {};
        }
        return IniStatus::failure("Cannot read " + p.string() + ": " + errnoText(errno));
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return IniStatus::failure("Cannot read " + p.string() + ": not a regular file");
    }
    if (st.st_size > kMaxIniSize) {
        ::close(fd);
        return IniStatus::failure("Cannot read " + p.string() +
                                  ": the file is too large for a settings file");
    }
    std::string text;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int err = errno;
            ::close(fd);
            return IniStatus::failure("Cannot read " + p.string() + ": " + errnoText(err));
        }
        if (n == 0) break;
        text.append(buf, static_cast<std::size_t>(n));
        if (static_cast<off_t>(text.size()) > kMaxIniSize) {
            ::close(fd);
            return IniStatus::failure("Cannot read " + p.string() +
                                      ": the file is too large for a settings file");
        }
    }
    ::close(fd);
    doc = IniDocument::parse(text);
    return {};
}

std::optional<std::string> IniFile::find(std::string_view section, std::string_view key) const {
    IniDocument doc;
    if (!load(doc)) return std::nullopt;
    return doc.find(section, key);
}

std::string IniFile::get(std::string_view section, std::string_view key, std::string_view fallback) const {
    auto v = find(section, key);
    return v ? std::move(*v) : std::string(fallback);
}

IniStatus IniFile::modify(const std::function<bool(IniDocument&)>& change) {
    const fs::path dir = folder_.empty() ? fs::path(".") : folder_;
    FolderLock lock(dir);
    fs::path target = path();
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(target, ec))) {
        // Write through a link to the file it names instead of replacing the link.
        const fs::path resolved = fs::weakly_canonical(target, ec);
        if (!ec) target = resolved;
    }
    IniDocument doc;
    if (IniStatus s = load(doc); !s) return s;
    if (!change(doc)) return {};
    return ReplaceFileAtomically(target, doc.text());
}

IniStatus IniFile::set(std::string_view section, std::string_view key, std::string_view value) {
    if (std::string why = IniDocument::checkEntry(section, key, value); !why.empty())
        return IniStatus::failure("Cannot write " + path().string() + ": " + why);
    return modify([&](IniDocument& doc) { return doc.set(section, key, value); });
}

IniStatus IniFile::removeKey(std::string_view section, std::string_view key) {
    return modify([&](IniDocument& doc) { return doc.removeKey(section, key); });
}

IniStatus IniFile::removeSection(std::string_view section) {
    return modify([&](IniDocument& doc) { return doc.removeSection(section); });
}

// ---------------------------------------------------------------------------
// INIClass

INIClass::INIClass(fs::path folder, std::string fileName) : file_(std::move(folder), std::move(fileName)) {}

std::optional<WindowPosition> INIClass::fetch(std::string_view window, bool resizable) const {
    IniDocument doc;
    if (!file_.load(doc)) return std::nullopt;
    const auto x = toInt(doc.get(window, "XPos"));
    const auto y = toInt(doc.get(window, "YPos"));
    if (!x || !y) return std::nullopt;
    WindowPosition pos;
    pos.x = *x;
    pos.y = *y;
    pos.maximized = text::equalsNoCase(text::trimSpace(doc.get(window, "Maximize")), "Yes");
    if (resizable) {
        const auto w = toInt(doc.get(window, "Width"));
        const auto h = toInt(doc.get(window, "Height"));
        if (w && h && *w > 0 && *h > 0) {
            pos.width = *w;
            pos.height = *h;
        }
    }
    return pos;
}

IniStatus INIClass::update(std::string_view window, const WindowPosition& position, bool resizable) {
    if (std::string why = IniDocument::checkEntry(window, "XPos", ""); !why.empty())
        return IniStatus::failure("Cannot write " + file_.path().string() + ": " + why);
    return file_.modify([&](IniDocument& doc) {
        bool changed = doc.set(window, "Maximize", position.maximized ? "Yes" : "No");
        changed = doc.set(window, "XPos", std::to_string(position.x)) || changed;
        changed = doc.set(window, "YPos", std::to_string(position.y)) || changed;
        if (resizable && position.width > 0 && position.height > 0) {
            changed = doc.set(window, "Width", std::to_string(position.width)) || changed;
            changed = doc.set(window, "Height", std::to_string(position.height)) || changed;
        }
        return changed;
    });
}

std::string INIClass::fetchValue(std::string_view section, std::string_view key,
                                 std::string_view fallback) const {
    return file_.get(section, key, fallback);
}

IniStatus INIClass::updateValue(std::string_view section, std::string_view key, std::string_view value) {
    return file_.set(section, key, value);
}

} // namespace qd
