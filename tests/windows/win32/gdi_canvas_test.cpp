// The GDI canvas, fonts and bitmap conversion, drawn into a 32-bit DIB
// section so that every pixel can be read back.

#include "platform/win32/gdi_canvas.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "display/dib_image.h"

namespace {

// A memory context with a top-down 32-bit surface.
class Surface {
public:
    Surface(int width, int height) : width_(width), height_(height) {
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bi.bmiHeader.biWidth = width;
        bi.bmiHeader.biHeight = -height;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        bitmap_.Attach(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits_, nullptr, 0));
        dc_.CreateCompatibleDC(nullptr);
        old_ = SelectObject(dc_, bitmap_);
    }
    ~Surface() { SelectObject(dc_, old_); }
    HDC dc() const { return dc_; }
    // COLORREF of a pixel.
    COLORREF At(int x, int y) const {
        GdiFlush();
        const std::uint32_t v = static_cast<const std::uint32_t*>(bits_)[y * width_ + x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
    int Count(COLORREF color, const RECT& r) const {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) n += At(x, y) == color;
        return n;
    }
    int width() const { return width_; }
    int height() const { return height_; }

private:
    int width_, height_;
    void* bits_ = nullptr;
    CBitmap bitmap_;
    CDC dc_;
    HGDIOBJ old_ = nullptr;
};

LogFont SansSerif(int height) {
    LogFont lf;
    lf.lfHeight = -height;
    lf.lfWeight = 700;
    lf.lfQuality = NONANTIALIASED_QUALITY;
    lf.lfPitchAndFamily = VARIABLE_PITCH | FF_ROMAN;
    std::strcpy(lf.lfFaceName, "MS Sans Serif");
    return lf;
}

// Packed 8-bit bitmap: colour i is (i, 255 - i, 7); pixel (x, y), y from the
// top, has index x + 10 * y.
std::vector<std::uint8_t> PackedIndexed(int width, int height) {
    const int row = (width + 3) & ~3;
    std::vector<std::uint8_t> out(40 + 1024 + row * height, 0);
    BitmapInfoHeader h{};
    h.biSize = 40;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = 8;
    std::memcpy(out.data(), &h, sizeof h);
    for (int i = 0; i < 256; ++i) {
        out[40 + 4 * i] = 7;                                    // blue
        out[40 + 4 * i + 1] = static_cast<std::uint8_t>(255 - i);  // green
        out[40 + 4 * i + 2] = static_cast<std::uint8_t>(i);      // red
    }
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            out[40 + 1024 + (height - 1 - y) * row + x] = static_cast<std::uint8_t>(x + 10 * y);
    return out;
}

COLORREF IndexColor(int i) { return RGB(i, 255 - i, 7); }

TEST(GdiFont, MadeAsDescribedWithoutAntialiasing) {
    GdiFontFactory factory;
    auto font = factory.CreateFontIndirect(SansSerif(15));
    ASSERT_TRUE(font->IsValid());
    EXPECT_EQ(font->Description().lfHeight, -15);
    auto* gdi = dynamic_cast<GdiFont*>(font.get());
    ASSERT_NE(gdi, nullptr);
    LOGFONTA lf = {};
    ASSERT_EQ(GetObjectA(gdi->GetSafeHandle(), sizeof lf, &lf), static_cast<int>(sizeof lf));
    EXPECT_EQ(lf.lfHeight, -15);
    EXPECT_EQ(lf.lfWeight, 700);
    EXPECT_EQ(lf.lfQuality, NONANTIALIASED_QUALITY);
    EXPECT_EQ(lf.lfPitchAndFamily, VARIABLE_PITCH | FF_ROMAN);
    EXPECT_STREQ(lf.lfFaceName, "MS Sans Serif");

    // The font owns its handle.
    HFONT handle = gdi->GetSafeHandle();
    font.reset();
    EXPECT_EQ(GetObjectType(handle), 0u);
}

TEST(GdiCanvas, FillsWithTheStockBlackAndCachedSolidBrushes) {
    Surface s(64, 32);
    {
        GdiCanvas canvas(s.dc());
        canvas.FillRect(Rect{0, 0, 64, 32}, Rgb(10, 20, 30));
        canvas.FillRect(Rect{4, 4, 14, 9}, 0);
        canvas.FillRect(Rect{20, 0, 30, 2}, Rgb(10, 20, 30));
    }
    EXPECT_EQ(s.Count(RGB(0, 0, 0), RECT{0, 0, 64, 32}), 50);
    EXPECT_EQ(s.At(4, 4), RGB(0, 0, 0));
    EXPECT_EQ(s.At(13, 8), RGB(0, 0, 0));
    EXPECT_EQ(s.At(14, 8), RGB(10, 20, 30));
    EXPECT_EQ(s.At(3, 4), RGB(10, 20, 30));
}

TEST(GdiCanvas, DrawsTextInTheColourClippedToItsRectangle) {
    Surface s(200, 60);
    GdiFontFactory factory;
    auto font = factory.CreateFontIndirect(SansSerif(18));
    auto small = factory.CreateFontIndirect(SansSerif(10));
    HGDIOBJ original = GetCurrentObject(s.dc(), OBJ_FONT);
    {
        GdiCanvas canvas(s.dc());
        canvas.FillRect(Rect{0, 0, 200, 60}, 0);
        EXPECT_EQ(canvas.SelectFont(font.get()), nullptr);
        EXPECT_EQ(GetCurrentObject(s.dc(), OBJ_FONT), dynamic_cast<GdiFont*>(font.get())->GetSafeHandle());
        canvas.SetBkMode(kTransparent);
        canvas.SetBkColor(0);
        canvas.SetTextColor(Rgb(200, 100, 50));
        const Size one = canvas.GetTextExtent("Club");
        const Size two = canvas.GetTextExtent("Club Club");
        EXPECT_GT(one.cx, 10);
        EXPECT_GT(two.cx, one.cx);
        EXPECT_GE(one.cy, 15);
        canvas.DrawText("Club", Rect{10, 10, 10 + one.cx + 1, 10 + 2 * one.cy + 1}, kDtWordBreak);
        // Clipped: a text wider than its rectangle leaves nothing beyond it.
        canvas.DrawText("MMMMMMMM", Rect{100, 10, 120, 40}, kDtWordBreak);
        EXPECT_EQ(canvas.SelectFont(small.get()), font.get());
        EXPECT_EQ(canvas.SelectFont(font.get()), small.get());
    }
    // Plain GDI colour, no blending: exactly the text colour.
    EXPECT_GT(s.Count(RGB(200, 100, 50), RECT{10, 10, 100, 50}), 30);
    EXPECT_GT(s.Count(RGB(200, 100, 50), RECT{100, 10, 120, 40}), 10);
    EXPECT_EQ(s.Count(RGB(200, 100, 50), RECT{120, 0, 200, 60}), 0);
    EXPECT_EQ(s.Count(RGB(200, 100, 50), RECT{0, 0, 200, 10}), 0);
    int other = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 200; ++x) other += s.At(x, y) != RGB(0, 0, 0) && s.At(x, y) != RGB(200, 100, 50);
    EXPECT_EQ(other, 0);
    // The context has its own font back.
    EXPECT_EQ(GetCurrentObject(s.dc(), OBJ_FONT), original);
}

