#pragma once
// The rules by which mouse input closes the full-screen saver, apart from
// the X calls that feed them.

#include <functional>

#include "display/geometry.h"

// Where the cursor was at the first mouse event of the process (a motion, or
// a loss of focus). It is never moved, so small movements add up until the
// saver closes.
struct MouseTestReference {
    Point firstCursorPos;
    bool haveFirstCursorPos = false;
};
extern MouseTestReference theMouseTestReference;

// More than this many pixels (horizontal plus vertical distance from the
// reference point) close the full-screen saver.
inline constexpr int kMouseMoveTolerance = 5;

// The first call only records `cursor`; later calls tell whether `cursor`
// is more than the tolerance away from that first position.
bool MouseTestCloses(MouseTestReference& reference, Point cursor);

// Moves the cursor off the clicked spot before the saver closes: one pixel
// right and one up, or one left and one up where the screen edge refuses the
// move on both axes (the lower right corner).
void NudgeCursor(const std::function<Point()>& getCursorPos, const std::function<void(Point)>& setCursorPos);
