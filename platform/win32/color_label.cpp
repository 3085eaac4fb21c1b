#include "platform/win32/color_label.h"

CColorLabel::CColorLabel()
    : m_textColor(GetSysColor(COLOR_WINDOWTEXT)), m_hollowBrush(static_cast<HBRUSH>(GetStockObject(NULL_BRUSH))) {}

// The window goes first (the base destructor would destroy it after the
// font), so that the control never draws with a deleted font.
CColorLabel::~CColorLabel() {
    if (m_hWnd) {
        HWND window = m_pfnSuper ? UnsubclassWindow() : Detach();
        ::DestroyWindow(window);
    }
}

BOOL CColorLabel::SetTextColor(COLORREF color) {
    m_textColor = color;
    if (m_hWnd) ::InvalidateRect(m_hWnd, nullptr, TRUE);
    return TRUE;
}

BOOL CColorLabel::SetLogFont(const LOGFONTA& font) {
    CFont replacement;
    if (!replacement.CreateFontIndirect(&font)) return FALSE;
    // The control lets go of the old font before it is deleted.
    if (m_hWnd) SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(replacement.GetSafeHandle()), TRUE);
    m_font = std::move(replacement);
    return TRUE;
}

BOOL CColorLabel::GetLogFont(LOGFONTA& font) {
    if (!m_hWnd) return FALSE;
    HFONT current = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
    if (!current) return FALSE;
    LOGFONTA description = {};
    if (::GetObjectA(current, sizeof description, &description) != sizeof description) return FALSE;
    font = description;
    return TRUE;
}

BOOL CColorLabel::SetBold(bool bold) {
    LOGFONTA font = {};
    if (!GetLogFont(font)) return FALSE;
    font.lfWeight = bold ? FW_BOLD : 0;
    return SetLogFont(font);
}

HBRUSH CColorLabel::CtlColor(HDC dc, UINT) {
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, m_textColor);
    return m_hollowBrush;
}

BOOL CColorLabel::OnEraseBkgnd(HDC dc) {
    ::SetBkMode(dc, TRANSPARENT);
    return static_cast<BOOL>(Default());
}

BOOL CColorLabel::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (message == WM_ERASEBKGND) {
        *result = OnEraseBkgnd(reinterpret_cast<HDC>(wParam));
        return TRUE;
    }
    return CStatic::OnWndMsg(message, wParam, lParam, result);
}

BOOL CColorLabel::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (message != WM_CTLCOLORSTATIC) return CStatic::OnChildNotify(message, wParam, lParam, result);
    *result = reinterpret_cast<LRESULT>(CtlColor(reinterpret_cast<HDC>(wParam), CTLCOLOR_STATIC));
    return TRUE;
}
