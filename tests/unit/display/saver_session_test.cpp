// The saver's behaviour without a window: its frame schedule, the input that
// closes it, the cursor nudge and what its end leaves behind.
#include "display/saver_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "acquire/standings_table.h"
#include "app/startup.h"
#include "display/trace_canvas.h"
#include "display_test_support.h"

namespace {

using namespace std::chrono_literals;
using displaytest::CountingFontFactory;

const SaverClock::time_point kT0 = SaverClock::time_point{} + 1000s;

SaverInput Move(int x, int y) { return SaverInput{SaverInputKind::PointerMove, Point{x, y}}; }

TEST(SaverSession, FramesAreDueEvery20MsOnAGridAndAStallBringsNoBurst) {
    CountingFontFactory fonts;
    SaverSession session(fonts, "ger");
    session.Reshape(Size{640, 480});
    std::string ops;
    TraceCanvas canvas(nullptr, ops);
    EXPECT_EQ(session.Draw(canvas, kT0), kT0 + 20ms);
    EXPECT_EQ(session.Draw(canvas, kT0 + 20ms), kT0 + 40ms);
    // A late wake-up within the period keeps the grid.
    EXPECT_EQ(session.Draw(canvas, kT0 + 53ms), kT0 + 60ms);
    // A paint before the frame is due plays a frame, the schedule stays.
    EXPECT_EQ(session.Draw(canvas, kT0 + 55ms), kT0 + 60ms);
    // Stalled for ten periods: one period after the late frame.
    EXPECT_EQ(session.Draw(canvas, kT0 + 267ms), kT0 + 287ms);
    // Exactly a period late counts as a stall too.
    EXPECT_EQ(session.Draw(canvas, kT0 + 307ms), kT0 + 327ms);
    EXPECT_EQ(session.FramesPlayed(), 6u);
    EXPECT_EQ(session.Layout().bounds, (Rect{0, 0, 640, 480}));
    // The first frame built a scene under the association's name.
    EXPECT_NE(ops.find("\"Germany\""), std::string::npos);
}

TEST(SaverSession, FullScreenClosesOnKeysButtonsAndMovesOfMoreThanFivePixels) {
    CountingFontFactory fonts;
    SaverSession session(fonts, "ger");
    EXPECT_EQ(session.OnInput(SaverInput{SaverInputKind::Key, {}}), SaverAction::Close);
    EXPECT_EQ(session.OnInput(SaverInput{SaverInputKind::Button, {}}), SaverAction::NudgeCursorThenClose);
    EXPECT_FALSE(session.MouseReference());

    // The first move only records, however far it is from anything.
    EXPECT_EQ(session.OnInput(Move(500, 400)), SaverAction::Nothing);
    EXPECT_EQ(session.MouseReference(), (Point{500, 400}));
    EXPECT_EQ(session.OnInput(Move(503, 402)), SaverAction::Nothing);  // 5
    EXPECT_EQ(session.OnInput(Move(495, 400)), SaverAction::Nothing);  // 5
    EXPECT_EQ(session.OnInput(Move(500, 395)), SaverAction::Nothing);  // 5
    EXPECT_EQ(session.OnInput(Move(504, 402)), SaverAction::Close);  // 6
    EXPECT_EQ(session.OnInput(Move(497, 397)), SaverAction::Close);  // 6
    EXPECT_EQ(session.OnInput(Move(500, 406)), SaverAction::Close);  // 6
    EXPECT_EQ(session.OnInput(Move(500, 400)), SaverAction::Nothing);
    EXPECT_EQ(session.MouseReference(), (Point{500, 400})) << "the reference moved";
    // Losing the focus tests the pointer like a move.
    EXPECT_EQ(session.OnInput(SaverInput{SaverInputKind::FocusLost, Point{502, 403}}), SaverAction::Nothing);
    EXPECT_EQ(session.OnInput(SaverInput{SaverInputKind::FocusLost, Point{506, 400}}), SaverAction::Close);

    // A focus loss as the first pointer event records the reference too.
    SaverSession second(fonts, "ger");
    EXPECT_EQ(second.OnInput(SaverInput{SaverInputKind::FocusLost, Point{10, 20}}), SaverAction::Nothing);
    EXPECT_EQ(second.MouseReference(), (Point{10, 20}));
}

TEST(SaverSession, PreviewIgnoresEveryInput) {
    CountingFontFactory fonts;
    SaverSession session(fonts, "ger");
    session.SetPreview(true);
    for (SaverInputKind kind :
         {SaverInputKind::Key, SaverInputKind::Button, SaverInputKind::PointerMove, SaverInputKind::FocusLost}) {
        EXPECT_EQ(session.OnInput(SaverInput{kind, Point{0, 0}}), SaverAction::Nothing);
        EXPECT_EQ(session.OnInput(SaverInput{kind, Point{900, 900}}), SaverAction::Nothing);
    }
    EXPECT_FALSE(session.MouseReference());
}

TEST(SaverSession, FreeReleasesTheStageEmptiesTheTableAndPlaysNoMore) {
    CountingFontFactory fonts;
    SaverSession session(fonts, "ger");
    session.Reshape(Size{800, 600});
    theStandings.RemoveAll();
    theStandings.Add(StandingsRow{});
    theStandings.Add(StandingsRow{});
    std::string ops;
    TraceCanvas canvas(nullptr, ops);
    session.Draw(canvas, kT0);
    ASSERT_GT(fonts.live, 0);
    session.Free();
    EXPECT_EQ(fonts.live, 0);
    EXPECT_EQ(theStandings.GetSize(), 0);
    ops.clear();
    EXPECT_EQ(session.Draw(canvas, kT0 + 20ms), SaverClock::time_point::max());
    EXPECT_EQ(ops, "");
    EXPECT_EQ(session.FramesPlayed(), 1u);
    EXPECT_EQ(session.OnInput(SaverInput{SaverInputKind::Key, {}}), SaverAction::Nothing);
    session.Free();
}

// A screen that clamps the cursor to 0 .. size - 1 on each axis.
struct ClampingScreen {
    int width, height;
    Point cursor;
    std::vector<Point> moves;
};

Point Nudged(int width, int height, Point start, std::vector<Point>* moves = nullptr) {
    ClampingScreen s{width, height, start, {}};
    NudgeSaverCursor([&] { return s.cursor; },
                     [&](Point p) {
                         s.moves.push_back(p);
                         s.cursor = Point{std::clamp(p.x, 0, width - 1), std::clamp(p.y, 0, height - 1)};
                     });
    if (moves != nullptr) *moves = s.moves;
    return s.cursor;
}

TEST(SaverSession, CursorNudgeEndsOneRightOneUpOrOneLeftInTheCorner) {
    std::vector<Point> moves;
    EXPECT_EQ(Nudged(800, 600, Point{200, 150}, &moves), (Point{201, 149}));
    EXPECT_EQ(moves, (std::vector<Point>{{201, 151}, {201, 149}}));
    // Lower right corner: refused on both axes, so one left instead.
    EXPECT_EQ(Nudged(800, 600, Point{799, 599}, &moves), (Point{798, 598}));
    EXPECT_EQ(moves, (std::vector<Point>{{800, 600}, {798, 598}}));
    // Right edge only: refused on one axis, still "one right" (clamped).
    EXPECT_EQ(Nudged(800, 600, Point{799, 300}), (Point{799, 299}));
    // Bottom edge only.
    EXPECT_EQ(Nudged(800, 600, Point{300, 599}), (Point{301, 598}));
    // Top left corner: one up is refused by the screen.
    EXPECT_EQ(Nudged(800, 600, Point{0, 0}), (Point{1, 0}));
}

}  // namespace
