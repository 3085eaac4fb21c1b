#pragma once
// The one window of the saver run modes: a top-most popup over the primary
// screen (over every monitor when there are several, one board on each), or
// a child filling the preview area of the Display Properties window. Its
// message handlers feed the saver sessions, which play the boards and say
// when the window closes.

#include "platform/win32/win32.h"

#include <memory>
#include <string>
#include <vector>

#include "display/saver_session.h"
#include "display/stage_scale.h"
#include "platform/win32/framework.h"
#include "platform/win32/gdi.h"
#include "platform/win32/gdi_canvas.h"

inline constexpr UINT kSaverClassStyle = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_SAVEBITS;
inline constexpr UINT_PTR kFrameTimerId = 1;

// The monitors of the desktop in virtual-screen coordinates, the primary one
// first; empty when the system names none.
std::vector<RECT> DesktopMonitors();

class CSaverWnd : public CWnd {
public:
    // `championship` is the association code in use; its display name is the
    // board's title. `scaleSetting` is kAutoStageScale or a factor from 1 to
    // kMaxStageScale (see StageScaleFor), for every board.
    explicit CSaverWnd(std::string championship = std::string(), int scaleSetting = 1);
    ~CSaverWnd() override;

    // Full screen with no parent, otherwise a child filling the parent's
    // client rectangle. False when the window cannot be created, and when the
    // parent's client rectangle cannot be read (no window is created then).
    BOOL Create(HWND parent);
    // Full screen over `monitors` (virtual-screen coordinates, the primary
    // first), one board on each: what Create does with the desktop's.
    BOOL CreateOnMonitors(const std::vector<RECT>& monitors);

    // Plays one frame of every board on the context of the whole window.
    void ComposeBoard(CDC& dc);

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void PostNcDestroy() override;

    int OnCreate(LPCREATESTRUCTA createStruct) override;
    void OnTimer(UINT_PTR id) override;
    void OnPaint() override;
    void OnDestroy() override;

    BOOL IsPreview() const { return m_preview; }
    // The board of the primary monitor, which hears the input.
    const SaverSession& Session() const { return *m_boards.front()->session; }
    const BoardLayout& Layout() const { return Session().Layout(); }
    std::size_t BoardCount() const { return m_boards.size(); }

private:
    // One monitor's board: where it stands in the client area, and at a
    // scale above 1 the stage it is drawn on before it is blown up. The
    // first is made with the window object, so that its session is there
    // before the window is.
    struct Board {
        std::unique_ptr<SaverSession> session;
        RECT area = {0, 0, 0, 0};
        int scale = 1;
        CDC stageDC;
        HBITMAP stageBitmap = nullptr;
        HGDIOBJ previousBitmap = nullptr;
        Size stage;
        ~Board();
    };

    // Hands the input to the primary board's session, the cursor position
    // read now, and does what it says.
    void Feed(SaverInputKind kind);
    void MakeBoards();
    void DrawBoard(Board& board, CDC& dc, bool whole);

    GdiFontFactory m_fontFactory;  // the stages' fonts are made here; outlives every session
    std::string m_championship;
    int m_scaleSetting;
    BOOL m_preview = FALSE;
    CBrush m_blackBrush;
    std::vector<std::unique_ptr<Board>> m_boards;
    // The monitors found by Create, in client coordinates; one board each.
    std::vector<RECT> m_areas;
    RECT m_clientRect = {0, 0, 0, 0};
};
