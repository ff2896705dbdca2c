// The few raw X11 calls of the test program.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstring>

void setWindowName(Display* display, unsigned long window, const char* name) {
    XStoreName(display, window, name);
    XFlush(display);
}

void setClientMachine(Display* display, unsigned long window, const char* host) {
    XChangeProperty(display, window, XA_WM_CLIENT_MACHINE, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(host), static_cast<int>(std::strlen(host)));
    XFlush(display);
}
