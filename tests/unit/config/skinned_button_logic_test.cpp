#include "config/skinned_button_logic.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

TEST(SkinnedButtonKind, EveryButtonStyle) {
    struct Case {
        std::uint32_t style;
        std::uint32_t kind;
    };
    const Case cases[] = {
        {kBsPushButton, kBsPushButton},      {kBsDefPushButton, kBsPushButton},
        {kBsCheckBox, kBsPushButton},        {kBsAutoCheckBox, kBsCheckBox},
        {kBsRadioButton, kBsPushButton},     {kBs3State, kBsPushButton},
        {kBsAuto3State, kBsPushButton},      {kBsGroupBox, kBsCheckBox},
        {kBsUserButton, kBsPushButton},      {kBsAutoRadioButton, kBsRadioButton},
        {kBsPushBox, kBsPushButton},         {kBsOwnerDraw, kBsCheckBox},
        {0xCu, kBsPushButton},               {0xFu, kBsCheckBox},
    };
    for (const Case& c : cases) EXPECT_EQ(ButtonKindFromStyle(c.style), c.kind) << "style " << c.style;
}

TEST(SkinnedButtonKind, OnlyTheLowByteCounts) {
    // WS_CHILD | WS_VISIBLE | WS_TABSTOP around the button style.
    const std::uint32_t window = 0x40000000u | 0x10000000u | 0x00010000u;
    EXPECT_EQ(ButtonKindFromStyle(window | kBsDefPushButton), kBsPushButton);
    EXPECT_EQ(ButtonKindFromStyle(window | kBsAutoCheckBox), kBsCheckBox);
    EXPECT_EQ(ButtonKindFromStyle(window | kBsAutoRadioButton), kBsRadioButton);
    // BS_LEFTTEXT (0x20) sits inside the low byte and does not disturb the tests.
    EXPECT_EQ(ButtonKindFromStyle(0x20u | kBsAutoRadioButton), kBsRadioButton);
    // A style bit above the low byte that would match the masks is ignored.
    EXPECT_EQ(ButtonKindFromStyle(0x300u), kBsPushButton);
}

TEST(SkinnedButtonImages, SetImagesClamps) {
    struct Case {
        std::int16_t drawMode, focusMargin;
        std::int16_t wantMode, wantMargin;
    };
    const Case cases[] = {
        {-1, -1, 0, 0}, {0, 0, 0, 0}, {1, 3, 1, 3}, {2, 7, 2, 7}, {3, 1, 2, 1}, {5, -4, 2, 0},
        {std::numeric_limits<std::int16_t>::min(), std::numeric_limits<std::int16_t>::min(), 0, 0},
        {std::numeric_limits<std::int16_t>::max(), std::numeric_limits<std::int16_t>::max(), 2,
         std::numeric_limits<std::int16_t>::max()},
    };
    for (const Case& c : cases) {
        const ButtonImageSettings s = ClampImageSettings(c.drawMode, 1, c.focusMargin);
        EXPECT_EQ(s.drawMode, c.wantMode) << c.drawMode;
        EXPECT_EQ(s.focusMargin, c.wantMargin) << c.focusMargin;
    }
    // The border is a flag and is kept as given.
    EXPECT_EQ(ClampImageSettings(0, 0, 0).border, 0);
    EXPECT_EQ(ClampImageSettings(0, -1, 0).border, -1);
    EXPECT_EQ(ClampImageSettings(0, 1, 0).border, 1);
}

TEST(SkinnedButtonImages, DisabledFaceFallsBackToASecondNormalFace) {
    EXPECT_EQ(DisabledImageSource(143, 150), 150);
    EXPECT_EQ(DisabledImageSource(143, 0), 143);
    EXPECT_EQ(DisabledImageSource(0, 0), 0);
    EXPECT_EQ(DisabledImageSource(0, 150), 150);
}

TEST(SkinnedButtonFaces, StatesPickTheirPictureOrThePlainFace) {
    const ButtonImagesPresent all{true, true, true, true, true};
    const ButtonImagesPresent ballOnly{true, true, true, false, true};  // as the dialog's balls
    const ButtonImagesPresent none{};

    EXPECT_EQ(SelectButtonFace({}, all), ButtonFace::kNormal);
    EXPECT_EQ(SelectButtonFace({.mouseOver = true}, all), ButtonFace::kOver);
    EXPECT_EQ(SelectButtonFace({.focused = true}, all), ButtonFace::kFocus);
    // Over wins over focus; pressed wins over both; disabled over everything.
    EXPECT_EQ(SelectButtonFace({.mouseOver = true, .focused = true}, all), ButtonFace::kOver);
    EXPECT_EQ(SelectButtonFace({.selected = true, .mouseOver = true, .focused = true}, all), ButtonFace::kPressed);
    EXPECT_EQ(SelectButtonFace({.disabled = true, .selected = true}, all), ButtonFace::kDisabled);

    EXPECT_EQ(SelectButtonFace({.focused = true}, ballOnly), ButtonFace::kNormal);
    EXPECT_EQ(SelectButtonFace({.mouseOver = true}, ballOnly), ButtonFace::kOver);

    EXPECT_EQ(SelectButtonFace({}, none), ButtonFace::kPlain);
    EXPECT_EQ(SelectButtonFace({.selected = true}, none), ButtonFace::kPlain);
    EXPECT_EQ(SelectButtonFace({.disabled = true}, none), ButtonFace::kPlain);
    // Without a normal face the hover and focus faces are not used either.
    EXPECT_EQ(SelectButtonFace({.mouseOver = true}, ButtonImagesPresent{false, true, true, true, true}),
              ButtonFace::kPlain);
    // Missing hover picture: the normal face stays.
    EXPECT_EQ(SelectButtonFace({.mouseOver = true}, ButtonImagesPresent{true, true, false, false, true}),
              ButtonFace::kNormal);
}

TEST(SkinnedButtonFaces, CaptionRectangle) {
    const Rect item{0, 0, 46, 46};
    EXPECT_EQ(CaptionRect(item, 0, false), (Rect{2, 0, 44, 46}));
    EXPECT_EQ(CaptionRect(item, 0, true), (Rect{3, 1, 45, 47}));
    EXPECT_EQ(CaptionRect(item, 4, false), (Rect{6, 0, 40, 46}));
}

}  // namespace
