#include "display/board.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "acquire/standings_table.h"
#include "display/board_layout.h"
#include "display/dib_image.h"
#include "display_test_support.h"

namespace {

using namespace displaytest;

constexpr int kX[9] = {0, 200, 230, 260, 290, 320, 350, 380, 410};

// The generator and the two draws of the stage, written out independently,
// to say which values a scene must have taken and in which order.
struct Draws {
    explicit Draws(unsigned seed) : state(seed) {}
    std::uint32_t state;
    int Rand() {
        state = state * 214013u + 2531011u;
        return static_cast<int>((state >> 16) & 0x7FFF);
    }
    int Random(int n) {
        std::int64_t v = static_cast<std::int64_t>(n) * Rand() / 32767;
        v = std::min<std::int64_t>(v, n - 1);
        return v < 0 ? 0 : static_cast<int>(v);
    }
    int Axis(int low, int high, int margin, int keep) {
        int inset = std::min(margin, (high - low) / 2 - keep);
        if (inset < 0) inset = 0;
        return low + inset + Random(high - low - 2 * inset);
    }
    Point RandomPoint(const Rect& b, int margin, int keep) {
        const int x = Axis(b.left, b.right, margin, keep);
        const int y = Axis(b.top, b.bottom, margin, keep);
        return Point{x, y};
    }
    ColorRef Color() {
        const int blue = Random(256), green = Random(256), red = Random(256);
        return Rgb(static_cast<unsigned>(red), static_cast<unsigned>(green), static_cast<unsigned>(blue));
    }
};

struct Flyer { Point from, to, dart; };
struct ExpectedScene {
    Point p, a;
    bool centred = false;
    ColorRef titleColor = 0, webColor = 0, firstRowColor = 0, rowColor = 0;
    int emblem = 0, k = 0, y = 0, left = 0;
    std::vector<Flyer> flyers;
    std::vector<Point> cellStarts;
};

ExpectedScene Expect(unsigned seed, const Rect& b, int rows) {
    Draws d(seed);
    ExpectedScene e;
    const int w = b.right - b.left, h = b.bottom - b.top;
    e.p = d.RandomPoint(b, 100, 40);
    e.titleColor = d.Color();
    e.emblem = d.Random(14);
    e.a = d.RandomPoint(b, 0, 40);
    if (d.Random(3) == 0) {
        e.a = Point{b.left + w / 2, b.top + h / 2};
        e.centred = true;
    }
    e.webColor = d.Color();
    e.k = d.Random(25);
    for (int i = 0; i < e.k; ++i) {
        Flyer f;
        f.to = d.RandomPoint(b, 0, 40);
        f.from = d.RandomPoint(b, 0, 40);
        f.dart = d.RandomPoint(b, 0, 40);
        e.flyers.push_back(f);
    }
    e.firstRowColor = d.Color();
    e.rowColor = d.Color();
    e.y = d.Random(std::max(0, h - 40));
    e.left = d.Random(w / 2);
    for (int i = 0; i < rows * 9; ++i) e.cellStarts.push_back(d.RandomPoint(b, 0, 40));
    return e;
}

// The flyer count a seed gives: the 13th draw of a scene, whatever the stage.
int FlyersOf(unsigned seed) {
    Draws d(seed);
    for (int i = 0; i < 12; ++i) d.Rand();
    return d.Random(25);
}

unsigned FindSeed(bool (*wanted)(int k), unsigned from = 1) {
    for (unsigned seed = from;; ++seed)
        if (wanted(FlyersOf(seed))) return seed;
}

StandingsTable MakeTable(int rows) {
    StandingsTable t;
    for (int i = 0; i < rows; ++i) {
        StandingsRow r;
        for (int c = 0; c < 11; ++c) r[c] = c == 1 ? "" : "r" + std::to_string(i) + "c" + std::to_string(c);
        t.Add(r);
    }
    return t;
}

struct Board {
    explicit Board(Rect bounds, int rows = 21, std::string status = "", std::string title = "Germany")
        : table(MakeTable(rows)), content{table, std::move(status), std::move(title)} {
        AddBoardPictures(store);
        layout.bounds = bounds;
    }
    CountingFontFactory fonts;
    MemoryResourceStore store;
    ScopedStore scope{&store};
    BoardLayout layout{fonts};
    RecordingCanvas dc;
    StandingsTable table;
    BoardContent content;

