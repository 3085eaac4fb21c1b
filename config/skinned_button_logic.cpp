#include "config/skinned_button_logic.h"

std::uint32_t ButtonKindFromStyle(std::uint32_t style) {
    const std::uint32_t s = style & 0xFFu;
    if ((s & 3u) == 3u) return kBsCheckBox;
    if ((s & 9u) == 9u) return kBsRadioButton;
    return kBsPushButton;
}

ButtonImageSettings ClampImageSettings(std::int16_t drawMode, std::int16_t border, std::int16_t focusMargin) {
    ButtonImageSettings out;
    out.drawMode = drawMode < 0 ? std::int16_t{0} : (drawMode > 2 ? std::int16_t{2} : drawMode);
    out.border = border;
    out.focusMargin = focusMargin < 0 ? std::int16_t{0} : focusMargin;
    return out;
}

std::uint16_t DisabledImageSource(std::uint16_t normalId, std::uint16_t disabledId) {
    return disabledId != 0 ? disabledId : normalId;
}

ButtonFace SelectButtonFace(const ButtonFaceState& state, const ButtonImagesPresent& images) {
    if (state.disabled) return images.disabled ? ButtonFace::kDisabled : ButtonFace::kPlain;
    if (state.selected) return images.pressed ? ButtonFace::kPressed : ButtonFace::kPlain;
    if (!images.normal) return ButtonFace::kPlain;
    if (state.mouseOver && images.over) return ButtonFace::kOver;
    if (state.focused && images.focus) return ButtonFace::kFocus;
    return ButtonFace::kNormal;
}

Rect CaptionRect(const Rect& item, int focusMargin, bool pressed) {
    Rect t{item.left + focusMargin + 2, item.top, item.right - focusMargin - 2, item.bottom};
    if (pressed) {
        t.left += 1;
        t.top += 1;
        t.right += 1;
        t.bottom += 1;
    }
    return t;
}
