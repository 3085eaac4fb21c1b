// Packed bitmap bytes into a DibImage, then painted on the software canvas.
#include "fuzz/display_invariants.h"
#include "fuzz/fuzz_target.h"
#include "platform/soft/soft_canvas.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    DibImage image;
    fuzzcheck::Verdict v = fuzzcheck::CheckPackedDib(data, size, image);
    if (v.ok()) {
        static SoftCanvas canvas(61, 43);
        fuzzcheck::CheckPaintedInside(image, canvas, fuzzcheck::Hash(data, size), v);
    }
    return fuzzcheck::Enforce(v);
}
