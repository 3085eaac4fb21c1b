// A body through the tokenizer and the extractor into theStandings.
#include "fuzz/acquire_invariants.h"
#include "fuzz/fuzz_target.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return fuzzcheck::Enforce(fuzzcheck::CheckStandingsExtraction(data, size));
}
