#include "display/dib_image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "display_test_support.h"

namespace {

using namespace displaytest;

struct Header {
    std::uint32_t biSize;
    std::int32_t biWidth, biHeight;
    std::uint16_t biPlanes, biBitCount;
    std::uint32_t biCompression, biSizeImage;
    std::int32_t biX, biY;
    std::uint32_t biClrUsed, biClrImportant;
};

Header ReadHeader(const DibImage& image) {
    Header h{};
    EXPECT_GE(image.info().size(), 40u);
    if (image.info().size() >= 40) std::memcpy(&h, image.info().data(), 40);
    return h;
}

bool FreshLoad(const std::vector<std::uint8_t>& bytes) {
    DibImage image;
    const bool ok = image.LoadFromPacked(bytes.data(), bytes.size());
    EXPECT_EQ(ok, image.HasBits());
    return ok;
}

std::uint8_t Pixel8(const DibImage& image, int x, int yFromBottom) {
    return image.bits()[image.RowSize() * static_cast<std::size_t>(yFromBottom) + static_cast<std::size_t>(x)];
}

TEST(DibImage, EmptyPictureDrawsNothing) {
    MemoryResourceStore store;
    ScopedStore scope(&store);
    DibImage image;
    EXPECT_FALSE(image.LoadFromResource(999));
    EXPECT_EQ(store.requests[999], 1);
    EXPECT_FALSE(image.HasBits());
    EXPECT_TRUE(image.info().empty());
    EXPECT_FALSE(image.HasPalette());
    EXPECT_EQ(image.header(), nullptr);
    EXPECT_EQ(image.colors(), nullptr);
    EXPECT_EQ(image.GetWidth(), 0);
    EXPECT_EQ(image.RowSize(), 0u);
    RecordingCanvas dc;
    EXPECT_EQ(image.PaintSection(dc, Rect{0, 0, 10, 10}, Rect{0, 0, 10, 10}), 0);
    image.PaintStretched(dc, 0, 0, 10, 10);
    image.PaintAt(dc, 0, 0);
    EXPECT_TRUE(dc.ops.empty());
}

TEST(DibImage, NoStoreInstalledFails) {
    ScopedStore scope(nullptr);
    DibImage image;
    EXPECT_FALSE(image.LoadFromResource(148));
    EXPECT_FALSE(image.HasBits());
}

TEST(DibImage, EightBitResourceKeepsTableAndMakesPalette) {
    MemoryResourceStore store;
    store.bitmaps[148] = MakePacked8(100, 3);
    ScopedStore scope(&store);
    DibImage image;
    ASSERT_TRUE(image.LoadFromResource(148));
    EXPECT_EQ(image.resourceId(), 148);
    const Header h = ReadHeader(image);
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, 100);
    EXPECT_EQ(h.biHeight, 3);
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, 8);
    EXPECT_EQ(h.biCompression, 0u);
    EXPECT_EQ(h.biSizeImage, 300u);
    EXPECT_EQ(h.biX, 0);
    EXPECT_EQ(h.biClrUsed, 0u);
    EXPECT_EQ(h.biClrImportant, 0u);
    EXPECT_EQ(image.info().size(), 40u + 4 * 256);
    EXPECT_EQ(image.ColorCount(), 256);
    ASSERT_EQ(image.palette().size(), 256u);
    for (int i = 0; i < 256; ++i) {
        const RgbQuad& q = image.colors()[i];
        EXPECT_EQ(q.rgbBlue, i);
        EXPECT_EQ(q.rgbGreen, 255 - i);
        EXPECT_EQ(q.rgbRed, i ^ 0x55);
        EXPECT_EQ(q.rgbReserved, 0);
        const PaletteEntry& p = image.palette()[static_cast<std::size_t>(i)];
        EXPECT_EQ(p.peRed, i ^ 0x55);
        EXPECT_EQ(p.peGreen, 255 - i);
        EXPECT_EQ(p.peBlue, i);
        EXPECT_EQ(p.peFlags, 0);
    }
    EXPECT_EQ(image.RowSize(), 100u);
    EXPECT_EQ(image.bits().size(), 300u);
    EXPECT_EQ(Pixel8(image, 7, 2), 13);
    EXPECT_EQ(Pixel8(image, 99, 0), 99);
}

