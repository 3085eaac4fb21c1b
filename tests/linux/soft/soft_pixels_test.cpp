// Fills, DIB section copies and stretches on the software canvas, and the
// list of changed rectangles the X11 front end presents.

#include <gtest/gtest.h>

#include <random>

#include "soft_test_support.h"

using namespace softtest;

namespace {

// A distinct colour for every index, so that a wrong source pixel shows.
std::uint32_t IndexColour(unsigned i) { return ((i * 37u) & 0xFF) << 16 | ((i * 91u + 7) & 0xFF) << 8 | (i & 0xFF); }

std::vector<std::uint32_t> Table(int n) {
    std::vector<std::uint32_t> t;
    for (int i = 0; i < n; ++i) t.push_back(IndexColour(static_cast<unsigned>(i)));
    return t;
}

}  // namespace

TEST(SoftFill, FillIsClippedToTheFramebuffer) {
    SoftCanvas canvas(20, 10);
    canvas.TakeChangedRects();
    canvas.FillRect(Rect{-5, -5, 4, 3}, Rgb(255, 0, 0));
    canvas.FillRect(Rect{15, 8, 30, 40}, Rgb(0, 255, 0));
    canvas.FillRect(Rect{5, 5, 5, 9}, Rgb(0, 0, 255));  // empty
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) {
            std::uint32_t want = 0;
            if (x < 4 && y < 3) want = 0xFF0000;
            if (x >= 15 && y >= 8) want = 0x00FF00;
            ASSERT_EQ(canvas.PixelAt(x, y), want) << x << "," << y;
        }
    const std::vector<Rect> changed = canvas.TakeChangedRects();
    ASSERT_EQ(changed.size(), 2u);
    EXPECT_EQ(changed[0], (Rect{0, 0, 4, 3}));
    EXPECT_EQ(changed[1], (Rect{15, 8, 20, 10}));
    EXPECT_TRUE(canvas.TakeChangedRects().empty());
    // Far outside: nothing at all.
    canvas.FillRect(Rect{-100, -100, -50, -50}, Rgb(1, 2, 3));
    canvas.FillRect(Rect{2147483000, 0, 2147483647, 5}, Rgb(1, 2, 3));
    EXPECT_TRUE(canvas.TakeChangedRects().empty());
}

TEST(SoftFill, AnInvertedRectangleFillsLikePatBlt) {
    // PatBlt with a negative extent covers origin + extent + 1 .. origin.
    SoftCanvas canvas(20, 20);
    canvas.FillRect(Rect{10, 10, 5, 7}, Rgb(255, 255, 255));
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(canvas.PixelAt(x, y), (x >= 6 && x <= 10 && y >= 8 && y <= 10) ? 0xFFFFFFu : 0u) << x << "," << y;
}

TEST(SoftDib, SectionOfAStripCopiesExactlyTheMiddleSquare) {
    // 144 x 48, three squares of 48: every pixel's index encodes its place.
    std::vector<std::uint32_t> px(144 * 48);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 144; ++x) px[y * 144 + x] = static_cast<std::uint32_t>((x * 7 + y * 13) % 256);
    auto strip = MakeDib(144, 48, 8, Table(256), px);
    SoftCanvas canvas(80, 80);
    EXPECT_EQ(strip->PaintSection(canvas, Rect{10, 10, 58, 58}, Rect{48, 0, 96, 48}), 48);
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 80; ++x) {
            std::uint32_t want = 0;
            if (x >= 10 && x < 58 && y >= 10 && y < 58) want = IndexColour(px[(y - 10) * 144 + (x - 10 + 48)]);
            ASSERT_EQ(canvas.PixelAt(x, y), want) << x << "," << y;
        }
    const std::vector<Rect> changed = canvas.TakeChangedRects();
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0], (Rect{10, 10, 58, 58}));
}

