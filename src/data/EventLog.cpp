#include "data/EventLog.h"

#include "data/FileModes.h"

#include "data/Clock.h"
#include "data/IniFile.h"
#include "data/Pictures.h"
#include "data/TextWidth.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qd {
namespace {

namespace fs = std::filesystem;

// The text cut to the width (whole UTF-8 characters only), control characters
// turned into blanks, padded with blanks to exactly the width in bytes: the
// columns of a line start at fixed byte positions.
std::string column(std::string_view text, std::size_t width) {
    std::string out(cutText(text, width, width));
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    out.resize(width, ' ');
    return out;
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

std::string fieldAt(std::string_view line, std::size_t start, std::size_t width) {
    if (start >= line.size()) return {};
    return std::string(trimBlanks(line.substr(start, width)));
}

} // namespace

std::string formatLogLine(Moment when, std::string_view dateFormat, std::string_view label,
                          std::string_view detail) {
    std::string date = formatUserDate(when.date, dateFormat);
    if (date.size() > EventLog::kDateWidth) date = formatDate(when.date, "@d3");
    std::string line;
    line.reserve(EventLog::kLineWidth);
    line += column(date, EventLog::kDateWidth);
    line += column(formatTime(when.time, "@t7"), EventLog::kTimeWidth);
    line += column(label, EventLog::kLabelWidth);
    line += column(detail, EventLog::kDetailWidth);
    return line;
}

QD_LOGRecord parseLogLine(std::string_view line) {
    QD_LOGRecord r;
    std::size_t pos = 0;
    r.LogDate = fieldAt(line, pos, EventLog::kDateWidth);
    pos += EventLog::kDateWidth;
    r.LogTime = fieldAt(line, pos, EventLog::kTimeWidth);
    pos += EventLog::kTimeWidth;
    r.LogLabel = fieldAt(line, pos, EventLog::kLabelWidth);
    pos += EventLog::kLabelWidth;
    r.LogData = fieldAt(line, pos, EventLog::kDetailWidth);
    return r;
}

// ---------------------------------------------------------------------------

EventLog::EventLog(EventLogConfig config, const Clock* clock) : config_(std::move(config)), clock_(clock) {}

EventLog::~EventLog() {
    close();
}

void EventLog::configure(EventLogConfig config) {
    std::lock_guard lock(mutex_);
    if (config.dataFolder != config_.dataFolder) closeLocked();
    config_ = std::move(config);
}

EventLogConfig EventLog::config() const {
    std::lock_guard lock(mutex_);
    return config_;
}

fs::path EventLog::filePath() const {
    std::lock_guard lock(mutex_);
    return findFileNoCase(config_.dataFolder, kFileName);
}

bool EventLog::isOpen() const {
    std::lock_guard lock(mutex_);
    return fd_ >= 0;
}

int EventLog::writeCount() const {
    std::lock_guard lock(mutex_);
    return writes_;
}

void EventLog::close() {
    std::lock_guard lock(mutex_);
    closeLocked();
}

void EventLog::closeLocked() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    writes_ = 0;
}

LogStatus EventLog::openLocked() {
    const fs::path path = findFileNoCase(config_.dataFolder, kFileName);
    if (fd_ >= 0) {
        // A file deleted or replaced since it was opened (the user trimmed the log)
        // would swallow the lines written to it: open the one now at the path.
        struct stat now {};
        if (path == openPath_ && ::stat(path.c_str(), &now) == 0 && now.st_dev == openDev_ &&
            now.st_ino == openIno_)
            return {};
        closeLocked();
    }
    // A new log gets the folder's permissions whatever the umask.
    const mode_t mode = static_cast<mode_t>(fileModeFor(path.parent_path()));
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0)
        ::fchmod(fd, mode);
    else if (errno == EEXIST)
        fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0)
        return LogStatus{false, "Cannot open the event log " + path.string() + ": " + std::strerror(errno)};
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return LogStatus{false, "Cannot open the event log " + path.string() + ": not a regular file"};
    }
    fd_ = fd;
    writes_ = 0;
    openPath_ = path;
    openDev_ = st.st_dev;
    openIno_ = st.st_ino;
    return {};
}

