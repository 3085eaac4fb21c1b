// Pictures on the software canvas: device-independent bitmaps copied as
// SetDIBitsToDevice and StretchDIBits do, their colour tables converted once
// and kept for the pictures drawn again.
#include "platform/soft/soft_canvas.h"

#include "display/dib_image.h"
#include "platform/soft/soft_canvas_parts.h"

using namespace softcanvas;

// A validated view of a DibImage's header, colour table and rows.
struct SoftCanvas::DibView {
    int width = 0;
    int height = 0;  // rows, always positive
    bool topDown = false;
    int bitCount = 0;
    std::size_t rowSize = 0;
    const std::uint8_t* bits = nullptr;
    // Set by LoadTable, 256 entries: a picture the stage draws again where
    // it stands is skipped before its colours are needed.
    const std::uint32_t* table = nullptr;
    int tableSize = 0;
    const std::uint8_t* quads = nullptr;  // the colour table in the header

    bool Open(const DibImage& image) {
        const std::vector<std::uint8_t>& info = image.info();
        if (info.size() < sizeof(BitmapInfoHeader)) return false;
        BitmapInfoHeader h;
        std::memcpy(&h, info.data(), sizeof h);
        if (h.biSize < sizeof(BitmapInfoHeader) || h.biSize > info.size()) return false;
        if (h.biCompression != 0) return false;
        if (h.biBitCount != 1 && h.biBitCount != 4 && h.biBitCount != 8 && h.biBitCount != 24 &&
            h.biBitCount != 32)
            return false;
        if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == std::numeric_limits<std::int32_t>::min())
            return false;
        width = h.biWidth;
        topDown = h.biHeight < 0;
        height = topDown ? -h.biHeight : h.biHeight;
        bitCount = h.biBitCount;
        std::uint64_t row = ((static_cast<std::uint64_t>(width) * bitCount + 31) / 32) * 4;
        std::uint64_t need = row * static_cast<std::uint64_t>(height);
        if (need > image.bits().size()) return false;
        rowSize = static_cast<std::size_t>(row);
        bits = image.bits().data();
        if (bitCount <= 8) {
            std::uint32_t count = 1u << bitCount;
            if (h.biClrUsed != 0 && h.biClrUsed < count) count = h.biClrUsed;
            std::size_t available = (info.size() - h.biSize) / sizeof(RgbQuad);
            if (count > available) count = static_cast<std::uint32_t>(available);
            tableSize = static_cast<int>(count);
            quads = info.data() + h.biSize;
        }
        return true;
    }

    // The table from one of the canvas's palettes, converted again only
    // when no palette was made from the same header bytes. Indices past the
    // table's end give black, so that a row is converted without a test per
    // pixel.
    void LoadTable(Palette* palettes, unsigned& next) {
        if (bitCount > 8) return;
        const std::size_t bytes = 4 * static_cast<std::size_t>(tableSize);
        for (unsigned k = 0; k < kPalettes; ++k) {
            if (palettes[k].size == tableSize && std::memcmp(palettes[k].quads, quads, bytes) == 0) {
                table = palettes[k].pixels;
                return;
            }
        }
        Palette& p = palettes[next];
        next = (next + 1) % kPalettes;
        std::memcpy(p.quads, quads, bytes);
        p.size = tableSize;
        for (int i = 0; i < tableSize; ++i) {
            const std::uint8_t* q = quads + 4 * static_cast<std::size_t>(i);
            p.pixels[i] = (static_cast<std::uint32_t>(q[2]) << 16) | (static_cast<std::uint32_t>(q[1]) << 8) | q[0];
        }
        std::fill(p.pixels + tableSize, p.pixels + 256, 0u);
        table = p.pixels;
    }

    // Columns [x0, x1) of row y counted from the top into out[0 ..).
    void Row(int x0, int x1, int y, std::uint32_t* out) const {
        const std::uint8_t* row = bits + rowSize * static_cast<std::size_t>(topDown ? y : height - 1 - y);
        switch (bitCount) {
            case 8:
                for (int x = x0; x < x1; ++x) *out++ = table[row[x]];
                return;
            case 24:
            case 32: {
                const int step = bitCount / 8;
                for (int x = x0; x < x1; ++x) {
                    const std::uint8_t* p = row + step * static_cast<std::size_t>(x);
                    *out++ = (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[1]) << 8) | p[0];
                }
                return;
            }
            default:
                for (int x = x0; x < x1; ++x) *out++ = Pixel(x, y);
        }
    }

    // Column x of row y counted from the top.
    std::uint32_t Pixel(int x, int y) const {
        const std::uint8_t* row = bits + rowSize * static_cast<std::size_t>(topDown ? y : height - 1 - y);
        unsigned index = 0;
        switch (bitCount) {
            case 1: index = (row[x >> 3] >> (7 - (x & 7))) & 1u; break;
            case 4: index = (x & 1) ? (row[x >> 1] & 0x0Fu) : (row[x >> 1] >> 4); break;
            case 8: index = row[x]; break;
            case 24: {
                const std::uint8_t* p = row + 3 * static_cast<std::size_t>(x);
                return (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[1]) << 8) | p[0];
            }
            default: {
                const std::uint8_t* p = row + 4 * static_cast<std::size_t>(x);
                return (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[1]) << 8) | p[0];
            }
        }
        return table[index];
    }
};

