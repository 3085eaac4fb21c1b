#include "platform/win32/saver_window_win32.h"

#include <ctime>

#include "display/change_tracking_canvas.h"

namespace {

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
    auto& monitors = *reinterpret_cast<std::vector<RECT>*>(data);
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoA(monitor, &info)) return TRUE;
    if (info.dwFlags & MONITORINFOF_PRIMARY) {
        monitors.insert(monitors.begin(), info.rcMonitor);
    } else {
        monitors.push_back(info.rcMonitor);
    }
    return TRUE;
}

Point CursorPos() {
    POINT p = {0, 0};
    GetCursorPos(&p);
    return Point{p.x, p.y};
}

}  // namespace

std::vector<RECT> DesktopMonitors() {
    std::vector<RECT> monitors;
    EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors));
    return monitors;
}

CSaverWnd::Board::~Board() {
    if (previousBitmap) ::SelectObject(stageDC.GetSafeHdc(), previousBitmap);
    if (stageBitmap) ::DeleteObject(stageBitmap);
}

CSaverWnd::CSaverWnd(std::string championship, int scaleSetting)
    : m_championship(std::move(championship)), m_scaleSetting(scaleSetting) {
    auto first = std::make_unique<Board>();
    first->session = std::make_unique<SaverSession>(m_fontFactory, m_championship);
    m_boards.push_back(std::move(first));
}

CSaverWnd::~CSaverWnd() = default;

BOOL CSaverWnd::Create(HWND parent) {
    if (!parent) return CreateOnMonitors(DesktopMonitors());
    const char* className = AfxRegisterWndClass(kSaverClassStyle, nullptr, nullptr, nullptr);
    if (!className) return FALSE;
    // The preview: one board filling the parent.
    RECT rect;
    if (!::GetClientRect(parent, &rect)) return FALSE;
    m_preview = TRUE;
    m_areas.clear();
    m_boards.front()->session->SetPreview(true);
    return CreateEx(0, className, "", WS_CHILD | WS_VISIBLE, rect.left, rect.top, rect.right - rect.left,
                    rect.bottom - rect.top, parent, nullptr, nullptr);
}

BOOL CSaverWnd::CreateOnMonitors(const std::vector<RECT>& monitors) {
    const char* className = AfxRegisterWndClass(kSaverClassStyle, nullptr, nullptr, nullptr);
    if (!className) return FALSE;
    m_preview = FALSE;
    m_areas.clear();
    RECT rect = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (monitors.size() > 1) {
        // One window over all of them, whose origin may be negative, and a
        // board on each monitor; what lies between monitors stays black.
        rect = monitors.front();
        for (const RECT& m : monitors) UnionRect(&rect, &rect, &m);
        for (const RECT& m : monitors)
            m_areas.push_back(RECT{m.left - rect.left, m.top - rect.top, m.right - rect.left, m.bottom - rect.top});
    }
    m_boards.front()->session->SetPreview(false);
    return CreateEx(WS_EX_TOPMOST, className, "", WS_POPUP | WS_VISIBLE, rect.left, rect.top,
                    rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr, nullptr);
}

void CSaverWnd::MakeBoards() {
    if (m_areas.empty()) m_areas.assign(1, m_clientRect);
    for (std::size_t i = 0; i < m_areas.size(); ++i) {
        if (i == m_boards.size()) {
            auto board = std::make_unique<Board>();
            board->session = std::make_unique<SaverSession>(m_fontFactory, m_championship);
            // Only the first board hears the input; every stage seeds from
            // the clock, and boards started together must not play the
            // same scenes.
            board->session->SetPreview(true);
            board->session->SeedRandom(static_cast<unsigned>(std::time(nullptr)) + 7919u * static_cast<unsigned>(i));
            m_boards.push_back(std::move(board));
        }
        Board& board = *m_boards[i];
        board.area = m_areas[i];
        const Size size{board.area.right - board.area.left, board.area.bottom - board.area.top};
        board.scale = StageScaleFor(m_scaleSetting, size);
        board.stage = ScaledStage(size, board.scale);
        if (board.scale > 1) {
            // The stage is drawn in memory and blown up on the screen.
            BITMAPINFO info = {};
            info.bmiHeader.biSize = sizeof info.bmiHeader;
            info.bmiHeader.biWidth = board.stage.cx;
            info.bmiHeader.biHeight = -board.stage.cy;
            info.bmiHeader.biPlanes = 1;
            info.bmiHeader.biBitCount = 32;
            info.bmiHeader.biCompression = BI_RGB;
            void* bits = nullptr;
            board.stageBitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
            if (!board.stageBitmap || !board.stageDC.CreateCompatibleDC(nullptr)) {
                // No memory for the stage: the board plays unscaled.
                if (board.stageBitmap) ::DeleteObject(board.stageBitmap);
                board.stageBitmap = nullptr;
                board.scale = 1;
                board.stage = size;
            } else {
                board.previousBitmap = ::SelectObject(board.stageDC.GetSafeHdc(), board.stageBitmap);
            }
        }
        board.session->Reshape(board.stage);
    }
}

