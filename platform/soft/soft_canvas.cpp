#include "platform/soft/soft_canvas.h"

#include <algorithm>
#include <cstring>
#include <cpuid.h>
#include <immintrin.h>
#include <limits>
#include <typeinfo>

#include "display/dib_image.h"
#include "platform/soft/soft_font.h"

namespace {

Rect Intersect(const Rect& a, const Rect& b) {
    Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    if (r.IsEmpty()) return Rect{};
    return r;
}

Rect Union(const Rect& a, const Rect& b) {
    return Rect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

std::int64_t Area(const Rect& r) {
    if (r.IsEmpty()) return 0;
    return static_cast<std::int64_t>(r.Width()) * r.Height();
}

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

bool CanStepWide() { return __builtin_cpu_supports("avx2") != 0; }

// Whether glyphs are inked and changed rectangles weighed with AVX2.
bool wideSteps = CanStepWide();

// The changed-rectangle list is searched on every draw that changes pixels:
// up to kMaxChangedRects rectangles a pass, two passes or more a draw.
// With wide steps, four rectangles are weighed at a time, in doubles. These
// are exact while the canvas has fewer than 2^50 pixels: every area is then
// below 2^50 and every sum below 2^53.
constexpr std::int64_t kWideRectsMaxArea = std::int64_t{1} << 50;

bool Contains(const Rect& c, const Rect& r) {
    return c.left <= r.left && c.top <= r.top && c.right >= r.right && c.bottom >= r.bottom;
}

// Whether one of c[i .. n) contains r.
bool AnyContains(const Rect* c, std::size_t i, std::size_t n, const Rect& r) {
    for (; i < n; ++i)
        if (Contains(c[i], r)) return true;
    return false;
}

// The first of c[i .. n) cheap enough to merge with r, or n.
std::size_t FirstMergeable(const Rect* c, std::size_t i, std::size_t n, const Rect& r, std::int64_t area) {
    for (; i < n; ++i) {
        const std::int64_t areaC = Area(c[i]);
        if (MergeWaste(c[i], areaC, r, area) * 4 <= areaC + area) return i;
    }
    return n;
}

// The first of c[i .. n) whose merge with r wastes less than `best`, the
// waste of `partner`, and less than every one before it; else `partner`.
std::size_t LeastWaste(const Rect* c, std::size_t i, std::size_t n, const Rect& r, std::int64_t area,
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

// Whether one of c[0 .. n) contains r.
[[gnu::target("avx2")]] bool AnyContainsWide(const Rect* c, std::size_t n, const Rect& r) {
    // Two rectangles a step: a lane fails where a left or top edge lies
    // right of or below r's, or a right or bottom edge left of or above.
    const __m256i edges = _mm256_setr_epi32(r.left, r.top, r.right, r.bottom, r.left, r.top, r.right, r.bottom);
    std::size_t i = 0;
    for (; i + 2 <= n; i += 2) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(c + i));
        const __m256i fail = _mm256_blend_epi32(_mm256_cmpgt_epi32(v, edges), _mm256_cmpgt_epi32(edges, v), 0xCC);
        const unsigned bits = static_cast<unsigned>(_mm256_movemask_epi8(fail));
        if ((bits & 0xFFFFu) == 0 || (bits >> 16) == 0) return true;
    }
    return AnyContains(c, i, n, r);
}

// For c[i .. i + 4): the waste of merging each with r, and each one's area.
[[gnu::target("avx2"), gnu::always_inline]] inline void WeighFour(const Rect* c, const __m128i (&edges)[4],
                                                                  __m256d areaR, __m256d& waste, __m256d& areaC) {
    __m128 a0 = _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(c)));
    __m128 a1 = _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(c + 1)));
    __m128 a2 = _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(c + 2)));
    __m128 a3 = _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(c + 3)));
    _MM_TRANSPOSE4_PS(a0, a1, a2, a3);
    const __m128i l = _mm_castps_si128(a0), t = _mm_castps_si128(a1), r = _mm_castps_si128(a2), b = _mm_castps_si128(a3);
    const __m128i zero = _mm_setzero_si128();
    const __m256d uw = _mm256_cvtepi32_pd(_mm_sub_epi32(_mm_max_epi32(r, edges[2]), _mm_min_epi32(l, edges[0])));
    const __m256d uh = _mm256_cvtepi32_pd(_mm_sub_epi32(_mm_max_epi32(b, edges[3]), _mm_min_epi32(t, edges[1])));
    const __m256d iw = _mm256_cvtepi32_pd(_mm_max_epi32(zero, _mm_sub_epi32(_mm_min_epi32(r, edges[2]), _mm_max_epi32(l, edges[0]))));
    const __m256d ih = _mm256_cvtepi32_pd(_mm_max_epi32(zero, _mm_sub_epi32(_mm_min_epi32(b, edges[3]), _mm_max_epi32(t, edges[1]))));
    areaC = _mm256_mul_pd(_mm256_cvtepi32_pd(_mm_sub_epi32(r, l)), _mm256_cvtepi32_pd(_mm_sub_epi32(b, t)));
    waste = _mm256_add_pd(_mm256_sub_pd(_mm256_sub_pd(_mm256_mul_pd(uw, uh), areaC), areaR), _mm256_mul_pd(iw, ih));
}

