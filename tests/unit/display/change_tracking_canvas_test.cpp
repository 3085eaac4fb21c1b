#include "display/change_tracking_canvas.h"

#include <gtest/gtest.h>

#include "display_test_support.h"

using displaytest::RecordingCanvas;

TEST(ChangeTrackingCanvas, PassesEveryCallOnAndReportsWhereItDrewOnce) {
    RecordingCanvas inner;
    ChangeTrackingCanvas canvas(inner);
    canvas.FillRect(Rect{10, 10, 20, 20}, Rgb(1, 2, 3));
    canvas.DrawText("a", Rect{15, 15, 30, 25}, 0);          // overlaps the fill: one piece
    canvas.FillRect(Rect{100, 100, 100, 140}, Rgb(0, 0, 0));  // empty: nothing
    canvas.DrawText("b", Rect{-20, 50, 5, 60}, 0);          // half off the stage
    EXPECT_EQ(inner.ops.size(), 4u);
    const std::vector<Rect> pieces = canvas.Take(Rect{0, 0, 200, 100});
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0], (Rect{10, 10, 30, 25}));
    EXPECT_EQ(pieces[1], (Rect{0, 50, 5, 60}));
    EXPECT_TRUE(canvas.Take(Rect{0, 0, 200, 100}).empty());

    // Many small pieces become their bounding box.
    for (int i = 0; i < 40; ++i) canvas.FillRect(Rect{i * 4, 0, i * 4 + 2, 2}, 0);
    EXPECT_EQ(canvas.Take(Rect{0, 0, 200, 100}), (std::vector<Rect>{Rect{0, 0, 158, 2}}));
}
