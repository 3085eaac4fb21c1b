#include "platform/x11/saver_window_x11.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <ostream>

#include "display/trace_canvas.h"
#include "platform/x11/monitors_x11.h"

namespace {

constexpr long kFullScreenEvents = KeyPressMask | ButtonPressMask | PointerMotionMask | FocusChangeMask |
                                   ExposureMask | StructureNotifyMask | VisibilityChangeMask;
constexpr long kPointerGrabEvents = ButtonPressMask | PointerMotionMask;
// The terminal or launcher that started the saver may hold a grab for a
// moment (until the key that started it is released).
constexpr int kGrabTries = 20;
constexpr int kGrabPauseMs = 50;

void NameWindow(Display* display, Window window) {
    XStoreName(display, window, "vemo");
    XClassHint hint;
    char name[] = "vemo";
    char klass[] = "Vemo";
    hint.res_name = name;
    hint.res_class = klass;
    XSetClassHint(display, window, &hint);
}

const char* KindName(SaverTargetKind kind) {
    switch (kind) {
    case SaverTargetKind::FullScreen:
        return "fullscreen";
    case SaverTargetKind::Preview:
        return "preview";
    case SaverTargetKind::Embedded:
        return "embedded";
    case SaverTargetKind::Root:
        return "root";
    }
    return "?";
}

}  // namespace

struct X11SaverWindow::Board {
    Board(FontFactory& fonts, const std::string& championship) : session(fonts, championship), canvas(0, 0) {}
    SaverSession session;
    SoftCanvas canvas;
    std::unique_ptr<X11Presenter> presenter;  // none until the window exists
};

X11SaverWindow::X11SaverWindow(Display* display, std::string championship, Settings settings)
    : display_(display), championship_(std::move(championship)), settings_(settings) {
    boards_.push_back(std::make_unique<Board>(fontFactory_, championship_));
    if (settings_.trace != nullptr) trace_ = std::make_unique<TraceCanvas>(&boards_[0]->canvas, *settings_.trace);
}

bool X11SaverWindow::UsesShm() const { return boards_[0]->presenter && boards_[0]->presenter->UsesShm(); }

std::uint64_t X11SaverWindow::FramesPlayed() const { return boards_[0]->session.FramesPlayed(); }

X11SaverWindow::~X11SaverWindow() { OnDestroy(); }

bool X11SaverWindow::Create(const SaverTarget& target, std::string& error) {
    kind_ = target.kind;
    // Only a window of our own over the whole screen listens to the user.
    boards_[0]->session.SetPreview(kind_ != SaverTargetKind::FullScreen);
    const int screen = DefaultScreen(display_);
    const Window root = RootWindow(display_, screen);
    Visual* visual = nullptr;
    int depth = 0;
    int width = 0;
    int height = 0;

    if (kind_ == SaverTargetKind::FullScreen) {
        visual = DefaultVisual(display_, screen);
        depth = DefaultDepth(display_, screen);
        width = DisplayWidth(display_, screen);
        height = DisplayHeight(display_, screen);
        if (!X11Presenter::CanShow(visual)) {
            error = "the default visual of the screen is not TrueColor";
            return false;
        }
        cursor_ = CreateBlankCursor(display_, root);
        XSetWindowAttributes a = {};
        a.override_redirect = True;
        a.background_pixel = BlackPixel(display_, screen);
        a.event_mask = kFullScreenEvents;
        a.cursor = cursor_.get();
        const Window w = XCreateWindow(display_, root, 0, 0, static_cast<unsigned>(width),
                                       static_cast<unsigned>(height), 0, depth, InputOutput, visual,
                                       CWOverrideRedirect | CWBackPixel | CWEventMask | CWCursor, &a);
        window_ = OwnedWindow(w, XWindowTraits{display_});
        NameWindow(display_, w);
        drawable_ = w;
        // The screen may change its size (a monitor plugged in, a new mode);
        // the saver keeps covering all of it.
        parent_ = root;
        XSelectInput(display_, root, StructureNotifyMask);
    } else {
        const Window given = kind_ == SaverTargetKind::Root ? root : static_cast<Window>(target.window);
        XWindowAttributes attributes = {};
        bool ok;
        {
            XErrorTrap trap(display_);
            ok = XGetWindowAttributes(display_, given, &attributes) != 0 && !trap.Failed();
            // Watched from now on, so that its end or a new size is never missed.
            if (ok) XSelectInput(display_, given, kind_ == SaverTargetKind::Preview
                                                      ? StructureNotifyMask
                                                      : StructureNotifyMask | ExposureMask);
            ok = ok && !trap.Failed();
        }
        if (!ok) {
            error = std::to_string(given) + " is not a window";
            return false;
        }
        if (attributes.c_class == InputOnly) {
            error = std::to_string(given) + " is an input-only window";
            return false;
        }
        visual = attributes.visual;
        depth = attributes.depth;
        width = attributes.width;
        height = attributes.height;
        if (!X11Presenter::CanShow(visual)) {
            error = "the window's visual is not TrueColor";
            return false;
        }
        if (kind_ == SaverTargetKind::Preview) {
            parent_ = given;
            XSetWindowAttributes a = {};
            a.background_pixel = 0;  // black in every TrueColor visual
            a.event_mask = ExposureMask | StructureNotifyMask;
            Window w;
            {
                XErrorTrap trap(display_);
                w = XCreateWindow(display_, parent_, 0, 0, static_cast<unsigned>(std::max(width, 1)),
                                  static_cast<unsigned>(std::max(height, 1)), 0, CopyFromParent, InputOutput,
                                  CopyFromParent, CWBackPixel | CWEventMask, &a);
                if (trap.Failed()) {
                    error = "cannot create a window in " + std::to_string(given);
                    return false;
                }
            }
            window_ = OwnedWindow(w, XWindowTraits{display_});
            NameWindow(display_, w);
            drawable_ = w;
        } else {
            drawable_ = given;
        }
    }

    gc_ = CreateGraphicsContext(display_, drawable_);
    visual_ = visual;
    depth_ = depth;
    FollowSize(width, height);
    if (window_) {
        if (kind_ == SaverTargetKind::FullScreen) {
            XMapRaised(display_, drawable_);
        } else {
            XMapWindow(display_, drawable_);
        }
    }
    XFlush(display_);
    return true;
}

