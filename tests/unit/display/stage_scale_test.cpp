#include "display/stage_scale.h"

#include <gtest/gtest.h>

TEST(StageScale, AutoTakesTheLargestFactorLeavingAtLeast1280x720) {
    EXPECT_EQ(AutoStageScale(Size{1920, 1080}), 1);
    EXPECT_EQ(AutoStageScale(Size{2560, 1440}), 2);
    EXPECT_EQ(AutoStageScale(Size{3840, 2160}), 3);
    EXPECT_EQ(AutoStageScale(Size{5120, 2880}), 4);
    EXPECT_EQ(AutoStageScale(Size{7680, 4320}), 4);
    // Both sides count: a wide but low screen is not scaled.
    EXPECT_EQ(AutoStageScale(Size{5120, 1439}), 1);
    EXPECT_EQ(AutoStageScale(Size{2559, 1440}), 1);
    EXPECT_EQ(AutoStageScale(Size{200, 150}), 1);
    EXPECT_EQ(AutoStageScale(Size{0, 0}), 1);
}

TEST(StageScale, FixedFactorsAndTheStageTheyLeave) {
    EXPECT_EQ(StageScaleFor(kAutoStageScale, Size{3840, 2160}), 3);
    EXPECT_EQ(StageScaleFor(2, Size{3840, 2160}), 2);
    EXPECT_EQ(StageScaleFor(4, Size{200, 150}), 4);
    // Never a stage of no pixels.
    EXPECT_EQ(StageScaleFor(4, Size{3, 100}), 3);
    EXPECT_EQ(StageScaleFor(4, Size{0, 0}), 1);
    EXPECT_EQ(ScaledStage(Size{3840, 2160}, 3), (Size{1280, 720}));
    EXPECT_EQ(ScaledStage(Size{2561, 1441}, 2), (Size{1280, 720}));
}

TEST(StageScale, ParsesAutoAndTheFourFactors) {
    int scale = -1;
    EXPECT_TRUE(ParseStageScale("auto", scale));
    EXPECT_EQ(scale, kAutoStageScale);
    EXPECT_TRUE(ParseStageScale("AUTO", scale));
    EXPECT_EQ(scale, kAutoStageScale);
    EXPECT_TRUE(ParseStageScale("4", scale));
    EXPECT_EQ(scale, 4);
    for (const char* bad : {"", "0", "5", "1.5", "2x", " 2", "autos", "-1"}) {
        scale = 7;
        EXPECT_FALSE(ParseStageScale(bad, scale)) << bad;
        EXPECT_EQ(scale, 7) << bad;
    }
}
