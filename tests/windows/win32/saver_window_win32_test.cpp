// The saver window on a real (Xvfb) screen: creation in both modes, the input
// table message by message, the mouse test, the cursor nudge, painting, and
// what its destruction leaves behind.

#include "platform/win32/saver_window_win32.h"

#include <gtest/gtest.h>

#include <vector>

#include "acquire/standings_table.h"

namespace {

class TestSaverWnd : public CSaverWnd {
public:
    struct Record {
        bool deleted = false;
        std::size_t fontsAtDeletion = 99;
    };
    explicit TestSaverWnd(Record& record) : CSaverWnd("ger"), record_(record) {}
    ~TestSaverWnd() override {
        record_.deleted = true;
        record_.fontsAtDeletion = Layout().FontCacheSize();
    }

private:
    Record& record_;
};

void FillStandings(int rows) {
    theStandings.RemoveAll();
    for (int r = 0; r < rows; ++r) {
        StandingsRow row;
        row[2] = r == 0 ? "Club" : "Team " + std::to_string(r);
        for (int c = 3; c <= 10; ++c) row[c] = std::to_string(r + c);
        theStandings.Add(row);
    }
}

// Removes the close requests posted to the window and counts them.
int TakeCloseRequests(HWND window) {
    int n = 0;
    MSG msg;
    while (PeekMessageA(&msg, window, WM_CLOSE, WM_CLOSE, PM_REMOVE)) ++n;
    return n;
}

// Runs the message loop for a while; a close request is counted, not acted on.
int Pump(DWORD milliseconds) {
    int closes = 0;
    const DWORD end = GetTickCount() + milliseconds;
    while (static_cast<LONG>(end - GetTickCount()) > 0) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_CLOSE) {
                ++closes;
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return closes;
}

bool TakeQuit(WPARAM& code) {
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) return false;
    code = msg.wParam;
    return true;
}

POINT Cursor() {
    POINT p = {0, 0};
    GetCursorPos(&p);
    return p;
}

HWND CreateHost() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = "SaverTestHost";
    RegisterClassA(&wc);
    return CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP | WS_VISIBLE, 100, 100, 152, 112, nullptr, nullptr,
                           wc.hInstance, nullptr);
}

