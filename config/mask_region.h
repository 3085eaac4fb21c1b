#pragma once
// The shape of a skinned button: the rectangles that make up the region of
// every pixel of a mask that is not the transparent colour. The Windows
// button unites them into its window region; the GTK button makes its input
// shape and its clip from the same list.

#include <functional>
#include <vector>

#include "display/geometry.h"

class DibImage;

// What GetPixel answers outside a bitmap.
inline constexpr ColorRef kInvalidColor = 0xFFFFFFFFu;

// Colour of one pixel, x from the left, y from the top.
using PixelReader = std::function<ColorRef(int x, int y)>;

// Scans rows from the bottom (y = height - 1) up to y = 0 and each row from
// x = 0; every maximal run of pixels whose 24-bit colour differs from
// `transparent` gives (x0, y, x1 + 1, y + 1). Runs never span rows, and the
// rectangles come in scan order. Nothing for a non-positive size.
std::vector<Rect> RegionRectsFromPixels(int width, int height, const PixelReader& pixelAt,
                                        ColorRef transparent);

// The colour of a pixel of a loaded picture, as GetPixel reads it from the
// bitmap selected into a memory context (colour-table entry or direct RGB);
// kInvalidColor outside the picture or when nothing is loaded.
ColorRef DibPixelAt(const DibImage& image, int x, int y);

// RegionRectsFromPixels over a loaded picture; nothing when it has no pixels.
std::vector<Rect> RegionRectsFromDib(const DibImage& mask, ColorRef transparent);

// Whether (x, y) lies in one of the rectangles (right and bottom edges excluded).
bool RegionContains(const std::vector<Rect>& rects, int x, int y);
