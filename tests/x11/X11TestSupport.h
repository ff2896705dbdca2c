// Test helpers: a private X session (Xvfb, D-Bus, optionally openbox) started
// through tools/x11-session.sh, and the key-recording test program.
#pragma once

#include "support/TempDir.h"

#include <chrono>
#include <memory>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace qdtest {

class X11Session {
public:
    // Starts a session; nullptr (and the reason in *error) when it cannot.
    static std::unique_ptr<X11Session> start(bool withWindowManager, std::string* error);
    // The session of this test program, with a window manager: the caller's
    // ($DISPLAY with $QD_X11_SESSION, as the script exports them; test programs
    // then take turns on it) or one started on first use and ended at exit.
    // A $DISPLAY alone is not used, so a developer's own desktop is never
    // re-keyed. Exports DISPLAY and the bus.
    static X11Session* shared(std::string* error);
    ~X11Session();

    std::string display;
    std::string bus; // D-Bus session address ("" when none)

    // Runs "setxkbmap <args>" on this display; true on success.
    bool setLayout(const std::string& args) const;
    // The server's whole key map as text (xkbcomp), to compare before and after.
    std::string keymapDump() const;

private:
    std::string dir_; // empty when the session belongs to the caller
};

// Path of a program built next to this test.
std::string binPath(const std::string& name);

// Runs a program to its end with DISPLAY set; returns its exit code (-1 when
// it could not be run or died from a signal).
int runProgram(const std::vector<std::string>& argv, const std::string& display);

struct KeyEvent {
    bool press = false;
    int key = 0;       // Qt key code
    unsigned mods = 0; // Qt modifier bits
    std::string text;  // UTF-8
};

inline constexpr unsigned kQtShift = 0x02000000, kQtCtrl = 0x04000000, kQtAlt = 0x08000000;
inline constexpr int kQtKeyTab = 0x01000001, kQtKeyBacktab = 0x01000002, kQtKeyReturn = 0x01000004,
                     kQtKeyDelete = 0x01000007, kQtKeyV = 0x56;

// The recording test program (qd_keyprobe) with some windows.
class Probe {
public:
    Probe(const X11Session& session, const std::vector<std::string>& args);
    ~Probe();
    Probe(const Probe&) = delete;
    Probe& operator=(const Probe&) = delete;

    // Waits until every window is up; false on timeout or early exit.
    bool waitReady(std::chrono::milliseconds limit = std::chrono::seconds(60));
    // Window ids and titles, in the order given.
    const std::vector<std::pair<unsigned long, std::string>>& windows() const { return windows_; }
    unsigned long window(const std::string& title) const;

    std::vector<KeyEvent> events() const;
    // Texts of all key presses, concatenated.
    std::string typedText() const;
    // Waits until the typed text has at least `chars` bytes and no new event came for a moment.
    std::string waitTyped(std::size_t bytes,
                          std::chrono::milliseconds limit = std::chrono::seconds(20)) const;
    void clearLog() const;

    pid_t pid() const { return pid_; }
    bool running();
    void stop();

private:
    TempDir dir_;
    pid_t pid_ = -1;
    int status_ = 0;
    std::vector<std::pair<unsigned long, std::string>> windows_;
};

} // namespace qdtest
