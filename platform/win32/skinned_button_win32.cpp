#include "platform/win32/skinned_button_win32.h"

#include <algorithm>
#include <vector>

#include "config/mask_region.h"
#include "config/skinned_button_logic.h"

namespace {

constexpr COLORREF kMaskTransparent = RGB(255, 255, 255);

POINT PointFromLParam(LPARAM lParam) {
    return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

LPARAM LParamFromPoint(POINT point) {
    return MAKELPARAM(static_cast<WORD>(static_cast<short>(point.x)), static_cast<WORD>(static_cast<short>(point.y)));
}

bool BitmapSize(HBITMAP bitmap, int& width, int& height) {
    BITMAP bm = {};
    if (!bitmap || ::GetObjectA(bitmap, sizeof bm, &bm) != sizeof bm) return false;
    width = bm.bmWidth;
    height = bm.bmHeight;
    return true;
}

void LoadImageInto(CBitmap& bitmap, UINT id) {
    if (id != 0) bitmap.LoadBitmap(AfxGetResourceHandle(), static_cast<WORD>(id));
}

}  // namespace

CSkinnedButton::CSkinnedButton() : m_captionColor(GetSysColor(COLOR_BTNTEXT)) {}

CSkinnedButton::~CSkinnedButton() {
    m_normalImage.DeleteObject();
    m_pressedImage.DeleteObject();
    m_overImage.DeleteObject();
    m_disabledImage.DeleteObject();
    m_maskImage.DeleteObject();
    m_focusImage.DeleteObject();
    if (m_tooltip.m_hWnd) m_tooltip.DestroyWindow();
}

void CSkinnedButton::PreSubclassWindow() {
    const DWORD style = static_cast<DWORD>(GetWindowLongA(m_hWnd, GWL_STYLE));
    m_kind = ButtonKindFromStyle(style);
    CButton::PreSubclassWindow();
    SetWindowLongA(m_hWnd, GWL_STYLE, static_cast<LONG>(style | BS_OWNERDRAW));
}

// ---------------------------------------------------------------- configuration

void CSkinnedButton::SetImages(UINT normalId, UINT pressedId, UINT overId, UINT disabledId, UINT focusId,
                               UINT maskId, std::int16_t drawMode, std::int16_t border, std::int16_t focusMargin) {
    m_normalImage.DeleteObject();
    m_pressedImage.DeleteObject();
    m_overImage.DeleteObject();
    m_disabledImage.DeleteObject();
    m_maskImage.DeleteObject();
    m_focusImage.DeleteObject();

    LoadImageInto(m_normalImage, normalId);
    LoadImageInto(m_pressedImage, pressedId);
    LoadImageInto(m_overImage, overId);
    LoadImageInto(m_focusImage, focusId);
    LoadImageInto(m_disabledImage,
                  DisabledImageSource(static_cast<std::uint16_t>(normalId), static_cast<std::uint16_t>(disabledId)));

    const ButtonImageSettings settings = ClampImageSettings(drawMode, border, focusMargin);
    m_drawMode = settings.drawMode;
    m_border = settings.border;
    m_focusMargin = settings.focusMargin;

    if (maskId == 0) return;
    LoadImageInto(m_maskImage, maskId);
    int width = 0;
    int height = 0;
    // Without its mask the button keeps the shape and size the template gave it.
    if (!BitmapSize(m_maskImage, width, height)) return;

    m_region = CreateRegionFromBitmap(m_maskImage, kMaskTransparent);
    if (m_region && m_hWnd) {
        if (!::SetWindowRgn(m_hWnd, m_region, TRUE)) {
            ::DeleteObject(m_region);
            m_region = nullptr;
        }
    }
    if (m_drawMode == 0 && m_hWnd) {
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
    }
}

HRGN CSkinnedButton::CreateRegionFromBitmap(HBITMAP bitmap, COLORREF transparent) {
    int width = 0;
    int height = 0;
    if (!BitmapSize(bitmap, width, height)) return nullptr;

    CDC memory;
    {
        CClientDC windowDC(m_hWnd);
        if (!memory.CreateCompatibleDC(windowDC.GetSafeHdc())) return nullptr;
    }
    std::vector<Rect> rects;
    {
        ScopedSelect selected(memory, bitmap);
        rects = RegionRectsFromPixels(
            width, height, [&](int x, int y) { return static_cast<ColorRef>(::GetPixel(memory, x, y)); },
            transparent);
    }

    CRgn region;
    if (!region.CreateRectRgn(0, 0, 0, 0)) return nullptr;
    for (const Rect& r : rects) {
        CRgn piece;
        if (!piece.CreateRectRgn(r.left, r.top, r.right, r.bottom)) return nullptr;
        region.CombineRgn(region, piece, RGN_OR);
    }
    return region.Detach();
}

COLORREF CSkinnedButton::SetCaptionColor(COLORREF color) {
    const COLORREF previous = m_captionColor;
    m_captionColor = color;
    return previous;
}

void CSkinnedButton::SetTooltip(const std::string& text) {
    if (!m_tooltip.m_hWnd) {
        if (m_tooltip.Create(this, 0) && m_tooltip.AddTool(this, text.c_str())) m_tooltip.Activate(TRUE);
    } else {
        m_tooltip.UpdateTipText(text.c_str(), this);
    }
}

void CSkinnedButton::RelayToTooltip(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!m_tooltip.m_hWnd) return;
    MSG msg = {};
    msg.hwnd = m_hWnd;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = 0;
    msg.pt = PointFromLParam(lParam);
    m_tooltip.RelayEvent(&msg);
}

