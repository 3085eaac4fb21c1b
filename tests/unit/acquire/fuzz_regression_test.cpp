// Every seed and every finding of the acquisition fuzz targets, through the
// same invariant checks the fuzzers apply, so that a fixed finding stays
// fixed.

#include <gtest/gtest.h>

#include "fuzz/acquire_invariants.h"
#include "fuzz/regression_inputs.h"

namespace {

template <class Check>
void Replay(const char* target, std::initializer_list<const char*> sharedSeeds, Check check) {
    const auto inputs = fuzzcheck::RegressionInputs(SCORVANE_FIXTURES_DIR, target, sharedSeeds);
    ASSERT_FALSE(inputs.empty()) << "no seeds for " << target;
    for (const auto& input : inputs) {
        const fuzzcheck::Verdict v = check(input.bytes.data(), input.bytes.size());
        EXPECT_TRUE(v.ok()) << input.path << ": " << v.first();
    }
}

TEST(FuzzRegression, TokenizerEvents) {
    Replay("markup_events", {"fuzz/corpus/pages", "tests/fixtures/pages"}, fuzzcheck::CheckMarkupEvents);
}

TEST(FuzzRegression, TokenizerAndExtractor) {
    Replay("extract", {"fuzz/corpus/pages", "fuzz/corpus/markup_events", "tests/fixtures/pages"},
           fuzzcheck::CheckStandingsExtraction);
}

TEST(FuzzRegression, CharacterReferences) { Replay("char_reference", {}, fuzzcheck::CheckCharReference); }

TEST(FuzzRegression, AttributeValues) { Replay("set_value", {}, fuzzcheck::CheckSetValue); }

}  // namespace
