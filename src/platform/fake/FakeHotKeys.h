// Hot keys for tests of the logic: registrations are recorded, combinations
// listed in `heldElsewhere` are refused, and press() queues a press as the
// desktop would.
#pragma once

#include "platform/HotKeys.h"

#include <deque>
#include <map>
#include <set>
#include <utility>
#include <vector>

namespace qd {

class FakeHotKeys final : public HotKeys {
public:
    struct Combination {
        unsigned modifiers = 0;
        int virtualKey = 0;
        bool operator<(const Combination& o) const {
            return modifiers != o.modifiers ? modifiers < o.modifiers : virtualKey < o.virtualKey;
        }
    };

    HotKeyStatus registerKey(int id, unsigned modifiers, int virtualKey) override;
    void unregisterKey(int id) override { registered.erase(id); }
    void unregisterAll() override {
        registered.clear();
        ++unregisterAllCalls;
    }
    HotKeyStatus probe(unsigned modifiers, int virtualKey) override;
    int eventDescriptor() const override { return -1; }
    std::vector<int> takePresses() override;
    bool pressesPending() override { return !presses_.empty(); }
    bool waitForRelease(std::chrono::milliseconds timeout) override {
        waits.push_back(timeout);
        return heldPolls <= 0;
    }
    bool lastKeyHeld() override {
        ++heldChecks;
        return heldPolls-- > 0;
    }

    // Presses the combination: queues the id it is registered under. False
    // when it is not registered (the press goes elsewhere).
    bool press(unsigned modifiers, int virtualKey);
    // Queues a press with an id that may be unknown.
    void pressId(int id) { presses_.push_back(id); }

    std::map<int, Combination> registered;
    std::set<Combination> heldElsewhere;
    std::set<int> unsupportedKeys;
    bool noDisplay = false;
    int unregisterAllCalls = 0;
    std::vector<std::chrono::milliseconds> waits;
    int heldPolls = 0;  // how many more lastKeyHeld() calls find the key held
    int heldChecks = 0; // lastKeyHeld() calls so far

private:
    std::deque<int> presses_;
};

} // namespace qd
