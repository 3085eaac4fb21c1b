// The settings dialog in process: what its initialisation sets up, how the
// list maps to codes, and what OK, Cancel and the guard leave in
// m_championship.

#include "platform/win32/settings_dialog_win32.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "acquire/standings_table.h"
#include "app/association_table.h"
#include "config/mask_region.h"
#include "display/dib_image.h"
#include "res/resource_ids.h"
#include "tests/windows/dialog/dialog_harness.h"

namespace {

using SettingsHarness = Harness<CSettingsDlg>;

std::string Text(HWND window) {
    char text[512] = {};
    const int n = GetWindowTextA(window, text, sizeof text);
    return std::string(text, n > 0 ? static_cast<std::size_t>(n) : 0);
}

RECT ChildRect(HWND dialog, HWND child) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

LOGFONTA FontOf(HWND window) {
    LOGFONTA font = {};
    HFONT handle = reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0));
    GetObjectA(handle, sizeof font, &font);
    return font;
}

std::string TooltipText(const CSkinnedButton& button) {
    char text[256] = {};
    TOOLINFOA info = {};
    info.cbSize = sizeof info;
    info.hwnd = button.m_hWnd;
    info.uId = reinterpret_cast<UINT_PTR>(button.m_hWnd);
    info.lpszText = text;
    SendMessageA(button.TooltipWindow(), TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&info));
    return text;
}

// Runs the dialog on `code` and hands the running dialog to `check`.
INT_PTR RunOn(const std::string& code, const std::function<bool(SettingsHarness&)>& check,
              std::string* result = nullptr) {
    SettingsHarness dialog;
    dialog.m_championship = code;
    dialog.body = check;
    const INT_PTR rc = dialog.DoModal();
    if (result) *result = dialog.m_championship;
    return rc;
}

TEST(SettingsDialog, ConstructionLoadsTheIconAndLeavesTheCodeEmpty) {
    CSettingsDlg dialog;
    EXPECT_NE(dialog.m_hIcon, nullptr);
    EXPECT_EQ(dialog.m_championship, "");
    EXPECT_EQ(dialog.m_hWnd, nullptr);
    EXPECT_EQ(dialog.m_nIDTemplate, static_cast<UINT>(IDD_SETTINGS));
}

TEST(SettingsDialog, TemplateGivesCaptionStylesAndControlsInTabOrder) {
    RunOn("ger", [](SettingsHarness& d) {
        EXPECT_EQ(Text(d.m_hWnd), "Settings");
        const LONG style = GetWindowLongA(d.m_hWnd, GWL_STYLE);
        EXPECT_EQ(style & (WS_POPUP | WS_CHILD | WS_VISIBLE | WS_CAPTION | WS_SYSMENU),
                  WS_POPUP | WS_VISIBLE | WS_CAPTION);
        EXPECT_EQ(GetWindowLongA(d.m_hWnd, GWL_EXSTYLE) & WS_EX_APPWINDOW, WS_EX_APPWINDOW);
        EXPECT_EQ(GetWindow(d.m_hWnd, GW_OWNER), nullptr);

        // Template order is tab order: OK, Cancel, the information block,
        // the list, the caption; then the club and the rotation, each after
        // its caption.
        const int order[] = {IDOK,          IDCANCEL, IDC_INFO,           IDC_CHAMPIONSHIP, IDC_CHAMPIONSHIP_LABEL,
                             IDC_CLUB_LABEL, IDC_CLUB, IDC_ROTATION_LABEL, IDC_ROTATION};
        HWND child = GetWindow(d.m_hWnd, GW_CHILD);
        for (int id : order) {
            BODY_ASSERT((child) != (nullptr));
            EXPECT_EQ(GetDlgCtrlID(child), id);
            child = GetWindow(child, GW_HWNDNEXT);
        }
        EXPECT_EQ(child, nullptr);

        char name[32] = {};
        GetClassNameA(d.m_championshipList.m_hWnd, name, sizeof name);
        EXPECT_STREQ(name, "ComboBox");
        const LONG list = GetWindowLongA(d.m_championshipList.m_hWnd, GWL_STYLE);
        EXPECT_EQ(list & 0x3, CBS_DROPDOWNLIST);
        EXPECT_EQ(list & (CBS_SORT | WS_TABSTOP), CBS_SORT | WS_TABSTOP);
        // The combo box hands its scroll bar to its dropped-down list.
        COMBOBOXINFO combo = {};
        combo.cbSize = sizeof combo;
        BODY_ASSERT(GetComboBoxInfo(d.m_championshipList.m_hWnd, &combo));
        EXPECT_EQ(GetWindowLongA(combo.hwndList, GWL_STYLE) & WS_VSCROLL, WS_VSCROLL);

        // The labels keep their template rectangles; the dialog manager
        // converts position and size each on its own.
        RECT origin = {5, 95, 175, 60};
        MapDialogRect(d.m_hWnd, &origin);
        const RECT seen = ChildRect(d.m_hWnd, d.m_infoLabel.m_hWnd);
        EXPECT_EQ(seen.left, origin.left);
        EXPECT_EQ(seen.top, origin.top);
        EXPECT_EQ(seen.right - seen.left, origin.right);
        EXPECT_EQ(seen.bottom - seen.top, origin.bottom);
        // Return TRUE from the initialisation: the first tab stop has the focus.
        EXPECT_EQ(GetFocus(), d.m_okButton.m_hWnd);
        return false;
    });
}