TEST(GdiCanvas, CopiesImageSectionsWithTheirPalette) {
    DibImage image;
    const auto packed = PackedIndexed(10, 8);
    ASSERT_TRUE(image.LoadFromPacked(packed.data(), packed.size()));
    Surface s(40, 40);
    HGDIOBJ defaultPalette = GetCurrentObject(s.dc(), OBJ_PAL);
    {
        GdiCanvas canvas(s.dc());
        canvas.FillRect(Rect{0, 0, 40, 40}, 0);
        // The section (2, 1)-(6, 4) of the picture, top-down, to (20, 20).
        EXPECT_GT(image.PaintSection(canvas, Rect{20, 20, 24, 23}, Rect{2, 1, 6, 4}), 0);
        // The whole picture doubled.
        image.PaintStretched(canvas, 0, 0, 20, 16);
    }
    ASSERT_TRUE(image.platformPalette);
    EXPECT_EQ(GetObjectType(image.platformPalette.get()), static_cast<DWORD>(OBJ_PAL));
    EXPECT_EQ(GetCurrentObject(s.dc(), OBJ_PAL), defaultPalette);

    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(s.At(20 + x, 20 + y), IndexColor(2 + x + 10 * (1 + y))) << x << "," << y;
    EXPECT_EQ(s.At(24, 20), RGB(0, 0, 0));
    EXPECT_EQ(s.At(20, 23), RGB(0, 0, 0));
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 20; ++x) EXPECT_EQ(s.At(x, y), IndexColor(x / 2 + 10 * (y / 2))) << x << "," << y;

    // The palette lives with the image.
    HGDIOBJ palette = image.platformPalette.get();
    image.platformPalette.reset();
    EXPECT_EQ(GetObjectType(palette), 0u);

    // An empty picture draws nothing.
    DibImage empty;
    GdiCanvas canvas(s.dc());
    EXPECT_EQ(empty.PaintSection(canvas, Rect{0, 0, 5, 5}, Rect{0, 0, 5, 5}), 0);
}

