// Repeated draws: a text or picture drawn again where it already stands is
// left out and reports nothing (whole board frames: soft_golden_test.cpp).

#include <gtest/gtest.h>

#include "soft_test_support.h"

using namespace softtest;

TEST(SoftSkip, ATextDrawnAgainReportsNothingUntilSomethingIsDrawnOverIt) {
    auto font = MakeFont(-18, "MS Sans Serif", 700);
    SoftCanvas c(200, 60);
    c.SelectFont(font.get());
    c.SetBkMode(kTransparent);
    c.SetTextColor(Rgb(200, 40, 40));
    const Rect box{10, 5, 150, 45};
    c.DrawText("Hamburg", box, kDtWordBreak);
    ASSERT_FALSE(c.TakeChangedRects().empty());
    const std::vector<std::uint32_t> drawn = Snapshot(c);

    // An idle frame: the same text, colour and place again.
    c.DrawText("Hamburg", box, kDtWordBreak);
    EXPECT_TRUE(c.TakeChangedRects().empty());
    EXPECT_EQ(c.SkippedDraws(), 1u);

    // A fill over the first letters; the text drawn again must come back.
    c.FillRect(Rect{0, 0, 30, 60}, 0);
    c.TakeChangedRects();
    c.DrawText("Hamburg", box, kDtWordBreak);
    EXPECT_EQ(c.SkippedDraws(), 1u);
    EXPECT_EQ(Snapshot(c), drawn);
    EXPECT_FALSE(c.TakeChangedRects().empty());

    // Another colour is another draw.
    c.SetTextColor(Rgb(0, 0, 0));
    c.DrawText("Hamburg", box, kDtWordBreak);
    EXPECT_EQ(c.SkippedDraws(), 1u);
    EXPECT_EQ(CountNot(c, 0), 0);
}

TEST(SoftSkip, APictureDrawnAgainReportsNothingAndOnlyChangedPixelsAreReported) {
    // 4 x 2, the right half red, the left half black like the canvas.
    auto picture = MakeDib(4, 2, 8, {0x000000, 0xFF0000}, {0, 0, 1, 1, 0, 0, 1, 1});
    SoftCanvas c(20, 10);
    c.TakeChangedRects();
    c.SetDIBitsToDevice(5, 3, 4, 2, 0, 0, *picture);
    EXPECT_EQ(c.TakeChangedRects(), (std::vector<Rect>{Rect{7, 3, 9, 5}}));
    c.SetDIBitsToDevice(5, 3, 4, 2, 0, 0, *picture);
    EXPECT_TRUE(c.TakeChangedRects().empty());
    EXPECT_EQ(c.SkippedDraws(), 1u);
}

TEST(SoftSkip, UseMemoryDrawsIntoTheGivenRowsAndLeavesThePaddingAlone) {
    std::vector<std::uint32_t> memory(8 * 4, 0xABCDEFu);  // 4 rows of 8 words, 6 of them pixels
    SoftCanvas c(1, 1);
    c.UseMemory(memory.data(), 6, 4, 8);
    EXPECT_EQ(c.Width(), 6);
    EXPECT_EQ(c.Stride(), 8u);
    c.FillRect(Rect{0, 0, 100, 100}, Rgb(1, 2, 3));
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 8; ++x) EXPECT_EQ(memory[y * 8 + x], x < 6 ? 0x010203u : 0xABCDEFu) << x << "," << y;
    }
}

// Frames of board-like draws: a box that stops drawing shifts the ones after
// it, and a canvas that never ends a frame keeps recognising repeats across
// the point where its record of draws starts anew.
TEST(SoftSkip, RepeatsAreRecognisedAfterADroppedDrawAndWithoutFrameEnds) {
    auto font = MakeFont(-18, "MS Sans Serif", 700);
    const char* cells[] = {"1", "Bayern", "34", "80", "2", "Dortmund", "34", "71"};
    auto frame = [&](SoftCanvas& c, std::size_t skip) {
        for (std::size_t i = 0; i < 8; ++i) {
            if (i == skip) continue;
            // Far enough apart that no cell's draw counts as drawn over another.
            const int x = static_cast<int>(i % 4) * 128, y = static_cast<int>(i / 4) * 64;
            c.DrawText(cells[i], Rect{x, y, x + 100, y + 40}, kDtWordBreak);
        }
    };
    SoftCanvas c(512, 128);
    c.SelectFont(font.get());
    c.SetBkMode(kTransparent);
    c.SetTextColor(Rgb(191, 191, 191));
    frame(c, 99);
    c.TakeChangedRects();
    const std::vector<std::uint32_t> drawn = Snapshot(c);

    frame(c, 1);  // "Bayern" gone from this frame: the six after it are still found
    EXPECT_EQ(c.SkippedDraws(), 7u);
    EXPECT_TRUE(c.TakeChangedRects().empty());
    EXPECT_EQ(Snapshot(c), drawn);

    SoftCanvas endless(512, 128);
    endless.SelectFont(font.get());
    endless.SetBkMode(kTransparent);
    endless.SetTextColor(Rgb(191, 191, 191));
    for (int n = 0; n < 2500; ++n) frame(endless, 99);  // 20000 draws, no frame ended
    EXPECT_GE(endless.SkippedDraws(), 15000u);
    EXPECT_EQ(Snapshot(endless), drawn);
}
