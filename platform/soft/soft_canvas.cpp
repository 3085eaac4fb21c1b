// The canvas itself: its pixels, in memory of its own or lent by a
// presenter, and the fills; text, pictures and the record of change have
// files of their own.
#include "platform/soft/soft_canvas.h"

#include <algorithm>

#include "platform/soft/soft_canvas_parts.h"
#include "platform/soft/soft_font.h"

using namespace softcanvas;

bool softcanvas::wideSteps = CanStepWide();

namespace {

// Sets row[begin, end) to `pixel`; widens [first, last) by the pixels that
// were different. Rows that differ nowhere are the common case of a
// standing box, hence the test without an early exit, which GCC vectorises.
bool FillSpan(std::uint32_t* row, std::int64_t begin, std::int64_t end, std::uint32_t pixel, std::int64_t& first,
              std::int64_t& last) {
    std::uint32_t differ = 0;
    for (std::int64_t i = begin; i < end; ++i) differ |= row[i] ^ pixel;
    if (differ == 0) return false;
    while (row[begin] == pixel) ++begin;
    while (row[end - 1] == pixel) --end;
    std::fill(row + begin, row + end, pixel);
    first = std::min(first, begin);
    last = std::max(last, end);
    return true;
}

const bool writePrefetch = CanPrefetchForWrite();

template <bool kForWrite>
void PrefetchRows(const std::uint32_t* row, std::size_t stride, int rows, std::size_t first, std::size_t end,
                  std::size_t step) {
    for (int y = 0; y < rows; ++y, row += stride) {
        for (std::size_t x = first; x < end; x += step) {
            if constexpr (kForWrite)
                PrefetchForWrite(row + x);
            else
                __builtin_prefetch(row + x, 0);
        }
    }
}

}  // namespace

SoftCanvas::SoftCanvas(int width, int height, const Font* stockFont) {
    Resize(width, height);
    changed_.clear();
    if (auto* soft = dynamic_cast<const SoftFont*>(stockFont)) face_ = soft->Face();
}

SoftCanvas::~SoftCanvas() = default;

bool SoftCanvas::SetWideSteps(bool on) {
    wideSteps = on && CanStepWide();
    return wideSteps;
}

std::uint32_t SoftCanvas::ToPixel(ColorRef color) { return PixelOf(color); }

ColorRef SoftCanvas::ToColorRef(std::uint32_t pixel) {
    return Rgb((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

std::uint32_t SoftCanvas::PixelAt(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    return pixels_[static_cast<std::size_t>(y) * Stride() + static_cast<std::size_t>(x)];
}

void SoftCanvas::Adopt(std::uint32_t* pixels, int width, int height, std::size_t stride) {
    pixels_ = pixels;
    width_ = width;
    height_ = height;
    stride_ = stride;
    for (int y = 0; y < height_; ++y) std::fill_n(pixels_ + static_cast<std::size_t>(y) * stride_, width_, 0u);
    tilesX_ = (width_ + (1 << kTileShift) - 1) >> kTileShift;
    const int tilesY = (height_ + (1 << kTileShift) - 1) >> kTileShift;
    tiles_.assign(static_cast<std::size_t>(tilesX_) * static_cast<std::size_t>(tilesY), 0);
    tileRows_.assign(static_cast<std::size_t>(tilesY), 0);
    changes_ = 1;  // above every tile
    ForgetDraws();
    changed_.clear();
    MarkChanged(Bounds());
}

void SoftCanvas::Resize(int width, int height) {
    width = std::max(0, width);
    height = std::max(0, height);
    own_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0u);
    Adopt(own_.data(), width, height, static_cast<std::size_t>(width));
}

void SoftCanvas::UseMemory(std::uint32_t* pixels, int width, int height, std::size_t stride) {
    own_.clear();
    own_.shrink_to_fit();
    if (pixels == nullptr || width <= 0 || height <= 0 || stride < static_cast<std::size_t>(width)) {
        Adopt(nullptr, 0, 0, 0);
        return;
    }
    Adopt(pixels, width, height, stride);
}

void SoftCanvas::Clear(ColorRef color) {
    const std::uint32_t pixel = PixelOf(color);
    for (int y = 0; y < height_; ++y) std::fill_n(pixels_ + static_cast<std::size_t>(y) * stride_, width_, pixel);
    changed_.clear();
    Changed(Bounds());
}

void SoftCanvas::SetSkipRepeatedDraws(bool on) {
    skipRepeats_ = on;
    ForgetDraws();
}

void SoftCanvas::Prefetch(const Rect& rect, const Rect& clip) const {
    const Rect r = Intersect(rect, clip);
    if (r.IsEmpty()) return;
    // Between frames other programs have the caches: a draw's rows are asked
    // for all at once, so that their misses overlap instead of queueing one
    // behind the other as the glyphs reach them. Large areas are left to the
    // processor, which sees long rows coming by itself.
    constexpr std::size_t kLineWords = 64 / sizeof(std::uint32_t);
    constexpr std::int64_t kMaxLines = 1024;
    if (static_cast<std::int64_t>(r.Height()) * (r.Width() / static_cast<int>(kLineWords) + 1) > kMaxLines) return;
    const std::size_t first = static_cast<std::size_t>(r.left) & ~(kLineWords - 1);
    const std::uint32_t* row = pixels_ + static_cast<std::size_t>(r.top) * Stride();
    if (writePrefetch)
        PrefetchRows<true>(row, Stride(), r.Height(), first, static_cast<std::size_t>(r.right), kLineWords);
    else
        PrefetchRows<false>(row, Stride(), r.Height(), first, static_cast<std::size_t>(r.right), kLineWords);
}

void SoftCanvas::FillClipped(const Rect& rect, const Rect& clip, std::uint32_t pixel, Rect& touched, Rect* covered) {
    Rect r = Intersect(rect, clip);
    if (r.IsEmpty()) return;
    if (covered != nullptr) Include(*covered, r);
    Prefetch(r, r);
    // Only what differs counts as changed: a box filled again in its own
    // colour each frame reports nothing to present.
    std::int64_t x0 = r.right, x1 = r.left;
    int y0 = r.bottom, y1 = r.top;
    for (int y = r.top; y < r.bottom; ++y) {
        std::uint32_t* row = pixels_ + static_cast<std::size_t>(y) * Stride();
        if (!FillSpan(row, r.left, r.right, pixel, x0, x1)) continue;
        y0 = std::min(y0, y);
        y1 = y + 1;
    }
    Include(touched, static_cast<int>(x0), y0, static_cast<int>(x1), y1);
}

void SoftCanvas::FillRect(const Rect& rect, ColorRef color) {
    Rect touched;
    FillClipped(BoundingRect(rect.left, rect.top, static_cast<std::int64_t>(rect.right) - rect.left,
                             static_cast<std::int64_t>(rect.bottom) - rect.top),
                Bounds(), PixelOf(color), touched);
    Changed(touched);
}
