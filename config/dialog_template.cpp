#include "config/dialog_template.h"

#include <climits>

#include "config/skinned_button_logic.h"

namespace {
constexpr std::uint32_t kChildVisible = kWsChild | kWsVisible;
}

const TemplateControl kSettingsControls[kSettingsControlCount] = {
    {kIdOk, "BUTTON", "OK", kChildVisible | kBsDefPushButton | kWsTabStop, 294, 5, 36, 29},
    {kIdCancel, "BUTTON", "Cancel", kChildVisible | kBsPushButton | kWsTabStop, 294, 100, 36, 29},
    {kIdInfoLabel, "STATIC", "Info", kChildVisible | kSsLeft | kWsGroup, 5, 95, 175, 60},
    {kIdChampionshipList, "COMBOBOX", nullptr,
     kChildVisible | kCbsDropDownList | kCbsSort | kWsVScroll | kWsTabStop, 195, 14, 93, 116},
    {kIdChampionshipLabel, "STATIC", "Champ:", kChildVisible | kSsLeft | kWsGroup, 195, 6, 60, 8},
    // Club and rotation came later: they follow in the tab order and take
    // the free part of the picture under the championship.
    {kIdClubLabel, "STATIC", "Club:", kChildVisible | kSsLeft | kWsGroup, 195, 34, 60, 8},
    {kIdClubBox, "COMBOBOX", nullptr, kChildVisible | kCbsDropDown | kCbsAutoHScroll | kWsVScroll | kWsTabStop, 195,
     42, 93, 100},
    {kIdRotationLabel, "STATIC", "Rotation:", kChildVisible | kSsLeft | kWsGroup, 195, 62, 60, 8},
    {kIdRotationList, "LISTBOX", nullptr,
     kChildVisible | kLbsNotify | kLbsMultipleSel | kLbsNoIntegralHeight | kWsVScroll | kWsBorder | kWsTabStop, 195,
     70, 93, 86},
};

const TemplateControl* FindTemplateControl(int id) {
    for (const TemplateControl& c : kSettingsControls) {
        if (c.id == id) return &c;
    }
    return nullptr;
}

std::int32_t MulDiv(std::int32_t number, std::int32_t numerator, std::int32_t denominator) {
    if (denominator == 0) return -1;
    const std::int64_t product = static_cast<std::int64_t>(number) * numerator;
    std::int64_t d = denominator;
    std::int64_t p = product;
    if (d < 0) {
        d = -d;
        p = -p;
    }
    const std::int64_t half = d / 2;
    const std::int64_t result = p >= 0 ? (p + half) / d : (p - half) / d;
    if (result > INT_MAX || result < -INT_MAX) return -1;
    return static_cast<std::int32_t>(result);
}

Rect ControlRectInPixels(const TemplateControl& control, int baseUnitX, int baseUnitY) {
    const std::int32_t x = MulDiv(control.x, baseUnitX, 4);
    const std::int32_t y = MulDiv(control.y, baseUnitY, 8);
    return Rect{x, y, x + MulDiv(control.cx, baseUnitX, 4), y + MulDiv(control.cy, baseUnitY, 8)};
}

Size DialogSizeInPixels(int baseUnitX, int baseUnitY) {
    return Size{MulDiv(kSettingsDialogWidthDu, baseUnitX, 4), MulDiv(kSettingsDialogHeightDu, baseUnitY, 8)};
}
