// Windows bound to objects: creation, dispatch, default processing,
// subclassing of system classes, reflection and the end of a window's life.

#include "platform/win32/framework.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class RecordingWnd : public CWnd {
public:
    std::vector<UINT> seen;
    HWND handleAtCreate = nullptr;
    CWnd* mappedAtCreate = nullptr;
    int createResult = 0;
    int* postNcDestroyCalls = nullptr;
    std::vector<std::string>* reflected = nullptr;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        seen.push_back(message);
        return CWnd::WindowProc(message, wParam, lParam);
    }
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
        if (message == WM_CREATE) {
            *result = OnCreate(reinterpret_cast<LPCREATESTRUCTA>(lParam));
            return TRUE;
        }
        return CWnd::OnWndMsg(message, wParam, lParam, result);
    }
    int OnCreate(LPCREATESTRUCTA cs) override {
        handleAtCreate = m_hWnd;
        mappedAtCreate = FromHandlePermanent(m_hWnd);
        if (CWnd::OnCreate(cs) == -1) return -1;
        return createResult;
    }
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM, LRESULT* result) override {
        if (!reflected || message != WM_COMMAND) return FALSE;
        reflected->push_back("command " + std::to_string(HIWORD(wParam)));
        *result = 0;
        return TRUE;
    }
    void PostNcDestroy() override {
        if (postNcDestroyCalls) ++*postNcDestroyCalls;
    }
    bool Saw(UINT message) const {
        for (UINT m : seen)
            if (m == message) return true;
        return false;
    }
};

const char* PlainClass() { return AfxRegisterWndClass(0, nullptr, nullptr, nullptr); }

TEST(Framework, RegisteredClassIsReusedAndCarriesItsArguments) {
    const char* a = AfxRegisterWndClass(0x080B, nullptr, nullptr, nullptr);
    const char* b = AfxRegisterWndClass(0x080B, nullptr, nullptr, nullptr);
    const char* c = AfxRegisterWndClass(0, nullptr, nullptr, nullptr);
    ASSERT_NE(a, nullptr);
    EXPECT_STREQ(a, b);
    EXPECT_STRNE(a, c);
    WNDCLASSA wc = {};
    ASSERT_TRUE(GetClassInfoA(GetModuleHandleA(nullptr), a, &wc));
    EXPECT_EQ(wc.style, 0x080Bu);
    EXPECT_EQ(wc.hCursor, nullptr);
    EXPECT_EQ(wc.hbrBackground, nullptr);
    EXPECT_EQ(wc.hIcon, nullptr);
}

