#include "config/dialog_template.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "config/backdrop_layout.h"
#include "config/skinned_button_logic.h"

namespace {

TEST(DialogUnits, MulDivRoundsHalfAwayFromZeroIn64Bits) {
    EXPECT_EQ(MulDiv(294, 6, 4), 441);
    EXPECT_EQ(MulDiv(5, 13, 8), 8);     // 8.125
    EXPECT_EQ(MulDiv(6, 13, 8), 10);    // 9.75
    EXPECT_EQ(MulDiv(5, 6, 4), 8);      // 7.5 rounds up
    EXPECT_EQ(MulDiv(-5, 6, 4), -8);    // -7.5 rounds away from zero
    EXPECT_EQ(MulDiv(7, 1, 4), 2);      // 1.75
    EXPECT_EQ(MulDiv(-7, 1, 4), -2);
    EXPECT_EQ(MulDiv(9, 1, 4), 2);      // 2.25
    EXPECT_EQ(MulDiv(100000, 100000, 100000), 100000);
    EXPECT_EQ(MulDiv(1, 1, 0), -1);
    EXPECT_EQ(MulDiv(INT_MAX, 2, 1), -1);
    EXPECT_EQ(MulDiv(INT_MAX, 2, 2), INT_MAX);
}

TEST(DialogUnits, ControlsInPixelsWithTheDialogFontsBaseUnits) {
    struct Case {
        int id;
        Rect pixels;
    };
    const Case cases[] = {
        {kIdOk, {441, 8, 495, 55}},
        {kIdCancel, {441, 163, 495, 210}},
        {kIdInfoLabel, {8, 154, 271, 252}},
        {kIdChampionshipList, {293, 23, 433, 212}},
        {kIdChampionshipLabel, {293, 10, 383, 23}},
        {kIdClubLabel, {293, 55, 383, 68}},
        {kIdClubBox, {293, 68, 433, 231}},
        {kIdRotationLabel, {293, 101, 383, 114}},
        {kIdRotationList, {293, 114, 433, 254}},
    };
    for (const Case& c : cases) {
        const TemplateControl* control = FindTemplateControl(c.id);
        ASSERT_NE(control, nullptr) << c.id;
        EXPECT_EQ(ControlRectInPixels(*control, kDialogBaseUnitX, kDialogBaseUnitY), c.pixels) << c.id;
    }
    EXPECT_EQ(DialogSizeInPixels(kDialogBaseUnitX, kDialogBaseUnitY), (Size{504, 377}));
    // Twice the base units (a font twice as large) doubles what is exact.
    EXPECT_EQ(DialogSizeInPixels(12, 26), (Size{1008, 754}));
    EXPECT_EQ(FindTemplateControl(0), nullptr);
    EXPECT_EQ(FindTemplateControl(1001), nullptr);
}

TEST(DialogTemplate, ControlsInTabOrderWithTheirStyles) {
    const int ids[] = {kIdOk,        kIdCancel,  kIdInfoLabel,     kIdChampionshipList, kIdChampionshipLabel,
                       kIdClubLabel, kIdClubBox, kIdRotationLabel, kIdRotationList};
    for (int i = 0; i < kSettingsControlCount; ++i) {
        const TemplateControl& c = kSettingsControls[i];
        EXPECT_EQ(c.id, ids[i]);
        EXPECT_EQ(c.style & (kWsChild | kWsVisible), kWsChild | kWsVisible) << c.id;
    }
    const TemplateControl& ok = kSettingsControls[0];
    const TemplateControl& cancel = kSettingsControls[1];
    const TemplateControl& list = kSettingsControls[3];
    EXPECT_STREQ(ok.text, "OK");
    EXPECT_STREQ(cancel.text, "Cancel");
    EXPECT_EQ(ok.style & 0xFFu, kBsDefPushButton);
    EXPECT_EQ(cancel.style & 0xFFu, kBsPushButton);
    // Both balls behave as push buttons.
    EXPECT_EQ(ButtonKindFromStyle(ok.style), kBsPushButton);
    EXPECT_EQ(ButtonKindFromStyle(cancel.style), kBsPushButton);
    EXPECT_EQ(list.style & 0xFFFFu, kCbsDropDownList | kCbsSort);
    EXPECT_EQ(list.text, nullptr);
    for (const TemplateControl& c : kSettingsControls) {
        const bool tabStop = (c.style & kWsTabStop) != 0;
        const bool label = std::strcmp(c.className, "STATIC") == 0;
        EXPECT_EQ(tabStop, !label) << c.id;
        EXPECT_EQ((c.style & kWsGroup) != 0, label) << c.id;
    }
    EXPECT_EQ(kSettingsDialogStyle & kWsChild, 0u);
    EXPECT_EQ(kSettingsDialogStyle, 0x90C000C0u);
}

TEST(Backdrop, CentredPictureMarginsAreHalvedTowardZero) {
    EXPECT_EQ(CentredPicturePosition({504, 377}, {500, 375}), (Point{2, 1}));
    EXPECT_EQ(CentredPicturePosition({505, 378}, {500, 375}), (Point{2, 1}));
    EXPECT_EQ(CentredPicturePosition({100, 100}, {103, 105}), (Point{-1, -2}));
    EXPECT_EQ(CentredPicturePosition({500, 375}, {500, 375}), (Point{0, 0}));
}

TEST(Backdrop, TilesCoverTheClientRowByRowAndOverhang) {
    const std::vector<Point> expected = {{0, 0}, {4, 0}, {8, 0}, {0, 3}, {4, 3}, {8, 3}, {0, 6}, {4, 6}, {8, 6}};
    EXPECT_EQ(TilePositions({10, 7}, {4, 3}), expected);
    EXPECT_EQ(TilePositions({8, 6}, {4, 3}), (std::vector<Point>{{0, 0}, {4, 0}, {0, 3}, {4, 3}}));
    EXPECT_TRUE(TilePositions({10, 7}, {0, 3}).empty());
    EXPECT_TRUE(TilePositions({0, 7}, {4, 3}).empty());
}

TEST(Backdrop, OnlyTheLeftButtonAloneDrags) {
    EXPECT_TRUE(StartsBackdropDrag(kMkLButton));
    EXPECT_FALSE(StartsBackdropDrag(0));
    EXPECT_FALSE(StartsBackdropDrag(kMkLButton | kMkShift));
    EXPECT_FALSE(StartsBackdropDrag(kMkLButton | kMkControl));
    EXPECT_FALSE(StartsBackdropDrag(kMkLButton | kMkRButton));
    EXPECT_FALSE(StartsBackdropDrag(kMkLButton | kMkMButton));
    EXPECT_FALSE(StartsBackdropDrag(kMkRButton));
}

}  // namespace
