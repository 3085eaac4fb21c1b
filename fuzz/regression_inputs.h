#pragma once
// The inputs a unit test replays for one fuzz target: its seeds under
// fuzz/corpus/<target> (and any shared seed folders named), and every finding
// kept under tests/fixtures/fuzz/<target>. Files are read whole, as bytes.

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

namespace fuzzcheck {

struct RegressionInput {
    std::string path;
    std::vector<std::uint8_t> bytes;
};

// `fixtures` is the tests/fixtures folder of the source tree.
inline std::vector<RegressionInput> RegressionInputs(const std::string& fixtures, const std::string& target,
                                                     std::initializer_list<const char*> sharedSeeds = {}) {
    namespace fs = std::filesystem;
    const fs::path root = fs::path(fixtures) / ".." / "..";
    std::vector<fs::path> folders = {root / "fuzz" / "corpus" / target, fs::path(fixtures) / "fuzz" / target};
    for (const char* s : sharedSeeds) folders.push_back(root / s);

    std::vector<RegressionInput> inputs;
    for (const fs::path& folder : folders) {
        std::error_code ec;
        if (!fs::is_directory(folder, ec)) continue;
        std::vector<fs::path> files;
        for (const fs::directory_entry& e : fs::directory_iterator(folder, ec))
            if (e.is_regular_file(ec)) files.push_back(e.path());
        std::sort(files.begin(), files.end());
        for (const fs::path& f : files) {
            std::ifstream in(f, std::ios::binary);
            RegressionInput input;
            input.path = f.generic_string();
            input.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            inputs.push_back(std::move(input));
        }
    }
    return inputs;
}

}  // namespace fuzzcheck
