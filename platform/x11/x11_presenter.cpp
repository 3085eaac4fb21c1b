#include "platform/x11/x11_presenter.h"

#include <dlfcn.h>
#include <sys/ipc.h>
#include <sys/mman.h>
#include <sys/shm.h>
#include <sys/socket.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <bit>
#include <cstdlib>

#include "platform/soft/pixel_scale.h"
#include "platform/soft/soft_canvas.h"
#include "platform/x11/x11_handles.h"

namespace {

// More rectangles than this waiting for the shared segment are folded into
// their bounding box.
constexpr std::size_t kMaxBacklog = 64;

Rect Clip(const Rect& r, int width, int height) {
    Rect c{std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, width), std::min(r.bottom, height)};
    return c.IsEmpty() ? Rect{} : c;
}

void MaskShape(unsigned long mask, int& shift, int& bits) {
    shift = mask == 0 ? 0 : std::countr_zero(mask);
    bits = std::popcount(mask);
}

// The transform of a picture that shows each of its pixels as a
// `scale` x `scale` block: it maps a window pixel back to the stage, x / s.
// 1/s is rounded to 16.16 fixed point: exact for 2 and 4, 21845/65536 for 3,
// a third of a 65536th short. The server samples window pixel x at its
// centre, (x + 0.5) times that, rounded, less one 65536th, and shows the
// stage pixel under the point. The outer centres of a block lie 1/(2s) of a
// stage pixel inside it (10922 65536ths at 3), and the shortfall moves the
// centre of x by (x + 0.5) / 3 65536ths: less for every x below 32760, more
// than any screen has. So window pixel x shows stage pixel floor(x / s),
// with no seam between blocks or rectangles.
XTransform ScaleDown(int scale) {
    const XFixed one = XDoubleToFixed(1);
    const XFixed inverse = (one + scale / 2) / scale;
    XTransform t{};
    t.matrix[0][0] = inverse;
    t.matrix[1][1] = inverse;
    t.matrix[2][2] = one;
    return t;
}

}  // namespace

namespace {

// MIT-SHM 1.2 takes an image's memory as a file descriptor, which nothing
// outlives: the memory goes when the last of this process and the server
// lets go of it, however either ends. Xlib has no call for the request; it
// goes through the XCB side of the connection. The two small libraries that
// carry it are looked up when first wanted, so that a machine without them
// still runs, on System V segments.
class FdAttacher {
public:
    // Null where the libraries are missing.
    static const FdAttacher* Get() {
        static const FdAttacher attacher;
        return attacher.check_ != nullptr ? &attacher : nullptr;
    }

    // Attaches `fd` (which is the connection's from now on, whatever the
    // outcome) as `segment`; false when the server refused it.
    bool Attach(Display* display, ShmSeg segment, int fd) const {
        xcb_connection_t* connection = connection_(display);
        if (connection == nullptr) {
            close(fd);
            return false;
        }
        xcb_generic_error_t* error = check_(connection, attachFd_(connection, static_cast<std::uint32_t>(segment), fd, 0));
        if (error == nullptr) return true;
        std::free(error);
        return false;
    }

private:
    FdAttacher() {
        // Left loaded for the life of the process: the functions are kept.
        void* xlibXcb = dlopen("libX11-xcb.so.1", RTLD_NOW | RTLD_LOCAL);
        void* shm = xlibXcb != nullptr ? dlopen("libxcb-shm.so.0", RTLD_NOW | RTLD_LOCAL) : nullptr;
        if (shm == nullptr) return;
        connection_ = reinterpret_cast<Connection>(dlsym(xlibXcb, "XGetXCBConnection"));
        attachFd_ = reinterpret_cast<AttachFd>(dlsym(shm, "xcb_shm_attach_fd_checked"));
        // From libxcb itself, which libxcb-shm brings.
        if (connection_ != nullptr && attachFd_ != nullptr)
            check_ = reinterpret_cast<Check>(dlsym(shm, "xcb_request_check"));
    }

