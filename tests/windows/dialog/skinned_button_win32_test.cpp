// Skinned buttons bound to the controls of a real dialog: their kind from
// the template style, check state and radio groups, SetImages' clamps and
// sizes, the faces DrawItem paints, hover tracking and double clicks.

#include "platform/win32/skinned_button_win32.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/win32/backdrop_dialog.h"
#include "res/resource_ids.h"
#include "tests/windows/dialog/dialog_harness.h"
#include "tests/windows/dialog/test_ids.h"

namespace {

using StylesHarness = Harness<CBackdropDialog>;

constexpr COLORREF kGround = RGB(1, 2, 3);

void RunStyles(const std::function<bool(StylesHarness&)>& body) {
    StylesHarness dialog(IDD_TEST_STYLES);
    dialog.body = body;
    ASSERT_NE(dialog.DoModal(), -1);
}

SIZE WindowSize(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

DRAWITEMSTRUCT ItemFor(const CSkinnedButton& button, HDC dc, int width, int height, UINT state) {
    DRAWITEMSTRUCT item = {};
    item.CtlType = ODT_BUTTON;
    item.CtlID = static_cast<UINT>(GetDlgCtrlID(button.m_hWnd));
    item.itemAction = ODA_DRAWENTIRE;
    item.itemState = state;
    item.hwndItem = button.m_hWnd;
    item.hDC = dc;
    item.rcItem = RECT{0, 0, width, height};
    return item;
}

int CountColour(const MemoryCanvas& canvas, int width, int height, COLORREF colour) {
    int n = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) n += canvas.At(x, y) == colour;
    return n;
}

TEST(SkinnedButton, KindComesFromTheTemplateStyleAndBindingMakesItOwnerDrawn) {
    RunStyles([](StylesHarness& d) {
        struct Case {
            int id;
            std::uint32_t kind;
        };
        const Case cases[] = {
            {IDC_TEST_PUSH, BS_PUSHBUTTON},      {IDC_TEST_DEFPUSH, BS_PUSHBUTTON},
            {IDC_TEST_CHECK, BS_PUSHBUTTON},     {IDC_TEST_AUTOCHECK, BS_CHECKBOX},
            {IDC_TEST_RADIO, BS_PUSHBUTTON},     {IDC_TEST_3STATE, BS_PUSHBUTTON},
            {IDC_TEST_AUTO3STATE, BS_PUSHBUTTON}, {IDC_TEST_GROUPBOX, BS_CHECKBOX},
            {IDC_TEST_OWNERDRAW, BS_CHECKBOX},   {IDC_TEST_RADIO_A, BS_RADIOBUTTON},
        };
        for (const Case& c : cases) {
            CSkinnedButton button;
            const LONG before = GetWindowLongA(GetDlgItem(d.m_hWnd, c.id), GWL_STYLE);
            BODY_ASSERT(button.SubclassDlgItem(static_cast<UINT>(c.id), &d));
            EXPECT_EQ(button.Kind(), c.kind) << "control " << c.id;
            EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(button.m_hWnd, GWL_STYLE)),
                      static_cast<DWORD>(before) | BS_OWNERDRAW)
                << "control " << c.id;
            button.UnsubclassWindow();
        }
        return false;
    });
}

