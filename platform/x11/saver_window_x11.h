#pragma once
// The one window of the saver run modes on X11: a window of its own over the
// whole default screen, a child filling a preview window, or (under
// XScreenSaver) a window someone else owns. It translates X events for the
// saver session, which plays the board and says when the window closes.

#include "platform/x11/xlib.h"

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "display/saver_session.h"
#include "display/stage_scale.h"
#include "platform/soft/soft_canvas.h"
#include "platform/soft/soft_font.h"
#include "platform/x11/vemo_options.h"
#include "platform/x11/x11_handles.h"
#include "platform/x11/x11_presenter.h"

class TraceCanvas;

class X11SaverWindow {
public:
    struct Settings {
        bool allowShm = true;
        // kAutoStageScale or a fixed factor: see StageScaleFor.
        int scale = kAutoStageScale;
        std::ostream* trace = nullptr;  // every drawing operation, frame by frame
    };

    // `display` must outlive the window. `championship` is the association
    // code in use; its display name is the board's title.
    X11SaverWindow(Display* display, std::string championship, Settings settings);
    ~X11SaverWindow();
    X11SaverWindow(const X11SaverWindow&) = delete;
    X11SaverWindow& operator=(const X11SaverWindow&) = delete;

    // Creates (or, embedded, takes over) the window. False with the reason in
    // `error` when the target is not a window or cannot be drawn on.
    bool Create(const SaverTarget& target, std::string& error);

    // The event loop: plays the board until the window closes or `stopFd`
    // becomes readable (a stop signal), then releases everything in order.
    // Returns the exit status, 0.
    int Run(int stopFd);

    SaverTargetKind Kind() const { return kind_; }
    Window Drawable() const { return drawable_; }
    bool UsesShm() const;
    int Scale() const { return scale_; }
    std::uint64_t FramesPlayed() const;
    // Monitors with a board of their own (1 on a screen of one monitor).
    std::size_t Boards() const { return boards_.size(); }

private:
    // A monitor's session, canvas and image. The first board hears the
    // input, is traced, and its clock paces the others.
    struct Board;

    void HandleEvent(XEvent& event);
    void HandleInput(XEvent& event);
    void PlayFrame(SaverClock::time_point now);
    void FollowSize(int width, int height);
    // Sizes a board's image, canvas and stage to `area` of the drawable.
    void FitBoard(Board& board, const Rect& area);
    // Whether `test` holds for the presenter of any board.
    bool AnyPresenter(bool (X11Presenter::*test)() const) const;
    void OnMapped();
    void Obey(SaverAction action);
    Point CursorPos();
    // What the Windows window does with a posted WM_CLOSE.
    void RequestClose() { closeRequested_ = true; }
    // Frees the session, then gives the input, the window and the cursor back.
    void OnDestroy();

    Display* display_;
    std::string championship_;
    Settings settings_;
    SaverTargetKind kind_ = SaverTargetKind::FullScreen;

    // The stage's fonts are made here: it outlives the session.
    SoftFontFactory fontFactory_;
    // One per monitor the window covers, the first always there.
    std::vector<std::unique_ptr<Board>> boards_;
    std::unique_ptr<TraceCanvas> trace_;

    Window parent_ = None;    // the preview's parent, or the root under a full-screen window
    Window drawable_ = None;  // what is drawn on: ours or the embedding window
    OwnedCursor cursor_;
    OwnedWindow window_;  // none when embedded
    GraphicsContext gc_;
    std::vector<Rect> areas_;  // one per board, in the drawable
    Visual* visual_ = nullptr;
    int depth_ = 0;
    InputGrab keyboardGrab_;
    InputGrab pointerGrab_;

    Size windowSize_;  // in screen pixels; the stage is this divided by scale_
    int scale_ = 1;
    std::optional<SaverClock::time_point> due_;  // none until the loop runs and after it
    Rect exposed_;
    bool closeRequested_ = false;
    bool tornDown_ = false;
};