TEST(SettingsDialog, DataExchangeBindsEveryControlAndMakesTheBallsOwnerDrawn) {
    RunOn("ger", [](SettingsHarness& d) {
        EXPECT_EQ(d.m_champLabel.m_hWnd, GetDlgItem(d.m_hWnd, IDC_CHAMPIONSHIP_LABEL));
        EXPECT_EQ(d.m_cancelButton.m_hWnd, GetDlgItem(d.m_hWnd, IDCANCEL));
        EXPECT_EQ(d.m_okButton.m_hWnd, GetDlgItem(d.m_hWnd, IDOK));
        EXPECT_EQ(d.m_championshipList.m_hWnd, GetDlgItem(d.m_hWnd, IDC_CHAMPIONSHIP));
        EXPECT_EQ(d.m_infoLabel.m_hWnd, GetDlgItem(d.m_hWnd, IDC_INFO));
        EXPECT_EQ(CWnd::FromHandlePermanent(d.m_okButton.m_hWnd), &d.m_okButton);
        for (const CSkinnedButton* b : {&d.m_okButton, &d.m_cancelButton}) {
            EXPECT_EQ(GetWindowLongA(b->m_hWnd, GWL_STYLE) & 0xF, BS_OWNERDRAW);
            EXPECT_EQ(b->Kind(), static_cast<std::uint32_t>(BS_PUSHBUTTON));
        }
        return false;
    });
}

TEST(SettingsDialog, IconsAreTheApplicationIcon) {
    RunOn("ger", [](SettingsHarness& d) {
        EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(d.m_hWnd, WM_GETICON, ICON_BIG, 0)), d.m_hIcon);
        EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(d.m_hWnd, WM_GETICON, ICON_SMALL, 0)), d.m_hIcon);
        EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(d.m_hWnd, WM_QUERYDRAGICON, 0, 0)), d.m_hIcon);
        return false;
    });
}

TEST(SettingsDialog, MinimisedPaintingErasesForTheIconOnly) {
    RunOn("ger", [](SettingsHarness& d) {
        UpdateWindow(d.m_hWnd);
        EXPECT_EQ(d.iconErases, 0);
        d.SendMessage(WM_PAINT);
        EXPECT_EQ(d.iconErases, 0);
        ShowWindow(d.m_hWnd, SW_MINIMIZE);
        BODY_ASSERT(IsIconic(d.m_hWnd));
        d.SendMessage(WM_PAINT);
        EXPECT_EQ(d.iconErases, 1);
        ShowWindow(d.m_hWnd, SW_RESTORE);
        d.SendMessage(WM_PAINT);
        EXPECT_EQ(d.iconErases, 1);
        return false;
    });
}

