#include "platform/soft/soft_font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_DRIVER_H
#include FT_MODULE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>

#include <strings.h>

#include "app/latin1.h"
#include "platform/unique_handle.h"

struct FreeTypeLibraryTraits {
    using Handle = FT_Library;
    static Handle Empty() { return nullptr; }
    void Free(Handle handle) const { FT_Done_FreeType(handle); }
};

struct FontConfigTraits {
    using Handle = FcConfig*;
    static Handle Empty() { return nullptr; }
    void Free(Handle handle) const { FcConfigDestroy(handle); }
};

struct SoftFontFactory::Library : UniqueHandle<FreeTypeLibraryTraits> {
    using UniqueHandle::UniqueHandle;
};

struct SoftFontFactory::Config : UniqueHandle<FontConfigTraits> {
    using UniqueHandle::UniqueHandle;
};

struct SoftFace::Impl {
    // The library goes last: the face must be released before it.
    std::shared_ptr<SoftFontFactory::Library> library;
    FT_Face face = nullptr;
    bool embolden = false;
    bool scalable = true;

    Impl(std::shared_ptr<SoftFontFactory::Library> lib, FT_Face f) : library(std::move(lib)), face(f) {}
    ~Impl() {
        if (face) FT_Done_Face(face);
    }
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;
};

namespace {

// Bitmap-era Windows faces that no Linux system has. Appended after the
// system's own rules, so that a sans-serif look-alike wins over the generic
// family the description's pitch-and-family byte adds.
//
// MS Sans Serif is a narrow bitmap face, and the board's columns stand 30
// pixels apart because its figures fit there; Liberation Sans (Arial's
// proportions) makes "+44" 31 pixels wide at the table's 18-pixel em, its
// narrow cut 25. No other installed face keeps that, so there is no second
// choice: a machine without it gets a generic sans and a note (StandInNote).
constexpr const char kSubstitutions[] = R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <alias binding="same">
    <family>MS Sans Serif</family>
    <prefer><family>Liberation Sans Narrow</family></prefer>
  </alias>
  <alias binding="same">
    <family>Microsoft Sans Serif</family>
    <prefer><family>Liberation Sans</family><family>Arimo</family><family>DejaVu Sans</family></prefer>
  </alias>
  <alias binding="same">
    <family>MS Shell Dlg</family>
    <prefer><family>Liberation Sans</family><family>Arimo</family><family>DejaVu Sans</family></prefer>
  </alias>
  <alias binding="same">
    <family>MS Shell Dlg 2</family>
    <prefer><family>Liberation Sans</family><family>Arimo</family><family>DejaVu Sans</family></prefer>
  </alias>
  <alias binding="same">
    <family>MS Serif</family>
    <prefer><family>Liberation Serif</family><family>Tinos</family><family>DejaVu Serif</family></prefer>
  </alias>
</fontconfig>
)";

// The family each face of the board must resolve to for its texts to keep
// the proportions the board was laid out for.
struct StandIn {
    const char* face;
    const char* family;
};
constexpr StandIn kBoardStandIns[] = {{"MS Sans Serif", "Liberation Sans Narrow"}, {"Arial", "Liberation Sans"}};

const char* PlannedStandIn(const char* face, std::size_t n) {
    for (const StandIn& s : kBoardStandIns)
        if (std::strlen(s.face) == n && strncasecmp(face, s.face, n) == 0) return s.family;
    return nullptr;
}

// GDI falls back on the family bits when the face name is unknown.
const char* GenericFamily(std::uint8_t pitchAndFamily) {
    switch (pitchAndFamily & 0xF0) {
        case 0x10: return "serif";
        case 0x20: return "sans-serif";
        case 0x30: return "monospace";
        case 0x40: return "cursive";
        case 0x50: return "fantasy";
        default: return nullptr;
    }
}

// Sizes beyond this would make a single glyph bitmap megabytes large; no
// screen needs them.
constexpr double kMaxEmPixels = 1024.0;
// GDI's pick for a height of 0 ("a reasonable default size").
constexpr double kDefaultEmPixels = 12.0;

struct Match {
    std::string file;
    int index = 0;
    std::string family;
    bool embolden = false;
    bool oblique = false;  // italic asked for, but the face found is upright
};

