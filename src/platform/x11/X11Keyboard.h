// Keyboard input through the XTest extension.
//
// Each character is typed with the key and shift level that produce it in the
// current XKB layout and group. A character the layout lacks is typed on a
// spare key code that is bound to its keysym for the time of the sending and
// restored afterwards. Every key we press is tracked and released by
// releaseAll() (and by the destructor).
#pragma once

#include "platform/Keyboard.h"

#include <memory>

namespace qd {

class X11Connection;

class X11Keyboard final : public Keyboard {
public:
    // A null connection gives a keyboard that reports NoDisplay for everything.
    explicit X11Keyboard(std::shared_ptr<X11Connection> connection);
    ~X11Keyboard() override;
    X11Keyboard(const X11Keyboard&) = delete;
    X11Keyboard& operator=(const X11Keyboard&) = delete;

    // False when there is no display or the server lacks XTest.
    bool usable() const;

    KeyStatus keyDown(int virtualKey) override;
    KeyStatus keyUp(int virtualKey) override;
    KeyStatus typeCharacter(char32_t ch) override;
    bool capsLockOn() override;
    int heldModifiers() override;
    bool waitForModifiersReleased(std::chrono::milliseconds timeout) override;
    void releaseAll() override;
    void flush() override;

    // Number of keys the server reports down now, whoever pressed them.
    int serverKeysDown();

    // The X keysym a virtual key stands for (0 when none): exposed for tests.
    static unsigned long keysymForVirtualKey(int virtualKey);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace qd