TEST(SettingsDialog, BackgroundIsTheStadiumCentred) {
    RunOn("ger", [](SettingsHarness& d) {
        EXPECT_EQ(d.BackgroundMode(), 2);
        EXPECT_EQ(d.Placement(), 2);
        BODY_ASSERT(d.Background().HasBits());
        EXPECT_EQ(d.Background().GetWidth(), 500);
        EXPECT_EQ(d.Background().GetHeight(), 375);
        EXPECT_EQ(d.Background().resourceId(), IDB_STADIUM);
        return false;
    });
}

TEST(SettingsDialog, BallsAreSkinnedSizedAndShapedByTheMask) {
    RunOn("ger", [](SettingsHarness& d) {
        struct Expect {
            const CSkinnedButton* button;
            int templateY;
            COLORREF caption;
            const char* tip;
        };
        for (const Expect& e : {Expect{&d.m_okButton, 5, 0xFFFF00, "OK button"},
                                Expect{&d.m_cancelButton, 100, 0x0000FF, "Cancel button"}}) {
            const CSkinnedButton& b = *e.button;
            EXPECT_EQ(b.CaptionColor(), e.caption);
            EXPECT_EQ(b.DrawMode(), 0);
            EXPECT_EQ(b.Border(), 0);
            EXPECT_EQ(b.FocusMargin(), 0);
            EXPECT_NE(b.NormalImage(), nullptr);
            EXPECT_NE(b.PressedImage(), nullptr);
            EXPECT_NE(b.OverImage(), nullptr);
            EXPECT_EQ(b.FocusImage(), nullptr);
            // No disabled face: a second bitmap of the normal one.
            BODY_ASSERT((b.DisabledImage()) != (nullptr));
            EXPECT_NE(b.DisabledImage(), b.NormalImage());
            EXPECT_EQ(BitmapPixel(b.DisabledImage(), 20, 20), BitmapPixel(b.NormalImage(), 20, 20));
            EXPECT_NE(b.MaskImage(), nullptr);

            // 46 x 46 with its top-left corner where the template put it.
            RECT expected = {294, e.templateY, 294 + 36, e.templateY + 29};
            MapDialogRect(d.m_hWnd, &expected);
            const RECT seen = ChildRect(d.m_hWnd, b.m_hWnd);
            EXPECT_EQ(seen.left, expected.left);
            EXPECT_EQ(seen.top, expected.top);
            EXPECT_EQ(seen.right - seen.left, 46);
            EXPECT_EQ(seen.bottom - seen.top, 46);

            HRGN region = CreateRectRgn(0, 0, 0, 0);
            BODY_ASSERT((GetWindowRgn(b.m_hWnd, region)) != (ERROR));
            EXPECT_FALSE(PtInRegion(region, 0, 0));
            EXPECT_FALSE(PtInRegion(region, 1, 1));
            EXPECT_FALSE(PtInRegion(region, 45, 45));
            EXPECT_TRUE(PtInRegion(region, 23, 23));
            DeleteObject(region);

            EXPECT_NE(b.TooltipWindow(), nullptr);
            EXPECT_EQ(TooltipText(b), e.tip);
            EXPECT_EQ(Text(b.m_hWnd), b.m_hWnd == d.m_okButton.m_hWnd ? "OK" : "Cancel");
        }
        return false;
    });
}

