#pragma once
// The saver's behaviour, written once for every front end in the manner of a
// screen hack: the window says how big the stage is, asks for frames and
// passes on what the user does; the session answers what the window must do.
// Windows and X differ only in how they feed it, and where they differ it is
// said here:
//
// * Buttons. Windows reports the left, right and middle buttons (the window
//   handles no other button-down message, so the wheel and the side buttons
//   close nothing); X reports every button the server has, and since X turns
//   the wheel into presses of buttons 4 to 7, a wheel turn closes the saver
//   there.
// * The pointer. Windows reads the cursor position when it handles the
//   message; X passes each motion event's own position, since by the time
//   the event is handled the pointer may already be further on and every
//   position must be tested, and asks the server where the pointer is when
//   the focus goes.
// * Frames. The Windows timer ticks every period by itself and a paint plays
//   a frame as well; X waits until the time Draw returned.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "display/board.h"
#include "display/board_layout.h"
#include "display/geometry.h"

class Canvas;
class FontFactory;
class TraceCanvas;

using SaverClock = std::chrono::steady_clock;

// One frame every 20 ms: nominally 50 frames a second.
inline constexpr std::chrono::milliseconds kSaverFramePeriod{20};

// A movement of more than this many pixels (horizontal plus vertical distance
// from the reference point) closes the full-screen saver.
inline constexpr int kMouseMoveTolerance = 5;

enum class SaverInputKind {
    Key,          // a key went down, with or without Alt
    Button,       // a mouse button went down
    PointerMove,  // the pointer moved
    FocusLost,    // the window was deactivated or lost the input focus
};

struct SaverInput {
    SaverInputKind kind = SaverInputKind::Key;
    Point pointer;  // screen coordinates; read for PointerMove and FocusLost
};

enum class SaverAction {
    Nothing,  // not "None": Xlib defines that as a macro
    Close,
    NudgeCursorThenClose,  // see NudgeSaverCursor
};

class SaverSession {
public:
    // `championship` is the association code in use; its display name is the
    // board's title. With theRotation filled, its leagues take turns instead,
    // each scene under its own association's title. theTeamName's row is
    // picked out in every table where it names one club. `fonts` must
    // outlive the session.
    SaverSession(FontFactory& fonts, std::string championship);
    SaverSession(const SaverSession&) = delete;
    SaverSession& operator=(const SaverSession&) = delete;

    // A preview (or a window someone else owns) ignores all input. The
    // window says so once it knows, before the first input.
    void SetPreview(bool preview) { preview_ = preview; }

    // The stage covers the window's client area; nothing is scaled.
    void Reshape(Size size);

    // Boards side by side (one per monitor) play scenes of their own.
    void SeedRandom(unsigned seed) { layout_.SeedRandom(seed); }

    // Plays one frame of the board from theStandings and theStatusText on
    // `canvas` and returns when the next one is due: one period after the
    // frame that was due, and after a stall one period after `now`, never a
    // burst of frames to catch up. A frame asked for before its time (a
    // paint) leaves the schedule as it was. After Free nothing is played and
    // no frame is ever due.
    SaverClock::time_point Draw(Canvas& canvas, SaverClock::time_point now);

    // What the user did, and what the window must do about it.
    SaverAction OnInput(const SaverInput& input);

    // Frees the stage's fonts and pictures and empties theStandings: the
    // session's part of the window's destruction. Later calls do nothing.
    void Free();

    bool IsPreview() const { return preview_; }
    const BoardLayout& Layout() const { return layout_; }
    std::uint64_t FramesPlayed() const { return frames_; }
    // Where the pointer was at the first pointer move or focus loss. It is
    // never moved afterwards, so that small movements add up.
    const std::optional<Point>& MouseReference() const { return mouseReference_; }

private:
    SaverAction MouseTest(Point pointer);

    BoardLayout layout_;
    // Kept, not built for each frame: building it copied three strings 50
    // times a second. One per league of a rotation, else one.
    std::vector<BoardContent> scenes_;
    std::size_t nextScene_ = 0;
    bool preview_ = false;
    bool freed_ = false;
    std::optional<Point> mouseReference_;
    std::optional<SaverClock::time_point> due_;
    std::uint64_t frames_ = 0;
};

// Plays the frame of `session` on `trace` under a line "frame N" and
// flushes it: a reader that follows the file sees whole frames as they are
// played.
SaverClock::time_point DrawTracedFrame(SaverSession& session, TraceCanvas& trace, SaverClock::time_point now);

// Moves the cursor off the clicked spot before the saver closes: one pixel
// right and one up, or one left and one up where the screen refuses the move
// on both axes (the lower right corner).
void NudgeSaverCursor(const std::function<Point()>& getCursorPos, const std::function<void(Point)>& setCursorPos);