// Non-black pixels of the window's client area, read back through GDI.
int DrawnPixels(HWND window, int width, int height) {
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    CBitmap copy(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    CDC memory;
    memory.CreateCompatibleDC(nullptr);
    ScopedSelect select(memory, copy);
    CClientDC dc(window);
    memory.BitBlt(0, 0, width, height, dc, 0, 0, SRCCOPY);
    GdiFlush();
    int n = 0;
    const auto* p = static_cast<const std::uint32_t*>(bits);
    for (int i = 0; i < width * height; ++i) n += (p[i] & 0xFFFFFF) != 0;
    return n;
}

TEST(SaverWnd, PreviewFillsItsParentDrawsAndIgnoresInput) {
    FillStandings(21);
    HWND host = CreateHost();
    ASSERT_NE(host, nullptr);
    TestSaverWnd::Record record;
    auto* wnd = new TestSaverWnd(record);
    ASSERT_TRUE(wnd->Create(host));
    HWND child = wnd->m_hWnd;
    EXPECT_TRUE(wnd->IsPreview());
    EXPECT_EQ(GetParent(child), host);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(child, GWL_STYLE)) & 0xFFFF0000u,
              static_cast<DWORD>(WS_CHILD | WS_VISIBLE));
    EXPECT_EQ(GetWindowLongA(child, GWL_EXSTYLE), 0);
    RECT r;
    GetWindowRect(child, &r);
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.top, 100);
    EXPECT_EQ(r.right - r.left, 152);
    EXPECT_EQ(r.bottom - r.top, 112);
    EXPECT_EQ(wnd->Layout().bounds, (Rect{0, 0, 152, 112}));

    // A second and a half of ticks: the table's first cells stand inside
    // the small stage. Never more than 50 frames a second; on a busy
    // machine Wine's timer may well give fewer.
    const std::uint64_t framesBefore = wnd->Session().FramesPlayed();
    const DWORD start = GetTickCount();
    EXPECT_EQ(Pump(1500), 0);
    const double seconds = (GetTickCount() - start) / 1000.0;
    EXPECT_LE(static_cast<double>(wnd->Session().FramesPlayed() - framesBefore), seconds * 50 + 2);
    EXPECT_GT(DrawnPixels(child, 152, 112), 20);
    EXPECT_GT(wnd->Layout().BoxCount(), 3u);

    // Nothing a user does closes a preview, the cursor stays where it is and
    // is not hidden, and deactivation is not refused.
    HCURSOR arrow = LoadCursor(nullptr, IDC_ARROW);
    SetCursor(arrow);
    SetCursorPos(50, 50);
    SendMessageA(child, WM_KEYDOWN, 'A', 0x001E0001);
    SendMessageA(child, WM_SYSKEYDOWN, 'X', 0x002D0001);
    SendMessageA(child, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    SendMessageA(child, WM_RBUTTONDOWN, MK_RBUTTON, 0);
    SendMessageA(child, WM_MBUTTONDOWN, MK_MBUTTON, 0);
    SendMessageA(child, WM_MOUSEMOVE, 0, 0);
    SetCursorPos(500, 500);
    SendMessageA(child, WM_MOUSEMOVE, 0, 0);
    SendMessageA(child, WM_ACTIVATEAPP, 0, 0);
    EXPECT_EQ(Cursor().x, 500);
    EXPECT_EQ(Cursor().y, 500);
    EXPECT_NE(SendMessageA(child, WM_NCACTIVATE, 0, 0), 0);
    SendMessageA(child, WM_SETCURSOR, reinterpret_cast<WPARAM>(child), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor(), arrow);
    EXPECT_EQ(SendMessageA(child, WM_SYSCOMMAND, SC_SCREENSAVE, 0), 0);
    EXPECT_EQ(TakeCloseRequests(child), 0);
    EXPECT_FALSE(wnd->Session().MouseReference());
    EXPECT_TRUE(IsWindow(child));

    // The parent ends the preview.
    DestroyWindow(host);
    EXPECT_FALSE(IsWindow(child));
    EXPECT_TRUE(record.deleted);
    EXPECT_EQ(record.fontsAtDeletion, 0u);
    EXPECT_EQ(theStandings.GetSize(), 0);
    WPARAM code = 99;
    EXPECT_TRUE(TakeQuit(code));
    EXPECT_EQ(code, 0u);
}

TEST(SaverWnd, PaintPlaysOneFrame) {
    FillStandings(3);
    HWND host = CreateHost();
    TestSaverWnd::Record record;
    auto* wnd = new TestSaverWnd(record);
    ASSERT_TRUE(wnd->Create(host));
    // The window's first paint built the first scene: no box has moved yet.
    UpdateWindow(wnd->m_hWnd);
    ASSERT_GT(wnd->Layout().BoxCount(), 3u);
    const std::int32_t steps = wnd->Layout().Boxes().front().steps;
    InvalidateRect(wnd->m_hWnd, nullptr, TRUE);
    UpdateWindow(wnd->m_hWnd);
    EXPECT_EQ(wnd->Layout().Boxes().front().steps, steps - 1);
    InvalidateRect(wnd->m_hWnd, nullptr, TRUE);
    UpdateWindow(wnd->m_hWnd);
    EXPECT_EQ(wnd->Layout().Boxes().front().steps, steps - 2);
    DestroyWindow(host);
    EXPECT_TRUE(record.deleted);
    WPARAM code;
    TakeQuit(code);
}

TEST(SaverWnd, ParentThatIsNoWindowCreatesNothing) {
    TestSaverWnd::Record record;
    auto* wnd = new TestSaverWnd(record);
    EXPECT_FALSE(wnd->Create(reinterpret_cast<HWND>(static_cast<ULONG_PTR>(12345))));
    EXPECT_EQ(wnd->m_hWnd, nullptr);
    EXPECT_FALSE(record.deleted);
    delete wnd;
    EXPECT_TRUE(record.deleted);
}

