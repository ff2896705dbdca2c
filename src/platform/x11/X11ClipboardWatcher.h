// Clipboard changes on X11, read the moment they happen: the display's XFIXES
// extension tells of every new owner of CLIPBOARD, and a thread of its own, on
// a connection of its own, asks the new owner for its formats and text at
// once, whatever the rest of the program is doing.
//
// Whether a copy could still be read is decided by the request order the
// server keeps: an owner-change event carries the sequence number of the
// last request of ours the server had handled when the change happened. A
// change numbered before our conversion request means the request went to the
// next owner; that copy is reported lost instead of being given the next
// one's text.
#pragma once

#include "platform/Clipboard.h"

#include <chrono>
#include <memory>
#include <string>

namespace qd {

class X11ClipboardWatcher final : public ClipboardWatcher {
public:
    explicit X11ClipboardWatcher(std::string displayName);
    ~X11ClipboardWatcher() override;
    X11ClipboardWatcher(const X11ClipboardWatcher&) = delete;
    X11ClipboardWatcher& operator=(const X11ClipboardWatcher&) = delete;

    bool start(std::function<void(ClipboardCopy)> onCopy, std::string ownFormat) override;
    void stop() override;

    // How long an owner may take to answer one request (a hung or dying owner
    // holds up the copies after it only this long).
    std::chrono::milliseconds answerTimeout{1000};

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace qd