    int Compose() {
        dc.Clear();
        return ComposeBoard(layout, dc, content);
    }
    // Frames after a build until the next build, counted from 1.
    int FramesToNextBuild() {
        for (int frame = 1; frame <= 5000; ++frame)
            if (Compose() < 3) return frame;
        return -1;
    }
    // Flyers of the scene just built: they alone glide 150 frames.
    int NewFlyers() const {
        const DibImage* small = const_cast<BoardLayout&>(layout).GetImage(153);
        return static_cast<int>(std::count_if(layout.Boxes().begin(), layout.Boxes().end(), [&](const LayoutBox& b) {
            return b.image == small && b.steps == 150;
        }));
    }
};

TEST(Board, TitleComesFromTheAssociationTable) {
    EXPECT_EQ(BoardTitleForChampionship("ger"), "Germany");
    EXPECT_EQ(BoardTitleForChampionship("eng"), "England");
    EXPECT_EQ(BoardTitleForChampionship("GER"), "");
    EXPECT_EQ(BoardTitleForChampionship(""), "");
    EXPECT_EQ(BoardTitleForChampionship("xyz"), "");
    const StandingsTable empty;
    const BoardContent c{empty, "", ""};
    EXPECT_EQ(c.webAddress, kMakerAddress);
}

TEST(Board, FirstCallBuildsTheSceneBoxByBox) {
    const Rect bounds{0, 0, 800, 600};
    bool sawCentre = false, sawRandomAnchor = false;
    for (unsigned seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        Board board(bounds, 21, "Not connected to the internet");
        BoardLayout& L = board.layout;
        L.SeedRandom(seed);
        const ExpectedScene e = Expect(seed, bounds, 21);
        (e.centred ? sawCentre : sawRandomAnchor) = true;

        EXPECT_EQ(board.Compose(), 0);
        EXPECT_TRUE(board.dc.Drawing().empty());
        ASSERT_EQ(L.BoxCount(), static_cast<std::size_t>(6 + 2 * e.k + 27 * 21));
        Font* titleFont = L.GetFont("22,Arial,B");
        Font* tableFont = L.GetFont("18,MS Sans Serif,B");
        EXPECT_EQ(titleFont->Description().lfWeight, 700);
        EXPECT_EQ(std::string(tableFont->Description().lfFaceName), "MS Sans Serif");

        auto it = L.Boxes().begin();
        const LayoutBox& title = *it++;
        EXPECT_EQ(title.text, "Germany");
        EXPECT_EQ(title.font, titleFont);
        EXPECT_EQ(title.color, e.titleColor);
        EXPECT_EQ(title.curColor, 0u);
        EXPECT_EQ(title.origin, (Point{e.p.x, e.p.y - 70}));
        EXPECT_EQ(title.target, (Point{e.p.x, e.p.y - 50}));
        EXPECT_EQ(title.steps, 70);
        EXPECT_EQ(title.flags, kBoxFadeIn | kBoxAlignCenter);
        EXPECT_FALSE(title.waiting);
        const LayoutBox& title2 = *it++;
        EXPECT_EQ(title2.text, "Germany");
        EXPECT_EQ(title2.origin, (Point{e.p.x, e.p.y - 50}));
        EXPECT_EQ(title2.target, (Point{e.p.x, e.p.y + 98}));
        EXPECT_EQ(title2.steps, 30);
        EXPECT_EQ(title2.curColor, e.titleColor);
        EXPECT_EQ(title2.flags, kBoxAlignCenter);
        EXPECT_TRUE(title2.waiting);

        const LayoutBox& ball = *it++;
        EXPECT_EQ(ball.image, L.GetImage(148));
        EXPECT_EQ(ball.frame, -1);
        EXPECT_EQ(ball.text, "");
        EXPECT_EQ(ball.origin, (Point{e.p.x, e.p.y + 50}));
        EXPECT_EQ(ball.target, (Point{e.p.x, e.p.y + 198}));
        EXPECT_EQ(ball.steps, 200);
        EXPECT_EQ(ball.flags, kBoxAlignCenter);
        EXPECT_FALSE(ball.waiting);
        const LayoutBox& emblem = *it++;
        EXPECT_EQ(emblem.image, L.GetImage(static_cast<std::uint16_t>(156 + e.emblem)));
        EXPECT_EQ(emblem.frame, -1);
        EXPECT_EQ(emblem.origin, (Point{e.p.x, e.p.y + 198}));
        EXPECT_EQ(emblem.target, emblem.origin);
        EXPECT_EQ(emblem.steps, 200);
        EXPECT_TRUE(emblem.waiting);

        const LayoutBox& status = *it++;
        EXPECT_EQ(status.text, "Not connected to the internet");
        EXPECT_EQ(status.origin, (Point{e.a.x + 40, e.a.y + 40}));
        EXPECT_EQ(status.target, status.origin);
        EXPECT_EQ(status.steps, 130);
        EXPECT_EQ(status.flags, kBoxFadeIn | kBoxAlignCenter);
        EXPECT_EQ(status.color, Rgb(191, 191, 191));
        EXPECT_EQ(status.curColor, 0u);
        EXPECT_EQ(status.font, nullptr);
        EXPECT_TRUE(status.waiting);
        if (e.centred) {
            EXPECT_EQ(status.origin, (Point{440, 340}));
        }

        const LayoutBox& web = *it++;
        EXPECT_EQ(web.text, kMakerAddress);
        EXPECT_EQ(web.color, e.webColor);
        EXPECT_EQ(web.curColor, e.webColor);
        EXPECT_EQ(web.font, tableFont);
        EXPECT_EQ(web.origin, (Point{e.a.x - 40, e.a.y - 40}));
        EXPECT_EQ(web.target, web.origin);
        EXPECT_EQ(web.flags, kBoxAlignCenter | kBoxFadeOut);
        EXPECT_EQ(web.steps, 250);
        EXPECT_TRUE(web.waiting);

        for (const Flyer& f : e.flyers) {
            const LayoutBox& fly = *it++;
            EXPECT_EQ(fly.image, L.GetImage(153));
            EXPECT_EQ(fly.origin, f.from);
            EXPECT_EQ(fly.target, f.to);
            EXPECT_EQ(fly.steps, 150);
            EXPECT_EQ(fly.flags, 0u);
            EXPECT_TRUE(fly.waiting);
            const LayoutBox& dart = *it++;
            EXPECT_EQ(dart.image, L.GetImage(153));
            EXPECT_EQ(dart.origin, f.to);
            EXPECT_EQ(dart.target, f.dart);
            EXPECT_EQ(dart.steps, 15);
            EXPECT_TRUE(dart.waiting);
        }

        const Point exits[9] = {{e.left, 0}, {0, 0}, {0, -1}, {0, 0}, {800, 600},
                                {e.left, 0}, {e.left, 0}, {e.left, 0}, {e.left, 0}};
        for (int i = 0; i < 21; ++i) {
            const int top = e.y + 17 * i;
            const ColorRef color = i == 0 ? e.firstRowColor : e.rowColor;
            for (int j = 0; j < 9; ++j) {
                SCOPED_TRACE("row " + std::to_string(i) + " column " + std::to_string(j));
                const Point place{e.left + kX[j], top};
                const LayoutBox& arrive = *it++;
                EXPECT_EQ(arrive.text, "r" + std::to_string(i) + "c" + std::to_string(j + 2));
                EXPECT_EQ(arrive.origin, e.cellStarts[static_cast<std::size_t>(9 * i + j)]);
                EXPECT_EQ(arrive.target, place);
                EXPECT_EQ(arrive.steps, 40);
                EXPECT_EQ(arrive.color, color);
                EXPECT_EQ(arrive.curColor, color);
                EXPECT_EQ(arrive.font, tableFont);
                EXPECT_EQ(arrive.flags, 0u);
                EXPECT_FALSE(arrive.waiting);
                const LayoutBox& stand = *it++;
                EXPECT_EQ(stand.origin, place);
                EXPECT_EQ(stand.target, place);
                EXPECT_EQ(stand.steps, 300);
                EXPECT_TRUE(stand.waiting);
                const LayoutBox& leave = *it++;
                EXPECT_EQ(leave.origin, place);
                EXPECT_EQ(leave.target, (j == 2 ? Point{0, top} : exits[j]));
                EXPECT_EQ(leave.steps, 30);
                EXPECT_EQ(leave.flags, kBoxFadeOut);
                EXPECT_EQ(leave.color, color);
                EXPECT_EQ(leave.font, tableFont);
                EXPECT_TRUE(leave.waiting);
            }
        }
        EXPECT_TRUE(it == L.Boxes().end());
    }
    EXPECT_TRUE(sawCentre);
    EXPECT_TRUE(sawRandomAnchor);
}

TEST(Board, NextSceneFrameByFlyersAndRows) {
    const Rect bounds{0, 0, 640, 480};
    struct Case { bool (*k)(int); int rows; int frame; int newFlyers; };
    const Case cases[] = {
        {[](int k) { return k >= 2; }, 21, 497, -1},
        {[](int k) { return k >= 2; }, 0, 497, -1},
        {[](int k) { return k == 1; }, 21, 482, 1},
        {[](int k) { return k == 1; }, 0, 482, 1},
        {[](int k) { return k == 0; }, 21, 372, 0},
        {[](int k) { return k == 0; }, 1, 372, 0},
        {[](int k) { return k == 0; }, 0, 332, 0},
    };
    for (const Case& c : cases) {
        const unsigned seed = FindSeed(c.k);
        SCOPED_TRACE("seed " + std::to_string(seed) + ", rows " + std::to_string(c.rows));
        Board board(bounds, c.rows);
        board.layout.SeedRandom(seed);
        ASSERT_EQ(board.Compose(), 0);
        if (c.newFlyers >= 0) {
            EXPECT_EQ(board.NewFlyers(), c.newFlyers);
        } else {
            EXPECT_GE(board.NewFlyers(), 2);
        }
        const DibImage* emblem = std::next(board.layout.Boxes().begin(), 3)->image;
        EXPECT_EQ(board.FramesToNextBuild(), c.frame);
        // What was still on the stage then now stands in front of the new scene.
        const std::size_t left = board.layout.BoxCount() - (6 + 2 * static_cast<std::size_t>(board.NewFlyers()) +
                                                           27 * static_cast<std::size_t>(c.rows));
        std::vector<std::string> kinds;
        auto it = board.layout.Boxes().begin();
        for (std::size_t i = 0; i < left; ++i, ++it) {
            if (it->text == kMakerAddress) kinds.push_back("web");
            else if (it->image == board.layout.GetImage(153)) kinds.push_back("dart");
            else if (it->image == emblem) kinds.push_back("emblem");
            else kinds.push_back("other");
        }
        const std::vector<std::string> expected =
            c.frame == 497 ? std::vector<std::string>{"web"}
            : c.frame == 482 ? std::vector<std::string>{"web", "dart"}
                             : std::vector<std::string>{"emblem", "web"};
        EXPECT_EQ(kinds, expected);
    }
}

TEST(Board, TimelineHoldsSceneAfterScene) {
    // The leftovers of one scene, and the title boxes, never shift the next.
    for (int rows : {21, 0}) {
        Board board(Rect{0, 0, 1024, 768}, rows, "Mistake of data acquisition.");
        board.layout.SeedRandom(2024);
        ASSERT_EQ(board.Compose(), 0);
        std::map<int, int> seen;  // frame -> how often
        for (int scene = 0; scene < 40; ++scene) {
            const int k = board.NewFlyers();
            const int expect = k >= 2 ? 497 : k == 1 ? 482 : rows > 0 ? 372 : 332;
            const int got = board.FramesToNextBuild();
            EXPECT_EQ(got, expect) << "scene " << scene << " with " << k << " flyers, " << rows << " rows";
            ++seen[got];
        }
        EXPECT_GE(seen[497], 1);
    }
}

// First and last frame in which something is drawn.
struct Appearance {
    int first = 0, last = 0, count = 0;
    void Saw(int frame) {
        if (!first) first = frame;
        if (last != frame) ++count;
        last = frame;
    }
};

TEST(Board, WhatIsSeenWhen) {
    for (const std::string status : {"Not connected to the internet", ""}) {
        SCOPED_TRACE("status \"" + status + "\"");
        const unsigned seed = FindSeed([](int k) { return k >= 2; });
        Board board(Rect{0, 0, 800, 600}, 2, status);
        board.layout.SeedRandom(seed);
        const ExpectedScene e = Expect(seed, board.layout.bounds, 2);
        ASSERT_EQ(board.Compose(), 0);
        const DibImage* ball = board.layout.GetImage(148);
        const DibImage* emblem = board.layout.GetImage(static_cast<std::uint16_t>(156 + e.emblem));
        const DibImage* flyer = board.layout.GetImage(153);
        // Texts: every operation, wipes included; `visible` only those drawn
        // in a colour other than the background.
        std::map<std::string, Appearance> seen, visible;
        std::vector<int> titleTops;
        std::map<int, Point> cellAt;  // frame -> where "r1c2" was last drawn or wiped
        std::map<int, ColorRef> cellColor;
        for (int frame = 1; frame <= 700; ++frame) {
            const int n = board.Compose();
            if (frame < 497) {
                EXPECT_GE(n, 3) << frame;
            } else if (frame == 497) {
                EXPECT_LE(n, 2);
            }
            for (const Op& op : board.dc.Drawing()) {
                std::string what;
                if (op.kind == Op::Section) {
                    what = op.image == ball ? "ball" : op.image == emblem ? "emblem" : op.image == flyer ? "flyer" : "?";
                } else if (op.kind == Op::Text) {
                    what = op.text == "Germany"       ? "title"
                           : op.text == kMakerAddress ? "web"
                           : op.text == status        ? "status"
                           : op.text[0] == 'r'        ? "cell"
                                                      : "?";
                    if (what == "title" && frame < 497 && op.color != 0) titleTops.push_back(op.rect.top);
                    if (op.text == "r1c2" && frame < 497) {
                        cellAt[frame] = Point{op.rect.left, op.rect.top};
                        cellColor[frame] = op.color;
                    }
                } else {
                    continue;
                }
                // The next scene is built in frame 497 and draws from 498 on;
                // its web-address line not before its own frame 331.
                if (frame < 498 || what == "web") {
                    seen[what].Saw(frame);
                    if (op.kind != Op::Text || op.color != 0) visible[what].Saw(frame);
                }
            }
        }
        EXPECT_EQ(seen.count("?"), 0u);
        EXPECT_EQ(seen["title"].first, 1);
        EXPECT_EQ(seen["title"].last, 101);  // wiped in the frame after its 100
        ASSERT_EQ(titleTops.size(), 100u);
        EXPECT_EQ(titleTops[0], e.p.y - 70);
        EXPECT_EQ(titleTops[69], e.p.y - 50);
        EXPECT_EQ(titleTops[70], e.p.y - 50);
        EXPECT_EQ(titleTops[99], e.p.y + 98);
        EXPECT_EQ(seen["ball"].first, 1);
        EXPECT_EQ(seen["ball"].last, 200);
        EXPECT_EQ(seen["emblem"].first, 201);
        EXPECT_EQ(seen["emblem"].last, 400);
        EXPECT_EQ(seen["status"].first, 201);
        EXPECT_EQ(seen["status"].last, 331);
        EXPECT_EQ(visible["status"].first, 201);
        EXPECT_EQ(visible["status"].last, 330);
        // Fading out, the web-address line reaches black in its 250th frame.
        EXPECT_EQ(seen["web"].first, 331);
        EXPECT_EQ(seen["web"].last, 581);
        EXPECT_EQ(visible["web"].first, 331);
        EXPECT_EQ(visible["web"].last, 579);
        EXPECT_EQ(seen["flyer"].first, 331);
        EXPECT_EQ(seen["flyer"].last, 495);
        EXPECT_EQ(seen["flyer"].count, 165);
        EXPECT_EQ(seen["cell"].first, 1);
        EXPECT_EQ(seen["cell"].last, 371);
        // One cell: arrives in frame 40, stands to 340, glides to (K, 0) fading
        // and is wiped there in 371.
        const Point place{e.left + kX[0], e.y + 17};
        EXPECT_EQ(cellAt[1], e.cellStarts[9]);
        EXPECT_EQ(cellAt[40], place);
        EXPECT_EQ(cellAt[41], place);
        EXPECT_EQ(cellAt[340], place);
        EXPECT_EQ(cellAt[341], place);  // a box never moves in its first frame
        EXPECT_NE(cellAt[342], place);
        EXPECT_EQ(cellColor[340], e.rowColor);
        EXPECT_EQ(cellAt[370], (Point{e.left, 0}));
        EXPECT_EQ(cellColor[370], 0u);
        EXPECT_EQ(cellAt[371], (Point{e.left, 0}));
        EXPECT_EQ(cellAt.count(372), 0u);
    }
}

TEST(Board, PreviewStageAndRandomRanges) {
    // Same distances on a preview-sized stage: only the insets shrink.
    const Rect preview{0, 0, 152, 112};
    int minX = 1000, maxX = -1000, minY = 1000, maxY = -1000, minRow = 1000, maxRow = -1000, minK = 1000,
        maxK = -1000;
    std::map<int, int> emblems;
    Board shared(preview, 1);  // pictures, fonts and the table, reused by every stage below
    for (unsigned i = 1; i <= 3000; ++i) {
        BoardLayout layout(shared.fonts);
        layout.bounds = preview;
        // Spread out: the first draws after nearby seeds are close together.
        layout.SeedRandom(i * 2654435761u);
        ComposeBoard(layout, shared.dc, shared.content);
        shared.dc.Clear();
        auto it = layout.Boxes().begin();
        const LayoutBox& title = *it;
        const LayoutBox& ball = *std::next(it, 2);
        const LayoutBox& emblem = *std::next(it, 3);
        const LayoutBox& firstCell = *std::prev(layout.Boxes().end(), 27);
        const Point p{ball.origin.x, ball.origin.y - 50};
        ASSERT_EQ(title.origin, (Point{p.x, p.y - 70}));
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
        minRow = std::min(minRow, firstCell.target.y);
        maxRow = std::max(maxRow, firstCell.target.y);
        minK = std::min(minK, firstCell.target.x);
        maxK = std::max(maxK, firstCell.target.x);
        ASSERT_EQ(layout.Boxes().back().target, (Point{firstCell.target.x, 0}));  // the last exit: (K, 0)
        for (int id = 156; id < 170; ++id)
            if (emblem.image == layout.GetImage(static_cast<std::uint16_t>(id))) ++emblems[id];
    }
    EXPECT_EQ(minX, 36);
    EXPECT_EQ(maxX, 115);
    EXPECT_EQ(minY, 16);
    EXPECT_EQ(maxY, 95);
    EXPECT_EQ(minRow, 0);
    EXPECT_EQ(maxRow, 112 - 41);
    EXPECT_EQ(minK, 0);
    EXPECT_EQ(maxK, 152 / 2 - 1);
    EXPECT_EQ(emblems.size(), 14u);
    EXPECT_EQ(emblems.begin()->first, 156);
    EXPECT_EQ(emblems.rbegin()->first, 169);
}

TEST(Board, TinyStageStillBuilds) {
    // A stage smaller than every inset: no division by zero, no negative range.
    Board board(Rect{0, 0, 1, 1}, 3);
    board.layout.SeedRandom(5);
    EXPECT_EQ(board.Compose(), 0);
    const LayoutBox& firstCell = *std::prev(board.layout.Boxes().end(), 81);
    EXPECT_EQ(firstCell.target, (Point{0, 0}));
    EXPECT_EQ(board.FramesToNextBuild() > 0, true);
}

}  // namespace

