#include "platform/win32/gdi_canvas.h"

#include <cstring>
#include <vector>

#include "display/dib_image.h"

static_assert(sizeof(LOGFONTA) == sizeof(LogFont), "LogFont mirrors LOGFONTA");

LOGFONTA ToLogFontA(const LogFont& d) {
    LOGFONTA lf = {};
    lf.lfHeight = d.lfHeight;
    lf.lfWidth = d.lfWidth;
    lf.lfEscapement = d.lfEscapement;
    lf.lfOrientation = d.lfOrientation;
    lf.lfWeight = d.lfWeight;
    lf.lfItalic = d.lfItalic;
    lf.lfUnderline = d.lfUnderline;
    lf.lfStrikeOut = d.lfStrikeOut;
    lf.lfCharSet = d.lfCharSet;
    lf.lfOutPrecision = d.lfOutPrecision;
    lf.lfClipPrecision = d.lfClipPrecision;
    lf.lfQuality = d.lfQuality;
    lf.lfPitchAndFamily = d.lfPitchAndFamily;
    std::memcpy(lf.lfFaceName, d.lfFaceName, sizeof lf.lfFaceName);
    lf.lfFaceName[sizeof lf.lfFaceName - 1] = '\0';
    return lf;
}

GdiFont::GdiFont(const LogFont& description) : description_(description) {
    const LOGFONTA lf = ToLogFontA(description);
    font_.CreateFontIndirect(&lf);
}

std::unique_ptr<Font> GdiFontFactory::CreateFontIndirect(const LogFont& description) {
    return std::make_unique<GdiFont>(description);
}

// ---------------------------------------------------------------- GdiCanvas

GdiCanvas::GdiCanvas(HDC dc, HDC attributeDC) : dc_(dc), attributeDC_(attributeDC ? attributeDC : dc) {}

GdiCanvas::~GdiCanvas() {
    if (fontSelected_) ::SelectObject(dc_, originalFont_);
}

Font* GdiCanvas::SelectFont(Font* font) {
    Font* previous = selected_;
    selected_ = font;
    HFONT handle = nullptr;
    if (auto* gdiFont = dynamic_cast<GdiFont*>(font)) handle = gdiFont->GetSafeHandle();
    if (handle) {
        HGDIOBJ old = ::SelectObject(dc_, handle);
        if (!fontSelected_) {
            originalFont_ = old;
            fontSelected_ = true;
        }
    } else if (!font && fontSelected_) {
        ::SelectObject(dc_, originalFont_);
        fontSelected_ = false;
    }
    // A font that could not be created selects nothing: the context keeps
    // the font it has.
    return previous;
}

void GdiCanvas::SetTextColor(ColorRef color) { ::SetTextColor(dc_, color); }

void GdiCanvas::SetBkColor(ColorRef color) { ::SetBkColor(dc_, color); }

void GdiCanvas::SetBkMode(int mode) { ::SetBkMode(dc_, mode); }

Size GdiCanvas::GetTextExtent(const std::string& text) {
    SIZE size = {0, 0};
    if (!::GetTextExtentPoint32A(attributeDC_, text.data(), static_cast<int>(text.size()), &size)) return Size{};
    return Size{size.cx, size.cy};
}

void GdiCanvas::DrawText(const std::string& text, const Rect& rect, unsigned format) {
    RECT r = {rect.left, rect.top, rect.right, rect.bottom};
    ::DrawTextA(dc_, text.data(), static_cast<int>(text.size()), &r, format);
}

void GdiCanvas::FillRect(const Rect& rect, ColorRef color) {
    const RECT r = {rect.left, rect.top, rect.right, rect.bottom};
    HBRUSH brush;
    if (color == 0) {
        brush = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
    } else {
        CBrush& cached = brushes_[color];
        if (!cached) cached.CreateSolidBrush(color);
        brush = cached;
    }
    ::FillRect(dc_, &r, brush);
}

HPALETTE ImagePalette(const DibImage& image) {
    if (!image.HasPalette()) return nullptr;
    if (!image.platformPalette) {
        const auto& entries = image.palette();
        std::vector<std::uint8_t> block(sizeof(LOGPALETTE) + entries.size() * sizeof(PALETTEENTRY));
        auto* logPalette = reinterpret_cast<LOGPALETTE*>(block.data());
        logPalette->palVersion = 0x300;
        logPalette->palNumEntries = static_cast<WORD>(entries.size());
        for (std::size_t i = 0; i < entries.size(); ++i) {
            logPalette->palPalEntry[i].peRed = entries[i].peRed;
            logPalette->palPalEntry[i].peGreen = entries[i].peGreen;
            logPalette->palPalEntry[i].peBlue = entries[i].peBlue;
            logPalette->palPalEntry[i].peFlags = 0;
        }
        HPALETTE palette = ::CreatePalette(logPalette);
        if (!palette) return nullptr;
        image.platformPalette =
            std::shared_ptr<void>(palette, [](void* handle) { ::DeleteObject(static_cast<HPALETTE>(handle)); });
    }
    return static_cast<HPALETTE>(image.platformPalette.get());
}

