// One connection to an X display, shared by the keyboard and the window code.
// Xlib types stay inside src/platform/x11: this header only forward-declares them.
#pragma once

#include <memory>
#include <string>
#include <vector>

struct _XDisplay;

namespace qd {

class X11Connection {
public:
    // Opens the named display ($DISPLAY when empty); nullptr when there is none.
    // Xlib errors on this connection (a window that vanished, say) are counted,
    // never fatal to the process.
    static std::shared_ptr<X11Connection> open(const std::string& displayName = {});
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    _XDisplay* display() const { return display_; }
    unsigned long root() const { return root_; }

    // Interned atom by name (cached).
    unsigned long atom(const char* name);

    // Number of X protocol errors seen on this connection so far.
    unsigned long errorCount() const;

    // An error the server reported for one request while a trap was set.
    struct TrappedError {
        unsigned long serial = 0; // the request's sequence number
        int code = 0;             // BadAccess, BadValue ...
        int request = 0;          // major opcode of the request
    };
    // Records the errors of the requests sent from now on, until
    // endErrorTrap(), which waits for the server's answers and returns them.
    // For one thread at a time per connection.
    void beginErrorTrap();
    std::vector<TrappedError> endErrorTrap();

    // Waits until the server has handled every request sent so far.
    void sync();

private:
    explicit X11Connection(_XDisplay* display);
    _XDisplay* display_;
    unsigned long root_ = 0;
    struct Atoms;
    std::unique_ptr<Atoms> atoms_;
};

} // namespace qd
