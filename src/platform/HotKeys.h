// System-wide key combinations: the desktop delivers a press of a registered
// combination to us wherever the keyboard focus is.
//
// A combination is a Windows virtual-key code (platform/Keyboard.h) and the
// modifier bits below, which are the byte above the key in a stored hot-key
// code. Registrations are named by an identifier of the caller's choice.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace qd {

// Modifier bits of a system-wide combination (not the keystroke flags of
// Keyboard.h).
namespace hotmod {
inline constexpr unsigned kAlt = 1;
inline constexpr unsigned kCtrl = 2;
inline constexpr unsigned kShift = 4;
inline constexpr unsigned kWin = 8;
} // namespace hotmod

enum class HotKeyStatus {
    Ok,
    NoDisplay,   // no desktop to register with
    Refused,     // another program holds the combination
    Unsupported, // the key does not exist on this keyboard
};

const char* toString(HotKeyStatus s);

class HotKeys {
public:
    virtual ~HotKeys() = default;

    // Registers a combination under `id` (an id already in use is replaced).
    virtual HotKeyStatus registerKey(int id, unsigned modifiers, int virtualKey) = 0;
    // Releases one registration; unknown ids are ignored.
    virtual void unregisterKey(int id) = 0;
    virtual void unregisterAll() = 0;

    // Whether the combination could be registered now: Refused when another
    // program holds it. Leaves nothing registered that was not before.
    virtual HotKeyStatus probe(unsigned modifiers, int virtualKey) = 0;

    // A descriptor that becomes readable when presses may be waiting (watch
    // it, then call takePresses); -1 when there is none.
    virtual int eventDescriptor() const = 0;
    // The ids of the combinations pressed since the last call, in order.
    // Repeats of a key held down are not presses.
    virtual std::vector<int> takePresses() = 0;
    // True when presses are already read and waiting, so the descriptor will
    // not signal them.
    virtual bool pressesPending() { return false; }
    // Waits up to `timeout` until the key of the last press is let go: while
    // it is held, keys we send may not reach the focused window. True when it
    // was let go (or there is nothing to wait for).
    virtual bool waitForRelease(std::chrono::milliseconds timeout) {
        (void)timeout;
        return true;
    }
    // Whether the key of the last press is still held now; never waits. An
    // action that must not block polls this, then gives up with
    // waitForRelease(0) (which ends what the held key still holds).
    virtual bool lastKeyHeld() { return false; }
};

// The hot keys of a desktop without a display: nothing registers.
class NullHotKeys : public HotKeys {
public:
    HotKeyStatus registerKey(int, unsigned, int) override { return HotKeyStatus::NoDisplay; }
    void unregisterKey(int) override {}
    void unregisterAll() override {}
    HotKeyStatus probe(unsigned, int) override { return HotKeyStatus::NoDisplay; }
    int eventDescriptor() const override { return -1; }
    std::vector<int> takePresses() override { return {}; }
};

} // namespace qd
