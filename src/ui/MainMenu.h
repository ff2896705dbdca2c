// The entries of the main frame's menu and of its toolbar, as one table: the
// menu path, the entry text with its accelerator, the shortcut, the tip, and
// the internal name the frame connects a handler to.
#pragma once

#include <string>
#include <vector>

namespace qdui {

struct MenuEntry {
    std::string menu;     // "&File/&Setup": the menus the entry sits in; "" for a separator's menu only
    std::string id;       // internal name ("Options"); "-" for a separator
    std::string text;     // "&Options"
    std::string shortcut; // "F10", "Ctrl+Shift+M"; blank for none
    std::string tip;      // shown in the status bar and as the tooltip
    bool alwaysDisabled = false;
};

// The whole main menu, top to bottom.
const std::vector<MenuEntry>& mainMenuEntries();

// The entries the toolbar repeats, in order ("-" for a gap); "StopScripts" is
// the toolbar's own button.
const std::vector<std::string>& toolbarEntries();

// Tip of an entry whose window comes with a later version of the program.
inline constexpr const char* kNotAvailableTip = "Not available yet";

} // namespace qdui
