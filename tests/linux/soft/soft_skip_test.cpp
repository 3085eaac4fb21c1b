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
