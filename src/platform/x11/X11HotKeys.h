// System-wide key combinations on X11: a passive grab of the key on the root
// window for each combination, once for every state of Caps Lock, Num Lock and
// Scroll Lock so that those locks do not hide a press. A grab the server
// refuses (another client holds the combination: BadAccess) is undone and
// reported Refused.
//
// The grabs live on a connection of their own, so its descriptor signals only
// hot-key events and the program's other X traffic never reads them.
#pragma once

#include "platform/HotKeys.h"

#include <chrono>
#include <memory>

namespace qd {

class X11Connection;

class X11HotKeys final : public HotKeys {
public:
    // A null connection gives hot keys that report NoDisplay.
    explicit X11HotKeys(std::shared_ptr<X11Connection> connection);
    ~X11HotKeys() override;
    X11HotKeys(const X11HotKeys&) = delete;
    X11HotKeys& operator=(const X11HotKeys&) = delete;

    HotKeyStatus registerKey(int id, unsigned modifiers, int virtualKey) override;
    void unregisterKey(int id) override;
    void unregisterAll() override;
    HotKeyStatus probe(unsigned modifiers, int virtualKey) override;
    int eventDescriptor() const override;
    std::vector<int> takePresses() override;
    bool pressesPending() override;

    // While the key of the last press is held, the grab sends every key to
    // us; still held at the end of the wait, the grab is ended.
    bool waitForRelease(std::chrono::milliseconds timeout) override;
    bool lastKeyHeld() override;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace qd
