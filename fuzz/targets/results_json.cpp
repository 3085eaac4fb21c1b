// The match results reader and the table computed from what it reads.
#include "fuzz/fuzz_target.h"
#include "fuzz/results_invariants.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return fuzzcheck::Enforce(fuzzcheck::CheckResultsJson(data, size));
}
