#include "platform/x11/X11WindowSystem.h"

#include "platform/TextUtil.h"
#include "platform/x11/AtSpiTree.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11WindowState.h"

#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <unordered_map>
#include <unordered_set>

namespace qd {

namespace {

constexpr std::size_t kMaxDescendants = 20000;

// A pending property request and its decoding.
struct Property {
    xcb_get_property_cookie_t cookie{};

    static Property ask(xcb_connection_t* c, xcb_window_t w, xcb_atom_t prop, xcb_atom_t type,
                        uint32_t longs = 1024) {
        return {xcb_get_property(c, 0, w, prop, type, 0, longs)};
    }
    // The reply (nullptr when the window is gone or the property is missing).
    struct Reply {
        xcb_get_property_reply_t* r = nullptr;
        ~Reply() { std::free(r); }
        Reply() = default;
        Reply(const Reply&) = delete;
        Reply& operator=(const Reply&) = delete;
        bool ok() const { return r && r->type != XCB_NONE; }
        const char* bytes() const { return static_cast<const char*>(xcb_get_property_value(r)); }
        int length() const { return xcb_get_property_value_length(r); }
        xcb_atom_t type() const { return r ? r->type : XCB_NONE; }
        uint8_t format() const { return r ? r->format : 0; }
    };
    void take(xcb_connection_t* c, Reply& out) const { out.r = xcb_get_property_reply(c, cookie, nullptr); }
};

std::string latin1ToUtf8(std::string_view s) {
    std::string out;
    for (char ch : s)
        appendUtf8(out, static_cast<unsigned char>(ch));
    return out;
}

// Text up to the first NUL.
std::string_view cString(const char* p, int len) {
    const void* nul = std::memchr(p, 0, static_cast<std::size_t>(len));
    return {p, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - p)
                   : static_cast<std::size_t>(len)};
}

} // namespace

struct X11WindowSystem::Impl {
    std::shared_ptr<X11Connection> conn;
    Display* dpy = nullptr;
    xcb_connection_t* xcb = nullptr;
    xcb_window_t root = 0;
    bool useAccessibility = true;
    std::unique_ptr<AtSpiTree> atspi;

    xcb_atom_t atom(const char* name) { return static_cast<xcb_atom_t>(conn->atom(name)); }

    // Window ids of a window property (WINDOW or CARDINAL list).
    std::vector<xcb_window_t> windowList(xcb_window_t w, xcb_atom_t prop) {
        Property::Reply r;
        Property::ask(xcb, w, prop, XCB_GET_PROPERTY_TYPE_ANY, 65536).take(xcb, r);
        std::vector<xcb_window_t> out;
        if (!r.ok() || r.format() != 32) return out;
        const auto* v = reinterpret_cast<const uint32_t*>(r.bytes());
        out.assign(v, v + r.length() / 4);
        return out;
    }

    bool wmRunning() {
        const auto check = windowList(root, atom("_NET_SUPPORTING_WM_CHECK"));
        if (check.empty() || check[0] == 0) return false;
        const auto self = windowList(check[0], atom("_NET_SUPPORTING_WM_CHECK"));
        return !self.empty() && self[0] == check[0];
    }

    bool wmSupports(const char* name) {
        if (!wmRunning()) return false;
        const auto supported = windowList(root, atom("_NET_SUPPORTED"));
        return std::find(supported.begin(), supported.end(), atom(name)) != supported.end();
    }

    std::string decodeName(const Property::Reply& net, const Property::Reply& wm) {
        if (net.ok() && net.length() > 0) return std::string(cString(net.bytes(), net.length()));
        if (!wm.ok() || wm.length() <= 0) return {};
        const std::string_view raw = cString(wm.bytes(), wm.length());
        if (wm.type() == atom("UTF8_STRING")) return std::string(raw);
        if (wm.type() == atom("COMPOUND_TEXT")) {
            XTextProperty tp{};
            tp.value = reinterpret_cast<unsigned char*>(const_cast<char*>(raw.data()));
            tp.encoding = wm.type();
            tp.format = 8;
            tp.nitems = raw.size();
            char** list = nullptr;
            int count = 0;
            std::string out;
            if (Xutf8TextPropertyToTextList(dpy, &tp, &list, &count) >= Success && list && count > 0)
                out = list[0];
            if (list) XFreeStringList(list);
            if (!out.empty()) return out;
        }
        return latin1ToUtf8(raw);
    }

