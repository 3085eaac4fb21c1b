#pragma once
// The board's drawing interface over a GDI device context, the fonts it
// selects, and the bitmap resources of the executable.

#include "platform/win32/win32.h"

#include <map>
#include <memory>

#include "display/canvas.h"
#include "display/font.h"
#include "display/resources.h"
#include "platform/win32/gdi.h"

// A font made with CreateFontIndirectA; owns its HFONT.
class GdiFont : public Font {
public:
    explicit GdiFont(const LogFont& description);
    bool IsValid() const override { return font_.GetSafeHandle() != nullptr; }
    const LogFont& Description() const override { return description_; }
    HFONT GetSafeHandle() const { return font_.GetSafeHandle(); }

private:
    LogFont description_;
    CFont font_;
};

class GdiFontFactory : public FontFactory {
public:
    std::unique_ptr<Font> CreateFontIndirect(const LogFont& description) override;
};

LOGFONTA ToLogFontA(const LogFont& description);

// The picture's own palette as a GDI palette, made on first use and kept with
// the picture; null when it has none or it cannot be made.
HPALETTE ImagePalette(const DibImage& image);

// Draws on a device context it does not own. Whatever it selects into the
// context (fonts, palettes) is selected back out when it is destroyed, and
// the brushes it made are deleted then, so the context can be released.
class GdiCanvas : public Canvas {
public:
    explicit GdiCanvas(HDC dc, HDC attributeDC = nullptr);
    ~GdiCanvas() override;
    GdiCanvas(const GdiCanvas&) = delete;
    GdiCanvas& operator=(const GdiCanvas&) = delete;

    Font* SelectFont(Font* font) override;
    void SetTextColor(ColorRef color) override;
    void SetBkColor(ColorRef color) override;
    void SetBkMode(int mode) override;
    Size GetTextExtent(const std::string& text) override;
    void DrawText(const std::string& text, const Rect& rect, unsigned format) override;
    void FillRect(const Rect& rect, ColorRef color) override;
    int SetDIBitsToDevice(int x, int y, int width, int height, int srcX, int srcY,
                          const DibImage& image) override;
    int StretchDIBits(int x, int y, int width, int height, int srcX, int srcY, int srcWidth, int srcHeight,
                      const DibImage& image) override;

    HDC GetSafeHdc() const { return dc_; }

private:
    // Selects and realises the image's palette (made on first use and kept
    // with the image) and returns what to restore; null when it has none.
    struct PaletteSelection {
        HPALETTE previous = nullptr;
        int previousStretchMode = 0;
        bool active = false;
    };
    PaletteSelection SelectImagePalette(const DibImage& image);
    void RestorePalette(const PaletteSelection& selection);

    HDC dc_;
    HDC attributeDC_;
    Font* selected_ = nullptr;
    HGDIOBJ originalFont_ = nullptr;
    bool fontSelected_ = false;
    std::map<ColorRef, CBrush> brushes_;
};

// The bitmaps of a module, read back through GDI as packed
// device-independent bitmaps: the stored header, the complete colour table
// and the bottom-up rows.
class Win32ResourceStore : public ResourceStore {
public:
    explicit Win32ResourceStore(HINSTANCE module = nullptr);
    bool GetBitmapBytes(std::uint16_t id, std::vector<std::uint8_t>& out) override;

private:
    HINSTANCE module_;
};

// Converts a device-dependent bitmap into packed bytes with the pixels read
// through `dc`. False when the bitmap cannot be read whole.
bool PackBitmap(HDC dc, HBITMAP bitmap, std::vector<std::uint8_t>& out);
