// The parts of vemo that need no X server: its command line and the choice
// of where to draw.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "app/startup.h"
#include "platform/x11/vemo_options.h"

namespace {

bool Parse(std::vector<const char*> args, VemoOptions& options, std::string& error) {
    args.insert(args.begin(), "vemo");
    return ParseVemoArguments(static_cast<int>(args.size()), args.data(), options, error);
}

TEST(VemoArguments, LongOptionsAreTakenOutOfTheSaverCommandLine) {
    VemoOptions o;
    std::string error;
    ASSERT_TRUE(Parse({"--no-shm", "/p", "1234", "--trace", "t.txt", "--scale", "2", "--print-status"}, o, error));
    EXPECT_TRUE(o.noShm);
    EXPECT_TRUE(o.haveScale);
    EXPECT_EQ(o.scale, 2);
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
    EXPECT_FALSE(Parse({"--scale", "5", "/s"}, o, error));
    EXPECT_EQ(error, "--scale needs auto, 1, 2, 3 or 4");
    EXPECT_FALSE(Parse({"/s", "--scale"}, o, error));
    EXPECT_EQ(error, "--scale needs auto, 1, 2, 3 or 4");
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

TEST(VemoFrontEnd, WaylandDisplayOrTheOptionDecideAndOnlyFullScreenGoesThere) {
    VemoOptions o;
    std::string error;
    bool chosen = true;
    ASSERT_TRUE(Parse({"/s"}, o, error));
    EXPECT_EQ(ChooseFrontEnd(o, SaverTargetKind::FullScreen, "wayland-1", chosen), SaverFrontEnd::Wayland);
    EXPECT_FALSE(chosen);
    EXPECT_EQ(ChooseFrontEnd(o, SaverTargetKind::FullScreen, "", chosen), SaverFrontEnd::X11);
    EXPECT_EQ(ChooseFrontEnd(o, SaverTargetKind::FullScreen, nullptr, chosen), SaverFrontEnd::X11);
    // X11 window ids: never a Wayland surface.
    for (SaverTargetKind kind : {SaverTargetKind::Preview, SaverTargetKind::Embedded, SaverTargetKind::Root})
        EXPECT_EQ(ChooseFrontEnd(o, kind, "wayland-1", chosen), SaverFrontEnd::X11);

    ASSERT_TRUE(Parse({"/s", "--x11"}, o, error));
    EXPECT_EQ(ChooseFrontEnd(o, SaverTargetKind::FullScreen, "wayland-1", chosen), SaverFrontEnd::X11);
    EXPECT_TRUE(chosen);
    ASSERT_TRUE(Parse({"--wayland", "/s", "--xdg-shell"}, o, error));
    EXPECT_EQ(o.commandLine, "/s");
    EXPECT_TRUE(o.xdgShell);
    EXPECT_EQ(ChooseFrontEnd(o, SaverTargetKind::FullScreen, nullptr, chosen), SaverFrontEnd::Wayland);
    EXPECT_TRUE(chosen);

    EXPECT_FALSE(Parse({"--x11", "--wayland"}, o, error));
    EXPECT_EQ(error, "--x11 and --wayland exclude each other");
}

}  // namespace
