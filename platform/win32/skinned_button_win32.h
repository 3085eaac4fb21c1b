#pragma once
// A dialog button turned into a picture button of free shape: faces from
// bitmaps by state, the window cut to a monochrome mask, a mouse-over face,
// its own tooltip, and check-box or radio behaviour for the automatic
// styles. Pressing, releasing and the click notification stay with the
// system's button procedure, which every handler calls as its default.

#include "platform/win32/win32.h"

#include <cstdint>
#include <string>

#include "platform/win32/dialog.h"
#include "platform/win32/gdi.h"

// Posted with both parameters 0 to the other members of a radio group: clear
// your check.
inline constexpr UINT WM_GROUP_UNCHECK = WM_USER + 0x100;

class CSkinnedButton : public CButton {
public:
    CSkinnedButton();
    ~CSkinnedButton() override;

    // Resource ids (0 = none) of the faces and the mask; draw mode 0 one to
    // one, 1 stretched, 2 tiled. With a mask the window is cut to its shape
    // and, in draw mode 0, sized to it. A mask that cannot be loaded leaves
    // the window's shape and size as the template made them.
    void SetImages(UINT normalId, UINT pressedId, UINT overId, UINT disabledId, UINT focusId, UINT maskId,
                   std::int16_t drawMode, std::int16_t border, std::int16_t focusMargin);
    // Returns the previous colour; repaints nothing.
    COLORREF SetCaptionColor(COLORREF color);
    void SetTooltip(const std::string& text);

    virtual void DrawItem(DRAWITEMSTRUCT* item);

    void PreSubclassWindow() override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    // The region made of every pixel of `bitmap` that is not `transparent`,
    // in the bitmap's pixel coordinates; null without a bitmap. The caller
    // owns the region.
    HRGN CreateRegionFromBitmap(HBITMAP bitmap, COLORREF transparent);

    // State, for tests and for the dialog.
    std::uint32_t Kind() const { return m_kind; }
    bool IsMouseOver() const { return m_mouseOver; }
    bool IsLeftDown() const { return m_leftDown; }
    bool IsChecked() const { return m_checked; }
    std::int16_t DrawMode() const { return m_drawMode; }
    std::int16_t FocusMargin() const { return m_focusMargin; }
    int Border() const { return m_border; }
    COLORREF CaptionColor() const { return m_captionColor; }
    HWND TooltipWindow() const { return m_tooltip.m_hWnd; }
    HBITMAP NormalImage() const { return m_normalImage; }
    HBITMAP PressedImage() const { return m_pressedImage; }
    HBITMAP OverImage() const { return m_overImage; }
    HBITMAP DisabledImage() const { return m_disabledImage; }
    HBITMAP FocusImage() const { return m_focusImage; }
    HBITMAP MaskImage() const { return m_maskImage; }

protected:
    BOOL OnEraseBkgnd(HDC dc);
    void OnLButtonDown(UINT keyFlags, POINT point);
    void OnLButtonUp(UINT keyFlags, POINT point);
    void OnMouseMove(UINT keyFlags, POINT point);
    void OnLButtonDblClk(UINT keyFlags, POINT point);
    void OnKillFocus(HWND newFocus);
    void OnKeyDown(UINT key, UINT repeatCount, UINT flags);
    LRESULT OnMouseLeave();
    LRESULT OnGroupUncheck();
    LRESULT OnSetCheck(WPARAM check);
    LRESULT OnGetCheck();

private:
    void DrawImage(HDC dc, HBITMAP bitmap, const RECT& r, int drawMode);
    void TileImage(HDC dc, HBITMAP bitmap, const RECT& r);
    void RelayToTooltip(UINT message, WPARAM wParam, LPARAM lParam);
    // Whether the window under a client point of this button is the button:
    // the region keeps the corners outside the shape from counting.
    bool IsOverSelf(POINT clientPoint);
    bool HasCapture() const { return ::GetCapture() == m_hWnd; }
    void DrawCaption(HDC dc, const std::string& caption, RECT rect);

    bool m_checked = false;
    std::uint32_t m_kind = 0;
    bool m_mouseOver = false;
    bool m_leftDown = false;
    CToolTipCtrl m_tooltip;
    CBitmap m_normalImage;
    CBitmap m_pressedImage;
    CBitmap m_disabledImage;
    CBitmap m_maskImage;
    CBitmap m_overImage;
    CBitmap m_focusImage;
    std::int16_t m_focusMargin = 0;
    COLORREF m_captionColor;
    HRGN m_region = nullptr;  // owned by the window once set
    int m_border = 0;
    std::int16_t m_drawMode = 1;
};