    using Connection = xcb_connection_t* (*)(Display*);
    using AttachFd = xcb_void_cookie_t (*)(xcb_connection_t*, std::uint32_t, std::int32_t, std::uint8_t);
    using Check = xcb_generic_error_t* (*)(xcb_connection_t*, xcb_void_cookie_t);
    Connection connection_ = nullptr;
    AttachFd attachFd_ = nullptr;
    Check check_ = nullptr;
};

// Whether the server is on this machine: only a local socket carries a file
// descriptor.
bool LocalServer(Display* display) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    return getsockname(ConnectionNumber(display), reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
           address.ss_family == AF_UNIX;
}

// Memory the server maps too, detached (once the server has let go of it)
// and unmapped with its owner: a file of no name handed over as a descriptor
// where the server takes one, else a System V segment.
struct SharedSegment {
    Display* display = nullptr;
    XShmSegmentInfo info{};
    std::size_t size = 0;
    bool passedFd = false;  // mapped from a descriptor, not attached with shmat
    bool attached = false;

    SharedSegment() {
        info.shmid = -1;
        info.shmaddr = nullptr;
    }
    ~SharedSegment() {
        if (attached) {
            XShmDetach(display, &info);
            XSync(display, False);
        }
        if (info.shmaddr == nullptr) return;
        if (passedFd)
            munmap(info.shmaddr, size);
        else
            shmdt(info.shmaddr);
    }
    SharedSegment(const SharedSegment&) = delete;
    SharedSegment& operator=(const SharedSegment&) = delete;

    // `bytes` bytes of zeros the server may write, passed as a descriptor
    // when `fds` names the way; false when the system or the server (one on
    // another machine: BadAccess) refuses both ways.
    bool Attach(Display* d, std::size_t bytes, const FdAttacher* fds) {
        display = d;
        size = bytes;
        info.readOnly = False;
        return (fds != nullptr && AttachFd(*fds)) || AttachSystemV();
    }

private:
    bool AttachFd(const FdAttacher& fds) {
        // Close-on-exec: the download process must not hold it.
        const int fd = memfd_create("x11-image", MFD_CLOEXEC);
        if (fd < 0) return false;
        void* address = ftruncate(fd, static_cast<off_t>(size)) == 0
                            ? mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0)
                            : MAP_FAILED;
        if (address == MAP_FAILED) {
            close(fd);
            return false;
        }
        info.shmaddr = static_cast<char*>(address);
        info.shmseg = XAllocID(display);
        if (!fds.Attach(display, info.shmseg, fd)) {
            munmap(address, size);
            info.shmaddr = nullptr;
            return false;
        }
        passedFd = attached = true;
        return true;
    }

    bool AttachSystemV() {
        info.shmid = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
        if (info.shmid < 0) return false;
        void* address = shmat(info.shmid, nullptr, 0);
        // Marked for removal before anything else, so that it goes with the
        // last of this process and the server to let go of it, however they
        // end: until then a kill leaves it behind for good. Linux lets the
        // server attach a segment so marked; elsewhere that waits until the
        // server holds it.
        if (kRemoveBeforeServerAttaches || address == reinterpret_cast<void*>(-1))
            shmctl(info.shmid, IPC_RMID, nullptr);
        if (address == reinterpret_cast<void*>(-1)) return false;
        info.shmaddr = static_cast<char*>(address);
        bool failed;
        {
            XErrorTrap trap(display);
            XShmAttach(display, &info);
            failed = trap.Failed();
        }
        if (!kRemoveBeforeServerAttaches) shmctl(info.shmid, IPC_RMID, nullptr);
        attached = !failed;
        return attached;
    }

#if defined(__linux__)
    static constexpr bool kRemoveBeforeServerAttaches = true;
#else
    static constexpr bool kRemoveBeforeServerAttaches = false;
#endif
};

// The pixels of our images belong to a segment or a vector: only the
// structure is Xlib's to free.
struct ImageStructFree {
    void operator()(XImage* image) const {
        image->data = nullptr;
        XDestroyImage(image);
    }
};
using ImageStruct = std::unique_ptr<XImage, ImageStructFree>;

}  // namespace

struct X11Presenter::ShmImage {
    SharedSegment segment;
    ImageStruct image;

