// Every seed and finding of the CSV fuzz target, with the site's own sample
// files, through the checks the fuzzer applies: a refusal names its line, and
// an accepted league downloads back from its page as exactly its rows.

#include <gtest/gtest.h>

#include "fuzz/league_csv_invariants.h"
#include "fuzz/regression_inputs.h"

namespace {

TEST(FuzzRegression, LeagueCsvFiles) {
    const auto inputs = fuzzcheck::RegressionInputs(SCORVANE_FIXTURES_DIR, "league_csv", {"tests/fixtures/serve"});
    ASSERT_FALSE(inputs.empty());
    for (const auto& input : inputs) {
        const fuzzcheck::Verdict v = fuzzcheck::CheckLeagueCsv(input.bytes.data(), input.bytes.size());
        EXPECT_TRUE(v.ok()) << input.path << ": " << v.first();
    }
}

}  // namespace
