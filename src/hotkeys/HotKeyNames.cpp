#include "hotkeys/HotKeyNames.h"

#include "data/Text.h"

#include <algorithm>

namespace qd {

const std::vector<HotKeyName>& hotKeyNames() {
    static const std::vector<HotKeyName> table = {
        {"A", 65},        {"Ast", 106},      {"B", 66},          {"Bs", 8},           {"Backspace", 8},
        {"CapsLock", 20}, {"Caps", 20},      {"C", 67},          {"Decimal", 110},    {"Del", 46},
        {"Delete", 46},   {"D", 68},         {"Down", 40},       {"E", 69},           {"End", 35},
        {"Enter", 13},    {"Esc", 27},       {"F10", 121},       {"F11", 122},        {"F12", 123},
        {"F1", 112},      {"F2", 113},       {"F3", 114},        {"F4", 115},         {"F5", 116},
        {"F6", 117},      {"F7", 118},       {"F8", 119},        {"F9", 120},         {"F", 70},
        {"G", 71},        {"H", 72},         {"Home", 36},       {"I", 73},           {"Ins", 45},
        {"Insert", 45},   {"J", 74},         {"K", 75},          {"Left", 37},        {"L", 76},
        {"Minus", 109},   {"M", 77},         {"MouseCenter", 3}, {"MouseCenter2", 7}, {"Mouse", 1},
        {"MouseLeft", 1}, {"MouseLeft2", 5}, {"MouseRight", 2},  {"MouseRight2", 6},  {"N", 78},
        {"O", 79},        {"Pause", 19},     {"PgDn", 34},       {"PgUp", 33},        {"P", 80},
        {"Plus", 107},    {"Print", 44},     {"Q", 81},          {"Right", 39},       {"R", 82},
        {"S", 83},        {"Slash", 111},    {"Space", 32},      {"Tab", 9},          {"T", 84},
        {"U", 85},        {"Up", 38},        {"V", 86},          {"W", 87},           {"X", 88},
        {"Y", 89},        {"Z", 90},         {"0", 48},          {"1", 49},           {"2", 50},
        {"3", 51},        {"4", 52},         {"5", 53},          {"6", 54},           {"7", 55},
        {"8", 56},        {"9", 57},         {"Pad0", 96},       {"Pad1", 97},        {"Pad2", 98},
        {"Pad3", 99},     {"Pad4", 100},     {"Pad5", 101},      {"Pad6", 102},       {"Pad7", 103},
        {"Pad8", 104},    {"Pad9", 105},
    };
    return table;
}

namespace {

int lookUp(std::string_view name) {
    const std::string upper = text::upperAscii(name);
    const auto& table = hotKeyNames();
    for (auto it = table.rbegin(); it != table.rend(); ++it)
        if (text::upperAscii(it->name) == upper) return it->virtualKey;
    return 0;
}

} // namespace

int TrnKeyName(std::string_view text) {
    // Each step strips at least one character, so the recursion ends.
    if (text.empty()) return lookUp(text);
    switch (text.front()) {
    case '+':
        return TrnKeyName(text.substr(1)) + hotkey::kShift;
    case '^':
        return TrnKeyName(text.substr(1)) + hotkey::kCtrl;
    case '%':
        return TrnKeyName(text.substr(1)) + hotkey::kAlt;
    case '*':
        return TrnKeyName(text.substr(1)) + hotkey::kWin;
    case '-':
        return TrnKeyName(text.substr(1));
    default:
        break;
    }
    const std::string head = text::upperAscii(text.substr(0, 3));
    if (head == "SHI") return TrnKeyName(text.substr(std::min<std::size_t>(5, text.size()))) + hotkey::kShift;
    if (head == "CTR") return TrnKeyName(text.substr(std::min<std::size_t>(4, text.size()))) + hotkey::kCtrl;
    if (head == "ALT") return TrnKeyName(text.substr(3)) + hotkey::kAlt;
    if (head == "WIN") return TrnKeyName(text.substr(3)) + hotkey::kWin;
    std::string name(text);
    const auto pos = text::upperAscii(name).find("KEY");
    if (pos != std::string::npos) name.erase(pos, 3);
    return lookUp(name);
}

std::string TrnVirtKey(int code) {
    std::string out;
    if (code & hotkey::kShift) out += "Shift-";
    if (code & hotkey::kAlt) out += "Alt-";
    if (code & hotkey::kCtrl) out += "Ctrl-";
    if (code & hotkey::kWin) out += "Win-";
    const int key = hotKeyVirtualKey(code);
    const auto& table = hotKeyNames();
    for (auto it = table.rbegin(); it != table.rend(); ++it)
        if (it->virtualKey == key) return out + it->name;
    return out;
}

std::string composeHotKey(bool win, bool ctrl, bool alt, bool shift, std::string_view keyName) {
    std::string out;
    if (win) out += "Win-";
    if (ctrl) out += "Ctrl-";
    if (alt) out += "Alt-";
    if (shift) out += "Shift-";
    return out + std::string(text::trim(keyName));
}

SplitHotKey splitHotKey(std::string_view stored) {
    SplitHotKey s;
    const std::string t(text::trimRight(stored));
    const std::string upper = text::upperAscii(t);
    std::size_t keyStart = 0;
    const auto word = [&](const char* w, bool& flag) {
        const auto pos = upper.rfind(w);
        if (pos == std::string::npos) return;
        flag = true;
        std::size_t end = pos + std::string_view(w).size();
        if (end < t.size() && t[end] == '-') ++end;
        keyStart = std::max(keyStart, end);
    };
    word("CTRL", s.ctrl);
    word("ALT", s.alt);
    word("WIN", s.win);
    word("SHIFT", s.shift);
    s.keyName = t.substr(std::min(keyStart, t.size()));
    return s;
}

} // namespace qd
