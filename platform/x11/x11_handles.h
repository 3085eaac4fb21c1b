#pragma once
// Owners of the X resources of the saver: each resource belongs to exactly
// one of these objects and is given back in its destructor, so that every
// way out of the program (a key, a destroyed parent, SIGTERM, a failed
// start) hands the screen, the cursor and the input back the same way.

#include "platform/x11/xlib.h"

#include <memory>

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

// A window this program created; destroyed with its owner unless the server
// destroyed it first (a preview child goes with its parent).
class OwnedWindow {
public:
    OwnedWindow() = default;
    OwnedWindow(Display* display, Window window) : display_(display), window_(window) {}
    ~OwnedWindow() { Reset(); }
    OwnedWindow(const OwnedWindow&) = delete;
    OwnedWindow& operator=(const OwnedWindow&) = delete;

    Window get() const { return window_; }
    explicit operator bool() const { return window_ != None; }
    // The server has already destroyed it: nothing is left to give back.
    void Forget() { window_ = None; }
    void Reset();

private:
    Display* display_ = nullptr;
    Window window_ = None;
};

// The invisible cursor of the full-screen saver: a 1 x 1 pixmap cursor whose
// only pixel is transparent.
class BlankCursor {
public:
    BlankCursor() = default;
    // Creates it on the screen of `window`.
    BlankCursor(Display* display, Window window);
    ~BlankCursor();
    BlankCursor(const BlankCursor&) = delete;
    BlankCursor& operator=(const BlankCursor&) = delete;

    Cursor get() const { return cursor_; }

private:
    Display* display_ = nullptr;
    Cursor cursor_ = None;
};

class GraphicsContext {
public:
    GraphicsContext() = default;
    GraphicsContext(Display* display, Drawable drawable);
    ~GraphicsContext();
    GraphicsContext(const GraphicsContext&) = delete;
    GraphicsContext& operator=(const GraphicsContext&) = delete;

    GC get() const { return gc_; }

private:
    Display* display_ = nullptr;
    GC gc_ = nullptr;
};

// An active grab of the keyboard or the pointer by the full-screen window,
// released with its owner.
class InputGrab {
public:
    enum class Device { Keyboard, Pointer };
    InputGrab() = default;
    InputGrab(Display* display, Device device) : display_(display), device_(device) {}
    ~InputGrab();
    InputGrab(InputGrab&& other) noexcept;
    InputGrab& operator=(InputGrab&& other) noexcept;
    explicit operator bool() const { return display_ != nullptr; }

private:
    Display* display_ = nullptr;
    Device device_ = Device::Keyboard;
};

// Tries for up to `tries` times `pauseMs` apart (another client, such as the
// terminal the saver was started from, may still hold a grab for a moment).
// An empty grab when it never succeeded.
InputGrab GrabKeyboard(Display* display, Window window, int tries, int pauseMs);
InputGrab GrabPointer(Display* display, Window window, Cursor cursor, long eventMask, int tries, int pauseMs);