TEST(DibImage, RowSizes) {
    struct Case { int width; std::uint16_t bits; std::size_t row; };
    const Case cases[] = {{100, 8, 100}, {98, 8, 100}, {1, 8, 4}, {10, 24, 32}, {33, 1, 8},
                          {32, 1, 4},   {9, 4, 8},    {10, 16, 32}, {10, 32, 32}, {3, 24, 12}};
    for (const Case& c : cases) {
        PackedSpec s;
        s.width = c.width;
        s.height = 2;
        s.bitCount = c.bits;
        DibImage image;
        ASSERT_TRUE(image.LoadFromPacked(MakePacked(s, [](int, int) { return 0u; }).data(),
                                         MakePacked(s, [](int, int) { return 0u; }).size()));
        EXPECT_EQ(image.RowSize(), c.row) << c.width << "x" << c.bits;
        EXPECT_EQ(image.bits().size(), 2 * c.row) << c.width << "x" << c.bits;
        EXPECT_EQ(ReadHeader(image).biSizeImage, 2 * c.row) << c.width << "x" << c.bits;
    }
}

TEST(DibImage, LowDepthsExpandTheirTable) {
    // A 4-bit picture that lists only 3 colours: the table is completed to 16
    // entries (the rest black) and the palette has all 16.
    PackedSpec s;
    s.width = 5;
    s.height = 2;
    s.bitCount = 4;
    s.clrUsed = 3;
    const auto bytes = MakePacked(s, [](int x, int) { return static_cast<std::uint32_t>(x % 3); });
    DibImage image;
    ASSERT_TRUE(image.LoadFromPacked(bytes.data(), bytes.size()));
    EXPECT_EQ(ReadHeader(image).biBitCount, 4);
    EXPECT_EQ(ReadHeader(image).biClrUsed, 0u);
    ASSERT_EQ(image.ColorCount(), 16);
    EXPECT_EQ(image.colors()[2].rgbRed, 2 ^ 0x55);
    EXPECT_EQ(image.colors()[3].rgbRed, 0);
    EXPECT_EQ(image.colors()[15].rgbGreen, 0);
    ASSERT_EQ(image.palette().size(), 16u);
    EXPECT_EQ(image.palette()[1].peGreen, 254);
    EXPECT_EQ(image.palette()[3].peGreen, 0);
    // Pixels 0 1 2 0 1 packed two a byte, high nibble first.
    EXPECT_EQ(image.bits()[0], 0x01);
    EXPECT_EQ(image.bits()[1], 0x20);
    EXPECT_EQ(image.bits()[2], 0x10);

    PackedSpec mono;
    mono.width = 9;
    mono.height = 1;
    mono.bitCount = 1;
    const auto monoBytes = MakePacked(mono, [](int x, int) { return x == 0 || x == 8 ? 1u : 0u; });
    DibImage one;
    ASSERT_TRUE(one.LoadFromPacked(monoBytes.data(), monoBytes.size()));
    EXPECT_EQ(one.ColorCount(), 2);
    EXPECT_EQ(one.palette().size(), 2u);
    EXPECT_EQ(one.bits()[0], 0x80);
    EXPECT_EQ(one.bits()[1], 0x80);
}