TEST(Framework, WindowIsBoundBeforeItsFirstMessageAndUnboundAfterItsLast) {
    int postNcDestroy = 0;
    RecordingWnd wnd;
    wnd.postNcDestroyCalls = &postNcDestroy;
    ASSERT_TRUE(wnd.CreateEx(0, PlainClass(), "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr));
    HWND handle = wnd.m_hWnd;
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(wnd.handleAtCreate, handle);
    EXPECT_EQ(wnd.mappedAtCreate, &wnd);
    EXPECT_EQ(CWnd::FromHandlePermanent(handle), &wnd);
    EXPECT_EQ(CWnd::FromHandle(handle), &wnd);
    // The window's first messages came through the object, WM_NCCREATE
    // before WM_CREATE.
    ASSERT_GE(wnd.seen.size(), 2u);
    EXPECT_TRUE(wnd.Saw(WM_NCCREATE));
    EXPECT_TRUE(wnd.Saw(WM_CREATE));

    ASSERT_TRUE(wnd.DestroyWindow());
    EXPECT_EQ(wnd.seen.back(), static_cast<UINT>(WM_NCDESTROY));
    EXPECT_EQ(postNcDestroy, 1);
    EXPECT_EQ(wnd.m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(handle), nullptr);
    EXPECT_FALSE(IsWindow(handle));
}

TEST(Framework, FailedCreationLeavesTheObjectToItsOwner) {
    int postNcDestroy = 0;
    RecordingWnd wnd;
    wnd.postNcDestroyCalls = &postNcDestroy;
    wnd.createResult = -1;
    EXPECT_FALSE(wnd.CreateEx(0, PlainClass(), "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr));
    EXPECT_TRUE(wnd.Saw(WM_NCDESTROY));
    EXPECT_EQ(postNcDestroy, 0);
    EXPECT_EQ(wnd.m_hWnd, nullptr);

    // A parent that is no window: nothing is created at all.
    RecordingWnd orphan;
    EXPECT_FALSE(orphan.CreateEx(0, PlainClass(), "", WS_CHILD, 0, 0, 10, 10,
                                 reinterpret_cast<HWND>(static_cast<ULONG_PTR>(12345)), nullptr));
    EXPECT_TRUE(orphan.seen.empty());
    EXPECT_EQ(orphan.m_hWnd, nullptr);
}

TEST(Framework, SystemClassIsSubclassedAndKeepsItsBehaviour) {
    RecordingWnd parent;
    ASSERT_TRUE(parent.CreateEx(0, PlainClass(), "", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr));
    std::vector<std::string> reflected;
    RecordingWnd button;
    button.reflected = &reflected;
    ASSERT_TRUE(button.CreateEx(0, "BUTTON", "first", WS_CHILD | BS_PUSHBUTTON, 0, 0, 50, 20, parent.m_hWnd,
                                reinterpret_cast<HMENU>(7)));
    EXPECT_TRUE(button.Saw(WM_NCCREATE));
    EXPECT_EQ(CWnd::FromHandlePermanent(button.m_hWnd), &button);

    // Default processing is the button's own procedure: the text is kept.
    button.seen.clear();
    SetWindowTextA(button.m_hWnd, "second");
    EXPECT_TRUE(button.Saw(WM_SETTEXT));
    char text[32] = {};
    GetWindowTextA(button.m_hWnd, text, sizeof text);
    EXPECT_STREQ(text, "second");
    EXPECT_EQ(GetDlgCtrlID(button.m_hWnd), 7);
    EXPECT_EQ(parent.GetDlgItem(7), &button);

    // A click notification sent to the parent is reflected to the button.
    SendMessageA(parent.m_hWnd, WM_COMMAND, MAKEWPARAM(7, BN_CLICKED), reinterpret_cast<LPARAM>(button.m_hWnd));
    ASSERT_EQ(reflected.size(), 1u);
    EXPECT_EQ(reflected[0], "command " + std::to_string(BN_CLICKED));

    // Unsubclassed, the button's messages no longer reach the object.
    HWND handle = button.UnsubclassWindow();
    button.seen.clear();
    SetWindowTextA(handle, "third");
    EXPECT_TRUE(button.seen.empty());
    EXPECT_EQ(CWnd::FromHandlePermanent(handle), nullptr);
    ASSERT_TRUE(button.SubclassWindow(handle));
    SetWindowTextA(handle, "fourth");
    EXPECT_TRUE(button.Saw(WM_SETTEXT));
    parent.DestroyWindow();
    EXPECT_EQ(button.m_hWnd, nullptr);
}

TEST(Framework, ForeignWindowsGetTemporaryObjects) {
    HWND foreign = CreateWindowExA(0, "STATIC", "x", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                   GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(foreign, nullptr);
    CWnd* temp = CWnd::FromHandle(foreign);
    ASSERT_NE(temp, nullptr);
    EXPECT_EQ(temp->m_hWnd, foreign);
    EXPECT_EQ(CWnd::FromHandle(foreign), temp);
    EXPECT_EQ(CWnd::FromHandlePermanent(foreign), nullptr);
    EXPECT_EQ(CWnd::FromHandle(nullptr), nullptr);
    // Releasing the temporary objects leaves the window alone.
    CWnd::DeleteTempMap();
    EXPECT_TRUE(IsWindow(foreign));
    DestroyWindow(foreign);
}

TEST(Framework, ObjectDestroyedBeforeItsWindowTakesTheWindowAlong) {
    HWND handle = nullptr;
    {
        RecordingWnd wnd;
        ASSERT_TRUE(wnd.CreateEx(0, PlainClass(), "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr));
        handle = wnd.m_hWnd;
    }
    EXPECT_FALSE(IsWindow(handle));
    EXPECT_EQ(CWnd::FromHandlePermanent(handle), nullptr);
}

TEST(Framework, MessageLoopEndsWithTheQuitCode) {
    CWinApp app;
    PostQuitMessage(3);
    EXPECT_EQ(app.Run(), 3);
}

}  // namespace
