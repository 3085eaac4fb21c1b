#pragma once
// The plain records the drawing code shares with the Windows API, laid out
// the same way (32-bit signed device pixels, colours as 0x00BBGGRR).

#include <algorithm>
#include <cstdint>

struct Point {
    std::int32_t x = 0, y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    std::int32_t cx = 0, cy = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
    std::int32_t Width() const { return right - left; }
    std::int32_t Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

// The smallest rectangle holding both; an empty one adds nothing.
inline Rect UnionOf(const Rect& a, const Rect& b) {
    if (a.IsEmpty()) return b;
    if (b.IsEmpty()) return a;
    return Rect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

using ColorRef = std::uint32_t;

constexpr ColorRef Rgb(unsigned r, unsigned g, unsigned b) {
    return (r & 0xFFu) | ((g & 0xFFu) << 8) | ((b & 0xFFu) << 16);
}
constexpr unsigned GetRValue(ColorRef c) { return c & 0xFFu; }
constexpr unsigned GetGValue(ColorRef c) { return (c >> 8) & 0xFFu; }
constexpr unsigned GetBValue(ColorRef c) { return (c >> 16) & 0xFFu; }

// DrawText format bits used by the board and the dialogs.
inline constexpr unsigned kDtCenter = 0x01;
inline constexpr unsigned kDtRight = 0x02;
inline constexpr unsigned kDtVCenter = 0x04;
inline constexpr unsigned kDtWordBreak = 0x10;
inline constexpr unsigned kDtSingleLine = 0x20;

// Background modes.
inline constexpr int kTransparent = 1;
inline constexpr int kOpaque = 2;
