#pragma once
// Fonts for the software canvas: a LOGFONT-shaped description is resolved to
// an installed face through fontconfig and its glyphs are rendered by
// FreeType in one bit per pixel. Glyphs without anti-aliasing matter: the
// stage wipes a text by drawing it again in the background colour, which
// leaves no trace only when every pixel is either fully ink or untouched.
//
// Text is ISO 8859-1: byte b is Unicode code point b.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "display/font.h"

// One rendered glyph as runs of ink: row r of its width x rows bitmap is
// covered from `start` for `length` pixels by each of the runs
// runs[rowStart[r]] up to runs[rowStart[r + 1]], left to right. Runs, not a
// byte per pixel: a text draw then touches only the pixels it inks. `left`
// and `top` place the bitmap relative to the pen position on the baseline
// (top counts upwards, as FreeType does).
struct SoftGlyph {
    struct Run {
        std::int32_t start;
        std::int32_t length;
    };
    int left = 0;
    int top = 0;
    int width = 0;
    int rows = 0;
    int advance = 0;
    std::vector<Run> runs;
    std::vector<std::uint32_t> rowStart;  // rows + 1 entries; empty for a glyph without ink
    // The same ink as a bit a pixel, InkStride() bytes a row: bit i of byte
    // j is column 8 j + i. Eight pixels then go in one vector step.
    std::vector<std::uint8_t> ink;
    std::size_t InkStride() const { return (static_cast<std::size_t>(width) + 7) / 8; }
};

// A sized face with its glyph cache; shared by the font that made it and by
// every canvas that has it selected, so that a canvas never holds a face
// that has been freed.
class SoftFace {
public:
    struct Impl;
    explicit SoftFace(std::unique_ptr<Impl> impl);
    ~SoftFace();
    SoftFace(const SoftFace&) = delete;
    SoftFace& operator=(const SoftFace&) = delete;

    // GDI's tmAscent, tmDescent and tmHeight (the cell height, which is also
    // the distance between lines of DrawText).
    int Ascent() const { return ascent_; }
    int Descent() const { return descent_; }
    int Height() const { return ascent_ + descent_; }
    // The pixel size of the em square the glyphs are rendered at.
    double EmPixels() const { return emPixels_; }

    bool Underline() const { return underline_; }
    bool StrikeOut() const { return strikeOut_; }
    // Rows relative to the baseline, positive downwards.
    int UnderlineTop() const { return underlineTop_; }
    int UnderlineThickness() const { return underlineThickness_; }
    int StrikeOutTop() const { return strikeOutTop_; }
    int StrikeOutThickness() const { return strikeOutThickness_; }

    const SoftGlyph& Glyph(std::uint8_t ch);
    int Advance(std::uint8_t ch) { return advances_[ch] >= 0 ? advances_[ch] : Glyph(ch).advance; }
    // Sum of the advances, as GetTextExtentPoint32 measures.
    int TextWidth(const std::string& text) { return TextWidth(text.data(), text.size()); }
    int TextWidth(const char* text, std::size_t length);

    // Tells faces apart for as long as the process lives, also a face made
    // where a freed one was.
    std::uint64_t Serial() const { return serial_; }

    const std::string& FilePath() const { return filePath_; }
    const std::string& FamilyName() const { return familyName_; }
    // The family planned for the Windows face the font names when another one
    // was found instead; empty when the plan held or the face has none.
    const std::string& MissingFamily() const { return missingFamily_; }

private:
    friend class SoftFontFactory;
    std::unique_ptr<Impl> impl_;
    std::uint64_t serial_;
    std::array<std::optional<SoftGlyph>, 256> glyphs_;
    // The glyphs' advances packed apart: every frame measures every text on
    // the board, and 512 bytes stay in cache where 256 glyphs do not. -1
    // until the glyph is made.
    std::array<std::int16_t, 256> advances_;
    int ascent_ = 0;
    int descent_ = 0;
    double emPixels_ = 0.0;
    bool underline_ = false;
    bool strikeOut_ = false;
    int underlineTop_ = 1;
    int underlineThickness_ = 1;
    int strikeOutTop_ = 0;
    int strikeOutThickness_ = 1;
    std::string filePath_;
    std::string familyName_;
    std::string missingFamily_;
};

class SoftFont final : public Font {
public:
    SoftFont(const LogFont& description, std::shared_ptr<SoftFace> face);
    bool IsValid() const override { return face_ != nullptr; }
    const LogFont& Description() const override { return description_; }
    // Null when no installed face could be opened.
    const std::shared_ptr<SoftFace>& Face() const { return face_; }

private:
    LogFont description_;
    std::shared_ptr<SoftFace> face_;
};

class SoftFontFactory final : public FontFactory {
public:
    SoftFontFactory();
    ~SoftFontFactory() override;
    SoftFontFactory(const SoftFontFactory&) = delete;
    SoftFontFactory& operator=(const SoftFontFactory&) = delete;

    // False when FreeType or fontconfig could not be started; every font is
    // then invalid.
    bool IsReady() const;

    // Never null. The font is invalid when no face could be found or opened.
    std::unique_ptr<Font> CreateFontIndirect(const LogFont& description) override;

    struct Library;
    struct Config;

private:
    std::shared_ptr<Library> library_;
    std::unique_ptr<Config> config_;
};

// Empty when `font` is drawn with the face planned for it; otherwise one
// sentence for stderr saying which face draws it instead.
std::string StandInNote(const Font& font);
