#include "platform/win32/saver_wnd.h"

#include <cstdlib>

#include "acquire/standings_table.h"
#include "app/startup.h"
#include "display/board.h"

MouseTestReference theMouseTestReference;

CSaverWnd::CSaverWnd(std::string championship)
    : m_layout(m_fontFactory), m_championship(std::move(championship)) {}

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
    return CreateEx(exStyle, className, "", style, rect.left, rect.top, rect.right - rect.left,
                    rect.bottom - rect.top, parent, nullptr, nullptr);
}

void CSaverWnd::ComposeBoard(CDC& dc) {
    GdiCanvas canvas(dc.m_hDC, dc.m_hAttribDC);
    const BoardContent content{theStandings, theStatusText, BoardTitleForChampionship(m_championship)};
    ::ComposeBoard(m_layout, canvas, content);
}

void CSaverWnd::MouseTest() {
    MouseTestReference& ref = theMouseTestReference;
    if (!ref.haveFirstCursorPos) {
        GetCursorPos(&ref.firstCursorPos);
        ref.haveFirstCursorPos = true;
        return;
    }
    POINT p = {0, 0};
    GetCursorPos(&p);
    const long distance = std::labs(p.x - ref.firstCursorPos.x) + std::labs(p.y - ref.firstCursorPos.y);
    if (distance > kMouseMoveTolerance) PostMessage(WM_CLOSE, 0, 0);
}

void CSaverWnd::NudgeCursor() {
    POINT p = {0, 0};
    GetCursorPos(&p);
    p.x += 1;
    p.y += 1;
    SetCursorPos(p.x, p.y);
    POINT q = {0, 0};
    GetCursorPos(&q);
    // Refused on both axes, as in the lower right corner of the screen.
    if (q.x != p.x && q.y != p.y) p.x -= 2;
    p.y -= 2;
    SetCursorPos(p.x, p.y);
}

LRESULT CSaverWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (!m_preview) PostMessage(WM_CLOSE, 0, 0);
        break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        if (!m_preview) {
            NudgeCursor();
            PostMessage(WM_CLOSE, 0, 0);
        }
        break;
    case WM_MOUSEMOVE:
        if (!m_preview) MouseTest();
        break;
    case WM_ACTIVATE:
    case WM_ACTIVATEAPP:
        if (!m_preview && wParam == 0) MouseTest();
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
    SetTimer(kFrameTimerId, kFrameIntervalMs, nullptr);
    m_blackBrush.CreateSolidBrush(RGB(0, 0, 0));
    GetClientRect(&m_clientRect);
    m_layout.bounds = Rect{m_clientRect.left, m_clientRect.top, m_clientRect.right, m_clientRect.bottom};
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
    m_layout.FreeResources();
    theStandings.RemoveAll();
    PostQuitMessage(0);
    CWnd::OnDestroy();
}

void CSaverWnd::PostNcDestroy() {
    CWnd::PostNcDestroy();
    delete this;
}
