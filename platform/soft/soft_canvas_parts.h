#pragma once
// What the files of the software canvas share and nobody else uses: the
// rectangle arithmetic, the plain merges of changed rectangles, the placing
// of glyphs, the record of a draw, and the steps over several pixels or
// rectangles at a time that x86 processors with AVX2 take
// (soft_wide_x86.cpp, chosen at run time). Other processors build only the
// plain loops, which give the same pixels and the same changes.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "display/geometry.h"
#include "platform/soft/soft_canvas.h"
#include "platform/soft/soft_font.h"

namespace softcanvas {

inline Rect Intersect(const Rect& a, const Rect& b) {
    Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    if (r.IsEmpty()) return Rect{};
    return r;
}

inline Rect Union(const Rect& a, const Rect& b) {
    return Rect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

inline std::int64_t Area(const Rect& r) {
    if (r.IsEmpty()) return 0;
    return static_cast<std::int64_t>(r.Width()) * r.Height();
}

inline Rect ClampedRect(std::int64_t l, std::int64_t t, std::int64_t r, std::int64_t b) {
    auto clamp = [](std::int64_t v) {
        return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                                                  std::numeric_limits<std::int32_t>::max()));
    };
    return Rect{clamp(l), clamp(t), clamp(r), clamp(b)};
}

// A rectangle given by origin and signed extent, as PatBlt and StretchDIBits
// read it: a negative extent covers the pixels from origin + extent + 1 up to
// the origin itself.
inline Rect BoundingRect(std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h) {
    std::int64_t l = x, r = x + w, t = y, b = y + h;
    if (l > r) {
        std::int64_t tmp = l;
        l = r + 1;
        r = tmp + 1;
    }
    if (t > b) {
        std::int64_t tmp = t;
        t = b + 1;
        b = tmp + 1;
    }
    return ClampedRect(l, t, r, b);
}

inline void Include(Rect& touched, int x0, int y0, int x1, int y1) {
    if (x1 <= x0 || y1 <= y0) return;
    Rect r{x0, y0, x1, y1};
    touched = touched.IsEmpty() ? r : Union(touched, r);
}

inline void Include(Rect& touched, const Rect& r) { Include(touched, r.left, r.top, r.right, r.bottom); }

// Pixels a merged rectangle covers that neither part did, for two non-empty
// rectangles whose areas are known. A busy frame asks this some ten thousand
// times: plain arithmetic, no branch, no call.
[[gnu::always_inline]] inline std::int64_t MergeWaste(const Rect& a, std::int64_t areaA, const Rect& b,
                                                      std::int64_t areaB) {
    const std::int64_t uw = static_cast<std::int64_t>(std::max(a.right, b.right)) - std::min(a.left, b.left);
    const std::int64_t uh = static_cast<std::int64_t>(std::max(a.bottom, b.bottom)) - std::min(a.top, b.top);
    const std::int64_t iw =
        std::max<std::int64_t>(0, static_cast<std::int64_t>(std::min(a.right, b.right)) - std::max(a.left, b.left));
    const std::int64_t ih =
        std::max<std::int64_t>(0, static_cast<std::int64_t>(std::min(a.bottom, b.bottom)) - std::max(a.top, b.top));
    return uw * uh - areaA - areaB + iw * ih;
}

// Whether glyphs are inked and changed rectangles weighed with the wide
// steps: for every canvas of the process.
extern bool wideSteps;

// The changed-rectangle list is searched on every draw that changes pixels:
// up to kMaxChangedRects rectangles a pass, two passes or more a draw.
// With wide steps, four rectangles are weighed at a time, in doubles. These
// are exact while the canvas has fewer than 2^50 pixels: every area is then
// below 2^50 and every sum below 2^53.
constexpr std::int64_t kWideRectsMaxArea = std::int64_t{1} << 50;

inline bool Contains(const Rect& c, const Rect& r) {
    return c.left <= r.left && c.top <= r.top && c.right >= r.right && c.bottom >= r.bottom;
}

// Whether one of c[i .. n) contains r.
inline bool AnyContains(const Rect* c, std::size_t i, std::size_t n, const Rect& r) {
    for (; i < n; ++i)
        if (Contains(c[i], r)) return true;
    return false;
}

// The first of c[i .. n) cheap enough to merge with r, or n.
inline std::size_t FirstMergeable(const Rect* c, std::size_t i, std::size_t n, const Rect& r, std::int64_t area) {
    for (; i < n; ++i) {
        const std::int64_t areaC = Area(c[i]);
        if (MergeWaste(c[i], areaC, r, area) * 4 <= areaC + area) return i;
    }
    return n;
}

// The first of c[i .. n) whose merge with r wastes less than `best`, the
// waste of `partner`, and less than every one before it; else `partner`.
inline std::size_t LeastWaste(const Rect* c, std::size_t i, std::size_t n, const Rect& r, std::int64_t area,
                              std::size_t partner = 0, std::int64_t best = std::numeric_limits<std::int64_t>::max()) {
    for (; i < n; ++i) {
        const std::int64_t w = MergeWaste(c[i], Area(c[i]), r, area);
        if (w < best) {
            best = w;
            partner = i;
        }
    }
    return partner;
}

// What one line of text covers and what it changed, as bounds: the union
// of rectangles is their bounding box. A text drawn again in its own colour
// at its own place changes no pixel and reports none.
struct LineBounds {
    static constexpr std::int64_t kNone = std::numeric_limits<std::int64_t>::max();
    std::int64_t cx0 = kNone, cy0 = kNone, cx1 = -kNone, cy1 = -kNone;
    std::int64_t tx0 = kNone, ty0 = kNone, tx1 = -kNone, ty1 = -kNone;
};

