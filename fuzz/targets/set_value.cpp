// Attribute values: SetValue, the lazy first read and a quoted value in a tag.
#include "fuzz/acquire_invariants.h"
#include "fuzz/fuzz_target.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return fuzzcheck::Enforce(fuzzcheck::CheckSetValue(data, size));
}