    static std::unique_ptr<ShmImage> Create(Display* display, Visual* visual, int depth, int width, int height,
                                            const FdAttacher* fds) {
        auto s = std::make_unique<ShmImage>();
        s->image.reset(XShmCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, nullptr,
                                       &s->segment.info, static_cast<unsigned>(width), static_cast<unsigned>(height)));
        if (!s->image) return nullptr;
        const std::size_t size = static_cast<std::size_t>(s->image->bytes_per_line) * static_cast<std::size_t>(height);
        if (!s->segment.Attach(display, size, fds)) return nullptr;
        s->image->data = s->segment.info.shmaddr;
        return s;
    }
};

// A 1x1 pixmap whose pixel lives in a shared segment of our own. After the
// puts of a frame the server is asked to fill it with a new value; it works
// through our requests in order, so once the value is there it has read
// everything before it. Reading the pixel costs no system call, where a
// completion event has to be read from the connection every frame.
struct X11Presenter::Fence {
    SharedSegment segment;
    OwnedPixmap pixmap;
    GraphicsContext gc;
    int bytes = 0;             // bytes of the pixel: 1, 2 or 4
    std::uint32_t mask = 0;    // the bits of a value the pixel keeps
    std::uint32_t value = 0;   // the last value asked for

    bool Passed() const {
        const void* at = segment.info.shmaddr;
        std::uint32_t reached;
        switch (bytes) {
        case 1: reached = __atomic_load_n(static_cast<const std::uint8_t*>(at), __ATOMIC_ACQUIRE); break;
        case 2: reached = __atomic_load_n(static_cast<const std::uint16_t*>(at), __ATOMIC_ACQUIRE); break;
        default: reached = __atomic_load_n(static_cast<const std::uint32_t*>(at), __ATOMIC_ACQUIRE); break;
        }
        return (reached & mask) == value;
    }

    void Ask() {
        value = (value + 1) & mask;
        XSetForeground(segment.display, gc.get(), value);
        XFillRectangle(segment.display, pixmap.get(), gc.get(), 0, 0, 1, 1);
    }

    // Null where the server keeps no pixmaps in shared memory or lays their
    // pixels out otherwise than this process would read them.
    static std::unique_ptr<Fence> Create(Display* display, Drawable drawable, int depth, const FdAttacher* fds) {
        // The format is 0 where the server keeps no shared pixmaps.
        if (XShmPixmapFormat(display) != ZPixmap || depth < 8) return nullptr;
        const int hostOrder = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
        if (ImageByteOrder(display) != hostOrder) return nullptr;
        int bitsPerPixel = 0, count = 0;
        if (XPixmapFormatValues* formats = XListPixmapFormats(display, &count)) {
            for (int i = 0; i < count; ++i) {
                if (formats[i].depth == depth) bitsPerPixel = formats[i].bits_per_pixel;
            }
            XFree(formats);
        }
        if (bitsPerPixel != 8 && bitsPerPixel != 16 && bitsPerPixel != 32) return nullptr;
        auto f = std::make_unique<Fence>();
        f->bytes = bitsPerPixel / 8;
        // Up to sixteen bits are plenty: nothing is drawn while a value is
        // outstanding, so only an exposure's puts can queue behind it.
        f->mask = depth >= 16 ? 0xFFFFu : (1u << depth) - 1;
        if (!f->segment.Attach(display, 4096, fds)) return nullptr;
        XErrorTrap trap(display);
        f->pixmap = OwnedPixmap(XShmCreatePixmap(display, drawable, f->segment.info.shmaddr, &f->segment.info, 1, 1,
                                                 static_cast<unsigned>(depth)),
                                XPixmapTraits{display});
        if (f->pixmap) f->gc = CreateGraphicsContext(display, f->pixmap.get());
        if (!trap.Failed() && f->pixmap && f->gc) return f;
        // Whatever the server refused is let go while its errors are still
        // caught here.
        f->gc.Reset();
        f->pixmap.Reset();
        trap.Failed();
        return nullptr;
    }
};

