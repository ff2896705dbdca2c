// Keystroke texts: plain characters typed as they are, mixed with bracketed key
// names such as "[ENTER]", "[CtrlV]" or "[+TAB]" and bracketed variable names.
//
// A key code is an int whose low byte is a Windows virtual-key code and whose
// higher bits are the modifier flags kModShift (256), kModCtrl (512), kModAlt
// (1024) and kModWin (2048) of platform/Keyboard.h.
#pragma once

#include "platform/Keyboard.h"

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

namespace qd {

class Clock;

// Longest keystroke text a step's working copy holds.
inline constexpr std::size_t kMaxKeystrokeText = 10000;

// The key code of a key name ("ENTER", "CtrlAltDELETE", "+TAB", "F5" ...), or 0
// when the name is not a key. Modifier prefixes ("+", "^", "%", "-", "Ctrl",
// "Alt", "Shift") combine in any order; names are compared in upper case with
// trailing blanks ignored and leading blanks significant; the first "KEY" in
// the name is ignored. A prefix before an unknown name yields the modifier
// flags alone.
int KeyNameToCode(std::string_view name);

// One complete key stroke: modifiers down (Shift, Ctrl, Alt, Windows), the key
// down and up, modifiers up in the same order. A failure still releases every
// modifier already pressed.
KeyStatus PressKey(Keyboard& keyboard, int code);

struct TypeTextResult {
    KeyStatus status = KeyStatus::Ok;
    int skipped = 0; // characters the keyboard cannot produce (left out)
};

// Types UTF-8 text as plain characters. Caps Lock, when on, is switched off for
// the typing and on again afterwards, so letters keep their case. A CR LF pair
// is one Enter. Characters that cannot be produced are skipped and counted.
TypeTextResult TypeText(Keyboard& keyboard, std::string_view text);

struct KeystrokeSettings {
    int globalDelay = 10; // GLOBALDELAY: pause before every group of keys, hundredths of a second
    int burstSize = 7;    // BURSTSIZE: most plain characters typed as one group before a "["
};

// Sends keystroke texts; holds the busy-animation phase between calls.
class KeystrokeSender {
public:
    using TranslateFn = std::function<std::string(const std::string& name)>;
    using SleepFn = std::function<void(std::chrono::milliseconds)>;
    using BusyIconFn = std::function<void(const std::string& iconFile)>;

    explicit KeystrokeSender(Keyboard& keyboard);

    // Pacing. A stored burst size of 0 means 7; sizes are kept within 1-255.
    void setSettings(const KeystrokeSettings& settings);
    const KeystrokeSettings& settings() const { return settings_; }

    // Translation of a bracketed name that is not a key (the script variables);
    // without one, such a name is typed as it stands.
    void setTranslator(TranslateFn fn) { translate_ = std::move(fn); }
    // How a pause sleeps (default: the thread sleeps). Tests pass one that moves
    // a manual clock instead.
    void setSleep(SleepFn fn) { sleep_ = std::move(fn); }
    // The clock the pauses watch (default: the process clock).
    void setClock(const Clock* clock) { clock_ = clock; }
    // Receives the tray icon file of each busy-animation phase.
    void setBusyIcon(BusyIconFn fn) { busyIcon_ = std::move(fn); }
    // How long to wait for the user to let go of held modifier keys first.
    void setModifierWait(std::chrono::milliseconds wait) { modifierWait_ = wait; }
    // The next SendKeystrokes starts without the pause before its first group:
    // the caller has just waited for the keyboard itself (a hot key waits for
    // its combination to be let go), so the text starts at once.
    void skipFirstPause() { skipPause_ = true; }

    // Sends a whole keystroke text. Stops at the first failure of the keyboard
    // (no display, events refused); no key stays pressed on any path.
    TypeTextResult SendKeystrokes(std::string_view text);

    // Phase of the busy animation, 1-8 (0 before the first group).
    int busyPhase() const { return phase_; }

    // The keyboard is held by a text sent over several events (a hot key's
    // typing or paste): scripts wait with their next step until it is let go,
    // so their keystrokes and focus changes never fall between its groups.
    void hold() { ++holders_; }
    void letGo() {
        if (holders_ > 0) --holders_;
    }
    bool held() const { return holders_ > 0; }

private:
    friend class KeystrokeRun;
    // Where a keystroke text stands: the code points, the next one to send,
    // and what was sent so far.
    struct Progress {
        std::u32string text;
        std::size_t at = 0;
        TypeTextResult total;
        bool midPlain = false; // the last group ended inside a run of plain text
    };
    // Sends the next group: a named key, a burst of plain characters before a
    // "[", or the plain text at the end (at most `plainLimit` characters of
    // it). False when the keyboard failed and nothing more is to be sent.
    bool sendGroup(Progress& p, std::size_t plainLimit);
    void pause();
    void advanceBusyIcon();
    TypeTextResult sendNamedKey(const std::string& name);

    Keyboard& keyboard_;
    KeystrokeSettings settings_;
    TranslateFn translate_;
    SleepFn sleep_;
    BusyIconFn busyIcon_;
    const Clock* clock_ = nullptr;
    std::chrono::milliseconds modifierWait_{1000};
    int phase_ = 0;
    int holders_ = 0;
    bool skipPause_ = false;
};

// A keystroke text sent one group at a time, so that the caller waits the
// pauses between groups itself instead of sleeping (the hot keys type on the
// event loop, which keeps running between the groups). The plain text at the
// end goes in pieces of `plainPiece` characters with no pause between them.
// The caller lets go of held modifiers first. No key stays pressed after a
// group, on any path.
class KeystrokeRun {
public:
    KeystrokeRun(KeystrokeSender& sender, std::string_view text, std::size_t plainPiece = 64);

    bool done() const { return done_; }
    // Sends the next group (the first one without a pause before it).
    void next();
    // How long to wait before the next group.
    std::chrono::milliseconds pauseBeforeNext() const;
    const TypeTextResult& result() const { return progress_.total; }

private:
    KeystrokeSender& sender_;
    KeystrokeSender::Progress progress_;
    std::size_t plainPiece_;
    bool done_ = false;
};

} // namespace qd
