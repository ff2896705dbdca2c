#include "platform/x11/X11Keyboard.h"

#include "platform/x11/X11Connection.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <bit>
#include <map>
#include <poll.h>
#include <set>
#include <thread>
#include <unordered_map>
#include <vector>

namespace qd {

namespace {

// A key that produces a keysym: its key code and the real modifiers that select
// the level.
struct KeyPos {
    KeyCode code = 0;
    unsigned mods = 0;
    int level = 0;
};

bool isKeypadKeysym(KeySym ks) {
    return ks >= XK_KP_Space && ks <= XK_KP_9;
}

// Keysym of the control characters that have a key of their own.
KeySym keysymForControl(char32_t ch) {
    switch (ch) {
    case U'\b':
        return XK_BackSpace;
    case U'\t':
        return XK_Tab;
    case U'\n':
    case U'\r':
        return XK_Return;
    case 0x1B:
        return XK_Escape;
    case 0x7F:
        return XK_Delete;
    default:
        return NoSymbol;
    }
}

// How long to wait for the program receiving the keys to answer a ping (see
// Impl::receiverCaughtUp) before a spare key code is bound again or reset.
constexpr std::chrono::milliseconds kReceiverTimeout{5000};
// The margin used instead when the receiver does not answer pings: X gives no
// other sign that a client has read an event, and a busy machine (seen with
// sanitizer builds under load) needed more than 100 ms.
constexpr std::chrono::milliseconds kRemapSettle{400};

} // namespace

unsigned long X11Keyboard::keysymForVirtualKey(int virtualKey) {
    if (virtualKey >= 'A' && virtualKey <= 'Z') return XK_a + static_cast<unsigned long>(virtualKey - 'A');
    if (virtualKey >= '0' && virtualKey <= '9') return XK_0 + static_cast<unsigned long>(virtualKey - '0');
    if (virtualKey >= 96 && virtualKey <= 105) return XK_KP_0 + static_cast<unsigned long>(virtualKey - 96);
    if (virtualKey >= 112 && virtualKey <= 135) return XK_F1 + static_cast<unsigned long>(virtualKey - 112);
    static const std::unordered_map<int, KeySym> table = {
        {8, XK_BackSpace},
        {9, XK_Tab},
        {12, XK_Clear},
        {13, XK_Return},
        {16, XK_Shift_L},
        {17, XK_Control_L},
        {18, XK_Alt_L},
        {19, XK_Pause},
        {20, XK_Caps_Lock},
        {27, XK_Escape},
        {32, XK_space},
        {33, XK_Prior},
        {34, XK_Next},
        {35, XK_End},
        {36, XK_Home},
        {37, XK_Left},
        {38, XK_Up},
        {39, XK_Right},
        {40, XK_Down},
        {41, XK_Select},
        {42, XK_Print},
        {43, XK_Execute},
        {44, XK_Print},
        {45, XK_Insert},
        {46, XK_Delete},
        {47, XK_Help},
        {91, XK_Super_L},
        {92, XK_Super_R},
        {93, XK_Menu},
        {106, XK_KP_Multiply},
        {107, XK_KP_Add},
        {108, XK_KP_Separator},
        {109, XK_KP_Subtract},
        {110, XK_KP_Decimal},
        {111, XK_KP_Divide},
        {144, XK_Num_Lock},
        {145, XK_Scroll_Lock},
        {160, XK_Shift_L},
        {161, XK_Shift_R},
        {162, XK_Control_L},
        {163, XK_Control_R},
        {164, XK_Alt_L},
        {165, XK_Alt_R},
        {186, XK_semicolon},
        {187, XK_equal},
        {188, XK_comma},
        {189, XK_minus},
        {190, XK_period},
        {191, XK_slash},
        {192, XK_grave},
        {219, XK_bracketleft},
        {220, XK_backslash},
        {221, XK_bracketright},
        {222, XK_apostrophe},
    };
    auto it = table.find(virtualKey);
    return it == table.end() ? NoSymbol : it->second;
}

struct X11Keyboard::Impl {
    std::shared_ptr<X11Connection> conn;
    Display* dpy = nullptr;
    bool xtest = false;
    int xkbEventBase = -1;

