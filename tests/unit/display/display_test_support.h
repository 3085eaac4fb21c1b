#pragma once
// Stand-ins for what a real window would provide: a canvas that records each
// call, a font factory that counts its live fonts, and a resource store of
// small bitmaps built in memory.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "display/canvas.h"
#include "display/dib_image.h"
#include "display/font.h"
#include "display/resources.h"

namespace displaytest {

class CountingFontFactory;

class CountedFont : public Font {
public:
    CountedFont(const LogFont& lf, int& live, bool valid) : lf_(lf), live_(live), valid_(valid) { ++live_; }
    ~CountedFont() override { --live_; }
    bool IsValid() const override { return valid_; }
    const LogFont& Description() const override { return lf_; }
    std::string Face() const { return lf_.lfFaceName; }

private:
    LogFont lf_;
    int& live_;
    bool valid_;
};

class CountingFontFactory : public FontFactory {
public:
    std::unique_ptr<Font> CreateFontIndirect(const LogFont& description) override {
        ++created;
        return std::make_unique<CountedFont>(description, live, !failCreation);
    }
    int created = 0;
    int live = 0;
    bool failCreation = false;
};

struct Op {
    enum Kind { Select, TextColor, BkColor, BkMode, Text, Fill, Section, Stretch } kind = Select;
    Rect rect{};            // Text, Fill; destination of Section and Stretch
    ColorRef color = 0;     // TextColor, BkColor, Fill; the text colour for Text
    unsigned format = 0;    // Text; mode for BkMode
    std::string text{};     // Text
    const Font* font = nullptr;    // Select; the selected font for Text
    const DibImage* image = nullptr;
    int srcX = 0, srcY = 0, srcW = 0, srcH = 0;
};

// Extent: 7 pixels a byte, 16 high, unless a font says otherwise (then
// |lfHeight| high and |lfHeight| / 2 a byte), so tests can tell fonts apart.
class RecordingCanvas : public Canvas {
public:
    Font* SelectFont(Font* font) override {
        Font* previous = selected;
        selected = font;
        Op op;
        op.kind = Op::Select;
        op.font = font;
        ops.push_back(op);
        return previous;
    }
    void SetTextColor(ColorRef color) override {
        textColor = color;
        Op op;
        op.kind = Op::TextColor;
        op.color = color;
        ops.push_back(op);
    }
    void SetBkColor(ColorRef color) override {
        Op op;
        op.kind = Op::BkColor;
        op.color = color;
        ops.push_back(op);
    }
    void SetBkMode(int mode) override {
        Op op;
        op.kind = Op::BkMode;
        op.format = static_cast<unsigned>(mode);
        ops.push_back(op);
    }
    Size GetTextExtent(const std::string& text) override {
        int h = 16, w = 7;
        if (selected && selected->Description().lfHeight != 0) {
            h = std::abs(selected->Description().lfHeight);
            w = h / 2;
        }
        return Size{static_cast<int>(text.size()) * w, h};
    }
    void DrawText(const std::string& text, const Rect& rect, unsigned format) override {
        Op op;
        op.kind = Op::Text;
        op.rect = rect;
        op.color = textColor;
        op.format = format;
        op.text = text;
        op.font = selected;
        ops.push_back(op);
    }
    void FillRect(const Rect& rect, ColorRef color) override {
        Op op;
        op.kind = Op::Fill;
        op.rect = rect;
        op.color = color;
        ops.push_back(op);
    }
    int SetDIBitsToDevice(int x, int y, int width, int height, int srcX, int srcY,
                          const DibImage& image) override {
        Op op;
        op.kind = Op::Section;
        op.rect = Rect{x, y, x + width, y + height};
        op.image = &image;
        op.srcX = srcX;
        op.srcY = srcY;
        ops.push_back(op);
        return sectionResult;
    }
    int StretchDIBits(int x, int y, int width, int height, int srcX, int srcY, int srcWidth, int srcHeight,
                      const DibImage& image) override {
        Op op;
        op.kind = Op::Stretch;
        op.rect = Rect{x, y, x + width, y + height};
        op.image = &image;
        op.srcX = srcX;
        op.srcY = srcY;
        op.srcW = srcWidth;
        op.srcH = srcHeight;
        ops.push_back(op);
        return height;
    }

    // Only the drawing operations (texts, fills, pictures), in order.
    std::vector<Op> Drawing() const {
        std::vector<Op> out;
        for (const Op& op : ops)
            if (op.kind == Op::Text || op.kind == Op::Fill || op.kind == Op::Section || op.kind == Op::Stretch)
                out.push_back(op);
        return out;
    }
    void Clear() { ops.clear(); }

