#include "platform/x11/x11_handles.h"

#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

XErrorTrap* activeTrap = nullptr;

int IoErrorHandler(Display*) {
    std::fputs("vemo: lost the connection to the X server\n", stderr);
    // Xlib forbids returning from here; nothing on the server is left to
    // hand back.
    std::_Exit(1);
}

void Pause(int milliseconds) {
    timespec ts{milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0) {
    }
}

}  // namespace

int TrapHandler(Display*, XErrorEvent* event) {
    XErrorTrap* trap = activeTrap;
    if (trap->errors_++ == 0) trap->firstError_ = event->error_code;
    return 0;
}

namespace {

int RecordingHandler(Display* display, XErrorEvent* event) {
    if (activeTrap != nullptr) return TrapHandler(display, event);
    return 0;
}

}  // namespace

void DisplayCloser::operator()(Display* display) const {
    if (display != nullptr) XCloseDisplay(display);
}

DisplayConnection OpenDisplay(const char* name) { return DisplayConnection(XOpenDisplay(name)); }

void InstallXErrorHandlers() {
    XSetErrorHandler(RecordingHandler);
    XSetIOErrorHandler(IoErrorHandler);
}

XErrorTrap::XErrorTrap(Display* display) : display_(display), outer_(activeTrap) {
    // Errors of requests sent before the trap belong to whoever sent them.
    XSync(display_, False);
    activeTrap = this;
}

XErrorTrap::~XErrorTrap() {
    XSync(display_, False);
    activeTrap = outer_;
}

bool XErrorTrap::Failed() {
    XSync(display_, False);
    return errors_ != 0;
}

OwnedCursor CreateBlankCursor(Display* display, Window window) {
    static const char bits[1] = {0};
    Pixmap mask = XCreateBitmapFromData(display, window, bits, 1, 1);
    if (mask == None) return OwnedCursor();
    XColor black{};
    OwnedCursor cursor(XCreatePixmapCursor(display, mask, mask, &black, &black, 0, 0), XCursorTraits{display});
    // The cursor keeps what it needs of the pixmap.
    XFreePixmap(display, mask);
    return cursor;
}

GraphicsContext CreateGraphicsContext(Display* display, Drawable drawable) {
    GraphicsContext gc(XCreateGC(display, drawable, 0, nullptr), XGcTraits{display});
    if (gc) XSetGraphicsExposures(display, gc.get(), False);
    return gc;
}

void XGrabTraits::Free(Display* display) const {
    if (device == Device::Keyboard) {
        XUngrabKeyboard(display, CurrentTime);
    } else {
        XUngrabPointer(display, CurrentTime);
    }
}

InputGrab GrabKeyboard(Display* display, Window window, int tries, int pauseMs) {
    for (int i = 0; i < tries; ++i) {
        if (i > 0) Pause(pauseMs);
        if (XGrabKeyboard(display, window, True, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess) {
            return InputGrab(display, XGrabTraits{XGrabTraits::Device::Keyboard});
        }
    }
    return InputGrab();
}

InputGrab GrabPointer(Display* display, Window window, Cursor cursor, long eventMask, int tries, int pauseMs) {
    for (int i = 0; i < tries; ++i) {
        if (i > 0) Pause(pauseMs);
        if (XGrabPointer(display, window, True, static_cast<unsigned>(eventMask), GrabModeAsync, GrabModeAsync,
                         None, cursor, CurrentTime) == GrabSuccess) {
            return InputGrab(display, XGrabTraits{XGrabTraits::Device::Pointer});
        }
    }
    return InputGrab();
}