LogStatus EventLog::write(std::string_view detail, std::string_view label) {
    if (LogStatus s = openLocked(); !s) return s;
    ++writes_;
    const Clock& clock = clock_ ? *clock_ : systemClock();
    const std::string line = formatLogLine(clock.now(), config_.dateFormat, label, detail) + "\n";

    // Lock the file that is at the name now: another process may have moved the
    // full one aside since this one was opened.
    for (int attempt = 0;; ++attempt) {
        while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
        }
        struct stat atName {};
        struct stat mine {};
        const bool current = ::stat(openPath_.c_str(), &atName) == 0 && ::fstat(fd_, &mine) == 0 &&
                             atName.st_dev == mine.st_dev && atName.st_ino == mine.st_ino;
        if (current && (mine.st_size == 0 ||
                        static_cast<std::uintmax_t>(mine.st_size) + line.size() <= config_.maxBytes))
            break;
        if (current && attempt < 3) {
            fs::path previous = openPath_;
            previous += ".1";
            ::rename(openPath_.c_str(), previous.c_str());
        }
        ::flock(fd_, LOCK_UN);
        if (attempt >= 3) {
            // Cannot rotate (a read-only folder, say): keep appending rather than lose the line.
            while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
            break;
        }
        closeLocked();
        if (LogStatus s = openLocked(); !s) return s;
    }
    std::size_t done = 0;
    int err = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(fd_, line.data() + done, line.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            err = errno;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    ::flock(fd_, LOCK_UN);

    if (err != 0) {
        const std::string path = openPath_.string();
        closeLocked();
        return LogStatus{false, "Cannot write the event log " + path + ": " + std::strerror(err)};
    }
    if (writes_ >= kWritesPerOpen) closeLocked();
    return {};
}

void EventLog::setObserver(Observer observer) {
    std::lock_guard lock(mutex_);
    observer_ = std::move(observer);
}

LogStatus EventLog::log(std::string_view detail, std::string_view label) {
    Observer observer;
    {
        std::lock_guard lock(mutex_);
        observer = observer_;
    }
    if (observer) observer(detail, label);
    std::lock_guard lock(mutex_);
    if (!config_.logEvents) return {};
    return write(detail, label);
}

LogStatus EventLog::logDebug(std::string_view detail, std::string_view label) {
    std::lock_guard lock(mutex_);
    if (!config_.logEvents || !config_.debugMode) return {};
    return write(detail, label);
}

EventLog::View EventLog::prepareView() {
    std::lock_guard lock(mutex_);
    View view;
    if (!config_.logEvents)
        view.status = write("Logging is not enabled in configuration.", "View Log - Logging disabled");
    view.path = findFileNoCase(config_.dataFolder, kFileName);
    return view;
}

// ---------------------------------------------------------------------------

LogTail readLogTail(const fs::path& dataFolder, std::size_t count) {
    LogTail tail;
    if (count == 0) return tail;
    const fs::path path = findFileNoCase(dataFolder, EventLog::kFileName);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT)
            tail.status =
                LogStatus{false, "Cannot read the event log " + path.string() + ": " + std::strerror(errno)};
        return tail;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        tail.status = LogStatus{false, "Cannot read the event log " + path.string() + ": not a regular file"};
        return tail;
    }
    // Read backwards in blocks until the text holds more line ends than lines wanted.
    std::string text;
    off_t end = st.st_size;
    std::size_t newlines = 0;
    constexpr off_t kBlock = 64 * 1024;
    while (end > 0 && newlines <= count) {
        const off_t start = std::max<off_t>(0, end - kBlock);
        std::string block(static_cast<std::size_t>(end - start), '\0');
        std::size_t got = 0;
        while (got < block.size()) {
            const ssize_t n =
                ::pread(fd, block.data() + got, block.size() - got, start + static_cast<off_t>(got));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        if (got < block.size()) {
            const int err = errno;
            ::close(fd);
            tail.status =
                LogStatus{false, "Cannot read the event log " + path.string() + ": " +
                                     (err != 0 ? std::strerror(err) : "the file shrank while reading")};
            return tail;
        }
        newlines += static_cast<std::size_t>(std::count(block.begin(), block.end(), '\n'));
        text.insert(0, block);
        end = start;
    }
    ::close(fd);

    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t nl = text.find('\n', pos);
        if (nl == std::string::npos) nl = text.size();
        std::string_view l(text.data() + pos, nl - pos);
        if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
        lines.emplace_back(l);
        pos = nl + 1;
    }
    // When reading stopped inside the file, the first piece is part of an older line.
    if (end > 0 && !lines.empty()) lines.erase(lines.begin());
    if (lines.size() > count) lines.erase(lines.begin(), lines.end() - static_cast<std::ptrdiff_t>(count));
    tail.lines = std::move(lines);
    return tail;
}

} // namespace qd
