// Every seed and finding of the results fuzz target, with the finished
// seasons of the fixtures, through the checks the fuzzer applies.

#include <gtest/gtest.h>

#include "fuzz/regression_inputs.h"
#include "fuzz/results_invariants.h"

namespace {

TEST(FuzzRegression, ResultsJsonFiles) {
    const auto inputs =
        fuzzcheck::RegressionInputs(SCORVANE_FIXTURES_DIR, "results_json", {"tests/fixtures/results/2023-24"});
    ASSERT_GE(inputs.size(), 6u);
    for (const auto& input : inputs) {
        const fuzzcheck::Verdict v = fuzzcheck::CheckResultsJson(input.bytes.data(), input.bytes.size());
        EXPECT_TRUE(v.ok()) << input.path << ": " << v.first();
    }
}

}  // namespace
