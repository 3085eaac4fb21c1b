#include "platform/soft/pixel_scale.h"

#include <algorithm>
#include <cstring>

void BlowUpPixels(const std::uint32_t* src, std::size_t srcStride, const Rect& rect, int scale, std::uint32_t* dst,
                  std::size_t dstStride) {
    if (rect.IsEmpty() || scale < 1) return;
    const std::size_t s = static_cast<std::size_t>(scale);
    const std::size_t rowWords = static_cast<std::size_t>(rect.Width()) * s;
    if (s == 1) {
        // A plain copy of the rows.
        for (int y = rect.top; y < rect.bottom; ++y)
            std::memcpy(dst + static_cast<std::size_t>(y) * dstStride + rect.left,
                        src + static_cast<std::size_t>(y) * srcStride + rect.left, rowWords * sizeof(std::uint32_t));
        return;
    }
    for (int y = rect.top; y < rect.bottom; ++y) {
        const std::uint32_t* in = src + static_cast<std::size_t>(y) * srcStride;
        std::uint32_t* first = dst + static_cast<std::size_t>(y) * s * dstStride + static_cast<std::size_t>(rect.left) * s;
        std::uint32_t* out = first;
        for (int x = rect.left; x < rect.right; ++x, out += s) std::fill_n(out, s, in[x]);
        for (std::size_t k = 1; k < s; ++k) std::memcpy(first + k * dstStride, first, rowWords * sizeof(std::uint32_t));
    }
}
