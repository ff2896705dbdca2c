#include "platform/fake/FakeHotKeys.h"

namespace qd {

HotKeyStatus FakeHotKeys::registerKey(int id, unsigned modifiers, int virtualKey) {
    registered.erase(id);
    const HotKeyStatus s = probe(modifiers, virtualKey);
    if (s == HotKeyStatus::Ok) registered[id] = {modifiers, virtualKey};
    return s;
}

HotKeyStatus FakeHotKeys::probe(unsigned modifiers, int virtualKey) {
    if (noDisplay) return HotKeyStatus::NoDisplay;
    if (unsupportedKeys.count(virtualKey)) return HotKeyStatus::Unsupported;
    if (heldElsewhere.count({modifiers, virtualKey})) return HotKeyStatus::Refused;
    return HotKeyStatus::Ok;
}

std::vector<int> FakeHotKeys::takePresses() {
    std::vector<int> out(presses_.begin(), presses_.end());
    presses_.clear();
    return out;
}

bool FakeHotKeys::press(unsigned modifiers, int virtualKey) {
    for (const auto& [id, c] : registered)
        if (c.modifiers == modifiers && c.virtualKey == virtualKey) {
            presses_.push_back(id);
            return true;
        }
    return false;
}

} // namespace qd