void X11SaverWindow::FollowSize(int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    std::vector<Rect> areas;
    // A window over the whole screen shows a board on each monitor; a
    // preview or a window someone else owns is one board.
    if (kind_ == SaverTargetKind::FullScreen || kind_ == SaverTargetKind::Root) {
        areas = MonitorAreas(display_, RootWindow(display_, DefaultScreen(display_)), width, height);
    }
    if (areas.size() < 2) areas.assign(1, Rect{0, 0, width, height});
    if (Size{width, height} == windowSize_ && areas == areas_) return;
    windowSize_ = Size{width, height};
    areas_ = areas;
    scale_ = StageScaleFor(settings_.scale, Size{areas_[0].Width(), areas_[0].Height()});
    // Boards of monitors that went away go with them; the first one stays.
    if (boards_.size() > areas_.size()) boards_.resize(areas_.size());
    for (std::size_t i = 0; i < areas_.size(); ++i) {
        if (i == boards_.size()) {
            boards_.push_back(std::make_unique<Board>(fontFactory_, championship_));
            // Only the first board hears the input.
            boards_[i]->session.SetPreview(true);
            // Every stage seeds from the clock: boards started together
            // would play the same scenes.
            boards_[i]->session.SeedRandom(static_cast<unsigned>(std::time(nullptr)) + 7919u * static_cast<unsigned>(i));
        }
        Board& board = *boards_[i];
        if (!board.presenter)
            board.presenter = std::make_unique<X11Presenter>(display_, drawable_, gc_.get(), visual_, depth_,
                                                             settings_.allowShm);
        FitBoard(board, areas_[i]);
    }
}

void X11SaverWindow::FitBoard(Board& board, const Rect& area) {
    X11Presenter& presenter = *board.presenter;
    SoftCanvas& canvas = board.canvas;
    SaverSession& session = board.session;
    const Size size{area.Width(), area.Height()};
    const int scale = StageScaleFor(settings_.scale, size);
    presenter.SetOrigin(Point{area.left, area.top});
    presenter.Resize(size.cx, size.cy, scale);
    // Drawn straight into the image the server reads, where its format
    // allows: no copy of the frame on the way.
    const Size stage = ScaledStage(size, scale);
    if (std::uint32_t* memory = presenter.CanvasMemory()) {
        canvas.UseMemory(memory, stage.cx, stage.cy, presenter.CanvasStride());
    } else {
        canvas.Resize(stage.cx, stage.cy);
    }
    session.Reshape(Size{canvas.Width(), canvas.Height()});
}

bool X11SaverWindow::AnyPresenter(bool (X11Presenter::*test)() const) const {
    for (const auto& board : boards_) {
        if (board->presenter && ((*board->presenter).*test)()) return true;
    }
    return false;
}

Point X11SaverWindow::CursorPos() {
    Window rootReturn, child;
    int rootX = 0, rootY = 0, winX, winY;
    unsigned mask;
    XQueryPointer(display_, RootWindow(display_, DefaultScreen(display_)), &rootReturn, &child, &rootX, &rootY,
                  &winX, &winY, &mask);
    return Point{rootX, rootY};
}