TEST(SkinnedButton, CheckStateFollowsTheKind) {
    RunStyles([](StylesHarness& d) {
        CSkinnedButton push, check, owner;
        BODY_ASSERT(push.SubclassDlgItem(IDC_TEST_PUSH, &d));
        BODY_ASSERT(check.SubclassDlgItem(IDC_TEST_AUTOCHECK, &d));
        BODY_ASSERT(owner.SubclassDlgItem(IDC_TEST_OWNERDRAW, &d));

        // A push button never stays checked.
        EXPECT_EQ(push.SendMessage(BM_SETCHECK, BST_CHECKED), 0);
        EXPECT_EQ(push.SendMessage(BM_GETCHECK), 0);
        EXPECT_FALSE(push.IsChecked());

        EXPECT_EQ(check.SendMessage(BM_GETCHECK), 0);
        check.SendMessage(BM_SETCHECK, BST_CHECKED);
        EXPECT_EQ(check.SendMessage(BM_GETCHECK), 1);
        // Any non-zero wParam checks.
        check.SendMessage(BM_SETCHECK, BST_UNCHECKED);
        check.SendMessage(BM_SETCHECK, 7);
        EXPECT_EQ(check.SendMessage(BM_GETCHECK), 1);
        // The space bar toggles a check box, not a push button.
        check.SendMessage(WM_KEYDOWN, VK_SPACE, 0);
        check.SendMessage(WM_KEYUP, VK_SPACE, 0);
        EXPECT_EQ(check.SendMessage(BM_GETCHECK), 0);
        check.SendMessage(WM_KEYDOWN, VK_SPACE, 0);
        check.SendMessage(WM_KEYUP, VK_SPACE, 0);
        EXPECT_EQ(check.SendMessage(BM_GETCHECK), 1);
        push.SendMessage(WM_KEYDOWN, VK_SPACE, 0);
        push.SendMessage(WM_KEYUP, VK_SPACE, 0);
        EXPECT_EQ(push.SendMessage(BM_GETCHECK), 0);

        // An owner-drawn template button behaves as a check box.
        owner.SendMessage(BM_SETCHECK, BST_CHECKED);
        EXPECT_EQ(owner.SendMessage(BM_GETCHECK), 1);
        return false;
    });
}

TEST(SkinnedButton, CheckingARadioUnchecksTheRestOfItsGroupAfterwards) {
    RunStyles([](StylesHarness& d) {
        CSkinnedButton a, b, c, other;
        BODY_ASSERT(a.SubclassDlgItem(IDC_TEST_RADIO_A, &d));
        BODY_ASSERT(b.SubclassDlgItem(IDC_TEST_RADIO_B, &d));
        BODY_ASSERT(c.SubclassDlgItem(IDC_TEST_RADIO_C, &d));
        // Outside the group: a check box before it in the template.
        BODY_ASSERT(other.SubclassDlgItem(IDC_TEST_AUTOCHECK, &d));
        for (CSkinnedButton* r : {&a, &b, &c}) EXPECT_EQ(r->Kind(), static_cast<std::uint32_t>(BS_RADIOBUTTON));

        other.SendMessage(BM_SETCHECK, BST_CHECKED);
        a.SendMessage(BM_SETCHECK, BST_CHECKED);
        PumpMessages();
        c.SendMessage(BM_SETCHECK, BST_CHECKED);
        // Posted, not sent: the others still hold their checks until the
        // messages are dispatched.
        EXPECT_EQ(a.SendMessage(BM_GETCHECK), 1);
        PumpMessages();
        EXPECT_EQ(a.SendMessage(BM_GETCHECK), 0);
        EXPECT_EQ(b.SendMessage(BM_GETCHECK), 0);
        EXPECT_EQ(c.SendMessage(BM_GETCHECK), 1);
        EXPECT_EQ(other.SendMessage(BM_GETCHECK), 1);

        // Unchecking a radio button unchecks nobody else.
        c.SendMessage(BM_SETCHECK, BST_UNCHECKED);
        b.SendMessage(WM_GROUP_UNCHECK);
        PumpMessages();
        EXPECT_EQ(c.SendMessage(BM_GETCHECK), 0);
        EXPECT_EQ(other.SendMessage(BM_GETCHECK), 1);
        return false;
    });
}