    // Key map of the current group, rebuilt when the layout or group changes.
    bool dirty = true;
    XkbDescPtr xkb = nullptr;
    int group = 0;
    std::unordered_map<char32_t, KeyPos> byChar;
    std::unordered_map<KeySym, KeyPos> byKeysym; // lowest level wins
    KeyCode modifierKey[8] = {};                 // a key code for each real modifier
    unsigned numLockMask = 0;
    std::vector<KeyCode> modifierKeycodes[8]; // every key code of each modifier

    // Spare key codes (no symbols at all) and what we bound to them.
    bool sparesKnown = false;
    std::vector<KeyCode> spares;
    std::size_t nextSpare = 0;
    std::map<KeyCode, KeySym> bound;
    std::set<KeyCode> unread; // bound since the receiver last caught up

    std::multiset<KeyCode> pressed;
    std::unordered_map<int, std::vector<KeyCode>> virtualDown; // key codes used by keyDown per virtual key

    // A connection of our own that hears the receivers' answers to pings.
    Display* pingDpy = nullptr;
    bool pingTried = false;
    long pingToken = 0;

    ~Impl() {
        if (xkb) XkbFreeKeyboard(xkb, XkbAllComponentsMask, True);
        if (pingDpy) XCloseDisplay(pingDpy);
    }

    // The focused window, or the nearest of its ancestors, whose program
    // answers EWMH pings; 0 when there is none.
    Window pingableFocus() {
        Window focus = None;
        int revert = 0;
        XGetInputFocus(dpy, &focus, &revert);
        const Atom ping = conn->atom("_NET_WM_PING");
        const Window root = DefaultRootWindow(dpy);
        for (Window w = focus; w != None && w != PointerRoot && w != root;) {
            Atom* protocols = nullptr;
            int count = 0;
            if (XGetWMProtocols(dpy, w, &protocols, &count)) {
                const bool answers = std::find(protocols, protocols + count, ping) != protocols + count;
                XFree(protocols);
                if (answers) return w;
            }
            Window rootOut = None, parent = None;
            Window* children = nullptr;
            unsigned n = 0;
            if (!XQueryTree(dpy, w, &rootOut, &parent, &children, &n)) return 0;
            if (children) XFree(children);
            w = parent;
        }
        return 0;
    }