// The first of c[0 .. n) cheap enough to merge with r, or n.
[[gnu::target("avx2")]] std::size_t FirstMergeableWide(const Rect* c, std::size_t n, const Rect& r, std::int64_t area) {
    const __m128i edges[4] = {_mm_set1_epi32(r.left), _mm_set1_epi32(r.top), _mm_set1_epi32(r.right),
                              _mm_set1_epi32(r.bottom)};
    const __m256d areaR = _mm256_set1_pd(static_cast<double>(area));
    const __m256d four = _mm256_set1_pd(4.0);
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        __m256d waste, areaC;
        WeighFour(c + i, edges, areaR, waste, areaC);
        const __m256d cheap = _mm256_cmp_pd(_mm256_mul_pd(waste, four), _mm256_add_pd(areaC, areaR), _CMP_LE_OQ);
        if (const int bits = _mm256_movemask_pd(cheap); bits != 0) return i + static_cast<std::size_t>(__builtin_ctz(bits));
    }
    return FirstMergeable(c, i, n, r, area);
}

// The first of c[0 .. n) whose merge with r wastes least; n is at least 1.
[[gnu::target("avx2")]] std::size_t LeastWasteWide(const Rect* c, std::size_t n, const Rect& r, std::int64_t area) {
    const __m128i edges[4] = {_mm_set1_epi32(r.left), _mm_set1_epi32(r.top), _mm_set1_epi32(r.right),
                              _mm_set1_epi32(r.bottom)};
    const __m256d areaR = _mm256_set1_pd(static_cast<double>(area));
    double wastes[4];
    std::size_t partner = 0;
    double best = std::numeric_limits<double>::infinity();
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        __m256d waste, areaC;
        WeighFour(c + i, edges, areaR, waste, areaC);
        _mm256_storeu_pd(wastes, waste);
        for (std::size_t k = 0; k < 4; ++k) {
            if (wastes[k] < best) {
                best = wastes[k];
                partner = i + k;
            }
        }
    }
    // The wastes so far are whole numbers, exactly.
    return LeastWaste(c, i, n, r, area, partner,
                      i == 0 ? std::numeric_limits<std::int64_t>::max() : static_cast<std::int64_t>(best));
}

Rect ClampedRect(std::int64_t l, std::int64_t t, std::int64_t r, std::int64_t b) {
    auto clamp = [](std::int64_t v) {
        return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                                                  std::numeric_limits<std::int32_t>::max()));
    };
    return Rect{clamp(l), clamp(t), clamp(r), clamp(b)};
}

