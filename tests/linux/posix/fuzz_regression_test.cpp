// Every seed and finding of the INI profile fuzz target, through the checks
// the fuzzer applies: reads give trimmed values of the file, a write reads
// back and leaves every other value and line as it was.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "fuzz/ini_invariants.h"
#include "fuzz/regression_inputs.h"

namespace {

TEST(FuzzRegression, ProfileFiles) {
    std::string folder = (std::filesystem::temp_directory_path() / "scorvane-ini-replay-XXXXXX").string();
    ASSERT_NE(mkdtemp(folder.data()), nullptr);
    const auto inputs = fuzzcheck::RegressionInputs(SCORVANE_FIXTURES_DIR, "ini_profile");
    EXPECT_FALSE(inputs.empty());
    for (const auto& input : inputs) {
        const fuzzcheck::Verdict v = fuzzcheck::CheckIniProfile(input.bytes.data(), input.bytes.size(), folder);
        EXPECT_TRUE(v.ok()) << input.path << ": " << v.first();
    }
    std::filesystem::remove_all(folder);
}

}  // namespace