TEST(SettingsDialog, RegionOfTheDiscIsTheMaskRowByRow) {
    RunOn("ger", [](SettingsHarness& d) {
        DibImage mask;
        BODY_ASSERT(mask.LoadFromResource(IDB_BALL_MASK));
        const std::vector<Rect> rects = RegionRectsFromDib(mask, 0xFFFFFF);
        BODY_ASSERT((rects.size()) == (45u));
        HRGN expected = CreateRectRgn(0, 0, 0, 0);
        for (const Rect& r : rects) {
            HRGN piece = CreateRectRgn(r.left, r.top, r.right, r.bottom);
            CombineRgn(expected, expected, piece, RGN_OR);
            DeleteObject(piece);
        }
        HRGN built = d.m_okButton.CreateRegionFromBitmap(d.m_okButton.MaskImage(), 0xFFFFFF);
        BODY_ASSERT((built) != (nullptr));
        EXPECT_TRUE(EqualRgn(built, expected));
        HRGN window = CreateRectRgn(0, 0, 0, 0);
        GetWindowRgn(d.m_okButton.m_hWnd, window);
        EXPECT_TRUE(EqualRgn(window, expected));
        DeleteObject(window);
        DeleteObject(built);
        DeleteObject(expected);
        EXPECT_EQ(d.m_okButton.CreateRegionFromBitmap(nullptr, 0xFFFFFF), nullptr);
        return false;
    });
}

TEST(SettingsDialog, ListHoldsEveryNameAtItsTableIndex) {
    RunOn("ger", [](SettingsHarness& d) {
        BODY_ASSERT((d.m_championshipList.GetCount()) == (kAssociationCount));
        for (int i = 0; i < kAssociationCount; ++i) {
            EXPECT_EQ(d.m_championshipList.GetLBText(i), AssociationTable[i].name) << "position " << i;
        }
        return false;
    });
}

TEST(SettingsDialog, StoredCodeSelectsItsNameByExactComparison) {
    struct Case {
        const char* code;
        int position;
        const char* name;
    };
    for (const Case& c : {Case{"ger", 58, "Germany"}, Case{"GER", 0, "Albania"}, Case{"", 0, "Albania"},
                          Case{"zim", 166, "Zimbabwe"}, Case{"alb", 0, "Albania"}, Case{"usa", 159, "USA"},
                          Case{"xyz", 0, "Albania"}, Case{"ge", 0, "Albania"}}) {
        RunOn(c.code, [&](SettingsHarness& d) {
            EXPECT_EQ(d.m_championshipList.GetCurSel(), c.position) << "code '" << c.code << "'";
            EXPECT_EQ(d.m_championshipList.GetLBText(d.m_championshipList.GetCurSel()), c.name);
            return false;
        });
    }
}

TEST(SettingsDialog, LabelsAreColouredBoldAndCarryTheirTexts) {
    RunOn("ger", [](SettingsHarness& d) {
        EXPECT_EQ(Text(d.m_champLabel.m_hWnd), "Championship:");
        EXPECT_EQ(d.m_champLabel.TextColor(), static_cast<COLORREF>(0x00FFFF));
        EXPECT_EQ(Text(d.m_infoLabel.m_hWnd),
                  "Scorvane\nRelease 2.4, July 01 2009\n\nTarnwick Team\nwww.scorvane.example");
        EXPECT_EQ(d.m_infoLabel.TextColor(), static_cast<COLORREF>(0x00FF00));

        // Bold versions of the dialog's own font.
        const LOGFONTA dialogFont = FontOf(d.m_hWnd);
        for (HWND label : {d.m_champLabel.m_hWnd, d.m_infoLabel.m_hWnd}) {
            const LOGFONTA font = FontOf(label);
            EXPECT_EQ(font.lfWeight, FW_BOLD);
            EXPECT_STREQ(font.lfFaceName, dialogFont.lfFaceName);
            EXPECT_EQ(font.lfHeight, dialogFont.lfHeight);
            EXPECT_EQ(font.lfCharSet, dialogFont.lfCharSet);
        }
        EXPECT_STREQ(dialogFont.lfFaceName, "MS Sans Serif");
        EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(d.m_infoLabel.m_hWnd, WM_GETFONT, 0, 0)),
                  d.m_infoLabel.OwnFont());
        return false;
    });
}

