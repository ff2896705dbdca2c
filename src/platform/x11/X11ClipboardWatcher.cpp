#include "platform/x11/X11ClipboardWatcher.h"

#include "platform/x11/X11Connection.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <deque>
#include <fcntl.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace qd {

namespace {

using SteadyClock = std::chrono::steady_clock;

// More text than this is read to the end (so the owner finishes) and dropped.
constexpr std::size_t kMaxKeptBytes = 1 << 20;

// A property as read: its type, its format (8, 16 or 32) and its items (for
// format 32 Xlib gives one long an item).
struct Blob {
    Atom type = None;
    int format = 0;
    std::string bytes;
};

std::string latin1ToUtf8(const std::string& in) {
    std::string out;
    out.reserve(in.size());
    for (unsigned char c : in) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

} // namespace

struct X11ClipboardWatcher::Impl {
    std::string displayName;
    std::chrono::milliseconds* timeout = nullptr;
    std::shared_ptr<X11Connection> connection;
    Display* dpy = nullptr;
    Window win = None;
    int fixesEventBase = 0;
    Atom clipboard = None, targets = None, utf8 = None, textPlainUtf8 = None, incr = None, property = None,
         hint = None, own = None;
    std::function<void(ClipboardCopy)> onCopy;
    std::deque<XFixesSelectionNotifyEvent> changes; // owner changes not read yet, oldest first
    int wake[2] = {-1, -1};
    std::atomic<bool> stopping{false};
    std::thread thread;

    enum class Got { Data, Refused, Lost, NoAnswer, Stopped };

    bool isOwnerChange(const XEvent& ev) const {
        return ev.type == fixesEventBase + XFixesSelectionNotify &&
               reinterpret_cast<const XFixesSelectionNotifyEvent&>(ev).selection == clipboard;
    }

    static bool ownerGone(const XEvent& ev) {
        return reinterpret_cast<const XFixesSelectionNotifyEvent&>(ev).subtype !=
               XFixesSetSelectionOwnerNotify;
    }

    // Waits until an event is queued; false at the deadline or when stopping.
    bool waitEvent(SteadyClock::time_point deadline) {
        for (;;) {
            if (stopping) return false;
            if (XPending(dpy) > 0) return true;
            int ms = -1;
            if (deadline != SteadyClock::time_point::max()) {
                const auto left =
                    std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now())
                        .count();
                if (left <= 0) return false;
                ms = static_cast<int>(std::min<long long>(left, INT_MAX));
            }
            pollfd fds[2] = {{ConnectionNumber(dpy), POLLIN, 0}, {wake[0], POLLIN, 0}};
            ::poll(fds, 2, ms);
        }
    }

    // Keeps an owner change for later; true when it happened before the
    // request numbered `serial` reached the server.
    bool keepChange(const XEvent& ev, unsigned long serial) {
        const auto& change = reinterpret_cast<const XFixesSelectionNotifyEvent&>(ev);
        changes.push_back(change);
        return change.serial < serial;
    }

