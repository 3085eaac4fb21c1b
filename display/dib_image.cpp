#include "display/dib_image.h"

#include <cstring>

#include "display/canvas.h"
#include "display/resources.h"

namespace {

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;
constexpr std::int32_t kMaxSide = 16384;

std::uint16_t ReadU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t ReadU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint64_t Stride(std::uint64_t bitCount, std::uint64_t width) { return (bitCount * width + 31) / 32 * 4; }

// One colour channel of a bit-field pixel format, widened to 8 bits the way
// a display driver widens 5- and 6-bit channels: by repeating the bits.
class Channel {
public:
    explicit Channel(std::uint32_t mask) {
        if (mask == 0) return;
        while (!(mask & 1u)) {
            mask >>= 1;
            ++shift_;
        }
        while (mask & 1u) {
            mask >>= 1;
            ++width_;
        }
    }
    std::uint8_t Extract(std::uint32_t pixel) const {
        if (width_ == 0) return 0;
        const std::uint32_t v = (pixel >> shift_) & ((width_ >= 32) ? 0xFFFFFFFFu : ((1u << width_) - 1));
        if (width_ >= 8) return static_cast<std::uint8_t>(v >> (width_ - 8));
        std::uint32_t out = 0;
        int filled = 0;
        while (filled < 8) {
            out = (out << width_) | v;
            filled += width_;
        }
        return static_cast<std::uint8_t>(out >> (filled - 8));
    }

private:
    int shift_ = 0;
    int width_ = 0;
};

}  // namespace

bool DibImage::LoadFromResource(std::uint16_t id) {
    ResourceStore* store = GetResourceStore();
    if (!store) return false;
    std::vector<std::uint8_t> bytes;
    if (!store->GetBitmapBytes(id, bytes)) return false;
    if (!LoadFromPacked(bytes.data(), bytes.size())) return false;
    resourceId_ = id;
    return true;
}

bool DibImage::LoadFromPacked(const std::uint8_t* data, std::size_t size) {
    if (!data || size < sizeof(BitmapInfoHeader)) return false;
    const std::uint32_t headerSize = ReadU32(data);
    const std::int32_t width = static_cast<std::int32_t>(ReadU32(data + 4));
    const std::int32_t height = static_cast<std::int32_t>(ReadU32(data + 8));
    const unsigned bitCount = ReadU16(data + 14);
    const std::uint32_t compression = ReadU32(data + 16);
    const std::uint32_t clrUsed = ReadU32(data + 32);

    if (headerSize < 40 || headerSize > size) return false;
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return false;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
        return false;
    const bool bitfields = compression == kBiBitfields;
    if (compression != kBiRgb && !(bitfields && (bitCount == 16 || bitCount == 32))) return false;

    // Where the colour masks of a bit-field image are: behind a plain 40-byte
    // header, inside any later header version.
    std::uint64_t tableOffset = headerSize;
    std::uint32_t masks[3] = {0, 0, 0};
    if (bitfields) {
        std::uint64_t maskOffset = 40;
        if (headerSize == 40) {
            tableOffset = 52;
        } else if (headerSize < 52) {
            return false;
        }
        if (maskOffset + 12 > size) return false;
        for (int i = 0; i < 3; ++i) masks[i] = ReadU32(data + maskOffset + 4 * i);
    } else if (bitCount == 16) {
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
    } else if (bitCount == 32) {
        masks[0] = 0xFF0000;
        masks[1] = 0x00FF00;
        masks[2] = 0x0000FF;
    }

    const std::uint64_t tableCapacity = bitCount <= 8 ? (1u << bitCount) : 0;
    std::uint64_t tableEntries = clrUsed;
    if (bitCount <= 8) {
        if (tableEntries == 0) tableEntries = tableCapacity;
        if (tableEntries > tableCapacity) return false;
    }
    const std::uint64_t bitsOffset = tableOffset + 4 * tableEntries;
    const std::uint64_t srcStride = Stride(bitCount, static_cast<std::uint64_t>(width));
    const std::uint64_t srcBytes = srcStride * static_cast<std::uint64_t>(height);
    if (bitsOffset > size || srcBytes > size - bitsOffset) return false;

    const unsigned outBits = bitCount <= 8 ? bitCount : 24;
    const std::uint64_t outStride = Stride(outBits, static_cast<std::uint64_t>(width));
    const std::uint64_t outBytes = outStride * static_cast<std::uint64_t>(height);
    if (outBytes > SIZE_MAX) return false;

    std::vector<std::uint8_t> info(40 + 4 * static_cast<std::size_t>(tableCapacity), 0);
    BitmapInfoHeader h{};
    h.biSize = 40;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = static_cast<std::uint16_t>(outBits);
    h.biCompression = kBiRgb;
    h.biSizeImage = static_cast<std::uint32_t>(outBytes);
    std::memcpy(info.data(), &h, sizeof h);
    // The table is always complete, as reading the pixels back from a loaded
    // bitmap would give it; entries the file leaves out stay black.
    for (std::uint64_t i = 0; i < tableEntries && i < tableCapacity; ++i) {
        const std::uint8_t* q = data + tableOffset + 4 * i;
        std::uint8_t* e = info.data() + 40 + 4 * i;
        e[0] = q[0];
        e[1] = q[1];
        e[2] = q[2];
        e[3] = 0;
    }

    std::vector<std::uint8_t> bits(static_cast<std::size_t>(outBytes), 0);
    const std::uint8_t* src = data + bitsOffset;
    if (bitCount <= 8 || bitCount == 24) {
        std::memcpy(bits.data(), src, static_cast<std::size_t>(srcBytes));
    } else {
        const Channel red(masks[0]), green(masks[1]), blue(masks[2]);
        for (std::int32_t y = 0; y < height; ++y) {
            const std::uint8_t* row = src + srcStride * static_cast<std::uint64_t>(y);
            std::uint8_t* out = bits.data() + outStride * static_cast<std::uint64_t>(y);
            for (std::int32_t x = 0; x < width; ++x) {
                const std::uint32_t pixel = bitCount == 16 ? ReadU16(row + 2 * x) : ReadU32(row + 4 * x);
                out[3 * x] = blue.Extract(pixel);
                out[3 * x + 1] = green.Extract(pixel);
                out[3 * x + 2] = red.Extract(pixel);
            }
        }
    }

    std::vector<PaletteEntry> palette;
    if (outBits <= 8) {
        const std::uint32_t used = h.biClrUsed != 0 ? h.biClrUsed : (1u << outBits);
        palette.resize(used);
        for (std::uint32_t i = 0; i < used && i < tableCapacity; ++i) {
            const std::uint8_t* e = info.data() + 40 + 4 * i;
            palette[i] = PaletteEntry{e[2], e[1], e[0], 0};
        }
    }

    info_ = std::move(info);
    bits_ = std::move(bits);
    palette_ = std::move(palette);
    platformPalette.reset();
    resourceId_ = 0;
    return true;
}