TEST(SoftDib, SourceYCountsFromTheBottomRow) {
    // 3 x 5, 24 bits: the colour says column and row (top-down).
    std::vector<std::uint32_t> px(15);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 3; ++x) px[y * 3 + x] = static_cast<std::uint32_t>(0x100000 * (x + 1) + 0x10 * (y + 1));
    auto image = MakeDib(3, 5, 24, {}, px);
    // Two rows whose lower edge is bottom-up row 1: top-down rows 2 and 3.
    SoftCanvas canvas(10, 10);
    // The rows above the section are not counted in the lines set.
    EXPECT_EQ(canvas.SetDIBitsToDevice(4, 4, 2, 2, 1, 1, *image), 3);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            std::uint32_t want = 0;
            if (x >= 4 && x < 6 && y >= 4 && y < 6) want = px[(y - 4 + 2) * 3 + (x - 4 + 1)];
            ASSERT_EQ(canvas.PixelAt(x, y), want) << x << "," << y;
        }
    // The bottom row alone, and the whole picture.
    SoftCanvas bottom(3, 1);
    EXPECT_EQ(bottom.SetDIBitsToDevice(0, 0, 3, 1, 0, 0, *image), 1);
    for (int x = 0; x < 3; ++x) EXPECT_EQ(bottom.PixelAt(x, 0), px[12 + x]);
    SoftCanvas whole(3, 5);
    EXPECT_EQ(whole.SetDIBitsToDevice(0, 0, 3, 5, 0, 0, *image), 5);
    for (int i = 0; i < 15; ++i) EXPECT_EQ(whole.PixelAt(i % 3, i / 3), px[i]);
}

TEST(SoftDib, SectionIsClippedToThePictureAndTheFramebuffer) {
    std::vector<std::uint32_t> px(16);
    for (int i = 0; i < 16; ++i) px[i] = static_cast<std::uint32_t>(i);
    auto image = MakeDib(4, 4, 8, Table(16), px);
    // A source rectangle reaching 2 columns left of and 2 rows above the picture.
    SoftCanvas canvas(12, 12);
    canvas.SetDIBitsToDevice(3, 3, 6, 6, -2, -2, *image);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x) {
            // dest (3,3) is source (-2, top = 4 - (-2 + 6) = 0): top-down row y - 3.
            const int sx = x - 3 - 2, sy = y - 3;
            std::uint32_t want = (x >= 3 && x < 9 && y >= 3 && y < 9 && sx >= 0 && sx < 4 && sy >= 0 && sy < 4)
                                     ? IndexColour(px[sy * 4 + sx])
                                     : 0;
            ASSERT_EQ(canvas.PixelAt(x, y), want) << x << "," << y;
        }
    // Entirely beside the picture: nothing drawn and 0 lines.
    SoftCanvas beside(12, 12);
    EXPECT_EQ(beside.SetDIBitsToDevice(0, 0, 4, 4, 4, 0, *image), 0);
    EXPECT_EQ(beside.SetDIBitsToDevice(0, 0, 4, 4, 0, 4, *image), 0);
    EXPECT_EQ(CountNot(beside, 0), 0);
    // Off the framebuffer on the top left: the visible part only.
    SoftCanvas corner(3, 3);
    EXPECT_EQ(corner.SetDIBitsToDevice(-2, -1, 4, 4, 0, 0, *image), 4);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) {
            const int sx = x + 2, sy = y + 1;
            ASSERT_EQ(corner.PixelAt(x, y), (sx < 4 && sy < 4) ? IndexColour(px[sy * 4 + sx]) : 0u) << x << "," << y;
        }
    const std::vector<Rect> changed = corner.TakeChangedRects();
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0], (Rect{0, 0, 2, 3}));
    // Nothing to copy from an empty picture.
    DibImage empty;
    EXPECT_EQ(corner.SetDIBitsToDevice(0, 0, 3, 3, 0, 0, empty), 0);
    EXPECT_EQ(corner.StretchDIBits(0, 0, 3, 3, 0, 0, 1, 1, empty), 0);
}