int SoftCanvas::SetDIBitsToDevice(int x, int y, int width, int height, int srcX, int srcY,
                                  const DibImage& image) {
    DibView dib;
    if (!dib.Open(image)) return 0;
    if (width <= 0 || height <= 0) return 0;
    const std::int64_t h = dib.height;
    // The section's top row, counted from the top of the picture: the source
    // y names its bottom row counted from the bottom.
    const std::int64_t top = h - (static_cast<std::int64_t>(srcY) + height);
    int lines = dib.height;
    if (top > 0) {
        if (top >= h) return dib.topDown ? lines : 0;
        if (!dib.topDown) lines = static_cast<int>(h - top);
    }
    const std::int64_t sx0 = std::max<std::int64_t>(srcX, 0);
    const std::int64_t sx1 = std::min<std::int64_t>(static_cast<std::int64_t>(srcX) + width, dib.width);
    const std::int64_t sy0 = std::max<std::int64_t>(top, 0);
    const std::int64_t sy1 = std::min<std::int64_t>(top + height, h);
    if (sx0 >= sx1 || sy0 >= sy1) return 0;

    // Source pixel (sx, sy) lands on (x + sx - srcX, y + sy - top).
    const std::int64_t dx = static_cast<std::int64_t>(x) - srcX;
    const std::int64_t dy = static_cast<std::int64_t>(y) - top;
    const std::int64_t cx0 = std::max<std::int64_t>(sx0 + dx, 0), cx1 = std::min<std::int64_t>(sx1 + dx, width_);
    const std::int64_t cy0 = std::max<std::int64_t>(sy0 + dy, 0), cy1 = std::min<std::int64_t>(sy1 + dy, height_);
    if (cx0 >= cx1 || cy0 >= cy1) return lines;
    const Rect covered{static_cast<int>(cx0), static_cast<int>(cy0), static_cast<int>(cx1), static_cast<int>(cy1)};

    // The stage's pictures are loaded once and never change while they are
    // shown: the picture's storage names its pixels.
    DrawKey key;
    std::uint64_t hash = 0;
    const bool memo = skipRepeats_ && !tiles_.empty();
    if (memo) {
        key.words[0] = 2;
        key.words[1] = reinterpret_cast<std::uintptr_t>(&image);
        key.words[2] = reinterpret_cast<std::uintptr_t>(image.bits().data());
        key.words[3] = image.bits().size();
        key.words[4] = reinterpret_cast<std::uintptr_t>(image.info().data());
        key.words[5] = image.info().size();
        key.words[6] = (static_cast<std::uint64_t>(static_cast<std::uint32_t>(x)) << 32) | static_cast<std::uint32_t>(y);
        key.words[7] = (static_cast<std::uint64_t>(static_cast<std::uint32_t>(srcX)) << 48) ^
                       (static_cast<std::uint64_t>(static_cast<std::uint32_t>(srcY)) << 32) ^
                       (static_cast<std::uint64_t>(static_cast<std::uint32_t>(width)) << 16) ^
                       static_cast<std::uint32_t>(height);
        hash = key.Hash();
        if (const Memo* m = Recall(key, hash); m != nullptr && StillOnCanvas(*m) && m->covered == covered) {
            Keep(*m, hash);
            ++skipped_;
            return lines;
        }
    }

    if (!palettes_) palettes_ = std::make_unique<Palette[]>(kPalettes);
    dib.LoadTable(palettes_.get(), nextPalette_);
    Prefetch(covered, covered);
    if (rowScratch_.size() < static_cast<std::size_t>(cx1 - cx0)) rowScratch_.resize(static_cast<std::size_t>(cx1 - cx0));
    std::int64_t x0 = cx1, x1 = cx0;
    int y0 = covered.bottom, y1 = covered.top;
    for (std::int64_t py = cy0; py < cy1; ++py) {
        std::uint32_t* row = pixels_ + static_cast<std::size_t>(py) * Stride();
        const int sy = static_cast<int>(py - dy);
        std::uint32_t* src = rowScratch_.data();
        dib.Row(static_cast<int>(cx0 - dx), static_cast<int>(cx1 - dx), sy, src);
        // Only the span from the first to the last differing pixel is
        // copied; what lies between and is equal stays equal.
        std::int64_t first = cx0, last = cx1;
        while (first < last && row[first] == src[first - cx0]) ++first;
        while (last > first && row[last - 1] == src[last - 1 - cx0]) --last;
        if (first < last) {
            std::memcpy(row + first, src + (first - cx0), static_cast<std::size_t>(last - first) * sizeof *row);
            x0 = std::min(x0, first);
            x1 = std::max(x1, last);
            y0 = std::min(y0, static_cast<int>(py));
            y1 = static_cast<int>(py) + 1;
        }
    }
    Rect touched;
    Include(touched, static_cast<int>(x0), y0, static_cast<int>(x1), y1);
    Changed(touched);
    if (memo) Remember(key, hash, covered);
    return lines;
}