void X11SaverWindow::Obey(SaverAction action) {
    switch (action) {
    case SaverAction::Nothing:
        return;
    case SaverAction::NudgeCursorThenClose: {
        const Window root = RootWindow(display_, DefaultScreen(display_));
        NudgeSaverCursor([this] { return CursorPos(); },
                         [this, root](Point p) { XWarpPointer(display_, None, root, 0, 0, 0, 0, p.x, p.y); });
        RequestClose();
        return;
    }
    case SaverAction::Close:
        RequestClose();
        return;
    }
}

void X11SaverWindow::OnMapped() {
    if (kind_ != SaverTargetKind::FullScreen || !window_) return;
    XSetInputFocus(display_, drawable_, RevertToParent, CurrentTime);
    if (!keyboardGrab_) keyboardGrab_ = GrabKeyboard(display_, drawable_, kGrabTries, kGrabPauseMs);
    if (!pointerGrab_) {
        pointerGrab_ = GrabPointer(display_, drawable_, cursor_.get(), kPointerGrabEvents, kGrabTries, kGrabPauseMs);
    }
}

void X11SaverWindow::HandleInput(XEvent& event) {
    switch (event.type) {
    case KeyPress:
        Obey(boards_[0]->session.OnInput(SaverInput{SaverInputKind::Key, {}}));
        break;
    case ButtonPress:
        Obey(boards_[0]->session.OnInput(SaverInput{SaverInputKind::Button, {}}));
        break;
    case MotionNotify:
        Obey(boards_[0]->session.OnInput(
            SaverInput{SaverInputKind::PointerMove, Point{event.xmotion.x_root, event.xmotion.y_root}}));
        break;
    case FocusOut: {
        // Not a loss: the bookkeeping of the window under the pointer when
        // the focus moves to us, focus moving within the window, and the
        // focus events of our own keyboard grab (while we hold it nobody else
        // can grab the keyboard).
        const XFocusChangeEvent& f = event.xfocus;
        if (f.detail == NotifyPointer || f.detail == NotifyInferior) break;
        if ((f.mode == NotifyGrab || f.mode == NotifyUngrab) && keyboardGrab_) break;
        Obey(boards_[0]->session.OnInput(SaverInput{SaverInputKind::FocusLost, CursorPos()}));
        break;
    }
    default:
        break;
    }
}

void X11SaverWindow::HandleEvent(XEvent& event) {
    // A completion is of one board's segment; each presenter takes its own.
    bool completion = false;
    for (const auto& board : boards_) completion = (board->presenter && board->presenter->HandleEvent(event)) || completion;
    if (completion) return;
    switch (event.type) {
    case Expose:
        if (event.xexpose.window == drawable_) {
            const XExposeEvent& e = event.xexpose;
            exposed_ = UnionOf(exposed_, Rect{e.x, e.y, e.x + e.width, e.y + e.height});
        }
        return;
    case ConfigureNotify:
        if (event.xconfigure.window == drawable_) {
            FollowSize(event.xconfigure.width, event.xconfigure.height);
        } else if (event.xconfigure.window == parent_ && window_) {
            XMoveResizeWindow(display_, drawable_, 0, 0, static_cast<unsigned>(std::max(event.xconfigure.width, 1)),
                              static_cast<unsigned>(std::max(event.xconfigure.height, 1)));
        }
        return;
    case DestroyNotify:
        if (event.xdestroywindow.window == drawable_ || event.xdestroywindow.window == parent_) {
            // A preview child goes with its parent: nothing is left to
            // destroy, and an embedding window is not ours anyway.
            window_.Release();
            drawable_ = None;
            parent_ = None;
            RequestClose();
        }
        return;
    case MapNotify:
        if (event.xmap.window == drawable_) OnMapped();
        return;
    case VisibilityNotify:
        // Full screen means on top of everything: a window that comes up
        // over the saver is covered again.
        if (kind_ == SaverTargetKind::FullScreen && event.xvisibility.window == drawable_ &&
            event.xvisibility.state != VisibilityUnobscured) {
            XRaiseWindow(display_, drawable_);
        }
        return;
    default:
        break;
    }
    HandleInput(event);
}

void X11SaverWindow::PlayFrame(SaverClock::time_point now) {
    for (std::size_t i = 0; i < boards_.size(); ++i) {
        Board& board = *boards_[i];
        // Only the first board is traced.
        const SaverClock::time_point due =
            i == 0 && trace_ ? DrawTracedFrame(board.session, *trace_, now) : board.session.Draw(board.canvas, now);
        // One clock for all boards: the first one's.
        if (i == 0) due_ = due;
        board.presenter->Present(board.canvas, board.canvas.TakeChangedRects());
    }
}