    // Title, class, pid and visibility of many windows in one round of requests.
    std::vector<TopLevelWindow> describe(const std::vector<xcb_window_t>& windows, bool wantDetails) {
        struct Pending {
            Property net, wm, cls, pid, state;
            xcb_get_window_attributes_cookie_t attrs{};
        };
        const xcb_atom_t netName = atom("_NET_WM_NAME"), utf8 = atom("UTF8_STRING"),
                         netPid = atom("_NET_WM_PID"), netState = atom("_NET_WM_STATE"),
                         hidden = atom("_NET_WM_STATE_HIDDEN");
        std::vector<Pending> pending(windows.size());
        for (std::size_t i = 0; i < windows.size(); ++i) {
            const xcb_window_t w = windows[i];
            pending[i].net = Property::ask(xcb, w, netName, utf8);
            pending[i].wm = Property::ask(xcb, w, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY);
            pending[i].cls = Property::ask(xcb, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING);
            if (wantDetails) {
                pending[i].pid = Property::ask(xcb, w, netPid, XCB_ATOM_CARDINAL, 1);
                pending[i].state = Property::ask(xcb, w, netState, XCB_ATOM_ATOM, 64);
                pending[i].attrs = xcb_get_window_attributes(xcb, w);
            }
        }
        std::vector<TopLevelWindow> out(windows.size());
        for (std::size_t i = 0; i < windows.size(); ++i) {
            TopLevelWindow& t = out[i];
            t.handle = windows[i];
            Property::Reply net, wm, cls;
            pending[i].net.take(xcb, net);
            pending[i].wm.take(xcb, wm);
            pending[i].cls.take(xcb, cls);
            t.title = decodeName(net, wm);
            if (cls.ok() && cls.length() > 0) {
                // WM_CLASS holds "instance\0Class\0".
                const std::string_view all(cls.bytes(), static_cast<std::size_t>(cls.length()));
                const std::size_t nul = all.find('\0');
                t.className =
                    std::string(nul == std::string_view::npos
                                    ? all
                                    : cString(all.data() + nul + 1, static_cast<int>(all.size() - nul - 1)));
            }
            if (!wantDetails) continue;
            Property::Reply pid, state;
            pending[i].pid.take(xcb, pid);
            pending[i].state.take(xcb, state);
            if (pid.ok() && pid.format() == 32 && pid.length() >= 4)
                t.pid = static_cast<std::int32_t>(*reinterpret_cast<const uint32_t*>(pid.bytes()));
            bool isHidden = false;
            if (state.ok() && state.format() == 32) {
                const auto* a = reinterpret_cast<const uint32_t*>(state.bytes());
                isHidden = std::find(a, a + state.length() / 4, hidden) != a + state.length() / 4;
            }
            xcb_get_window_attributes_reply_t* attrs =
                xcb_get_window_attributes_reply(xcb, pending[i].attrs, nullptr);
            t.visible = attrs && attrs->map_state == XCB_MAP_STATE_VIEWABLE && !isHidden;
            std::free(attrs);
        }
        return out;
    }

    // Children of many windows at once; parents are reported through `parentOf`.
    std::vector<std::vector<xcb_window_t>> queryTrees(const std::vector<xcb_window_t>& windows,
                                                      std::vector<xcb_window_t>* parents = nullptr) {
        std::vector<xcb_query_tree_cookie_t> cookies;
        cookies.reserve(windows.size());
        for (xcb_window_t w : windows)
            cookies.push_back(xcb_query_tree(xcb, w));
        std::vector<std::vector<xcb_window_t>> out(windows.size());
        if (parents) parents->assign(windows.size(), 0);
        for (std::size_t i = 0; i < windows.size(); ++i) {
            xcb_query_tree_reply_t* r = xcb_query_tree_reply(xcb, cookies[i], nullptr);
            if (!r) continue;
            const xcb_window_t* kids = xcb_query_tree_children(r);
            out[i].assign(kids, kids + xcb_query_tree_children_length(r));
            if (parents) (*parents)[i] = r->parent;
            std::free(r);
        }
        return out;
    }

