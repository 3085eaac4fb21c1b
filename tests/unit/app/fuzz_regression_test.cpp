// Every seed and every finding of the command-line fuzz target, through the
// invariant checks the fuzzer applies: the switch grammar and the code on its
// way into the standings address.

#include <gtest/gtest.h>

#include "fuzz/app_invariants.h"
#include "fuzz/regression_inputs.h"

namespace {

TEST(FuzzRegression, CommandLinesAndCodes) {
    const auto inputs = fuzzcheck::RegressionInputs(SCORVANE_FIXTURES_DIR, "command_line");
    ASSERT_FALSE(inputs.empty());
    for (const auto& input : inputs) {
        const fuzzcheck::Verdict line = fuzzcheck::CheckCommandLine(input.bytes.data(), input.bytes.size());
        EXPECT_TRUE(line.ok()) << input.path << ": " << line.first();
        const fuzzcheck::Verdict code = fuzzcheck::CheckStandingsAddress(input.bytes.data(), input.bytes.size());
        EXPECT_TRUE(code.ok()) << input.path << ": " << code.first();
    }
}

}  // namespace