    std::vector<Op> ops;
    Font* selected = nullptr;
    ColorRef textColor = 0;
    int sectionResult = 7;
};

// Packed bitmap bytes: header, table, rows; the pixel rows are filled by the
// caller's function of (x, y-from-bottom) giving the raw value.
struct PackedSpec {
    std::int32_t width = 4;
    std::int32_t height = 4;
    std::uint16_t bitCount = 8;
    std::uint32_t compression = 0;
    std::uint32_t clrUsed = 0;
    std::uint32_t headerSize = 40;
    std::vector<std::uint32_t> masks;  // written after a 40-byte header when present
};

inline void PutU32(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x) {
    for (int i = 0; i < 4; ++i) v[at + i] = static_cast<std::uint8_t>(x >> (8 * i));
}
inline void PutU16(std::vector<std::uint8_t>& v, std::size_t at, std::uint16_t x) {
    v[at] = static_cast<std::uint8_t>(x);
    v[at + 1] = static_cast<std::uint8_t>(x >> 8);
}

inline std::size_t PackedStride(int bits, int width) {
    return (static_cast<std::size_t>(bits) * static_cast<std::size_t>(width) + 31) / 32 * 4;
}

// Colour table entry i is (blue i, green 255 - i, red i ^ 0x55); pixel value
// (x + 3 y) mod 2^bits for paletted images; for deeper ones `pixel`.
template <typename PixelFn>
std::vector<std::uint8_t> MakePacked(const PackedSpec& s, PixelFn pixel) {
    const std::size_t tableEntries =
        s.bitCount <= 8 ? (s.clrUsed ? s.clrUsed : (1u << s.bitCount)) : s.clrUsed;
    const std::size_t masksBytes = s.masks.size() * 4;
    const std::size_t stride = PackedStride(s.bitCount, s.width);
    const std::size_t bitsAt = s.headerSize + masksBytes + tableEntries * 4;
    std::vector<std::uint8_t> v(bitsAt + stride * static_cast<std::size_t>(s.height), 0);
    PutU32(v, 0, s.headerSize);
    PutU32(v, 4, static_cast<std::uint32_t>(s.width));
    PutU32(v, 8, static_cast<std::uint32_t>(s.height));
    PutU16(v, 12, 1);
    PutU16(v, 14, s.bitCount);
    PutU32(v, 16, s.compression);
    PutU32(v, 32, s.clrUsed);
    for (std::size_t i = 0; i < s.masks.size(); ++i) PutU32(v, 40 + 4 * i, s.masks[i]);
    for (std::size_t i = 0; i < tableEntries; ++i) {
        const std::size_t at = s.headerSize + masksBytes + 4 * i;
        v[at] = static_cast<std::uint8_t>(i);
        v[at + 1] = static_cast<std::uint8_t>(255 - i);
        v[at + 2] = static_cast<std::uint8_t>(i ^ 0x55);
        v[at + 3] = 0xEE;  // reserved byte: must not survive the load
    }
    for (int y = 0; y < s.height; ++y) {
        std::uint8_t* row = v.data() + bitsAt + stride * static_cast<std::size_t>(y);
        for (int x = 0; x < s.width; ++x) {
            const std::uint32_t p = pixel(x, y);
            switch (s.bitCount) {
            case 1: row[x / 8] |= static_cast<std::uint8_t>((p & 1u) << (7 - x % 8)); break;
            case 4: row[x / 2] |= static_cast<std::uint8_t>((p & 15u) << (x % 2 ? 0 : 4)); break;
            case 8: row[x] = static_cast<std::uint8_t>(p); break;
            case 16: row[2 * x] = static_cast<std::uint8_t>(p); row[2 * x + 1] = static_cast<std::uint8_t>(p >> 8); break;
            case 24: for (int i = 0; i < 3; ++i) row[3 * x + i] = static_cast<std::uint8_t>(p >> (8 * i)); break;
            case 32: for (int i = 0; i < 4; ++i) row[4 * x + i] = static_cast<std::uint8_t>(p >> (8 * i)); break;
            }
        }
    }
    return v;
}

inline std::vector<std::uint8_t> MakePacked8(int width, int height) {
    PackedSpec s;
    s.width = width;
    s.height = height;
    return MakePacked(s, [](int x, int y) { return static_cast<std::uint32_t>((x + 3 * y) & 0xFF); });
}

class MemoryResourceStore : public ResourceStore {
public:
    bool GetBitmapBytes(std::uint16_t id, std::vector<std::uint8_t>& out) override {
        ++requests[id];
        auto it = bitmaps.find(id);
        if (it == bitmaps.end()) return false;
        out = it->second;
        return true;
    }
    std::map<std::uint16_t, std::vector<std::uint8_t>> bitmaps;
    std::map<std::uint16_t, int> requests;
};

// Installs a store for the lifetime of a test and puts the previous one back.
class ScopedStore {
public:
    explicit ScopedStore(ResourceStore* store) : previous_(GetResourceStore()) { SetResourceStore(store); }
    ~ScopedStore() { SetResourceStore(previous_); }
    ScopedStore(const ScopedStore&) = delete;
    ScopedStore& operator=(const ScopedStore&) = delete;

private:
    ResourceStore* previous_;
};

// The board's pictures at their real sizes: ball 48 x 48, small ball 20 x 20,
// fourteen emblems 100 wide (the fourth 82) and 18 to 159 high.
inline void AddBoardPictures(MemoryResourceStore& store) {
    store.bitmaps[148] = MakePacked8(48, 48);
    store.bitmaps[153] = MakePacked8(20, 20);
    for (int i = 0; i < 14; ++i) store.bitmaps[static_cast<std::uint16_t>(156 + i)] = MakePacked8(i == 3 ? 82 : 100, 18 + i * 10 + (i == 13 ? 11 : 0));
}

}  // namespace displaytest