GdiCanvas::PaletteSelection GdiCanvas::SelectImagePalette(const DibImage& image) {
    PaletteSelection selection;
    HPALETTE palette = ImagePalette(image);
    if (!palette) return selection;
    selection.previous = ::SelectPalette(dc_, palette, FALSE);
    ::RealizePalette(dc_);
    selection.previousStretchMode = ::SetStretchBltMode(dc_, COLORONCOLOR);
    selection.active = true;
    return selection;
}

void GdiCanvas::RestorePalette(const PaletteSelection& selection) {
    if (!selection.active) return;
    ::SelectPalette(dc_, selection.previous, FALSE);
    if (selection.previousStretchMode) ::SetStretchBltMode(dc_, selection.previousStretchMode);
}

int GdiCanvas::SetDIBitsToDevice(int x, int y, int width, int height, int srcX, int srcY, const DibImage& image) {
    const BitmapInfoHeader* header = image.header();
    if (!header || !image.HasBits()) return 0;
    const PaletteSelection selection = SelectImagePalette(image);
    const int lines = ::SetDIBitsToDevice(dc_, x, y, static_cast<DWORD>(width), static_cast<DWORD>(height), srcX,
                                          srcY, 0, static_cast<UINT>(header->biHeight), image.bits().data(),
                                          reinterpret_cast<const BITMAPINFO*>(image.info().data()), DIB_RGB_COLORS);
    RestorePalette(selection);
    return lines;
}

int GdiCanvas::StretchDIBits(int x, int y, int width, int height, int srcX, int srcY, int srcWidth, int srcHeight,
                             const DibImage& image) {
    if (!image.header() || !image.HasBits()) return 0;
    const PaletteSelection selection = SelectImagePalette(image);
    const int lines =
        ::StretchDIBits(dc_, x, y, width, height, srcX, srcY, srcWidth, srcHeight, image.bits().data(),
                        reinterpret_cast<const BITMAPINFO*>(image.info().data()), DIB_RGB_COLORS, SRCCOPY);
    RestorePalette(selection);
    return lines;
}

// ---------------------------------------------------------------- resources

bool PackBitmap(HDC dc, HBITMAP bitmap, std::vector<std::uint8_t>& out) {
    BITMAP bm = {};
    if (!bitmap || ::GetObjectA(bitmap, sizeof bm, &bm) != sizeof bm) return false;
    const LONG width = bm.bmWidth;
    const LONG height = bm.bmHeight;
    if (width <= 0 || height <= 0) return false;

    const unsigned depth = bm.bmBitsPixel;
    const unsigned bitCount = depth <= 8 ? depth : 24;
    // Every depth up to 8 keeps its colour table, which GetDIBits fills in.
    const std::size_t colors = depth <= 8 ? (std::size_t{1} << depth) : 0;
    const std::uint64_t rowSize = (static_cast<std::uint64_t>(bitCount) * width + 31) / 32 * 4;
    const std::uint64_t imageSize = rowSize * static_cast<std::uint64_t>(height);
    if (imageSize > 0x7FFFFFFF) return false;

    const std::size_t infoSize = sizeof(BITMAPINFOHEADER) + colors * sizeof(RGBQUAD);
    std::vector<std::uint8_t> packed(infoSize + static_cast<std::size_t>(imageSize), 0);
    auto* header = reinterpret_cast<BITMAPINFOHEADER*>(packed.data());
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = width;
    header->biHeight = height;  // positive: bottom-up rows
    header->biPlanes = bm.bmPlanes;
    header->biBitCount = static_cast<WORD>(bitCount);
    header->biCompression = BI_RGB;
    header->biSizeImage = static_cast<DWORD>(imageSize);

    const int lines = ::GetDIBits(dc, bitmap, 0, static_cast<UINT>(height), packed.data() + infoSize,
                                  reinterpret_cast<BITMAPINFO*>(packed.data()), DIB_RGB_COLORS);
    if (lines != height) return false;
    out = std::move(packed);
    return true;
}

Win32ResourceStore::Win32ResourceStore(HINSTANCE module) : module_(module) {}

bool Win32ResourceStore::GetBitmapBytes(std::uint16_t id, std::vector<std::uint8_t>& out) {
    HINSTANCE module = module_ ? module_ : ::GetModuleHandleA(nullptr);
    CBitmap bitmap;
    if (!bitmap.LoadBitmap(module, id, LR_CREATEDIBSECTION)) return false;
    CClientDC desktop(::GetDesktopWindow());
    if (!desktop.GetSafeHdc()) return false;
    return PackBitmap(desktop, bitmap, out);
}
