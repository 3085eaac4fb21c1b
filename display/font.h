#pragma once
// Fonts as the platform creates them from a LOGFONT-shaped description.

#include <cstdint>
#include <memory>

struct LogFont {
    std::int32_t lfHeight = 0;
    std::int32_t lfWidth = 0;
    std::int32_t lfEscapement = 0;
    std::int32_t lfOrientation = 0;
    std::int32_t lfWeight = 0;
    std::uint8_t lfItalic = 0;
    std::uint8_t lfUnderline = 0;
    std::uint8_t lfStrikeOut = 0;
    std::uint8_t lfCharSet = 0;
    std::uint8_t lfOutPrecision = 0;
    std::uint8_t lfClipPrecision = 0;
    std::uint8_t lfQuality = 0;
    std::uint8_t lfPitchAndFamily = 0;
    char lfFaceName[32] = {};
};
static_assert(sizeof(LogFont) == 60, "LogFont must match the Windows LOGFONTA layout");

// One created font. `IsValid` is false when the platform could not create it;
// such a font is still cached and selected, and drawing then keeps whatever
// font the canvas had.
class Font {
public:
    virtual ~Font() = default;
    virtual bool IsValid() const = 0;
    virtual const LogFont& Description() const = 0;
};

class FontFactory {
public:
    virtual ~FontFactory() = default;
    virtual std::unique_ptr<Font> CreateFontIndirect(const LogFont& description) = 0;
};