TEST(SkinnedButton, SetImagesClampsItsArguments) {
    RunStyles([](StylesHarness& d) {
        CSkinnedButton button;
        BODY_ASSERT(button.SubclassDlgItem(IDC_TEST_PUSH, &d));
        EXPECT_EQ(button.DrawMode(), 1);
        button.SetImages(IDB_BALL, 0, 0, 0, 0, 0, 5, 1, -3);
        EXPECT_EQ(button.DrawMode(), 2);
        EXPECT_EQ(button.Border(), 1);
        EXPECT_EQ(button.FocusMargin(), 0);
        button.SetImages(IDB_BALL, 0, 0, 0, 0, 0, -1, 0, 4);
        EXPECT_EQ(button.DrawMode(), 0);
        EXPECT_EQ(button.FocusMargin(), 4);
        EXPECT_EQ(button.PressedImage(), nullptr);
        EXPECT_EQ(button.OverImage(), nullptr);
        EXPECT_NE(button.DisabledImage(), nullptr);
        // Neither a normal nor a disabled face: no disabled face either.
        button.SetImages(0, IDB_BALL_PRESSED, 0, 0, 0, 0, 0, 0, 0);
        EXPECT_EQ(button.NormalImage(), nullptr);
        EXPECT_EQ(button.DisabledImage(), nullptr);
        EXPECT_NE(button.PressedImage(), nullptr);
        // A face that does not exist stays empty.
        button.SetImages(4711, 0, 0, 0, 0, 0, 0, 0, 0);
        EXPECT_EQ(button.NormalImage(), nullptr);
        EXPECT_EQ(button.DisabledImage(), nullptr);
        return false;
    });
}

TEST(SkinnedButton, MaskShapesAndSizesTheWindowOnlyWhereItShould) {
    RunStyles([](StylesHarness& d) {
        CSkinnedButton noMask, missing, stretched, exact;
        BODY_ASSERT(noMask.SubclassDlgItem(IDC_TEST_PUSH, &d));
        BODY_ASSERT(missing.SubclassDlgItem(IDC_TEST_DEFPUSH, &d));
        BODY_ASSERT(stretched.SubclassDlgItem(IDC_TEST_CHECK, &d));
        BODY_ASSERT(exact.SubclassDlgItem(IDC_TEST_RADIO, &d));
        RECT templ = {0, 0, 60, 20};
        MapDialogRect(d.m_hWnd, &templ);
        const SIZE templateSize{templ.right, templ.bottom};
        HRGN region = CreateRectRgn(0, 0, 0, 0);

        // No mask: region and size as they were.
        noMask.SetImages(IDB_BALL, 0, 0, 0, 0, 0, 0, 0, 0);
        EXPECT_EQ(GetWindowRgn(noMask.m_hWnd, region), ERROR);
        EXPECT_EQ(WindowSize(noMask.m_hWnd).cx, templateSize.cx);
        EXPECT_EQ(WindowSize(noMask.m_hWnd).cy, templateSize.cy);

        // A mask that cannot be loaded keeps the template's shape and size.
        missing.SetImages(IDB_BALL, 0, 0, 0, 0, 4711, 0, 0, 0);
        EXPECT_EQ(missing.MaskImage(), nullptr);
        EXPECT_EQ(GetWindowRgn(missing.m_hWnd, region), ERROR);
        EXPECT_EQ(WindowSize(missing.m_hWnd).cx, templateSize.cx);

        // Stretched faces: the shape, but no resize.
        stretched.SetImages(IDB_BALL, 0, 0, 0, 0, IDB_BALL_MASK, 1, 0, 0);
        EXPECT_NE(GetWindowRgn(stretched.m_hWnd, region), ERROR);
        EXPECT_EQ(WindowSize(stretched.m_hWnd).cx, templateSize.cx);
        EXPECT_EQ(WindowSize(stretched.m_hWnd).cy, templateSize.cy);

        // One to one: the mask's size at the same top-left corner.
        RECT before;
        GetWindowRect(exact.m_hWnd, &before);
        exact.SetImages(IDB_BALL, 0, 0, 0, 0, IDB_BALL_MASK, 0, 0, 0);
        RECT after;
        GetWindowRect(exact.m_hWnd, &after);
        EXPECT_EQ(after.left, before.left);
        EXPECT_EQ(after.top, before.top);
        EXPECT_EQ(after.right - after.left, 46);
        EXPECT_EQ(after.bottom - after.top, 46);
        BODY_ASSERT((GetWindowRgn(exact.m_hWnd, region)) != (ERROR));
        EXPECT_TRUE(PtInRegion(region, 23, 23));
        EXPECT_FALSE(PtInRegion(region, 0, 0));
        DeleteObject(region);
        return false;
    });
}

