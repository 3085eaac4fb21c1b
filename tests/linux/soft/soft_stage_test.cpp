// The real stage on the software canvas: after every frame of a glide the
// screen shows exactly the boxes where they now are and nothing else, so no
// wipe strip or text redraw leaves a stale pixel behind.

#include <gtest/gtest.h>

#include <map>

#include "display/board_layout.h"
#include "display/resources.h"
#include "soft_test_support.h"

using namespace softtest;

namespace {

constexpr std::uint16_t kPictureId = 901;
constexpr int kPictureW = 30;
constexpr int kPictureH = 24;

class MemoryStore : public ResourceStore {
public:
    bool GetBitmapBytes(std::uint16_t id, std::vector<std::uint8_t>& out) override {
        auto it = bitmaps.find(id);
        if (it == bitmaps.end()) return false;
        out = it->second;
        return true;
    }
    std::map<std::uint16_t, std::vector<std::uint8_t>> bitmaps;
};

std::vector<std::uint32_t> PicturePixels() {
    std::vector<std::uint32_t> px(kPictureW * kPictureH);
    for (int y = 0; y < kPictureH; ++y)
        for (int x = 0; x < kPictureW; ++x) px[y * kPictureW + x] = static_cast<std::uint32_t>(1 + (x * 3 + y * 5) % 200);
    return px;
}

std::vector<std::uint32_t> PictureTable() {
    std::vector<std::uint32_t> t(256);
    for (unsigned i = 0; i < 256; ++i) t[i] = 0x202020u + i * 0x010305u;  // never black
    return t;
}

class StageOnSoftCanvas : public ::testing::Test {
protected:
    void SetUp() override {
        store_.bitmaps[kPictureId] = PackDib(kPictureW, kPictureH, 8, PictureTable(), PicturePixels());
        previous_ = GetResourceStore();
        SetResourceStore(&store_);
    }
    void TearDown() override { SetResourceStore(previous_); }

    // A fresh canvas holding only what the live boxes show where they are now.
    static std::unique_ptr<SoftCanvas> Expected(const BoardLayout& layout, int w, int h, const DibImage& picture) {
        auto c = std::make_unique<SoftCanvas>(w, h);
        c->SetBkMode(kTransparent);
        for (const LayoutBox& box : layout.Boxes()) {
            if (!box.drawn) continue;
            if (box.image) {
                const int shift = (box.flags & kBoxAlignCenter) ? kPictureW / 2 : 0;
                picture.PaintSection(*c, Rect{box.drawnPos.x - shift, box.drawnPos.y, box.drawnPos.x - shift + kPictureW,
                                              box.drawnPos.y + kPictureH},
                                     Rect{0, 0, kPictureW, kPictureH});
            } else {
                c->SelectFont(box.font ? box.font : layout.defaultFont);
                c->SetTextColor(box.curColor);
                const Size e = c->GetTextExtent(box.text);
                const int x = box.drawnPos.x, y = box.drawnPos.y;
                Rect r{x, y, x + e.cx + 1, y + 2 * e.cy + 1};
                if (box.flags & kBoxAlignCenter) r = Rect{x - e.cx / 2, y, x + e.cx / 2 + 2, y + 2 * e.cy + 1};
                unsigned format = kDtWordBreak | ((box.flags & kBoxAlignCenter) ? kDtCenter : 0);
                c->DrawText(box.text, r, format);
            }
        }
        return c;
    }

    MemoryStore store_;
    ResourceStore* previous_ = nullptr;
};

}  // namespace

TEST_F(StageOnSoftCanvas, AGlidingPictureLeavesNoStalePixel) {
    auto picture = MakeDib(kPictureW, kPictureH, 8, PictureTable(), PicturePixels());
    struct Glide {
        Point from, to;
        int steps;
        bool centred;
    };
    // Every direction, slow and fast, one jump further than the picture's
    // own size, and one partly off the stage.
    const Glide glides[] = {{{10, 20}, {57, 3}, 12, false},  {{120, 90}, {40, 100}, 7, false},
                            {{60, 10}, {60, 110}, 9, true},   {{150, 100}, {20, 15}, 5, true},
                            {{20, 20}, {160, 120}, 2, false}, {{-10, 130}, {185, 140}, 10, false},
                            {{80, 60}, {81, 59}, 20, false}};
    for (const Glide& g : glides) {
        BoardLayout layout(Fonts());
        layout.bounds = Rect{0, 0, 200, 150};
        SoftCanvas canvas(200, 150);
        LayoutBox& moving = layout.AddBox("").SetImage(kPictureId).SetPos(g.from.x, g.from.y).MoveTo(g.to.x, g.to.y).SetSteps(g.steps);
        if (g.centred) moving.AlignCenter();
        layout.ContinueBox(moving).SetSteps(4);
        int frame = 0;
        while (layout.BoxCount() > 0) {
            ASSERT_LT(++frame, 100);
            layout.AnimateFrame(canvas);
            auto expected = Expected(layout, 200, 150, *picture);
            ASSERT_EQ(Snapshot(canvas), Snapshot(*expected))
                << "glide from " << g.from.x << "," << g.from.y << " frame " << frame;
        }
        EXPECT_EQ(frame, g.steps + 4 + 1);
        EXPECT_EQ(CountNot(canvas, 0), 0);
    }
}

TEST_F(StageOnSoftCanvas, FadingGlidingTextsAreWipedWithoutATrace) {
    // The boxes keep to their own parts of the stage: where two texts cross,
    // the later one's wipe takes pixels of the earlier one, as on Windows.
    auto picture = MakeDib(kPictureW, kPictureH, 8, PictureTable(), PicturePixels());
    BoardLayout layout(Fonts());
    layout.bounds = Rect{0, 0, 400, 300};
    SoftCanvas canvas(400, 300);
    LayoutBox& a = layout.AddBox("Bayer 04 Leverkusen").SetPos(5, 250).MoveTo(40, 200).SetSteps(25).FadeIn();
    layout.ContinueBox(a).SetSteps(5);
    layout.AddBox("34").SetFont("18,MS Sans Serif,B").SetColor(Rgb(250, 90, 30)).SetPos(380, 10).MoveTo(340, 60).SetSteps(17).FadeOut();
    layout.AddBox("Mistake of data acquisition.").PlaceAt(200, 130).AlignCenter().FadeIn().SetSteps(13);
    layout.AddBox("www.scorvane.example").SetFont("22,Arial,B").SetPos(200, 0).MoveBy(-40, 60).AlignCenter().SetSteps(21);
    layout.AddBox("").SetImage(kPictureId).SetPos(300, 280).MoveTo(360, 160).SetSteps(9);
    int frame = 0;
    while (layout.BoxCount() > 0) {
        ASSERT_LT(++frame, 100);
        layout.AnimateFrame(canvas);
        auto expected = Expected(layout, 400, 300, *picture);
        ASSERT_EQ(Snapshot(canvas), Snapshot(*expected)) << "frame " << frame;
        if (frame == 5) {
            EXPECT_GT(CountNot(canvas, 0), 500);
        }
    }
    EXPECT_EQ(frame, 31);
    EXPECT_EQ(CountNot(canvas, 0), 0);
}