TEST(DibImage, DeepPicturesBecomeTwentyFourBit) {
    PackedSpec s32;
    s32.width = 3;
    s32.height = 2;
    s32.bitCount = 32;
    const auto b32 = MakePacked(s32, [](int x, int y) { return 0xAA000000u | static_cast<std::uint32_t>(0x102030 * (x + 1) + y); });
    DibImage image;
    ASSERT_TRUE(image.LoadFromPacked(b32.data(), b32.size()));
    const Header h = ReadHeader(image);
    EXPECT_EQ(h.biBitCount, 24);
    EXPECT_EQ(h.biSizeImage, 2u * 12);
    EXPECT_EQ(image.info().size(), 40u);
    EXPECT_EQ(image.ColorCount(), 0);
    EXPECT_FALSE(image.HasPalette());
    // Pixel (1, 1): 0x204060 + 1 = 0x204061 -> blue 0x61, green 0x40, red 0x20.
    const std::uint8_t* p = image.bits().data() + 12 + 3;
    EXPECT_EQ(p[0], 0x61);
    EXPECT_EQ(p[1], 0x40);
    EXPECT_EQ(p[2], 0x20);

    PackedSpec s24 = s32;
    s24.bitCount = 24;
    s24.clrUsed = 2;  // an optional table in front of the rows is skipped
    const auto b24 = MakePacked(s24, [](int x, int y) { return static_cast<std::uint32_t>(0x010203 * (x + 2 * y + 1)); });
    ASSERT_TRUE(image.LoadFromPacked(b24.data(), b24.size()));
    EXPECT_EQ(image.info().size(), 40u);
    EXPECT_EQ(ReadHeader(image).biClrUsed, 0u);
    // Pixel (2, 1) = 0x010203 * 5; the rows keep their 3 padding bytes.
    EXPECT_EQ(image.bits()[12 + 6 + 0], 0x03 * 5);
    EXPECT_EQ(image.bits()[12 + 6 + 2], 0x01 * 5);
    EXPECT_EQ(image.bits().size(), 24u);

    // 16 bits: five bits a channel, widened by repeating the high bits.
    PackedSpec s16 = s32;
    s16.bitCount = 16;
    s16.width = 4;
    s16.height = 1;
    const std::uint32_t values[4] = {0x7FFF, 0x001F, 0x0010, 0x7C00};
    const auto b16 = MakePacked(s16, [&](int x, int) { return values[x]; });
    ASSERT_TRUE(image.LoadFromPacked(b16.data(), b16.size()));
    EXPECT_EQ(ReadHeader(image).biBitCount, 24);
    const std::vector<std::uint8_t> expect = {255, 255, 255, 255, 0, 0, 132, 0, 0, 0, 0, 255};
    EXPECT_EQ(std::vector<std::uint8_t>(image.bits().begin(), image.bits().begin() + 12), expect);

    // 16 bits with explicit 5-6-5 masks after the header.
    s16.compression = 3;
    s16.masks = {0xF800, 0x07E0, 0x001F};
    const std::uint32_t v565[4] = {0xFFFF, 0x07E0, 0x0400, 0xF800};
    const auto b565 = MakePacked(s16, [&](int x, int) { return v565[x]; });
    ASSERT_TRUE(image.LoadFromPacked(b565.data(), b565.size()));
    const std::vector<std::uint8_t> expect565 = {255, 255, 255, 0, 255, 0, 0, 130, 0, 0, 0, 255};
    EXPECT_EQ(std::vector<std::uint8_t>(image.bits().begin(), image.bits().begin() + 12), expect565);
}

TEST(DibImage, LongerHeadersAreSkipped) {
    PackedSpec s;
    s.width = 2;
    s.height = 2;
    s.headerSize = 124;
    const auto bytes = MakePacked(s, [](int x, int y) { return static_cast<std::uint32_t>(10 * y + x); });
    DibImage image;
    ASSERT_TRUE(image.LoadFromPacked(bytes.data(), bytes.size()));
    EXPECT_EQ(ReadHeader(image).biSize, 40u);
    EXPECT_EQ(image.colors()[5].rgbBlue, 5);
    EXPECT_EQ(Pixel8(image, 1, 1), 11);
}

