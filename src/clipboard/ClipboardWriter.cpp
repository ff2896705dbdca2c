#include "clipboard/ClipboardWriter.h"

#include "data/DataSet.h"
#include "data/ErrorClass.h"
#include "data/Globals.h"
#include "data/UserInterface.h"

namespace qd {

ClipboardWriter::ClipboardWriter(std::filesystem::path folder, std::string passphrase, const Clock& clock)
    : folder_(std::move(folder)), passphrase_(std::move(passphrase)), clock_(clock) {
    thread_ = std::thread([this] { run(); });
}

ClipboardWriter::~ClipboardWriter() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void ClipboardWriter::capture(std::string text, std::string title, Moment at, int maxEntries) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back({true, std::move(text), std::move(title), at, maxEntries});
    }
    wake_.notify_one();
}

void ClipboardWriter::ignore(std::string text) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back({false, std::move(text), {}, {}, 0});
    }
    wake_.notify_one();
}

void ClipboardWriter::flush() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return queue_.empty() && !busy_; });
}

void ClipboardWriter::run() {
    // Messages of the record layer have nowhere to go from this thread: they
    // are recorded and dropped.
    ScriptedUserInterface silent;
    ErrorClass errors(&silent);
    DataSet ds(folder_, errors);
    if (!passphrase_.empty()) ds.setPassphrase(passphrase_);
    ProgramSettings settings;
    ClipboardSaver saver(ds, settings, clock_);
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
        if (queue_.empty()) break; // stopping, and everything is stored
        Item item = std::move(queue_.front());
        queue_.pop_front();
        busy_ = true;
        lock.unlock();
        CaptureOutcome outcome = CaptureOutcome::Ignored;
        if (item.store) {
            settings.MaxClipboardEntries = item.maxEntries;
            outcome = saver.capture(item.text, item.title, item.at);
        } else {
            saver.ignore(item.text);
        }
        silent.shown.clear();
        if (item.store && onOutcome_) onOutcome_(outcome);
        lock.lock();
        busy_ = false;
        if (queue_.empty()) idle_.notify_all();
    }
    ds.closeAll();
}

} // namespace qd