int X11SaverWindow::Run(int stopFd) {
    const int xfd = ConnectionNumber(display_);
    if (trace_) {
        trace_->WriteLine(std::string("vemo ") + KindName(kind_) + " " + std::to_string(boards_[0]->canvas.Width()) + "x" +
                          std::to_string(boards_[0]->canvas.Height()) + (UsesShm() ? " shm" : " putimage") +
                          (scale_ > 1 ? " scale " + std::to_string(scale_) : "") +
                          (Boards() == 1 ? "" : " monitors " + std::to_string(Boards())));
        settings_.trace->flush();
    }
    due_ = SaverClock::now();
    bool readable = true;  // whatever came while the window was made
    unsigned long flushedUpTo = 0;  // XNextRequest at the last flush; 0: no flush yet
    while (!closeRequested_) {
        // The connection is read only when poll found it readable; events
        // an earlier reply brought along are already queued.
        if (readable) XEventsQueued(display_, QueuedAfterReading);
        while (!closeRequested_ && XQLength(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            HandleEvent(event);
        }
        if (closeRequested_) break;
        if (!exposed_.IsEmpty()) {
            for (const auto& board : boards_) board->presenter->Repaint(exposed_);
            exposed_ = Rect{};
        }
        // The canvas draws into the image the server reads: a frame waits
        // until the server has read the one before.
        const SaverClock::time_point frameTime = SaverClock::now();
        if (due_ && frameTime >= *due_) {
            if (!AnyPresenter(&X11Presenter::Busy)) {
                PlayFrame(frameTime);
            } else {
                // Late: the server has not read the last frame yet. It is
                // asked for a word when it has, and the poll waits for that.
                for (const auto& board : boards_) {
                    if (board->presenter) board->presenter->AskWhenDone();
                }
            }
        }
        // Xlib's flush also reads the connection, a system call that finds
        // nothing on a frame that changed no pixel: it is left out when no
        // request waits to be sent.
        if (XNextRequest(display_) != flushedUpTo) {
            XFlush(display_);
            flushedUpTo = XNextRequest(display_);
        }
        // Flushing may have read events; they must not wait for the poll.
        readable = false;
        if (XQLength(display_) > 0) continue;

        // One wake-up a frame. Where the server keeps a fence, the frames
        // send no word back and the connection is watched all the time;
        // otherwise it is not watched for the completion event of the frame
        // just sent, which is taken along when the next frame is due.
        const SaverClock::time_point now = SaverClock::now();
        const bool busy = AnyPresenter(&X11Presenter::Busy);
        const bool awaiting = AnyPresenter(&X11Presenter::AwaitsEvent);
        const bool due = due_ && now >= *due_;
        // Became due since the frame was looked at: the top of the loop plays
        // it or asks for the word it waits on.
        if (busy && due && !awaiting) continue;
        const bool watchX = !awaiting || due;
        const std::int64_t remaining =
            !due_ || (busy && due) ? -1 : std::max<std::int64_t>(0, std::chrono::nanoseconds(*due_ - now).count());
        timespec timeout{static_cast<time_t>(remaining / 1'000'000'000), static_cast<long>(remaining % 1'000'000'000)};
        pollfd fds[2];
        nfds_t count = 0;
        int xIndex = -1, stopIndex = -1;
        if (watchX) {
            xIndex = static_cast<int>(count);
            fds[count++] = pollfd{xfd, POLLIN, 0};
        }
        if (stopFd >= 0) {
            stopIndex = static_cast<int>(count);
            fds[count++] = pollfd{stopFd, POLLIN, 0};
        }
        const int ready = ppoll(fds, count, remaining >= 0 ? &timeout : nullptr, nullptr);
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) continue;
        if (stopIndex >= 0 && (fds[stopIndex].revents & POLLIN) != 0) RequestClose();
        if (xIndex >= 0 && (fds[xIndex].revents & (POLLIN | POLLHUP | POLLERR)) != 0) readable = true;
    }
    OnDestroy();
    return 0;
}

void X11SaverWindow::OnDestroy() {
    if (tornDown_) return;
    tornDown_ = true;
    due_.reset();
    for (const auto& board : boards_) board->session.Free();
    // The screen and the input go back before the program ends.
    pointerGrab_.Reset();
    keyboardGrab_.Reset();
    for (const auto& board : boards_) {
        board->presenter.reset();
        // The canvas may have drawn into the presenter's image.
        board->canvas.Resize(0, 0);
    }
    gc_.Reset();
    window_.Reset();
    cursor_.Reset();
    XSync(display_, False);
}
