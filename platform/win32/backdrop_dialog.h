#pragma once
// A dialog whose client area shows a bitmap picture (centred, tiled or
// stretched) instead of the usual background, realises the picture's
// palette on palette displays, and moves when the user drags its body with
// the left mouse button as if by its caption.

#include "platform/win32/win32.h"

#include "display/dib_image.h"
#include "platform/win32/dialog.h"

class CBackdropDialog : public CDialog {
public:
    CBackdropDialog(UINT templateId, CWnd* parent = nullptr);
    ~CBackdropDialog() override;

    // Placement 0 tiles, 1 stretches, 2 centres the picture; any other
    // placement leaves the default background. False when the bitmap could
    // not be loaded (the default background shows then).
    bool SetBackgroundBitmap(UINT bitmapId, int placement);

    const DibImage& Background() const { return m_background; }
    int Placement() const { return m_placement; }
    int BackgroundMode() const { return m_backgroundMode; }

    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    BOOL OnEraseBkgnd(HDC dc);
    BOOL OnQueryNewPalette();
    void OnPaletteChanged(HWND focusWindow);
    void OnMouseMove(UINT keyFlags, POINT point);

private:
    // The picture's palette as a GDI object, made on first use and kept with
    // the picture (where the canvas finds it too); null when it has none.
    HPALETTE BackgroundPalette();
    // Selects and realises the palette in a client context and selects the
    // previous one back; the number of entries that changed in the system
    // palette.
    UINT RealizeBackgroundPalette(BOOL forceBackground);

    DibImage m_background;
    int m_placement = 0;
    int m_backgroundMode = 0;
};
