#include "display/board_layout.h"

#include <gtest/gtest.h>

#include <ctime>
#include <set>
#include <vector>

#include "display_test_support.h"

namespace {

using namespace displaytest;

constexpr ColorRef kWhite = 0x00FFFFFF;

struct Stage {
    Stage() {
        store.bitmaps[153] = MakePacked8(20, 20);
        store.bitmaps[148] = MakePacked8(48, 48);
        store.bitmaps[156] = MakePacked8(100, 60);
        store.bitmaps[200] = MakePacked8(60, 20);  // a strip of three square cells
    }
    CountingFontFactory fonts;
    MemoryResourceStore store;
    ScopedStore scope{&store};
    BoardLayout layout{fonts};
    RecordingCanvas dc;

    // Plays one frame and returns only its drawing operations.
    std::vector<Op> Frame(int* count = nullptr) {
        dc.Clear();
        const int n = layout.AnimateFrame(dc);
        if (count) *count = n;
        return dc.Drawing();
    }
};

// The seed after which the generator's next value is `value`.
unsigned SeedForNext(int value) {
    const std::uint32_t a = 214013u;
    std::uint32_t inverse = a;  // Newton's iteration for the inverse modulo 2^32
    for (int i = 0; i < 5; ++i) inverse *= 2u - a * inverse;
    const std::uint32_t next = static_cast<std::uint32_t>(value) << 16;
    return (next - 2531011u) * inverse;
}

TEST(BoardLayout, ConstructionAndTheEmptyStage) {
    Stage s;
    EXPECT_EQ(s.fonts.created, 1);
    ASSERT_NE(s.layout.defaultFont, nullptr);
    EXPECT_EQ(s.layout.defaultFont->Description().lfHeight, -15);
    EXPECT_EQ(std::string(s.layout.defaultFont->Description().lfFaceName), "MS Sans Serif");
    EXPECT_EQ(s.layout.GetFont("15,MS Sans Serif"), s.layout.defaultFont);
    EXPECT_EQ(s.fonts.created, 1);
    EXPECT_EQ(s.layout.bounds, Rect{});
    EXPECT_EQ(s.layout.backColor, 0u);
    EXPECT_EQ(s.layout.backBrush, 0u);

    // A frame on an empty stage sets up the context, draws nothing and puts
    // the caller's font back.
    std::unique_ptr<Font> callers = s.fonts.CreateFontIndirect(LogFont{});
    s.dc.selected = callers.get();
    EXPECT_EQ(s.layout.AnimateFrame(s.dc), 0);
    ASSERT_EQ(s.dc.ops.size(), 4u);
    EXPECT_EQ(s.dc.ops[0].kind, Op::Select);
    EXPECT_EQ(s.dc.ops[0].font, s.layout.defaultFont);
    EXPECT_EQ(s.dc.ops[1].kind, Op::BkColor);
    EXPECT_EQ(s.dc.ops[1].color, 0u);
    EXPECT_EQ(s.dc.ops[2].kind, Op::BkMode);
    EXPECT_EQ(s.dc.ops[2].format, static_cast<unsigned>(kTransparent));
    EXPECT_EQ(s.dc.ops[3].kind, Op::Select);
    EXPECT_EQ(s.dc.selected, callers.get());
}

TEST(BoardLayout, AddBoxDefaultsAndSetters) {
    Stage s;
    LayoutBox& b = s.layout.AddBox("hello");
    EXPECT_EQ(b.text, "hello");
    EXPECT_EQ(b.color, Rgb(191, 191, 191));
    EXPECT_EQ(b.curColor, Rgb(191, 191, 191));
    EXPECT_EQ(b.steps, 20);
    EXPECT_EQ(b.flags, 0u);
    EXPECT_EQ(b.font, nullptr);
    EXPECT_EQ(b.image, nullptr);
    EXPECT_FALSE(b.waiting);
    EXPECT_FALSE(b.drawn);
    EXPECT_EQ(b.owner, &s.layout);
    EXPECT_EQ(b.target, Point{});

    EXPECT_EQ(&b.SetPos(10, 20).MoveBy(5, -5), &b);
    EXPECT_EQ(b.origin, (Point{10, 20}));
    EXPECT_EQ(b.drawnPos, (Point{10, 20}));
    EXPECT_EQ(b.pos.x, 10.0);
    EXPECT_EQ(b.pos.y, 20.0);
    EXPECT_EQ(b.target, (Point{15, 15}));
    b.SetPos(1, 1);  // the target stays
    EXPECT_EQ(b.target, (Point{15, 15}));
    b.PlaceBy(3, 4);
    EXPECT_EQ(b.origin, (Point{4, 5}));
    EXPECT_EQ(b.target, (Point{4, 5}));
    b.PlaceAt(-7, 8).MoveTo(9, 10).SetSteps(3);
    EXPECT_EQ(b.origin, (Point{-7, 8}));
    EXPECT_EQ(b.target, (Point{9, 10}));
    EXPECT_EQ(b.steps, 3);
    b.SetColor(0x123456).FadeIn();
    EXPECT_EQ(b.color, 0x123456u);
    EXPECT_EQ(b.curColor, 0u);
    b.FadeOut().AlignCenter();
    EXPECT_EQ(b.flags, kBoxFadeIn | kBoxFadeOut | kBoxAlignCenter);
    b.SetFont("22,Arial,B");
    EXPECT_EQ(b.font, s.layout.GetFont("22,Arial,B"));
    b.SetImage(153, 2);
    EXPECT_EQ(b.image, s.layout.GetImage(153));
    EXPECT_EQ(b.frame, 2);
}

TEST(BoardLayout, ContinueBoxStartsWhereTheBoxEnds) {
    Stage s;
    LayoutBox& a = s.layout.AddBox("T");
    a.SetColor(0x00112233).SetFont("22,Arial,B").SetImage(200, 1).SetPos(1, 2).MoveTo(30, 40).SetSteps(7);
    a.flags = kBoxFadeIn | kBoxFadeOut | kBoxAlignRight | kBoxAlignCenter;
    LayoutBox& b = s.layout.ContinueBox(a);
    EXPECT_NE(&a, &b);
    EXPECT_EQ(b.text, "T");
    EXPECT_EQ(b.origin, (Point{30, 40}));
    EXPECT_EQ(b.drawnPos, (Point{30, 40}));
    EXPECT_EQ(b.target, (Point{30, 40}));
    EXPECT_EQ(b.pos.x, 30.0);
    EXPECT_EQ(b.color, 0x00112233u);
    EXPECT_EQ(b.curColor, 0x00112233u);
    EXPECT_EQ(b.font, a.font);
    EXPECT_EQ(b.flags, kBoxAlignRight | kBoxAlignCenter);
    EXPECT_EQ(b.image, a.image);
    EXPECT_EQ(b.frame, 1);
    EXPECT_EQ(b.steps, 20);
    EXPECT_TRUE(b.waiting);
    EXPECT_EQ(a.firstFollower, &b);
    EXPECT_EQ(s.layout.BoxCount(), 2u);
    EXPECT_EQ(&s.layout.Boxes().back(), &b);
}

TEST(BoardLayout, GlideFromZeroToHundredInTwentySteps) {
    Stage s;
    s.layout.AddBox("X").SetColor(kWhite).SetPos(0, 0).MoveTo(100, 0);
    std::vector<int> drawnAt;
    int previous = -1;
    for (int frame = 1; frame <= 21; ++frame) {
        int count = 0;
        const std::vector<Op> ops = s.Frame(&count);
        EXPECT_EQ(count, 1) << "frame " << frame;
        std::vector<Op> wipes, draws;
        for (const Op& op : ops) {
            ASSERT_EQ(op.kind, Op::Text);
            (op.color == 0 ? wipes : draws).push_back(op);
        }
        if (frame >= 2) {
            // Every move wipes the text at its previous place first.
            ASSERT_EQ(wipes.size(), 1u) << "frame " << frame;
            EXPECT_EQ(wipes[0].rect.left, previous);
            EXPECT_EQ(ops.front().color, 0u);
        } else {
            EXPECT_TRUE(wipes.empty());
        }
        if (frame <= 20) {
            ASSERT_EQ(draws.size(), 1u) << "frame " << frame;
            const Rect& r = draws[0].rect;
            // "X" is 7 pixels wide and 15 high in the default font.
            EXPECT_EQ(r, (Rect{r.left, 0, r.left + 8, 31}));
            EXPECT_EQ(draws[0].format, kDtWordBreak);
            EXPECT_EQ(draws[0].text, "X");
            EXPECT_EQ(draws[0].font, s.layout.defaultFont);
            drawnAt.push_back(r.left);
            previous = r.left;
        } else {
            EXPECT_TRUE(draws.empty());
        }
    }
    EXPECT_EQ(drawnAt, (std::vector<int>{0, 5, 10, 15, 21, 26, 31, 36, 42, 47, 52, 57, 63, 68, 73, 78, 84, 89,
                                        94, 100}));
    EXPECT_EQ(s.layout.BoxCount(), 0u);
    EXPECT_EQ(s.layout.AnimateFrame(s.dc), 0);
}

std::vector<unsigned> FadeChannels(ColorRef color, bool fadeIn, std::vector<ColorRef>* full = nullptr) {
    Stage s;
    LayoutBox& b = s.layout.AddBox("F").SetColor(color).PlaceAt(5, 5);
    if (fadeIn) b.FadeIn(); else b.FadeOut();
    std::vector<unsigned> red;
    for (int frame = 1; frame <= 21; ++frame) {
        const std::vector<Op> ops = s.Frame();
        if (frame <= 20) {
            // Standing still: no wipe, one draw.
            EXPECT_EQ(ops.size(), 1u);
            if (ops.empty()) continue;
            red.push_back(GetRValue(ops[0].color));
            if (full) full->push_back(ops[0].color);
        } else {
            EXPECT_EQ(ops.size(), 1u);  // the wipe in the background colour
            if (!ops.empty()) {
                EXPECT_EQ(ops[0].color, 0u);
                EXPECT_EQ(ops[0].rect.left, 5);
            }
        }
    }
    return red;
}

TEST(BoardLayout, FadeSequences) {
    std::vector<ColorRef> in;
    EXPECT_EQ(FadeChannels(kWhite, true, &in),
              (std::vector<unsigned>{12, 24, 36, 48, 60, 73, 86, 99, 112, 125, 138, 151, 164, 177, 190, 203, 216,
                                     229, 242, 255}));
    for (ColorRef c : in) EXPECT_EQ(c, Rgb(GetRValue(c), GetRValue(c), GetRValue(c)));
    std::vector<ColorRef> out;
    EXPECT_EQ(FadeChannels(kWhite, false, &out),
              (std::vector<unsigned>{243, 231, 219, 207, 195, 182, 169, 156, 143, 130, 117, 104, 91, 78, 65, 52, 39,
                                     26, 13, 0}));
    // The channels fade separately, and the high byte is left alone.
    std::vector<ColorRef> mixed;
    FadeChannels(0x7F4080FFu, false, &mixed);
    EXPECT_EQ(mixed.front(), 0x7F3D7AF3u);
    std::vector<ColorRef> mixedIn;
    FadeChannels(0x004080FFu, true, &mixedIn);
    EXPECT_EQ(mixedIn.front(), 0x0003060Cu);
    EXPECT_EQ(mixedIn.back(), 0x004080FFu);
}

TEST(BoardLayout, ZeroStepsIsNeverShown) {
    Stage s;
    s.layout.AddBox("gone").PlaceAt(3, 4).SetSteps(0);
    int count = 0;
    EXPECT_TRUE(s.Frame(&count).empty());
    EXPECT_EQ(count, 1);
    EXPECT_EQ(s.layout.BoxCount(), 0u);

    s.layout.AddBox("").SetImage(153).PlaceAt(30, 40).SetSteps(0);
    s.layout.AddBox("").SetImage(153).AlignCenter().PlaceAt(30, 40).SetSteps(0);
    const std::vector<Op> ops = s.Frame(&count);
    EXPECT_EQ(count, 2);
    ASSERT_EQ(ops.size(), 2u);
    EXPECT_EQ(ops[0].kind, Op::Fill);
    EXPECT_EQ(ops[0].rect, (Rect{30, 40, 50, 60}));
    EXPECT_EQ(ops[0].color, 0u);
    EXPECT_EQ(ops[1].kind, Op::Fill);
    EXPECT_EQ(ops[1].rect, (Rect{20, 40, 40, 60}));
    EXPECT_EQ(s.layout.BoxCount(), 0u);
}

TEST(BoardLayout, NegativeStepsFinishAtOnce) {
    Stage s;
    LayoutBox& a = s.layout.AddBox("a").PlaceAt(1, 1).SetSteps(-5);
    s.layout.AddBox("b").PlaceAt(2, 2).After(a);
    const std::vector<Op> ops = s.Frame();
    ASSERT_EQ(ops.size(), 1u);
    EXPECT_EQ(ops[0].text, "b");
    EXPECT_EQ(s.layout.BoxCount(), 1u);
}

TEST(BoardLayout, SetPosAloneGlidesToTheCorner) {
    Stage s;
    s.layout.AddBox("P").SetColor(kWhite).SetPos(50, 40);
    s.layout.AddBox("Q").SetColor(kWhite).PlaceAt(50, 40);
    std::vector<Point> p, q;
    int wipesOfQ = 0;
    for (int frame = 1; frame <= 21; ++frame)
        for (const Op& op : s.Frame()) {
            if (op.color == 0) {
                if (op.text == "Q") ++wipesOfQ;
                continue;
            }
            (op.text == "P" ? p : q).push_back(Point{op.rect.left, op.rect.top});
        }
    ASSERT_EQ(p.size(), 20u);
    EXPECT_EQ(p.front(), (Point{50, 40}));
    EXPECT_EQ(p.back(), (Point{0, 0}));
    ASSERT_EQ(q.size(), 20u);
    for (const Point& at : q) EXPECT_EQ(at, (Point{50, 40}));
    EXPECT_EQ(wipesOfQ, 1);  // only when it leaves
}

TEST(BoardLayout, WaitingBoxesCountAndStartInTheSameFrame) {
    Stage s;
    LayoutBox& a = s.layout.AddBox("A").SetColor(kWhite).SetPos(0, 0).MoveTo(10, 0).SetSteps(2);
    s.layout.ContinueBox(a);
    s.layout.AddBox("C").SetColor(kWhite).PlaceAt(50, 50).After(a);
    int count = 0;
    std::vector<Op> ops = s.Frame(&count);
    EXPECT_EQ(count, 3);
    ASSERT_EQ(ops.size(), 1u);
    EXPECT_EQ(ops[0].text, "A");
    ops = s.Frame(&count);
    EXPECT_EQ(count, 3);
    ASSERT_EQ(ops.size(), 2u);  // wipe at 0, draw at 10
    EXPECT_EQ(ops[1].rect.left, 10);
    ops = s.Frame(&count);
    EXPECT_EQ(count, 3);
    ASSERT_EQ(ops.size(), 3u);
    EXPECT_EQ(ops[0].text, "A");
    EXPECT_EQ(ops[0].color, 0u);
    EXPECT_EQ(ops[0].rect.left, 10);
    EXPECT_EQ(ops[1].text, "A");  // the continuation, where A ended
    EXPECT_EQ(ops[1].color, kWhite);
    EXPECT_EQ(ops[1].rect.left, 10);
    EXPECT_EQ(ops[2].text, "C");
    s.Frame(&count);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(s.layout.BoxCount(), 2u);
}

TEST(BoardLayout, ReleasedFollowerEarlierInTheListStartsNextFrame) {
    Stage s;
    LayoutBox& c = s.layout.AddBox("C").PlaceAt(5, 5);
    LayoutBox& a = s.layout.AddBox("A").PlaceAt(0, 0).SetSteps(1);
    c.After(a);
    std::vector<Op> ops = s.Frame();
    ASSERT_EQ(ops.size(), 1u);
    EXPECT_EQ(ops[0].text, "A");
    ops = s.Frame();
    ASSERT_EQ(ops.size(), 1u);  // A wiped; C released but already passed
    EXPECT_EQ(ops[0].text, "A");
    EXPECT_EQ(ops[0].color, 0u);
    EXPECT_FALSE(c.waiting);
    ops = s.Frame();
    ASSERT_EQ(ops.size(), 1u);
    EXPECT_EQ(ops[0].text, "C");
}

TEST(BoardLayout, AfterEdgeCases) {
    Stage s;
    LayoutBox& a = s.layout.AddBox("a").SetSteps(1);
    LayoutBox& b = s.layout.AddBox("b").SetSteps(3);
    LayoutBox& x = s.layout.AddBox("x");
    x.After(nullptr);
    EXPECT_FALSE(x.waiting);
    x.After(x);
    EXPECT_FALSE(x.waiting);
    a.After(b);
    b.After(a);  // would wait for itself through a
    EXPECT_FALSE(b.waiting);
    EXPECT_TRUE(a.waiting);
    a.After(nullptr);
    EXPECT_TRUE(a.waiting);
    // Moving to another leader leaves the first chain.
    x.After(a);
    x.After(b);
    EXPECT_EQ(a.firstFollower, nullptr);
    EXPECT_EQ(b.firstFollower, &x);
    EXPECT_EQ(x.nextFollower, &a);
    // b runs 3 frames and is wiped in frame 4, which releases a and x; x,
    // later in the list, starts at once, a (already passed) one frame later.
    for (int i = 0; i < 3; ++i) s.Frame();
    EXPECT_TRUE(x.waiting);
    std::vector<Op> ops = s.Frame();
    EXPECT_FALSE(x.waiting);
    EXPECT_FALSE(a.waiting);
    ASSERT_EQ(ops.size(), 2u);
    EXPECT_EQ(ops[0].text, "b");
    EXPECT_EQ(ops[0].color, 0u);
    EXPECT_EQ(ops[1].text, "x");
    ops = s.Frame();
    ASSERT_EQ(ops.size(), 2u);
    EXPECT_EQ(ops[0].text, "a");
    EXPECT_EQ(ops[1].text, "x");
}

TEST(BoardLayout, TextRectanglesAndFormats) {
    Stage s;
    s.layout.AddBox("abcd").PlaceAt(100, 50);
    s.layout.AddBox("abcd").PlaceAt(100, 50).AlignCenter();
    LayoutBox& right = s.layout.AddBox("abcd").PlaceAt(100, 50);
    right.flags |= kBoxAlignRight;
    LayoutBox& both = s.layout.AddBox("abc").PlaceAt(100, 50).AlignCenter();
    both.flags |= kBoxAlignRight;
    s.layout.AddBox("ab").PlaceAt(0, 0).SetFont("22,Arial,B");
    const std::vector<Op> ops = s.Frame();
    ASSERT_EQ(ops.size(), 5u);
    // 7 pixels a byte, 15 high in the default font; 11 and 22 in the title font.
    EXPECT_EQ(ops[0].rect, (Rect{100, 50, 129, 81}));
    EXPECT_EQ(ops[0].format, 16u);
    EXPECT_EQ(ops[1].rect, (Rect{86, 50, 116, 81}));
    EXPECT_EQ(ops[1].format, 17u);
    EXPECT_EQ(ops[2].rect, (Rect{71, 50, 100, 81}));
    EXPECT_EQ(ops[2].format, 18u);
    // Centre wins the rectangle, right wins the format; 21 / 2 truncates.
    EXPECT_EQ(ops[3].rect, (Rect{90, 50, 112, 81}));
    EXPECT_EQ(ops[3].format, 18u);
    EXPECT_EQ(ops[4].rect, (Rect{0, 0, 23, 45}));
    EXPECT_EQ(ops[4].font, s.layout.GetFont("22,Arial,B"));
    EXPECT_EQ(ops[3].font, s.layout.defaultFont);
}

TEST(BoardLayout, PictureGlideWipesOnlyTheUncoveredStrips) {
    Stage s;
    const DibImage* ball = s.layout.GetImage(153);
    s.layout.AddBox("").SetImage(153).SetPos(0, 0).MoveTo(95, 38);       // 5 right, 2 down a frame
    s.layout.AddBox("").SetImage(153).SetPos(300, 300).MoveTo(205, 262);  // 5 left, 2 up a frame
    std::vector<Op> ops = s.Frame();
    ASSERT_EQ(ops.size(), 2u);
    EXPECT_EQ(ops[0].kind, Op::Section);
    EXPECT_EQ(ops[0].rect, (Rect{0, 0, 20, 20}));
    EXPECT_EQ(ops[0].image, ball);
    EXPECT_EQ(ops[0].srcX, 0);
    EXPECT_EQ(ops[0].srcY, 0);
    EXPECT_EQ(ops[1].rect, (Rect{300, 300, 320, 320}));

    ops = s.Frame();
    ASSERT_EQ(ops.size(), 6u);
    EXPECT_EQ(ops[0].kind, Op::Fill);
    EXPECT_EQ(ops[0].rect, (Rect{0, 0, 5, 20}));
    EXPECT_EQ(ops[1].rect, (Rect{5, 0, 20, 2}));
    EXPECT_EQ(ops[1].kind, Op::Fill);
    EXPECT_EQ(ops[2].kind, Op::Section);
    EXPECT_EQ(ops[2].rect, (Rect{5, 2, 25, 22}));
    EXPECT_EQ(ops[3].rect, (Rect{315, 300, 320, 320}));
    EXPECT_EQ(ops[4].rect, (Rect{300, 318, 315, 320}));
    EXPECT_EQ(ops[5].rect, (Rect{295, 298, 315, 318}));
    for (int frame = 3; frame <= 20; ++frame) s.Frame();
    ops = s.Frame();  // frame 21: both wiped where last drawn
    ASSERT_EQ(ops.size(), 2u);
    EXPECT_EQ(ops[0].kind, Op::Fill);
    EXPECT_EQ(ops[0].rect, (Rect{95, 38, 115, 58}));
    EXPECT_EQ(ops[1].rect, (Rect{205, 262, 225, 282}));
}

TEST(BoardLayout, PictureJumpsNeverWipeOutsideTheirOldPlace) {
    Stage s;
    s.layout.AddBox("").SetImage(153).SetPos(0, 0).MoveTo(100, 0).SetSteps(2);
    s.layout.AddBox("").SetImage(153).AlignCenter().SetPos(100, 100).MoveTo(100, 300).SetSteps(2);
    s.layout.AddBox("").SetImage(153).SetPos(50, 50).MoveTo(-50, -60).SetSteps(2);
    s.Frame();
    const std::vector<Op> ops = s.Frame();
    ASSERT_EQ(ops.size(), 6u);
    EXPECT_EQ(ops[0].rect, (Rect{0, 0, 20, 20}));
    EXPECT_EQ(ops[1].rect, (Rect{100, 0, 120, 20}));
    EXPECT_EQ(ops[2].rect, (Rect{90, 100, 110, 120}));  // centred: shifted by half the width
    EXPECT_EQ(ops[3].rect, (Rect{90, 300, 110, 320}));
    EXPECT_EQ(ops[4].rect, (Rect{50, 50, 70, 70}));
    EXPECT_EQ(ops[5].rect, (Rect{-50, -60, -30, -40}));
}

TEST(BoardLayout, PictureCellsAndHandOver) {
    Stage s;
    LayoutBox& strip = s.layout.AddBox("").SetImage(200, 1).PlaceAt(10, 10).SetSteps(1);
    LayoutBox& next = s.layout.ContinueBox(strip).SetImage(156, -1);
    next.flags |= kBoxAlignCenter;
    std::vector<Op> ops = s.Frame();
    ASSERT_EQ(ops.size(), 1u);
    EXPECT_EQ(ops[0].rect, (Rect{10, 10, 30, 30}));  // one 20 x 20 cell
    EXPECT_EQ(ops[0].srcX, 20);
    EXPECT_EQ(ops[0].srcY, 0);
    ops = s.Frame();
    ASSERT_EQ(ops.size(), 2u);
    EXPECT_EQ(ops[0].kind, Op::Fill);
    EXPECT_EQ(ops[0].rect, (Rect{10, 10, 30, 30}));
    EXPECT_EQ(ops[1].kind, Op::Section);
    EXPECT_EQ(ops[1].rect, (Rect{-40, 10, 60, 70}));  // the whole 100 x 60, centred on x = 10
    EXPECT_EQ(ops[1].srcX, 0);
    EXPECT_EQ(ops[1].srcY, 0);
}

TEST(BoardLayout, MissingPictureKeepsItsTiming) {
    Stage s;
    LayoutBox& lost = s.layout.AddBox("").SetImage(999).PlaceAt(4, 4).SetSteps(2);
    EXPECT_EQ(lost.image, nullptr);
    s.layout.AddBox("after").PlaceAt(0, 0).After(lost);
    LayoutBox& again = s.layout.AddBox("").SetImage(999).SetSteps(1);
    EXPECT_EQ(again.image, nullptr);
    EXPECT_EQ(s.store.requests[999], 2);  // failures are not cached
    EXPECT_EQ(s.layout.ImageCacheSize(), 0u);
    std::vector<Op> ops = s.Frame();
    ASSERT_EQ(ops.size(), 2u);
    EXPECT_EQ(ops[0].kind, Op::Text);
    EXPECT_EQ(ops[0].text, "");
    s.Frame();
    ops = s.Frame();
    ASSERT_EQ(ops.size(), 2u);  // the lost one wiped (empty text), its follower drawn
    EXPECT_EQ(ops[1].text, "after");
}

TEST(BoardLayout, CachesHoldOneObjectPerKey) {
    Stage s;
    const DibImage* first = s.layout.GetImage(153);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->resourceId(), 153);
    EXPECT_EQ(s.layout.GetImage(153), first);
    s.layout.AddBox("").SetImage(153);
    EXPECT_EQ(s.store.requests[153], 1);
    EXPECT_EQ(s.layout.ImageCacheSize(), 1u);

