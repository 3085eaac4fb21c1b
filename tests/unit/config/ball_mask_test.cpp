#include <gtest/gtest.h>

#include "config/mask_region.h"
#include "config/settings_logic.h"
#include "display/dib_image.h"
#include "res/embedded_resources.h"

namespace {

TEST(BallMask, TheDiscGivesOneRectanglePerRowBelowTheEmptyTopRow) {
    InstallEmbeddedResources();
    DibImage mask;
    ASSERT_TRUE(mask.LoadFromResource(kBallMaskBitmapId));
    ASSERT_EQ(mask.GetWidth(), 46);
    ASSERT_EQ(mask.GetHeight(), 46);
    ASSERT_EQ(mask.header()->biBitCount, 1);

    int black = 0;
    for (int y = 0; y < 46; ++y) {
        for (int x = 0; x < 46; ++x) {
            const ColorRef c = DibPixelAt(mask, x, y);
            ASSERT_TRUE(c == Rgb(0, 0, 0) || c == Rgb(255, 255, 255)) << x << "," << y;
            if (c == Rgb(0, 0, 0)) ++black;
        }
    }

    const std::vector<Rect> rects = RegionRectsFromDib(mask, Rgb(255, 255, 255));
    ASSERT_EQ(rects.size(), 45u);
    int covered = 0;
    for (std::size_t i = 0; i < rects.size(); ++i) {
        const Rect& r = rects[i];
        EXPECT_EQ(r.top, 45 - static_cast<int>(i));
        EXPECT_EQ(r.bottom, r.top + 1);
        EXPECT_GT(r.Width(), 0);
        covered += r.Width();
    }
    EXPECT_EQ(covered, black);
    EXPECT_TRUE(RegionContains(rects, 23, 23));
    for (int corner : {0, 45}) {
        EXPECT_FALSE(RegionContains(rects, corner, 0));
        EXPECT_FALSE(RegionContains(rects, corner, 45));
    }
    for (int x = 0; x < 46; ++x) EXPECT_FALSE(RegionContains(rects, x, 0));
}

}  // namespace