    // The root child that contains each window (itself when it is one).
    std::vector<xcb_window_t> topAncestors(const std::vector<xcb_window_t>& windows) {
        std::vector<xcb_window_t> current = windows, result(windows.size(), 0);
        std::vector<std::size_t> open(windows.size());
        for (std::size_t i = 0; i < open.size(); ++i)
            open[i] = i;
        for (int depth = 0; depth < 16 && !open.empty(); ++depth) {
            std::vector<xcb_window_t> ask;
            for (std::size_t i : open)
                ask.push_back(current[i]);
            std::vector<xcb_window_t> parents;
            queryTrees(ask, &parents);
            std::vector<std::size_t> still;
            for (std::size_t k = 0; k < open.size(); ++k) {
                const std::size_t i = open[k];
                if (parents[k] == 0) continue; // gone
                if (parents[k] == root) {
                    result[i] = current[i];
                } else {
                    current[i] = parents[k];
                    still.push_back(i);
                }
            }
            open = std::move(still);
        }
        return result;
    }

    std::vector<xcb_window_t> orderedTopLevels() {
        std::vector<xcb_window_t> order;
        std::unordered_set<xcb_window_t> seen;
        if (wmRunning()) {
            std::vector<xcb_window_t> stacking = windowList(root, atom("_NET_CLIENT_LIST_STACKING"));
            if (stacking.empty()) stacking = windowList(root, atom("_NET_CLIENT_LIST"));
            std::reverse(stacking.begin(), stacking.end()); // listed bottom to top
            for (xcb_window_t w : stacking)
                if (w && seen.insert(w).second) order.push_back(w);
            // Frames of managed clients are not windows of their own.
            for (xcb_window_t frame : topAncestors(order))
                seen.insert(frame);
            // The window manager's own check window is no application window.
            for (xcb_window_t w : windowList(root, atom("_NET_SUPPORTING_WM_CHECK")))
                seen.insert(w);
        }
        std::vector<xcb_window_t> rootKids = queryTrees({root}).front(); // bottom to top
        for (auto it = rootKids.rbegin(); it != rootKids.rend(); ++it)
            if (seen.insert(*it).second) order.push_back(*it);
        return order;
    }

    // The application window (not a frame) that contains `w`.
    xcb_window_t clientOf(xcb_window_t w) {
        if (w == 0 || w == root) return 0;
        const std::vector<xcb_window_t> top = topAncestors({w});
        if (top[0] == 0) return 0;
        if (wmRunning()) {
            const std::vector<xcb_window_t> clients = windowList(root, atom("_NET_CLIENT_LIST"));
            const std::vector<xcb_window_t> frames = topAncestors(clients);
            for (std::size_t i = 0; i < clients.size(); ++i)
                if (frames[i] == top[0]) return clients[i];
        }
        return top[0];
    }

    std::vector<ChildWindow> subwindows(xcb_window_t window) {
        std::vector<xcb_window_t> all, level{window};
        while (!level.empty() && all.size() < kMaxDescendants) {
            std::vector<xcb_window_t> next;
            for (const auto& kids : queryTrees(level))
                for (xcb_window_t k : kids)
                    next.push_back(k);
            all.insert(all.end(), next.begin(), next.end());
            level = std::move(next);
        }
        if (all.size() > kMaxDescendants) all.resize(kMaxDescendants);
        std::vector<ChildWindow> out;
        for (const TopLevelWindow& t : describe(all, false))
            if (!t.title.empty()) out.push_back({t.handle, t.title, t.className});
        return out;
    }

    bool sendRootMessage(xcb_window_t window, const char* type, const std::array<uint32_t, 5>& data) {
        xcb_client_message_event_t ev{};
        ev.response_type = XCB_CLIENT_MESSAGE;
        ev.format = 32;
        ev.window = window;
        ev.type = atom(type);
        for (int i = 0; i < 5; ++i)
            ev.data.data32[i] = data[static_cast<std::size_t>(i)];
        xcb_void_cookie_t c = xcb_send_event_checked(
            xcb, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
            reinterpret_cast<const char*>(&ev));
        xcb_generic_error_t* err = xcb_request_check(xcb, c);
        std::free(err);
        return err == nullptr;
    }

    bool viewable(xcb_window_t w) {
        xcb_get_window_attributes_reply_t* a =
            xcb_get_window_attributes_reply(xcb, xcb_get_window_attributes(xcb, w), nullptr);
        const bool v = a && a->map_state == XCB_MAP_STATE_VIEWABLE;
        std::free(a);
        return v;
    }

    xcb_window_t inputFocus() {
        xcb_get_input_focus_reply_t* r = xcb_get_input_focus_reply(xcb, xcb_get_input_focus(xcb), nullptr);
        const xcb_window_t f = r ? r->focus : 0;
        std::free(r);
        return f;
    }
};

