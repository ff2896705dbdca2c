// Stores what the clipboard monitor saw on a thread of its own, in the order
// it was seen, so that reading the next change never waits for the store (a
// copy that is not read before the next one replaces it is lost). The thread
// works on its own connection to the data set and shows no messages: capture
// failures are silent.
#pragma once

#include "clipboard/ClipboardSaver.h"
#include "data/Clock.h"

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace qd {

class ClipboardWriter {
public:
    // `passphrase`: the key of a protected data set ("" for none).
    ClipboardWriter(std::filesystem::path folder, std::string passphrase, const Clock& clock);
    ~ClipboardWriter();
    ClipboardWriter(const ClipboardWriter&) = delete;
    ClipboardWriter& operator=(const ClipboardWriter&) = delete;

    // A text seen at `at`, with the foreground title; `maxEntries` is
    // MaxClipboardEntries then.
    void capture(std::string text, std::string title, Moment at, int maxEntries);
    // A text to remember without storing (own writes, secrets).
    void ignore(std::string text);
    // Waits until everything submitted so far is stored.
    void flush();

    // Called on the writer's thread after each capture with its outcome.
    void setOutcomeHandler(std::function<void(CaptureOutcome)> handler) { onOutcome_ = std::move(handler); }

private:
    struct Item {
        bool store = true;
        std::string text, title;
        Moment at;
        int maxEntries = 0;
    };
    void run();

    std::filesystem::path folder_;
    std::string passphrase_;
    const Clock& clock_;
    std::function<void(CaptureOutcome)> onOutcome_;
    std::mutex mutex_;
    std::condition_variable wake_, idle_;
    std::deque<Item> queue_;
    bool busy_ = false;
    bool stop_ = false;
    std::thread thread_;
};

} // namespace qd
