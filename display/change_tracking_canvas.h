#pragma once
// A canvas that passes every call on and notes where it drew, so that a
// stage drawn off screen can be shown rectangle by rectangle instead of
// whole at every frame.

#include <vector>

#include "display/canvas.h"

class ChangeTrackingCanvas : public Canvas {
public:
    explicit ChangeTrackingCanvas(Canvas& inner) : inner_(inner) {}

    Font* SelectFont(Font* font) override { return inner_.SelectFont(font); }
    void SetTextColor(ColorRef color) override { inner_.SetTextColor(color); }
    void SetBkColor(ColorRef color) override { inner_.SetBkColor(color); }
    void SetBkMode(int mode) override { inner_.SetBkMode(mode); }
    Size GetTextExtent(const std::string& text) override { return inner_.GetTextExtent(text); }
    void DrawText(const std::string& text, const Rect& rect, unsigned format) override;
    void FillRect(const Rect& rect, ColorRef color) override;
    int SetDIBitsToDevice(int x, int y, int width, int height, int srcX, int srcY, const DibImage& image) override;
    int StretchDIBits(int x, int y, int width, int height, int srcX, int srcY, int srcWidth, int srcHeight,
                      const DibImage& image) override;

    // The rectangles drawn into since the last Take, clipped to `bounds`
    // and without empty ones; overlapping ones are merged, and past a few
    // dozen they become their bounding box, which costs less to send than
    // many small pieces.
    std::vector<Rect> Take(const Rect& bounds);

private:
    void Note(const Rect& rect);

    Canvas& inner_;
    std::vector<Rect> changed_;
};