    Font* plain = s.layout.GetFont("15,MS Sans Serif");
    Font* blank = s.layout.GetFont("15, MS Sans Serif");
    EXPECT_EQ(plain, s.layout.defaultFont);
    EXPECT_NE(blank, plain);
    EXPECT_EQ(std::string(blank->Description().lfFaceName), " MS Sans Serif");
    EXPECT_EQ(s.layout.GetFont("15, MS Sans Serif"), blank);
    EXPECT_NE(s.layout.GetFont("15,ms sans serif"), plain);  // case counts
    EXPECT_EQ(s.fonts.created, 3);
    EXPECT_EQ(s.layout.FontCacheSize(), 3u);

    // A font the platform could not make is cached all the same.
    s.fonts.failCreation = true;
    Font* broken = s.layout.GetFont("9,Nowhere");
    ASSERT_NE(broken, nullptr);
    EXPECT_FALSE(broken->IsValid());
    EXPECT_EQ(s.layout.GetFont("9,Nowhere"), broken);
    EXPECT_EQ(s.fonts.created, 4);
}

TEST(BoardLayout, FreeResourcesReleasesEverything) {
    CountingFontFactory fonts;
    MemoryResourceStore store;
    store.bitmaps[153] = MakePacked8(20, 20);
    ScopedStore scope(&store);
    {
        BoardLayout layout(fonts);
        layout.AddBox("a").SetFont("22,Arial,B").PlaceAt(1, 1);
        layout.AddBox("").SetImage(153).PlaceAt(1, 1);
        layout.GetFont("1,X");
        EXPECT_EQ(fonts.live, 3);
        layout.FreeResources();
        EXPECT_EQ(fonts.live, 0);
        EXPECT_EQ(layout.FontCacheSize(), 0u);
        EXPECT_EQ(layout.ImageCacheSize(), 0u);
        EXPECT_EQ(layout.defaultFont, nullptr);
        ASSERT_EQ(layout.BoxCount(), 2u);  // the boxes stay, without their font and picture
        EXPECT_EQ(layout.Boxes().front().font, nullptr);
        EXPECT_EQ(layout.Boxes().back().image, nullptr);
        RecordingCanvas dc;
        EXPECT_EQ(layout.AnimateFrame(dc), 2);
        for (const Op& op : dc.ops) EXPECT_NE(op.kind, Op::Select);
        // Fonts asked for afterwards are released by the destructor.
        layout.GetFont("5,Y");
        EXPECT_EQ(fonts.live, 1);
    }
    EXPECT_EQ(fonts.live, 0);
    EXPECT_EQ(fonts.created, 4);
    {
        BoardLayout layout(fonts);
        layout.GetFont("7,Z");
        EXPECT_EQ(fonts.live, 2);
    }
    EXPECT_EQ(fonts.live, 0);
}