// The stage on the server: a pixmap of the stage's size that the image is
// put on, and a picture of it that shows each of its pixels in a window as
// an s x s block.
struct X11Presenter::ServerStage {
    OwnedPixmap pixmap;
    Picture picture = None;
    Display* display = nullptr;

    ~ServerStage() {
        // A picture holds on to its pixmap: it goes first.
        if (picture != None) XRenderFreePicture(display, picture);
    }

    // Null where the server refused any of it (a pixmap too large for its
    // memory).
    static std::unique_ptr<ServerStage> Create(Display* display, Drawable window, XRenderPictFormat* format,
                                               int depth, int width, int height, int scale) {
        auto s = std::make_unique<ServerStage>();
        s->display = display;
        XErrorTrap trap(display);
        s->pixmap = OwnedPixmap(XCreatePixmap(display, window, static_cast<unsigned>(width),
                                              static_cast<unsigned>(height), static_cast<unsigned>(depth)),
                                XPixmapTraits{display});
        s->picture = XRenderCreatePicture(display, s->pixmap.get(), format, 0, nullptr);
        XTransform transform = ScaleDown(scale);
        XRenderSetPictureTransform(display, s->picture, &transform);
        // Nearest is RENDER's default too; said here, since any other filter
        // would blend neighbouring stage pixels into the blocks.
        XRenderSetPictureFilter(display, s->picture, FilterNearest, nullptr, 0);
        if (!trap.Failed()) return s;
        // Whatever the server refused is let go while its errors are still
        // caught here.
        s.reset();
        trap.Failed();
        return nullptr;
    }
};

struct X11Presenter::PlainImage {
    std::vector<char> data;
    ImageStruct image;

    static std::unique_ptr<PlainImage> Create(Display* display, Visual* visual, int depth, int width, int height) {
        auto p = std::make_unique<PlainImage>();
        p->image.reset(XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr,
                                    static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0));
        if (!p->image) return nullptr;
        p->data.assign(static_cast<std::size_t>(p->image->bytes_per_line) * static_cast<std::size_t>(height), 0);
        p->image->data = p->data.data();
        return p;
    }
};

X11Presenter::X11Presenter(Display* display, Window window, GC gc, Visual* visual, int depth, bool allowShm)
    : display_(display), window_(window), gc_(gc), visual_(visual), depth_(depth), shmAllowed_(allowShm) {
    if (shmAllowed_ && XShmQueryExtension(display_)) {
        shmCompletionType_ = XShmGetEventBase(display_) + ShmCompletion;
        int major = 0, minor = 0;
        Bool pixmaps = False;
        fdsOffered_ = XShmQueryVersion(display_, &major, &minor, &pixmaps) && (major > 1 || (major == 1 && minor >= 2)) &&
                      LocalServer(display_);
    } else {
        shmAllowed_ = false;
    }
    MaskShape(visual_->red_mask, redShift_, redBits_);
    MaskShape(visual_->green_mask, greenShift_, greenBits_);
    MaskShape(visual_->blue_mask, blueShift_, blueBits_);
    // Bits of the depth that carry no colour (the alpha of a 32-bit visual)
    // are set: under a compositor a pixel with alpha 0 would not show.
    const unsigned long depthBits = depth_ >= 32 ? 0xFFFFFFFFul : (1ul << depth_) - 1;
    opaqueBits_ = static_cast<std::uint32_t>(depthBits & ~(visual_->red_mask | visual_->green_mask | visual_->blue_mask));
    // Transforms and filters came with RENDER 0.6.
    int renderEvent = 0, renderError = 0, renderMajor = 0, renderMinor = 0;
    if (XRenderQueryExtension(display_, &renderEvent, &renderError) &&
        XRenderQueryVersion(display_, &renderMajor, &renderMinor) &&
        (renderMajor > 0 || renderMinor >= 6)) {
        renderFormat_ = XRenderFindVisualFormat(display_, visual_);
    }
}

X11Presenter::~X11Presenter() {
    stage_.reset();
    if (windowPicture_ != None) {
        // The server frees a window's pictures with the window, which may
        // be gone already (a preview's parent closed, an embedding window
        // destroyed): that error is nobody's business.
        XErrorTrap trap(display_);
        XRenderFreePicture(display_, windowPicture_);
        trap.Failed();
    }
}