// A rectangle given by origin and signed extent, as PatBlt and StretchDIBits
// read it: a negative extent covers the pixels from origin + extent + 1 up to
// the origin itself.
Rect BoundingRect(std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h) {
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

void Include(Rect& touched, int x0, int y0, int x1, int y1) {
    if (x1 <= x0 || y1 <= y0) return;
    Rect r{x0, y0, x1, y1};
    touched = touched.IsEmpty() ? r : Union(touched, r);
}

void Include(Rect& touched, const Rect& r) { Include(touched, r.left, r.top, r.right, r.bottom); }

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

// What one line of text covers and what it changed, as bounds: the union
// of rectangles is their bounding box. A text drawn again in its own colour
// at its own place changes no pixel and reports none.
struct LineBounds {
    static constexpr std::int64_t kNone = std::numeric_limits<std::int64_t>::max();
    std::int64_t cx0 = kNone, cy0 = kNone, cx1 = -kNone, cy1 = -kNone;
    std::int64_t tx0 = kNone, ty0 = kNone, tx1 = -kNone, ty1 = -kNone;
};

// The lines a draw is about to write were last read by the X server, from
// its own core: a plain prefetch brings them shared, and the first store
// then asks again for them alone. PREFETCHW asks for them to write at once.
bool CanPrefetchForWrite() {
    unsigned a, b, c, d;
    return __get_cpuid(0x80000001u, &a, &b, &c, &d) != 0 && (c & bit_PRFCHW) != 0;
}

const bool writePrefetch = CanPrefetchForWrite();

template <bool kForWrite>
void PrefetchRows(const std::uint32_t* row, std::size_t stride, int rows, std::size_t first, std::size_t end,
                  std::size_t step) {
    for (int y = 0; y < rows; ++y, row += stride) {
        for (std::size_t x = first; x < end; x += step) {
            if constexpr (kForWrite)
                asm volatile("prefetchw %0" : : "m"(row[x]));
            else
                __builtin_prefetch(row + x, 0);
        }
    }
}

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

// The glyphs of one line a run of pixels at a time, for processors without
// AVX2.
void InkGlyphRuns(SoftFace& face, const std::string& chars, std::int64_t pen, std::int64_t baseline, const Rect& clip,
                  std::uint32_t* pixels, std::size_t stride, std::uint32_t ink, LineBounds& b) {
    for (unsigned char c : chars) {
        const SoftGlyph& g = face.Glyph(c);
        GlyphPlace at;
        if (!Place(g, pen, baseline, clip, b, at)) continue;
        const std::int64_t gx = at.gx, gy = at.gy, c0 = at.c0, c1 = at.c1, r0 = at.r0, r1 = at.r1;
        std::int64_t x0 = c1, x1 = c0, y0 = r1, y1 = r0;
        for (std::int64_t r = r0; r < r1; ++r) {
            std::uint32_t* dst = pixels + static_cast<std::size_t>(gy + r) * stride + gx;
            bool rowChanged = false;
            // Runs are a few pixels long: a plain loop beats FillSpan's.
            for (std::uint32_t k = g.rowStart[static_cast<std::size_t>(r)]; k < g.rowStart[static_cast<std::size_t>(r) + 1]; ++k) {
                const std::int64_t begin = std::max<std::int64_t>(c0, g.runs[k].start);
                const std::int64_t end = std::min<std::int64_t>(c1, g.runs[k].start + g.runs[k].length);
                std::int64_t col = begin;
                while (col < end && dst[col] == ink) ++col;
                // A run wholly outside the clip has begin past end.
                if (col >= end) continue;
                x0 = std::min(x0, col);
                std::int64_t last = col;
                for (; col < end; ++col) {
                    last = dst[col] != ink ? col : last;
                    dst[col] = ink;
                }
                x1 = std::max(x1, last + 1);
                rowChanged = true;
            }
            if (rowChanged) {
                y0 = std::min(y0, r);
                y1 = r + 1;
            }
        }
        if (x0 >= x1) continue;
        b.tx0 = std::min(b.tx0, gx + x0);
        b.tx1 = std::max(b.tx1, gx + x1);
        b.ty0 = std::min(b.ty0, gy + y0);
        b.ty1 = std::max(b.ty1, gy + y1);
    }
}

// Inks the lanes of `m` in the eight pixels from `at` and tells which of
// them were not ink yet, a bit a lane. Storing ink over ink changes
// nothing, so the store is not made to wait for the compare.
[[gnu::target("avx2"), gnu::always_inline]] inline unsigned InkStepMasked(unsigned m, std::uint32_t* at, __m256i inkLanes,
                                                                    __m256i laneBits) {
    const __m256i lanes = _mm256_cmpeq_epi32(_mm256_and_si256(_mm256_set1_epi32(static_cast<int>(m)), laneBits), laneBits);
    int* p = reinterpret_cast<int*>(at);
    const __m256i differ = _mm256_andnot_si256(_mm256_cmpeq_epi32(_mm256_maskload_epi32(p, lanes), inkLanes), lanes);
    _mm256_maskstore_epi32(p, lanes, inkLanes);
    return static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(differ)));
}

