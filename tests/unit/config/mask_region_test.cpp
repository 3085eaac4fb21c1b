#include "config/mask_region.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "display/dib_image.h"

namespace {

constexpr ColorRef kWhite = Rgb(255, 255, 255);
constexpr ColorRef kBlack = Rgb(0, 0, 0);

// Rows from the top; '#' is black (inside), '.' white, 'r' red.
struct Picture {
    std::vector<std::string> rows;
    int Width() const { return rows.empty() ? 0 : static_cast<int>(rows[0].size()); }
    int Height() const { return static_cast<int>(rows.size()); }
    ColorRef At(int x, int y) const {
        switch (rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)]) {
            case '#': return kBlack;
            case 'r': return Rgb(255, 0, 0);
            case 'n': return Rgb(255, 255, 254);
            default: return kWhite;
        }
    }
};

std::vector<Rect> Scan(const Picture& p, ColorRef transparent = kWhite) {
    return RegionRectsFromPixels(p.Width(), p.Height(), [&p](int x, int y) { return p.At(x, y); }, transparent);
}

TEST(MaskRegion, RightEdgeTrailingWhiteEmptyRowAndLonePixel) {
    const Picture p{{
        "..###",  // y 0: reaches the right edge
        ".##..",  // y 1: followed by white only
        ".....",  // y 2: nothing
        "....#",  // y 3: lone pixel in the last column
        "#....",  // y 4: lone pixel in the first column, directly below
    }};
    const std::vector<Rect> expected = {
        {0, 4, 1, 5},
        {4, 3, 5, 4},
        {1, 1, 3, 2},
        {2, 0, 5, 1},
    };
    EXPECT_EQ(Scan(p), expected);
}

TEST(MaskRegion, SeveralRunsPerRowInScanOrderAndNoRowSpanning) {
    const Picture p{{
        "#.#.##",
        "######",
    }};
    const std::vector<Rect> expected = {
        {0, 1, 6, 2},  // bottom row first, one rectangle for the full row
        {0, 0, 1, 1},
        {2, 0, 3, 1},
        {4, 0, 6, 1},
    };
    EXPECT_EQ(Scan(p), expected);
}

TEST(MaskRegion, WholeColourValueDecidesAndOnlyTheTransparentColourIsOutside) {
    // A near-white pixel and a red one both belong to the shape.
    const Picture p{{"n.r"}};
    const std::vector<Rect> expected = {{0, 0, 1, 1}, {2, 0, 3, 1}};
    EXPECT_EQ(Scan(p), expected);
    // With black as the key, black is outside and white inside.
    const Picture q{{"#..#"}};
    EXPECT_EQ(Scan(q, kBlack), (std::vector<Rect>{{1, 0, 3, 1}}));
    // The byte above the colour is not part of the comparison.
    EXPECT_EQ(Scan(q, 0xFF000000u | kBlack), (std::vector<Rect>{{1, 0, 3, 1}}));
}

TEST(MaskRegion, DegenerateInputs) {
    EXPECT_TRUE(Scan(Picture{{".....", "....."}}).empty());
    auto black = [](int, int) { return kBlack; };
    EXPECT_TRUE(RegionRectsFromPixels(0, 5, black, kWhite).empty());
    EXPECT_TRUE(RegionRectsFromPixels(5, 0, black, kWhite).empty());
    EXPECT_TRUE(RegionRectsFromPixels(-3, 2, black, kWhite).empty());
    EXPECT_TRUE(RegionRectsFromPixels(3, 2, PixelReader{}, kWhite).empty());
    EXPECT_EQ(RegionRectsFromPixels(1, 1, black, kWhite), (std::vector<Rect>{{0, 0, 1, 1}}));
}

TEST(MaskRegion, ContainsExcludesRightAndBottomEdges) {
    const std::vector<Rect> rects = {{2, 0, 5, 1}, {0, 3, 1, 4}};
    EXPECT_TRUE(RegionContains(rects, 2, 0));
    EXPECT_TRUE(RegionContains(rects, 4, 0));
    EXPECT_FALSE(RegionContains(rects, 5, 0));
    EXPECT_FALSE(RegionContains(rects, 2, 1));
    EXPECT_TRUE(RegionContains(rects, 0, 3));
    EXPECT_FALSE(RegionContains(rects, 1, 3));
    EXPECT_FALSE(RegionContains(rects, -1, 0));
    EXPECT_FALSE(RegionContains({}, 0, 0));
}

// Packed bitmap bytes: the 40-byte header, the colour table, bottom-up rows
// padded to four bytes. `index(x, y)` gives the colour index of a pixel with
// y from the top.
template <typename IndexAt>
std::vector<std::uint8_t> Packed(int width, int height, int bitCount, const std::vector<RgbQuad>& table,
                                 IndexAt index) {
    BitmapInfoHeader h{};
    h.biSize = 40;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = static_cast<std::uint16_t>(bitCount);
    h.biClrUsed = static_cast<std::uint32_t>(table.size());
    const std::size_t stride = (static_cast<std::size_t>(bitCount) * static_cast<std::size_t>(width) + 31) / 32 * 4;
    std::vector<std::uint8_t> out(sizeof h + 4 * table.size() + stride * static_cast<std::size_t>(height), 0);
    std::memcpy(out.data(), &h, sizeof h);
    for (std::size_t i = 0; i < table.size(); ++i) std::memcpy(out.data() + 40 + 4 * i, &table[i], 4);
    std::uint8_t* bits = out.data() + 40 + 4 * table.size();
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = bits + stride * static_cast<std::size_t>(height - 1 - y);
        for (int x = 0; x < width; ++x) {
            const unsigned v = index(x, y);
            if (bitCount == 8) {
                row[x] = static_cast<std::uint8_t>(v);
            } else if (bitCount == 4) {
                row[x / 2] |= static_cast<std::uint8_t>((x % 2 == 0) ? (v << 4) : v);
            } else if (bitCount == 1) {
                row[x / 8] |= static_cast<std::uint8_t>((v & 1u) << (7 - x % 8));
            }
        }
    }
    return out;
}

