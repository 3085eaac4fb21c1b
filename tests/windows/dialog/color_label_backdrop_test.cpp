// Coloured labels (the colour request reflected from the parent, bold
// fonts owned one at a time) and the backdrop dialog (placements of the
// picture, the default background, the drag rule, the palette).

#include <gtest/gtest.h>

#include <string>

#include "config/backdrop_layout.h"
#include "config/mask_region.h"
#include "platform/win32/backdrop_dialog.h"
#include "platform/win32/color_label.h"
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

LOGFONTA FontOf(HWND window) {
    LOGFONTA font = {};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font;
}

TEST(ColorLabel, ConstructionTakesTheWindowTextColour) {
    CColorLabel label;
    EXPECT_EQ(label.TextColor(), GetSysColor(COLOR_WINDOWTEXT));
    EXPECT_EQ(label.OwnFont(), nullptr);
}

TEST(ColorLabel, ColourRequestFromTheParentComesBackTransparentInTheLabelsColour) {
    RunStyles([](StylesHarness& d) {
        CColorLabel label;
        EXPECT_TRUE(label.SubclassDlgItem(IDC_TEST_LABEL, &d));
        EXPECT_TRUE(label.SetTextColor(RGB(0, 255, 0)));
        MemoryCanvas canvas(4, 4, kGround);
        SetBkMode(canvas.dc(), OPAQUE);
        SetTextColor(canvas.dc(), RGB(9, 9, 9));
        // As the static control asks its parent before it paints.
        const LRESULT brush = SendMessageA(d.m_hWnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(canvas.dc()),
                                           reinterpret_cast<LPARAM>(label.m_hWnd));
        EXPECT_EQ(reinterpret_cast<HBRUSH>(brush), static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)));
        EXPECT_EQ(GetBkMode(canvas.dc()), TRANSPARENT);
        EXPECT_EQ(GetTextColor(canvas.dc()), RGB(0, 255, 0));

        // The erase handler leaves the context transparent too.
        SetBkMode(canvas.dc(), OPAQUE);
        label.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.dc()));
        EXPECT_EQ(GetBkMode(canvas.dc()), TRANSPARENT);
        return false;
    });
}

TEST(ColorLabel, SetTextColorRepaintsTheWholeLabel) {
    RunStyles([](StylesHarness& d) {
        CColorLabel label;
        EXPECT_TRUE(label.SubclassDlgItem(IDC_TEST_LABEL, &d));
        UpdateWindow(d.m_hWnd);
        ValidateRect(label.m_hWnd, nullptr);
        RECT update = {};
        EXPECT_FALSE(GetUpdateRect(label.m_hWnd, &update, FALSE));
        label.SetTextColor(RGB(255, 255, 0));
        RECT client;
        GetClientRect(label.m_hWnd, &client);
        EXPECT_TRUE(GetUpdateRect(label.m_hWnd, &update, FALSE));
        EXPECT_TRUE(EqualRect(&update, &client));
        EXPECT_EQ(label.TextColor(), RGB(255, 255, 0));
        return false;
    });
}

TEST(ColorLabel, BoldKeepsTheFaceAndOwnsOneFontAtATime) {
    RunStyles([](StylesHarness& d) {
        CColorLabel label;
        EXPECT_TRUE(label.SubclassDlgItem(IDC_TEST_LABEL, &d));
        const LOGFONTA dialogFont = FontOf(d.m_hWnd);
        EXPECT_STREQ(dialogFont.lfFaceName, "MS Sans Serif");

        EXPECT_TRUE(label.SetBold(true));
        HFONT first = label.OwnFont();
        BODY_ASSERT((first) != (nullptr));
        LOGFONTA font = FontOf(label.m_hWnd);
        EXPECT_EQ(font.lfWeight, FW_BOLD);
        EXPECT_STREQ(font.lfFaceName, dialogFont.lfFaceName);
        EXPECT_EQ(font.lfHeight, dialogFont.lfHeight);

        EXPECT_TRUE(label.SetBold(true));
        HFONT second = label.OwnFont();
        EXPECT_NE(second, first);
        EXPECT_EQ(GetObjectType(first), 0u);
        EXPECT_EQ(reinterpret_cast<HFONT>(label.SendMessage(WM_GETFONT)), second);

        // Not 400: the mapper's default weight.
        EXPECT_TRUE(label.SetBold(false));
        EXPECT_EQ(FontOf(label.m_hWnd).lfWeight, 0);
        EXPECT_EQ(GetObjectType(second), 0u);

        LOGFONTA read = {};
        EXPECT_TRUE(label.GetLogFont(read));
        EXPECT_EQ(read.lfWeight, 0);
        HFONT last = label.OwnFont();
        label.UnsubclassWindow();
        // A label without a window has no font to read.
        EXPECT_FALSE(label.GetLogFont(read));
        EXPECT_FALSE(label.SetBold(true));
        EXPECT_EQ(label.OwnFont(), last);
        return false;
    });
}

