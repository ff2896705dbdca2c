// The event log: "QD98Evnt.LOG" in the data folder, one fixed-width line per event.
//
// Each line holds four blank-padded columns and a line feed:
//   1-12 date    the user's date format; "@d3" when that text is wider than 12
//   13-22 time   "@t7"
//   23-54 label  cut to 32 bytes
//   55-182 detail cut to 128 bytes
// Cuts never split a UTF-8 character, and control characters (line breaks, tabs)
// in a label or detail become blanks so that one event stays one line.
//
// Several threads and several processes append to the same file. Each line goes
// out in one write() to a file opened with O_APPEND, under an exclusive flock, so
// lines are never torn or interleaved.
//
// The log does not grow without bound: a line that would take the file past
// maxBytes first moves it to "QD98Evnt.LOG.1" (replacing the one before) and
// starts a new file, so at most two files of about maxBytes each are kept.
#pragma once

#include "data/Calendar.h"
#include "data/Records.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace qd {

class Clock;

// What the log needs from the settings; the settings module feeds it.
struct EventLogConfig {
    std::filesystem::path dataFolder;   // folder of the log file; empty = current folder
    std::string dateFormat = "d3";      // the DateFormat setting ("d3", "d17", "n4b"...)
    bool logEvents = false;             // the LogEvents setting: nothing is written when off
    bool debugMode = false;             // debug mode: logDebug lines are written too
    std::uintmax_t maxBytes = 8u << 20; // size at which the file is moved to ".1" and started anew
};

// Outcome of a log operation: ok, or a message that says what failed and why.
struct LogStatus {
    bool ok = true;
    std::string message;

    explicit operator bool() const { return ok; }
};

class EventLog {
public:
    static constexpr const char* kFileName = "QD98Evnt.LOG";
    static constexpr std::size_t kDateWidth = 12;
    static constexpr std::size_t kTimeWidth = 10;
    static constexpr std::size_t kLabelWidth = 32;
    static constexpr std::size_t kDetailWidth = 128;
    static constexpr std::size_t kLineWidth = kDateWidth + kTimeWidth + kLabelWidth + kDetailWidth; // 182
    // The file is kept open for this many writes, then closed until the next one.
    static constexpr int kWritesPerOpen = 101;

    // A null clock means the process clock.
    explicit EventLog(EventLogConfig config = {}, const Clock* clock = nullptr);
    ~EventLog();
    EventLog(const EventLog&) = delete;
    EventLog& operator=(const EventLog&) = delete;

    void configure(EventLogConfig config);
    EventLogConfig config() const;

    // Receives every event as it is logged, whether or not logging to the file is
    // on (qdctl prints them while it runs the dispatcher).
    using Observer = std::function<void(std::string_view detail, std::string_view label)>;
    void setObserver(Observer observer);

    // Appends one line when logging is on; does nothing (and succeeds) when off.
    // A failure loses this event only; the caller goes on.
    LogStatus log(std::string_view detail, std::string_view label);
    // Like log, for the extra lines of debug mode: written only when debug mode is on.
    LogStatus logDebug(std::string_view detail, std::string_view label);

    // Before the log is shown: with logging off, writes the one line that says so
    // (creating the file). Returns the file to show; the viewer opens it even when
    // the status is a failure.
    struct View {
        std::filesystem::path path;
        LogStatus status;
    };
    View prepareView();

    // Closes the file (at program end; the next write opens it again).
    void close();
    bool isOpen() const;
    // Writes since the file was last opened (0 when closed).
    int writeCount() const;
    // The log file: the existing one whose name matches without regard to case, or
    // the one a write creates.
    std::filesystem::path filePath() const;

private:
    LogStatus write(std::string_view detail, std::string_view label);
    LogStatus openLocked();
    void closeLocked();

    mutable std::mutex mutex_;
    Observer observer_;
    EventLogConfig config_;
    const Clock* clock_;
    int fd_ = -1;
    int writes_ = 0;
    std::filesystem::path openPath_;
    unsigned long long openDev_ = 0;
    unsigned long long openIno_ = 0;
};

// One log line (without its line end) for an event at that moment.
std::string formatLogLine(Moment when, std::string_view dateFormat, std::string_view label,
                          std::string_view detail);
// The columns of a log line, without their padding; short lines give short columns.
QD_LOGRecord parseLogLine(std::string_view line);

struct LogTail {
    LogStatus status;
    std::vector<std::string> lines; // oldest first, without line ends
};
// The last `count` lines of the log in the folder (all of them for the maximum);
// a missing log file gives no lines and no error.
LogTail readLogTail(const std::filesystem::path& dataFolder,
                    std::size_t count = std::numeric_limits<std::size_t>::max());

} // namespace qd