    bool readProperty(Blob& out) {
        Atom type = None;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(dpy, win, property, 0, 0x1FFFFFFF, True, AnyPropertyType, &type, &format,
                               &items, &after, &data) != Success)
            return false;
        out.type = type;
        out.format = format;
        const std::size_t size =
            format == 32 ? items * sizeof(long) : items * static_cast<std::size_t>(format / 8);
        if (data && out.bytes.size() < kMaxKeptBytes)
            out.bytes.append(reinterpret_cast<const char*>(data),
                             std::min(size, kMaxKeptBytes - out.bytes.size()));
        if (data) XFree(data);
        return true;
    }

    // The owner sends a large content in pieces, each once we deleted the
    // one before; an empty piece ends it.
    bool readIncremental(Blob& out) {
        out.bytes.clear();
        auto deadline = SteadyClock::now() + *timeout;
        for (;;) {
            if (!waitEvent(deadline)) return false;
            XEvent ev;
            XNextEvent(dpy, &ev);
            if (isOwnerChange(ev)) {
                changes.push_back(reinterpret_cast<const XFixesSelectionNotifyEvent&>(ev));
                if (ownerGone(ev)) return false;
                continue;
            }
            if (ev.type != PropertyNotify || ev.xproperty.window != win || ev.xproperty.atom != property ||
                ev.xproperty.state != PropertyNewValue)
                continue;
            Blob piece;
            if (!readProperty(piece)) return false;
            if (piece.bytes.empty()) {
                out.type = piece.type;
                out.format = piece.format;
                return true;
            }
            if (out.bytes.size() < kMaxKeptBytes)
                out.bytes.append(piece.bytes, 0, kMaxKeptBytes - out.bytes.size());
            deadline = SteadyClock::now() + *timeout;
        }
    }

    // Asks the owner of the copy made at `when` for one target.
    Got fetch(Atom target, Time when, Blob& out) {
        // A later owner change already came in: this owner no longer holds
        // the clipboard, and the request would reach the next one.
        if (!changes.empty()) return Got::Lost;
        const unsigned long serial = NextRequest(dpy);
        XConvertSelection(dpy, clipboard, target, property, win, when);
        XFlush(dpy);
        bool superseded = false;
        const auto deadline = SteadyClock::now() + *timeout;
        for (;;) {
            if (!waitEvent(deadline)) return stopping ? Got::Stopped : superseded ? Got::Lost : Got::NoAnswer;
            XEvent ev;
            XNextEvent(dpy, &ev);
            if (isOwnerChange(ev)) {
                superseded = keepChange(ev, serial) || superseded;
                // The owner went away (ended or its window destroyed): no
                // answer will come.
                if (ownerGone(ev)) return superseded ? Got::Lost : Got::NoAnswer;
                continue;
            }
            if (ev.type != SelectionNotify || ev.xselection.requestor != win ||
                ev.xselection.target != target || ev.xselection.time != when)
                continue;
            // The answer came from the next owner.
            if (superseded) {
                if (ev.xselection.property != None) XDeleteProperty(dpy, win, property);
                return Got::Lost;
            }
            if (ev.xselection.property == None) return Got::Refused;
            if (!readProperty(out)) return Got::NoAnswer;
            if (out.type == incr) return readIncremental(out) ? Got::Data : Got::NoAnswer;
            return Got::Data;
        }
    }

    void deliver(ClipboardCopy copy) {
        if (onCopy) onCopy(std::move(copy));
    }

    void readCopy(const XFixesSelectionNotifyEvent& change) {
        const Time when = change.selection_timestamp;
        ClipboardCopy copy;
        Blob list;
        const Got listed = fetch(targets, when, list);
        if (listed == Got::Stopped) return;
        if (listed == Got::Lost) {
            copy.lost = true;
            deliver(std::move(copy));
            return;
        }
        std::vector<Atom> offered;
        if (listed == Got::Data && list.format == 32) {
            offered.resize(list.bytes.size() / sizeof(long));
            for (std::size_t i = 0; i < offered.size(); ++i) {
                long a = 0;
                list.bytes.copy(reinterpret_cast<char*>(&a), sizeof(long), i * sizeof(long));
                offered[i] = static_cast<Atom>(a);
            }
            std::vector<char*> names(offered.size(), nullptr);
            if (!offered.empty() &&
                XGetAtomNames(dpy, offered.data(), static_cast<int>(offered.size()), names.data()) != 0) {
                for (char* n : names) {
                    if (!n) continue;
                    copy.formats.emplace_back(n);
                    XFree(n);
                }
            }
        }
        const auto offers = [&](Atom a) {
            return std::find(offered.begin(), offered.end(), a) != offered.end();
        };
        if (own != None && offers(own)) {
            deliver(std::move(copy));
            return;
        }
        if (offers(hint)) {
            Blob value;
            const Got got = fetch(hint, when, value);
            if (got == Got::Stopped) return;
            if (got == Got::Lost) {
                deliver(ClipboardCopy{{}, false, {}, {}, true});
                return;
            }
            if (got == Got::Data) copy.secretHint = value.bytes;
        }
        // The text: UTF-8 where offered, else Latin-1. An owner that does not
        // list its targets is asked for UTF-8 anyway; one that did not answer
        // at all is not asked again.
        Atom target = None;
        for (Atom a : {utf8, textPlainUtf8, static_cast<Atom>(XA_STRING)})
            if (offers(a)) {
                target = a;
                break;
            }
        if (target == None && listed == Got::Refused) target = utf8;
        if (target != None) {
            Blob text;
            const Got got = fetch(target, when, text);
            if (got == Got::Stopped) return;
            if (got == Got::Lost) {
                deliver(ClipboardCopy{{}, false, {}, {}, true});
                return;
            }
            if (got == Got::Data && text.format == 8) {
                copy.hasText = true;
                copy.text = target == XA_STRING ? latin1ToUtf8(text.bytes) : std::move(text.bytes);
            }
        }
        deliver(std::move(copy));
    }

    void run() {
        for (;;) {
            while (!changes.empty()) {
                const XFixesSelectionNotifyEvent change = changes.front();
                changes.pop_front();
                // The clipboard emptied (its owner ended): nothing to read.
                if (change.owner != None) readCopy(change);
                if (stopping) return;
            }
            if (!waitEvent(SteadyClock::time_point::max())) return;
            XEvent ev;
            XNextEvent(dpy, &ev);
            if (isOwnerChange(ev)) changes.push_back(reinterpret_cast<const XFixesSelectionNotifyEvent&>(ev));
        }
    }
};

