#include "hotkeys/SysHotKeyClass.h"

#include "data/TextWidth.h"
#include "hotkeys/HotKeyNames.h"

#include <algorithm>

namespace qd {

SysHotKeyClass::~SysHotKeyClass() {
    if (active_) system_.unregisterAll();
}

void SysHotKeyClass::TakeKey(int, const std::string&) {}
void SysHotKeyClass::TakeInvalidKey(const std::string&) {}

void SysHotKeyClass::AddKey(const std::string& text) {
    const int code = TrnKeyName(text);
    // A combination of modifiers without a key cannot be pressed: it is as
    // invalid as an unknown key.
    if (code <= 0 || hotKeyVirtualKey(code) == 0) {
        TakeInvalidKey(text);
        return;
    }
    const bool wasActive = active_;
    if (wasActive) UnregisterHotKeys();
    const bool listed =
        std::any_of(list_.begin(), list_.end(), [code](const HotKeyEntry& e) { return e.code == code; });
    if (!listed) list_.push_back({code, fitText(text, 32), HotKeyStatus::Ok});
    if (wasActive) RegisterHotKeys();
}

void SysHotKeyClass::RemoveKey(const std::string& text) {
    const int code = TrnKeyName(text);
    if (code <= 0) {
        TakeInvalidKey(text);
        return;
    }
    const bool wasActive = active_;
    if (wasActive) UnregisterHotKeys();
    // Positions are the identifiers: the entry is blanked, not erased, so the
    // others keep theirs.
    for (auto& e : list_)
        if (e.code == code) e = HotKeyEntry{0, {}, HotKeyStatus::Ok};
    if (wasActive) RegisterHotKeys();
}

void SysHotKeyClass::Clear() {
    UnregisterHotKeys();
    list_.clear();
    refused_.clear();
}

void SysHotKeyClass::RegisterHotKeys() {
    refused_.clear();
    for (std::size_t i = 0; i < list_.size(); ++i) {
        HotKeyEntry& e = list_[i];
        if (e.code == 0) continue;
        const unsigned modifiers = static_cast<unsigned>(hotKeyModifiers(e.code)) >> 8;
        e.status = system_.registerKey(static_cast<int>(i), modifiers, hotKeyVirtualKey(e.code));
        if (e.status != HotKeyStatus::Ok) refused_.push_back(e);
    }
}

void SysHotKeyClass::UnregisterHotKeys() {
    system_.unregisterAll();
}

void SysHotKeyClass::Activate() {
    active_ = true;
    RegisterHotKeys();
}

void SysHotKeyClass::UnActivate() {
    active_ = false;
    UnregisterHotKeys();
}

void SysHotKeyClass::press(int id) {
    PressedHotKey p;
    if (id >= 0 && static_cast<std::size_t>(id) < list_.size() &&
        list_[static_cast<std::size_t>(id)].code != 0) {
        p.code = list_[static_cast<std::size_t>(id)].code;
        p.text = list_[static_cast<std::size_t>(id)].text;
    } else {
        p.text = std::to_string(id);
    }
    pressed_.push_back(p);
    TakeKey(p.code, p.text);
}

std::optional<PressedHotKey> SysHotKeyClass::takePressed() {
    if (pressed_.empty()) return std::nullopt;
    PressedHotKey p = pressed_.front();
    pressed_.pop_front();
    return p;
}

} // namespace qd
