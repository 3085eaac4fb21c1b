#include "tests/windows/dialog/dialog_harness.h"

#include "platform/win32/gdi_canvas.h"

namespace {

// The dialogs load their pictures from this executable's resources.
Win32ResourceStore theTestResources;
const bool theStoreInstalled = (SetResourceStore(&theTestResources), true);

}  // namespace

void PumpMessages(DWORD ms) {
    const DWORD end = GetTickCount() + ms;
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (ms) Sleep(10);
    } while (static_cast<LONG>(end - GetTickCount()) > 0);
}

MemoryCanvas::MemoryCanvas(int width, int height, COLORREF fill) {
    CClientDC screen(nullptr);
    dc_.CreateCompatibleDC(screen);
    bitmap_.CreateCompatibleBitmap(screen, width, height);
    previous_ = ::SelectObject(dc_, bitmap_);
    CBrush brush;
    brush.CreateSolidBrush(fill);
    RECT all = {0, 0, width, height};
    ::FillRect(dc_, &all, brush);
}

MemoryCanvas::~MemoryCanvas() {
    if (previous_) ::SelectObject(dc_, previous_);
}

COLORREF BitmapPixel(HBITMAP bitmap, int x, int y) {
    CClientDC screen(nullptr);
    CDC dc;
    dc.CreateCompatibleDC(screen);
    ScopedSelect selected(dc, bitmap);
    return ::GetPixel(dc, x, y);
}
