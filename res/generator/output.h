#pragma once
// From rendered pictures to the files the program ships: a palette of at most
// 256 colours (median cut, refined by a few rounds of k-means), optional
// error diffusion, and the 8-bit and 1-bit BMP and the ICO writers.

#include <cstdint>
#include <string>
#include <vector>

#include "art.h"

namespace art {

struct Indexed {
    int width = 0, height = 0;
    std::vector<Rgba8> palette;          // always 256 entries, unused ones black
    std::vector<std::uint8_t> index;     // top-down rows
};

struct QuantizeOptions {
    // Colours that must come out exactly (a picture's background): they take
    // the first palette slots, pixels of exactly that colour map to them and
    // error diffusion neither leaves nor enters them.
    std::vector<Rgba8> exact;
    // Floyd-Steinberg strength, 0 for none.
    double dither = 0.0;
};

Indexed Quantize(const Picture& pic, const QuantizeOptions& options);

// Whole .bmp files (with their 14-byte file header).
std::vector<std::uint8_t> EncodeBmp8(const Indexed& image);
// Pixels darker than mid-grey become black (index 0), the rest pure white.
std::vector<std::uint8_t> EncodeBmp1(const Picture& pic);

// An icon file with one 8-bit image per entry, largest first. Pixels whose
// alpha is below one half are transparent in the AND mask.
std::vector<std::uint8_t> EncodeIco(const std::vector<Indexed>& images,
                                    const std::vector<Picture>& alphaSources);

bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace art
