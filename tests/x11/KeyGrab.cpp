// Holds a key combination the way another program's global shortcut does: a
// passive grab on the root window, until it is killed.
//
//   qd_keygrab KEYSYM [ctrl] [alt] [shift] [super]
//
// Prints "grabbed" once the server accepted the grab (exit code 1 when it
// refused, 2 on bad usage).
#include <X11/Xlib.h>

#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {
bool refused = false;
int onError(Display*, XErrorEvent* e) {
    if (e->error_code == BadAccess) refused = true;
    return 0;
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    Display* d = XOpenDisplay(nullptr);
    if (!d) return 2;
    const KeySym sym = XStringToKeysym(argv[1]);
    const KeyCode code = sym == NoSymbol ? 0 : XKeysymToKeycode(d, sym);
    if (code == 0) return 2;
    unsigned mods = 0;
    for (int i = 2; i < argc; ++i) {
        if (!std::strcmp(argv[i], "ctrl"))
            mods |= ControlMask;
        else if (!std::strcmp(argv[i], "alt"))
            mods |= Mod1Mask;
        else if (!std::strcmp(argv[i], "shift"))
            mods |= ShiftMask;
        else if (!std::strcmp(argv[i], "super"))
            mods |= Mod4Mask;
        else
            return 2;
    }
    XSetErrorHandler(onError);
    XGrabKey(d, code, mods, DefaultRootWindow(d), False, GrabModeAsync, GrabModeAsync);
    XSync(d, False);
    if (refused) return 1;
    std::printf("grabbed\n");
    std::fflush(stdout);
    for (;;) {
        XEvent ev;
        XNextEvent(d, &ev);
    }
}
