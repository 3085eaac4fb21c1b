#pragma once
// The program's pictures and icon compiled into the binary, from the same
// files the Windows resource script uses: the resource store of the Linux
// programs and of the portable tests.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "display/resources.h"

class EmbeddedResourceStore : public ResourceStore {
public:
    // The packed bitmap bytes (header, colour table, rows), exactly as a
    // Windows executable holds them. On an unknown id `out` is left as it was.
    bool GetBitmapBytes(std::uint16_t id, std::vector<std::uint8_t>& out) override;
};

// The one store over the embedded bytes, and its installation as the
// process's resource store.
ResourceStore& EmbeddedResources();
void InstallEmbeddedResources();

// The same bytes without a copy; empty for an unknown id.
std::span<const std::uint8_t> EmbeddedBitmap(std::uint16_t id);
// Every embedded bitmap id, ascending.
std::vector<std::uint16_t> EmbeddedBitmapIds();

// A shipped file by its name under res/: "vemo.ico", or "bitmaps/bmp140.bmp"
// (rebuilt with its 14-byte file header, ready for an image loader that reads
// .bmp files). False, `out` untouched, for any other name.
bool GetEmbeddedFile(std::string_view name, std::vector<std::uint8_t>& out);

// The icon file (icon 128: 32 x 32 and 16 x 16, 8 bits per pixel).
std::span<const std::uint8_t> EmbeddedIconFile();

// One image of the icon as top-down rows of 0xAARRGGBB, alpha 0 where the
// icon's mask shows the background and 255 elsewhere: what a window-manager
// icon property or a toolkit's pixel buffer wants. False when the icon has no
// image of that size or the image is not one this decoder reads (1, 4 or 8
// bits with a colour table, or 32 bits).
bool GetIconArgb(std::span<const std::uint8_t> iconFile, int size, std::vector<std::uint32_t>& pixels);
bool GetIconArgb(int size, std::vector<std::uint32_t>& pixels);
