#pragma once
// The parts of the skinned button's behaviour that need no window: how its
// template style decides what kind of button it is, what SetImages keeps of
// its arguments, and which face a state shows.

#include <cstdint>

#include "display/geometry.h"

// Button styles of a dialog template (the low byte of the window style).
inline constexpr std::uint32_t kBsPushButton = 0x0;
inline constexpr std::uint32_t kBsDefPushButton = 0x1;
inline constexpr std::uint32_t kBsCheckBox = 0x2;
inline constexpr std::uint32_t kBsAutoCheckBox = 0x3;
inline constexpr std::uint32_t kBsRadioButton = 0x4;
inline constexpr std::uint32_t kBs3State = 0x5;
inline constexpr std::uint32_t kBsAuto3State = 0x6;
inline constexpr std::uint32_t kBsGroupBox = 0x7;
inline constexpr std::uint32_t kBsUserButton = 0x8;
inline constexpr std::uint32_t kBsAutoRadioButton = 0x9;
inline constexpr std::uint32_t kBsPushBox = 0xA;
inline constexpr std::uint32_t kBsOwnerDraw = 0xB;

// kBsPushButton, kBsCheckBox or kBsRadioButton. Only the automatic check box
// and radio button styles toggle by themselves; the bit tests make group
// boxes and owner-drawn buttons check boxes too, and every other style a
// push button.
std::uint32_t ButtonKindFromStyle(std::uint32_t style);

// SetImages' arguments after its clamps.
struct ButtonImageSettings {
    std::int16_t drawMode = 1;    // 0 one to one, 1 stretched, 2 tiled
    std::int32_t border = 0;      // draw a 3-D edge around the face
    std::int16_t focusMargin = 0; // never negative
};
ButtonImageSettings ClampImageSettings(std::int16_t drawMode, std::int16_t border, std::int16_t focusMargin);

// The disabled face is loaded from its own id, else as a second copy of the
// normal face; 0 when there is neither.
std::uint16_t DisabledImageSource(std::uint16_t normalId, std::uint16_t disabledId);

// Which picture a button paints for a state. kPlain is the plain button
// face colour, used when the picture the state asks for is missing.
enum class ButtonFace { kPlain, kNormal, kPressed, kOver, kFocus, kDisabled };

struct ButtonFaceState {
    bool disabled = false;
    bool selected = false;  // held down, or checked
    bool mouseOver = false;
    bool focused = false;
};
struct ButtonImagesPresent {
    bool normal = false, pressed = false, over = false, focus = false, disabled = false;
};
ButtonFace SelectButtonFace(const ButtonFaceState& state, const ButtonImagesPresent& images);

// The rectangle the caption is centred in: the item rectangle narrowed by the
// focus margin and 2 pixels on each side, moved by (1, 1) while pressed.
Rect CaptionRect(const Rect& item, int focusMargin, bool pressed);
