#pragma once
// What the build generates from the committed files: one array per file and
// an index of the bitmaps. Sizes are reached through pointers so that the
// index is constant-initialised and usable before main.

#include <cstddef>
#include <cstdint>

struct EmbeddedBitmapEntry {
    std::uint16_t id;
    const unsigned char* data;
    const std::size_t* size;
};

// Ascending by id.
extern const EmbeddedBitmapEntry kEmbeddedBitmaps[];
extern const std::size_t kEmbeddedBitmapCount;

extern const unsigned char scorvane_res_icon[];
extern const std::size_t scorvane_res_icon_size;