X11ClipboardWatcher::X11ClipboardWatcher(std::string displayName) : d(std::make_unique<Impl>()) {
    d->displayName = std::move(displayName);
    d->timeout = &answerTimeout;
}

X11ClipboardWatcher::~X11ClipboardWatcher() {
    stop();
}

bool X11ClipboardWatcher::start(std::function<void(ClipboardCopy)> onCopy, std::string ownFormat) {
    if (d->thread.joinable()) return true;
    d->connection = X11Connection::open(d->displayName);
    if (!d->connection) return false;
    Display* dpy = d->dpy = d->connection->display();
    int errorBase = 0, major = 0, minor = 0;
    if (!XFixesQueryExtension(dpy, &d->fixesEventBase, &errorBase) ||
        !XFixesQueryVersion(dpy, &major, &minor) || major < 1 ||
        ::pipe2(d->wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        d->connection.reset();
        d->dpy = nullptr;
        return false;
    }
    d->win = XCreateSimpleWindow(dpy, d->connection->root(), -10, -10, 1, 1, 0, 0, 0);
    XSelectInput(dpy, d->win, PropertyChangeMask);
    d->clipboard = d->connection->atom("CLIPBOARD");
    d->targets = d->connection->atom("TARGETS");
    d->utf8 = d->connection->atom("UTF8_STRING");
    d->textPlainUtf8 = d->connection->atom("text/plain;charset=utf-8");
    d->incr = d->connection->atom("INCR");
    d->property = d->connection->atom("QD_CLIPBOARD_WATCH");
    d->hint = d->connection->atom(kPasswordManagerHint);
    d->own = ownFormat.empty() ? None : d->connection->atom(ownFormat.c_str());
    d->onCopy = std::move(onCopy);
    XFixesSelectSelectionInput(dpy, d->win, d->clipboard,
                               XFixesSetSelectionOwnerNotifyMask | XFixesSelectionWindowDestroyNotifyMask |
                                   XFixesSelectionClientCloseNotifyMask);
    // What the clipboard holds now is the first copy.
    if (const Window owner = XGetSelectionOwner(dpy, d->clipboard); owner != None) {
        XFixesSelectionNotifyEvent first{};
        first.owner = owner;
        first.selection = d->clipboard;
        first.selection_timestamp = CurrentTime;
        d->changes.push_back(first);
    }
    XSync(dpy, False);
    d->stopping = false;
    d->thread = std::thread([this] { d->run(); });
    return true;
}

void X11ClipboardWatcher::stop() {
    if (!d->thread.joinable()) return;
    d->stopping = true;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(d->wake[1], &byte, 1);
    d->thread.join();
    XDestroyWindow(d->dpy, d->win);
    XSync(d->dpy, False);
    d->connection.reset();
    d->dpy = nullptr;
    d->changes.clear();
    for (int& fd : d->wake) {
        ::close(fd);
        fd = -1;
    }
}

} // namespace qd
