#include "config/mask_region.h"

#include "display/dib_image.h"

std::vector<Rect> RegionRectsFromPixels(int width, int height, const PixelReader& pixelAt,
                                        ColorRef transparent) {
    std::vector<Rect> rects;
    if (width <= 0 || height <= 0 || !pixelAt) return rects;
    const ColorRef key = transparent & 0xFFFFFFu;
    for (int y = height - 1; y >= 0; --y) {
        int runStart = -1;
        for (int x = 0; x < width; ++x) {
            const bool inside = (pixelAt(x, y) & 0xFFFFFFu) != key;
            if (inside && runStart < 0) {
                runStart = x;
            } else if (!inside && runStart >= 0) {
                rects.push_back(Rect{runStart, y, x, y + 1});
                runStart = -1;
            }
        }
        if (runStart >= 0) rects.push_back(Rect{runStart, y, width, y + 1});
    }
    return rects;
}

ColorRef DibPixelAt(const DibImage& image, int x, int y) {
    const BitmapInfoHeader* h = image.header();
    if (!h || !image.HasBits()) return kInvalidColor;
    const int width = image.GetWidth();
    const int height = image.GetHeight();
    if (x < 0 || y < 0 || x >= width || y >= height) return kInvalidColor;

    // Loaded pictures are always stored bottom-up.
    const std::size_t row = static_cast<std::size_t>(height - 1 - y);
    const std::size_t offset = row * image.RowSize();
    const std::vector<std::uint8_t>& bits = image.bits();
    const unsigned bitCount = h->biBitCount;
    const std::size_t xs = static_cast<std::size_t>(x);

    if (bitCount == 24) {
        const std::size_t p = offset + xs * 3;
        if (p + 2 >= bits.size()) return kInvalidColor;
        return Rgb(bits[p + 2], bits[p + 1], bits[p]);
    }
    unsigned index = 0;
    if (bitCount == 8) {
        if (offset + xs >= bits.size()) return kInvalidColor;
        index = bits[offset + xs];
    } else if (bitCount == 4) {
        if (offset + xs / 2 >= bits.size()) return kInvalidColor;
        const std::uint8_t b = bits[offset + xs / 2];
        index = (xs % 2 == 0) ? (b >> 4) : (b & 0x0Fu);
    } else if (bitCount == 1) {
        if (offset + xs / 8 >= bits.size()) return kInvalidColor;
        index = (bits[offset + xs / 8] >> (7 - xs % 8)) & 1u;
    } else {
        return kInvalidColor;
    }
    if (static_cast<int>(index) >= image.ColorCount()) return 0;
    const RgbQuad& q = image.colors()[index];
    return Rgb(q.rgbRed, q.rgbGreen, q.rgbBlue);
}

std::vector<Rect> RegionRectsFromDib(const DibImage& mask, ColorRef transparent) {
    if (!mask.HasBits()) return {};
    return RegionRectsFromPixels(
        mask.GetWidth(), mask.GetHeight(), [&mask](int x, int y) { return DibPixelAt(mask, x, y); },
        transparent);
}

bool RegionContains(const std::vector<Rect>& rects, int x, int y) {
    for (const Rect& r : rects) {
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
    }
    return false;
}
