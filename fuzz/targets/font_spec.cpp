// Font specs into font descriptions.
#include "fuzz/display_invariants.h"
#include "fuzz/fuzz_target.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return fuzzcheck::Enforce(fuzzcheck::CheckFontSpec(data, size));
}
