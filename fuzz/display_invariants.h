#pragma once
// What must hold for any font spec and any packed bitmap: the description a
// spec gives stays a well-formed LOGFONT, and a bitmap either loads into a
// consistent picture or leaves the image as it was. Shared by the fuzz
// targets and the replay tests.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "display/dib_image.h"
#include "display/font.h"
#include "display/font_spec.h"
#include "display/geometry.h"
#include "fuzz/check.h"

namespace fuzzcheck {

// ------------------------------------------------------------- font specs

class RecordingFontFactory : public FontFactory {
public:
    class Described : public Font {
    public:
        explicit Described(const LogFont& d) : d_(d) {}
        bool IsValid() const override { return true; }
        const LogFont& Description() const override { return d_; }

    private:
        LogFont d_;
    };
    std::unique_ptr<Font> CreateFontIndirect(const LogFont& d) override { return std::make_unique<Described>(d); }
};

inline bool IsPrefixOf(const char (&face)[32], const std::string& candidate) {
    std::size_t n = 0;
    while (n < sizeof face && face[n] != '\0') ++n;
    return n <= candidate.size() && std::memcmp(face, candidate.data(), n) == 0;
}

inline Verdict CheckFontSpec(const std::uint8_t* data, std::size_t size) {
    Verdict v;
    const std::string spec(reinterpret_cast<const char*>(data), size);
    const LogFont lf = FontSpecToLogFont(spec);
    const std::string where = " for " + Show(spec);

    v.Check(lf.lfFaceName[31] == '\0', [&] { return "a face name without its terminator" + where; });
    v.Check(lf.lfQuality == 3 && lf.lfPitchAndFamily == 0x12,
            [&] { return "quality or pitch is not the board's own" + where; });
    v.Check(lf.lfWidth == 0 && lf.lfEscapement == 0 && lf.lfOrientation == 0 && lf.lfOutPrecision == 0 && lf.lfClipPrecision == 0,
            [&] { return "a field no spec names was set" + where; });
    v.Check(lf.lfItalic <= 1 && lf.lfUnderline <= 1 && lf.lfStrikeOut <= 1,
            [&] { return "an option flag other than 0 or 1" + where; });
    v.Check(lf.lfHeight != INT32_MIN, [&] { return "a height whose size cannot be negated" + where; });

    // The face is "Arial", or the text after the last comma, or the field
    // before a trailing option letter, or the whole spec: cut to 31 bytes.
    const std::size_t lastComma = spec.rfind(',');
    std::vector<std::string> candidates = {"Arial", spec};
    if (lastComma != std::string::npos) {
        candidates.push_back(spec.substr(lastComma + 1));
        const std::size_t before = lastComma == 0 ? std::string::npos : spec.rfind(',', lastComma - 1);
        const std::size_t start = before == std::string::npos ? 0 : before + 1;
        candidates.push_back(spec.substr(start, lastComma - start));
    }
    bool known = false;
    for (const std::string& c : candidates) known = known || IsPrefixOf(lf.lfFaceName, c);
    v.Check(known, [&] { return "a face name from nowhere: " + Show(std::string(lf.lfFaceName, 31)) + where; });
    if (lastComma == std::string::npos) {
        v.Check(lf.lfHeight == -12 && lf.lfWeight == 400 && lf.lfItalic == 0 && lf.lfUnderline == 0 && lf.lfStrikeOut == 0 && lf.lfCharSet == 0,
                [&] { return "a spec without a comma changed more than the face" + where; });
    }

    RecordingFontFactory factory;
    const std::unique_ptr<Font> font = CreateFontFromSpec(factory, spec);
    v.Check(font && std::memcmp(&font->Description(), &lf, sizeof lf) == 0,
            [&] { return "the font factory was handed another description" + where; });
    const LogFont again = FontSpecToLogFont(spec);
    v.Check(std::memcmp(&again, &lf, sizeof lf) == 0, [&] { return "the same spec read twice differs" + where; });
    return v;
}

// ---------------------------------------------------------- packed bitmaps

// A two-by-two picture of two colours, there beforehand so that a load that
// fails can be seen to leave it alone.
inline std::vector<std::uint8_t> TwoColourPicture() {
    std::vector<std::uint8_t> b(40 + 8 + 8, 0);
    auto put32 = [&b](std::size_t at, std::uint32_t x) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(x >> (8 * i));
    };
    put32(0, 40);
    put32(4, 2);
    put32(8, 2);
    b[12] = 1;
    b[14] = 8;
    put32(32, 2);
    put32(40, 0x00112233);
    put32(44, 0x00445566);
    b[48] = 0;
    b[49] = 1;
    b[52] = 1;
    b[53] = 0;
    return b;
}