TEST(DibImage, MalformedBytesLoadNothing) {
    const std::vector<std::uint8_t> valid = MakePacked8(6, 5);
    auto good = [&] { return valid; };
    auto mutate = [&](auto change) {
        std::vector<std::uint8_t> v = good();
        change(v);
        return v;
    };
    struct Case { const char* what; std::vector<std::uint8_t> bytes; };
    const std::vector<Case> cases = {
        {"empty", {}},
        {"short header", std::vector<std::uint8_t>(valid.begin(), valid.begin() + 39)},
        {"core header", mutate([](auto& v) { PutU32(v, 0, 12); })},
        {"biSize 39", mutate([](auto& v) { PutU32(v, 0, 39); })},
        {"biSize past end", mutate([](auto& v) { PutU32(v, 0, static_cast<std::uint32_t>(v.size() + 1)); })},
        {"width 0", mutate([](auto& v) { PutU32(v, 4, 0); })},
        {"width negative", mutate([](auto& v) { PutU32(v, 4, 0xFFFFFFFAu); })},
        {"width absurd", mutate([](auto& v) { PutU32(v, 4, 16385); })},
        {"height 0", mutate([](auto& v) { PutU32(v, 8, 0); })},
        {"height negative (top-down)", mutate([](auto& v) { PutU32(v, 8, 0xFFFFFFFBu); })},
        {"height absurd", mutate([](auto& v) { PutU32(v, 8, 0x7FFFFFFF); })},
        {"2 bits", mutate([](auto& v) { PutU16(v, 14, 2); })},
        {"0 bits", mutate([](auto& v) { PutU16(v, 14, 0); })},
        {"64 bits", mutate([](auto& v) { PutU16(v, 14, 64); })},
        {"RLE8", mutate([](auto& v) { PutU32(v, 16, 1); })},
        {"RLE4", mutate([](auto& v) { PutU32(v, 16, 2); })},
        {"bit fields on 8 bits", mutate([](auto& v) { PutU32(v, 16, 3); })},
        {"JPEG", mutate([](auto& v) { PutU32(v, 16, 4); })},
        {"more colours than 8 bits hold", mutate([](auto& v) { PutU32(v, 32, 257); })},
        {"huge colour count", mutate([](auto& v) { PutU32(v, 32, 0xFFFFFFFFu); })},
        {"rows one byte short", mutate([](auto& v) { v.pop_back(); })},
        {"large picture, small data", mutate([](auto& v) { PutU32(v, 4, 16384); PutU32(v, 8, 16384); })},
    };
    DibImage image;
    ASSERT_TRUE(image.LoadFromPacked(good().data(), good().size()));
    const std::vector<std::uint8_t> bitsBefore = image.bits();
    const std::vector<std::uint8_t> infoBefore = image.info();
    for (const Case& c : cases) {
        EXPECT_FALSE(image.LoadFromPacked(c.bytes.data(), c.bytes.size())) << c.what;
        EXPECT_EQ(image.bits(), bitsBefore) << c.what;
        EXPECT_EQ(image.info(), infoBefore) << c.what;
        DibImage fresh;
        EXPECT_FALSE(fresh.LoadFromPacked(c.bytes.data(), c.bytes.size())) << c.what;
        EXPECT_FALSE(fresh.HasBits()) << c.what;
        EXPECT_TRUE(fresh.info().empty()) << c.what;
    }
    EXPECT_FALSE(image.LoadFromPacked(nullptr, 100));

    // Deep pictures: a bit-field header whose masks or rows are cut off, an
    // optional table that runs past the end.
    PackedSpec s;
    s.width = 2;
    s.height = 2;
    s.bitCount = 32;
    s.compression = 3;
    s.masks = {0xFF0000, 0xFF00, 0xFF};
    std::vector<std::uint8_t> deep = MakePacked(s, [](int, int) { return 0u; });
    EXPECT_TRUE(FreshLoad(deep));
    EXPECT_FALSE(FreshLoad(std::vector<std::uint8_t>(deep.begin(), deep.begin() + 48)));
    std::vector<std::uint8_t> tableless = deep;
    PutU32(tableless, 32, 1000);
    EXPECT_FALSE(FreshLoad(tableless));
    std::vector<std::uint8_t> oddHeader = deep;
    PutU32(oddHeader, 0, 44);
    EXPECT_FALSE(FreshLoad(oddHeader));
}

