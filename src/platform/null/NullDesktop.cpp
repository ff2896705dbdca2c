#include "platform/null/NullDesktop.h"

namespace qd {

WindowStatus NullWindowSystem::topLevelWindows(std::vector<TopLevelWindow>& out) {
    out.clear();
    return WindowStatus::NoDisplay;
}

std::unique_ptr<Desktop> openNullDesktop() {
    return std::make_unique<NullDesktop>();
}

} // namespace qd
