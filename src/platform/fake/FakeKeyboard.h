// A keyboard that records what would be sent, for tests of the sending logic.
//
// trace() renders every event: a typed character as itself (UTF-8), a key-down
// as "{+NAME}" and a key-up as "{-NAME}", NAME being a short name of the virtual
// key ("SHIFT", "CTRL", "ENTER", "V", "VK7" ...).
#pragma once

#include "platform/Keyboard.h"

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace qd {

class FakeKeyboard final : public Keyboard {
public:
    struct Event {
        enum Kind { Down, Up, Char } kind;
        int virtualKey = 0;
        char32_t ch = 0;
    };

    KeyStatus keyDown(int virtualKey) override;
    KeyStatus keyUp(int virtualKey) override;
    KeyStatus typeCharacter(char32_t ch) override;
    bool capsLockOn() override { return capsLock; }
    int heldModifiers() override { return userHeldModifiers; }
    bool waitForModifiersReleased(std::chrono::milliseconds timeout) override;
    void releaseAll() override;

    // Everything sent so far, rendered as described above.
    std::string trace() const;
    // Only the typed characters, as UTF-8.
    std::string typedText() const;
    // Keys that are down now (pressed by us, not released).
    const std::multiset<int>& keysDown() const { return down_; }
    static std::string keyName(int virtualKey);

    std::vector<Event> events;
    bool capsLock = false;
    int userHeldModifiers = 0;
    int releaseAllCalls = 0;
    std::chrono::milliseconds lastWait{-1};
    std::set<char32_t> missingCharacters; // typeCharacter reports Unsupported for these
    bool noDisplay = false;               // every call reports NoDisplay
    std::function<void()> onEvent;        // called after each recorded event

private:
    void record(Event e);
    std::multiset<int> down_;
};

} // namespace qd
