#pragma once
// How large a stage pixel is on the screen. A screen far bigger than the
// board was made for shows the scene of a smaller screen, each stage pixel
// an s x s block of screen pixels, instead of a small table lost in a corner.

#include <string>

#include "display/geometry.h"

// `Scale` values from 1 to this; 0 stands for `auto`.
inline constexpr int kMaxStageScale = 4;
inline constexpr int kAutoStageScale = 0;
// The smallest stage `auto` leaves.
inline constexpr Size kMinAutoStage{1280, 720};

// "auto" (any case) or a figure from 1 to kMaxStageScale; false for anything
// else.
bool ParseStageScale(const std::string& text, int& scale);

// The largest factor that leaves a stage of at least kMinAutoStage, 1 when
// none does.
int AutoStageScale(Size screen);

// The factor `setting` (kAutoStageScale or 1 to kMaxStageScale) gives on
// `screen`; a fixed factor is lowered where it would leave no stage at all.
int StageScaleFor(int setting, Size screen);

// The stage a screen of `screen` pixels plays at `scale`; the screen
// pixels left over at the right and the bottom stay black.
Size ScaledStage(Size screen, int scale);