class FaceTest : public ::testing::Test {
protected:
    // Runs `check` with a ball button bound to the dialog's push button.
    void WithBall(UINT normal, UINT pressed, UINT over, UINT disabled, UINT mask, std::int16_t mode,
                  const std::function<void(CSkinnedButton&)>& check) {
        RunStyles([&](StylesHarness& d) {
            CSkinnedButton button;
            EXPECT_TRUE(button.SubclassDlgItem(IDC_TEST_PUSH, &d));
            button.SetCaptionColor(RGB(0, 255, 255));
            button.SetImages(normal, pressed, over, disabled, 0, mask, mode, 0, 0);
            check(button);
            return false;
        });
    }
};

TEST_F(FaceTest, MaskedFaceShowsWhereTheMaskIsBlackAndKeepsTheGroundElsewhere) {
    WithBall(IDB_YELLOW_BALL, IDB_YELLOW_BALL_PRESSED, IDB_YELLOW_BALL_OVER, 0, IDB_BALL_MASK, 0,
             [](CSkinnedButton& button) {
                 struct Case {
                     UINT state;
                     HBITMAP face;
                 };
                 for (const Case& c : {Case{0, button.NormalImage()}, Case{ODS_SELECTED, button.PressedImage()},
                                       Case{ODS_FOCUS, button.NormalImage()},
                                       Case{ODS_DISABLED, button.DisabledImage()}}) {
                     MemoryCanvas canvas(46, 46, kGround);
                     DRAWITEMSTRUCT item = ItemFor(button, canvas.dc(), 46, 46, c.state);
                     button.DrawItem(&item);
                     // Inside the disc, away from the caption: the face.
                     for (POINT p : {POINT{23, 4}, POINT{6, 23}, POINT{40, 23}, POINT{23, 42}}) {
                         EXPECT_EQ(canvas.At(p.x, p.y), BitmapPixel(c.face, p.x, p.y))
                             << "state " << c.state << " at " << p.x << "," << p.y;
                     }
                     // Outside it: the pixels that were there.
                     for (POINT p : {POINT{0, 0}, POINT{45, 0}, POINT{0, 45}, POINT{45, 45}, POINT{1, 1}}) {
                         EXPECT_EQ(canvas.At(p.x, p.y), kGround) << "state " << c.state;
                     }
                 }
             });
}

TEST_F(FaceTest, CaptionIsDrawnInItsColourAndGreyWhenDisabled) {
    WithBall(IDB_BALL, IDB_BALL_PRESSED, 0, 0, IDB_BALL_MASK, 0, [](CSkinnedButton& button) {
        MemoryCanvas normal(46, 46, kGround);
        DRAWITEMSTRUCT item = ItemFor(button, normal.dc(), 46, 46, 0);
        button.DrawItem(&item);
        EXPECT_GT(CountColour(normal, 46, 46, RGB(0, 255, 255)), 10);

        MemoryCanvas disabled(46, 46, kGround);
        item = ItemFor(button, disabled.dc(), 46, 46, ODS_DISABLED);
        button.DrawItem(&item);
        EXPECT_EQ(CountColour(disabled, 46, 46, RGB(0, 255, 255)), 0);
        EXPECT_GT(CountColour(disabled, 46, 46, GetSysColor(COLOR_GRAYTEXT)), 10);
    });
}

