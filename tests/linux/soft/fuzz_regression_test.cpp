// Every seed and finding of the packed bitmap fuzz target, painted on the
// software canvas as the fuzzer paints it: nothing outside the rectangle it
// is painted into, nothing outside the changed rectangles.

#include <gtest/gtest.h>

#include "fuzz/display_invariants.h"
#include "fuzz/regression_inputs.h"
#include "platform/soft/soft_canvas.h"

namespace {

TEST(FuzzRegression, PackedBitmapsPaintInsideTheirRectangle) {
    const auto inputs = fuzzcheck::RegressionInputs(SCORVANE_FIXTURES_DIR, "dib_packed");
    ASSERT_FALSE(inputs.empty());
    SoftCanvas canvas(61, 43);
    for (const auto& input : inputs) {
        DibImage image;
        fuzzcheck::Verdict v = fuzzcheck::CheckPackedDib(input.bytes.data(), input.bytes.size(), image);
        fuzzcheck::CheckPaintedInside(image, canvas, fuzzcheck::Hash(input.bytes.data(), input.bytes.size()), v);
        EXPECT_TRUE(v.ok()) << input.path << ": " << v.first();
    }
}

}  // namespace
