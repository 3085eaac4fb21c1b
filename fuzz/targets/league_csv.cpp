// The CSV reader of `scorvane serve --data`, and the page it serves.
#include "fuzz/fuzz_target.h"
#include "fuzz/league_csv_invariants.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return fuzzcheck::Enforce(fuzzcheck::CheckLeagueCsv(data, size));
}