bool X11Presenter::PassedFd() const { return shm_ && shm_->segment.passedFd; }

bool X11Presenter::Busy() const {
    return shmOutstanding_ > 0 || (shm_ && fence_ && !fence_->Passed());
}

void X11Presenter::AskWhenDone() {
    if (shmOutstanding_ > 0 || !Busy()) return;
    // The fence sends no word when it is reached: a one-pixel put that asks
    // for its completion event goes after it. The image still holds what
    // was sent, since nothing is drawn into it while it is busy.
    Put(Clip(Rect{0, 0, 1, 1}, width_, height_), BatchEnd::Event);
}

bool X11Presenter::CanShow(const Visual* visual) {
    return visual != nullptr && (visual->c_class == TrueColor || visual->c_class == DirectColor);
}

XImage* X11Presenter::Image() const {
    if (shm_) return shm_->image.get();
    if (plain_) return plain_->image.get();
    return nullptr;
}

bool X11Presenter::DirectFormat() const {
    const XImage* image = Image();
    const int hostOrder = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
    return image != nullptr && opaqueBits_ == 0 && image->bits_per_pixel == 32 && image->byte_order == hostOrder &&
           image->red_mask == 0xFF0000 && image->green_mask == 0xFF00 && image->blue_mask == 0xFF;
}

bool X11Presenter::Resize(int width, int height, int scale) {
    shm_.reset();
    plain_.reset();
    stage_.reset();
    shmOutstanding_ = 0;
    backlog_.clear();
    sendAll_ = true;
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    scale_ = std::max(scale, 1);
    if (width_ == 0 || height_ == 0) return false;
    const int stageWidth = width_ / scale_, stageHeight = height_ / scale_;
    if (scale_ > 1 && renderFormat_ != nullptr && stageWidth > 0 && stageHeight > 0) {
        stage_ = ServerStage::Create(display_, window_, renderFormat_, depth_, stageWidth, stageHeight, scale_);
        if (stage_ && windowPicture_ == None) {
            XErrorTrap trap(display_);
            windowPicture_ = XRenderCreatePicture(display_, window_, renderFormat_, 0, nullptr);
            if (trap.Failed()) windowPicture_ = None;
        }
        if (windowPicture_ == None) stage_.reset();
    }
    // The image is the stage where the server blows it up, else the window.
    const int imageWidth = stage_ ? stageWidth : width_;
    const int imageHeight = stage_ ? stageHeight : height_;
    if (shmAllowed_) {
        const FdAttacher* fds = fdsOffered_ && fdsWanted_ ? FdAttacher::Get() : nullptr;
        shm_ = ShmImage::Create(display_, visual_, depth_, imageWidth, imageHeight, fds);
        // Refused once, refused for good: the plain path from now on, or
        // System V segments where the server would not take a descriptor.
        if (!shm_) shmAllowed_ = false;
        if (shm_ && fds != nullptr && !shm_->segment.passedFd) fdsOffered_ = false;
        if (shm_ && !fenceTried_) {
            fenceTried_ = true;
            fence_ = Fence::Create(display_, window_, depth_, fdsOffered_ ? fds : nullptr);
        }
    }
    if (!shm_) plain_ = PlainImage::Create(display_, visual_, depth_, imageWidth, imageHeight);
    XImage* image = Image();
    // The strips right and below a scaled stage are never converted; where
    // black is not all bits zero (opaque bits) they are made black once.
    if (image != nullptr && scale_ > 1 && !stage_ && ServerPixel(0) != 0) {
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x) XPutPixel(image, x, y, ServerPixel(0));
    }
    return image != nullptr;
}

std::uint32_t X11Presenter::ServerPixel(std::uint32_t rgb) const {
    auto channel = [](std::uint32_t value8, int bits, int shift) -> std::uint32_t {
        if (bits <= 0) return 0;
        const std::uint32_t scaled = bits >= 8 ? value8 << (bits - 8) : value8 >> (8 - bits);
        return scaled << shift;
    };
    return channel((rgb >> 16) & 0xFF, redBits_, redShift_) | channel((rgb >> 8) & 0xFF, greenBits_, greenShift_) |
           channel(rgb & 0xFF, blueBits_, blueShift_) | opaqueBits_;
}

