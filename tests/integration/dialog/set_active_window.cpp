// Sets the root window's _NET_ACTIVE_WINDOW as a window manager would, so
// that the dialog's transient-parent rule can be tested without one.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: dialog-set-active WINDOW-ID\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "dialog-set-active: cannot open the display\n");
        return 1;
    }
    const unsigned long window = std::strtoul(argv[1], nullptr, 0);
    const Atom active = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    XChangeProperty(display, DefaultRootWindow(display), active, XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&window), 1);
    XSync(display, False);
    XCloseDisplay(display);
    return 0;
}