// The same where all eight pixels lie inside the canvas's row: a plain load,
// a blend and a plain store, which cost less than the masked store. The
// pixels outside the lanes are written back as they were.
[[gnu::target("avx2"), gnu::always_inline]] inline unsigned InkStepInside(unsigned m, std::uint32_t* at, __m256i inkLanes,
                                                                          __m256i laneBits) {
    const __m256i lanes = _mm256_cmpeq_epi32(_mm256_and_si256(_mm256_set1_epi32(static_cast<int>(m)), laneBits), laneBits);
    auto* p = reinterpret_cast<__m256i*>(at);
    const __m256i before = _mm256_loadu_si256(p);
    const __m256i differ = _mm256_andnot_si256(_mm256_cmpeq_epi32(before, inkLanes), lanes);
    _mm256_storeu_si256(p, _mm256_blendv_epi8(before, inkLanes, lanes));
    return static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(differ)));
}

// The glyphs of one line, eight pixels of a glyph row per step: the ink's
// bits become a lane mask. Steps that reach past the canvas's row use the
// masked load and store, which touch only inked pixels. Only pixels not yet
// in the ink's colour count as changed.
[[gnu::target("avx2")]] void InkGlyphsWide(SoftFace& face, const std::string& chars, std::int64_t pen,
                                           std::int64_t baseline, const Rect& clip, std::uint32_t* pixels,
                                           std::int64_t width, std::size_t stride, std::uint32_t ink, LineBounds& b) {
    const __m256i laneBits = _mm256_setr_epi32(1, 2, 4, 8, 16, 32, 64, 128);
    const __m256i inkLanes = _mm256_set1_epi32(static_cast<int>(ink));
    for (unsigned char c : chars) {
        const SoftGlyph& g = face.Glyph(c);
        GlyphPlace at;
        if (!Place(g, pen, baseline, clip, b, at)) continue;
        const std::int64_t gx = at.gx, gy = at.gy, c0 = at.c0, c1 = at.c1, r0 = at.r0, r1 = at.r1;
        const std::int64_t j0 = c0 >> 3, j1 = (c1 + 7) >> 3;
        const unsigned firstMask = (0xFFu << (c0 & 7)) & 0xFFu;
        const unsigned lastMask = 0xFFu >> (8 * j1 - c1);
        const std::size_t inkStride = g.InkStride();
        const std::uint8_t* bits = g.ink.data() + static_cast<std::size_t>(r0) * inkStride + j0;
        std::uint32_t* row = pixels + static_cast<std::size_t>(gy + r0) * stride + gx + 8 * j0;
        // The glyph's changed columns and rows, widened into `b` once.
        std::uint64_t columns = 0;
        std::int64_t firstRow = r1, lastRow = r0;
        const bool inside = gx + 8 * j0 >= 0 && gx + 8 * j1 <= width;
        if (j1 - j0 == 1) {
            // Most glyphs: one step a row.
            const unsigned mask = firstMask & lastMask;
            for (std::int64_t r = r0; r < r1; ++r, bits += inkStride, row += stride) {
                const unsigned m = *bits & mask;
                if (m == 0) continue;
                const unsigned changed =
                    inside ? InkStepInside(m, row, inkLanes, laneBits) : InkStepMasked(m, row, inkLanes, laneBits);
                columns |= changed;
                firstRow = changed != 0 && r < firstRow ? r : firstRow;
                lastRow = changed != 0 ? r : lastRow;
            }
        } else {
            for (std::int64_t r = r0; r < r1; ++r, bits += inkStride, row += stride) {
                for (std::int64_t j = 0; j < j1 - j0; ++j) {
                    unsigned m = bits[j];
                    if (j == 0) m &= firstMask;
                    if (j == j1 - j0 - 1) m &= lastMask;
                    if (m == 0) continue;
                    const std::uint64_t changed = inside ? InkStepInside(m, row + 8 * j, inkLanes, laneBits)
                                                         : InkStepMasked(m, row + 8 * j, inkLanes, laneBits);
                    if (changed == 0) continue;
                    if (j < 8) {
                        columns |= changed << (8 * j);
                    } else {
                        // Past the 64 columns `columns` holds: straight into b.
                        b.tx0 = std::min(b.tx0, gx + 8 * (j0 + j) + __builtin_ctzll(changed));
                        b.tx1 = std::max(b.tx1, gx + 8 * (j0 + j) + 64 - __builtin_clzll(changed));
                    }
                    firstRow = std::min(firstRow, r);
                    lastRow = r;
                }
            }
        }
        if (firstRow > lastRow) continue;
        b.ty0 = std::min(b.ty0, gy + firstRow);
        b.ty1 = std::max(b.ty1, gy + lastRow + 1);
        if (columns != 0) {
            b.tx0 = std::min(b.tx0, gx + 8 * j0 + __builtin_ctzll(columns));
            b.tx1 = std::max(b.tx1, gx + 8 * j0 + 64 - __builtin_clzll(columns));
        }
    }
}