TEST(SaverWnd, FullScreenClosesOnKeysButtonsAndMouseMovesOnly) {
    FillStandings(2);
    // Wherever a message the window gets on its way up records the mouse
    // test's reference, it is here.
    SetCursorPos(200, 200);
    TestSaverWnd::Record record;
    auto* wnd = new TestSaverWnd(record);
    ASSERT_TRUE(wnd->Create(nullptr));
    HWND w = wnd->m_hWnd;
    EXPECT_FALSE(wnd->IsPreview());
    RECT r;
    GetWindowRect(w, &r);
    const RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    EXPECT_TRUE(EqualRect(&r, &screen));
    EXPECT_EQ(r.right, 1024);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(w, GWL_STYLE)) & 0xD0000000u, 0x90000000u);
    EXPECT_TRUE(GetWindowLongA(w, GWL_EXSTYLE) & WS_EX_TOPMOST);
    Pump(300);
    TakeCloseRequests(w);

    // Keys, Alt+F4 included.
    EXPECT_EQ(SendMessageA(w, WM_KEYDOWN, 'A', 0x001E0001), 0);
    EXPECT_EQ(TakeCloseRequests(w), 1);
    SendMessageA(w, WM_SYSKEYDOWN, VK_F4, 0x203E0001);
    EXPECT_EQ(TakeCloseRequests(w), 1);

    // The system's own requests are swallowed; the window stays.
    EXPECT_EQ(SendMessageA(w, WM_SYSCOMMAND, SC_SCREENSAVE, 0), 0);
    EXPECT_EQ(SendMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0), 0);
    EXPECT_EQ(TakeCloseRequests(w), 0);
    EXPECT_TRUE(IsWindow(w));

    // Deactivation of the caption is refused; activation passes.
    EXPECT_EQ(SendMessageA(w, WM_NCACTIVATE, 0, 0), 0);
    EXPECT_NE(SendMessageA(w, WM_NCACTIVATE, 1, 0), 0);

    // The cursor is hidden over the window.
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
    SendMessageA(w, WM_SETCURSOR, reinterpret_cast<WPARAM>(w), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor(), nullptr);

    // The background is erased black over the whole client area.
    {
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bi.bmiHeader.biWidth = 1100;
        bi.bmiHeader.biHeight = -800;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        CBitmap surface(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
        CDC dc;
        dc.CreateCompatibleDC(nullptr);
        ScopedSelect select(dc, surface);
        RECT all = {0, 0, 1100, 800};
        dc.FillRect(&all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        SendMessageA(w, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
        GdiFlush();
        const auto* p = static_cast<const std::uint32_t*>(bits);
        int black = 0, white = 0;
        for (int i = 0; i < 1100 * 800; ++i) {
            black += (p[i] & 0xFFFFFF) == 0;
            white += (p[i] & 0xFFFFFF) == 0xFFFFFF;
        }
        EXPECT_EQ(black, 1024 * 768);
        EXPECT_EQ(white, 1100 * 800 - 1024 * 768);
    }

    // The mouse test: the first message only records the cursor, and a
    // deactivation counts as such a message.
    SetCursorPos(200, 200);
    SendMessageA(w, WM_ACTIVATEAPP, 0, 0);
    EXPECT_EQ(TakeCloseRequests(w), 0);
    EXPECT_EQ(wnd->Session().MouseReference(), (Point{200, 200}));
    SendMessageA(w, WM_MOUSEMOVE, 0, 0);
    EXPECT_EQ(TakeCloseRequests(w), 0);
    SetCursorPos(203, 202);  // distance 5: stays open
    SendMessageA(w, WM_MOUSEMOVE, 0, 0);
    EXPECT_EQ(TakeCloseRequests(w), 0);
    SetCursorPos(197, 198);  // 3 left and 2 up: also 5
    SendMessageA(w, WM_MOUSEMOVE, 0, 0);
    EXPECT_EQ(TakeCloseRequests(w), 0);
    SetCursorPos(204, 202);  // 6
    SendMessageA(w, WM_MOUSEMOVE, 0, 0);
    EXPECT_EQ(TakeCloseRequests(w), 1);
    // The reference point is never moved.
    SetCursorPos(200, 200);
    SendMessageA(w, WM_MOUSEMOVE, 0, 0);
    EXPECT_EQ(TakeCloseRequests(w), 0);
    EXPECT_EQ(wnd->Session().MouseReference(), (Point{200, 200}));
    // Being deactivated tests the cursor like a move; being activated does not.
    SetCursorPos(210, 200);
    SendMessageA(w, WM_ACTIVATEAPP, 1, 0);
    SendMessageA(w, WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(TakeCloseRequests(w), 0);
    SendMessageA(w, WM_ACTIVATEAPP, 0, 0);
    EXPECT_EQ(TakeCloseRequests(w), 1);
    SendMessageA(w, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_EQ(TakeCloseRequests(w), 1);

    // A click nudges the cursor 1 right and 1 up, then closes.
    SetCursorPos(300, 300);
    SendMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    EXPECT_EQ(Cursor().x, 301);
    EXPECT_EQ(Cursor().y, 299);
    EXPECT_EQ(TakeCloseRequests(w), 1);
    // In the lower right corner the move is refused on both axes: it ends
    // 1 left and 1 up instead.
    SetCursorPos(1023, 767);
    SendMessageA(w, WM_RBUTTONDOWN, MK_RBUTTON, 0);
    EXPECT_EQ(Cursor().x, 1022);
    EXPECT_EQ(Cursor().y, 766);
    EXPECT_EQ(TakeCloseRequests(w), 1);
    SetCursorPos(10, 10);
    SendMessageA(w, WM_MBUTTONDOWN, MK_MBUTTON, 0);
    EXPECT_EQ(Cursor().x, 11);
    EXPECT_EQ(Cursor().y, 9);
    EXPECT_EQ(TakeCloseRequests(w), 1);

    // A close request does what the base does: destroys the window, which
    // empties the table, ends the loop and deletes the object.
    SendMessageA(w, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(w));
    EXPECT_TRUE(record.deleted);
    EXPECT_EQ(record.fontsAtDeletion, 0u);
    EXPECT_EQ(theStandings.GetSize(), 0);
    WPARAM code = 99;
    EXPECT_TRUE(TakeQuit(code));
    EXPECT_EQ(code, 0u);
}

}  // namespace

namespace {

TEST(SaverWnd, EachMonitorPlaysABoardOfItsOwnAndTheFirstHearsTheInput) {
    FillStandings(21);
    TestSaverWnd::Record record;
    auto* wnd = new TestSaverWnd(record);
    // Two monitors with a strip between them, the primary on the right.
    const std::vector<RECT> monitors = {{524, 0, 1024, 768}, {0, 0, 500, 768}};
    ASSERT_TRUE(wnd->CreateOnMonitors(monitors));
    HWND w = wnd->m_hWnd;
    RECT r;
    GetWindowRect(w, &r);
    EXPECT_EQ((std::vector<LONG>{r.left, r.top, r.right, r.bottom}), (std::vector<LONG>{0, 0, 1024, 768}));
    EXPECT_EQ(wnd->BoardCount(), 2u);
    Pump(1500);
    TakeCloseRequests(w);
    EXPECT_GT(wnd->Session().FramesPlayed(), 20u);

    // What the window shows: something on the visible monitor, and the
    // strip between the monitors black.
    HDC screen = GetDC(w);
    int drawn = 0, strip = 0;
    for (int y = 0; y < 768; y += 4) {
        for (int x = 0; x < 500; x += 4) drawn += GetPixel(screen, x, y) != RGB(0, 0, 0) ? 1 : 0;
        for (int x = 500; x < 524; ++x) strip += GetPixel(screen, x, y) != RGB(0, 0, 0) ? 1 : 0;
    }
    ReleaseDC(w, screen);
    EXPECT_GT(drawn, 50) << "nothing on the second monitor";
    EXPECT_EQ(strip, 0);

    // One key on the window ends every board.
    SendMessageA(w, WM_KEYDOWN, 'A', 0x001E0001);
    EXPECT_EQ(TakeCloseRequests(w), 1);
    DestroyWindow(w);
    EXPECT_TRUE(record.deleted);
    WPARAM code;
    TakeQuit(code);

    // A monitor left of the primary one: the window starts at a negative x.
    TestSaverWnd::Record left;
    auto* wide = new TestSaverWnd(left);
    ASSERT_TRUE(wide->CreateOnMonitors({{0, 0, 640, 480}, {-800, -120, 0, 480}}));
    GetWindowRect(wide->m_hWnd, &r);
    EXPECT_EQ((std::vector<LONG>{r.left, r.top, r.right, r.bottom}), (std::vector<LONG>{-800, -120, 640, 480}));
    DestroyWindow(wide->m_hWnd);
    TakeQuit(code);
}

}  // namespace
