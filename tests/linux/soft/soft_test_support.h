#pragma once
// Pictures built in memory and helpers to compare framebuffers.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "display/dib_image.h"
#include "display/font.h"
#include "platform/soft/soft_canvas.h"
#include "platform/soft/soft_font.h"

namespace softtest {

// Packed bitmap bytes: header, colour table (0x00RRGGBB values), rows given
// top-down as one value per pixel (an index, or 0x00RRGGBB at 24 bits) and
// stored bottom-up as a resource would hold them.
inline std::vector<std::uint8_t> PackDib(int width, int height, int bitCount, const std::vector<std::uint32_t>& table,
                                         const std::vector<std::uint32_t>& pixelsTopDown) {
    const std::size_t row = ((static_cast<std::size_t>(width) * bitCount + 31) / 32) * 4;
    std::vector<std::uint8_t> out(40 + 4 * table.size() + row * static_cast<std::size_t>(height), 0);
    BitmapInfoHeader h{};
    h.biSize = 40;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = static_cast<std::uint16_t>(bitCount);
    h.biClrUsed = static_cast<std::uint32_t>(table.size());
    std::memcpy(out.data(), &h, sizeof h);
    for (std::size_t i = 0; i < table.size(); ++i) {
        out[40 + 4 * i] = static_cast<std::uint8_t>(table[i]);
        out[40 + 4 * i + 1] = static_cast<std::uint8_t>(table[i] >> 8);
        out[40 + 4 * i + 2] = static_cast<std::uint8_t>(table[i] >> 16);
    }
    std::uint8_t* bits = out.data() + 40 + 4 * table.size();
    for (int y = 0; y < height; ++y) {
        std::uint8_t* r = bits + row * static_cast<std::size_t>(height - 1 - y);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t v = pixelsTopDown[static_cast<std::size_t>(y) * width + x];
            switch (bitCount) {
                case 1: r[x >> 3] |= static_cast<std::uint8_t>((v & 1u) << (7 - (x & 7))); break;
                case 4: r[x >> 1] |= static_cast<std::uint8_t>((x & 1) ? (v & 0xFu) : ((v & 0xFu) << 4)); break;
                case 8: r[x] = static_cast<std::uint8_t>(v); break;
                default:
                    r[3 * x] = static_cast<std::uint8_t>(v);
                    r[3 * x + 1] = static_cast<std::uint8_t>(v >> 8);
                    r[3 * x + 2] = static_cast<std::uint8_t>(v >> 16);
            }
        }
    }
    return out;
}

inline std::unique_ptr<DibImage> MakeDib(int width, int height, int bitCount, const std::vector<std::uint32_t>& table,
                                         const std::vector<std::uint32_t>& pixelsTopDown) {
    auto image = std::make_unique<DibImage>();
    const std::vector<std::uint8_t> bytes = PackDib(width, height, bitCount, table, pixelsTopDown);
    EXPECT_TRUE(image->LoadFromPacked(bytes.data(), bytes.size()));
    return image;
}

// One factory for the whole test binary: fontconfig's start-up reads the
// font cache, which needs doing only once.
inline SoftFontFactory& Fonts() {
    static SoftFontFactory factory;
    return factory;
}

inline std::unique_ptr<Font> MakeFont(int height, const char* face, int weight = 400, bool italic = false) {
    LogFont lf;
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfItalic = italic ? 1 : 0;
    lf.lfQuality = 3;
    lf.lfPitchAndFamily = 0x12;
    std::strncpy(lf.lfFaceName, face, sizeof lf.lfFaceName - 1);
    return Fonts().CreateFontIndirect(lf);
}

inline std::vector<std::uint32_t> Snapshot(const SoftCanvas& c) {
    return std::vector<std::uint32_t>(c.Pixels(), c.Pixels() + c.Stride() * static_cast<std::size_t>(c.Height()));
}

inline int CountNot(const SoftCanvas& c, std::uint32_t value, const Rect& area) {
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (c.PixelAt(x, y) != value) ++n;
    return n;
}

inline int CountNot(const SoftCanvas& c, std::uint32_t value) {
    return CountNot(c, value, Rect{0, 0, c.Width(), c.Height()});
}

inline bool Inside(const Rect& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

// Puts the wide steps back on when a test that compares both ways ends,
// however it ends.
struct WideStepsBack {
    ~WideStepsBack() { SoftCanvas::SetWideSteps(true); }
};

}  // namespace softtest
