// The screen-saver switch grammar, and the association code on its way into
// the standings address.
#include "fuzz/app_invariants.h"
#include "fuzz/fuzz_target.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzcheck::Enforce(fuzzcheck::CheckCommandLine(data, size));
    return fuzzcheck::Enforce(fuzzcheck::CheckStandingsAddress(data, size));
}