int SoftCanvas::StretchDIBits(int x, int y, int width, int height, int srcX, int srcY, int srcWidth,
                              int srcHeight, const DibImage& image) {
    DibView dib;
    if (!dib.Open(image)) return 0;
    if (!palettes_) palettes_ = std::make_unique<Palette[]>(kPalettes);
    dib.LoadTable(palettes_.get(), nextPalette_);
    if (width == 0 || height == 0 || srcWidth == 0 || srcHeight == 0) return 0;
    const std::int64_t h = dib.height;
    std::int64_t sy = srcY;
    const bool fromOrigin = srcX == 0 && srcY == 0 && srcWidth == width && srcHeight == height;
    // Bottom-up pictures count the source y from the bottom; a top-down one
    // does so too unless it is copied whole and unscaled.
    if (!dib.topDown || !fromOrigin) sy = h - sy - srcHeight;
    const Rect src = BoundingRect(srcX, sy, srcWidth, srcHeight);
    const Rect visibleSrc = Intersect(src, Rect{0, 0, dib.width, dib.height});
    if (visibleSrc.IsEmpty()) return 0;

    const Rect dst = BoundingRect(x, y, width, height);
    const Rect visibleDst = Intersect(dst, Bounds());
    if (visibleDst.IsEmpty()) return dib.height;
    const bool mirrorX = (width < 0) != (srcWidth < 0);
    const bool mirrorY = (height < 0) != (srcHeight < 0);
    const std::int64_t dw = dst.Width(), dh = dst.Height(), sw = src.Width(), shgt = src.Height();

    for (int py = visibleDst.top; py < visibleDst.bottom; ++py) {
        std::int64_t k = py - dst.top;
        if (mirrorY) k = dh - 1 - k;
        const std::int64_t ty = src.top + k * shgt / dh;
        if (ty < 0 || ty >= h) continue;
        std::uint32_t* row = pixels_ + static_cast<std::size_t>(py) * Stride();
        for (int px = visibleDst.left; px < visibleDst.right; ++px) {
            std::int64_t j = px - dst.left;
            if (mirrorX) j = dw - 1 - j;
            const std::int64_t tx = src.left + j * sw / dw;
            if (tx < 0 || tx >= dib.width) continue;
            row[px] = dib.Pixel(static_cast<int>(tx), static_cast<int>(ty));
        }
    }
    Changed(visibleDst);
    return dib.height;
}