bool MatchDescription(FcConfig* config, const LogFont& d, Match& out) {
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return false;
    std::size_t faceLen = strnlen(d.lfFaceName, sizeof d.lfFaceName);
    if (faceLen > 0) {
        std::string face = Latin1ToUtf8(std::string_view(d.lfFaceName, faceLen));
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(face.c_str()));
    }
    if (const char* generic = GenericFamily(d.lfPitchAndFamily))
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(generic));
    int weight = d.lfWeight > 0 ? std::clamp(static_cast<int>(d.lfWeight), 1, 1000) : 400;
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
    FcPatternAddInteger(pattern, FC_SLANT, d.lfItalic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    double size = d.lfHeight == 0 ? kDefaultEmPixels
                                  : std::min(kMaxEmPixels, std::fabs(static_cast<double>(d.lfHeight)));
    FcPatternAddDouble(pattern, FC_PIXEL_SIZE, size);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);

    FcResult result = FcResultNoMatch;
    FcPattern* found = FcFontMatch(config, pattern, &result);
    FcPatternDestroy(pattern);
    if (!found) return false;

    bool ok = false;
    FcChar8* file = nullptr;
    if (FcPatternGetString(found, FC_FILE, 0, &file) == FcResultMatch && file) {
        out.file = reinterpret_cast<const char*>(file);
        ok = true;
    }
    int index = 0;
    if (FcPatternGetInteger(found, FC_INDEX, 0, &index) == FcResultMatch) out.index = index;
    FcChar8* family = nullptr;
    if (FcPatternGetString(found, FC_FAMILY, 0, &family) == FcResultMatch && family)
        out.family = reinterpret_cast<const char*>(family);
    FcBool embolden = FcFalse;
    if (FcPatternGetBool(found, FC_EMBOLDEN, 0, &embolden) == FcResultMatch) out.embolden = embolden;
    int foundWeight = 0;
    if (!out.embolden && weight >= 600 &&
        FcPatternGetInteger(found, FC_WEIGHT, 0, &foundWeight) == FcResultMatch &&
        foundWeight < FC_WEIGHT_DEMIBOLD)
        out.embolden = true;
    int slant = FC_SLANT_ROMAN;
    if (d.lfItalic && FcPatternGetInteger(found, FC_SLANT, 0, &slant) == FcResultMatch &&
        slant == FC_SLANT_ROMAN)
        out.oblique = true;
    FcPatternDestroy(found);
    return ok;
}

int RoundToInt(double v) { return static_cast<int>(std::lround(v)); }

}  // namespace

namespace {
std::atomic<std::uint64_t> theFaceSerials{0};
}  // namespace

SoftFace::SoftFace(std::unique_ptr<Impl> impl) : impl_(std::move(impl)), serial_(++theFaceSerials) {
    advances_.fill(-1);
}
SoftFace::~SoftFace() = default;

const SoftGlyph& SoftFace::Glyph(std::uint8_t ch) {
    std::optional<SoftGlyph>& slot = glyphs_[ch];
    if (slot) return *slot;
    slot.emplace();
    advances_[ch] = 0;  // a glyph that cannot be loaded advances nothing
    SoftGlyph& g = *slot;
    FT_Face face = impl_->face;
    FT_UInt index = FT_Get_Char_Index(face, ch);
    FT_Int32 flags = FT_LOAD_TARGET_MONO;
    if (impl_->scalable) flags |= FT_LOAD_NO_BITMAP;
    if (FT_Load_Glyph(face, index, flags) != 0) return g;
    FT_GlyphSlot glyph = face->glyph;
    FT_Pos advance = glyph->advance.x;
    if (impl_->embolden && glyph->format == FT_GLYPH_FORMAT_OUTLINE) {
        // GDI's synthetic bold: one pixel wider, one pixel more advance.
        FT_Outline_EmboldenXY(&glyph->outline, 64, 0);
        advance += 64;
    }
    g.advance = static_cast<int>((advance + 32) >> 6);
    advances_[ch] = g.advance >= 0 && g.advance <= INT16_MAX ? static_cast<std::int16_t>(g.advance) : -1;
    if (glyph->format != FT_GLYPH_FORMAT_BITMAP && FT_Render_Glyph(glyph, FT_RENDER_MODE_MONO) != 0)
        return g;
    const FT_Bitmap& bm = glyph->bitmap;
    if (bm.pixel_mode != FT_PIXEL_MODE_MONO && bm.pixel_mode != FT_PIXEL_MODE_GRAY) return g;
    g.left = glyph->bitmap_left;
    g.top = glyph->bitmap_top;
    g.width = static_cast<int>(bm.width);
    g.rows = static_cast<int>(bm.rows);
    g.rowStart.reserve(static_cast<std::size_t>(g.rows) + 1);
    const int stride = bm.pitch < 0 ? -bm.pitch : bm.pitch;
    for (int r = 0; r < g.rows; ++r) {
        const unsigned char* row = bm.pitch >= 0 ? bm.buffer + static_cast<std::ptrdiff_t>(r) * stride
                                                 : bm.buffer + static_cast<std::ptrdiff_t>(g.rows - 1 - r) * stride;
        g.rowStart.push_back(static_cast<std::uint32_t>(g.runs.size()));
        auto inked = [&](int c) {
            return bm.pixel_mode == FT_PIXEL_MODE_MONO ? ((row[c >> 3] >> (7 - (c & 7))) & 1u) != 0 : row[c] >= 128;
        };
        for (int c = 0; c < g.width;) {
            if (!inked(c)) {
                ++c;
                continue;
            }
            const int start = c;
            while (c < g.width && inked(c)) ++c;
            g.runs.push_back(SoftGlyph::Run{start, c - start});
        }
    }
    g.rowStart.push_back(static_cast<std::uint32_t>(g.runs.size()));
    if (!g.runs.empty()) {
        g.ink.assign(g.InkStride() * static_cast<std::size_t>(g.rows), 0);
        for (int r = 0; r < g.rows; ++r) {
            std::uint8_t* bits = g.ink.data() + static_cast<std::size_t>(r) * g.InkStride();
            for (std::uint32_t k = g.rowStart[static_cast<std::size_t>(r)]; k < g.rowStart[static_cast<std::size_t>(r) + 1]; ++k)
                for (int c = g.runs[k].start; c < g.runs[k].start + g.runs[k].length; ++c)
                    bits[c >> 3] = static_cast<std::uint8_t>(bits[c >> 3] | (1u << (c & 7)));
        }
    }
    return g;
}