TEST_F(FaceTest, MissingFacesPaintTheButtonFaceColour) {
    WithBall(0, 0, 0, 0, 0, 0, [](CSkinnedButton& button) {
        for (UINT state : {0u, static_cast<UINT>(ODS_SELECTED), static_cast<UINT>(ODS_DISABLED)}) {
            MemoryCanvas canvas(30, 20, kGround);
            DRAWITEMSTRUCT item = ItemFor(button, canvas.dc(), 30, 20, state);
            button.DrawItem(&item);
            EXPECT_EQ(canvas.At(0, 0), GetSysColor(COLOR_BTNFACE)) << "state " << state;
            EXPECT_EQ(canvas.At(29, 19), GetSysColor(COLOR_BTNFACE)) << "state " << state;
        }
    });
}

TEST_F(FaceTest, OneToOneShowsTheTopLeftOfALargerFace) {
    // Without a mask the 48 x 48 face is copied from its corner into 46 x 46.
    WithBall(IDB_BALL, 0, 0, 0, 0, 0, [](CSkinnedButton& button) {
        MemoryCanvas canvas(50, 50, kGround);
        DRAWITEMSTRUCT item = ItemFor(button, canvas.dc(), 46, 46, 0);
        button.DrawItem(&item);
        EXPECT_EQ(canvas.At(0, 0), BitmapPixel(button.NormalImage(), 0, 0));
        EXPECT_EQ(canvas.At(45, 3), BitmapPixel(button.NormalImage(), 45, 3));
        EXPECT_EQ(canvas.At(46, 3), kGround);
        EXPECT_EQ(canvas.At(3, 46), kGround);
    });
}

TEST_F(FaceTest, StretchedFaceCoversTheWholeItem) {
    WithBall(IDB_BALL, 0, 0, 0, 0, 1, [](CSkinnedButton& button) {
        MemoryCanvas canvas(96, 96, kGround);
        DRAWITEMSTRUCT item = ItemFor(button, canvas.dc(), 96, 96, 0);
        button.DrawItem(&item);
        for (POINT p : {POINT{0, 0}, POINT{5, 40}, POINT{30, 2}, POINT{47, 47}}) {
            EXPECT_EQ(canvas.At(2 * p.x, 2 * p.y), BitmapPixel(button.NormalImage(), p.x, p.y));
            EXPECT_EQ(canvas.At(2 * p.x + 1, 2 * p.y + 1), BitmapPixel(button.NormalImage(), p.x, p.y));
        }
    });
}

TEST_F(FaceTest, TiledFaceRepeatsAndIsCutAtTheEdges) {
    WithBall(IDB_BALL, 0, 0, 0, IDB_BALL_MASK, 2, [](CSkinnedButton& button) {
        MemoryCanvas canvas(110, 70, kGround);
        DRAWITEMSTRUCT item = ItemFor(button, canvas.dc(), 100, 60, 0);
        button.DrawItem(&item);
        HBITMAP face = button.NormalImage();
        // Tiling ignores the mask: the corners show the face too.
        EXPECT_EQ(canvas.At(0, 0), BitmapPixel(face, 0, 0));
        EXPECT_EQ(canvas.At(50, 10), BitmapPixel(face, 2, 10));
        EXPECT_EQ(canvas.At(10, 50), BitmapPixel(face, 10, 2));
        EXPECT_EQ(canvas.At(99, 59), BitmapPixel(face, 3, 11));
        EXPECT_EQ(canvas.At(100, 30), kGround);
        EXPECT_EQ(canvas.At(30, 60), kGround);
    });
}