const BitmapInfoHeader* DibImage::header() const {
    return info_.size() >= sizeof(BitmapInfoHeader) ? reinterpret_cast<const BitmapInfoHeader*>(info_.data())
                                                     : nullptr;
}

const RgbQuad* DibImage::colors() const {
    return ColorCount() > 0 ? reinterpret_cast<const RgbQuad*>(info_.data() + sizeof(BitmapInfoHeader)) : nullptr;
}

int DibImage::ColorCount() const {
    return info_.size() > sizeof(BitmapInfoHeader)
               ? static_cast<int>((info_.size() - sizeof(BitmapInfoHeader)) / sizeof(RgbQuad))
               : 0;
}

int DibImage::GetWidth() const {
    const BitmapInfoHeader* h = header();
    return h ? h->biWidth : 0;
}

int DibImage::GetHeight() const {
    const BitmapInfoHeader* h = header();
    return h ? h->biHeight : 0;
}

std::size_t DibImage::RowSize() const {
    const BitmapInfoHeader* h = header();
    return h ? static_cast<std::size_t>(Stride(h->biBitCount, static_cast<std::uint64_t>(h->biWidth))) : 0;
}

int DibImage::PaintSection(Canvas& dc, const Rect& dest, const Rect& src) const {
    const BitmapInfoHeader* h = header();
    if (!h || bits_.empty()) return 0;
    return dc.SetDIBitsToDevice(dest.left, dest.top, dest.Width(), dest.Height(), src.left,
                                h->biHeight - src.bottom, *this);
}

void DibImage::PaintStretched(Canvas& dc, int x, int y, int cx, int cy) const {
    const BitmapInfoHeader* h = header();
    if (!h || bits_.empty()) return;
    dc.StretchDIBits(x, y, cx, cy, 0, 0, h->biWidth, h->biHeight, *this);
}

void DibImage::PaintAt(Canvas& dc, int x, int y) const { PaintStretched(dc, x, y, GetWidth(), GetHeight()); }
