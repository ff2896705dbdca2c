// The hot-key component of the main window: the list of registered
// combinations (the position in the list is the identifier the desktop knows
// them by), the combinations the desktop refused, and the queue of presses
// waiting for the main window.
#pragma once

#include "platform/HotKeys.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace qd {

struct HotKeyEntry {
    int code = 0;
    std::string text;                       // the combination as stored, at most 32 characters
    HotKeyStatus status = HotKeyStatus::Ok; // of the last registration
};

struct PressedHotKey {
    int code = 0; // 0 for an identifier the list does not know
    std::string text;
};

class SysHotKeyClass {
public:
    explicit SysHotKeyClass(HotKeys& system) : system_(system) {}
    virtual ~SysHotKeyClass();
    SysHotKeyClass(const SysHotKeyClass&) = delete;
    SysHotKeyClass& operator=(const SysHotKeyClass&) = delete;

    // Adds a combination by its text: an unknown key (or no key at all) goes to
    // TakeInvalidKey and is not listed; a code already listed is not listed
    // twice. Registered at once while the component is active.
    void AddKey(const std::string& text);
    void RemoveKey(const std::string& text);
    // Empties the list (after releasing every registration).
    void Clear();

    // Registers every listed combination with the desktop; the refused ones
    // are listed in refused() and stay silently inactive.
    void RegisterHotKeys();
    void UnregisterHotKeys();
    void Activate();
    void UnActivate();
    bool active() const { return active_; }

    // The desktop reported a press of registration `id`: queues it and calls
    // TakeKey.
    void press(int id);
    // Takes the first queued press.
    std::optional<PressedHotKey> takePressed();

    const std::vector<HotKeyEntry>& registered() const { return list_; }
    const std::vector<HotKeyEntry>& refused() const { return refused_; }
    HotKeys& system() { return system_; }

    // Notifications; the defaults do nothing.
    virtual void TakeKey(int code, const std::string& text);
    virtual void TakeInvalidKey(const std::string& text);

private:
    HotKeys& system_;
    std::vector<HotKeyEntry> list_;
    std::vector<HotKeyEntry> refused_;
    std::deque<PressedHotKey> pressed_;
    bool active_ = false;
};

} // namespace qd
