#pragma once
// Puts the software canvas on an X window, one changed rectangle at a time.
//
// The image the server reads (a MIT-SHM segment when the server offers one,
// otherwise an ordinary client-side image) is, where its pixel format is the
// canvas's, the canvas's own memory: the canvas draws straight into it and
// only the rectangles it reports as changed go to the server. Other formats
// get the changed rectangles converted into the image. A stage played at a
// scale above 1 is blown up by the server where it offers RENDER: the image
// is then of the stage's size (and, format allowing, the canvas's memory as
// at scale 1), its changed rectangles go into a pixmap of the same size, and
// the server copies them from there into the window as s x s blocks (a
// picture with a scaling transform and the nearest filter). A full-screen
// image and the blow-up on our side would cost s * s times the memory and
// the copying. Without RENDER, or for a visual it has no format for, the
// image is of the window's size and each changed rectangle goes into it as
// s x s blocks. Either way a frame costs what changed, not the screen.
// The image, or the pixmap, answers exposures. While the server still reads
// a shared segment nobody may draw into it (`Busy`).

#include "platform/x11/xlib.h"

#include <X11/extensions/Xrender.h>

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

    // Where the canvas is to draw for this size (the stage's rows,
    // `CanvasStride` words apart), or null when the image's format is not
    // the canvas's or the scale is above 1 and blown up on our side, and the
    // canvas keeps memory of its own. Valid until the next Resize.
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
    // Whether the server blows the stage up (RENDER), from the last Resize
    // on; false at scale 1.
    bool ScalesOnServer() const { return stage_ != nullptr; }
    // Whether the shared images' memory may go to the server as a file
    // descriptor (MIT-SHM 1.2, a server on this machine), which nothing
    // outlives; on by default. Otherwise, and where the server takes none,
    // it is a System V segment, marked for removal as soon as it is attached
    // here. From the next Resize on.
    void SetPassFds(bool on) { fdsWanted_ = on; }
    // Whether the shared image's memory went as a file descriptor.
    bool PassedFd() const;
    // Counters since construction, for the trace and the benchmarks.
    // Puts and their pixels: window pixels, or stage pixels where the
    // server blows the stage up.
    std::uint64_t PutCount() const { return puts_; }
    std::uint64_t PixelsSent() const { return pixelsSent_; }

private:
    struct ShmImage;
    struct PlainImage;
    struct Fence;
    struct ServerStage;
    // What follows a put: nothing, the end of a batch (marked by the fence,
    // or by a completion event where there is none), or a completion event.
    enum class BatchEnd { No, Fence, Event };

    XImage* Image() const;
    bool DirectFormat() const;
    // Converts `r` of the canvas into the image's format and scale.
    void Convert(const SoftCanvas& canvas, const Rect& r);
    // The part of the window `r` of the canvas covers.
    Rect ToWindow(const Rect& r) const;
    // Sends `r` of the image (in image pixels) to the window, or to the
    // stage's pixmap where the server blows the stage up.
    void Put(const Rect& r, BatchEnd end);
    // Where the server blows the stage up: shows the board's pixels inside
    // `r` (window pixels from the board's corner) from the pixmap; makes
    // what of `r` lies on the strips right and below the stage black (the
    // window pixels beyond its last whole block).
    void ShowFromStage(const Rect& r);
    void BlackenStrips(const Rect& r);
    // What the image is drawn at: the scale, or 1 where the server scales.
    int ImageScale() const { return stage_ ? 1 : scale_; }
    // The drawable the image is put on: the window, or the stage's pixmap.
    Drawable PutTarget() const;
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
    // RENDER's format for the visual, null where the server cannot serve it.
    XRenderPictFormat* renderFormat_ = nullptr;
    std::unique_ptr<ServerStage> stage_;
    // The window as a RENDER picture, made with the first stage and kept.
    Picture windowPicture_ = None;
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