TEST(SoftDib, ColourTablesOfOneFourAndEightBitsAndTrueColour) {
    // Odd widths exercise the row padding and the bit order within a byte.
    const int w = 11, h = 3;
    std::mt19937 rng(7);
    for (int bits : {1, 4, 8}) {
        const int colours = 1 << bits;
        std::vector<std::uint32_t> px(w * h);
        for (auto& v : px) v = rng() % static_cast<unsigned>(colours);
        auto image = MakeDib(w, h, bits, Table(colours), px);
        SoftCanvas canvas(w, h);
        image->PaintAt(canvas, 0, 0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(canvas.PixelAt(x, y), IndexColour(px[y * w + x])) << bits << " bits " << x << "," << y;
    }
    std::vector<std::uint32_t> px(w * h);
    for (auto& v : px) v = rng() & 0xFFFFFF;
    auto image = MakeDib(w, h, 24, {}, px);
    SoftCanvas canvas(w, h);
    image->PaintAt(canvas, 0, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) ASSERT_EQ(canvas.PixelAt(x, y), px[y * w + x]) << x << "," << y;

    // An index beyond a short colour table is black.
    std::vector<std::uint32_t> idx = {0, 1, 2, 3};
    auto shortTable = MakeDib(4, 1, 8, {0xFF0000, 0x00FF00}, idx);
    SoftCanvas c(4, 1);
    c.Clear(Rgb(9, 9, 9));
    shortTable->PaintAt(c, 0, 0);
    EXPECT_EQ(c.PixelAt(0, 0), 0xFF0000u);
    EXPECT_EQ(c.PixelAt(1, 0), 0x00FF00u);
    EXPECT_EQ(c.PixelAt(2, 0), 0u);
    EXPECT_EQ(c.PixelAt(3, 0), 0u);
}

// One canvas remembers the colour tables it converted lately: pictures
// that share indices but not colours, more of them than it remembers, and
// a table that is the start of a longer one, must each show their own.
TEST(SoftDib, EachPictureShowsItsOwnColoursOnACanvasThatDrewOthers) {
    const std::vector<std::uint32_t> idx = {0, 1, 2, 3};
    std::vector<std::unique_ptr<DibImage>> pictures;
    for (std::uint32_t k = 0; k < 6; ++k)
        pictures.push_back(MakeDib(4, 1, 8, {0x100000u * k, 0x1000u * k + 1, 0x10u * k + 2, 0x30303u}, idx));
    pictures.push_back(MakeDib(4, 1, 8, {0x500000u, 0x5001u, 0x52u}, idx));  // the last one's start
    SoftCanvas c(4, 1);
    for (int round = 0; round < 2; ++round) {
        for (std::uint32_t k = 0; k < pictures.size(); ++k) {
            pictures[k]->PaintAt(c, 0, 0);
            const std::uint32_t m = k < 6 ? k : 5;
            EXPECT_EQ(c.PixelAt(0, 0), 0x100000u * m) << k;
            EXPECT_EQ(c.PixelAt(1, 0), 0x1000u * m + 1) << k;
            EXPECT_EQ(c.PixelAt(2, 0), 0x10u * m + 2) << k;
            EXPECT_EQ(c.PixelAt(3, 0), k < 6 ? 0x30303u : 0u) << k;
        }
    }
}

TEST(SoftDib, StretchIsNearestNeighbour) {
    std::vector<std::uint32_t> px = {0x110000, 0x220000, 0x330000, 0x001100, 0x002200, 0x003300};
    auto image = MakeDib(3, 2, 24, {}, px);
    SoftCanvas canvas(10, 8);
    image->PaintStretched(canvas, 1, 2, 6, 4);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 10; ++x) {
            std::uint32_t want = 0;
            if (x >= 1 && x < 7 && y >= 2 && y < 6) want = px[((y - 2) / 2) * 3 + (x - 1) / 2];
            ASSERT_EQ(canvas.PixelAt(x, y), want) << x << "," << y;
        }
    // PaintAt covers exactly the picture's own size.
    std::vector<std::uint32_t> square(400, 0xABCDEF);
    auto ball = MakeDib(20, 20, 24, {}, square);
    SoftCanvas c(40, 40);
    ball->PaintAt(c, 5, 7);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(c.PixelAt(x, y), Inside(Rect{5, 7, 25, 27}, x, y) ? 0xABCDEFu : 0u) << x << "," << y;
    // A source section of a bottom-up picture counts y from the bottom too:
    // (0, 1, 3, 1) is the top row.
    SoftCanvas top(6, 2);
    EXPECT_EQ(top.StretchDIBits(0, 0, 6, 2, 0, 1, 3, 1, *image), 2);
    for (int x = 0; x < 6; ++x) {
        EXPECT_EQ(top.PixelAt(x, 0), px[x / 2]);
        EXPECT_EQ(top.PixelAt(x, 1), px[x / 2]);
    }
    // A negative destination width mirrors.
    SoftCanvas mirrored(3, 2);
    mirrored.StretchDIBits(2, 0, -3, 2, 0, 0, 3, 2, *image);
    for (int x = 0; x < 3; ++x) EXPECT_EQ(mirrored.PixelAt(x, 0), px[2 - x]) << x;
}

