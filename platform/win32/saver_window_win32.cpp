#include "platform/win32/saver_window_win32.h"

CSaverWnd::CSaverWnd(std::string championship) : m_session(m_fontFactory, std::move(championship)) {}

CSaverWnd::~CSaverWnd() = default;

BOOL CSaverWnd::Create(HWND parent) {
    const char* className = AfxRegisterWndClass(kSaverClassStyle, nullptr, nullptr, nullptr);
    if (!className) return FALSE;

    DWORD exStyle = WS_EX_TOPMOST;
    DWORD style = WS_POPUP | WS_VISIBLE;
    m_preview = FALSE;
    RECT rect = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};

    if (parent) {
        if (!::GetClientRect(parent, &rect)) return FALSE;
        exStyle = 0;
        style = WS_CHILD | WS_VISIBLE;
        m_preview = TRUE;
    }
    m_session.SetPreview(m_preview != FALSE);
    return CreateEx(exStyle, className, "", style, rect.left, rect.top, rect.right - rect.left,
                    rect.bottom - rect.top, parent, nullptr, nullptr);
}

void CSaverWnd::ComposeBoard(CDC& dc) {
    GdiCanvas canvas(dc.m_hDC, dc.m_hAttribDC);
    // The timer ticks by itself: the next frame's time is not needed here.
    m_session.Draw(canvas, SaverClock::now());
}

namespace {

Point CursorPos() {
    POINT p = {0, 0};
    GetCursorPos(&p);
    return Point{p.x, p.y};
}

}  // namespace

void CSaverWnd::Feed(SaverInputKind kind) {
    switch (m_session.OnInput(SaverInput{kind, CursorPos()})) {
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
    m_session.Reshape(Size{m_clientRect.right - m_clientRect.left, m_clientRect.bottom - m_clientRect.top});
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
    ComposeBoard(dc);
}

void CSaverWnd::OnDestroy() {
    KillTimer(kFrameTimerId);
    if (m_blackBrush) m_blackBrush.DeleteObject();
    m_session.Free();
    PostQuitMessage(0);
    CWnd::OnDestroy();
}

void CSaverWnd::PostNcDestroy() {
    CWnd::PostNcDestroy();
    delete this;
}