TEST(ColorLabel, NoFontToStartFromIsReported) {
    RunStyles([](StylesHarness& d) {
        CColorLabel label;
        EXPECT_TRUE(label.SubclassDlgItem(IDC_TEST_LABEL, &d));
        label.SendMessage(WM_SETFONT, 0, FALSE);
        LOGFONTA read = {};
        read.lfWeight = 123;
        EXPECT_FALSE(label.GetLogFont(read));
        EXPECT_EQ(read.lfWeight, 123);
        EXPECT_FALSE(label.SetBold(true));
        EXPECT_EQ(label.OwnFont(), nullptr);
        return false;
    });
}

// ---------------------------------------------------------------- backdrop

struct Erased {
    int width = 0, height = 0;
    std::unique_ptr<MemoryCanvas> canvas;
};

// The dialog's background erased into a memory context of its client size.
Erased EraseInto(StylesHarness& d) {
    Erased out;
    RECT client;
    GetClientRect(d.m_hWnd, &client);
    out.width = client.right;
    out.height = client.bottom;
    out.canvas = std::make_unique<MemoryCanvas>(out.width, out.height, kGround);
    d.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(out.canvas->dc()));
    return out;
}

COLORREF PicturePixel(const CBackdropDialog& d, int x, int y) {
    return static_cast<COLORREF>(DibPixelAt(d.Background(), x, y));
}

TEST(BackdropDialog, WithoutAPictureTheDefaultBackgroundShows) {
    RunStyles([](StylesHarness& d) {
        EXPECT_EQ(d.BackgroundMode(), 0);
        EXPECT_EQ(d.Placement(), 0);
        Erased e = EraseInto(d);
        EXPECT_EQ(e.canvas->At(0, 0), GetSysColor(COLOR_3DFACE));
        EXPECT_EQ(e.canvas->At(e.width - 1, e.height - 1), GetSysColor(COLOR_3DFACE));

        // A bitmap that does not exist: mode 2 all the same, default erase.
        EXPECT_FALSE(d.SetBackgroundBitmap(4711, kPlacementCentre));
        EXPECT_EQ(d.BackgroundMode(), 2);
        Erased again = EraseInto(d);
        EXPECT_EQ(again.canvas->At(e.width / 2, e.height / 2), GetSysColor(COLOR_3DFACE));
        return false;
    });
}

TEST(BackdropDialog, CentredPictureHasTheDefaultBackgroundAroundIt) {
    RunStyles([](StylesHarness& d) {
        EXPECT_TRUE(d.SetBackgroundBitmap(IDB_STADIUM, kPlacementCentre));
        Erased e = EraseInto(d);
        // The test dialog is larger than the 500 x 375 photograph.
        BODY_ASSERT((e.width) > (500));
        BODY_ASSERT((e.height) > (375));
        const int left = (e.width - 500) / 2;
        const int top = (e.height - 375) / 2;
        EXPECT_EQ(e.canvas->At(left, top), PicturePixel(d, 0, 0));
        EXPECT_EQ(e.canvas->At(left + 499, top + 374), PicturePixel(d, 499, 374));
        EXPECT_EQ(e.canvas->At(left + 250, top + 100), PicturePixel(d, 250, 100));
        EXPECT_EQ(e.canvas->At(left - 1, top), GetSysColor(COLOR_3DFACE));
        EXPECT_EQ(e.canvas->At(left, top - 1), GetSysColor(COLOR_3DFACE));
        EXPECT_EQ(e.canvas->At(left + 500, top + 374), GetSysColor(COLOR_3DFACE));
        EXPECT_EQ(e.canvas->At(left + 499, top + 375), GetSysColor(COLOR_3DFACE));
        return false;
    });
}

TEST(BackdropDialog, TiledPictureRepeatsFromTheTopLeft) {
    RunStyles([](StylesHarness& d) {
        EXPECT_TRUE(d.SetBackgroundBitmap(IDB_STADIUM, kPlacementTile));
        Erased e = EraseInto(d);
        EXPECT_EQ(e.canvas->At(3, 4), PicturePixel(d, 3, 4));
        EXPECT_EQ(e.canvas->At(503, 4), PicturePixel(d, 3, 4));
        EXPECT_EQ(e.canvas->At(3, 379), PicturePixel(d, 3, 4));
        EXPECT_EQ(e.canvas->At(e.width - 1, e.height - 1), PicturePixel(d, e.width - 1 - 500, e.height - 1 - 375));
        return false;
    });
}