inline std::uint32_t Le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// `loaded`, when given, tells whether the input itself loaded.
inline Verdict CheckPackedDib(const std::uint8_t* data, std::size_t size, DibImage& image, bool* loaded = nullptr) {
    Verdict v;
    if (loaded) *loaded = false;
    const std::vector<std::uint8_t> before = TwoColourPicture();
    if (!v.Expect(image.LoadFromPacked(before.data(), before.size()), "the two-colour picture does not load"))
        return v;
    const std::vector<std::uint8_t> info0 = image.info(), bits0 = image.bits();
    const std::size_t palette0 = image.palette().size();

    // Exactly the input's bytes, so that a read past them is a fault.
    std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[size > 0 ? size : 1]);
    if (size > 0) std::memcpy(exact.get(), data, size);
    if (!image.LoadFromPacked(exact.get(), size)) {
        v.Expect(image.info() == info0 && image.bits() == bits0 && image.palette().size() == palette0,
                 "a refused bitmap changed the picture");
        return v;
    }

    if (loaded) *loaded = true;
    const BitmapInfoHeader* h = image.header();
    if (!v.Expect(h != nullptr, "a loaded picture without a header")) return v;
    const int w = image.GetWidth(), ht = image.GetHeight();
    const unsigned bits = h->biBitCount;
    v.Check(w >= 1 && w <= 16384 && ht >= 1 && ht <= 16384,
            [&] { return "a loaded picture of " + std::to_string(w) + " x " + std::to_string(ht); });
    v.Expect(h->biSize == 40 && h->biPlanes == 1 && h->biCompression == 0 && h->biClrUsed == 0,
             "a loaded header that is not a plain one");
    v.Check(bits == 1 || bits == 4 || bits == 8 || bits == 24,
            [&] { return "a loaded depth of " + std::to_string(bits); });
    if (!v.ok()) return v;
    const std::size_t stride = (static_cast<std::size_t>(bits) * static_cast<std::size_t>(w) + 31) / 32 * 4;
    v.Check(image.RowSize() == stride,
            [&] { return "rows of " + std::to_string(image.RowSize()) + " bytes, not " + std::to_string(stride); });
    v.Expect(image.bits().size() == stride * static_cast<std::size_t>(ht) && h->biSizeImage == image.bits().size(),
             "the pixels are not rows times height");
    const std::size_t colours = bits <= 8 ? (std::size_t{1} << bits) : 0;
    v.Expect(image.info().size() == 40 + 4 * colours && static_cast<std::size_t>(image.ColorCount()) == colours,
             "a colour table that is not complete");
    v.Check(image.palette().size() == colours,
            [&] { return "a palette of " + std::to_string(image.palette().size()) + " entries for "
                + std::to_string(colours) + " colours"; });
    for (std::size_t i = 0; i < colours && v.ok(); ++i) {
        const RgbQuad& q = image.colors()[i];
        const PaletteEntry& p = image.palette()[i];
        v.Check(q.rgbReserved == 0 && p.peFlags == 0 && p.peRed == q.rgbRed && p.peGreen == q.rgbGreen && p.peBlue == q.rgbBlue,
                [&] { return "palette entry " + std::to_string(i) + " is not its table entry"; });
    }
    v.Expect(image.resourceId() == 0 && !image.platformPalette, "a packed picture kept a resource id or palette");

    // Depths that are kept are copied as they are: the rows sit right after
    // the header and table the file gives.
    const unsigned inBits = static_cast<unsigned>(data[14] | (data[15] << 8));
    if (v.ok() && (inBits <= 8 || inBits == 24)) {
        const std::uint64_t clrUsed = Le32(data + 32);
        // A deeper picture may carry a table too (for palette displays):
        // its rows come after it.
        const std::uint64_t entries = inBits <= 8 && clrUsed == 0 ? (1u << inBits) : clrUsed;
        const std::uint64_t offset = Le32(data) + 4 * entries;
        v.Expect(offset + image.bits().size() <= size &&
                     std::memcmp(image.bits().data(), data + offset, image.bits().size()) == 0,
                 "kept-depth rows are not the file's rows");
    }
    return v;
}

