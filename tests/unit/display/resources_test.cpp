// The embedded artwork: every bitmap the program loads is there with its
// size and depth, packed as a Windows executable holds it, the button mask
// cuts the shape the dialog expects, and the icon decodes.

#include "res/embedded_resources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "res/resource_ids.h"

namespace {

std::uint32_t Le(const std::vector<std::uint8_t>& b, std::size_t at, int n) {
    std::uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = (v << 8) | b.at(at + static_cast<std::size_t>(i));
    return v;
}

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};

// Parsed straight from the packed bytes, independently of the image loader.
struct Packed {
    std::vector<std::uint8_t> bytes;
    std::uint32_t headerSize = 0, compression = 0, sizeImage = 0, colorsUsed = 0;
    std::int32_t width = 0, height = 0;
    int planes = 0, bits = 0, colours = 0;
    std::size_t rowSize = 0, pixelsAt = 0;

    bool Load(std::uint16_t id) {
        if (!EmbeddedResources().GetBitmapBytes(id, bytes) || bytes.size() < 40) return false;
        headerSize = Le(bytes, 0, 4);
        width = static_cast<std::int32_t>(Le(bytes, 4, 4));
        height = static_cast<std::int32_t>(Le(bytes, 8, 4));
        planes = static_cast<int>(Le(bytes, 12, 2));
        bits = static_cast<int>(Le(bytes, 14, 2));
        compression = Le(bytes, 16, 4);
        sizeImage = Le(bytes, 20, 4);
        colorsUsed = Le(bytes, 32, 4);
        colours = colorsUsed ? static_cast<int>(colorsUsed) : (bits <= 8 ? 1 << bits : 0);
        rowSize = (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
        pixelsAt = headerSize + 4 * static_cast<std::size_t>(colours);
        return true;
    }
    Rgb Colour(int index) const {
        std::size_t at = headerSize + 4 * static_cast<std::size_t>(index);
        return {bytes.at(at + 2), bytes.at(at + 1), bytes.at(at)};
    }
    // Picture coordinates, top-down, as the rest of the program counts them.
    int Index(int x, int y) const {
        std::size_t row = pixelsAt + static_cast<std::size_t>(height - 1 - y) * rowSize;
        if (bits == 8) return bytes.at(row + static_cast<std::size_t>(x));
        std::uint8_t byte = bytes.at(row + static_cast<std::size_t>(x) / 8);
        return (byte >> (7 - x % 8)) & 1;
    }
    Rgb At(int x, int y) const { return Colour(Index(x, y)); }
};

struct Expected {
    std::uint16_t id;
    int width, height, bits;
};

// The emblems are 100 pixels wide except one of 82, 18 to 159 high.
const std::vector<Expected> kExpected{
    {IDB_BALL_MASK, 46, 46, 1},   {IDB_STADIUM, 500, 375, 8},
    {IDB_YELLOW_BALL, 48, 48, 8}, {IDB_YELLOW_BALL_PRESSED, 48, 48, 8},
    {IDB_YELLOW_BALL_OVER, 48, 48, 8}, {IDB_BALL, 48, 48, 8},
    {IDB_SMALL_BALL, 20, 20, 8},  {IDB_BALL_PRESSED, 48, 48, 8},
    {IDB_BALL_OVER, 48, 48, 8},   {156, 100, 100, 8},
    {157, 100, 120, 8},           {158, 100, 100, 8},
    {159, 100, 18, 8},            {160, 82, 110, 8},
    {161, 100, 64, 8},            {162, 100, 90, 8},
    {163, 100, 159, 8},           {164, 100, 76, 8},
    {165, 100, 100, 8},           {166, 100, 130, 8},
    {167, 100, 45, 8},            {168, 100, 100, 8},
    {169, 100, 116, 8},
};

TEST(EmbeddedResources, EveryBitmapWithItsSizeDepthAndPackedLayout) {
    std::vector<std::uint16_t> ids;
    for (const Expected& e : kExpected) ids.push_back(e.id);
    EXPECT_EQ(EmbeddedBitmapIds(), ids);
    for (const Expected& e : kExpected) {
        SCOPED_TRACE("bitmap " + std::to_string(e.id));
        Packed p;
        ASSERT_TRUE(p.Load(e.id));
        EXPECT_EQ(p.headerSize, 40u);
        EXPECT_EQ(p.width, e.width);
        EXPECT_EQ(p.height, e.height);  // positive: bottom-up rows
        EXPECT_EQ(p.planes, 1);
        EXPECT_EQ(p.bits, e.bits);
        EXPECT_EQ(p.compression, 0u);
        EXPECT_EQ(p.colours, e.bits == 8 ? 256 : 2);
        EXPECT_EQ(p.sizeImage, p.rowSize * static_cast<std::size_t>(e.height));
        // Header, colour table and rows and nothing else: no file header.
        EXPECT_EQ(p.bytes.size(), p.pixelsAt + p.rowSize * static_cast<std::size_t>(e.height));
        EXPECT_EQ(EmbeddedBitmap(e.id).size(), p.bytes.size());
    }
}

TEST(EmbeddedResources, EmblemsAreWideEnoughAndVaryInHeight) {
    int narrow = 0, lowest = 1000, tallest = 0;
    for (std::uint16_t id = IDB_EMBLEM_FIRST; id <= IDB_EMBLEM_LAST; ++id) {
        Packed p;
        ASSERT_TRUE(p.Load(id)) << id;
        EXPECT_TRUE(p.width == 100 || p.width == 82) << id;
        narrow += p.width == 82;
        EXPECT_GE(p.height, 18) << id;
        EXPECT_LE(p.height, 159) << id;
        lowest = std::min(lowest, static_cast<int>(p.height));
        tallest = std::max(tallest, static_cast<int>(p.height));
        // Drawn on the black board, so the ground round the emblem is black.
        EXPECT_EQ(p.At(0, 0), (Rgb{0, 0, 0})) << id;
        EXPECT_EQ(p.At(p.width - 1, p.height - 1), (Rgb{0, 0, 0})) << id;
    }
    EXPECT_EQ(IDB_EMBLEM_LAST - IDB_EMBLEM_FIRST + 1, IDB_EMBLEM_COUNT);
    EXPECT_EQ(narrow, 1);
    EXPECT_EQ(lowest, 18);
    EXPECT_EQ(tallest, 159);
}

struct RegionRow {
    int x0, x1, y;  // the rectangle (x0, y, x1, y + 1)
};

// The button's region scan: rows bottom to top, each maximal run of pixels
// that are not pure white becomes one rectangle.
std::vector<RegionRow> ScanRegion(const Packed& mask) {
    std::vector<RegionRow> runs;
    for (int y = mask.height - 1; y >= 0; --y) {
        int start = -1;
        for (int x = 0; x < mask.width; ++x) {
            bool shape = !(mask.At(x, y) == Rgb{255, 255, 255});
            if (shape && start < 0) start = x;
            if (!shape && start >= 0) {
                runs.push_back({start, x, y});
                start = -1;
            }
        }
        if (start >= 0) runs.push_back({start, mask.width, y});
    }
    return runs;
}

TEST(EmbeddedResources, MaskIsAPureBlackDiscGivingOneRunPerRowExceptTheTop) {
    Packed mask;
    ASSERT_TRUE(mask.Load(IDB_BALL_MASK));
    ASSERT_EQ(mask.bits, 1);
    EXPECT_EQ(mask.Colour(0), (Rgb{0, 0, 0}));
    EXPECT_EQ(mask.Colour(1), (Rgb{255, 255, 255}));

    std::vector<RegionRow> runs = ScanRegion(mask);
    ASSERT_EQ(runs.size(), 45u);
    for (std::size_t i = 0; i < runs.size(); ++i) {
        SCOPED_TRACE("rectangle " + std::to_string(i));
        // Scan order: the bottom row first, one rectangle per row, row 0 none.
        EXPECT_EQ(runs[i].y, 45 - static_cast<int>(i));
        // A disc about x = 23: each run as far from the left edge as from the right.
        EXPECT_EQ(runs[i].x0, 46 - runs[i].x1);
    }
    for (int x = 0; x < 46; ++x) EXPECT_EQ(mask.Index(x, 0), 1) << x;
    // Widest across the middle rows, narrowing towards top and bottom.
    for (std::size_t i = 1; i < runs.size(); ++i) {
        int w0 = runs[i - 1].x1 - runs[i - 1].x0, w1 = runs[i].x1 - runs[i].x0;
        if (runs[i].y >= 23) EXPECT_GE(w1, w0) << runs[i].y;
        else EXPECT_LE(w1, w0) << runs[i].y;
    }
    EXPECT_EQ(runs[22].y, 23);
    EXPECT_EQ(runs[22].x1 - runs[22].x0, 44);
    EXPECT_EQ(runs.front().x1 - runs.front().x0, runs.back().x1 - runs.back().x0);
}

TEST(EmbeddedResources, BallFacesFillTheMaskedDiscOnTheirOwnGround) {
    Packed mask;
    ASSERT_TRUE(mask.Load(IDB_BALL_MASK));
    struct Face {
        std::uint16_t id;
        Rgb ground;
    };
    for (Face f : {Face{IDB_YELLOW_BALL, {255, 255, 255}}, Face{IDB_YELLOW_BALL_PRESSED, {255, 255, 255}},
                   Face{IDB_YELLOW_BALL_OVER, {255, 255, 255}}, Face{IDB_BALL, {0, 0, 0}},
                   Face{IDB_BALL_PRESSED, {0, 0, 0}}, Face{IDB_BALL_OVER, {0, 0, 0}}}) {
        SCOPED_TRACE("face " + std::to_string(f.id));
        Packed face;
        ASSERT_TRUE(face.Load(f.id));
        EXPECT_EQ(face.At(0, 0), f.ground);
        EXPECT_EQ(face.At(47, 47), f.ground);
        EXPECT_EQ(face.At(47, 0), f.ground);
        // The button shows the top-left 46 x 46 pixels inside the mask: none
        // of them may be bare ground, or the ball would have holes.
        int ground = 0;
        for (int y = 0; y < 46; ++y)
            for (int x = 0; x < 46; ++x)
                if (mask.Index(x, y) == 0 && face.At(x, y) == f.ground) ++ground;
        EXPECT_EQ(ground, 0);
    }
    // Each state looks different from the normal face.
    Packed normal, pressed, over;
    ASSERT_TRUE(normal.Load(IDB_BALL) && pressed.Load(IDB_BALL_PRESSED) && over.Load(IDB_BALL_OVER));
    EXPECT_NE(normal.bytes, pressed.bytes);
    EXPECT_NE(normal.bytes, over.bytes);
}

double MeanLuma(const Packed& p, int left, int top, int right, int bottom) {
    double sum = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) {
            Rgb c = p.At(x, y);
            sum += 0.299 * c.r + 0.587 * c.g + 0.114 * c.b;
        }
    return sum / ((right - left) * (bottom - top)) / 255.0;
}

