#include "platform/win32/backdrop_dialog.h"

#include <memory>

#include "config/backdrop_layout.h"
#include "platform/win32/gdi.h"
#include "platform/win32/gdi_canvas.h"

CBackdropDialog::CBackdropDialog(UINT templateId, CWnd* parent) : CDialog(templateId, parent) {}

CBackdropDialog::~CBackdropDialog() = default;

bool CBackdropDialog::SetBackgroundBitmap(UINT bitmapId, int placement) {
    m_placement = placement;
    m_backgroundMode = 2;
    const bool loaded = m_background.LoadFromResource(static_cast<std::uint16_t>(bitmapId));
    if (m_hWnd) ::InvalidateRect(m_hWnd, nullptr, TRUE);
    return loaded;
}

void CBackdropDialog::DoDataExchange(CDataExchange*) {}

BOOL CBackdropDialog::OnEraseBkgnd(HDC dc) {
    if (m_backgroundMode == 0 || !m_background.HasBits()) return static_cast<BOOL>(Default());
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    const Size clientSize{client.right - client.left, client.bottom - client.top};
    const Size pictureSize{m_background.GetWidth(), m_background.GetHeight()};

    switch (m_placement) {
    case kPlacementCentre: {
        Default();
        GdiCanvas canvas(dc);
        const Point at = CentredPicturePosition(clientSize, pictureSize);
        m_background.PaintAt(canvas, at.x, at.y);
        return TRUE;
    }
    case kPlacementTile: {
        GdiCanvas canvas(dc);
        for (const Point& at : TilePositions(clientSize, pictureSize)) m_background.PaintAt(canvas, at.x, at.y);
        return TRUE;
    }
    case kPlacementStretch: {
        GdiCanvas canvas(dc);
        m_background.PaintStretched(canvas, 0, 0, clientSize.cx, clientSize.cy);
        return TRUE;
    }
    default:
        return static_cast<BOOL>(Default());
    }
}

HPALETTE CBackdropDialog::BackgroundPalette() { return ImagePalette(m_background); }

UINT CBackdropDialog::RealizeBackgroundPalette(BOOL forceBackground) {
    HPALETTE palette = BackgroundPalette();
    if (!palette) return 0;
    CClientDC dc(m_hWnd);
    if (!dc.GetSafeHdc()) return 0;
    HPALETTE previous = dc.SelectPalette(palette, forceBackground);
    const UINT mapped = dc.RealizePalette();
    dc.SelectPalette(previous, TRUE);
    return mapped == GDI_ERROR ? 0 : mapped;
}

BOOL CBackdropDialog::OnQueryNewPalette() {
    if (!m_background.HasPalette() || !IsWindow()) return static_cast<BOOL>(Default());
    if (RealizeBackgroundPalette(FALSE) == 0) return FALSE;
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
    return TRUE;
}

void CBackdropDialog::OnPaletteChanged(HWND focusWindow) {
    if (!m_background.HasPalette() || !IsWindow() || focusWindow == m_hWnd || ::IsChild(m_hWnd, focusWindow)) {
        Default();
        return;
    }
    if (RealizeBackgroundPalette(TRUE) != 0) ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CBackdropDialog::OnMouseMove(UINT keyFlags, POINT) {
    if (StartsBackdropDrag(keyFlags)) {
        ::ReleaseCapture();
        // The system moves the window with the mouse as if its caption had
        // been grabbed, until the button is released.
        SendMessage(WM_NCLBUTTONDOWN, HTCAPTION, 0);
    }
    Default();
}

BOOL CBackdropDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    switch (message) {
    case WM_ERASEBKGND:
        *result = OnEraseBkgnd(reinterpret_cast<HDC>(wParam));
        return TRUE;
    case WM_QUERYNEWPALETTE:
        *result = OnQueryNewPalette();
        return TRUE;
    case WM_PALETTECHANGED:
        OnPaletteChanged(reinterpret_cast<HWND>(wParam));
        *result = 0;
        return TRUE;
    case WM_MOUSEMOVE:
        OnMouseMove(static_cast<UINT>(wParam), POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        *result = 0;
        return TRUE;
    default:
        return CDialog::OnWndMsg(message, wParam, lParam, result);
    }
}