TEST(DibImage, EveryTruncationIsRejected) {
    // Each prefix of a valid picture, of each kind, must fail without reading
    // past its end (the sanitizer build would catch a stray read).
    std::vector<std::vector<std::uint8_t>> pictures = {MakePacked8(5, 3)};
    for (std::uint16_t bits : {1, 4, 16, 24, 32}) {
        PackedSpec s;
        s.width = 5;
        s.height = 3;
        s.bitCount = bits;
        pictures.push_back(MakePacked(s, [](int x, int y) { return static_cast<std::uint32_t>(x * 7 + y); }));
    }
    for (const auto& full : pictures) {
        ASSERT_TRUE(FreshLoad(full));
        for (std::size_t n = 0; n < full.size(); ++n) {
            std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[n + 1]);
            if (n) std::memcpy(exact.get(), full.data(), n);
            DibImage image;
            EXPECT_FALSE(image.LoadFromPacked(exact.get(), n)) << "prefix " << n << " of " << full.size();
        }
    }
}

TEST(DibImage, LaterLoadReplacesAndForgetsTheResource) {
    MemoryResourceStore store;
    store.bitmaps[156] = MakePacked8(100, 18);
    ScopedStore scope(&store);
    DibImage image;
    ASSERT_TRUE(image.LoadFromResource(156));
    EXPECT_EQ(image.resourceId(), 156);
    EXPECT_FALSE(image.LoadFromResource(157));  // unknown: unchanged
    EXPECT_EQ(image.resourceId(), 156);
    EXPECT_EQ(image.GetHeight(), 18);
    PackedSpec s;
    s.width = 7;
    s.height = 9;
    s.bitCount = 24;
    const auto bytes = MakePacked(s, [](int, int) { return 0x123456u; });
    ASSERT_TRUE(image.LoadFromPacked(bytes.data(), bytes.size()));
    EXPECT_EQ(image.resourceId(), 0);
    EXPECT_EQ(image.GetWidth(), 7);
    EXPECT_EQ(image.GetHeight(), 9);
    EXPECT_FALSE(image.HasPalette());
    EXPECT_EQ(image.ColorCount(), 0);
}

TEST(DibImage, PaintSectionCopiesOneToOneFromBottomUpRows) {
    const auto strip = MakePacked8(144, 48);
    DibImage image;
    ASSERT_TRUE(image.LoadFromPacked(strip.data(), strip.size()));
    RecordingCanvas dc;
    dc.sectionResult = 48;
    EXPECT_EQ(image.PaintSection(dc, Rect{10, 10, 58, 58}, Rect{48, 0, 96, 48}), 48);
    ASSERT_EQ(dc.ops.size(), 1u);
    const Op& op = dc.ops[0];
    EXPECT_EQ(op.kind, Op::Section);
    EXPECT_EQ(op.rect, (Rect{10, 10, 58, 58}));
    EXPECT_EQ(op.srcX, 48);
    EXPECT_EQ(op.srcY, 0);
    EXPECT_EQ(op.image, &image);

    // A section that ends 18 rows above the picture's bottom edge.
    dc.Clear();
    dc.sectionResult = 3;
    EXPECT_EQ(image.PaintSection(dc, Rect{0, 0, 20, 20}, Rect{5, 10, 25, 30}), 3);
    EXPECT_EQ(dc.ops[0].srcX, 5);
    EXPECT_EQ(dc.ops[0].srcY, 18);
    EXPECT_EQ(dc.ops[0].rect, (Rect{0, 0, 20, 20}));
}

TEST(DibImage, PaintAtAndStretched) {
    const auto small = MakePacked8(20, 20);
    DibImage image;
    ASSERT_TRUE(image.LoadFromPacked(small.data(), small.size()));
    RecordingCanvas dc;
    image.PaintAt(dc, 5, 7);
    image.PaintStretched(dc, -3, 4, 200, 50);
    ASSERT_EQ(dc.ops.size(), 2u);
    EXPECT_EQ(dc.ops[0].kind, Op::Stretch);
    EXPECT_EQ(dc.ops[0].rect, (Rect{5, 7, 25, 27}));
    EXPECT_EQ(dc.ops[0].srcX, 0);
    EXPECT_EQ(dc.ops[0].srcY, 0);
    EXPECT_EQ(dc.ops[0].srcW, 20);
    EXPECT_EQ(dc.ops[0].srcH, 20);
    EXPECT_EQ(dc.ops[1].rect, (Rect{-3, 4, 197, 54}));
    EXPECT_EQ(dc.ops[1].srcW, 20);
}

}  // namespace
