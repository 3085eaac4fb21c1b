#pragma once
// The libFuzzer side of an invariant check: a broken invariant aborts, so
// that the fuzzer stops and keeps the input that broke it.

#include <cstdio>
#include <cstdlib>

#include "fuzz/check.h"

namespace fuzzcheck {

inline int Enforce(const Verdict& verdict) {
    if (!verdict.ok()) {
        std::fprintf(stderr, "invariant broken: %s\n", verdict.first().c_str());
        std::abort();
    }
    return 0;
}

}  // namespace fuzzcheck
