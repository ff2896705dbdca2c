// The main window's side of the hot keys: registering the active combinations
// of the SysHotKeys table, and performing a pressed one (run the linked task's
// script, or type, paste or copy its text).
#pragma once

#include "data/DataSet.h"
#include "data/Records.h"
#include "data/UserInterface.h"
#include "hotkeys/SysHotKeyClass.h"
#include "perform/Frame.h"
#include "perform/TaskExecution.h"
#include "platform/Clipboard.h"
#include "platform/HotKeys.h"
#include "platform/Keyboard.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qd {

class KeystrokeRun;
class KeystrokeSender;

// The built-in combination that brings the main window back from the tray.
inline constexpr const char* kRestoreHotKey = "WinW";

struct HotKeyEnvironment {
    DataSet* ds = nullptr;
    UserInterface* ui = nullptr;
    Frame* frame = nullptr;
    TaskExecution* execution = nullptr;
    KeystrokeSender* keys = nullptr;
    Keyboard* keyboard = nullptr;
    Clipboard* clipboard = nullptr; // null: "PASTE" and "COPY" do nothing
    // Runs a job after the current event (the main window's posted event);
    // unset: the job runs when the current press is done.
    std::function<void(std::function<void()>)> post;
    // Restores the main window from the tray.
    std::function<void()> restoreFrame;
    // Runs a job after a pause (the main window's timer). Set, "TYPE" and
    // "PASTE" run in steps on the event loop, so the window and the tick go on
    // while they send; a press returns as soon as its action has started.
    // Unset, they run to their end within the press.
    std::function<void(std::chrono::milliseconds, std::function<void()>)> postAfter;
};

// What one press did, for the log and for tests.
enum class HotKeyOutcome {
    None,          // nothing queued
    Restored,      // "WinW"
    NotFound,      // no record for the combination: "Error retrieving hot key."
    Inactive,      // the record is not active
    TaskQueued,    // the linked task's script was queued
    TaskMissing,   // "Unable to retrieve associated task."
    Typed,         // "TYPE"
    Pasted,        // "PASTE"
    Copied,        // "COPY"
    UnknownType,   // "Unknown Text Automation:  "
    UnknownAction, // "Unknown Action:  "
    Failed,        // the keyboard refused the keys
};

const char* toString(HotKeyOutcome o);

// One hot key as "qdctl hotkeys list" and the windows show it.
struct HotKeyState {
    SysHotKeysRecord record;
    int code = 0;                           // 0: the text does not convert
    bool registered = false;                // listed and accepted by the desktop
    HotKeyStatus status = HotKeyStatus::Ok; // why not, when listed but refused
};

class HotKeyService {
public:
    HotKeyService(HotKeys& system, HotKeyEnvironment env);
    ~HotKeyService();
    HotKeyService(const HotKeyService&) = delete;
    HotKeyService& operator=(const HotKeyService&) = delete;

    // Release all, list "WinW" and every active record in file order, register
    // them all.
    void registerAll();
    // Releases every combination (the main window closes).
    void releaseAll();
    // The re-register event: registers again after the current press.
    void requestReregister();

    // Reads the presses the desktop delivered and performs each; returns what
    // each did.
    std::vector<HotKeyOutcome> handleSystemPresses();
    // Performs the first queued press.
    HotKeyOutcome handlePressed();
    // Performs a record's action (what a press of its combination does).
    HotKeyOutcome perform(const SysHotKeysRecord& record);

    // Most time the actions wait for the user to let go of the combination.
    std::chrono::milliseconds releaseWait{200};

    // Whether a "TYPE" or "PASTE" is still sending; presses and script steps
    // wait meanwhile.
    bool sending() const { return sending_; }

    SysHotKeyClass& component() { return component_; }
    // Every record with its registration state.
    std::vector<HotKeyState> states();

private:
    void letGo(int virtualKey);
    void releaseModifiers(int virtualKey);
    // The stepped actions: let go of the modifiers, wait (polling) for the
    // combination's key to be let go, then `then`.
    void releaseThen(int virtualKey, std::function<void()> then);
    void pollRelease(std::chrono::steady_clock::time_point start, std::function<void()> then);
    void typeStep();
    // Marks the keyboard held (scripts wait) until finishSending.
    void startSending();
    void finishSending();
    void later(std::chrono::milliseconds pause, std::function<void()> job);
    HotKeyOutcome showError(const std::string& combination, const std::string& text, HotKeyOutcome outcome);

    SysHotKeyClass component_;
    HotKeyEnvironment env_;
    bool reregisterPending_ = false;
    bool sending_ = false;
    bool handling_ = false;
    std::unique_ptr<KeystrokeRun> typing_;
    // Jobs posted to the event loop hold a weak copy: once the service is
    // gone they do nothing.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

// "HOT:QuickText": the description without trailing blanks, and for text
// actions ": " and the text, cut to 40 characters.
std::string hotKeyQuickText(const SysHotKeysRecord& record);

} // namespace qd
