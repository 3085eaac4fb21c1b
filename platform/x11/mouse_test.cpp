#include "platform/x11/mouse_test.h"

#include <cstdlib>

MouseTestReference theMouseTestReference;

bool MouseTestCloses(MouseTestReference& reference, Point cursor) {
    if (!reference.haveFirstCursorPos) {
        reference.firstCursorPos = cursor;
        reference.haveFirstCursorPos = true;
        return false;
    }
    const long distance = std::labs(static_cast<long>(cursor.x) - reference.firstCursorPos.x) +
                          std::labs(static_cast<long>(cursor.y) - reference.firstCursorPos.y);
    return distance > kMouseMoveTolerance;
}

void NudgeCursor(const std::function<Point()>& getCursorPos, const std::function<void(Point)>& setCursorPos) {
    Point p = getCursorPos();
    p.x += 1;
    p.y += 1;
    setCursorPos(p);
    const Point q = getCursorPos();
    if (q.x != p.x && q.y != p.y) p.x -= 2;
    p.y -= 2;
    setCursorPos(p);
}