// Pixels per side of the squares in which the canvas notes its last change.
constexpr int kTileShift = 4;
// Texts longer than this are always drawn: keeping them would cost more
// memory than their draws cost time.
constexpr std::size_t kMemoText = 40;
static_assert(kMemoText % 8 == 0, "the text of a draw key is hashed eight bytes at a time");
// How far past the last draw found the next one is looked for: a box that
// finished or stopped moving shifts the ones after it by a draw or two.
constexpr std::size_t kLookahead = 16;
// Draws recorded before a canvas that never ends a frame starts anew.
constexpr std::size_t kMaxRecorded = 4096;

std::uint64_t Mix(std::uint64_t h, std::uint64_t v) {
    h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
    return h * 0xFF51AFD7ED558CCDull;
}

}  // namespace

// Everything that decides what a draw puts on the canvas, but the pixels
// already there.
struct SoftCanvas::DrawKey {
    std::uint64_t words[8] = {};
    std::uint32_t length = 0;
    char text[kMemoText] = {};  // a multiple of eight bytes

    // The text goes in eight bytes at a time: the bytes after it are zero.
    std::uint64_t Hash() const {
        std::uint64_t h = length;
        for (std::uint64_t w : words) h = Mix(h, w);
        for (std::uint32_t i = 0; i < length; i += 8) {
            std::uint64_t chunk;
            std::memcpy(&chunk, text + i, sizeof chunk);
            h = Mix(h, chunk);
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

std::uint32_t SoftCanvas::ToPixel(ColorRef color) {
    return (GetRValue(color) << 16) | (GetGValue(color) << 8) | GetBValue(color);
}

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
    const std::uint32_t pixel = ToPixel(color);
    for (int y = 0; y < height_; ++y) std::fill_n(pixels_ + static_cast<std::size_t>(y) * stride_, width_, pixel);
    changed_.clear();
    Changed(Bounds());
}

void SoftCanvas::SetSkipRepeatedDraws(bool on) {
    skipRepeats_ = on;
    ForgetDraws();
}

void SoftCanvas::Changed(const Rect& rect) {
    if (rect.IsEmpty()) return;
    MarkChanged(rect);
    if (tiles_.empty()) return;
    const Rect r = Intersect(rect, Bounds());
    if (r.IsEmpty()) return;
    ++changes_;
    for (int ty = r.top >> kTileShift; ty <= (r.bottom - 1) >> kTileShift; ++ty) {
        std::uint64_t* row = &tiles_[static_cast<std::size_t>(ty) * static_cast<std::size_t>(tilesX_)];
        std::fill(row + (r.left >> kTileShift), row + ((r.right - 1) >> kTileShift) + 1, changes_);
        tileRows_[static_cast<std::size_t>(ty)] = changes_;
    }
}

bool SoftCanvas::StillOnCanvas(const Memo& memo) const {
    const Rect& r = memo.covered;
    if (r.IsEmpty()) return true;
    for (int ty = r.top >> kTileShift; ty <= (r.bottom - 1) >> kTileShift; ++ty) {
        // Most rows of tiles saw no change since the draw: their summary
        // answers without reading the row.
        if (tileRows_[static_cast<std::size_t>(ty)] <= memo.made) continue;
        const std::uint64_t* row = &tiles_[static_cast<std::size_t>(ty) * static_cast<std::size_t>(tilesX_)];
        for (int tx = r.left >> kTileShift; tx <= (r.right - 1) >> kTileShift; ++tx) {
            if (row[tx] > memo.made) return false;
        }
    }
    return true;
}

const SoftCanvas::Memo* SoftCanvas::Recall(const DrawKey& key, std::uint64_t hash) {
    // Started anew here, before anyone holds a record of past_.
    if (present_.size() >= kMaxRecorded) EndFrame();
    const std::size_t end = std::min(past_.size(), cursor_ + kLookahead);
    for (std::size_t i = cursor_; i < end; ++i) {
        if (pastHashes_[i] == hash && past_[i].key == key) {
            cursor_ = i + 1;
            return &past_[i];
        }
    }
    return nullptr;
}

void SoftCanvas::Keep(const Memo& memo, std::uint64_t hash) {
    present_.push_back(memo);
    presentHashes_.push_back(hash);
}

void SoftCanvas::Remember(const DrawKey& key, std::uint64_t hash, const Rect& covered) {
    // Its own changes are under it; later ones must not be.
    Keep(Memo{key, Intersect(covered, Bounds()), changes_}, hash);
}

void SoftCanvas::EndFrame() {
    past_.swap(present_);
    pastHashes_.swap(presentHashes_);
    present_.clear();
    presentHashes_.clear();
    cursor_ = 0;
}

void SoftCanvas::ForgetDraws() {
    past_.clear();
    present_.clear();
    pastHashes_.clear();
    presentHashes_.clear();
    cursor_ = 0;
}

const std::vector<Rect>& SoftCanvas::TakeChangedRects() {
    EndFrame();
    taken_.swap(changed_);
    changed_.clear();
    return taken_;
}

void SoftCanvas::SetChangeTracking(bool on) {
    tracking_ = on;
    if (!on) changed_.clear();
}

void SoftCanvas::MarkChanged(const Rect& rect) {
    if (!tracking_ || rect.IsEmpty()) return;
    Rect r = Intersect(rect, Bounds());
    if (r.IsEmpty()) return;
    const bool wide = wideSteps && Area(Bounds()) < kWideRectsMaxArea;
    // Most changes lie inside one already listed (a box drawn where it was
    // just wiped): nothing to merge then.
    if (wide ? AnyContainsWide(changed_.data(), changed_.size(), r) : AnyContains(changed_.data(), 0, changed_.size(), r))
        return;
    // Fold in every rectangle the new one overlaps or nearly adjoins; a
    // merged rectangle may in turn reach others, hence the search from the
    // start after each merge. With the list full the newcomer goes into the
    // partner that wastes least: one pass per draw, where a search over all
    // pairs would run on every draw of a busy frame.
    std::int64_t area = Area(r);
    for (;;) {
        for (;;) {
            const std::size_t i = wide ? FirstMergeableWide(changed_.data(), changed_.size(), r, area)
                                       : FirstMergeable(changed_.data(), 0, changed_.size(), r, area);
            if (i == changed_.size()) break;
            r = Union(changed_[i], r);
            area = Area(r);
            changed_.erase(changed_.begin() + static_cast<std::ptrdiff_t>(i));
        }
        if (changed_.size() < kMaxChangedRects) break;
        const std::size_t partner = wide ? LeastWasteWide(changed_.data(), changed_.size(), r, area)
                                         : LeastWaste(changed_.data(), 0, changed_.size(), r, area);
        r = Union(changed_[partner], r);
        area = Area(r);
        changed_.erase(changed_.begin() + static_cast<std::ptrdiff_t>(partner));
    }
    changed_.push_back(r);
}

Font* SoftCanvas::SelectFont(Font* font) {
    Font* previous = selected_;
    selected_ = font;
    // A font the platform could not create leaves the current one in place.
    // The stage selects a font for every box of every frame: the type is
    // compared instead of searched (SoftFont is final), and the face's count
    // of owners is left alone when the face stays.
    if (font == nullptr || typeid(*font) != typeid(SoftFont)) return previous;
    const auto* soft = static_cast<const SoftFont*>(font);
    if (soft->IsValid() && soft->Face() != face_) face_ = soft->Face();
    return previous;
}

Size SoftCanvas::GetTextExtent(const std::string& text) {
    if (!face_) return Size{};
    return Size{face_->TextWidth(text), face_->Height()};
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
                Bounds(), ToPixel(color), touched);
    Changed(touched);
}

// One line of DrawText from `pos`: up to the next line break (unless single
// line), with '&' prefixes resolved, and shortened by word breaking. `pos`
// moves past what the line used, to npos at the end of the text.
void SoftCanvas::NextLine(const std::string& text, std::size_t& pos, std::int64_t maxWidth, unsigned format) {
    const bool singleLine = (format & kDtSingleLine) != 0;
    const bool wordBreak = (format & kDtWordBreak) != 0 && !singleLine;
    const bool prefixes = (format & kSoftDtNoPrefix) == 0;
    const std::size_t n = text.size();

    Line& line = line_;
    line.chars.clear();
    line.width = 0;
    line.prefix = -1;
    std::vector<std::size_t>& sourceEnd = sourceEnd_;  // for each drawn character, where its source ends
    sourceEnd.clear();
    std::size_t i = pos;
    while (i < n && (singleLine || (text[i] != '\r' && text[i] != '\n'))) {
        if (prefixes && text[i] == '&' && n - i > 1) {
            ++i;
            if (text[i] == '&') {
                line.chars += '&';
                sourceEnd.push_back(++i);
            } else if (line.prefix < 0) {
                line.prefix = static_cast<int>(line.chars.size());
            }
            continue;
        }
        line.chars += text[i];
        sourceEnd.push_back(++i);
    }

    // How many characters fit: the longest start whose advances stay within
    // the width.
    std::size_t len = line.chars.size();
    std::size_t fit = 0;
    std::int64_t width = 0;
    while (fit < len) {
        std::int64_t next = width + face_->Advance(static_cast<std::uint8_t>(line.chars[fit]));
        if (next > maxWidth) break;
        width = next;
        ++fit;
    }

    bool broken = false;
    if (fit < len && wordBreak) {
        const std::string& s = line.chars;
        std::size_t p = fit;  // the first character that does not fit
        bool wordFits = true;
        if (fit == 0) {
            // Not even one character fits: the line gets one all the same.
        } else if (s[p] == ' ') {
            --p;
        } else {
            while (p > 0) {
                --p;
                if (s[p] == ' ') break;
            }
            wordFits = p != 0 || s[0] == ' ';
        }
        std::size_t used;
        if (wordFits) {
            // Left-aligned lines keep the blanks that fit; centred and
            // right-aligned ones drop the last of them.
            if ((format & (kDtRight | kDtCenter)) == 0 || s[p] != ' ') ++p;
            len = p;
            used = p;
            if (p < s.size() && s[p] == ' ') ++used;
        } else {
            // The first word alone is too long: it stays whole and is clipped.
            std::size_t q = fit;
            while (q < s.size() && s[q] != ' ') ++q;
            len = q;
            used = q < s.size() ? q + 1 : q;
        }
        i = used == 0 ? pos : sourceEnd[used - 1];
        line.chars.resize(len);
        if (line.prefix >= static_cast<int>(len)) line.prefix = -1;
        broken = true;
    }
    line.width = face_->TextWidth(line.chars);

    if (!broken && i < n && (text[i] == '\r' || text[i] == '\n')) {
        ++i;
        // CR LF and LF CR end one line; CR CR and LF LF end two.
        if (i < n && (text[i] == '\r' || text[i] == '\n') && text[i] != text[i - 1]) ++i;
    }
    pos = i < n ? i : std::string::npos;
}

void SoftCanvas::DrawLine(const Line& line, std::int64_t x, std::int64_t y, const Rect& clip, Rect& touched,
                          Rect& covered) {
    SoftFace& face = *face_;
    const std::uint32_t ink = ToPixel(textColor_);
    // The background fill asks for the same lines itself.
    if (bkMode_ == kOpaque)
        FillClipped(ClampedRect(x, y, x + line.width, y + face.Height()), clip, ToPixel(bkColor_), touched, &covered);
    else
        Prefetch(ClampedRect(x, y, x + line.width, y + face.Height()), clip);

    const std::int64_t baseline = y + face.Ascent();
    LineBounds b;
    if (wideSteps)
        InkGlyphsWide(face, line.chars, x, baseline, clip, pixels_, width_, Stride(), ink, b);
    else
        InkGlyphRuns(face, line.chars, x, baseline, clip, pixels_, Stride(), ink, b);
    if (b.cx0 < b.cx1)
        Include(covered, static_cast<int>(b.cx0), static_cast<int>(b.cy0), static_cast<int>(b.cx1), static_cast<int>(b.cy1));
    if (b.tx0 < b.tx1)
        Include(touched, static_cast<int>(b.tx0), static_cast<int>(b.ty0), static_cast<int>(b.tx1), static_cast<int>(b.ty1));

    if (face.Underline()) {
        const std::int64_t top = baseline + face.UnderlineTop();
        FillClipped(ClampedRect(x, top, x + line.width, top + face.UnderlineThickness()), clip, ink, touched, &covered);
    }
    if (face.StrikeOut()) {
        const std::int64_t top = baseline + face.StrikeOutTop();
        FillClipped(ClampedRect(x, top, x + line.width, top + face.StrikeOutThickness()), clip, ink, touched, &covered);
    }
    if (line.prefix >= 0) {
        // The mnemonic's underscore: one row below the baseline, as wide as
        // the character's advance less one pixel.
        const std::size_t n = static_cast<std::size_t>(line.prefix);
        const std::int64_t start = x + face.TextWidth(line.chars.data(), n);
        const std::int64_t end = x + face.TextWidth(line.chars.data(), n + 1) - 1;
        FillClipped(ClampedRect(start, baseline + 1, end, baseline + 2), clip, ink, touched, &covered);
    }
}

void SoftCanvas::DrawText(const std::string& text, const Rect& rect, unsigned format) {
    if (text.empty() || !face_) return;
    DrawKey key;
    std::uint64_t hash = 0;
    const bool memo = skipRepeats_ && text.size() <= kMemoText && !tiles_.empty();
    if (memo) {
        key.words[0] = 1 | (static_cast<std::uint64_t>(format) << 8);
        key.words[1] = face_->Serial();
        key.words[2] = (static_cast<std::uint64_t>(ToPixel(textColor_)) << 32) |
                       (bkMode_ == kOpaque ? (ToPixel(bkColor_) | 0x1000000u) : 0u);
        key.words[3] = (static_cast<std::uint64_t>(static_cast<std::uint32_t>(rect.left)) << 32) |
                       static_cast<std::uint32_t>(rect.top);
        key.words[4] = (static_cast<std::uint64_t>(static_cast<std::uint32_t>(rect.right)) << 32) |
                       static_cast<std::uint32_t>(rect.bottom);
        key.length = static_cast<std::uint32_t>(text.size());
        std::memcpy(key.text, text.data(), text.size());
        hash = key.Hash();
        if (const Memo* m = Recall(key, hash); m != nullptr && StillOnCanvas(*m)) {
            Keep(*m, hash);
            ++skipped_;
            return;
        }
    }

    const bool noClip = (format & kSoftDtNoClip) != 0;
    const bool singleLine = (format & kDtSingleLine) != 0;
    const Rect clip = noClip ? Bounds() : Intersect(rect, Bounds());
    const std::int64_t lineHeight = face_->Height();
    const std::int64_t left = rect.left, top = rect.top, right = rect.right, bottom = rect.bottom;

    Rect touched, covered;
    std::size_t pos = 0;
    std::int64_t y = top;
    bool lastLine = false;
    do {
        // The first line that does not fit completely is still drawn,
        // clipped, and ends the output.
        lastLine = !noClip && y + lineHeight > bottom;
        NextLine(text, pos, right - left, format);
        const Line& line = line_;
        std::int64_t x = left;
        if (format & kDtCenter)
            x = (left + right - line.width) / 2;
        else if (format & kDtRight)
            x = right - line.width;
        if (singleLine) {
            if (format & kDtVCenter)
                y = top + (bottom - top) / 2 - lineHeight / 2;
            else if (format & kSoftDtBottom)
                y = bottom - lineHeight;
        }
        if (!clip.IsEmpty()) DrawLine(line, x, y, clip, touched, covered);
        y += lineHeight;
    } while (pos != std::string::npos && !lastLine);
    Changed(touched);
    if (memo) Remember(key, hash, covered);
}

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