TEST(EmbeddedResources, StadiumStaysDarkWhereTheDialogWritesOnIt) {
    Packed stadium;
    ASSERT_TRUE(stadium.Load(IDB_STADIUM));
    // The yellow caption above the list, near the top right of centre, and
    // the green information block on the left halfway down.
    EXPECT_LT(MeanLuma(stadium, 290, 4, 440, 24), 0.2);
    EXPECT_LT(MeanLuma(stadium, 6, 152, 200, 222), 0.2);
    // A night scene, but a lit pitch: the lower half is clearly brighter.
    EXPECT_GT(MeanLuma(stadium, 250, 280, 500, 375), 0.25);
}

TEST(EmbeddedResources, UnknownIdsGiveFalseAndLeaveTheBufferAlone) {
    for (std::uint16_t id : {0, 1, 102, 128, 137, 139, 141, 149, 170, 1000, 0xFFFF}) {
        std::vector<std::uint8_t> out{1, 2, 3};
        EXPECT_FALSE(EmbeddedResources().GetBitmapBytes(static_cast<std::uint16_t>(id), out)) << id;
        EXPECT_EQ(out, (std::vector<std::uint8_t>{1, 2, 3})) << id;
        EXPECT_TRUE(EmbeddedBitmap(static_cast<std::uint16_t>(id)).empty()) << id;
    }
}