// Where a glyph lands: its bitmap's origin on the canvas and the columns
// and rows of it inside the clip.
struct GlyphPlace {
    std::int64_t gx, gy, c0, c1, r0, r1;
};

// Places g at the pen and moves the pen on; false when nothing of it is
// inked inside the clip. What is, `b` counts as covered.
[[gnu::always_inline]] inline bool Place(const SoftGlyph& g, std::int64_t& pen, std::int64_t baseline, const Rect& clip,
                                         LineBounds& b, GlyphPlace& at) {
    at.gx = pen + g.left;
    at.gy = baseline - g.top;
    pen += g.advance;
    if (g.runs.empty()) return false;
    at.c0 = std::max<std::int64_t>(0, clip.left - at.gx);
    at.c1 = std::min<std::int64_t>(g.width, clip.right - at.gx);
    at.r0 = std::max<std::int64_t>(0, clip.top - at.gy);
    at.r1 = std::min<std::int64_t>(g.rows, clip.bottom - at.gy);
    if (at.c0 >= at.c1 || at.r0 >= at.r1) return false;
    b.cx0 = std::min(b.cx0, at.gx + at.c0);
    b.cx1 = std::max(b.cx1, at.gx + at.c1);
    b.cy0 = std::min(b.cy0, at.gy + at.r0);
    b.cy1 = std::max(b.cy1, at.gy + at.r1);
    return true;
}

#if defined(__x86_64__) || defined(__i386__)
bool CanStepWide();
// The lines a draw is about to write were last read by the X server, from
// its own core: a plain prefetch brings them shared, and the first store
// then asks again for them alone. PREFETCHW asks for them to write at once.
bool CanPrefetchForWrite();
// GCC emits PREFETCHW for its builtin only where the whole build may use it.
[[gnu::always_inline]] inline void PrefetchForWrite(const std::uint32_t* at) { asm volatile("prefetchw %0" : : "m"(*at)); }

// Whether one of c[0 .. n) contains r.
[[gnu::target("avx2")]] bool AnyContainsWide(const Rect* c, std::size_t n, const Rect& r);
// The first of c[0 .. n) cheap enough to merge with r, or n.
[[gnu::target("avx2")]] std::size_t FirstMergeableWide(const Rect* c, std::size_t n, const Rect& r, std::int64_t area);
// The first of c[0 .. n) whose merge with r wastes least; n is at least 1.
[[gnu::target("avx2")]] std::size_t LeastWasteWide(const Rect* c, std::size_t n, const Rect& r, std::int64_t area);
// The glyphs of one line, eight pixels of a glyph row per step.
[[gnu::target("avx2")]] void InkGlyphsWide(SoftFace& face, const std::string& chars, std::int64_t pen,
                                           std::int64_t baseline, const Rect& clip, std::uint32_t* pixels,
                                           std::int64_t width, std::size_t stride, std::uint32_t ink, LineBounds& b);
#else
inline bool CanStepWide() { return false; }
inline bool CanPrefetchForWrite() { return false; }
[[gnu::always_inline]] inline void PrefetchForWrite(const std::uint32_t* at) { __builtin_prefetch(at, 1); }
#endif

// Pixels per side of the squares in which the canvas notes its last change.
constexpr int kTileShift = 4;
// Texts longer than this are always drawn: keeping them would cost more
// memory than their draws cost time.
constexpr std::size_t kMemoText = 40;
static_assert(kMemoText % 8 == 0, "the text of a draw key is hashed eight bytes at a time");

// SoftCanvas::ToPixel where the canvas's own files can inline it: a text
// draw asks it for its key before it knows whether it is skipped.
inline std::uint32_t PixelOf(ColorRef color) {
    return (GetRValue(color) << 16) | (GetGValue(color) << 8) | GetBValue(color);
}

inline std::uint64_t Mix(std::uint64_t h, std::uint64_t v) {
    h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
    return h * 0xFF51AFD7ED558CCDull;
}

}  // namespace softcanvas

// Everything that decides what a draw puts on the canvas, but the pixels
// already there.
struct SoftCanvas::DrawKey {
    std::uint64_t words[8] = {};
    std::uint32_t length = 0;
    char text[softcanvas::kMemoText] = {};  // a multiple of eight bytes

    // The text goes in eight bytes at a time: the bytes after it are zero.
    std::uint64_t Hash() const {
        std::uint64_t h = length;
        for (std::uint64_t w : words) h = softcanvas::Mix(h, w);
        for (std::uint32_t i = 0; i < length; i += 8) {
            std::uint64_t chunk;
            std::memcpy(&chunk, text + i, sizeof chunk);
            h = softcanvas::Mix(h, chunk);
        }
        return h;
    }
    bool operator==(const DrawKey& o) const {
        return length == o.length && std::memcmp(words, o.words, sizeof words) == 0 &&
               std::memcmp(text, o.text, length) == 0;
    }
};

struct SoftCanvas::Memo {
    DrawKey key;
    Rect covered;              // every pixel the draw may have written
    std::uint64_t made = 0;    // the change count right after the draw
};

inline void SoftCanvas::Keep(const Memo& memo, std::uint64_t hash) {
    present_.push_back(memo);
    presentHashes_.push_back(hash);
}
