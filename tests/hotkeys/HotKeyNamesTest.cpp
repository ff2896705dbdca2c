#include "hotkeys/HotKeyNames.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace qd;

TEST(HotKeyNames, TableHasEveryNameOnceAndNinetyTwoInAll) {
    const auto& table = hotKeyNames();
    EXPECT_EQ(table.size(), 92u);
    std::set<std::string> upper;
    for (const auto& n : table) {
        std::string u = n.name;
        for (char& c : u)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_TRUE(upper.insert(u).second) << n.name;
    }
}

TEST(HotKeyNames, EveryNameConvertsBothWays) {
    // The name shown for a code is the last of its names in the table.
    std::map<int, std::string> shown;
    for (const auto& n : hotKeyNames())
        shown[n.virtualKey] = n.name;
    for (const auto& n : hotKeyNames()) {
        EXPECT_EQ(TrnKeyName(n.name), n.virtualKey) << n.name;
        EXPECT_EQ(TrnVirtKey(n.virtualKey), shown[n.virtualKey]) << n.name;
        // With every modifier flag the text comes back to the same code.
        for (int flags = 0; flags < 16; ++flags) {
            const int code = n.virtualKey | (flags << 8);
            EXPECT_EQ(TrnKeyName(TrnVirtKey(code)), code) << TrnVirtKey(code);
        }
    }
    EXPECT_EQ(TrnVirtKey(8), "Backspace");
    EXPECT_EQ(TrnVirtKey(46), "Delete");
    EXPECT_EQ(TrnVirtKey(20), "Caps");
    EXPECT_EQ(TrnVirtKey(45), "Insert");
    EXPECT_EQ(TrnVirtKey(1), "MouseLeft");
}

TEST(HotKeyNames, ModifierWordsAndSignsAddTheirFlags) {
    const int all = 88 + hotkey::kWin + hotkey::kCtrl + hotkey::kAlt + hotkey::kShift;
    EXPECT_EQ(TrnKeyName("Win-Ctrl-Alt-Shift-X"), all);
    EXPECT_EQ(TrnKeyName("*^%+X"), all);
    EXPECT_EQ(TrnKeyName("shift-ctrl-alt-win-x"), all);
    EXPECT_EQ(TrnKeyName("WinW"), 87 + hotkey::kWin);
    EXPECT_EQ(TrnKeyName("Ctrl-Alt-Del"), 46 + hotkey::kCtrl + hotkey::kAlt);
    EXPECT_EQ(TrnKeyName("CtrlF12"), 123 + hotkey::kCtrl);
    EXPECT_EQ(TrnKeyName("Alt-Pad7"), 103 + hotkey::kAlt);
    // "KEY" is left out wherever it stands in the key name.
    EXPECT_EQ(TrnKeyName("Ctrl-KeyQ"), 81 + hotkey::kCtrl);
    EXPECT_EQ(TrnKeyName("PgKEYDn"), 34);
    // The flags come out in their fixed order.
    EXPECT_EQ(TrnVirtKey(TrnKeyName("Ctrl-Shift-Backspace")), "Shift-Ctrl-Backspace");
    EXPECT_EQ(TrnVirtKey(all), "Shift-Alt-Ctrl-Win-X");
}

TEST(HotKeyNames, UnknownOrMissingKeysGiveNoKey) {
    for (const char* text : {"", "Foo", "Ctrl-", "Ctrl-Alt-Foo", "-", "F13", "Win", "Shi", "X Y"})
        EXPECT_EQ(TrnKeyName(text) & 0xFF, 0) << text;
    EXPECT_EQ(TrnKeyName("Foo"), 0);
}

TEST(HotKeyNames, FormBoxesComposeAndSplitTheText) {
    EXPECT_EQ(composeHotKey(true, true, true, true, "X"), "Win-Ctrl-Alt-Shift-X");
    EXPECT_EQ(composeHotKey(false, true, false, true, "F5"), "Ctrl-Shift-F5");
    EXPECT_EQ(composeHotKey(false, false, false, false, "Pause"), "Pause");
    for (int m = 0; m < 16; ++m) {
        const std::string text = composeHotKey(m & 1, m & 2, m & 4, m & 8, "PgDn");
        const SplitHotKey s = splitHotKey(text);
        EXPECT_EQ(s.win, bool(m & 1)) << text;
        EXPECT_EQ(s.ctrl, bool(m & 2)) << text;
        EXPECT_EQ(s.alt, bool(m & 4)) << text;
        EXPECT_EQ(s.shift, bool(m & 8)) << text;
        EXPECT_EQ(s.keyName, "PgDn") << text;
    }
    const SplitHotKey w = splitHotKey("WinW");
    EXPECT_TRUE(w.win);
    EXPECT_EQ(w.keyName, "W");
}