TEST(Board, TeamRowWearsGoldInEveryScene) {
    EXPECT_EQ(TeamApartColor(Rgb(0, 0, 255)), Rgb(0, 0, 255));
    EXPECT_EQ(TeamApartColor(Rgb(255, 204, 192)), Rgb(255, 204, 192));  // 192 apart: far enough
    EXPECT_EQ(TeamApartColor(Rgb(255, 204, 191)), Rgb(0, 51, 64));
    EXPECT_EQ(TeamApartColor(Rgb(250, 200, 20)), Rgb(5, 55, 235));

    // The same seed with and without a club: the same boxes in the same
    // places; only colours differ, the club's row alone in gold.
    Board plain(Rect{0, 0, 1024, 768});
    Board teamed(Rect{0, 0, 1024, 768});
    teamed.content.teamRow = 7;
    plain.layout.SeedRandom(99);
    teamed.layout.SeedRandom(99);
    std::vector<int> goldCells;  // per scene
    for (int frame = 0; frame < 1600; ++frame) {
        if (teamed.Compose() < 3) goldCells.push_back(0);
        plain.Compose();
        ASSERT_EQ(teamed.dc.ops.size(), plain.dc.ops.size()) << "frame " << frame;
        for (std::size_t i = 0; i < teamed.dc.ops.size(); ++i) {
            const Op& t = teamed.dc.ops[i];
            const Op& p = plain.dc.ops[i];
            ASSERT_EQ(t.kind, p.kind);
            ASSERT_EQ(t.text, p.text);
            ASSERT_TRUE(t.rect == p.rect) << t.text;
            if (t.kind != Op::Text) continue;
            if (t.text.rfind("r7c", 0) == 0) {
                // Gold, or gold on its way in or out: no blue, never redder than gold's ratio allows.
                EXPECT_EQ(GetBValue(t.color), 0u) << t.text;
                EXPECT_LE(GetGValue(t.color), GetRValue(t.color)) << t.text;
                if (t.color == kTeamRowColor) ++goldCells.back();
            } else {
                EXPECT_NE(t.color, kTeamRowColor) << t.text << " frame " << frame;
            }
        }
    }
    // Every cell of the row stands in gold in every scene played to its end,
    // 300 frames each.
    ASSERT_EQ(goldCells.size(), 4u);
    for (std::size_t i = 0; i + 1 < goldCells.size(); ++i) EXPECT_GE(goldCells[i], 9 * 300) << "scene " << i;
}

