#pragma once
// Puts the software canvas on an X window, one changed rectangle at a time.
//
// The presenter keeps a copy of what it last sent (in a MIT-SHM segment when
// the server offers one, otherwise in an ordinary client-side image). A
// rectangle the canvas reports as changed is compared with that copy first
// and only the part that really differs goes to the server: the stage draws
// a standing text again every frame, and an idle board must not cost a
// full upload 50 times a second. The same copy answers exposures.

#include "platform/x11/xlib.h"

#include <cstdint>
#include <memory>
#include <vector>

#include "display/geometry.h"

class SoftCanvas;

class X11Presenter {
public:
    // `visual` and `depth` are those of `window`; `gc` must outlive the
    // presenter. With `allowShm` false the plain XPutImage path is used even
    // where the server offers MIT-SHM.
    X11Presenter(Display* display, Window window, GC gc, Visual* visual, int depth, bool allowShm);
    ~X11Presenter();
    X11Presenter(const X11Presenter&) = delete;
    X11Presenter& operator=(const X11Presenter&) = delete;

    // Only TrueColor and DirectColor visuals can show the canvas.
    static bool CanShow(const Visual* visual);

    // New images for a window of this size; the next Present sends all of
    // it, since the window's content is not known any more. False when no
    // image of that size could be made (nothing is shown then).
    bool Resize(int width, int height);

    // Sends the parts of `rects` where `canvas` differs from what was sent
    // before. While the server still reads the shared segment the rectangles
    // wait for the next call.
    void Present(const SoftCanvas& canvas, const std::vector<Rect>& rects);
    // Sends again what was last sent inside `rect` (an exposure).
    void Repaint(const Rect& rect);

    // Takes the completion events of the shared segment; true when `event`
    // was one of them.
    bool HandleEvent(const XEvent& event);

    bool UsesShm() const { return shm_ != nullptr; }
    // Counters since construction, for the trace and the benchmarks.
    std::uint64_t PutCount() const { return puts_; }
    std::uint64_t PixelsSent() const { return pixelsSent_; }

private:
    struct ShmImage;
    struct PlainImage;

    XImage* Image() const;
    bool DirectFormat() const;
    // Copies what differs inside `r` into the image; the bounding box of
    // the copied pixels, empty when nothing differed.
    Rect Update(const SoftCanvas& canvas, const Rect& r);
    void Put(const Rect& r, bool last);
    std::uint32_t ServerPixel(std::uint32_t rgb) const;

    Display* display_;
    Window window_;
    GC gc_;
    Visual* visual_;
    int depth_;
    bool shmAllowed_;
    int shmCompletionType_ = -1;
    int width_ = 0;
    int height_ = 0;
    std::unique_ptr<ShmImage> shm_;
    std::unique_ptr<PlainImage> plain_;
    bool sendAll_ = true;
    int shmOutstanding_ = 0;  // completions not yet received
    std::vector<Rect> backlog_;
    std::vector<std::uint32_t> shadow_;  // what was sent, as canvas pixels, where the image's format differs
    int redShift_ = 0, greenShift_ = 0, blueShift_ = 0;
    int redBits_ = 0, greenBits_ = 0, blueBits_ = 0;
    std::uint32_t opaqueBits_ = 0;
    std::uint64_t puts_ = 0;
    std::uint64_t pixelsSent_ = 0;
};
