// Hot-key combination texts ("Ctrl-Alt-X", "WinW") and the key codes they are
// registered by.
//
// A code's low byte is a Windows virtual-key code; the byte above holds the
// modifier flags below (the desktop's hot-key modifier bits 1, 2, 4, 8 shifted
// left by 8). They are not the keystroke flags of platform/Keyboard.h.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qd {

namespace hotkey {
inline constexpr int kAlt = 256;
inline constexpr int kCtrl = 512;
inline constexpr int kShift = 1024;
inline constexpr int kWin = 2048;
} // namespace hotkey

struct HotKeyName {
    const char* name;
    int virtualKey;
};

// The key-name table in its stored order (92 names).
const std::vector<HotKeyName>& hotKeyNames();

// The code of a combination text, 0 when its key is not in the table. Leading
// "+", "^", "%", "*" (Shift, Ctrl, Alt, Windows) and the words "Shift", "Ctrl",
// "Alt", "Win" add their flag, "-" separates; the first "KEY" in the key name
// is ignored; names are compared in upper case.
int TrnKeyName(std::string_view text);

// The text of a code: "Shift-", "Alt-", "Ctrl-", "Win-" for each flag set, in
// that order, then the key's name (the later name where a key has several).
std::string TrnVirtKey(int code);

// The modifier flags and the virtual key of a code.
inline int hotKeyModifiers(int code) {
    return code & (hotkey::kAlt | hotkey::kCtrl | hotkey::kShift | hotkey::kWin);
}
inline int hotKeyVirtualKey(int code) {
    return code & 0xFF;
}

// The combination text the hot-key form builds from its four boxes and a key
// name: "Win-", "Ctrl-", "Alt-", "Shift-" (each when ticked), then the name.
std::string composeHotKey(bool win, bool ctrl, bool alt, bool shift, std::string_view keyName);

struct SplitHotKey {
    bool win = false;
    bool ctrl = false;
    bool alt = false;
    bool shift = false;
    std::string keyName;
};
// A stored combination split back into the form's boxes: a box is ticked when
// its word stands anywhere in the text; the key name is what follows the last
// modifier word and its dash.
SplitHotKey splitHotKey(std::string_view text);

} // namespace qd
