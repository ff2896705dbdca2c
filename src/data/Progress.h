// The small window of a long run: its title is "Processing Records", it names
// the work, shows an "N% Completed" line and has a cancel button. Core code
// reports through the interface; the GUI tier shows it (qdui::QtProgress).
#pragma once

#include <algorithm>
#include <string>

namespace qd {

class Progress {
public:
    virtual ~Progress() = default;
    // The run begins; `title` names the work.
    virtual void start(const std::string& title) = 0;
    // `line` is "N% Completed". False asks the run to stop.
    virtual bool update(int percent, const std::string& line) = 0;
    virtual void finish() = 0;
};

inline constexpr const char* kProgressWindowTitle = "Processing Records";

// "N% Completed".
inline std::string progressLine(int percent) {
    return std::to_string(percent) + "% Completed";
}

// The progress window of one run: started on construction, finished on
// destruction. The window is told only when the percentage changes or after
// kPollEvery quiet units, so a run of many small units stays cheap.
class ProgressMeter {
public:
    static constexpr long long kPollEvery = 1024;

    ProgressMeter(Progress* progress, const std::string& title, long long total)
        : progress_(progress), total_(total) {
        if (!progress_) return;
        progress_->start(title);
        progress_->update(0, progressLine(0));
    }
    ~ProgressMeter() {
        if (progress_) progress_->finish();
    }
    ProgressMeter(const ProgressMeter&) = delete;
    ProgressMeter& operator=(const ProgressMeter&) = delete;

    // `done` units of the total are finished; false when the user cancelled.
    bool at(long long done) {
        if (!progress_) return true;
        const int percent =
            total_ <= 0 ? 100 : static_cast<int>(std::clamp<long long>(done * 100 / total_, 0, 100));
        if (percent == last_ && ++sinceUpdate_ < kPollEvery) return true;
        return report(percent);
    }
    // Work inside one unit: a chance to cancel now and then.
    bool poll() {
        if (!progress_ || ++sinceUpdate_ < kPollEvery) return true;
        return report(last_);
    }

private:
    bool report(int percent) {
        last_ = percent;
        sinceUpdate_ = 0;
        return progress_->update(percent, progressLine(percent));
    }

    Progress* progress_;
    long long total_;
    int last_ = 0;
    long long sinceUpdate_ = 0;
};

} // namespace qd
