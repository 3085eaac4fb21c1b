#pragma once
// One bitmap resource held as a device-independent bitmap with its colour
// table, loaded once and painted as often as needed.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "display/geometry.h"

class Canvas;

#pragma pack(push, 1)
struct BitmapInfoHeader {
    std::uint32_t biSize;
    std::int32_t biWidth;
    std::int32_t biHeight;
    std::uint16_t biPlanes;
    std::uint16_t biBitCount;
    std::uint32_t biCompression;
    std::uint32_t biSizeImage;
    std::int32_t biXPelsPerMeter;
    std::int32_t biYPelsPerMeter;
    std::uint32_t biClrUsed;
    std::uint32_t biClrImportant;
};
struct RgbQuad {
    std::uint8_t rgbBlue, rgbGreen, rgbRed, rgbReserved;
};
#pragma pack(pop)
static_assert(sizeof(BitmapInfoHeader) == 40);

struct PaletteEntry {
    std::uint8_t peRed, peGreen, peBlue, peFlags;
};

class DibImage {
public:
    DibImage() = default;
    virtual ~DibImage() = default;
    DibImage(const DibImage&) = delete;
    DibImage& operator=(const DibImage&) = delete;

    // Loads through the process's resource store. False, and unchanged, when
    // the id is unknown or its bytes are malformed.
    bool LoadFromResource(std::uint16_t id);
    // Converts packed bitmap bytes: 1, 4 and 8 bits per pixel keep their
    // colour table, anything deeper becomes 24 bits per pixel. Malformed bytes
    // (short header, absurd sizes, table or rows past the end) load nothing.
    bool LoadFromPacked(const std::uint8_t* data, std::size_t size);

    bool HasBits() const { return !bits_.empty(); }
    // The resource the picture was loaded from; 0 for any other source.
    std::uint16_t resourceId() const { return resourceId_; }
    int GetWidth() const;
    int GetHeight() const;

    // BITMAPINFO layout: the header followed by the colour table; empty when
    // nothing is loaded. Passed as is to the Windows DIB functions.
    const std::vector<std::uint8_t>& info() const { return info_; }
    const BitmapInfoHeader* header() const;
    const RgbQuad* colors() const;
    int ColorCount() const;
    const std::vector<std::uint8_t>& bits() const { return bits_; }
    std::size_t RowSize() const;
    // Present only for 8 bits per pixel or less.
    const std::vector<PaletteEntry>& palette() const { return palette_; }
    bool HasPalette() const { return !palette_.empty(); }

    virtual int PaintSection(Canvas& dc, const Rect& dest, const Rect& src) const;
    virtual void PaintStretched(Canvas& dc, int x, int y, int cx, int cy) const;
    virtual void PaintAt(Canvas& dc, int x, int y) const;

    // A slot for the platform's own palette object, made on first paint and
    // released with the image.
    mutable std::shared_ptr<void> platformPalette;

private:
    std::vector<std::uint8_t> info_;
    std::vector<std::uint8_t> bits_;
    std::vector<PaletteEntry> palette_;
    std::uint16_t resourceId_ = 0;
};
