// Texts of the widgets of another application's window, read from the desktop
// accessibility tree (AT-SPI over D-Bus). Toolkit windows draw their buttons
// and labels without X subwindows; this is where their texts can be found.
// A Qt application exposes its tree when desktop accessibility is switched on
// (or QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1); GTK applications always do.
#pragma once

#include "platform/WindowSystem.h"

#include <string>
#include <vector>

namespace qd {

class AtSpiTree {
public:
    AtSpiTree();
    ~AtSpiTree();
    AtSpiTree(const AtSpiTree&) = delete;
    AtSpiTree& operator=(const AtSpiTree&) = delete;

    // False when there is no session bus or no accessibility registry.
    bool available();

    // Named elements (buttons, labels, texts ...) of the window titled
    // `windowTitle` of process `pid`, in tree order; the class name is the
    // element's role ("push button"). Empty when the application exposes no
    // tree. When the process has a single window its title need not match.
    std::vector<ChildWindow> childTexts(int pid, const std::string& windowTitle);

private:
    int state_ = 0; // 0 not tried, 1 ready, -1 unavailable
};

} // namespace qd