TEST(BoardLayout, RandomFollowsTheRuntimeSequence) {
    Stage s;
    s.layout.SeedRandom(1);
    std::vector<int> values;
    for (int i = 0; i < 10; ++i) values.push_back(s.layout.Rand());
    EXPECT_EQ(values, (std::vector<int>{41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464}));
    s.layout.SeedRandom(0);
    EXPECT_EQ(s.layout.Rand(), 38);
    s.layout.SeedRandom(SeedForNext(32767));
    EXPECT_EQ(s.layout.Rand(), 32767);

    // Seeded from the clock at construction.
    CountingFontFactory fonts;
    const unsigned before = static_cast<unsigned>(std::time(nullptr));
    BoardLayout clocked(fonts);
    const unsigned after = static_cast<unsigned>(std::time(nullptr));
    const int first = clocked.Rand();
    s.layout.SeedRandom(before);
    const int a = s.layout.Rand();
    s.layout.SeedRandom(after);
    const int b = s.layout.Rand();
    EXPECT_TRUE(first == a || first == b);
}

TEST(BoardLayout, RandomBounds) {
    Stage s;
    s.layout.SeedRandom(7);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(s.layout.Random(1), 0);
        EXPECT_EQ(s.layout.Random(0), 0);
        EXPECT_EQ(s.layout.Random(-3), 0);
    }
    struct Case { int n; int rand; int expect; };
    const Case cases[] = {{10, 32767, 9},      {10, 0, 0},          {10, 32766, 9},     {10, 3277, 1},
                          {10, 3276, 0},       {3, 10923, 1},       {3, 10922, 0},      {256, 32767, 255},
                          {14, 32767, 13},     {32767, 32767, 32766}, {32768, 32767, 32767},
                          {1000000, 32767, 999999}, {1000000, 16384, 500015}, {1, 32767, 0}};
    for (const Case& c : cases) {
        s.layout.SeedRandom(SeedForNext(c.rand));
        EXPECT_EQ(s.layout.Random(c.n), c.expect) << c.n << " with rand " << c.rand;
    }
    s.layout.SeedRandom(3);
    std::set<int> seen;
    for (int i = 0; i < 5000; ++i) {
        const int v = s.layout.Random(10);
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 9);
        seen.insert(v);
    }
    EXPECT_EQ(seen.size(), 10u);
}

