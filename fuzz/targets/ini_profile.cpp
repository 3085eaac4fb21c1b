// The Linux profile reader and writer over a file of arbitrary bytes.
#include <cstdlib>
#include <filesystem>
#include <string>

#include "fuzz/fuzz_target.h"
#include "fuzz/ini_invariants.h"

namespace {

// One private folder for the whole run, under TMPDIR, gone at exit.
struct Folder {
    std::string path;
    Folder() {
        path = (std::filesystem::temp_directory_path() / "scorvane-fuzz-ini-XXXXXX").string();
        if (mkdtemp(path.data()) == nullptr) std::abort();
    }
    ~Folder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Folder folder;
    return fuzzcheck::Enforce(fuzzcheck::CheckIniProfile(data, size, folder.path));
}
