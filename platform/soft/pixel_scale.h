#pragma once
// Blowing a stage up to the screen: each pixel becomes an s x s block.

#include <cstddef>
#include <cstdint>

#include "display/geometry.h"

// Writes `rect` of `src` (`srcStride` words a row) into `dst` (`dstStride`
// words a row) as `scale` x `scale` blocks, its top left corner at
// (rect.left * scale, rect.top * scale). Each row is widened once and then
// copied, so a changed rectangle costs its own area times scale squared.
void BlowUpPixels(const std::uint32_t* src, std::size_t srcStride, const Rect& rect, int scale, std::uint32_t* dst,
                  std::size_t dstStride);
