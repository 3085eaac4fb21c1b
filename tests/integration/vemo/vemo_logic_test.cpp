// The parts of vemo that need no X server: its command line, the choice of
// where to draw, the mouse rules and the frame clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "app/startup.h"
#include "platform/x11/frame_clock.h"
#include "platform/x11/mouse_test.h"
#include "platform/x11/vemo_options.h"

namespace {

bool Parse(std::vector<const char*> args, VemoOptions& options, std::string& error) {
    args.insert(args.begin(), "vemo");
    return ParseVemoArguments(static_cast<int>(args.size()), args.data(), options, error);
}

TEST(VemoArguments, LongOptionsAreTakenOutOfTheSaverCommandLine) {
    VemoOptions o;
    std::string error;
    ASSERT_TRUE(Parse({"--no-shm", "/p", "1234", "--trace", "t.txt", "--print-status"}, o, error));
    EXPECT_TRUE(o.noShm);
    EXPECT_TRUE(o.printStatus);
    EXPECT_EQ(o.traceFile, "t.txt");
    EXPECT_EQ(o.commandLine, "/p 1234");
    const RunMode mode = ParseCommandLine(o.commandLine);
    EXPECT_EQ(mode.letter, 'p');
    EXPECT_EQ(mode.parent, 1234u);
}

TEST(VemoArguments, XScreenSaverSwitchesStaySwitchesOfTheSaver) {
    VemoOptions o;
    std::string error;
    ASSERT_TRUE(Parse({"-window-id", "0x2a00007"}, o, error));
    EXPECT_TRUE(o.haveWindowId);
    EXPECT_EQ(o.windowId, 0x2a00007u);
    EXPECT_EQ(o.commandLine, "-window-id 0x2a00007");
    EXPECT_EQ(ParseCommandLine(o.commandLine).letter, 'w');
    EXPECT_EQ(ParseCommandLine(o.commandLine).parent, 0u);

    ASSERT_TRUE(Parse({"-root"}, o, error));
    EXPECT_TRUE(o.root);
    EXPECT_EQ(ParseCommandLine(o.commandLine).letter, 'r');

    // The two-dash spellings of XScreenSaver 6.
    ASSERT_TRUE(Parse({"--root"}, o, error));
    EXPECT_TRUE(o.root);
    EXPECT_EQ(o.commandLine, "--root");
    EXPECT_EQ(ParseCommandLine(o.commandLine).letter, '-');
    ASSERT_TRUE(Parse({"--window-id", "99"}, o, error));
    EXPECT_TRUE(o.haveWindowId);
    EXPECT_EQ(o.windowId, 99u);
    EXPECT_FALSE(Parse({"--window-id", "x"}, o, error));
    EXPECT_EQ(error, "--window-id needs a window id");
}

TEST(VemoArguments, BadArgumentsAreRefusedWithAReason) {
    VemoOptions o;
    std::string error;
    EXPECT_FALSE(Parse({"--frobnicate"}, o, error));
    EXPECT_EQ(error, "unknown option '--frobnicate'");
    EXPECT_FALSE(Parse({"/s", "--trace"}, o, error));
    EXPECT_EQ(error, "--trace needs a file name");
    EXPECT_FALSE(Parse({"-window-id"}, o, error));
    EXPECT_EQ(error, "-window-id needs a window id");
    EXPECT_FALSE(Parse({"-window-id", "12abc"}, o, error));
    EXPECT_EQ(error, "-window-id needs a window id");
    ASSERT_TRUE(Parse({"--help", "/s"}, o, error));
    EXPECT_TRUE(o.help);
}

TEST(VemoArguments, WindowIdsInDecimalAndHex) {
    std::uint64_t id = 0;
    EXPECT_TRUE(ParseWindowId("4194311", id));
    EXPECT_EQ(id, 4194311u);
    EXPECT_TRUE(ParseWindowId("0x40000A", id));
    EXPECT_EQ(id, 0x40000Au);
    EXPECT_TRUE(ParseWindowId("0X1fffffff", id));
    EXPECT_EQ(id, 0x1FFFFFFFu);
    for (const char* bad : {"", "0", "0x", "0x0", "-5", " 12", "12 ", "0x20000000", "536870912", "0x12g",
                            "99999999999999999999999"}) {
        id = 7;
        EXPECT_FALSE(ParseWindowId(bad, id)) << "'" << bad << "'";
        EXPECT_EQ(id, 7u) << "'" << bad << "'";
    }
}

TEST(VemoTarget, PreviewThenWindowIdThenEnvironmentThenRoot) {
    VemoOptions o;
    std::string error;
    SaverTarget t;
    ASSERT_TRUE(Parse({"/s"}, o, error));
    ASSERT_TRUE(ChooseSaverTarget(o, 0, nullptr, t, error));
    EXPECT_EQ(t.kind, SaverTargetKind::FullScreen);

    ASSERT_TRUE(ChooseSaverTarget(o, 77, "0x100", t, error));
    EXPECT_EQ(t.kind, SaverTargetKind::Preview);
    EXPECT_EQ(t.window, 77u);

    ASSERT_TRUE(Parse({"-root", "-window-id", "300"}, o, error));
    ASSERT_TRUE(ChooseSaverTarget(o, 0, "0x100", t, error));
    EXPECT_EQ(t.kind, SaverTargetKind::Embedded);
    EXPECT_EQ(t.window, 300u);

    ASSERT_TRUE(Parse({"-root"}, o, error));
    ASSERT_TRUE(ChooseSaverTarget(o, 0, "0x100", t, error));
    EXPECT_EQ(t.kind, SaverTargetKind::Embedded);
    EXPECT_EQ(t.window, 0x100u);
    ASSERT_TRUE(ChooseSaverTarget(o, 0, nullptr, t, error));
    EXPECT_EQ(t.kind, SaverTargetKind::Root);

    EXPECT_FALSE(ChooseSaverTarget(o, 0, "screen", t, error));
    EXPECT_EQ(error, "XSCREENSAVER_WINDOW holds no window id: 'screen'");
}

TEST(VemoTarget, UnderXScreenSaverABareCommandLineRunsTheSaver) {
    VemoOptions o;
    std::string error;
    ASSERT_TRUE(Parse({}, o, error));
    EXPECT_EQ(StartupCommandLine(o, "0x100"), "/s");
    EXPECT_EQ(StartupCommandLine(o, nullptr), "");
    ASSERT_TRUE(Parse({"/c"}, o, error));
    EXPECT_EQ(StartupCommandLine(o, "0x100"), "/c");
    ASSERT_TRUE(Parse({"--print-status"}, o, error));
    EXPECT_EQ(StartupCommandLine(o, "0x100"), "/s");
}

TEST(VemoMouseTest, FirstPositionOnlyRecordedThenDistancesAddUp) {
    MouseTestReference ref;
    EXPECT_FALSE(MouseTestCloses(ref, Point{500, 400}));
    EXPECT_TRUE(ref.haveFirstCursorPos);
    EXPECT_EQ(ref.firstCursorPos, (Point{500, 400}));
    EXPECT_FALSE(MouseTestCloses(ref, Point{503, 402}));  // 5
    EXPECT_FALSE(MouseTestCloses(ref, Point{495, 400}));  // 5
    EXPECT_FALSE(MouseTestCloses(ref, Point{500, 395}));  // 5
    EXPECT_TRUE(MouseTestCloses(ref, Point{504, 402}));   // 6
    EXPECT_TRUE(MouseTestCloses(ref, Point{497, 397}));   // 6
    EXPECT_TRUE(MouseTestCloses(ref, Point{500, 406}));   // 6
    EXPECT_EQ(ref.firstCursorPos, (Point{500, 400})) << "the reference moved";
}

TEST(VemoMouseTest, ProcessWideReferenceStartsEmpty) {
    EXPECT_FALSE(theMouseTestReference.haveFirstCursorPos);
}

// A screen that clamps the cursor to 0 .. size - 1 on each axis.
struct FakeScreen {
    int width, height;
    Point cursor;
    std::vector<Point> moves;
    Point Get() const { return cursor; }
    void Set(Point p) {
        moves.push_back(p);
        cursor = Point{std::clamp(p.x, 0, width - 1), std::clamp(p.y, 0, height - 1)};
    }
};

Point Nudged(int width, int height, Point start, std::vector<Point>* moves = nullptr) {
    FakeScreen s{width, height, start, {}};
    NudgeCursor([&] { return s.Get(); }, [&](Point p) { s.Set(p); });
    if (moves != nullptr) *moves = s.moves;
    return s.cursor;
}

TEST(VemoMouseTest, CursorNudgeEndsOneRightOneUpOrOneLeftInTheCorner) {
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

TEST(VemoFrameClock, OneFramePerPeriodOnTheGrid) {
    FrameClock clock(20);
    EXPECT_FALSE(clock.Due(0));
    EXPECT_EQ(clock.Remaining(0), -1);
    clock.Start(1000);
    EXPECT_TRUE(clock.Due(1000));
    EXPECT_EQ(clock.Remaining(1000), 0);
    clock.FramePlayed(1001);
    EXPECT_EQ(clock.Next(), 1020);
    EXPECT_FALSE(clock.Due(1019));
    EXPECT_EQ(clock.Remaining(1005), 15);
    // A late wake-up within the period keeps the grid.
    clock.FramePlayed(1031);
    EXPECT_EQ(clock.Next(), 1040);
    clock.Stop();
    EXPECT_FALSE(clock.Due(5000));
}

TEST(VemoFrameClock, NoBurstOfFramesAfterAStall) {
    FrameClock clock(20);
    clock.Start(0);
    clock.FramePlayed(0);
    // Stalled for 10 periods: the next frame comes one period after the late
    // one, not ten frames at once.
    const std::int64_t late = 207;
    ASSERT_TRUE(clock.Due(late));
    clock.FramePlayed(late);
    EXPECT_EQ(clock.Next(), late + 20);
    EXPECT_FALSE(clock.Due(late + 1));
    EXPECT_EQ(clock.Remaining(late + 1), 19);
    // Exactly one period late counts as a stall too.
    clock.FramePlayed(late + 40);
    EXPECT_EQ(clock.Next(), late + 60);
}

}  // namespace