TEST(PackBitmap, ReadsAnIndexedBitmapWithItsWholeColourTable) {
    // An 8-bit DIB section as LoadImage with LR_CREATEDIBSECTION makes it.
    const auto packed = PackedIndexed(98, 3);
    void* bits = nullptr;
    CBitmap bitmap(CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(packed.data()), DIB_RGB_COLORS,
                                    &bits, nullptr, 0));
    ASSERT_TRUE(bitmap);
    std::memcpy(bits, packed.data() + 40 + 1024, packed.size() - 40 - 1024);

    CClientDC desktop(GetDesktopWindow());
    std::vector<std::uint8_t> out;
    ASSERT_TRUE(PackBitmap(desktop, bitmap, out));
    ASSERT_EQ(out.size(), packed.size());
    BitmapInfoHeader h;
    std::memcpy(&h, out.data(), sizeof h);
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, 98);
    EXPECT_EQ(h.biHeight, 3);
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, 8);
    EXPECT_EQ(h.biCompression, static_cast<std::uint32_t>(BI_RGB));
    EXPECT_EQ(h.biSizeImage, 100u * 3u);  // rows of 98 pixels padded to 100 bytes
    EXPECT_EQ(std::memcmp(out.data() + 40, packed.data() + 40, 1024), 0);
    EXPECT_EQ(std::memcmp(out.data() + 1064, packed.data() + 1064, 300), 0);

    DibImage image;
    ASSERT_TRUE(image.LoadFromPacked(out.data(), out.size()));
    EXPECT_EQ(image.ColorCount(), 256);
    EXPECT_EQ(image.palette().size(), 256u);
    EXPECT_EQ(image.RowSize(), 100u);
}

TEST(PackBitmap, DeepBitmapsBecome24BitsWithoutTable) {
    for (int depth : {16, 24, 32}) {
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bi.bmiHeader.biWidth = 10;
        bi.bmiHeader.biHeight = 2;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = static_cast<WORD>(depth);
        bi.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        CBitmap bitmap(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
        ASSERT_TRUE(bitmap);
        CDC dc;
        dc.CreateCompatibleDC(nullptr);
        {
            ScopedSelect select(dc, bitmap);
            RECT r = {0, 0, 10, 2};
            CBrush brush;
            brush.CreateSolidBrush(RGB(255, 0, 0));
            dc.FillRect(&r, brush);
        }
        CClientDC desktop(GetDesktopWindow());
        std::vector<std::uint8_t> out;
        ASSERT_TRUE(PackBitmap(desktop, bitmap, out)) << depth;
        BitmapInfoHeader h;
        std::memcpy(&h, out.data(), sizeof h);
        EXPECT_EQ(h.biBitCount, 24) << depth;
        EXPECT_EQ(h.biSizeImage, 32u * 2u) << depth;  // 10 pixels of 3 bytes, padded to 32
        ASSERT_EQ(out.size(), 40u + 64u) << depth;
        // Blue, green, red: pure red.
        EXPECT_EQ(out[40], 0);
        EXPECT_EQ(out[41], 0);
        EXPECT_EQ(out[42], 255) << depth;
        DibImage image;
        ASSERT_TRUE(image.LoadFromPacked(out.data(), out.size()));
        EXPECT_FALSE(image.HasPalette());
        EXPECT_EQ(image.ColorCount(), 0);
    }
}

TEST(Win32ResourceStore, UnknownBitmapIsNoBitmap) {
    Win32ResourceStore store;
    std::vector<std::uint8_t> out{1, 2, 3};
    EXPECT_FALSE(store.GetBitmapBytes(4711, out));
    EXPECT_EQ(out, (std::vector<std::uint8_t>{1, 2, 3}));
    SetResourceStore(&store);
    DibImage image;
    EXPECT_FALSE(image.LoadFromResource(4711));
    EXPECT_FALSE(image.HasBits());
    SetResourceStore(nullptr);
}

}  // namespace