std::uint32_t* X11Presenter::CanvasMemory() const {
    if (!DirectFormat() || ImageScale() != 1) return nullptr;
    return reinterpret_cast<std::uint32_t*>(Image()->data);
}

std::size_t X11Presenter::CanvasStride() const {
    const XImage* image = Image();
    return image == nullptr ? 0 : static_cast<std::size_t>(image->bytes_per_line) / sizeof(std::uint32_t);
}

Rect X11Presenter::ToWindow(const Rect& r) const {
    return Rect{r.left * scale_, r.top * scale_, r.right * scale_, r.bottom * scale_};
}

void X11Presenter::Convert(const SoftCanvas& canvas, const Rect& rect) {
    XImage* image = Image();
    const Rect r =
        Clip(rect, std::min(width_ / scale_, canvas.Width()), std::min(height_ / scale_, canvas.Height()));
    if (r.IsEmpty()) return;
    const int s = ImageScale();
    if (s > 1 && DirectFormat()) {
        BlowUpPixels(canvas.Pixels(), canvas.Stride(), r, s, reinterpret_cast<std::uint32_t*>(image->data),
                     CanvasStride());
        return;
    }
    for (int y = r.top; y < r.bottom; ++y) {
        const std::uint32_t* src = canvas.Pixels() + static_cast<std::size_t>(y) * canvas.Stride();
        for (int x = r.left; x < r.right; ++x) {
            const std::uint32_t pixel = ServerPixel(src[x]);
            for (int dy = 0; dy < s; ++dy)
                for (int dx = 0; dx < s; ++dx) XPutPixel(image, x * s + dx, y * s + dy, pixel);
        }
    }
}

Drawable X11Presenter::PutTarget() const { return stage_ ? stage_->pixmap.get() : window_; }

void X11Presenter::ShowFromStage(const Rect& r) {
    const int stageRight = width_ / scale_ * scale_, stageBottom = height_ / scale_ * scale_;
    const Rect board = Clip(r, stageRight, stageBottom);
    if (board.IsEmpty()) return;
    // The picture's coordinates are the window's before the transform: the
    // board's own, which the transform divides by the scale.
    XRenderComposite(display_, PictOpSrc, stage_->picture, None, windowPicture_, board.left, board.top, 0, 0,
                     board.left + origin_.x, board.top + origin_.y, static_cast<unsigned>(board.Width()),
                     static_cast<unsigned>(board.Height()));
}

void X11Presenter::BlackenStrips(const Rect& r) {
    const int stageRight = width_ / scale_ * scale_, stageBottom = height_ / scale_ * scale_;
    static constexpr XRenderColor kBlack{0, 0, 0, 0xFFFF};
    for (const Rect& strip : {Rect{stageRight, 0, width_, height_}, Rect{0, stageBottom, stageRight, height_}}) {
        const Rect c = Clip(Rect{std::max(strip.left, r.left), std::max(strip.top, r.top),
                                 std::min(strip.right, r.right), std::min(strip.bottom, r.bottom)},
                            width_, height_);
        if (c.IsEmpty()) continue;
        XRenderFillRectangle(display_, PictOpSrc, windowPicture_, &kBlack, c.left + origin_.x, c.top + origin_.y,
                             static_cast<unsigned>(c.Width()), static_cast<unsigned>(c.Height()));
    }
}

