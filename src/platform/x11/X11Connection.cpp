#include "platform/x11/X11Connection.h"

#include <X11/Xlib.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace qd {

namespace {

std::mutex& registryMutex() {
    static std::mutex m;
    return m;
}

// Error counts of our connections, and the handler that was there before ours
// (Qt's, in the program) for everyone else's.
struct ConnectionErrors {
    unsigned long count = 0;
    bool trapping = false;
    std::vector<X11Connection::TrappedError> trapped;
};
std::unordered_map<Display*, ConnectionErrors>& errorCounts() {
    static std::unordered_map<Display*, ConnectionErrors> counts;
    return counts;
}
XErrorHandler previousHandler = nullptr;
bool handlerInstalled = false;

int onXError(Display* display, XErrorEvent* event) {
    {
        std::lock_guard lock(registryMutex());
        auto it = errorCounts().find(display);
        if (it != errorCounts().end()) {
            ++it->second.count;
            if (it->second.trapping)
                it->second.trapped.push_back({event->serial, event->error_code, event->request_code});
            return 0;
        }
    }
    // Not ours: the previous handler decides; Xlib's default would end the process,
    // so without one the error is ignored.
    if (previousHandler) return previousHandler(display, event);
    return 0;
}

} // namespace

struct X11Connection::Atoms {
    std::unordered_map<std::string, Atom> byName;
};

std::shared_ptr<X11Connection> X11Connection::open(const std::string& displayName) {
    static std::once_flag threadsInit;
    std::call_once(threadsInit, [] { XInitThreads(); });
    const char* name = displayName.empty() ? nullptr : displayName.c_str();
    if (!name) {
        const char* env = std::getenv("DISPLAY");
        if (!env || !*env) return nullptr;
    }
    Display* display = XOpenDisplay(name);
    if (!display) return nullptr;
    {
        std::lock_guard lock(registryMutex());
        if (!handlerInstalled) {
            previousHandler = XSetErrorHandler(&onXError);
            handlerInstalled = true;
        }
        errorCounts()[display] = ConnectionErrors{};
    }
    return std::shared_ptr<X11Connection>(new X11Connection(display));
}

X11Connection::X11Connection(Display* display) : display_(display), atoms_(std::make_unique<Atoms>()) {
    root_ = DefaultRootWindow(display);
}

X11Connection::~X11Connection() {
    XCloseDisplay(display_);
    std::lock_guard lock(registryMutex());
    errorCounts().erase(display_);
}

unsigned long X11Connection::atom(const char* name) {
    auto it = atoms_->byName.find(name);
    if (it != atoms_->byName.end()) return it->second;
    const Atom a = XInternAtom(display_, name, False);
    atoms_->byName.emplace(name, a);
    return a;
}

unsigned long X11Connection::errorCount() const {
    std::lock_guard lock(registryMutex());
    auto it = errorCounts().find(display_);
    return it == errorCounts().end() ? 0 : it->second.count;
}

void X11Connection::beginErrorTrap() {
    XSync(display_, False); // errors of earlier requests are not this trap's
    std::lock_guard lock(registryMutex());
    auto& e = errorCounts()[display_];
    e.trapping = true;
    e.trapped.clear();
}

std::vector<X11Connection::TrappedError> X11Connection::endErrorTrap() {
    XSync(display_, False); // every request of the trap has its answer now
    std::lock_guard lock(registryMutex());
    auto& e = errorCounts()[display_];
    e.trapping = false;
    std::vector<TrappedError> out;
    out.swap(e.trapped);
    return out;
}

void X11Connection::sync() {
    XSync(display_, False);
}

} // namespace qd
