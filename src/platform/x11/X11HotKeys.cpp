#include "platform/x11/X11HotKeys.h"

#include "platform/x11/X11Connection.h"
#include "platform/x11/X11Keyboard.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <algorithm>
#include <deque>
#include <map>
#include <poll.h>
#include <set>
#include <thread>

namespace qd {

namespace {

unsigned xModifiers(unsigned modifiers) {
    unsigned m = 0;
    if (modifiers & hotmod::kAlt) m |= Mod1Mask;
    if (modifiers & hotmod::kCtrl) m |= ControlMask;
    if (modifiers & hotmod::kShift) m |= ShiftMask;
    if (modifiers & hotmod::kWin) m |= Mod4Mask;
    return m;
}

} // namespace

struct X11HotKeys::Impl {
    std::shared_ptr<X11Connection> conn;
    Display* dpy = nullptr;
    Window root = 0;

    struct Grab {
        KeyCode code = 0;
        unsigned mods = 0;
    };
    std::map<int, Grab> grabs;
    std::deque<int> pending; // presses read but not yet taken
    std::set<KeyCode> held;  // grabbed keys pressed and not released yet
    KeyCode lastPressed = 0;
    unsigned lockMasks[8] = {}; // every combination of the lock modifiers
    int lockVariants = 1;
    unsigned ignoredMask = LockMask;

    // The modifier bit a key sym is bound to (0 when none).
    unsigned maskOf(KeySym sym) {
        const KeyCode kc = XKeysymToKeycode(dpy, sym);
        if (kc == 0) return 0;
        XModifierKeymap* map = XGetModifierMapping(dpy);
        if (!map) return 0;
        unsigned mask = 0;
        for (int mod = 0; mod < 8 && mask == 0; ++mod)
            for (int i = 0; i < map->max_keypermod; ++i)
                if (map->modifiermap[mod * map->max_keypermod + i] == kc) {
                    mask = 1u << mod;
                    break;
                }
        XFreeModifiermap(map);
        return mask;
    }

    void findLocks() {
        std::vector<unsigned> locks = {LockMask};
        for (KeySym sym : {static_cast<KeySym>(XK_Num_Lock), static_cast<KeySym>(XK_Scroll_Lock)}) {
            const unsigned m = maskOf(sym);
            if (m != 0 && m != LockMask && (m & (ShiftMask | ControlMask | Mod1Mask | Mod4Mask)) == 0)
                locks.push_back(m);
        }
        lockVariants = 1 << locks.size();
        ignoredMask = 0;
        for (int v = 0; v < lockVariants; ++v) {
            unsigned m = 0;
            for (std::size_t b = 0; b < locks.size(); ++b)
                if (v & (1 << b)) m |= locks[b];
            lockMasks[v] = m;
            ignoredMask |= m;
        }
    }

    void ungrab(const Grab& g) {
        for (int v = 0; v < lockVariants; ++v)
            XUngrabKey(dpy, g.code, g.mods | lockMasks[v], root);
    }

    // Grabs every lock variant; undoes them all when the server refuses one.
    HotKeyStatus grab(const Grab& g) {
        conn->beginErrorTrap();
        for (int v = 0; v < lockVariants; ++v)
            XGrabKey(dpy, g.code, g.mods | lockMasks[v], root, False, GrabModeAsync, GrabModeAsync);
        const auto errors = conn->endErrorTrap();
        if (errors.empty()) return HotKeyStatus::Ok;
        ungrab(g);
        XSync(dpy, False);
        return HotKeyStatus::Refused;
    }

    bool combination(unsigned modifiers, int virtualKey, Grab& out) {
        const KeySym sym = X11Keyboard::keysymForVirtualKey(virtualKey);
        if (sym == NoSymbol) return false;
        out.code = XKeysymToKeycode(dpy, sym);
        out.mods = xModifiers(modifiers);
        return out.code != 0;
    }

    // Reads every event that has arrived; presses of grabbed combinations go
    // to `pending`.
    void readEvents() {
        while (XPending(dpy) > 0) {
            XEvent ev;
            XNextEvent(dpy, &ev);
            if (ev.type == KeyRelease) {
                held.erase(static_cast<KeyCode>(ev.xkey.keycode));
                continue;
            }
            if (ev.type != KeyPress) continue;
            const auto code = static_cast<KeyCode>(ev.xkey.keycode);
            // With detectable auto-repeat a held key sends presses only: the
            // first one counts.
            if (!held.insert(code).second) continue;
            const unsigned mods =
                ev.xkey.state & ~ignoredMask & (ShiftMask | ControlMask | Mod1Mask | Mod4Mask);
            for (const auto& [id, g] : grabs)
                if (g.code == code && g.mods == mods) {
                    pending.push_back(id);
                    lastPressed = code;
                    break;
                }
        }
    }