void X11Presenter::Put(const Rect& r, BatchEnd end) {
    XImage* image = Image();
    if (image == nullptr || r.IsEmpty()) return;
    const unsigned w = static_cast<unsigned>(r.Width()), h = static_cast<unsigned>(r.Height());
    // A pixmap of the stage's own has no origin in the window.
    const Point at = stage_ ? Point{r.left, r.top} : Point{r.left + origin_.x, r.top + origin_.y};
    if (shm_) {
        const bool event = end == BatchEnd::Event || (end == BatchEnd::Fence && !fence_);
        XShmPutImage(display_, PutTarget(), gc_, image, r.left, r.top, at.x, at.y, w, h, event ? True : False);
        if (event) {
            ++shmOutstanding_;
            fenceAskedSinceEvent_ = false;
        }
        if (end == BatchEnd::Fence && fence_) {
            fence_->Ask();
            fenceAskedSinceEvent_ = true;
        }
    } else {
        XPutImage(display_, PutTarget(), gc_, image, r.left, r.top, at.x, at.y, w, h);
    }
    ++puts_;
    pixelsSent_ += static_cast<std::uint64_t>(w) * h;
}

void X11Presenter::Present(const SoftCanvas& canvas, const std::vector<Rect>& rects) {
    if (Image() == nullptr) return;
    if (Busy()) {
        backlog_.insert(backlog_.end(), rects.begin(), rects.end());
        if (backlog_.size() > kMaxBacklog) {
            Rect all;
            for (const Rect& r : backlog_) all = UnionOf(all, r);
            backlog_.assign(1, all);
        }
        return;
    }
    work_.clear();
    work_.swap(backlog_);
    work_.insert(work_.end(), rects.begin(), rects.end());
    const bool direct = DirectFormat() && canvas.Pixels() == CanvasMemory();
    if (sendAll_) {
        // Whatever the window shows now is unknown: all of it goes, the
        // strips beside a stage the server blows up included.
        const Rect stage{0, 0, width_ / scale_, height_ / scale_};
        if (!direct) Convert(canvas, stage);
        sendAll_ = false;
        if (!stage_) {
            Put(Rect{0, 0, width_, height_}, BatchEnd::Fence);
            return;
        }
        Put(stage, BatchEnd::Fence);
        ShowFromStage(Rect{0, 0, width_, height_});
        BlackenStrips(Rect{0, 0, width_, height_});
        return;
    }
    std::size_t last = work_.size();
    for (std::size_t i = 0; i < work_.size(); ++i) {
        work_[i] = Clip(work_[i], width_ / scale_, height_ / scale_);
        if (!work_[i].IsEmpty()) last = i;
    }
    for (std::size_t i = 0; i < work_.size(); ++i) {
        if (work_[i].IsEmpty()) continue;
        if (!direct) Convert(canvas, work_[i]);
        Put(stage_ ? work_[i] : ToWindow(work_[i]), i == last ? BatchEnd::Fence : BatchEnd::No);
    }
    // The blow-ups go after the fence: they read the pixmap, not the shared
    // image, which the next frame may be drawn into meanwhile.
    if (stage_) {
        for (const Rect& r : work_) {
            if (!r.IsEmpty()) ShowFromStage(ToWindow(r));
        }
    }
}

void X11Presenter::Repaint(const Rect& rect) {
    // Before the first presentation the image holds nothing worth showing;
    // that presentation covers the whole window anyway.
    if (sendAll_) return;
    const Rect r{rect.left - origin_.x, rect.top - origin_.y, rect.right - origin_.x, rect.bottom - origin_.y};
    // The pixmap holds what was sent and no shared memory is read: nothing
    // to wait for.
    if (stage_) {
        ShowFromStage(r);
        BlackenStrips(r);
        return;
    }
    Put(Clip(r, width_, height_), BatchEnd::Fence);
}

bool X11Presenter::HandleEvent(const XEvent& event) {
    if (shmCompletionType_ < 0 || event.type != shmCompletionType_) return false;
    const auto& done = reinterpret_cast<const XShmCompletionEvent&>(event);
    // A completion of a segment given up in a resize says nothing about the
    // current one.
    if (shm_ && done.drawable == PutTarget() && done.shmseg == shm_->segment.info.shmseg && shmOutstanding_ > 0) {
        --shmOutstanding_;
        // The server was through with the fence before this event; a fence
        // that still reads otherwise cannot be trusted, and the frames ask
        // for events from now on.
        if (shmOutstanding_ == 0 && fence_ && !fenceAskedSinceEvent_ && !fence_->Passed()) fence_.reset();
    }
    return true;
}
