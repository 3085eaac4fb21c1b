#include "platform/win32/gdi.h"

CDC::~CDC() {
    if (ownsMemoryDC_ && m_hDC) ::DeleteDC(m_hDC);
}

BOOL CDC::CreateCompatibleDC(HDC reference) {
    if (ownsMemoryDC_ && m_hDC) ::DeleteDC(m_hDC);
    m_hDC = m_hAttribDC = ::CreateCompatibleDC(reference);
    ownsMemoryDC_ = m_hDC != nullptr;
    return m_hDC != nullptr;
}

CClientDC::CClientDC(HWND window) : window_(window) {
    m_hDC = m_hAttribDC = ::GetDC(window);
}

CClientDC::~CClientDC() {
    if (m_hDC) ::ReleaseDC(window_, m_hDC);
    m_hDC = m_hAttribDC = nullptr;
}

CWindowDC::CWindowDC(HWND window) : window_(window) {
    m_hDC = m_hAttribDC = ::GetWindowDC(window);
}

CWindowDC::~CWindowDC() {
    if (m_hDC) ::ReleaseDC(window_, m_hDC);
    m_hDC = m_hAttribDC = nullptr;
}

CPaintDC::CPaintDC(HWND window) : window_(window) {
    m_hDC = m_hAttribDC = ::BeginPaint(window, &m_ps);
}

CPaintDC::~CPaintDC() {
    ::EndPaint(window_, &m_ps);
    m_hDC = m_hAttribDC = nullptr;
}
