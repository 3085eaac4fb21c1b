#pragma once
// The settings dialog's template as data: the dialog's size and each
// control's id, class, text, style and rectangle in dialog units, and the
// conversion of dialog units to pixels. The Windows resource script states
// the same template; the GTK dialog lays itself out from this table.

#include <cstdint>

#include "display/geometry.h"

inline constexpr int kSettingsDialogTemplateId = 102;
inline constexpr int kApplicationIconId = 128;

// Control ids.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdInfoLabel = 1000;
inline constexpr int kIdChampionshipList = 1003;
inline constexpr int kIdChampionshipLabel = 1020;
inline constexpr int kIdClubBox = 1004;
inline constexpr int kIdRotationList = 1005;
inline constexpr int kIdClubLabel = 1021;
inline constexpr int kIdRotationLabel = 1022;

// Window style bits the template uses.
inline constexpr std::uint32_t kWsPopup = 0x80000000u;
inline constexpr std::uint32_t kWsChild = 0x40000000u;
inline constexpr std::uint32_t kWsVisible = 0x10000000u;
inline constexpr std::uint32_t kWsCaption = 0x00C00000u;
inline constexpr std::uint32_t kWsVScroll = 0x00200000u;
inline constexpr std::uint32_t kWsBorder = 0x00800000u;
inline constexpr std::uint32_t kWsGroup = 0x00020000u;
inline constexpr std::uint32_t kWsTabStop = 0x00010000u;
inline constexpr std::uint32_t kWsExAppWindow = 0x00040000u;
inline constexpr std::uint32_t kDsSetFont = 0x40u;
inline constexpr std::uint32_t kDsModalFrame = 0x80u;
inline constexpr std::uint32_t kSsLeft = 0x0u;
inline constexpr std::uint32_t kCbsDropDown = 0x2u;
inline constexpr std::uint32_t kCbsDropDownList = 0x3u;
inline constexpr std::uint32_t kCbsAutoHScroll = 0x40u;
inline constexpr std::uint32_t kLbsNotify = 0x1u;
inline constexpr std::uint32_t kLbsMultipleSel = 0x8u;
inline constexpr std::uint32_t kLbsNoIntegralHeight = 0x100u;
inline constexpr std::uint32_t kCbsSort = 0x100u;

inline constexpr std::uint32_t kSettingsDialogStyle = kWsPopup | kWsVisible | kWsCaption | kDsModalFrame | kDsSetFont;
inline constexpr std::uint32_t kSettingsDialogExStyle = kWsExAppWindow;
inline constexpr const char kSettingsDialogCaption[] = "Settings";
inline constexpr const char kSettingsDialogFontFace[] = "MS Sans Serif";
inline constexpr int kSettingsDialogFontPoints = 8;

// The template's size in dialog units.
inline constexpr int kSettingsDialogWidthDu = 336;
inline constexpr int kSettingsDialogHeightDu = 232;

// Dialog base units of MS Sans Serif 8 points at 96 dots per inch, which is
// what the Windows dialog manager scales the template with.
inline constexpr int kDialogBaseUnitX = 6;
inline constexpr int kDialogBaseUnitY = 13;

struct TemplateControl {
    int id;
    const char* className;
    const char* text;    // null when the template gives none
    std::uint32_t style; // with WS_CHILD | WS_VISIBLE
    int x, y, cx, cy;    // dialog units
};

// In template order, which is also the tab order.
inline constexpr int kSettingsControlCount = 9;
extern const TemplateControl kSettingsControls[kSettingsControlCount];

// The entry for an id, or null.
const TemplateControl* FindTemplateControl(int id);

// number * numerator / denominator in 64 bits, rounded half away from zero;
// -1 when the denominator is 0 or the result does not fit, as the Windows
// function of that name answers.
std::int32_t MulDiv(std::int32_t number, std::int32_t numerator, std::int32_t denominator);

// Position and size of a control in pixels, each converted on its own as the
// dialog manager does: x and cx by baseUnitX / 4, y and cy by baseUnitY / 8.
Rect ControlRectInPixels(const TemplateControl& control, int baseUnitX, int baseUnitY);

// The dialog's client size in pixels.
Size DialogSizeInPixels(int baseUnitX, int baseUnitY);
