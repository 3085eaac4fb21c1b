#pragma once
// Puts the software canvas on an X window, one changed rectangle at a time.
//
// The image the server reads (a MIT-SHM segment when the server offers one,
// otherwise an ordinary client-side image) is, where its pixel format is the
// canvas's, the canvas's own memory: the canvas draws straight into it and
// only the rectangles it reports as changed go to the server. Other formats
// get the changed rectangles converted into the image. A stage played at a
// scale above 1 keeps memory of its own too: each changed rectangle goes into
// the image as s x s blocks, so a frame costs what changed, not the screen.
// The image answers exposures. While the server still reads a shared segment nobody may draw
// into it (`Busy`).

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

    // New images for a window of this size, showing a canvas of
    // (width / scale) x (height / scale) each of whose pixels is a
    // scale x scale block; the next Present sends all of it, since the
    // window's content is not known any more. False when no image of that
    // size could be made (nothing is shown then).
    bool Resize(int width, int height, int scale = 1);

    // Where the canvas is to draw for this size (height rows `CanvasStride`
    // words apart), or null when the image's format is not the canvas's or
    // the scale is above 1, and the canvas keeps memory of its own. Valid
    // until the next Resize.
    std::uint32_t* CanvasMemory() const;
    std::size_t CanvasStride() const;

    // Where the image's top left corner lies in the window (a monitor's
    // corner when each monitor shows a board of its own).
    void SetOrigin(Point origin) { origin_ = origin; }

    // Sends `rects` of `canvas`, in canvas pixels (all of it after a
    // Resize). Called while
    // Busy, the rectangles wait for the next call.
    void Present(const SoftCanvas& canvas, const std::vector<Rect>& rects);
    // The server has not yet read all that was sent from the shared segment.
    bool Busy() const;
    // A completion event is on its way: it is the word that ends Busy.
    bool AwaitsEvent() const { return shmOutstanding_ > 0; }
    // Where Busy would otherwise end without a word (the server keeps a
    // shared pixmap as a fence), asks the server for an event once it is
    // through: the caller may then wait on the connection.
    void AskWhenDone();
    // Sends again what was last sent inside `rect`, in window pixels (an
    // exposure).
    void Repaint(const Rect& rect);

    // Takes the completion events of the shared segment; true when `event`
    // was one of them. Where the server keeps a fence, frames send none.
    bool HandleEvent(const XEvent& event);

    bool UsesShm() const { return shm_ != nullptr; }
    // Whether the shared images' memory may go to the server as a file
    // descriptor (MIT-SHM 1.2, a server on this machine), which nothing
    // outlives; on by default. Otherwise, and where the server takes none,
    // it is a System V segment, marked for removal as soon as it is attached
    // here. From the next Resize on.
    void SetPassFds(bool on) { fdsWanted_ = on; }
    // Whether the shared image's memory went as a file descriptor.
    bool PassedFd() const;
    // Counters since construction, for the trace and the benchmarks.
    std::uint64_t PutCount() const { return puts_; }
    std::uint64_t PixelsSent() const { return pixelsSent_; }

private:
    struct ShmImage;
    struct PlainImage;
    struct Fence;
    // What follows a put: nothing, the end of a batch (marked by the fence,
    // or by a completion event where there is none), or a completion event.
    enum class BatchEnd { No, Fence, Event };

    XImage* Image() const;
    bool DirectFormat() const;
    // Converts `r` of the canvas into the image's format and scale.
    void Convert(const SoftCanvas& canvas, const Rect& r);
    // The part of the window `r` of the canvas covers.
    Rect ToWindow(const Rect& r) const;
    void Put(const Rect& r, BatchEnd end);
    std::uint32_t ServerPixel(std::uint32_t rgb) const;

    Display* display_;
    Window window_;
    GC gc_;
    Visual* visual_;
    int depth_;
    bool shmAllowed_;
    bool fdsOffered_ = false;  // the server takes memory as a file descriptor
    bool fdsWanted_ = true;
    int shmCompletionType_ = -1;
    int width_ = 0;
    int height_ = 0;
    int scale_ = 1;
    Point origin_;
    std::unique_ptr<ShmImage> shm_;
    std::unique_ptr<PlainImage> plain_;
    std::unique_ptr<Fence> fence_;
    bool fenceTried_ = false;
    bool fenceAskedSinceEvent_ = false;  // the last completion asked for is not the word on the fence
    bool sendAll_ = true;
    int shmOutstanding_ = 0;  // completions not yet received
    std::vector<Rect> backlog_;
    std::vector<Rect> work_;
    int redShift_ = 0, greenShift_ = 0, blueShift_ = 0;
    int redBits_ = 0, greenBits_ = 0, blueBits_ = 0;
    std::uint32_t opaqueBits_ = 0;
    std::uint64_t puts_ = 0;
    std::uint64_t pixelsSent_ = 0;
};