    // Waits until the program that owns the focused window has handled every
    // key sent so far. Programs read their events in order, so a ping sent
    // after the keys comes back only once the keys have been read, with the
    // key map as it was then; a spare key code is safe to bind again after
    // that. False when the program does not answer pings, or not in time.
    bool receiverCaughtUp() {
        XSync(dpy, False); // the keys are in the receiver's queue from here on
        const Window client = pingableFocus();
        if (client == 0) return false;
        if (!pingTried) {
            pingTried = true;
            pingDpy = XOpenDisplay(DisplayString(dpy));
            // Answers go to the root window for the window manager, with
            // SubstructureNotify (GTK) or StructureNotify (Qt) in their mask:
            // listening for both hears either.
            if (pingDpy)
                XSelectInput(pingDpy, DefaultRootWindow(pingDpy),
                             SubstructureNotifyMask | StructureNotifyMask);
        }
        if (!pingDpy) return false;
        const Atom ping = XInternAtom(pingDpy, "_NET_WM_PING", False);
        XEvent ev{};
        ev.xclient.type = ClientMessage;
        ev.xclient.window = client;
        ev.xclient.message_type = XInternAtom(pingDpy, "WM_PROTOCOLS", False);
        ev.xclient.format = 32;
        ev.xclient.data.l[0] = static_cast<long>(ping);
        ev.xclient.data.l[1] = ++pingToken; // stands for the timestamp; tells our answer apart
        ev.xclient.data.l[2] = static_cast<long>(client);
        XSendEvent(pingDpy, client, False, NoEventMask, &ev);
        XFlush(pingDpy);
        const auto end = std::chrono::steady_clock::now() + kReceiverTimeout;
        for (;;) {
            while (XPending(pingDpy) > 0) {
                XEvent reply;
                XNextEvent(pingDpy, &reply);
                if (reply.type == ClientMessage && static_cast<Atom>(reply.xclient.data.l[0]) == ping &&
                    reply.xclient.data.l[1] == pingToken)
                    return true;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            pollfd fd{ConnectionNumber(pingDpy), POLLIN, 0};
            poll(&fd, 1, static_cast<int>(left.count()));
        }
    }

    // Before a spare key code is bound again or reset: the receiver must have
    // read the keys typed on it.
    void waitForReceiver() {
        if (!receiverCaughtUp()) std::this_thread::sleep_for(kRemapSettle);
    }

    void pumpEvents() {
        while (XPending(dpy) > 0) {
            XEvent ev;
            XNextEvent(dpy, &ev);
            if (ev.type != xkbEventBase) continue;
            const auto* any = reinterpret_cast<XkbAnyEvent*>(&ev);
            if (any->xkb_type == XkbMapNotify) {
                const auto* m = reinterpret_cast<XkbMapNotifyEvent*>(&ev);
                // Our own spare-key bindings touch only spare keys: no rebuild for those.
                bool onlyOurs = m->num_key_syms > 0 && m->num_types == 0;
                for (int k = 0; onlyOurs && k < m->num_key_syms; ++k)
                    onlyOurs = std::find(spares.begin(), spares.end(), m->first_key_sym + k) != spares.end();
                if (!onlyOurs) dirty = true;
            } else if (any->xkb_type == XkbNewKeyboardNotify || any->xkb_type == XkbStateNotify) {
                dirty = true;
            }
        }
    }

    // Real modifiers that select `level` of a key type; false when only a
    // combination with a lock (Caps Lock, Num Lock) or no entry reaches it.
    bool modsForLevel(XkbKeyTypePtr type, int level, unsigned& mods) const {
        if (level == 0) {
            mods = 0;
            return true;
        }
        bool found = false;
        for (int i = 0; i < type->map_count; ++i) {
            const XkbKTMapEntryRec& e = type->map[i];
            if (!e.active || e.level != level) continue;
            const unsigned m = e.mods.mask;
            if (m & (LockMask | numLockMask)) continue;
            if (!found || std::popcount(m) < std::popcount(mods)) mods = m, found = true;
        }
        return found;
    }

    bool modifiersPressable(unsigned mods) const {
        for (int i = 0; i < 8; ++i)
            if ((mods & (1u << i)) && modifierKey[i] == 0) return false;
        return true;
    }

    void rebuild() {
        dirty = false;
        if (xkb) XkbFreeKeyboard(xkb, XkbAllComponentsMask, True);
        xkb = XkbGetMap(dpy, XkbKeyTypesMask | XkbKeySymsMask | XkbModifierMapMask, XkbUseCoreKbd);
        byChar.clear();
        byKeysym.clear();
        XkbStateRec state{};
        if (XkbGetState(dpy, XkbUseCoreKbd, &state) == Success) group = state.group;
        for (auto& v : modifierKeycodes)
            v.clear();
        for (auto& k : modifierKey)
            k = 0;
        numLockMask = 0;
        if (!xkb) return;

        if (XModifierKeymap* mm = XGetModifierMapping(dpy)) {
            for (int mod = 0; mod < 8; ++mod) {
                for (int k = 0; k < mm->max_keypermod; ++k) {
                    const KeyCode kc = mm->modifiermap[mod * mm->max_keypermod + k];
                    if (kc == 0) continue;
                    modifierKeycodes[mod].push_back(kc);
                    const KeySym ks = XkbKeycodeToKeysym(dpy, kc, 0, 0);
                    if (ks == XK_Num_Lock) numLockMask |= 1u << mod;
                    // Prefer the key whose first symbol is the modifier itself.
                    if (modifierKey[mod] == 0 || (mod == 7 && ks == XK_ISO_Level3_Shift))
                        modifierKey[mod] = kc;
                }
            }
            XFreeModifiermap(mm);
        }

        for (int kc = xkb->min_key_code; kc <= xkb->max_key_code; ++kc) {
            const int groups = XkbKeyNumGroups(xkb, kc);
            if (groups == 0) continue;
            const int g = group < groups ? group : group % groups;
            XkbKeyTypePtr type = XkbKeyKeyType(xkb, kc, g);
            for (int level = 0; level < type->num_levels; ++level) {
                const KeySym ks = XkbKeySymEntry(xkb, kc, level, g);
                if (ks == NoSymbol) continue;
                unsigned mods = 0;
                if (!modsForLevel(type, level, mods) || !modifiersPressable(mods)) continue;
                const KeyPos pos{static_cast<KeyCode>(kc), mods, level};
                const auto better = [&](const KeyPos& old) {
                    return std::popcount(pos.mods) < std::popcount(old.mods) ||
                           (std::popcount(pos.mods) == std::popcount(old.mods) && pos.level < old.level);
                };
                if (auto it = byKeysym.find(ks); it == byKeysym.end() || better(it->second))
                    byKeysym[ks] = pos;
                if (isKeypadKeysym(ks)) continue; // keypad keys depend on Num Lock
                const char32_t ch = xkb_keysym_to_utf32(static_cast<xkb_keysym_t>(ks));
                if (ch < 0x20 || ch == 0x7F) continue;
                if (auto it = byChar.find(ch); it == byChar.end() || better(it->second)) byChar[ch] = pos;
            }
        }

        if (!sparesKnown) {
            sparesKnown = true;
            for (int kc = std::max(xkb->min_key_code, static_cast<unsigned char>(8)); kc <= xkb->max_key_code;
                 ++kc) {
                bool empty = true;
                for (int g = 0; g < XkbKeyNumGroups(xkb, kc) && empty; ++g)
                    for (int l = 0; l < XkbKeyGroupWidth(xkb, kc, g) && empty; ++l)
                        empty = XkbKeySymEntry(xkb, kc, l, g) == NoSymbol;
                for (const auto& v : modifierKeycodes)
                    if (std::find(v.begin(), v.end(), kc) != v.end()) empty = false;
                if (empty) spares.push_back(static_cast<KeyCode>(kc));
            }
        }
    }

    void refresh() {
        pumpEvents();
        if (dirty) rebuild();
    }

    KeyStatus fake(KeyCode kc, bool down) {
        if (!XTestFakeKeyEvent(dpy, kc, down ? True : False, CurrentTime)) return KeyStatus::Failed;
        if (down) {
            pressed.insert(kc);
        } else if (auto it = pressed.find(kc); it != pressed.end()) {
            pressed.erase(it);
        }
        return KeyStatus::Ok;
    }

    // Binds a spare key code to the keysym (both levels) and returns it; 0 when
    // the layout has no spare key code.
    KeyCode bindSpare(KeySym ks) {
        for (const auto& [kc, sym] : bound)
            if (sym == ks) return kc;
        if (spares.empty()) return 0;
        const KeyCode kc = spares[nextSpare];
        nextSpare = (nextSpare + 1) % spares.size();
        if (unread.count(kc)) {
            // Reusing a key code: its earlier use must be read first. One wait
            // covers every code bound so far, so a long text waits once per
            // round of spare codes, not once per character.
            waitForReceiver();
            unread.clear();
        }
        KeySym syms[2] = {ks, ks};
        XChangeKeyboardMapping(dpy, kc, 2, syms, 1);
        XSync(dpy, False);
        bound[kc] = ks;
        unread.insert(kc);
        return kc;
    }

    void restoreSpares() {
        if (bound.empty()) return;
        waitForReceiver();
        for (const auto& [kc, sym] : bound) {
            KeySym none[2] = {NoSymbol, NoSymbol};
            KeyCode code = kc;
            XChangeKeyboardMapping(dpy, code, 2, none, 1);
        }
        bound.clear();
        unread.clear();
        XSync(dpy, False);
    }

    // Presses the modifiers, strokes the key, releases the modifiers; on any
    // failure the keys already pressed are released.
    KeyStatus stroke(const KeyPos& pos) {
        std::vector<KeyCode> mods;
        KeyStatus s = KeyStatus::Ok;
        for (int i = 0; i < 8 && s == KeyStatus::Ok; ++i) {
            if ((pos.mods & (1u << i)) == 0) continue;
            s = fake(modifierKey[i], true);
            if (s == KeyStatus::Ok) mods.push_back(modifierKey[i]);
        }
        if (s == KeyStatus::Ok) {
            s = fake(pos.code, true);
            const KeyStatus up = fake(pos.code, false);
            if (s == KeyStatus::Ok) s = up;
        }
        for (auto it = mods.rbegin(); it != mods.rend(); ++it)
            fake(*it, false);
        XFlush(dpy);
        return s;
    }

    KeyCode keycodeForVirtualKey(int virtualKey) {
        const KeySym ks = keysymForVirtualKey(virtualKey);
        if (ks == NoSymbol) return 0;
        refresh();
        if (auto it = byKeysym.find(ks); it != byKeysym.end()) {
            const bool letterOrDigit =
                (virtualKey >= 'A' && virtualKey <= 'Z') || (virtualKey >= '0' && virtualKey <= '9');
            if (it->second.level == 0 || letterOrDigit) return it->second.code;
        }
        // Keys with modifier or lock meaning must be real keys of the layout.
        if (virtualKey == 16 || virtualKey == 17 || virtualKey == 18 || virtualKey == 20 ||
            virtualKey == 91) {
            const KeyCode kc = XKeysymToKeycode(dpy, ks);
            if (kc != 0) return kc;
        }
        return bindSpare(ks);
    }
};

X11Keyboard::X11Keyboard(std::shared_ptr<X11Connection> connection) : d(std::make_unique<Impl>()) {
    d->conn = std::move(connection);
    if (!d->conn) return;
    d->dpy = d->conn->display();
    int ev = 0, err = 0, major = 0, minor = 0;
    d->xtest = XTestQueryExtension(d->dpy, &ev, &err, &major, &minor) == True;
    int opcode = 0, xkbErr = 0, xkbMajor = XkbMajorVersion, xkbMinor = XkbMinorVersion;
    if (XkbQueryExtension(d->dpy, &opcode, &d->xkbEventBase, &xkbErr, &xkbMajor, &xkbMinor)) {
        XkbSelectEvents(d->dpy, XkbUseCoreKbd, XkbNewKeyboardNotifyMask | XkbMapNotifyMask,
                        XkbNewKeyboardNotifyMask | XkbMapNotifyMask);
        XkbSelectEventDetails(d->dpy, XkbUseCoreKbd, XkbStateNotify, XkbGroupStateMask, XkbGroupStateMask);
    } else {
        d->xtest = false; // without XKB we cannot tell which key makes which character
    }
}

X11Keyboard::~X11Keyboard() {
    if (usable()) releaseAll();
}

bool X11Keyboard::usable() const {
    return d->dpy && d->xtest;
}

KeyStatus X11Keyboard::keyDown(int virtualKey) {
    if (!d->dpy) return KeyStatus::NoDisplay;
    if (!d->xtest) return KeyStatus::Failed;
    if (keysymForVirtualKey(virtualKey) == NoSymbol)
        return KeyStatus::Ok; // mouse names, key 0: nothing to send
    const KeyCode kc = d->keycodeForVirtualKey(virtualKey);
    if (kc == 0) return KeyStatus::Unsupported;
    const KeyStatus s = d->fake(kc, true);
    if (s == KeyStatus::Ok) d->virtualDown[virtualKey].push_back(kc);
    XFlush(d->dpy);
    return s;
}

KeyStatus X11Keyboard::keyUp(int virtualKey) {
    if (!d->dpy) return KeyStatus::NoDisplay;
    if (!d->xtest) return KeyStatus::Failed;
    if (keysymForVirtualKey(virtualKey) == NoSymbol) return KeyStatus::Ok;
    KeyCode kc = 0;
    auto& downs = d->virtualDown[virtualKey];
    if (!downs.empty()) {
        kc = downs.back();
        downs.pop_back();
    } else {
        kc = d->keycodeForVirtualKey(virtualKey);
    }
    if (kc == 0) return KeyStatus::Unsupported;
    const KeyStatus s = d->fake(kc, false);
    XFlush(d->dpy);
    return s;
}

KeyStatus X11Keyboard::typeCharacter(char32_t ch) {
    if (!d->dpy) return KeyStatus::NoDisplay;
    if (!d->xtest) return KeyStatus::Failed;
    d->refresh();
    if (const KeySym control = keysymForControl(ch); control != NoSymbol) {
        auto it = d->byKeysym.find(control);
        if (it == d->byKeysym.end()) return KeyStatus::Unsupported;
        return d->stroke({it->second.code, 0, 0});
    }
    if (ch < 0x20 || (ch >= 0x7F && ch < 0xA0) || ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF))
        return KeyStatus::Unsupported;
    if (auto it = d->byChar.find(ch); it != d->byChar.end()) return d->stroke(it->second);
    KeySym ks = xkb_utf32_to_keysym(static_cast<std::uint32_t>(ch));
    if (ks == NoSymbol) ks = 0x01000000 | ch;
    const KeyCode kc = d->bindSpare(ks);
    if (kc == 0) return KeyStatus::Unsupported;
    return d->stroke({kc, 0, 0});
}

bool X11Keyboard::capsLockOn() {
    if (!d->dpy) return false;
    XkbStateRec state{};
    if (XkbGetState(d->dpy, XkbUseCoreKbd, &state) != Success) return false;
    return (state.locked_mods & LockMask) != 0;
}

int X11Keyboard::heldModifiers() {
    if (!d->dpy) return 0;
    d->refresh();
    char keys[32] = {};
    XQueryKeymap(d->dpy, keys);
    const auto held = [&](int mod) {
        for (KeyCode kc : d->modifierKeycodes[mod]) {
            const bool down = (keys[kc / 8] >> (kc % 8)) & 1;
            if (down && d->pressed.count(kc) == 0) return true;
        }
        return false;
    };
    int flags = 0;
    if (held(ShiftMapIndex)) flags |= kModShift;
    if (held(ControlMapIndex)) flags |= kModCtrl;
    if (held(Mod1MapIndex)) flags |= kModAlt;
    if (held(Mod4MapIndex)) flags |= kModWin;
    return flags;
}

int X11Keyboard::serverKeysDown() {
    if (!d->dpy) return 0;
    char keys[32] = {};
    XQueryKeymap(d->dpy, keys);
    int n = 0;
    for (char byte : keys)
        n += std::popcount(static_cast<unsigned char>(byte));
    return n;
}

bool X11Keyboard::waitForModifiersReleased(std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (heldModifiers() == 0) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void X11Keyboard::releaseAll() {
    if (!d->dpy || !d->xtest) return;
    while (!d->pressed.empty())
        d->fake(*d->pressed.begin(), false);
    d->virtualDown.clear();
    d->restoreSpares();
    XSync(d->dpy, False);
}

void X11Keyboard::flush() {
    if (d->dpy) XSync(d->dpy, False);
}

} // namespace qd