int SoftFace::TextWidth(const char* text, std::size_t length) {
    std::int64_t width = 0;
    for (std::size_t i = 0; i < length; ++i) width += Advance(static_cast<std::uint8_t>(text[i]));
    return static_cast<int>(std::min<std::int64_t>(width, std::numeric_limits<int>::max()));
}

SoftFont::SoftFont(const LogFont& description, std::shared_ptr<SoftFace> face)
    : description_(description), face_(std::move(face)) {}

SoftFontFactory::SoftFontFactory() {
    FT_Library lib = nullptr;
    if (FT_Init_FreeType(&lib) == 0) {
        // FREETYPE_PROPERTIES may name another interpreter; the glyphs are part
        // of the golden frames, so they do not follow the environment. For
        // monochrome targets version 40 runs the fonts' full hinting.
        FT_UInt interpreter = TT_INTERPRETER_VERSION_40;
        FT_Property_Set(lib, "truetype", "interpreter-version", &interpreter);
        library_ = std::make_shared<Library>(lib);
    }
    if (FcConfig* config = FcInitLoadConfigAndFonts()) {
        config_ = std::make_unique<Config>(config);
        FcConfigParseAndLoadFromMemory(config, reinterpret_cast<const FcChar8*>(kSubstitutions), FcFalse);
    }
}

SoftFontFactory::~SoftFontFactory() = default;

bool SoftFontFactory::IsReady() const { return library_ && config_; }