// Painting a loaded picture touches only the rectangle it is painted into,
// and every touched pixel is in the canvas's changed rectangles. For a
// canvas with Clear, PixelAt, Width, Height and TakeChangedRects.
template <class PixelCanvas>
void CheckPaintedInside(const DibImage& image, PixelCanvas& canvas, std::uint64_t choice, Verdict& v) {
    if (!image.HasBits()) return;
    const int cw = canvas.Width(), ch = canvas.Height();
    auto pick = [&choice](int lo, int hi) {
        const int n = hi - lo + 1;
        const int r = lo + static_cast<int>(choice % static_cast<std::uint64_t>(n));
        choice /= static_cast<std::uint64_t>(n);
        return r;
    };
    for (int round = 0; round < 2 && v.ok(); ++round) {
        canvas.Clear(Rgb(0xEE, 0xFF, 0xC0));
        canvas.TakeChangedRects();
        const std::uint32_t background = canvas.PixelAt(0, 0);
        Rect area;
        if (round == 0) {
            const Rect dest{pick(-20, cw), pick(-20, ch), 0, 0};
            Rect d = dest;
            d.right = d.left + pick(0, cw + 20);
            d.bottom = d.top + pick(0, ch + 20);
            const Rect src{pick(-8, image.GetWidth()), pick(-8, image.GetHeight()), 0, 0};
            Rect s = src;
            s.right = s.left + d.Width();
            s.bottom = s.top + d.Height();
            image.PaintSection(canvas, d, s);
            area = d;
        } else {
            const int x = pick(-20, cw), y = pick(-20, ch);
            const int sx = pick(-cw - 20, cw + 20), sy = pick(-ch - 20, ch + 20);
            image.PaintStretched(canvas, x, y, sx, sy);
            // A negative extent covers origin + extent + 1 up to the origin.
            area = Rect{sx < 0 ? x + sx + 1 : x, sy < 0 ? y + sy + 1 : y, sx < 0 ? x + 1 : x + sx,
                        sy < 0 ? y + 1 : y + sy};
        }
        const std::vector<Rect> changed = canvas.TakeChangedRects();
        for (int py = 0; py < ch && v.ok(); ++py) {
            for (int px = 0; px < cw && v.ok(); ++px) {
                if (canvas.PixelAt(px, py) == background) continue;
                const bool inside = px >= area.left && px < area.right && py >= area.top && py < area.bottom;
                v.Check(inside,
                        [&] { return "painting touched (" + std::to_string(px) + ", " + std::to_string(py)
                            + ") outside its rectangle in round " + std::to_string(round); });
                bool covered = false;
                for (const Rect& r : changed)
                    covered = covered || (px >= r.left && px < r.right && py >= r.top && py < r.bottom);
                v.Expect(covered, "a painted pixel outside the changed rectangles");
            }
        }
    }
}

}  // namespace fuzzcheck