TEST(SoftChanged, TheChangedRectanglesCoverEveryChangedPixel) {
    auto font = MakeFont(-18, "MS Sans Serif", 700);
    std::vector<std::uint32_t> px(48 * 48);
    for (std::size_t i = 0; i < px.size(); ++i) px[i] = static_cast<std::uint32_t>(i % 200);
    auto image = MakeDib(48, 48, 8, Table(256), px);
    std::mt19937 rng(12345);
    SoftCanvas canvas(320, 240);
    canvas.SelectFont(font.get());
    canvas.SetBkMode(kTransparent);
    for (int round = 0; round < 40; ++round) {
        const std::vector<std::uint32_t> before = Snapshot(canvas);
        const int ops = 1 + static_cast<int>(rng() % 60);
        for (int i = 0; i < ops; ++i) {
            const int x = static_cast<int>(rng() % 360) - 20, y = static_cast<int>(rng() % 280) - 20;
            switch (rng() % 3) {
                case 0:
                    canvas.FillRect(Rect{x, y, x + static_cast<int>(rng() % 60), y + static_cast<int>(rng() % 40)},
                                    Rgb(rng() % 256, rng() % 256, rng() % 256));
                    break;
                case 1:
                    canvas.SetTextColor(Rgb(rng() % 256, 255, rng() % 256));
                    canvas.DrawText("Spiele 12", Rect{x, y, x + 80, y + 45}, kDtWordBreak | (rng() % 2 ? kDtCenter : 0));
                    break;
                default:
                    canvas.SetDIBitsToDevice(x, y, 48, 48, 0, 0, *image);
            }
        }
        const std::vector<Rect> changed = canvas.TakeChangedRects();
        ASSERT_LE(changed.size(), SoftCanvas::kMaxChangedRects);
        for (const Rect& r : changed) {
            ASSERT_FALSE(r.IsEmpty());
            ASSERT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= 320 && r.bottom <= 240);
        }
        const std::vector<std::uint32_t> after = Snapshot(canvas);
        for (int yy = 0; yy < 240; ++yy)
            for (int xx = 0; xx < 320; ++xx) {
                if (before[yy * 320 + xx] == after[yy * 320 + xx]) continue;
                bool covered = false;
                for (const Rect& r : changed) covered = covered || Inside(r, xx, yy);
                ASSERT_TRUE(covered) << "round " << round << " pixel " << xx << "," << yy;
            }
    }
}