TEST(SettingsDialog, OkTakesTheCodeAtTheSelectedPosition) {
    struct Case {
        const char* name;
        const char* code;
    };
    for (const Case& c : {Case{"USA", "usa"}, Case{"FYR Macedonia", "mkd"}, Case{"Zimbabwe", "zim"},
                          Case{"Albania", "alb"}, Case{"Germany", "ger"}}) {
        std::string result;
        const INT_PTR rc = RunOn(
            "ger",
            [&](SettingsHarness& d) {
                const int position = static_cast<int>(SendMessageA(d.m_championshipList.m_hWnd, CB_FINDSTRINGEXACT,
                                                                   static_cast<WPARAM>(-1),
                                                                   reinterpret_cast<LPARAM>(c.name)));
                EXPECT_NE(position, CB_ERR);
                d.m_championshipList.SetCurSel(position);
                // What the OK button or Enter sends.
                SendMessageA(d.m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                             reinterpret_cast<LPARAM>(d.m_okButton.m_hWnd));
                return true;
            },
            &result);
        EXPECT_EQ(rc, IDOK);
        EXPECT_EQ(result, c.code) << c.name;
    }
}

TEST(SettingsDialog, OkWithoutSelectionKeepsTheCodeItWasGiven) {
    for (const char* given : {"ger", "GER", ""}) {
        std::string result = "unchanged?";
        const INT_PTR rc = RunOn(
            given,
            [](SettingsHarness& d) {
                d.m_championshipList.SetCurSel(-1);
                EXPECT_EQ(d.m_championshipList.GetCurSel(), CB_ERR);
                SendMessageA(d.m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                return true;
            },
            &result);
        EXPECT_EQ(rc, IDOK);
        EXPECT_EQ(result, given);
    }
}

TEST(SettingsDialog, CancelLeavesTheCodeAsTheCallerPutIt) {
    for (const char* given : {"usa", "GER"}) {
        std::string result;
        const INT_PTR rc = RunOn(
            given,
            [](SettingsHarness& d) {
                d.m_championshipList.SetCurSel(166);
                SendMessageA(d.m_hWnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                             reinterpret_cast<LPARAM>(d.m_cancelButton.m_hWnd));
                return true;
            },
            &result);
        EXPECT_EQ(rc, IDCANCEL);
        EXPECT_EQ(result, given);
    }
}

TEST(SettingsDialog, ClosingIsCancel) {
    std::string result;
    const INT_PTR rc = RunOn(
        "zim",
        [](SettingsHarness& d) {
            d.m_championshipList.SetCurSel(0);
            SendMessageA(d.m_hWnd, WM_CLOSE, 0, 0);
            PumpMessages();
            return true;
        },
        &result);
    EXPECT_EQ(rc, IDCANCEL);
    EXPECT_EQ(result, "zim");
}

TEST(SettingsDialog, OtherNotificationsOfTheListDoNothing) {
    std::string result;
    const INT_PTR rc = RunOn(
        "ger",
        [](SettingsHarness& d) {
            d.m_championshipList.SetCurSel(0);
            SendMessageA(d.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_CHAMPIONSHIP, CBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(d.m_championshipList.m_hWnd));
            // A notification code other than a click from a control with id 1.
            SendMessageA(d.m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_SETFOCUS),
                         reinterpret_cast<LPARAM>(d.m_okButton.m_hWnd));
            EXPECT_TRUE(IsWindow(d.m_hWnd));
            return false;
        },
        &result);
    EXPECT_EQ(rc, kBodyFinished);
    EXPECT_EQ(result, "ger");
}