TEST_F(FaceTest, HoverShowsTheMouseOverFaceUntilTheMouseLeaves) {
    WithBall(IDB_YELLOW_BALL, IDB_YELLOW_BALL_PRESSED, IDB_YELLOW_BALL_OVER, 0, IDB_BALL_MASK, 0,
             [](CSkinnedButton& button) {
                 POINT centre = {23, 23};
                 ClientToScreen(button.m_hWnd, &centre);
                 SetCursorPos(centre.x, centre.y);
                 PumpMessages(200);
                 button.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(23, 23));
                 EXPECT_TRUE(button.IsMouseOver());
                 MemoryCanvas over(46, 46, kGround);
                 DRAWITEMSTRUCT item = ItemFor(button, over.dc(), 46, 46, 0);
                 button.DrawItem(&item);
                 EXPECT_EQ(over.At(23, 4), BitmapPixel(button.OverImage(), 23, 4));

                 // The over face comes before the focus face and the normal one,
                 // but not before the pressed one.
                 item = ItemFor(button, over.dc(), 46, 46, ODS_SELECTED);
                 button.DrawItem(&item);
                 EXPECT_EQ(over.At(23, 4), BitmapPixel(button.PressedImage(), 23, 4));

                 SetCursorPos(centre.x + 200, centre.y + 200);
                 for (int i = 0; i < 100 && button.IsMouseOver(); ++i) PumpMessages(20);
                 EXPECT_FALSE(button.IsMouseOver());
                 MemoryCanvas left(46, 46, kGround);
                 item = ItemFor(button, left.dc(), 46, 46, 0);
                 button.DrawItem(&item);
                 EXPECT_EQ(left.At(23, 4), BitmapPixel(button.NormalImage(), 23, 4));
             });
}

TEST(SkinnedButton, DoubleClickCountsAsTwoClicks) {
    RunStyles([](StylesHarness& d) {
        CSkinnedButton button;
        EXPECT_TRUE(button.SubclassDlgItem(IDC_TEST_PUSH, &d));
        button.SetImages(IDB_BALL, 0, 0, 0, 0, 0, 0, 0, 0);
        d.commands.clear();
        const LPARAM at = MAKELPARAM(5, 5);
        button.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, at);
        EXPECT_TRUE(button.IsLeftDown());
        button.SendMessage(WM_LBUTTONUP, 0, at);
        EXPECT_FALSE(button.IsLeftDown());
        button.SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        EXPECT_TRUE(button.IsLeftDown());
        button.SendMessage(WM_LBUTTONUP, 0, at);
        int clicks = 0;
        for (const auto& [id, code] : d.commands) clicks += id == IDC_TEST_PUSH && code == BN_CLICKED;
        EXPECT_EQ(clicks, 2);
        return false;
    });
}

TEST(SkinnedButton, LosingTheFocusWhilePressedReleasesTheMouse) {
    RunStyles([](StylesHarness& d) {
        CSkinnedButton button;
        EXPECT_TRUE(button.SubclassDlgItem(IDC_TEST_PUSH, &d));
        button.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        EXPECT_EQ(GetCapture(), button.m_hWnd);
        SetFocus(GetDlgItem(d.m_hWnd, IDC_TEST_DEFPUSH));
        EXPECT_NE(GetCapture(), button.m_hWnd);
        EXPECT_FALSE(button.IsLeftDown());
        return false;
    });
}

TEST(SkinnedButton, TooltipIsMadeOnceAndItsTextReplaced) {
    RunStyles([](StylesHarness& d) {
        auto tipText = [](const CSkinnedButton& b) {
            char text[128] = {};
            TOOLINFOA info = {};
            info.cbSize = sizeof info;
            info.hwnd = b.m_hWnd;
            info.uId = reinterpret_cast<UINT_PTR>(b.m_hWnd);
            info.lpszText = text;
            SendMessageA(b.TooltipWindow(), TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&info));
            return std::string(text);
        };
        HWND tip = nullptr;
        {
            CSkinnedButton button;
            EXPECT_TRUE(button.SubclassDlgItem(IDC_TEST_PUSH, &d));
            EXPECT_EQ(button.TooltipWindow(), nullptr);
            button.SetTooltip("first");
            tip = button.TooltipWindow();
            BODY_ASSERT((tip) != (nullptr));
            EXPECT_EQ(SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0), 1);
            EXPECT_EQ(tipText(button), "first");
            button.SetTooltip("second");
            EXPECT_EQ(button.TooltipWindow(), tip);
            EXPECT_EQ(SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0), 1);
            EXPECT_EQ(tipText(button), "second");
            button.UnsubclassWindow();
        }
        // The button's destructor takes its tooltip with it.
        EXPECT_FALSE(IsWindow(tip));
        return false;
    });
}

}  // namespace