// The changed rectangles are weighed four at a time where the processor
// allows, else one at a time. Both must merge the same rectangles in the
// same order: nested, overlapping, adjoining and distant changes, frames
// that fill the list and overflow it, and rectangles at the canvas's edges.
TEST(SoftChanged, BothWaysOfMergingGiveTheSameRectangles) {
    const WideStepsBack back;
    if (!SoftCanvas::SetWideSteps(true)) GTEST_SKIP() << "the processor has no AVX2";
    std::vector<std::vector<Rect>> taken[2];
    std::size_t fullFrames = 0;
    for (int way = 0; way < 2; ++way) {
        ASSERT_EQ(SoftCanvas::SetWideSteps(way == 0), way == 0);
        std::mt19937 rng(777);
        SoftCanvas canvas(1000, 700);
        canvas.TakeChangedRects();
        // Ties: two rectangles just cheap enough to merge (four times the
        // waste equals their areas), and a full list whose newcomer wastes
        // the same with two partners, where the first must take it.
        canvas.FillRect(Rect{0, 600, 2, 601}, Rgb(1, 2, 3));
        for (int i = 0; i < 4; ++i) canvas.FillRect(Rect{800 + 50 * i, 650, 801 + 50 * i, 651}, Rgb(1, 2, 3));
        canvas.FillRect(Rect{3, 600, 5, 601}, Rgb(1, 2, 3));
        taken[way].push_back(canvas.TakeChangedRects());
        for (int i = 0; i < 32; ++i) canvas.FillRect(Rect{100 * (i % 10), 100 * (i / 10), 100 * (i % 10) + 1, 100 * (i / 10) + 1}, Rgb(4, 5, 6));
        canvas.FillRect(Rect{50, 0, 51, 1}, Rgb(4, 5, 6));
        taken[way].push_back(canvas.TakeChangedRects());
        for (int frame = 0; frame < 60; ++frame) {
            const int fills = 1 + static_cast<int>(rng() % 120);
            for (int i = 0; i < fills; ++i) {
                // Small boxes gliding a little, as the stage's are, and now
                // and then a large one or one past the edge.
                const int w = rng() % 10 == 0 ? static_cast<int>(rng() % 600) : 1 + static_cast<int>(rng() % 40);
                const int h = rng() % 10 == 0 ? static_cast<int>(rng() % 400) : 1 + static_cast<int>(rng() % 20);
                const int x = static_cast<int>(rng() % 1040) - 20, y = static_cast<int>(rng() % 740) - 20;
                canvas.FillRect(Rect{x, y, x + w, y + h}, Rgb(rng() % 256, frame, way));
                if (rng() % 2) canvas.FillRect(Rect{x + 2, y + 1, x + w + 2, y + h + 1}, Rgb(frame, rng() % 256, 7));
            }
            taken[way].push_back(canvas.TakeChangedRects());
            if (way == 0 && taken[0].back().size() == SoftCanvas::kMaxChangedRects) ++fullFrames;
        }
    }
    EXPECT_GT(fullFrames, 5u);
    ASSERT_EQ(taken[0].size(), taken[1].size());
    ASSERT_EQ(taken[0][0].size(), 5u);
    EXPECT_EQ(taken[0][0].back(), (Rect{0, 600, 5, 601}));
    ASSERT_EQ(taken[0][1].size(), 32u);
    EXPECT_EQ(taken[0][1].back(), (Rect{0, 0, 51, 1}));
    for (std::size_t f = 0; f < taken[0].size(); ++f) EXPECT_EQ(taken[0][f], taken[1][f]) << "frame " << f;
}

TEST(SoftChanged, OverlappingChangesMergeAndDistantOnesStaySeparate) {
    SoftCanvas canvas(200, 200);
    canvas.TakeChangedRects();
    canvas.FillRect(Rect{10, 10, 40, 30}, Rgb(1, 1, 1));
    canvas.FillRect(Rect{12, 12, 42, 32}, Rgb(2, 2, 2));  // a small glide
    canvas.FillRect(Rect{150, 150, 160, 160}, Rgb(3, 3, 3));
    std::vector<Rect> changed = canvas.TakeChangedRects();
    ASSERT_EQ(changed.size(), 2u);
    EXPECT_EQ(changed[0], (Rect{10, 10, 42, 32}));
    EXPECT_EQ(changed[1], (Rect{150, 150, 160, 160}));
    // A new size counts as changed everywhere.
    canvas.Resize(50, 40);
    changed = canvas.TakeChangedRects();
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0], (Rect{0, 0, 50, 40}));
    EXPECT_EQ(CountNot(canvas, 0), 0);
    // A canvas nobody presents keeps no list.
    canvas.SetChangeTracking(false);
    canvas.FillRect(Rect{1, 1, 5, 5}, Rgb(9, 9, 9));
    EXPECT_TRUE(canvas.TakeChangedRects().empty());
    EXPECT_EQ(canvas.PixelAt(2, 2), 0x090909u);
    canvas.SetChangeTracking(true);
    canvas.FillRect(Rect{1, 1, 5, 5}, Rgb(8, 8, 8));
    EXPECT_EQ(canvas.TakeChangedRects(), (std::vector<Rect>{Rect{1, 1, 5, 5}}));
}