// ---------------------------------------------------------------- painting

void CSkinnedButton::DrawCaption(HDC dc, const std::string& caption, RECT rect) {
    ::DrawTextA(dc, caption.c_str(), static_cast<int>(caption.size()), &rect, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
}

void CSkinnedButton::DrawItem(DRAWITEMSTRUCT* item) {
    if (!item) return;

    // The system button decides "pushed" by its rectangle; the window
    // region decides what the user sees as the button. Bring the state in
    // line first: the state change asks for the next paint.
    if (m_leftDown && HasCapture()) {
        POINT cursor;
        if (::GetCursorPos(&cursor)) {
            const bool under = ::WindowFromPoint(cursor) == m_hWnd;
            const bool pushed = (GetState() & BST_PUSHED) != 0;
            if (under && !pushed) {
                SetState(TRUE);
                return;
            }
            if (!under && pushed) {
                SetState(FALSE);
                return;
            }
        }
    }

    HDC dc = item->hDC;
    const RECT r = item->rcItem;
    const UINT s = item->itemState;

    char buffer[512] = {};
    const int length = ::GetWindowTextA(m_hWnd, buffer, sizeof buffer);
    const std::string caption(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
    const ButtonFaceState state{(s & ODS_DISABLED) != 0, (s & ODS_SELECTED) != 0 || m_checked, m_mouseOver,
                                (s & ODS_FOCUS) != 0};
    const ButtonImagesPresent present{m_normalImage.GetSafeHandle() != nullptr, m_pressedImage.GetSafeHandle() != nullptr,
                                      m_overImage.GetSafeHandle() != nullptr, m_focusImage.GetSafeHandle() != nullptr,
                                      m_disabledImage.GetSafeHandle() != nullptr};
    const Rect captionRect = CaptionRect(Rect{r.left, r.top, r.right, r.bottom}, m_focusMargin,
                                          !state.disabled && state.selected);
    RECT t = {captionRect.left, captionRect.top, captionRect.right, captionRect.bottom};
    ::SetBkMode(dc, TRANSPARENT);

    // In the order of ButtonFace; the plain face has no picture.
    const HBITMAP faces[] = {nullptr, m_normalImage, m_pressedImage, m_overImage, m_focusImage, m_disabledImage};
    const HBITMAP face = faces[static_cast<int>(SelectButtonFace(state, present))];
    if (face) {
        DrawImage(dc, face, r, m_drawMode);
    } else {
        ::FillRect(dc, &r, ::GetSysColorBrush(COLOR_BTNFACE));
    }
    if (m_border) {
        RECT edge = r;
        ::DrawEdge(dc, &edge, !state.disabled && state.selected ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    }
    if (state.disabled) {
        ::SetTextColor(dc, ::GetSysColor(COLOR_BTNHIGHLIGHT));
        DrawCaption(dc, caption, t);
        ::OffsetRect(&t, -1, -1);
        ::SetTextColor(dc, ::GetSysColor(COLOR_GRAYTEXT));
        DrawCaption(dc, caption, t);
        return;
    }

    if ((s & ODS_FOCUS) && m_focusMargin > 0) {
        RECT focus = r;
        ::InflateRect(&focus, -m_focusMargin, -m_focusMargin);
        ::DrawFocusRect(dc, &focus);
    }
    ::SetTextColor(dc, m_captionColor);
    DrawCaption(dc, caption, t);
}

void CSkinnedButton::DrawImage(HDC dc, HBITMAP bitmap, const RECT& r, int drawMode) {
    if (drawMode == 2) {
        TileImage(dc, bitmap, r);
        return;
    }
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    int faceWidth = 0;
    int faceHeight = 0;
    if (w <= 0 || h <= 0 || !BitmapSize(bitmap, faceWidth, faceHeight)) return;

    CDC source;
    if (!source.CreateCompatibleDC(dc)) return;

    if (!m_maskImage) {
        ScopedSelect face(source, bitmap);
        if (drawMode == 0) {
            ::BitBlt(dc, r.left, r.top, w, h, source, 0, 0, SRCCOPY);
        } else {
            ::StretchBlt(dc, r.left, r.top, w, h, source, 0, 0, faceWidth, faceHeight, SRCCOPY);
        }
        return;
    }

    // Composed off screen and copied in one operation, so that the face
    // never flickers through the background.
    CDC composed;
    if (!composed.CreateCompatibleDC(dc)) return;
    CBitmap buffer;
    if (!buffer.CreateCompatibleBitmap(dc, w, h)) return;
    ScopedSelect target(composed, buffer);
    ::BitBlt(composed, r.left, r.top, w, h, dc, 0, 0, SRCCOPY);

    // ((background ^ face) & mask) ^ face: the face where the mask is black,
    // the background where it is white.
    auto apply = [&](HBITMAP image, DWORD rop) {
        ScopedSelect selected(source, image);
        if (drawMode == 0) {
            ::BitBlt(composed, r.left, r.top, w, h, source, 0, 0, rop);
        } else {
            ::StretchBlt(composed, r.left, r.top, w, h, source, 0, 0, faceWidth, faceHeight, rop);
        }
    };
    apply(bitmap, SRCINVERT);
    apply(m_maskImage, SRCAND);
    apply(bitmap, SRCINVERT);

    ::BitBlt(dc, r.left, r.top, w, h, composed, 0, 0, SRCCOPY);
}

void CSkinnedButton::TileImage(HDC dc, HBITMAP bitmap, const RECT& r) {
    int tileWidth = 0;
    int tileHeight = 0;
    if (!BitmapSize(bitmap, tileWidth, tileHeight) || tileWidth <= 0 || tileHeight <= 0) return;
    CDC source;
    if (!source.CreateCompatibleDC(dc)) return;
    ScopedSelect selected(source, bitmap);
    for (int y = r.top; y < r.bottom; y += tileHeight) {
        const int h = std::min(tileHeight, static_cast<int>(r.bottom - y));
        for (int x = r.left; x < r.right; x += tileWidth) {
            const int w = std::min(tileWidth, static_cast<int>(r.right - x));
            ::BitBlt(dc, x, y, w, h, source, 0, 0, SRCCOPY);
        }
    }
}

// ---------------------------------------------------------------- input

bool CSkinnedButton::IsOverSelf(POINT clientPoint) {
    POINT screen = clientPoint;
    ::ClientToScreen(m_hWnd, &screen);
    return ::WindowFromPoint(screen) == m_hWnd;
}

BOOL CSkinnedButton::OnEraseBkgnd(HDC) { return TRUE; }

void CSkinnedButton::OnLButtonDown(UINT keyFlags, POINT point) {
    RelayToTooltip(WM_LBUTTONDOWN, keyFlags, LParamFromPoint(point));
    if (m_mouseOver) {
        TRACKMOUSEEVENT track = {};
        track.cbSize = sizeof track;
        track.dwFlags = TME_CANCEL | TME_LEAVE;
        track.hwndTrack = m_hWnd;
        track.dwHoverTime = 0;
        if (::TrackMouseEvent(&track)) m_mouseOver = false;
    }
    Default();
    m_leftDown = true;
}

void CSkinnedButton::OnLButtonUp(UINT keyFlags, POINT point) {
    if (m_kind != kBsPushButton && IsOverSelf(point)) {
        if (m_kind == kBsCheckBox) {
            SendMessage(BM_SETCHECK, m_checked ? BST_UNCHECKED : BST_CHECKED);
        } else {
            SendMessage(BM_SETCHECK, BST_CHECKED);
        }
    }
    RelayToTooltip(WM_LBUTTONUP, keyFlags, LParamFromPoint(point));
    m_leftDown = false;
    Default();
}

void CSkinnedButton::OnMouseMove(UINT keyFlags, POINT point) {
    RelayToTooltip(WM_MOUSEMOVE, keyFlags, LParamFromPoint(point));
    if (m_leftDown && HasCapture()) {
        const bool inside = IsOverSelf(point);
        const bool pushed = (GetState() & BST_PUSHED) != 0;
        if (inside != pushed) {
            SetState(inside ? TRUE : FALSE);
            Invalidate(TRUE);
        }
    } else if (!m_mouseOver) {
        TRACKMOUSEEVENT track = {};
        track.cbSize = sizeof track;
        track.dwFlags = TME_LEAVE;
        track.hwndTrack = m_hWnd;
        track.dwHoverTime = 0;
        if (::TrackMouseEvent(&track)) {
            m_mouseOver = true;
            Invalidate(TRUE);
        }
    }
    Default();
}

void CSkinnedButton::OnLButtonDblClk(UINT keyFlags, POINT point) {
    SendMessage(WM_LBUTTONDOWN, keyFlags, LParamFromPoint(point));
}

void CSkinnedButton::OnKillFocus(HWND) {
    if (HasCapture()) {
        ::ReleaseCapture();
        m_leftDown = false;
    }
    Default();
}

void CSkinnedButton::OnKeyDown(UINT key, UINT, UINT) {
    if (m_kind != kBsPushButton && key == VK_SPACE) {
        if (m_kind == kBsCheckBox) {
            SendMessage(BM_SETCHECK, m_checked ? BST_UNCHECKED : BST_CHECKED);
        } else {
            SendMessage(BM_SETCHECK, BST_CHECKED);
        }
    }
    Default();
}

LRESULT CSkinnedButton::OnMouseLeave() {
    m_mouseOver = false;
    Invalidate(TRUE);
    return 0;
}

LRESULT CSkinnedButton::OnGroupUncheck() {
    if (m_checked) {
        m_checked = false;
        Invalidate(TRUE);
    }
    return 0;
}

LRESULT CSkinnedButton::OnSetCheck(WPARAM check) {
    m_checked = check != 0;
    if (m_kind == kBsPushButton) m_checked = false;
    if (m_kind == kBsRadioButton && m_checked) {
        HWND parent = ::GetParent(m_hWnd);
        // The group walk comes back to this button; the bound stops it for a
        // button the walk skips (hidden or disabled ones are not members).
        HWND current = m_hWnd;
        for (int steps = 0; parent && steps < 4096; ++steps) {
            HWND next = ::GetNextDlgGroupItem(parent, current, FALSE);
            if (!next || next == m_hWnd || next == current) break;
            ::PostMessageA(next, WM_GROUP_UNCHECK, 0, 0);
            current = next;
        }
    }
    Invalidate(TRUE);
    return 0;
}

LRESULT CSkinnedButton::OnGetCheck() { return m_checked ? 1 : 0; }

BOOL CSkinnedButton::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    switch (message) {
    case WM_ERASEBKGND:
        *result = OnEraseBkgnd(reinterpret_cast<HDC>(wParam));
        return TRUE;
    case WM_LBUTTONDOWN:
        OnLButtonDown(static_cast<UINT>(wParam), PointFromLParam(lParam));
        *result = 0;
        return TRUE;
    case WM_LBUTTONUP:
        OnLButtonUp(static_cast<UINT>(wParam), PointFromLParam(lParam));
        *result = 0;
        return TRUE;
    case WM_MOUSEMOVE:
        OnMouseMove(static_cast<UINT>(wParam), PointFromLParam(lParam));
        *result = 0;
        return TRUE;
    case WM_LBUTTONDBLCLK:
        OnLButtonDblClk(static_cast<UINT>(wParam), PointFromLParam(lParam));
        *result = 0;
        return TRUE;
    case WM_KILLFOCUS:
        OnKillFocus(reinterpret_cast<HWND>(wParam));
        *result = 0;
        return TRUE;
    case WM_KEYDOWN:
        OnKeyDown(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
        *result = 0;
        return TRUE;
    case WM_MOUSELEAVE:
        *result = OnMouseLeave();
        return TRUE;
    case WM_GROUP_UNCHECK:
        *result = OnGroupUncheck();
        return TRUE;
    case BM_SETCHECK:
        *result = OnSetCheck(wParam);
        return TRUE;
    case BM_GETCHECK:
        *result = OnGetCheck();
        return TRUE;
    default:
        return CButton::OnWndMsg(message, wParam, lParam, result);
    }
}

BOOL CSkinnedButton::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (message != WM_DRAWITEM) return CButton::OnChildNotify(message, wParam, lParam, result);
    DrawItem(reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
    *result = TRUE;
    return TRUE;
}
