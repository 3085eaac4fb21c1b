// Writes an embedded bitmap as a binary PPM, so that the screenshot checks
// can compare the dialog's pixels with the pictures it was drawn from.
#include <cstdio>
#include <cstdlib>

#include "config/mask_region.h"
#include "display/dib_image.h"
#include "res/embedded_resources.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: dialog-bitmap-ppm ID OUTPUT.ppm\n");
        return 2;
    }
    InstallEmbeddedResources();
    DibImage image;
    if (!image.LoadFromResource(static_cast<std::uint16_t>(std::atoi(argv[1])))) {
        std::fprintf(stderr, "dialog-bitmap-ppm: no bitmap %s\n", argv[1]);
        return 1;
    }
    std::FILE* out = std::fopen(argv[2], "wb");
    if (!out) {
        std::perror(argv[2]);
        return 1;
    }
    std::fprintf(out, "P6\n%d %d\n255\n", image.GetWidth(), image.GetHeight());
    for (int y = 0; y < image.GetHeight(); ++y) {
        for (int x = 0; x < image.GetWidth(); ++x) {
            const ColorRef c = DibPixelAt(image, x, y);
            const unsigned char rgb[3] = {static_cast<unsigned char>(GetRValue(c)),
                                          static_cast<unsigned char>(GetGValue(c)),
                                          static_cast<unsigned char>(GetBValue(c))};
            std::fwrite(rgb, 1, 3, out);
        }
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