TEST(EmbeddedResources, InstallsItselfAsTheProcessStore) {
    ResourceStore* before = GetResourceStore();
    InstallEmbeddedResources();
    EXPECT_EQ(GetResourceStore(), &EmbeddedResources());
    std::vector<std::uint8_t> out;
    EXPECT_TRUE(GetResourceStore()->GetBitmapBytes(IDB_BALL, out));
    EXPECT_EQ(out.size(), 40u + 1024u + 48u * 48u);
    SetResourceStore(before);
}

TEST(EmbeddedResources, FilesByNameWithTheBitmapFileHeaderRebuilt) {
    std::vector<std::uint8_t> file;
    ASSERT_TRUE(GetEmbeddedFile("bitmaps/bmp140.bmp", file));
    std::span<const std::uint8_t> dib = EmbeddedBitmap(IDB_STADIUM);
    ASSERT_EQ(file.size(), 14 + dib.size());
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(Le(file, 2, 4), file.size());
    EXPECT_EQ(Le(file, 10, 4), 14u + 40u + 1024u);
    EXPECT_TRUE(std::equal(dib.begin(), dib.end(), file.begin() + 14));

    ASSERT_TRUE(GetEmbeddedFile("bitmaps/bmp138.bmp", file));
    EXPECT_EQ(Le(file, 10, 4), 14u + 40u + 8u);

#ifndef _WIN32
    // Natively the committed files are at hand: the build embedded them exactly.
    for (const char* name : {"bitmaps/bmp140.bmp", "bitmaps/bmp138.bmp", "bitmaps/bmp163.bmp", "vemo.ico"}) {
        std::string path = std::string(SCORVANE_FIXTURES_DIR) + "/../../res/" + name;
        std::FILE* f = std::fopen(path.c_str(), "rb");
        ASSERT_NE(f, nullptr) << path;
        std::vector<std::uint8_t> disk;
        for (int c; (c = std::fgetc(f)) != EOF;) disk.push_back(static_cast<std::uint8_t>(c));
        std::fclose(f);
        ASSERT_TRUE(GetEmbeddedFile(name, file));
        EXPECT_EQ(file, disk) << name;
    }
#endif

    std::vector<std::uint8_t> untouched{9};
    for (const char* name : {"", "vemo", "bitmaps/bmp999.bmp", "bitmaps/bmp0140.bmp", "bitmaps/bmp140",
                             "bitmaps/bmp.bmp", "bitmaps/bmp+140.bmp", "bitmaps/bmp70000.bmp",
                             "../res/vemo.ico", "bmp140.bmp"}) {
        EXPECT_FALSE(GetEmbeddedFile(name, untouched)) << name;
        EXPECT_EQ(untouched, std::vector<std::uint8_t>{9}) << name;
    }
}

