#include "display/change_tracking_canvas.h"

#include <algorithm>

namespace {

constexpr std::size_t kMaxPieces = 32;

bool Empty(const Rect& r) { return r.right <= r.left || r.bottom <= r.top; }

bool Overlap(const Rect& a, const Rect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

Rect Union(const Rect& a, const Rect& b) {
    return Rect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

}  // namespace

void ChangeTrackingCanvas::Note(const Rect& rect) {
    if (!Empty(rect)) changed_.push_back(rect);
}

void ChangeTrackingCanvas::DrawText(const std::string& text, const Rect& rect, unsigned format) {
    Note(rect);
    inner_.DrawText(text, rect, format);
}

void ChangeTrackingCanvas::FillRect(const Rect& rect, ColorRef color) {
    Note(rect);
    inner_.FillRect(rect, color);
}

int ChangeTrackingCanvas::SetDIBitsToDevice(int x, int y, int width, int height, int srcX, int srcY,
                                            const DibImage& image) {
    Note(Rect{x, y, x + width, y + height});
    return inner_.SetDIBitsToDevice(x, y, width, height, srcX, srcY, image);
}

int ChangeTrackingCanvas::StretchDIBits(int x, int y, int width, int height, int srcX, int srcY, int srcWidth,
                                        int srcHeight, const DibImage& image) {
    // A negative extent mirrors the picture: the rectangle runs the other way.
    Note(Rect{std::min(x, x + width), std::min(y, y + height), std::max(x, x + width), std::max(y, y + height)});
    return inner_.StretchDIBits(x, y, width, height, srcX, srcY, srcWidth, srcHeight, image);
}

std::vector<Rect> ChangeTrackingCanvas::Take(const Rect& bounds) {
    std::vector<Rect> pieces;
    for (Rect r : changed_) {
        r = Rect{std::max(r.left, bounds.left), std::max(r.top, bounds.top), std::min(r.right, bounds.right),
                 std::min(r.bottom, bounds.bottom)};
        if (Empty(r)) continue;
        // Merged until it overlaps nothing kept, so no pixel is sent twice.
        for (bool merged = true; merged;) {
            merged = false;
            for (auto it = pieces.begin(); it != pieces.end(); ++it) {
                if (Overlap(*it, r)) {
                    r = Union(*it, r);
                    pieces.erase(it);
                    merged = true;
                    break;
                }
            }
        }
        pieces.push_back(r);
    }
    changed_.clear();
    if (pieces.size() > kMaxPieces) {
        Rect all = pieces.front();
        for (const Rect& r : pieces) all = Union(all, r);
        pieces.assign(1, all);
    }
    return pieces;
}