TEST(SettingsDialog, EveryDrawingObjectAndTooltipGoesWithTheDialog) {
    std::vector<HGDIOBJ> objects;
    std::vector<HWND> tooltips;
    HPALETTE palette = nullptr;
    RunOn("ger", [&](SettingsHarness& d) {
        for (const CSkinnedButton* b : {&d.m_okButton, &d.m_cancelButton}) {
            for (HBITMAP image : {b->NormalImage(), b->PressedImage(), b->OverImage(), b->DisabledImage(),
                                  b->MaskImage()}) {
                EXPECT_EQ(GetObjectType(image), static_cast<DWORD>(OBJ_BITMAP));
                objects.push_back(image);
            }
            tooltips.push_back(b->TooltipWindow());
        }
        for (const CColorLabel* label : {&d.m_champLabel, &d.m_infoLabel}) {
            EXPECT_EQ(GetObjectType(label->OwnFont()), static_cast<DWORD>(OBJ_FONT));
            objects.push_back(label->OwnFont());
        }
        // The photograph has been painted: its palette exists.
        UpdateWindow(d.m_hWnd);
        palette = static_cast<HPALETTE>(d.Background().platformPalette.get());
        EXPECT_EQ(GetObjectType(palette), static_cast<DWORD>(OBJ_PAL));
        return false;
    });
    for (HGDIOBJ object : objects) EXPECT_EQ(GetObjectType(object), 0u);
    EXPECT_EQ(GetObjectType(palette), 0u);
    for (HWND tip : tooltips) EXPECT_FALSE(IsWindow(tip));
}

}  // namespace

namespace {

TEST(SettingsDialog, ClubAndRotationStartFromTheSettingsAndCarryTheChoice) {
    // The table in hand is the championship's: its clubs are offered.
    StandingsRow head, a, b;
    head[2] = "Club";
    a[2] = "FC Bayern M\xFCnchen";
    b[2] = "Hamburger SV";
    for (const StandingsRow& row : {head, a, b}) theStandings.Add(row);
    SettingsHarness dialog;
    dialog.m_championship = "ger";
    dialog.m_team = "Bayern";
    dialog.m_rotation = "ger, eng";
    dialog.body = [](SettingsHarness& d) {
        EXPECT_EQ(d.m_clubBox.GetCount(), 2);
        EXPECT_EQ(d.m_clubBox.GetLBText(0), "FC Bayern M\xFCnchen");
        EXPECT_EQ(Text(d.m_clubBox.m_hWnd), "Bayern");
        EXPECT_EQ(d.m_rotationList.GetCount(), kAssociationCount);
        EXPECT_TRUE(d.m_rotationList.GetSel(FindAssociationIndex("eng")));
        EXPECT_TRUE(d.m_rotationList.GetSel(FindAssociationIndex("ger")));
        EXPECT_FALSE(d.m_rotationList.GetSel(FindAssociationIndex("esp")));
        EXPECT_EQ(Text(GetDlgItem(d.m_hWnd, IDC_CLUB_LABEL)), "Club:");
        EXPECT_EQ(Text(GetDlgItem(d.m_hWnd, IDC_ROTATION_LABEL)), "Rotation:");

        // Another championship has no table here: the club is free text,
        // and what was typed stays.
        d.m_championshipList.SetCurSel(FindAssociationIndex("eng"));
        SendMessageA(d.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_CHAMPIONSHIP, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(d.m_championshipList.m_hWnd));
        EXPECT_EQ(d.m_clubBox.GetCount(), 0);
        EXPECT_EQ(Text(d.m_clubBox.m_hWnd), "Bayern");
        SetWindowTextA(d.m_clubBox.m_hWnd, "  Arsenal ");
        d.m_rotationList.SetSel(FindAssociationIndex("esp"), TRUE);
        SendMessageA(d.m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return true;
    };
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.m_championship, "eng");
    EXPECT_EQ(dialog.m_team, "Arsenal");
    EXPECT_EQ(dialog.m_rotation, "eng,ger,esp");
    theStandings.RemoveAll();
}

}  // namespace