TEST(BoardLayout, RandomPointInsets) {
    Stage s;
    s.layout.bounds = Rect{0, 0, 150, 100};
    s.layout.SeedRandom(SeedForNext(0));
    EXPECT_EQ(s.layout.RandomPoint(100, 40).x, 35);
    s.layout.SeedRandom(SeedForNext(32767));
    EXPECT_EQ(s.layout.RandomPoint(100, 40).x, 114);

    struct Case { Rect bounds; int margin, keep; int minX, maxX, minY, maxY; };
    const Case cases[] = {
        {{0, 0, 150, 100}, 100, 40, 35, 114, 10, 89},
        {{10, 20, 160, 120}, 100, 40, 45, 124, 30, 109},
        {{0, 0, 60, 1000}, 100, 40, 0, 59, 100, 899},  // too narrow for any inset
        {{0, 0, 152, 112}, 100, 40, 36, 115, 16, 95},  // the preview pane
        {{0, 0, 150, 100}, 0, 40, 0, 149, 0, 99},
    };
    for (const Case& c : cases) {
        s.layout.bounds = c.bounds;
        s.layout.SeedRandom(11);
        int minX = 1 << 30, maxX = -(1 << 30), minY = 1 << 30, maxY = -(1 << 30);
        for (int i = 0; i < 20000; ++i) {
            const Point p = s.layout.RandomPoint(c.margin, c.keep);
            minX = std::min(minX, p.x);
            maxX = std::max(maxX, p.x);
            minY = std::min(minY, p.y);
            maxY = std::max(maxY, p.y);
        }
        EXPECT_EQ(minX, c.minX) << c.bounds.right;
        EXPECT_EQ(maxX, c.maxX) << c.bounds.right;
        EXPECT_EQ(minY, c.minY) << c.bounds.bottom;
        EXPECT_EQ(maxY, c.maxY) << c.bounds.bottom;
    }
    s.layout.bounds = Rect{};
    EXPECT_EQ(s.layout.RandomPoint(100, 40), (Point{0, 0}));
    s.layout.bounds = Rect{5, 6, 5, 6};
    EXPECT_EQ(s.layout.RandomPoint(0, 40), (Point{5, 6}));
}

}  // namespace
