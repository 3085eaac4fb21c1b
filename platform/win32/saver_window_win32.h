#pragma once
// The one window of the saver run modes: a top-most popup over the primary
// screen, or a child filling the preview area of the Display Properties
// window. Its message handlers feed the saver session, which plays the board
// and says when the window closes.

#include "platform/win32/win32.h"

#include <string>

#include "display/saver_session.h"
#include "platform/win32/framework.h"
#include "platform/win32/gdi.h"
#include "platform/win32/gdi_canvas.h"

inline constexpr UINT kSaverClassStyle = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_SAVEBITS;
inline constexpr UINT_PTR kFrameTimerId = 1;

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
    const SaverSession& Session() const { return m_session; }
    const BoardLayout& Layout() const { return m_session.Layout(); }

private:
    // Hands the input to the session, the cursor position read now, and does
    // what it says.
    void Feed(SaverInputKind kind);

    GdiFontFactory m_fontFactory;  // the stage's fonts are made here; outlives m_session
    BOOL m_preview = FALSE;
    CBrush m_blackBrush;
    SaverSession m_session;
    RECT m_clientRect = {0, 0, 0, 0};
};
