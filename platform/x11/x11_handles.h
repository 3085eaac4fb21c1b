#pragma once
// Owners of the X resources of the saver: each resource belongs to exactly
// one of these objects and is given back in its destructor, so that every
// way out of the program (a key, a destroyed parent, SIGTERM, a failed
// start) hands the screen, the cursor and the input back the same way.

#include "platform/x11/xlib.h"

#include <memory>

#include "platform/unique_handle.h"

struct DisplayCloser {
    void operator()(Display* display) const;
};
using DisplayConnection = std::unique_ptr<Display, DisplayCloser>;

// Opens `name` (the DISPLAY variable when null); null when that fails.
DisplayConnection OpenDisplay(const char* name = nullptr);

// Xlib reports protocol errors to one process-wide handler with no user
// data, so the trap is a single slot: while a trap lives, errors are counted
// in it instead of ending the program. Outside every trap the saver's
// default handler records the error and carries on (a foreign window that
// vanished between two requests is not a reason to crash).
class XErrorTrap {
public:
    explicit XErrorTrap(Display* display);
    ~XErrorTrap();
    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;

    // Waits for the server to process everything sent so far, then tells
    // whether any of it failed. The first error's code is kept.
    bool Failed();
    int FirstErrorCode() const { return firstError_; }

private:
    friend int TrapHandler(Display*, XErrorEvent*);
    Display* display_;
    XErrorTrap* outer_;
    int errors_ = 0;
    int firstError_ = 0;
};

// Installs the handlers that keep protocol errors from ending the program
// and end it with status 1 (after nothing can be drawn any more) when the
// connection to the server is lost.
void InstallXErrorHandlers();

// The X resources freed by one call with the display they live on.
template <typename Resource, Resource kEmpty, int (*FreeResource)(Display*, Resource)>
struct XResourceTraits {
    using Handle = Resource;
    static Handle Empty() { return kEmpty; }
    void Free(Resource resource) const { FreeResource(display, resource); }
    Display* display = nullptr;
};

// A window this program created; destroyed with its owner unless the server
// destroyed it first (a preview child goes with its parent: Release it).
using XWindowTraits = XResourceTraits<Window, None, XDestroyWindow>;
using OwnedWindow = UniqueHandle<XWindowTraits>;

using XCursorTraits = XResourceTraits<Cursor, None, XFreeCursor>;
using OwnedCursor = UniqueHandle<XCursorTraits>;

using XPixmapTraits = XResourceTraits<Pixmap, None, XFreePixmap>;
using OwnedPixmap = UniqueHandle<XPixmapTraits>;

// The invisible cursor of the full-screen saver, on the screen of `window`:
// a 1 x 1 pixmap cursor whose only pixel is transparent.
OwnedCursor CreateBlankCursor(Display* display, Window window);

using XGcTraits = XResourceTraits<GC, nullptr, XFreeGC>;
using GraphicsContext = UniqueHandle<XGcTraits>;

// A context for copying pictures onto `drawable`, without graphics exposures.
GraphicsContext CreateGraphicsContext(Display* display, Drawable drawable);

// An active grab of the keyboard or the pointer by the full-screen window,
// released with its owner. The handle is the display the grab is held on.
struct XGrabTraits {
    enum class Device { Keyboard, Pointer };
    using Handle = Display*;
    static Handle Empty() { return nullptr; }
    void Free(Display* display) const;
    Device device = Device::Keyboard;
};
using InputGrab = UniqueHandle<XGrabTraits>;

// Tries for up to `tries` times `pauseMs` apart (another client, such as the
// terminal the saver was started from, may still hold a grab for a moment).
// An empty grab when it never succeeded.
InputGrab GrabKeyboard(Display* display, Window window, int tries, int pauseMs);
InputGrab GrabPointer(Display* display, Window window, Cursor cursor, long eventMask, int tries, int pauseMs);