TEST(Board, RotationShowsItsLeaguesInTurn) {
    const StandingsTable a = MakeTable(3), b = MakeTable(0);
    const BoardContent scenes[] = {{a, "", "England"}, {b, "Mistake of data acquisition.", "Spain"}, {a, "", "Germany"}};
    CountingFontFactory fonts;
    MemoryResourceStore store;
    ScopedStore scope{&store};
    AddBoardPictures(store);
    BoardLayout layout{fonts};
    layout.bounds = Rect{0, 0, 800, 600};
    layout.SeedRandom(5);
    RecordingCanvas dc;
    std::size_t next = 0;
    // Each scene: its title, and its status line or the count of its cells.
    std::vector<std::string> shown;
    for (int frame = 0; frame < 2400; ++frame) {
        const std::size_t before = next;
        ComposeBoard(layout, dc, scenes, next);
        if (next == before) continue;
        std::string title, status;
        int cells = 0;
        for (const LayoutBox& box : layout.Boxes()) {
            if (title.empty() && (box.text == "England" || box.text == "Spain" || box.text == "Germany")) title = box.text;
            if (box.text == "Mistake of data acquisition.") status = box.text;
            if (box.text.rfind("r1c", 0) == 0 && box.steps == 40) ++cells;
        }
        shown.push_back(title + " " + (status.empty() ? std::to_string(cells) : status));
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"England 9", "Spain Mistake of data acquisition.", "Germany 9",
                                               "England 9", "Spain Mistake of data acquisition."}));
}