void CSaverWnd::DrawBoard(Board& board, CDC& dc, bool whole) {
    // The timer ticks by itself: the next frame's time is not needed here.
    if (board.scale == 1 && m_boards.size() == 1) {
        GdiCanvas canvas(dc.m_hDC, dc.m_hAttribDC);
        board.session->Draw(canvas, SaverClock::now());
        return;
    }
    if (board.scale == 1) {
        // Drawn in place: the origin moved to the monitor, and nothing drawn
        // past its edges.
        const int saved = ::SaveDC(dc.m_hDC);
        ::SetViewportOrgEx(dc.m_hDC, board.area.left, board.area.top, nullptr);
        ::IntersectClipRect(dc.m_hDC, 0, 0, board.stage.cx, board.stage.cy);
        {
            GdiCanvas canvas(dc.m_hDC, dc.m_hDC);
            board.session->Draw(canvas, SaverClock::now());
        }
        ::RestoreDC(dc.m_hDC, saved);
        return;
    }
    std::vector<Rect> pieces;
    {
        GdiCanvas stage(board.stageDC.GetSafeHdc(), board.stageDC.GetSafeHdc());
        ChangeTrackingCanvas tracked(stage);
        board.session->Draw(tracked, SaverClock::now());
        pieces = tracked.Take(Rect{0, 0, board.stage.cx, board.stage.cy});
    }
    if (whole) pieces.assign(1, Rect{0, 0, board.stage.cx, board.stage.cy});
    // Each stage pixel becomes an s x s block: whole-number stretching
    // with no blending repeats pixels, as the software blow-up does.
    const int previousMode = ::SetStretchBltMode(dc.m_hDC, COLORONCOLOR);
    const int s = board.scale;
    for (const Rect& r : pieces) {
        ::StretchBlt(dc.m_hDC, board.area.left + r.left * s, board.area.top + r.top * s, (r.right - r.left) * s,
                     (r.bottom - r.top) * s, board.stageDC.GetSafeHdc(), r.left, r.top, r.right - r.left,
                     r.bottom - r.top, SRCCOPY);
    }
    ::SetStretchBltMode(dc.m_hDC, previousMode);
}

void CSaverWnd::ComposeBoard(CDC& dc) {
    for (const auto& board : m_boards) DrawBoard(*board, dc, false);
}

void CSaverWnd::Feed(SaverInputKind kind) {
    switch (m_boards.front()->session->OnInput(SaverInput{kind, CursorPos()})) {
    case SaverAction::Nothing:
        return;
    case SaverAction::NudgeCursorThenClose:
        NudgeSaverCursor(CursorPos, [](Point p) { SetCursorPos(p.x, p.y); });
        PostMessage(WM_CLOSE, 0, 0);
        return;
    case SaverAction::Close:
        PostMessage(WM_CLOSE, 0, 0);
        return;
    }
}

LRESULT CSaverWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        Feed(SaverInputKind::Key);
        break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        Feed(SaverInputKind::Button);
        break;
    case WM_MOUSEMOVE:
        Feed(SaverInputKind::PointerMove);
        break;
    case WM_ACTIVATE:
    case WM_ACTIVATEAPP:
        if (wParam == 0) Feed(SaverInputKind::FocusLost);
        break;
    case WM_NCACTIVATE:
        if (!m_preview && wParam == 0) return 0;
        break;
    case WM_SETCURSOR:
        if (!m_preview) SetCursor(nullptr);
        break;
    case WM_ERASEBKGND: {
        RECT rect;
        ::GetClientRect(m_hWnd, &rect);
        ::FillRect(reinterpret_cast<HDC>(wParam), &rect, m_blackBrush);
        break;
    }
    case WM_SYSCOMMAND:
        if (wParam == SC_SCREENSAVE || wParam == SC_CLOSE) return 0;
        break;
    default:
        break;
    }
    // The object may be gone when this returns (WM_NCDESTROY deletes it).
    return CWnd::WindowProc(message, wParam, lParam);
}

BOOL CSaverWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    switch (message) {
    case WM_TIMER:
        OnTimer(static_cast<UINT_PTR>(wParam));
        *result = 0;
        return TRUE;
    case WM_PAINT:
        OnPaint();
        *result = 0;
        return TRUE;
    case WM_CREATE:
        *result = OnCreate(reinterpret_cast<LPCREATESTRUCTA>(lParam));
        return TRUE;
    case WM_DESTROY:
        OnDestroy();
        *result = 0;
        return TRUE;
    default:
        return CWnd::OnWndMsg(message, wParam, lParam, result);
    }
}

int CSaverWnd::OnCreate(LPCREATESTRUCTA createStruct) {
    if (CWnd::OnCreate(createStruct) == -1) return -1;
    SetTimer(kFrameTimerId, static_cast<UINT>(kSaverFramePeriod.count()), nullptr);
    m_blackBrush.CreateSolidBrush(RGB(0, 0, 0));
    GetClientRect(&m_clientRect);
    MakeBoards();
    return 0;
}

void CSaverWnd::OnTimer(UINT_PTR id) {
    if (id == kFrameTimerId) {
        CClientDC dc(m_hWnd);
        ComposeBoard(dc);
    }
    CWnd::OnTimer(id);
}

void CSaverWnd::OnPaint() {
    CPaintDC dc(m_hWnd);
    // A stage in memory is shown whole again: what was on the screen is
    // gone.
    for (const auto& board : m_boards) DrawBoard(*board, dc, true);
}

void CSaverWnd::OnDestroy() {
    KillTimer(kFrameTimerId);
    if (m_blackBrush) m_blackBrush.DeleteObject();
    for (const auto& board : m_boards) board->session->Free();
    PostQuitMessage(0);
    CWnd::OnDestroy();
}

void CSaverWnd::PostNcDestroy() {
    CWnd::PostNcDestroy();
    delete this;
}