TEST(MaskRegion, MonochromeBitmapReadsThroughItsColourTableTopDown) {
    // 10 wide, so each row has padding bits after the pixels.
    const Picture p{{
        "..........",
        "...####...",
        "#........#",
    }};
    const std::vector<RgbQuad> blackWhite = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    auto bytes = Packed(p.Width(), p.Height(), 1, blackWhite,
                        [&p](int x, int y) { return p.At(x, y) == kBlack ? 0u : 1u; });
    DibImage mask;
    ASSERT_TRUE(mask.LoadFromPacked(bytes.data(), bytes.size()));
    EXPECT_EQ(DibPixelAt(mask, 0, 0), kWhite);
    EXPECT_EQ(DibPixelAt(mask, 3, 1), kBlack);
    EXPECT_EQ(DibPixelAt(mask, 9, 2), kBlack);
    EXPECT_EQ(DibPixelAt(mask, 10, 2), kInvalidColor);
    EXPECT_EQ(DibPixelAt(mask, 0, 3), kInvalidColor);
    EXPECT_EQ(DibPixelAt(mask, -1, 0), kInvalidColor);
    const std::vector<Rect> expected = {{0, 2, 1, 3}, {9, 2, 10, 3}, {3, 1, 7, 2}};
    EXPECT_EQ(RegionRectsFromDib(mask, kWhite), expected);

    // The same shape with the table the other way round: the indices differ,
    // the colours and so the region do not.
    const std::vector<RgbQuad> whiteBlack = {{255, 255, 255, 0}, {0, 0, 0, 0}};
    bytes = Packed(p.Width(), p.Height(), 1, whiteBlack,
                   [&p](int x, int y) { return p.At(x, y) == kBlack ? 1u : 0u; });
    DibImage inverted;
    ASSERT_TRUE(inverted.LoadFromPacked(bytes.data(), bytes.size()));
    EXPECT_EQ(RegionRectsFromDib(inverted, kWhite), expected);
}

TEST(MaskRegion, PaletteAndDirectColourPixels) {
    const std::vector<RgbQuad> table = {{0, 0, 0, 0}, {0x30, 0x20, 0x10, 0}, {255, 255, 255, 0}};
    auto bytes8 = Packed(3, 2, 8, table, [](int x, int y) { return static_cast<unsigned>((x + y) % 3); });
    DibImage eight;
    ASSERT_TRUE(eight.LoadFromPacked(bytes8.data(), bytes8.size()));
    EXPECT_EQ(DibPixelAt(eight, 1, 0), Rgb(0x10, 0x20, 0x30));
    EXPECT_EQ(DibPixelAt(eight, 2, 0), kWhite);
    EXPECT_EQ(DibPixelAt(eight, 0, 1), Rgb(0x10, 0x20, 0x30));

    auto bytes4 = Packed(5, 1, 4, table, [](int x, int) { return x == 3 ? 1u : 2u; });
    DibImage four;
    ASSERT_TRUE(four.LoadFromPacked(bytes4.data(), bytes4.size()));
    EXPECT_EQ(DibPixelAt(four, 3, 0), Rgb(0x10, 0x20, 0x30));
    EXPECT_EQ(DibPixelAt(four, 4, 0), kWhite);
    EXPECT_EQ(RegionRectsFromDib(four, kWhite), (std::vector<Rect>{{3, 0, 4, 1}}));

    // 24 bits: blue, green, red in the file.
    BitmapInfoHeader h{};
    h.biSize = 40;
    h.biWidth = 2;
    h.biHeight = 2;
    h.biPlanes = 1;
    h.biBitCount = 24;
    std::vector<std::uint8_t> bytes24(40 + 8 * 2, 0);
    std::memcpy(bytes24.data(), &h, sizeof h);
    const std::uint8_t bottomRow[] = {1, 2, 3, 4, 5, 6};
    const std::uint8_t topRow[] = {255, 255, 255, 9, 8, 7};
    std::memcpy(bytes24.data() + 40, bottomRow, 6);
    std::memcpy(bytes24.data() + 48, topRow, 6);
    DibImage deep;
    ASSERT_TRUE(deep.LoadFromPacked(bytes24.data(), bytes24.size()));
    EXPECT_EQ(DibPixelAt(deep, 0, 1), Rgb(3, 2, 1));
    EXPECT_EQ(DibPixelAt(deep, 1, 1), Rgb(6, 5, 4));
    EXPECT_EQ(DibPixelAt(deep, 1, 0), Rgb(7, 8, 9));
    EXPECT_EQ(RegionRectsFromDib(deep, kWhite), (std::vector<Rect>{{0, 1, 2, 2}, {1, 0, 2, 1}}));

    DibImage empty;
    EXPECT_EQ(DibPixelAt(empty, 0, 0), kInvalidColor);
    EXPECT_TRUE(RegionRectsFromDib(empty, kWhite).empty());
}

}  // namespace
