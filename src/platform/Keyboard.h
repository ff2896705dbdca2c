// Synthetic keyboard input for whichever window has the keyboard focus.
//
// Keys are named by Windows virtual-key codes (8 Backspace, 13 Enter, 16 Shift,
// 65 'A' ...) because stored scripts and hot keys carry those codes; each
// implementation maps them to its own key codes. Characters are typed by
// Unicode code point and arrive as that character whatever the layout.
#pragma once

#include <chrono>
#include <string>

namespace qd {

// Virtual-key codes the rest of the program names.
namespace vk {
inline constexpr int kBack = 8;
inline constexpr int kTab = 9;
inline constexpr int kReturn = 13;
inline constexpr int kShift = 16;
inline constexpr int kControl = 17;
inline constexpr int kAlt = 18;
inline constexpr int kCapital = 20;
inline constexpr int kEscape = 27;
inline constexpr int kSpace = 32;
inline constexpr int kDelete = 46;
inline constexpr int kLeftWin = 91;
} // namespace vk

// Modifier bits of a key code (the byte above the virtual key).
inline constexpr int kModShift = 256;
inline constexpr int kModCtrl = 512;
inline constexpr int kModAlt = 1024;
inline constexpr int kModWin = 2048;

enum class KeyStatus {
    Ok,
    NoDisplay,   // no keyboard to send to (no display connection)
    Unsupported, // this key or character cannot be produced; nothing was sent
    Failed,      // the system refused the events
};

const char* toString(KeyStatus s);

class Keyboard {
public:
    virtual ~Keyboard() = default;

    // Key-down / key-up of one virtual key. Codes without a key here (mouse
    // buttons 1-7, 0) send nothing and report Ok.
    virtual KeyStatus keyDown(int virtualKey) = 0;
    virtual KeyStatus keyUp(int virtualKey) = 0;

    // Types one character (press and release, with whatever modifiers the
    // layout needs for it); the character arrives as itself.
    virtual KeyStatus typeCharacter(char32_t ch) = 0;

    // True when Caps Lock is on.
    virtual bool capsLockOn() = 0;

    // Modifier bits (kModShift ...) of the keys the user holds down now.
    virtual int heldModifiers() = 0;

    // Waits up to `timeout` for the user to let go of modifier keys so they do
    // not combine with what we send; true when none is held any more.
    virtual bool waitForModifiersReleased(std::chrono::milliseconds timeout) = 0;

    // Releases every key that we pressed and have not released yet.
    virtual void releaseAll() = 0;

    // Pushes queued events to the system and waits until they are taken.
    virtual void flush() {}
};

// Calls releaseAll() when it leaves scope, so no key we pressed stays down on
// an early return.
class KeyReleaseGuard {
public:
    explicit KeyReleaseGuard(Keyboard& kb) : kb_(kb) {}
    ~KeyReleaseGuard() { kb_.releaseAll(); }
    KeyReleaseGuard(const KeyReleaseGuard&) = delete;
    KeyReleaseGuard& operator=(const KeyReleaseGuard&) = delete;

private:
    Keyboard& kb_;
};

} // namespace qd