TEST(EmbeddedResources, IconHasBothSizesAndDecodesWithItsMask) {
    std::span<const std::uint8_t> icon = EmbeddedIconFile();
    std::vector<std::uint8_t> bytes(icon.begin(), icon.end());
    ASSERT_GE(bytes.size(), 6u + 32u);
    EXPECT_EQ(Le(bytes, 0, 2), 0u);
    EXPECT_EQ(Le(bytes, 2, 2), 1u);
    ASSERT_EQ(Le(bytes, 4, 2), 2u);
    EXPECT_EQ(bytes[6], 32);
    EXPECT_EQ(bytes[7], 32);
    EXPECT_EQ(Le(bytes, 6 + 6, 2), 8u);
    EXPECT_EQ(bytes[22], 16);
    EXPECT_EQ(bytes[23], 16);
    EXPECT_EQ(Le(bytes, 22 + 6, 2), 8u);

    for (int size : {32, 16}) {
        SCOPED_TRACE("size " + std::to_string(size));
        std::vector<std::uint32_t> px;
        ASSERT_TRUE(GetIconArgb(size, px));
        ASSERT_EQ(px.size(), static_cast<std::size_t>(size * size));
        auto at = [&](int x, int y) { return px[static_cast<std::size_t>(y * size + x)]; };
        // A round ball: the corners show the desktop, the middle is opaque.
        EXPECT_EQ(at(0, 0) >> 24, 0u);
        EXPECT_EQ(at(size - 1, size - 1) >> 24, 0u);
        EXPECT_EQ(at(size / 2, size / 2) >> 24, 255u);
        int opaque = 0, light = 0, dark = 0;
        for (std::uint32_t v : px) {
            if ((v >> 24) == 0) continue;
            ++opaque;
            int luma = (((v >> 16) & 0xFF) * 3 + ((v >> 8) & 0xFF) * 6 + (v & 0xFF)) / 10;
            light += luma > 170;
            dark += luma < 60;
        }
        // Roughly pi/4 of the square, with white and black panels.
        EXPECT_GT(opaque, size * size * 70 / 100);
        EXPECT_LT(opaque, size * size * 86 / 100);
        EXPECT_GT(light, opaque / 10);
        EXPECT_GT(dark, opaque / 20);
    }
    std::vector<std::uint32_t> none{7};
    EXPECT_FALSE(GetIconArgb(48, none));
    EXPECT_FALSE(GetIconArgb(0, none));
    EXPECT_EQ(none, std::vector<std::uint32_t>{7});
}

TEST(EmbeddedResources, TruncatedIconIsRejectedNotOverread) {
    std::span<const std::uint8_t> icon = EmbeddedIconFile();
    std::vector<std::uint8_t> bytes(icon.begin(), icon.end());
    const std::size_t end32 = Le(bytes, 6 + 12, 4) + Le(bytes, 6 + 8, 4);
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        // A copy of exactly n bytes, so that a read past it is a real fault.
        std::vector<std::uint8_t> prefix(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
        std::vector<std::uint32_t> px;
        EXPECT_FALSE(GetIconArgb(prefix, 16, px)) << n;
        EXPECT_EQ(GetIconArgb(prefix, 32, px), n >= end32) << n;
    }
    // A directory that claims an image beyond the file.
    std::vector<std::uint8_t> broken = bytes;
    broken[6 + 12] = 0xFF;
    broken[6 + 13] = 0xFF;
    std::vector<std::uint32_t> px;
    EXPECT_FALSE(GetIconArgb(broken, 32, px));
    EXPECT_TRUE(GetIconArgb(broken, 16, px));
}

}  // namespace