TEST(BackdropDialog, StretchedPictureCoversTheClientArea) {
    RunStyles([](StylesHarness& d) {
        EXPECT_TRUE(d.SetBackgroundBitmap(IDB_STADIUM, kPlacementStretch));
        Erased e = EraseInto(d);
        EXPECT_EQ(e.canvas->At(0, 0), PicturePixel(d, 0, 0));
        EXPECT_EQ(e.canvas->At(e.width - 1, e.height - 1), PicturePixel(d, 499, 374));
        EXPECT_EQ(e.canvas->At(e.width - 1, 0), PicturePixel(d, 499, 0));
        return false;
    });
}

TEST(BackdropDialog, AnyOtherPlacementErasesTheDefaultWay) {
    RunStyles([](StylesHarness& d) {
        EXPECT_TRUE(d.SetBackgroundBitmap(IDB_STADIUM, 3));
        Erased e = EraseInto(d);
        EXPECT_EQ(e.canvas->At(e.width / 2, e.height / 2), GetSysColor(COLOR_3DFACE));
        return false;
    });
}

TEST(BackdropDialog, SetBackgroundBitmapRepaintsWithErase) {
    RunStyles([](StylesHarness& d) {
        UpdateWindow(d.m_hWnd);
        RECT update;
        EXPECT_FALSE(GetUpdateRect(d.m_hWnd, &update, FALSE));
        EXPECT_TRUE(d.SetBackgroundBitmap(IDB_STADIUM, kPlacementCentre));
        RECT client;
        GetClientRect(d.m_hWnd, &client);
        EXPECT_TRUE(GetUpdateRect(d.m_hWnd, &update, FALSE));
        EXPECT_TRUE(EqualRect(&update, &client));
        return false;
    });
}

TEST(BackdropDialog, OnlyTheLeftButtonAloneGrabsTheWindowByItsCaption) {
    RunStyles([](StylesHarness& d) {
        d.interceptCaptionGrab = true;
        const LPARAM at = MAKELPARAM(300, 300);
        for (WPARAM keys : {WPARAM{0}, WPARAM{MK_LBUTTON | MK_SHIFT}, WPARAM{MK_LBUTTON | MK_CONTROL},
                            WPARAM{MK_LBUTTON | MK_RBUTTON}, WPARAM{MK_LBUTTON | MK_MBUTTON}, WPARAM{MK_RBUTTON}}) {
            d.SendMessage(WM_MOUSEMOVE, keys, at);
        }
        EXPECT_TRUE(d.captionGrabs.empty());
        SetCapture(d.m_hWnd);
        d.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, at);
        BODY_ASSERT((d.captionGrabs.size()) == (1u));
        EXPECT_EQ(d.captionGrabs[0], static_cast<WPARAM>(HTCAPTION));
        // The capture goes first, so that the system can track the move.
        EXPECT_NE(GetCapture(), d.m_hWnd);
        return false;
    });
}

TEST(BackdropDialog, PaletteIsMadeOnceAndKeptWithThePicture) {
    RunStyles([](StylesHarness& d) {
        EXPECT_TRUE(d.SetBackgroundBitmap(IDB_STADIUM, kPlacementCentre));
        BODY_ASSERT(d.Background().HasPalette());
        HDC screen = GetDC(nullptr);
        const bool paletteDevice = (GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE) != 0;
        ReleaseDC(nullptr, screen);
        const LRESULT realised = d.SendMessage(WM_QUERYNEWPALETTE);
        HPALETTE palette = static_cast<HPALETTE>(d.Background().platformPalette.get());
        EXPECT_EQ(GetObjectType(palette), static_cast<DWORD>(OBJ_PAL));
        EXPECT_EQ(GetPaletteEntries(palette, 0, 0, nullptr), 256u);
        // A true-colour screen maps no entries: nothing to realise.
        if (!paletteDevice) {
            EXPECT_EQ(realised, FALSE);
        }
        d.SendMessage(WM_PALETTECHANGED, reinterpret_cast<WPARAM>(GetDesktopWindow()));
        d.SendMessage(WM_PALETTECHANGED, reinterpret_cast<WPARAM>(d.m_hWnd));
        EXPECT_EQ(d.Background().platformPalette.get(), palette);
        return false;
    });
}

}  // namespace