std::unique_ptr<Font> SoftFontFactory::CreateFontIndirect(const LogFont& d) {
    if (!IsReady()) return std::make_unique<SoftFont>(d, nullptr);
    Match match;
    if (!MatchDescription(config_->get(), d, match)) return std::make_unique<SoftFont>(d, nullptr);
    FT_Face ftFace = nullptr;
    if (FT_New_Face(library_->get(), match.file.c_str(), match.index, &ftFace) != 0)
        return std::make_unique<SoftFont>(d, nullptr);
    auto impl = std::make_unique<SoftFace::Impl>(library_, ftFace);
    impl->embolden = match.embolden;
    impl->scalable = FT_IS_SCALABLE(ftFace);

    auto face = std::make_shared<SoftFace>(std::move(impl));
    face->filePath_ = match.file;
    face->familyName_ = match.family;
    if (const char* planned = PlannedStandIn(d.lfFaceName, strnlen(d.lfFaceName, sizeof d.lfFaceName));
        planned && match.family != planned)
        face->missingFamily_ = planned;
    face->underline_ = d.lfUnderline != 0;
    face->strikeOut_ = d.lfStrikeOut != 0;

    double units = ftFace->units_per_EM;
    double winAscent = ftFace->ascender;
    double winDescent = -ftFace->descender;
    const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(ftFace, FT_SFNT_OS2));
    if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
        winAscent = os2->usWinAscent;
        winDescent = os2->usWinDescent;
    }

    if (FT_IS_SCALABLE(ftFace) && units > 0 && winAscent + winDescent > 0) {
        // Negative heights name the em square (character height); positive
        // ones the whole cell, ascent plus descent.
        double em = kDefaultEmPixels;
        int ascent = 0, descent = 0;
        if (d.lfHeight > 0) {
            double cell = std::min(static_cast<double>(d.lfHeight), kMaxEmPixels);
            em = cell * units / (winAscent + winDescent);
            ascent = RoundToInt(winAscent * cell / (winAscent + winDescent));
            descent = static_cast<int>(cell) - ascent;
        } else {
            if (d.lfHeight < 0) em = std::min(-static_cast<double>(d.lfHeight), kMaxEmPixels);
            ascent = RoundToInt(winAscent * em / units);
            descent = RoundToInt(winDescent * em / units);
        }
        em = std::max(em, 1.0);
        FT_F26Dot6 height26 = static_cast<FT_F26Dot6>(std::lround(em * 64.0));
        FT_F26Dot6 width26 = 0;
        if (d.lfWidth != 0 && os2 && os2->version != 0xFFFF && os2->xAvgCharWidth > 0) {
            double avg = std::min(std::fabs(static_cast<double>(d.lfWidth)), kMaxEmPixels);
            width26 = static_cast<FT_F26Dot6>(std::lround(avg * units / os2->xAvgCharWidth * 64.0));
        }
        if (FT_Set_Char_Size(ftFace, width26, height26, 72, 72) != 0) return std::make_unique<SoftFont>(d, nullptr);
        face->emPixels_ = em;
        face->ascent_ = ascent;
        face->descent_ = descent;
        double scale = em / units;
        int thickness = std::max(1, RoundToInt(ftFace->underline_thickness * scale));
        face->underlineThickness_ = thickness;
        face->underlineTop_ = std::max(1, RoundToInt(-ftFace->underline_position * scale) - thickness / 2);
        if (os2 && os2->version != 0xFFFF && os2->yStrikeoutSize > 0) {
            face->strikeOutThickness_ = std::max(1, RoundToInt(os2->yStrikeoutSize * scale));
            face->strikeOutTop_ = -RoundToInt(os2->yStrikeoutPosition * scale);
        } else {
            face->strikeOutThickness_ = thickness;
            face->strikeOutTop_ = -ascent / 3;
        }
    } else if (ftFace->num_fixed_sizes > 0) {
        // A bitmap-only face: the strike closest to the height asked for.
        double want = d.lfHeight == 0 ? kDefaultEmPixels : std::fabs(static_cast<double>(d.lfHeight));
        int best = 0;
        for (int i = 1; i < ftFace->num_fixed_sizes; ++i) {
            if (std::fabs(ftFace->available_sizes[i].height - want) <
                std::fabs(ftFace->available_sizes[best].height - want))
                best = i;
        }
        if (FT_Select_Size(ftFace, best) != 0) return std::make_unique<SoftFont>(d, nullptr);
        face->ascent_ = static_cast<int>((ftFace->size->metrics.ascender + 32) >> 6);
        face->descent_ = static_cast<int>((-ftFace->size->metrics.descender + 32) >> 6);
        face->emPixels_ = ftFace->size->metrics.y_ppem;
        face->strikeOutTop_ = -face->ascent_ / 3;
    } else {
        return std::make_unique<SoftFont>(d, nullptr);
    }

    if (match.oblique) {
        // The slant fontconfig itself applies to upright faces.
        FT_Matrix shear{0x10000, 0x3333, 0, 0x10000};
        FT_Set_Transform(ftFace, &shear, nullptr);
    }
    return std::make_unique<SoftFont>(d, std::move(face));
}

std::string StandInNote(const Font& font) {
    const LogFont& d = font.Description();
    const std::string face(d.lfFaceName, strnlen(d.lfFaceName, sizeof d.lfFaceName));
    const auto* soft = dynamic_cast<const SoftFont*>(&font);
    if (!soft || !soft->Face()) return "no installed face can draw " + face;
    const std::string& missing = soft->Face()->MissingFamily();
    if (missing.empty()) return {};
    return face + " is drawn with " + soft->Face()->FamilyName() + ", not " + missing +
           " (fonts-liberation): texts of the board are wider or narrower than its layout";
}