X11WindowSystem::X11WindowSystem(std::shared_ptr<X11Connection> connection) : d(std::make_unique<Impl>()) {
    d->conn = std::move(connection);
    if (!d->conn) return;
    d->dpy = d->conn->display();
    d->xcb = XGetXCBConnection(d->dpy);
    d->root = static_cast<xcb_window_t>(d->conn->root());
}

X11WindowSystem::~X11WindowSystem() = default;

void X11WindowSystem::setUseAccessibility(bool on) {
    d->useAccessibility = on;
}

bool X11WindowSystem::windowManagerRunning() {
    return d->dpy && d->wmRunning();
}

WindowStatus X11WindowSystem::topLevelWindows(std::vector<TopLevelWindow>& out) {
    out.clear();
    if (!d->dpy) return WindowStatus::NoDisplay;
    out = d->describe(d->orderedTopLevels(), true);
    return WindowStatus::Ok;
}

std::vector<ChildWindow> X11WindowSystem::childWindows(WindowHandle window) {
    if (!d->dpy || window == 0) return {};
    const auto w = static_cast<xcb_window_t>(window);
    std::vector<ChildWindow> out = d->subwindows(w);
    if (d->useAccessibility) {
        const std::vector<TopLevelWindow> self = d->describe({w}, true);
        if (self[0].pid > 0) {
            if (!d->atspi) d->atspi = std::make_unique<AtSpiTree>();
            for (ChildWindow& c : d->atspi->childTexts(self[0].pid, self[0].title))
                out.push_back(std::move(c));
        }
    }
    return out;
}

WindowHandle X11WindowSystem::foregroundWindow() {
    if (!d->dpy) return 0;
    if (d->wmRunning()) {
        const auto active = d->windowList(d->root, d->atom("_NET_ACTIVE_WINDOW"));
        if (!active.empty() && active[0] != 0) return active[0];
    }
    const xcb_window_t focus = d->inputFocus();
    if (focus == XCB_NONE || focus == XCB_INPUT_FOCUS_POINTER_ROOT) return 0;
    return d->clientOf(focus);
}

std::string X11WindowSystem::windowText(WindowHandle window) {
    if (!d->dpy || window == 0) return {};
    return d->describe({static_cast<xcb_window_t>(window)}, false)[0].title;
}

bool X11WindowSystem::exists(WindowHandle window) {
    if (!d->dpy || window == 0 || window > 0xFFFFFFFFu) return false;
    xcb_get_window_attributes_reply_t* a = xcb_get_window_attributes_reply(
        d->xcb, xcb_get_window_attributes(d->xcb, static_cast<xcb_window_t>(window)), nullptr);
    std::free(a);
    return a != nullptr;
}

std::int32_t X11WindowSystem::windowPid(WindowHandle window) {
    if (!d->dpy || window == 0) return 0;
    return d->describe({static_cast<xcb_window_t>(window)}, true)[0].pid;
}

std::string X11WindowSystem::clientMachine(WindowHandle window) {
    if (!d->dpy || window == 0) return {};
    Property::Reply r;
    Property::ask(d->xcb, static_cast<xcb_window_t>(window), XCB_ATOM_WM_CLIENT_MACHINE,
                  XCB_GET_PROPERTY_TYPE_ANY)
        .take(d->xcb, r);
    if (!r.ok() || r.format() != 8) return {};
    return std::string(cString(r.bytes(), r.length()));
}

