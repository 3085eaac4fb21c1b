#include "display/stage_scale.h"

#include <algorithm>

bool ParseStageScale(const std::string& text, int& scale) {
    std::string lower = text;
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    if (lower == "auto") {
        scale = kAutoStageScale;
        return true;
    }
    if (lower.size() == 1 && lower[0] >= '1' && lower[0] <= '0' + kMaxStageScale) {
        scale = lower[0] - '0';
        return true;
    }
    return false;
}

int AutoStageScale(Size screen) {
    for (int s = kMaxStageScale; s > 1; --s) {
        if (screen.cx / s >= kMinAutoStage.cx && screen.cy / s >= kMinAutoStage.cy) return s;
    }
    return 1;
}

int StageScaleFor(int setting, Size screen) {
    if (setting == kAutoStageScale) return AutoStageScale(screen);
    int s = std::clamp(setting, 1, kMaxStageScale);
    while (s > 1 && (screen.cx / s < 1 || screen.cy / s < 1)) --s;
    return s;
}

Size ScaledStage(Size screen, int scale) {
    const int s = std::max(scale, 1);
    return Size{std::max(screen.cx, 0) / s, std::max(screen.cy, 0) / s};
}
