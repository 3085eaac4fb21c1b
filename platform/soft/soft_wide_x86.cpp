// The wide steps of the software canvas, for x86 processors with AVX2: the
// canvas asks CanStepWide before it takes any of them. Other processors
// build nothing of this file.
#if defined(__x86_64__) || defined(__i386__)

#include <cpuid.h>
#include <immintrin.h>

#include "platform/soft/soft_canvas_parts.h"

namespace softcanvas {

bool CanStepWide() { return __builtin_cpu_supports("avx2") != 0; }

bool CanPrefetchForWrite() {
    unsigned a, b, c, d;
    return __get_cpuid(0x80000001u, &a, &b, &c, &d) != 0 && (c & bit_PRFCHW) != 0;
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

namespace {

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

}  // namespace

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

namespace {

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

}  // namespace

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

}  // namespace softcanvas

#endif
