#include "platform/x11/X11Desktop.h"

#include "platform/WindowPlacer.h"
#include "platform/x11/X11ClipboardWatcher.h"
#include "platform/x11/X11HotKeys.h"

namespace qd {

X11Desktop openX11Desktop(const std::string& displayName) {
    X11Desktop desktop;
    desktop.connection = X11Connection::open(displayName);
    desktop.keyboard = std::make_unique<X11Keyboard>(desktop.connection);
    desktop.windows = std::make_unique<X11WindowSystem>(desktop.connection);
    return desktop;
}

namespace {

class X11ProgramDesktop : public Desktop {
public:
    explicit X11ProgramDesktop(const std::string& displayName) : x11_(openX11Desktop(displayName)) {
        if (!x11_.connected()) return;
        hotKeys_ = std::make_unique<X11HotKeys>(X11Connection::open(displayName));
        clipboardWatcher_ = std::make_unique<X11ClipboardWatcher>(displayName);
        placer_ = std::make_unique<StartedWindowPlacer>([displayName]() -> std::unique_ptr<WindowSystem> {
            auto connection = X11Connection::open(displayName);
            if (!connection) return nullptr;
            auto windows = std::make_unique<X11WindowSystem>(connection);
            windows->setUseAccessibility(false);
            return windows;
        });
    }

    bool connected() const override { return x11_.connected(); }
    Keyboard& keyboard() override { return *x11_.keyboard; }
    WindowSystem& windows() override { return *x11_.windows; }
    StartedWindowPlacer* windowPlacer() override { return placer_.get(); }
    HotKeys& hotKeys() override { return hotKeys_ ? static_cast<HotKeys&>(*hotKeys_) : Desktop::hotKeys(); }
    ClipboardWatcher* clipboardWatcher() override { return clipboardWatcher_.get(); }

private:
    X11Desktop x11_;
    std::unique_ptr<StartedWindowPlacer> placer_;
    std::unique_ptr<X11HotKeys> hotKeys_;                   // on a connection of its own
    std::unique_ptr<X11ClipboardWatcher> clipboardWatcher_; // its own connection and thread
};

} // namespace

std::unique_ptr<Desktop> openX11ProgramDesktop(const std::string& displayName) {
    return std::make_unique<X11ProgramDesktop>(displayName);
}

} // namespace qd