WindowStatus X11WindowSystem::activate(WindowHandle window) {
    if (!d->dpy) return WindowStatus::NoDisplay;
    if (!exists(window)) return WindowStatus::NotFound;
    const auto w = static_cast<xcb_window_t>(window);
    const bool wm = d->wmSupports("_NET_ACTIVE_WINDOW");
    if (wm) {
        // Switch to the window's desktop first, then ask the window manager to
        // activate it (source 2: on behalf of the user, as a pager does).
        const auto desktop = d->windowList(w, d->atom("_NET_WM_DESKTOP"));
        if (!desktop.empty() && desktop[0] != 0xFFFFFFFFu && d->wmSupports("_NET_CURRENT_DESKTOP"))
            d->sendRootMessage(d->root, "_NET_CURRENT_DESKTOP", {desktop[0], XCB_CURRENT_TIME, 0, 0, 0});
        const auto current = d->windowList(d->root, d->atom("_NET_ACTIVE_WINDOW"));
        d->sendRootMessage(w, "_NET_ACTIVE_WINDOW",
                           {2, XCB_CURRENT_TIME, current.empty() ? 0 : current[0], 0, 0});
        xcb_flush(d->xcb);
    } else {
        xcb_map_window(d->xcb, w);
        const uint32_t above = XCB_STACK_MODE_ABOVE;
        xcb_configure_window(d->xcb, w, XCB_CONFIG_WINDOW_STACK_MODE, &above);
        xcb_flush(d->xcb);
    }
    // Wait briefly for the window to become viewable and active, then give it
    // the keyboard focus directly as well.
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(1000);
    bool active = false;
    while (std::chrono::steady_clock::now() < end) {
        if (d->viewable(w)) {
            if (!wm) break;
            const auto now = d->windowList(d->root, d->atom("_NET_ACTIVE_WINDOW"));
            if (!now.empty() && now[0] == w) {
                active = true;
                break;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!d->viewable(w)) return wm ? WindowStatus::Failed : WindowStatus::NoWindowManager;
    xcb_void_cookie_t c = xcb_set_input_focus_checked(d->xcb, XCB_INPUT_FOCUS_PARENT, w, XCB_CURRENT_TIME);
    xcb_generic_error_t* err = xcb_request_check(d->xcb, c);
    std::free(err);
    if (err) return WindowStatus::Failed;
    (void)active;
    return WindowStatus::Ok;
}

WindowState X11WindowSystem::windowState(WindowHandle window) {
    if (!d->dpy) return WindowState::Withdrawn;
    return x11WindowState(*d->conn, window);
}

WindowStatus X11WindowSystem::setWindowState(WindowHandle window, WindowState state) {
    if (!d->dpy) return WindowStatus::NoDisplay;
    return x11SetWindowState(*d->conn, window, state);
}

WindowStatus X11WindowSystem::close(WindowHandle window) {
    if (!d->dpy) return WindowStatus::NoDisplay;
    if (!exists(window)) return WindowStatus::NotFound;
    const auto w = static_cast<xcb_window_t>(window);
    if (d->wmSupports("_NET_CLOSE_WINDOW")) {
        if (!d->sendRootMessage(w, "_NET_CLOSE_WINDOW", {XCB_CURRENT_TIME, 2, 0, 0, 0}))
            return WindowStatus::Failed;
        xcb_flush(d->xcb);
        return WindowStatus::Ok;
    }
    // No window manager: the window's own delete protocol, when it speaks it.
    const auto protocols = d->windowList(w, d->atom("WM_PROTOCOLS"));
    const xcb_atom_t del = d->atom("WM_DELETE_WINDOW");
    if (std::find(protocols.begin(), protocols.end(), del) == protocols.end())
        return WindowStatus::NoWindowManager;
    xcb_client_message_event_t ev{};
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = w;
    ev.type = d->atom("WM_PROTOCOLS");
    ev.data.data32[0] = del;
    ev.data.data32[1] = XCB_CURRENT_TIME;
    xcb_void_cookie_t c =
        xcb_send_event_checked(d->xcb, 0, w, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&ev));
    xcb_generic_error_t* err = xcb_request_check(d->xcb, c);
    std::free(err);
    return err ? WindowStatus::Failed : WindowStatus::Ok;
}

} // namespace qd

namespace qd {

PointerTarget X11WindowSystem::pointerTarget() {
    PointerTarget t;
    if (!d->dpy) return t;
    // The pointer's path from the root down: the root's child under it is the
    // top-level window (a window manager's frame), and each level's child the
    // next window inside. The deepest one with a name is the control.
    xcb_window_t at = d->root;
    xcb_window_t top = 0;
    xcb_window_t named = 0;
    for (int depth = 0; depth < 32; ++depth) {
        xcb_query_pointer_reply_t* r =
            xcb_query_pointer_reply(d->xcb, xcb_query_pointer(d->xcb, at), nullptr);
        if (!r) break;
        const xcb_window_t child = r->child;
        std::free(r);
        if (child == XCB_NONE) break;
        if (top == 0) top = child;
        at = child;
        if (depth > 0 && !d->describe({child}, false)[0].title.empty()) named = child;
    }
    if (top == 0) return t;
    const xcb_window_t client = d->clientOf(top);
    t.window = client;
    if (named != 0 && named != client) t.control = named;
    return t;
}

} // namespace qd