    bool keyDown(KeyCode code) {
        char keys[32] = {};
        XQueryKeymap(dpy, keys);
        return (keys[code / 8] >> (code % 8)) & 1;
    }
};

X11HotKeys::X11HotKeys(std::shared_ptr<X11Connection> connection) : d(std::make_unique<Impl>()) {
    d->conn = std::move(connection);
    if (!d->conn) return;
    d->dpy = d->conn->display();
    d->root = d->conn->root();
    Bool supported = False;
    XkbSetDetectableAutoRepeat(d->dpy, True, &supported);
    d->findLocks();
}

X11HotKeys::~X11HotKeys() {
    if (d->dpy) unregisterAll();
}

HotKeyStatus X11HotKeys::registerKey(int id, unsigned modifiers, int virtualKey) {
    if (!d->dpy) return HotKeyStatus::NoDisplay;
    unregisterKey(id);
    Impl::Grab g;
    if (!d->combination(modifiers, virtualKey, g)) return HotKeyStatus::Unsupported;
    const HotKeyStatus s = d->grab(g);
    if (s == HotKeyStatus::Ok) d->grabs[id] = g;
    return s;
}

void X11HotKeys::unregisterKey(int id) {
    if (!d->dpy) return;
    auto it = d->grabs.find(id);
    if (it == d->grabs.end()) return;
    const Impl::Grab g = it->second;
    d->grabs.erase(it);
    // Another id may hold the same combination: its grab stays.
    for (const auto& [other, og] : d->grabs)
        if (og.code == g.code && og.mods == g.mods) return;
    d->ungrab(g);
    // Done when this returns: another program may grab the combination next.
    XSync(d->dpy, False);
}

void X11HotKeys::unregisterAll() {
    if (!d->dpy) return;
    for (const auto& [id, g] : d->grabs)
        d->ungrab(g);
    d->grabs.clear();
    XSync(d->dpy, False);
}

HotKeyStatus X11HotKeys::probe(unsigned modifiers, int virtualKey) {
    if (!d->dpy) return HotKeyStatus::NoDisplay;
    Impl::Grab g;
    if (!d->combination(modifiers, virtualKey, g)) return HotKeyStatus::Unsupported;
    for (const auto& [id, og] : d->grabs)
        if (og.code == g.code && og.mods == g.mods) return HotKeyStatus::Ok;
    const HotKeyStatus s = d->grab(g);
    if (s == HotKeyStatus::Ok) {
        d->ungrab(g);
        XSync(d->dpy, False);
    }
    return s;
}

int X11HotKeys::eventDescriptor() const {
    return d->dpy ? ConnectionNumber(d->dpy) : -1;
}

std::vector<int> X11HotKeys::takePresses() {
    if (!d->dpy) return {};
    d->readEvents();
    std::vector<int> out(d->pending.begin(), d->pending.end());
    d->pending.clear();
    return out;
}

bool X11HotKeys::pressesPending() {
    if (!d->dpy) return false;
    if (QLength(d->dpy) > 0) return true;
    return !d->pending.empty();
}

bool X11HotKeys::lastKeyHeld() {
    if (!d->dpy || d->lastPressed == 0) return false;
    d->readEvents();
    const KeyCode code = d->lastPressed;
    if (d->held.count(code) != 0 && d->keyDown(code)) return true;
    d->held.erase(code);
    return false;
}

bool X11HotKeys::waitForRelease(std::chrono::milliseconds timeout) {
    if (!d->dpy || d->lastPressed == 0) return true;
    const KeyCode code = d->lastPressed;
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        d->readEvents();
        if (d->held.count(code) == 0 || !d->keyDown(code)) {
            d->held.erase(code);
            return true;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p{ConnectionNumber(d->dpy), POLLIN, 0};
        ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 10)));
    }
    // Still held: the keys we are about to send must reach the focused window.
    XUngrabKeyboard(d->dpy, CurrentTime);
    XSync(d->dpy, False);
    d->held.erase(code);
    return false;
}

} // namespace qd
