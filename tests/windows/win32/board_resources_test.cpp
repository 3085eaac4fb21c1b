// No GDI object of the board outlives the stage's FreeResources: twenty
// scenes played on a real GDI context, then every font and palette handle the
// stage made is checked with the system.

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <vector>

#include "acquire/standings_table.h"
#include "display/board.h"
#include "display/board_layout.h"
#include "display/dib_image.h"
#include "platform/win32/gdi_canvas.h"

namespace {

class RecordingFontFactory : public FontFactory {
public:
    std::unique_ptr<Font> CreateFontIndirect(const LogFont& description) override {
        auto font = inner_.CreateFontIndirect(description);
        if (auto* gdi = dynamic_cast<GdiFont*>(font.get())) handles.push_back(gdi->GetSafeHandle());
        return font;
    }
    std::vector<HFONT> handles;

private:
    GdiFontFactory inner_;
};

// Every board picture as a small 8-bit bitmap with a colour table.
class PictureStore : public ResourceStore {
public:
    bool GetBitmapBytes(std::uint16_t id, std::vector<std::uint8_t>& out) override {
        if (id != 148 && id != 153 && (id < 156 || id > 169)) return false;
        const int side = id == 153 ? 20 : 48;
        const int row = (side + 3) & ~3;
        out.assign(40 + 1024 + row * side, 0);
        BitmapInfoHeader h{};
        h.biSize = 40;
        h.biWidth = side;
        h.biHeight = side;
        h.biPlanes = 1;
        h.biBitCount = 8;
        std::memcpy(out.data(), &h, sizeof h);
        for (int i = 0; i < 256; ++i) out[40 + 4 * i + 1] = static_cast<std::uint8_t>(i);
        for (int i = 0; i < row * side; ++i) out[1064 + i] = static_cast<std::uint8_t>(id + i);
        return true;
    }
};

TEST(BoardResources, FreeResourcesReleasesEveryFontAndPaletteAfterTwentyScenes) {
    PictureStore pictures;
    SetResourceStore(&pictures);
    theStandings.RemoveAll();
    for (int r = 0; r < 2; ++r) {
        StandingsRow row;
        for (int c = 2; c <= 10; ++c) row[c] = "r" + std::to_string(r) + "c" + std::to_string(c);
        theStandings.Add(row);
    }
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = 320;
    bi.bmiHeader.biHeight = 240;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    CBitmap surface(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    CDC dc;
    ASSERT_TRUE(dc.CreateCompatibleDC(nullptr));
    ScopedSelect select(dc, surface);

    RecordingFontFactory fonts;
    std::set<HPALETTE> palettes;
    const DWORD gdiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    {
        BoardLayout layout(fonts);
        layout.SeedRandom(7);
        layout.bounds = Rect{0, 0, 320, 240};
        const BoardContent content{theStandings, "status", BoardTitleForChampionship("ger")};
        int scenes = 0;
        int frames = 0;
        while (scenes < 20 && frames < 20000) {
            GdiCanvas canvas(dc);
            if (ComposeBoard(layout, canvas, content) < 3) ++scenes;
            ++frames;
        }
        EXPECT_EQ(scenes, 20);
        // One font per spec for the whole run: the cache reuses them.
        EXPECT_EQ(fonts.handles.size(), 3u);
        EXPECT_EQ(layout.FontCacheSize(), 3u);
        for (int id : {148, 153, 156, 157, 158, 159, 160, 161, 162, 163, 164, 165, 166, 167, 168, 169}) {
            if (const DibImage* image = layout.GetImage(static_cast<std::uint16_t>(id))) {
                if (image->platformPalette) palettes.insert(static_cast<HPALETTE>(image->platformPalette.get()));
            }
        }
        // The ball, the flyers and at least a few emblems were painted.
        EXPECT_GE(palettes.size(), 4u);
        for (HFONT font : fonts.handles) EXPECT_EQ(GetObjectType(font), static_cast<DWORD>(OBJ_FONT));
        for (HPALETTE palette : palettes) EXPECT_EQ(GetObjectType(palette), static_cast<DWORD>(OBJ_PAL));

        layout.FreeResources();
        EXPECT_EQ(layout.FontCacheSize(), 0u);
        EXPECT_EQ(layout.ImageCacheSize(), 0u);
        EXPECT_EQ(layout.defaultFont, nullptr);
        for (HFONT font : fonts.handles) EXPECT_EQ(GetObjectType(font), 0u);
        for (HPALETTE palette : palettes) EXPECT_EQ(GetObjectType(palette), 0u);
    }
    // Where the system counts a process's GDI objects, the count is back.
    const DWORD gdiAfter = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (gdiBefore != 0) {
        EXPECT_EQ(gdiAfter, gdiBefore);
    }
    theStandings.RemoveAll();
    SetResourceStore(nullptr);
}

}  // namespace
