// Every seed and every finding of the font spec and packed bitmap fuzz
// targets, through the invariant checks the fuzzers apply.

#include <gtest/gtest.h>

#include "fuzz/display_invariants.h"
#include "fuzz/regression_inputs.h"

namespace {

TEST(FuzzRegression, FontSpecs) {
    const auto inputs = fuzzcheck::RegressionInputs(SCORVANE_FIXTURES_DIR, "font_spec");
    ASSERT_FALSE(inputs.empty());
    for (const auto& input : inputs) {
        const fuzzcheck::Verdict v = fuzzcheck::CheckFontSpec(input.bytes.data(), input.bytes.size());
        EXPECT_TRUE(v.ok()) << input.path << ": " << v.first();
    }
}

TEST(FuzzRegression, PackedBitmaps) {
    const auto inputs = fuzzcheck::RegressionInputs(SCORVANE_FIXTURES_DIR, "dib_packed");
    ASSERT_FALSE(inputs.empty());
    int loaded = 0;
    for (const auto& input : inputs) {
        DibImage image;
        bool ok = false;
        const fuzzcheck::Verdict v = fuzzcheck::CheckPackedDib(input.bytes.data(), input.bytes.size(), image, &ok);
        EXPECT_TRUE(v.ok()) << input.path << ": " << v.first();
        loaded += ok;
    }
    // The program's own 22 bitmaps are among the seeds, and they all load,
    // as do the hand-made ones of every depth but the one cut short.
    EXPECT_GE(loaded, 31);
}

}  // namespace
