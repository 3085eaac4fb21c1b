#pragma once
// The one window of the saver run modes: a top-most popup over the primary
// screen, or a child filling the preview area of the Display Properties
// window. It plays the board every 20 ms and, full screen, closes itself on
// a key, a mouse button or a mouse movement of more than 5 pixels.

#include "platform/win32/win32.h"

#include <string>

#include "display/board_layout.h"
#include "platform/win32/framework.h"
#include "platform/win32/gdi.h"
#include "platform/win32/gdi_canvas.h"

// Where the cursor was at the first mouse message of the process. It is
// never moved, so small movements add up until the saver closes.
struct MouseTestReference {
    POINT firstCursorPos = {0, 0};
    bool haveFirstCursorPos = false;
};
extern MouseTestReference theMouseTestReference;

// More than this many pixels (horizontal plus vertical distance from the
// reference point) close the full-screen saver.
inline constexpr int kMouseMoveTolerance = 5;

inline constexpr UINT kSaverClassStyle = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_SAVEBITS;
inline constexpr UINT_PTR kFrameTimerId = 1;
inline constexpr UINT kFrameIntervalMs = 20;

class CSaverWnd : public CWnd {
public:
    // `championship` is the association code in use; its display name is the
    // board's title.
    explicit CSaverWnd(std::string championship = std::string());
    ~CSaverWnd() override;

    // Full screen with no parent, otherwise a child filling the parent's
    // client rectangle. False when the window cannot be created, and when the
    // parent's client rectangle cannot be read (no window is created then).
    BOOL Create(HWND parent);

    // Plays one frame of the board on the context.
    void ComposeBoard(CDC& dc);

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void PostNcDestroy() override;

    int OnCreate(LPCREATESTRUCTA createStruct) override;
    void OnTimer(UINT_PTR id) override;
    void OnPaint() override;
    void OnDestroy() override;

    BOOL IsPreview() const { return m_preview; }
    const BoardLayout& Layout() const { return m_layout; }

private:
    // Records the reference point at the first call; afterwards posts
    // WM_CLOSE once the cursor is more than the tolerance away from it.
    void MouseTest();
    // Moves the cursor off the clicked spot before the saver closes.
    void NudgeCursor();

    GdiFontFactory m_fontFactory;  // the stage's fonts are made here; outlives m_layout
    BOOL m_preview = FALSE;
    CBrush m_blackBrush;
    BoardLayout m_layout;
    RECT m_clientRect = {0, 0, 0, 0};
    std::string m_championship;
};
