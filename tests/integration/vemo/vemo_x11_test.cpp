// vemo end to end on a real X server (Xvfb, one per test) against a real
// scorvane serve on loopback: what it shows, where, and what ends it.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include "acquire/fetch_standings.h"
#include "acquire/standings_table.h"
#include "app/startup.h"
#include "display/geometry.h"
#include "display/stage_scale.h"
#include "platform/posix/curl_http_client.h"
#include "platform/soft/pixel_scale.h"
#include "platform/soft/soft_canvas.h"
#include "platform/x11/x11_presenter.h"
#include "platform/x11/xlib.h"
#include "vemo_test_support.h"

#include <X11/extensions/Xfixes.h>
#include <X11/extensions/Xrandr.h>

namespace {

using namespace vemotest;
using namespace std::chrono_literals;

constexpr int kWidth = 800;
constexpr int kHeight = 600;

struct Shot {
    std::vector<std::uint32_t> pixels;  // 0xRRGGBB
    int width = 0, height = 0;
    std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
    // Pixels of exactly `rgb` inside the rectangle (clipped to the shot).
    int Count(int left, int top, int right, int bottom, std::uint32_t rgb) const {
        int n = 0;
        for (int y = std::max(top, 0); y < std::min(bottom, height); ++y) {
            for (int x = std::max(left, 0); x < std::min(right, width); ++x) n += At(x, y) == rgb;
        }
        return n;
    }
};

struct Geometry {
    int x = 0, y = 0, width = 0, height = 0;
    bool viewable = false;
    bool overrideRedirect = false;
};

class VemoX11 : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir_.path().empty());
        ASSERT_TRUE(xvfb_.Start(ScreenWidth(), ScreenHeight(), Depth(), ServerOptions())) << "Xvfb did not start";
        display_ = XOpenDisplay(xvfb_.display().c_str());
        ASSERT_NE(display_, nullptr);
        root_ = DefaultRootWindow(display_);
    }

    void TearDown() override {
        vemo_.Kill();
        if (display_ != nullptr) XCloseDisplay(display_);
    }

    virtual int Depth() const { return 24; }
    virtual int ScreenWidth() const { return kWidth; }
    virtual int ScreenHeight() const { return kHeight; }
    virtual std::vector<std::string> ServerOptions() const { return {}; }

    std::map<std::string, std::string> Env(const std::string& cfg) const {
        // Results kept by a run go to the test's folder, never the user's.
        return {{"DISPLAY", xvfb_.display()},
                {"XDG_CONFIG_HOME", cfg},
                {"XDG_CACHE_HOME", cfg + "/cache"},
                {"XSCREENSAVER_WINDOW", ""}};
    }

    bool StartVemo(const std::vector<std::string>& args, const std::map<std::string, std::string>& env) {
        std::vector<std::string> argv{VEMO_BIN};
        argv.insert(argv.end(), args.begin(), args.end());
        return vemo_.Start(argv, env, dir_.File("vemo.out"), dir_.File("vemo.err"));
    }

    std::string VemoErr() const { return ReadFile(dir_.File("vemo.err")); }

    // The offline profile: a port nobody listens on, so start-up is quick.
    std::string OfflineProfile() { return WriteProfile(dir_, "127.0.0.1:" + std::to_string(ClosedPort())); }

    std::string ServerProfile() {
        EXPECT_TRUE(serve_.Start(dir_));
        return WriteProfile(dir_, "127.0.0.1:" + std::to_string(serve_.port()));
    }

    // The viewable top-level window titled "Settings", or None after 10 s.
    Window WaitForDialog() {
        Window dialog = None;
        WaitFor(
            [&] {
                for (Window w : Children(root_)) {
                    char* name = nullptr;
                    if (XFetchName(display_, w, &name) != 0 && name != nullptr) {
                        if (std::string(name) == "Settings" && GeometryOf(w).viewable) dialog = w;
                        XFree(name);
                    }
                }
                return dialog != None;
            },
            10s);
        return dialog;
    }

    std::vector<Window> Children(Window w) {
        Window rootReturn, parentReturn, *children = nullptr;
        unsigned count = 0;
        std::vector<Window> out;
        if (XQueryTree(display_, w, &rootReturn, &parentReturn, &children, &count) != 0) {
            out.assign(children, children + count);
            if (children != nullptr) XFree(children);
        }
        return out;
    }

    Geometry GeometryOf(Window w) {
        XWindowAttributes a{};
        Geometry g;
        if (XGetWindowAttributes(display_, w, &a) == 0) return g;
        g = Geometry{a.x, a.y, a.width, a.height, a.map_state == IsViewable, a.override_redirect != 0};
        return g;
    }

    bool IsVemoWindow(Window w) {
        XClassHint hint{};
        if (XGetClassHint(display_, w, &hint) == 0) return false;
        const bool match = hint.res_name != nullptr && std::string(hint.res_name) == "vemo";
        if (hint.res_name != nullptr) XFree(hint.res_name);
        if (hint.res_class != nullptr) XFree(hint.res_class);
        return match;
    }

    // The viewable top-level window of vemo, None when it did not come up.
    Window WaitForSaverWindow(std::chrono::milliseconds timeout = 10s) {
        Window found = None;
        WaitFor(
            [&] {
                for (Window w : Children(root_)) {
                    if (IsVemoWindow(w) && GeometryOf(w).viewable) found = w;
                }
                return found != None;
            },
            timeout);
        return found;
    }

    // True once someone else holds the pointer and the keyboard. The saver
    // takes the keyboard first; asking for the keyboard only after the
    // pointer turned out to be taken never takes the focus from it (which
    // would count as a mouse event).
    bool InputIsGrabbed() {
        const int p = XGrabPointer(display_, root_, False, 0, GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
        if (p == GrabSuccess) XUngrabPointer(display_, CurrentTime);
        XSync(display_, False);
        if (p != AlreadyGrabbed) return false;
        const int k = XGrabKeyboard(display_, root_, False, GrabModeAsync, GrabModeAsync, CurrentTime);
        if (k == GrabSuccess) XUngrabKeyboard(display_, CurrentTime);
        XSync(display_, False);
        return k == AlreadyGrabbed;
    }

    // Neither the keyboard nor the pointer is held by anyone.
    bool InputIsFree() {
        const int k = XGrabKeyboard(display_, root_, False, GrabModeAsync, GrabModeAsync, CurrentTime);
        if (k == GrabSuccess) XUngrabKeyboard(display_, CurrentTime);
        const int p = XGrabPointer(display_, root_, False, 0, GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
        if (p == GrabSuccess) XUngrabPointer(display_, CurrentTime);
        XSync(display_, False);
        return k == GrabSuccess && p == GrabSuccess;
    }

    Shot Screenshot(int width = kWidth, int height = kHeight) {
        Shot s;
        XImage* image = XGetImage(display_, root_, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                                  AllPlanes, ZPixmap);
        if (image == nullptr) return s;
        s.width = width;
        s.height = height;
        s.pixels.resize(static_cast<std::size_t>(width) * height);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                s.pixels[static_cast<std::size_t>(y) * width + x] =
                    static_cast<std::uint32_t>(XGetPixel(image, x, y) & 0xFFFFFF);  // the server's pixel values
            }
        }
        XDestroyImage(image);
        return s;
    }

    Point PointerPos() {
        Window r, c;
        int x = -1, y = -1, wx, wy;
        unsigned mask;
        XQueryPointer(display_, root_, &r, &c, &x, &y, &wx, &wy, &mask);
        return Point{x, y};
    }

    void Xdotool(const std::vector<std::string>& args) {
        std::vector<std::string> argv{"xdotool"};
        argv.insert(argv.end(), args.begin(), args.end());
        std::string output;
        ASSERT_EQ(RunCommand(argv, {{"DISPLAY", xvfb_.display()}}, 5s, &output), 0) << output;
    }

    void MovePointer(int x, int y) { Xdotool({"mousemove", std::to_string(x), std::to_string(y)}); }

    // A plain window of the test's own, mapped and drawn in `rgb`.
    Window MakeWindow(int x, int y, int width, int height, unsigned long rgb) {
        XSetWindowAttributes a{};
        a.background_pixel = rgb;
        a.override_redirect = True;
        const Window w = XCreateWindow(display_, root_, x, y, static_cast<unsigned>(width),
                                       static_cast<unsigned>(height), 0, CopyFromParent, InputOutput,
                                       CopyFromParent, CWBackPixel | CWOverrideRedirect, &a);
        XMapWindow(display_, w);
        XSync(display_, False);
        return w;
    }

    // Pixels of the rectangle that are neither black nor `background`.
    static int Drawn(const Shot& s, int left, int top, int right, int bottom, std::uint32_t background) {
        int n = 0;
        for (int y = top; y < bottom; ++y) {
            for (int x = left; x < right; ++x) n += s.At(x, y) != 0 && s.At(x, y) != background;
        }
        return n;
    }

    // Pixels outside the rectangle that are not white (the root's colour).
    static int NotWhiteOutside(const Shot& s, int left, int top, int right, int bottom) {
        int n = 0;
        for (int y = 0; y < s.height; ++y) {
            for (int x = 0; x < s.width; ++x) {
                const bool inside = x >= left && x < right && y >= top && y < bottom;
                n += !inside && s.At(x, y) != 0xFFFFFF;
            }
        }
        return n;
    }

    // The cells of the team names in `frame` (as the trace has them) show on
    // the screen in their colour, `toPixel` giving that colour's pixel value.
    template <typename ToPixel>
    void CheckTeamCells(const TraceFrame& frame, const Shot& shot, ToPixel toPixel) {
        // The same page, fetched here, names the teams whose cells must show.
        CurlHttpClient client;
        ASSERT_TRUE(
            FetchStandings(client, ComposeStandingsUrl("127.0.0.1:" + std::to_string(serve_.port()), "ger").c_str()));
        ASSERT_GT(theStandings.GetSize(), 10);
        std::set<std::string> teams;
        for (int i = 1; i < theStandings.GetSize(); ++i) teams.insert(theStandings.ElementAt(i)[2]);
        theStandings.RemoveAll();

        int checked = 0;
        for (const TraceText& t : frame.texts) {
            if (teams.count(t.text) == 0 || t.top >= shot.height - 20) continue;
            ++checked;
            EXPECT_GE(shot.Count(t.left, t.top, t.right, t.bottom, toPixel(t.rgb)), 20)
                << "team '" << t.text << "' at " << t.left << "," << t.top << " in #" << std::hex << t.rgb;
        }
        EXPECT_GE(checked, 1) << "no team name on screen in frame " << frame.number;
    }

    TempDir dir_;
    XvfbServer xvfb_;
    ServeProcess serve_;
    Process vemo_;
    Display* display_ = nullptr;
    Window root_ = None;
};

TEST_F(VemoX11, FullScreenShowsTheTableAndEndsOnAKey) {
    const std::string cfg = ServerProfile();
    ASSERT_GT(serve_.port(), 0);
    const std::string trace = dir_.File("trace");
    ASSERT_TRUE(StartVemo({"/s", "--trace", trace}, Env(cfg)));

    const Window w = WaitForSaverWindow();
    ASSERT_NE(w, None) << VemoErr();
    const Geometry g = GeometryOf(w);
    EXPECT_EQ(g.x, 0);
    EXPECT_EQ(g.y, 0);
    EXPECT_EQ(g.width, kWidth);
    EXPECT_EQ(g.height, kHeight);
    EXPECT_TRUE(g.overrideRedirect);
    EXPECT_EQ(Children(root_).back(), w) << "the saver is not on top";
    EXPECT_TRUE(WaitFor([&] { return InputIsGrabbed(); }, 3s)) << "keyboard and pointer not grabbed";

    // The cursor over the saver shows nothing.
    XFixesCursorImage* cursor = XFixesGetCursorImage(display_);
    ASSERT_NE(cursor, nullptr);
    bool anyVisible = false;
    for (int i = 0; i < cursor->width * cursor->height; ++i) anyVisible |= (cursor->pixels[i] >> 24) != 0;
    EXPECT_FALSE(anyVisible) << "cursor " << cursor->width << "x" << cursor->height << " is visible";
    XFree(cursor);

    // The table stands still from frame 41 to frame 340 of the first scene.
    SleepMs(3000);
    const Shot shot = Screenshot();
    std::string header;
    const std::vector<TraceFrame> frames = ReadTraceFrames(trace, &header);
    EXPECT_EQ(header, "vemo fullscreen 800x600 shm");
    ASSERT_FALSE(frames.empty());
    const TraceFrame& last = frames.back();
    EXPECT_GT(last.number, 41);
    EXPECT_LT(last.number, 340);

    CheckTeamCells(last, shot, [](std::uint32_t rgb) { return rgb; });

    // vemo's request and the check's own; the server logs each once it has
    // answered it.
    WaitFor([&] { return serve_.Requests().size() >= 2; }, 2s);
    const std::vector<std::string> requests = serve_.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], "GET /associations/association=ger/nationalleague/standings.html HTTP/1.0 \"Vemo\" 200");

    const auto pressed = Clock::now();
    Xdotool({"key", "a"});
    ASSERT_TRUE(vemo_.WaitExit(2s)) << "still running 2 s after a key press";
    EXPECT_LT(Clock::now() - pressed, 2s);
    EXPECT_EQ(vemo_.status(), 0);
    EXPECT_TRUE(InputIsFree()) << "input still grabbed after the end";
    for (Window c : Children(root_)) EXPECT_FALSE(IsVemoWindow(c)) << "the window outlived the saver";
}

TEST_F(VemoX11, MouseMovesAddUpFromTheFirstPosition) {
    MovePointer(10, 10);
    ASSERT_TRUE(StartVemo({"/s"}, Env(OfflineProfile())));
    ASSERT_NE(WaitForSaverWindow(), None) << VemoErr();
    ASSERT_TRUE(WaitFor([&] { return InputIsGrabbed(); }, 3s));

    // The first motion only records where the cursor is, however far it went.
    MovePointer(400, 300);
    SleepMs(400);
    EXPECT_TRUE(vemo_.running()) << "the first motion closed the saver";
    // 2 + 1, then 3 + 2 from the first position: exactly 5 keeps it open.
    MovePointer(402, 301);
    SleepMs(300);
    EXPECT_TRUE(vemo_.running()) << "closed at distance 3";
    MovePointer(403, 302);
    SleepMs(400);
    EXPECT_TRUE(vemo_.running()) << "closed at distance 5";
    // Back near the start and out again: the reference never moves.
    MovePointer(401, 300);
    SleepMs(200);
    EXPECT_TRUE(vemo_.running());
    MovePointer(404, 302);
    EXPECT_TRUE(vemo_.WaitExit(2s)) << "still running at distance 6";
    EXPECT_EQ(vemo_.status(), 0);
}

TEST_F(VemoX11, LosingTheFocusCountsAsAMouseEvent) {
    MovePointer(10, 10);
    ASSERT_TRUE(StartVemo({"/s"}, Env(OfflineProfile())));
    ASSERT_NE(WaitForSaverWindow(), None) << VemoErr();
    ASSERT_TRUE(WaitFor([&] { return InputIsGrabbed(); }, 3s));

    // Someone takes the focus: that alone closes nothing, but it records
    // where the cursor is, as the first mouse event would.
    XSetInputFocus(display_, root_, RevertToNone, CurrentTime);
    XSync(display_, False);
    SleepMs(400);
    EXPECT_TRUE(vemo_.running()) << "losing the focus closed the saver";
    // So this motion is not the first any more: 6 pixels from there close.
    MovePointer(14, 12);
    EXPECT_TRUE(vemo_.WaitExit(2s)) << "the loss of focus did not record the position";
    EXPECT_EQ(vemo_.status(), 0);
}

TEST_F(VemoX11, ButtonPressNudgesTheCursorAndCloses) {
    const std::string cfg = OfflineProfile();
    struct Case {
        Point at;
        Point after;
    };
    // Away from the edges: one right and one up. In the lower right corner
    // the first move is refused on both axes: one left and one up.
    const Case cases[] = {{{200, 150}, {201, 149}}, {{kWidth - 1, kHeight - 1}, {kWidth - 2, kHeight - 2}}};
    for (const Case& c : cases) {
        MovePointer(c.at.x, c.at.y);
        ASSERT_TRUE(StartVemo({"/s"}, Env(cfg)));
        ASSERT_NE(WaitForSaverWindow(), None) << VemoErr();
        ASSERT_TRUE(WaitFor([&] { return InputIsGrabbed(); }, 3s));
        Xdotool({"click", "1"});
        ASSERT_TRUE(vemo_.WaitExit(2s)) << "still running after a click at " << c.at.x << "," << c.at.y;
        EXPECT_EQ(vemo_.status(), 0);
        const Point p = PointerPos();
        EXPECT_EQ(p.x, c.after.x) << "click at " << c.at.x << "," << c.at.y;
        EXPECT_EQ(p.y, c.after.y) << "click at " << c.at.x << "," << c.at.y;
    }
}

TEST_F(VemoX11, PreviewStaysInsideItsParentIgnoresInputAndEndsWithIt) {
    const std::string cfg = ServerProfile();
    const int px = 100, py = 80, pw = 320, ph = 240;
    const std::uint32_t background = 0x203040;
    const Window parent = MakeWindow(px, py, pw, ph, background);
    ASSERT_TRUE(StartVemo({"/p", std::to_string(parent)}, Env(cfg)));

    Window child = None;
    ASSERT_TRUE(WaitFor(
        [&] {
            const std::vector<Window> c = Children(parent);
            if (c.size() == 1 && GeometryOf(c[0]).viewable) child = c[0];
            return child != None;
        },
        10s))
        << VemoErr();
    const Geometry g = GeometryOf(child);
    EXPECT_EQ(g.x, 0);
    EXPECT_EQ(g.y, 0);
    EXPECT_EQ(g.width, pw);
    EXPECT_EQ(g.height, ph);
    for (Window w : Children(root_)) EXPECT_FALSE(IsVemoWindow(w)) << "a top-level window in preview mode";

    // Something is drawn inside within a few seconds, and never outside.
    bool drawn = false;
    for (int i = 0; i < 20 && !drawn; ++i) {
        SleepMs(200);
        const Shot s = Screenshot();
        ASSERT_EQ(NotWhiteOutside(s, px, py, px + pw, py + ph), 0) << "pixels drawn outside the preview";
        EXPECT_EQ(s.Count(px, py, px + pw, py + ph, background), 0) << "the child does not cover its parent";
        drawn = Drawn(s, px, py, px + pw, py + ph, background) > 50;
    }
    EXPECT_TRUE(drawn) << "nothing drawn in the preview";

    // What closes the full-screen saver does nothing here; the input stays free.
    MovePointer(px + 50, py + 50);
    Xdotool({"key", "a"});
    Xdotool({"click", "1"});
    MovePointer(px + 150, py + 120);
    MovePointer(px + 10, py + 200);
    SleepMs(500);
    EXPECT_TRUE(vemo_.running()) << "input ended the preview";
    EXPECT_TRUE(InputIsFree());

    // The child keeps filling its parent.
    XResizeWindow(display_, parent, 360, 270);
    XSync(display_, False);
    EXPECT_TRUE(WaitFor(
        [&] {
            const Geometry c = GeometryOf(child);
            return c.width == 360 && c.height == 270;
        },
        3s))
        << "the preview did not follow its parent's size";

    XDestroyWindow(display_, parent);
    XSync(display_, False);
    EXPECT_TRUE(vemo_.WaitExit(2s)) << "still running after its parent was destroyed";
    EXPECT_EQ(vemo_.status(), 0);
}

TEST_F(VemoX11, PreviewOfSomethingThatIsNoWindowFailsAtOnce) {
    const std::string cfg = OfflineProfile();
    // A window that no longer exists, and an id that names a pixmap.
    const Window gone = MakeWindow(0, 0, 10, 10, 0);
    XDestroyWindow(display_, gone);
    const Pixmap pixmap = XCreatePixmap(display_, root_, 8, 8, static_cast<unsigned>(DefaultDepth(display_, 0)));
    XSync(display_, False);
    for (unsigned long id : {static_cast<unsigned long>(gone), static_cast<unsigned long>(pixmap)}) {
        const auto start = Clock::now();
        ASSERT_TRUE(StartVemo({"/p", std::to_string(id)}, Env(cfg)));
        ASSERT_TRUE(vemo_.WaitExit(3s)) << "still running with /p " << id;
        EXPECT_LT(Clock::now() - start, 3s);
        EXPECT_NE(vemo_.status(), 0);
        EXPECT_EQ(VemoErr(), "vemo: " + std::to_string(id) + " is not a window\n");
        for (Window w : Children(root_)) EXPECT_FALSE(IsVemoWindow(w));
    }
    XFreePixmap(display_, pixmap);
}

TEST_F(VemoX11, XScreenSaverWindowIsDrawnIntoFollowedAndSigtermEnds) {
    const std::string cfg = ServerProfile();
    const int wx = 50, wy = 40;
    int ww = 400, wh = 300;
    const std::uint32_t background = 0x203040;
    const Window target = MakeWindow(wx, wy, ww, wh, background);
    char id[32];
    std::snprintf(id, sizeof id, "0x%lx", static_cast<unsigned long>(target));
    std::map<std::string, std::string> env = Env(cfg);
    env["XSCREENSAVER_WINDOW"] = id;
    const std::string trace = dir_.File("trace");
    ASSERT_TRUE(StartVemo({"-root", "--trace", trace}, env));

    // The whole window is painted (black first), nothing outside it.
    ASSERT_TRUE(WaitFor([&] { return Screenshot().Count(wx, wy, wx + ww, wy + wh, background) == 0; }, 10s))
        << VemoErr();
    std::string header;
    ReadTraceFrames(trace, &header);
    EXPECT_EQ(header, "vemo embedded 400x300 shm");
    EXPECT_TRUE(Children(target).empty()) << "a child window instead of drawing into the given one";
    for (Window w : Children(root_)) EXPECT_FALSE(IsVemoWindow(w));
    EXPECT_TRUE(InputIsFree()) << "input taken from the daemon";
    bool drawn = false;
    for (int i = 0; i < 20 && !drawn; ++i) {
        SleepMs(200);
        const Shot s = Screenshot();
        ASSERT_EQ(NotWhiteOutside(s, wx, wy, wx + ww, wy + wh), 0);
        drawn = Drawn(s, wx, wy, wx + ww, wy + wh, background) > 50;
    }
    EXPECT_TRUE(drawn) << "nothing drawn into the window";

    // Key presses belong to the daemon.
    MovePointer(wx + 20, wy + 20);
    Xdotool({"key", "a"});
    MovePointer(wx + 200, wy + 200);
    SleepMs(300);
    EXPECT_TRUE(vemo_.running());

    // A new size: the newly uncovered part is the saver's too.
    ww = 520;
    wh = 380;
    XResizeWindow(display_, target, static_cast<unsigned>(ww), static_cast<unsigned>(wh));
    XSync(display_, False);
    EXPECT_TRUE(WaitFor([&] { return Screenshot().Count(wx, wy, wx + ww, wy + wh, background) == 0; }, 3s))
        << "the grown part of the window is not painted";

    vemo_.Signal(SIGTERM);
    ASSERT_TRUE(vemo_.WaitExit(2s)) << "still running 2 s after SIGTERM";
    EXPECT_EQ(vemo_.status(), 0);
    EXPECT_TRUE(GeometryOf(target).viewable) << "the daemon's window was taken away";
}

TEST_F(VemoX11, WindowIdSwitchDrawsIntoThatWindowUntilItIsDestroyed) {
    const std::string cfg = OfflineProfile();
    const std::uint32_t background = 0x405060;
    const Window target = MakeWindow(300, 200, 200, 150, background);
    ASSERT_TRUE(StartVemo({"-window-id", std::to_string(target), "--no-shm", "--trace", dir_.File("trace")}, Env(cfg)));
    ASSERT_TRUE(WaitFor([&] { return Screenshot().Count(300, 200, 500, 350, background) == 0; }, 10s)) << VemoErr();
    std::string header;
    ReadTraceFrames(dir_.File("trace"), &header);
    EXPECT_EQ(header, "vemo embedded 200x150 putimage");
    EXPECT_EQ(NotWhiteOutside(Screenshot(), 300, 200, 500, 350), 0);
    // The window's owner may also just destroy it.
    XDestroyWindow(display_, target);
    XSync(display_, False);
    ASSERT_TRUE(vemo_.WaitExit(2s)) << "still running after its window was destroyed";
    EXPECT_EQ(vemo_.status(), 0);
}

TEST_F(VemoX11, WithoutAServerTheBoardPlaysWithItsStatusLine) {
    const std::string cfg = OfflineProfile();
    std::string output;
    EXPECT_EQ(RunCommand({VEMO_BIN, "--print-status"}, Env(cfg), 10s, &output), 1);
    EXPECT_NE(output.find("status: Mistake of data acquisition.\nrows: 0\n"), std::string::npos) << output;

    const std::string trace = dir_.File("trace");
    ASSERT_TRUE(StartVemo({"/s", "--trace", trace}, Env(cfg)));
    ASSERT_NE(WaitForSaverWindow(), None) << VemoErr();
    // The status line fades in once the ball has landed (frame 201).
    TraceText status;
    ASSERT_TRUE(WaitFor(
        [&] {
            for (const TraceFrame& f : ReadTraceFrames(trace)) {
                for (const TraceText& t : f.texts) {
                    if (t.text == kAcquisitionErrorText && (t.rgb & 0xFF) >= 40) status = t;
                }
            }
            return status.right > status.left;
        },
        12s, 200ms))
        << "the status line was not drawn";
    // Grey, brightening: red, green and blue alike.
    EXPECT_EQ((status.rgb >> 16) & 0xFF, status.rgb & 0xFF);
    EXPECT_EQ((status.rgb >> 8) & 0xFF, status.rgb & 0xFF);
    const Shot s = Screenshot();
    int grey = 0;
    for (int y = std::max(status.top, 0); y < std::min(status.bottom, kHeight); ++y) {
        for (int x = std::max(status.left, 0); x < std::min(status.right, kWidth); ++x) {
            const std::uint32_t p = s.At(x, y);
            grey += p != 0 && (p >> 16) == (p & 0xFF) && ((p >> 8) & 0xFF) == (p & 0xFF);
        }
    }
    // The line is centred at a random point, which may put it partly or
    // wholly below or beside the screen; where most of its first line lies
    // on the screen, it must show.
    const int visibleWidth = std::min(status.right, kWidth) - std::max(status.left, 0);
    if (status.top + 12 <= kHeight && visibleWidth >= 80) {
        EXPECT_GE(grey, 30) << "the status line is not on the screen";
    }
    Xdotool({"key", "Escape"});
    EXPECT_TRUE(vemo_.WaitExit(2s));
}

TEST_F(VemoX11, OfflineMachineShowsNotConnected) {
    if (RunCommand({"unshare", "-rn", "true"}, {}, 10s) != 0) GTEST_SKIP() << "no private network namespaces here";
    // A server that works: the saver must not even try it.
    const std::string cfg = ServerProfile();
    std::string output;
    EXPECT_EQ(RunCommand({"unshare", "-rn", VEMO_BIN, "--print-status"}, Env(cfg), 10s, &output), 1);
    EXPECT_NE(output.find("status: Not connected to the internet\nrows: 0\n"), std::string::npos) << output;

    // The board says so too (the X server is reached through its socket file).
    const std::string trace = dir_.File("trace");
    std::vector<std::string> argv{"unshare", "-rn", VEMO_BIN, "/s", "--trace", trace};
    ASSERT_TRUE(vemo_.Start(argv, Env(cfg), dir_.File("vemo.out"), dir_.File("vemo.err")));
    ASSERT_NE(WaitForSaverWindow(), None) << VemoErr();
    EXPECT_TRUE(WaitFor(
        [&] {
            for (const TraceFrame& f : ReadTraceFrames(trace)) {
                for (const TraceText& t : f.texts) {
                    if (t.text == kNotConnectedText) return true;
                }
            }
            return false;
        },
        12s, 200ms));
    vemo_.Signal(SIGTERM);
    EXPECT_TRUE(vemo_.WaitExit(2s));
    EXPECT_EQ(vemo_.status(), 0);
    EXPECT_TRUE(serve_.Requests().empty()) << "a download was attempted";
}

TEST_F(VemoX11, ConfigureSwitchRunsTheSettingsDialogAfterTheDownload) {
    const std::string cfg = ServerProfile();
    const std::string ini = ReadFile(cfg + "/vemo/vemo.ini");
    ASSERT_TRUE(StartVemo({"/c"}, Env(cfg)));
    Window dialog = WaitForDialog();
    ASSERT_NE(dialog, None) << VemoErr();
    // Start-up downloads first in every mode, the dialog's included.
    EXPECT_TRUE(WaitFor([&] { return serve_.Requests().size() == 1; }, 2s));
    for (Window w : Children(root_)) {
        EXPECT_FALSE(IsVemoWindow(w) && GeometryOf(w).width == kWidth) << "a saver window beside the dialog";
    }
    XSetInputFocus(display_, dialog, RevertToParent, CurrentTime);
    XSync(display_, False);
    Xdotool({"key", "Escape"});
    ASSERT_TRUE(vemo_.WaitExit(3s)) << "the dialog did not close on Escape";
    EXPECT_EQ(vemo_.status(), 0);
    EXPECT_EQ(ReadFile(cfg + "/vemo/vemo.ini"), ini) << "a cancelled dialog wrote the settings";

    // OK on a read-only profile: the file stays as it is, and the user hears
    // that the choice was lost.
    chmod((cfg + "/vemo/vemo.ini").c_str(), 0444);
    ASSERT_TRUE(StartVemo({"/c"}, Env(cfg)));
    dialog = WaitForDialog();
    ASSERT_NE(dialog, None) << VemoErr();
    XSetInputFocus(display_, dialog, RevertToParent, CurrentTime);
    XSync(display_, False);
    Xdotool({"key", "Return"});
    ASSERT_TRUE(vemo_.WaitExit(3s)) << "the dialog did not close on Return";
    EXPECT_EQ(vemo_.status(), 1);
    EXPECT_EQ(VemoErr(), "vemo: the championship 'ger' was not saved: " + cfg + "/vemo/vemo.ini is read-only\n");
    EXPECT_EQ(ReadFile(cfg + "/vemo/vemo.ini"), ini);

    // Without a display there is no dialog, and the user is told so.
    std::map<std::string, std::string> env = Env(cfg);
    env["DISPLAY"] = "";
    std::string output;
    EXPECT_EQ(RunCommand({VEMO_BIN, "/c"}, env, 10s, &output), 1);
    EXPECT_EQ(output, "vemo: cannot open display '' for the settings dialog\n");
}

// The dialog runs in vemo-settings; the code chosen there comes back to
// vemo, which stores it.
TEST_F(VemoX11, ConfigureSwitchStoresWhatTheDialogProgramChose) {
    const std::string cfg = ServerProfile();
    ASSERT_TRUE(StartVemo({"/c"}, Env(cfg)));
    const Window dialog = WaitForDialog();
    ASSERT_NE(dialog, None) << VemoErr();
    XSetInputFocus(display_, dialog, RevertToParent, CurrentTime);
    XSync(display_, False);
    // To the list, then Uganda, Ukraine, United Arab Emirates, Uruguay, USA.
    Xdotool({"key", "--delay", "40", "Tab", "Tab", "u", "u", "u", "u", "u", "Return"});
    ASSERT_TRUE(vemo_.WaitExit(5s)) << "the dialog did not close on Return";
    EXPECT_EQ(vemo_.status(), 0);
    EXPECT_NE(ReadFile(cfg + "/vemo/vemo.ini").find("Championship=usa\n"), std::string::npos)
        << ReadFile(cfg + "/vemo/vemo.ini");
}

TEST_F(VemoX11, FramesKeepTheirPeriodAndAStallBringsNoBurst) {
    const std::string trace = dir_.File("trace");
    ASSERT_TRUE(StartVemo({"/s", "--trace", trace}, Env(OfflineProfile())));
    ASSERT_NE(WaitForSaverWindow(), None) << VemoErr();
    auto lastFrame = [&] {
        const std::vector<TraceFrame> frames = ReadTraceFrames(trace);
        return frames.empty() ? 0 : frames.back().number;
    };
    ASSERT_TRUE(WaitFor([&] { return lastFrame() > 0; }, 5s));
    const int f0 = lastFrame();
    const auto t0 = Clock::now();
    SleepMs(2000);
    const int f1 = lastFrame();
    const auto t1 = Clock::now();
    // 50 frames a second: never more, and on a busy machine at most a tenth less.
    const double seconds = std::chrono::duration<double>(t1 - t0).count();
    EXPECT_LE(f1 - f0, static_cast<int>(seconds * 50) + 2);
    EXPECT_GE(f1 - f0, static_cast<int>(seconds * 50 * 0.9)) << "frames come slower than every 20 ms";
    RecordProperty("frames_per_second", std::to_string((f1 - f0) / seconds));

    // A stall of one second: afterwards the frames go on at their pace,
    // with no fifty frames played at once to catch up.
    vemo_.Signal(SIGSTOP);
    SleepMs(1000);
    const int stalled = lastFrame();
    vemo_.Signal(SIGCONT);
    const auto resumed = Clock::now();
    SleepMs(200);
    const int f2 = lastFrame();
    const int afterStall = static_cast<int>((Clock::now() - resumed) / 20ms) + 3;
    EXPECT_LE(f2 - stalled, afterStall) << "a burst of frames after the stall";
    EXPECT_GE(f2 - stalled, 2) << "no frames after the stall";

    // A server held up by another client: no frame is drawn over one it
    // has not read, and the frames go on once it is back.
    auto cpuTicks = [&] {
        std::ifstream stat("/proc/" + std::to_string(vemo_.pid()) + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        std::istringstream fields(text.substr(text.rfind(')') + 2));
        std::string field;
        long ticks = 0;
        for (int i = 3; i <= 15 && fields >> field; ++i) {
            if (i >= 14) ticks += std::stol(field);
        }
        return ticks;
    };
    XGrabServer(display_);
    XSync(display_, False);
    SleepMs(300);
    const int held = lastFrame();
    const long ticksBefore = cpuTicks();
    SleepMs(600);
    // A frame that draws nothing on the board (a table standing still, a
    // ball past the edge) sends nothing and need not wait: only frames that
    // drew on it count.
    int drawnWhileHeld = 0;
    std::string header;
    for (const TraceFrame& f : ReadTraceFrames(trace, &header))
        if (f.number > held && f.opsOnBoard > 0) ++drawnWhileHeld;
    // Only a shared image can be drawn over before the server has read it;
    // XPutImage copies the pixels into the request.
    if (header.find(" shm") != std::string::npos) {
        EXPECT_LE(drawnWhileHeld, 1) << "frames drawn while the server could not read them (" << header << ")";
    }
    // Waiting for the server is sleeping: 600 ms of spinning would be 60 ticks.
    EXPECT_LT(cpuTicks() - ticksBefore, 15) << "the saver spins while the server is held up";
    XUngrabServer(display_);
    XSync(display_, False);
    EXPECT_TRUE(WaitFor([&] { return lastFrame() >= held + 5; }, 2s)) << "no frames after the server came back";
    vemo_.Signal(SIGTERM);
    EXPECT_TRUE(vemo_.WaitExit(2s));
    EXPECT_EQ(vemo_.status(), 0);
}

// A 16-bit screen: the canvas's pixels are converted to the visual's 5-6-5.
// A server that takes the connection and the request and never answers:
// XScreenSaver sends SIGTERM on unblank and expects the saver gone, even in
// the middle of its download.
TEST_F(VemoX11, StopSignalsEndAStalledDownloadAtOnce) {
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(listen(listener, 4), 0);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len), 0);
    const std::string cfg = WriteProfile(dir_, "127.0.0.1:" + std::to_string(ntohs(a.sin_port)));

    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        ASSERT_TRUE(StartVemo({"/s"}, Env(cfg)));
        pollfd p{listener, POLLIN, 0};
        ASSERT_EQ(poll(&p, 1, 10000), 1) << "no request came";
        const int client = accept(listener, nullptr, nullptr);
        ASSERT_GE(client, 0);
        pollfd r{client, POLLIN, 0};
        EXPECT_EQ(poll(&r, 1, 10000), 1) << "the request was not sent";
        SleepMs(300);  // well into the wait for an answer
        ASSERT_TRUE(vemo_.running());
        const auto sent = Clock::now();
        vemo_.Signal(sig);
        ASSERT_TRUE(vemo_.WaitExit(5s)) << "signal " << sig;
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - sent);
        EXPECT_LT(took, 200ms) << "signal " << sig;
        std::printf("signal %d during the download: exit after %lld ms\n", sig, static_cast<long long>(took.count()));
        EXPECT_EQ(vemo_.status(), 0) << "signal " << sig << ": " << VemoErr();
        close(client);
    }
    close(listener);
}

// A profile that is no regular file (a FIFO once blocked start-up for good)
// or is too large reads as the defaults, and vemo says why.
TEST_F(VemoX11, SettingsFileThatCannotBeAProfileGivesTheDefaultsAndSaysWhy) {
    const std::string cfg = OfflineProfile();
    const std::string ini = cfg + "/vemo/vemo.ini";
    for (const char* why : {"not a regular file", "larger than 1 MiB"}) {
        std::filesystem::remove(ini);
        if (std::string(why) == "not a regular file") {
            ASSERT_EQ(mkfifo(ini.c_str(), 0600), 0);
        } else {
            WriteFile(ini, "[Settings]\nChampionship=nor\n" + std::string(1024 * 1024, ';'));
        }
        ASSERT_TRUE(StartVemo({"--print-status"}, Env(cfg)));
        ASSERT_TRUE(vemo_.WaitExit(30s)) << why;
        // The defaults name no site: the open results give a table, from the
        // source where there is a network, else from the snapshot.
        EXPECT_EQ(vemo_.status(), 0) << ReadFile(dir_.File("vemo.out"));
        EXPECT_EQ(VemoErr(), "vemo: the settings file " + ini + " is not read (" + why + "); the defaults apply\n");
        const std::string output = ReadFile(dir_.File("vemo.out"));
        EXPECT_NE(output.find("championship: ger\n"), std::string::npos) << output;
    }
}

class VemoX11Depth16 : public VemoX11 {
protected:
    int Depth() const override { return 16; }
};

TEST_F(VemoX11Depth16, TableCellsAreConvertedToTheVisual) {
    const std::string cfg = ServerProfile();
    const std::string trace = dir_.File("trace");
    ASSERT_TRUE(StartVemo({"/s", "--trace", trace}, Env(cfg)));
    ASSERT_NE(WaitForSaverWindow(), None) << VemoErr();
    SleepMs(2500);
    const Shot shot = Screenshot();
    std::string header;
    const std::vector<TraceFrame> frames = ReadTraceFrames(trace, &header);
    EXPECT_EQ(header, "vemo fullscreen 800x600 shm");
    ASSERT_FALSE(frames.empty());
    CheckTeamCells(frames.back(), shot, [](std::uint32_t rgb) {
        return (((rgb >> 19) & 0x1F) << 11) | (((rgb >> 10) & 0x3F) << 5) | ((rgb >> 3) & 0x1F);
    });
    vemo_.Signal(SIGTERM);
    EXPECT_TRUE(vemo_.WaitExit(2s));
    EXPECT_EQ(vemo_.status(), 0);
}

class VemoX11At4K : public VemoX11 {
protected:
    int ScreenWidth() const override { return 3840; }
    int ScreenHeight() const override { return 2160; }
};

// A 3840x2160 screen plays the 1280x720 stage, each of its pixels a 3x3
// block; a Scale setting vemo cannot read leaves auto and says so.
TEST_F(VemoX11At4K, AutoScaleShowsTheStageInThreeByThreeBlocks) {
    const std::string cfg = ServerProfile();
    const std::string ini = cfg + "/vemo/vemo.ini";
    ASSERT_TRUE(WriteFile(ini, ReadFile(ini) + "Scale=5\n"));
    const std::string trace = dir_.File("trace");
    ASSERT_TRUE(StartVemo({"/s", "--trace", trace}, Env(cfg)));
    ASSERT_NE(WaitForSaverWindow(), None) << VemoErr();
    SleepMs(3000);
    const Shot shot = Screenshot(3840, 2160);
    std::string header;
    const std::vector<TraceFrame> frames = ReadTraceFrames(trace, &header);
    EXPECT_EQ(header, "vemo fullscreen 1280x720 shm scale 3");
    EXPECT_EQ(VemoErr(), "vemo: the Scale setting '5' is not auto, 1, 2, 3 or 4; auto is used\n");
    ASSERT_FALSE(frames.empty());

    ASSERT_EQ(shot.width, 3840);
    Shot stage;
    stage.width = 1280;
    stage.height = 720;
    int mixedBlocks = 0;
    for (int y = 0; y < 720; ++y) {
        for (int x = 0; x < 1280; ++x) {
            const std::uint32_t pixel = shot.At(3 * x, 3 * y);
            stage.pixels.push_back(pixel);
            mixedBlocks += shot.Count(3 * x, 3 * y, 3 * x + 3, 3 * y + 3, pixel) != 9;
        }
    }
    EXPECT_EQ(mixedBlocks, 0);
    CheckTeamCells(frames.back(), stage, [](std::uint32_t rgb) { return rgb; });
    vemo_.Signal(SIGTERM);
    EXPECT_TRUE(vemo_.WaitExit(2s));
}

class VemoX11TwoMonitors : public VemoX11 {
protected:
    int ScreenWidth() const override { return 1600; }

    // RandR keeps the monitors a client sets while it stays connected. The
    // left one takes the output, and so the place of its own monitor.
    void SetMonitor(const char* name, int x, RROutput output) {
        XRRMonitorInfo* m = XRRAllocateMonitor(display_, output != None ? 1 : 0);
        m->name = XInternAtom(display_, name, False);
        m->x = x;
        m->width = 760;
        m->height = 600;
        m->mwidth = 200;
        m->mheight = 150;
        if (output != None) m->outputs[0] = output;
        XRRSetMonitor(display_, root_, m);
        XFree(m);
    }
};

// Two monitors with a strip between them: a board on each, nothing on the
// strip, scenes of their own, and a key on either ends the saver.
TEST_F(VemoX11TwoMonitors, EachMonitorShowsABoardOfItsOwn) {
    XRRScreenResources* resources = XRRGetScreenResources(display_, root_);
    ASSERT_NE(resources, nullptr);
    ASSERT_GE(resources->noutput, 1);
    SetMonitor("left", 0, resources->outputs[0]);
    SetMonitor("right", 840, None);
    XRRFreeScreenResources(resources);
    int count = 0;
    XRRFreeMonitors(XRRGetMonitors(display_, root_, True, &count));
    ASSERT_EQ(count, 2);

    const std::string trace = dir_.File("trace");
    ASSERT_TRUE(StartVemo({"/s", "--trace", trace}, Env(ServerProfile())));
    const Window w = WaitForSaverWindow();
    ASSERT_NE(w, None) << VemoErr();
    EXPECT_EQ(GeometryOf(w).width, 1600);
    SleepMs(3000);
    const Shot shot = Screenshot(1600, 600);
    std::string header;
    ReadTraceFrames(trace, &header);
    EXPECT_EQ(header, "vemo fullscreen 760x600 shm monitors 2");
    EXPECT_EQ(shot.Count(760, 0, 840, 600, 0), 80 * 600) << "drawn across the bezel";
    EXPECT_GT(Drawn(shot, 0, 0, 760, 600, 0), 500);
    EXPECT_GT(Drawn(shot, 840, 0, 1600, 600, 0), 500);
    int differ = 0;
    for (int y = 0; y < 600; ++y) {
        for (int x = 0; x < 760; ++x) differ += shot.At(x, y) != shot.At(840 + x, y);
    }
    EXPECT_GT(differ, 1000) << "both monitors play the same scene";

    MovePointer(1200, 300);
    MovePointer(1220, 300);
    ASSERT_TRUE(vemo_.WaitExit(2s)) << "pointer moves on the right monitor did not end the saver";
    EXPECT_EQ(vemo_.status(), 0);
}

// A window, a presenter on it and a canvas drawing into its image where it
// can: by default a 64x48 board on all of a 64x48 window, or else `board`
// in a window that leaves as much room right and below it as above and
// left, its background pixel `background`.
struct PresentedWindow {
    Display* display;
    Window window;
    GC gc;
    std::unique_ptr<X11Presenter> presenter;
    SoftCanvas canvas{1, 1};
    Rect board;

    PresentedWindow(Display* d, Window root, bool passFds = true, int scale = 1, Rect area = Rect{0, 0, 64, 48},
                    unsigned long background = 0)
        : display(d), board(area) {
        const int screen = DefaultScreen(d);
        window = XCreateSimpleWindow(d, root, 0, 0, static_cast<unsigned>(board.right + board.left),
                                     static_cast<unsigned>(board.bottom + board.top), 0, 0, background);
        XMapWindow(d, window);
        gc = XCreateGC(d, window, 0, nullptr);
        XSync(d, False);
        presenter =
            std::make_unique<X11Presenter>(d, window, gc, DefaultVisual(d, screen), DefaultDepth(d, screen), true);
        presenter->SetPassFds(passFds);
        presenter->SetOrigin(Point{board.left, board.top});
        const Size stage = ScaledStage(Size{board.Width(), board.Height()}, scale);
        if (presenter->Resize(board.Width(), board.Height(), scale) && presenter->CanvasMemory() != nullptr)
            canvas.UseMemory(presenter->CanvasMemory(), stage.cx, stage.cy, presenter->CanvasStride());
        else
            canvas.Resize(stage.cx, stage.cy);
    }
    ~PresentedWindow() {
        presenter.reset();
        XFreeGC(display, gc);
        XDestroyWindow(display, window);
    }
    void Present() { presenter->Present(canvas, canvas.TakeChangedRects()); }
    void TakeEvents() {
        while (XPending(display) > 0) {
            XEvent e;
            XNextEvent(display, &e);
            presenter->HandleEvent(e);
        }
    }
    unsigned long OnScreen(int x, int y) {
        XImage* shot = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
        if (shot == nullptr) return ~0ul;
        const unsigned long pixel = XGetPixel(shot, 0, 0);
        XDestroyImage(shot);
        return pixel;
    }
    // Every pixel of the window, row after row.
    std::vector<std::uint32_t> Pixels() {
        const int width = board.right + board.left, height = board.bottom + board.top;
        std::vector<std::uint32_t> pixels;
        XImage* shot = XGetImage(display, window, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                                 AllPlanes, ZPixmap);
        if (shot == nullptr) return pixels;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) pixels.push_back(static_cast<std::uint32_t>(XGetPixel(shot, x, y)));
        XDestroyImage(shot);
        return pixels;
    }
};

// How many window pixels of two pictures differ, and where the first is.
std::string Differences(const std::vector<std::uint32_t>& shown, const std::vector<std::uint32_t>& wanted,
                        int width) {
    if (shown.size() != wanted.size()) return "a window of " + std::to_string(shown.size()) + " pixels";
    std::size_t count = 0, first = 0;
    for (std::size_t i = shown.size(); i-- > 0;) {
        if (shown[i] != wanted[i]) ++count, first = i;
    }
    if (count == 0) return "";
    std::ostringstream out;
    out << count << " pixels differ, the first at " << first % width << "," << first / width << ": " << std::hex
        << shown[first] << " instead of " << wanted[first];
    return out.str();
}

// A scaled stage on a board that is no multiple of the scale, away from the
// window's corner, shows exactly what the blow-up on our side gives: each
// stage pixel (all of them different from their neighbours) an s x s block,
// black right and below the last whole block, the window's background
// around the board. So after the first frame, after a frame that changed a
// small rectangle (which sends only that rectangle: `sentPerPixel` pixels
// for each of its stage pixels), and after exposures of all of the window
// and of a piece of it. `toPixel` makes a canvas pixel the server's.
template <typename ToPixel>
void CheckBlownUpStage(PresentedWindow& p, int scale, std::uint64_t sentPerPixel, ToPixel toPixel) {
    const Rect board = p.board;
    const int width = board.right + board.left, height = board.bottom + board.top;
    const std::uint32_t background = toPixel(0xFF00FF);
    auto wanted = [&] {
        std::vector<std::uint32_t> blownUp(static_cast<std::size_t>(board.Width()) * board.Height(), 0);
        BlowUpPixels(p.canvas.Pixels(), p.canvas.Stride(), Rect{0, 0, p.canvas.Width(), p.canvas.Height()}, scale,
                     blownUp.data(), static_cast<std::size_t>(board.Width()));
        std::vector<std::uint32_t> window(static_cast<std::size_t>(width) * height, background);
        for (int y = 0; y < board.Height(); ++y)
            for (int x = 0; x < board.Width(); ++x)
                window[static_cast<std::size_t>(board.top + y) * width + board.left + x] =
                    toPixel(blownUp[static_cast<std::size_t>(y) * board.Width() + x]);
        return window;
    };
    auto served = [&] {
        XSync(p.display, False);
        p.TakeEvents();
        return !p.presenter->Busy();
    };
    ASSERT_EQ(p.canvas.Width(), board.Width() / scale);
    ASSERT_EQ(p.canvas.Height(), board.Height() / scale);
    for (int y = 0; y < p.canvas.Height(); ++y)
        for (int x = 0; x < p.canvas.Width(); ++x)
            p.canvas.FillRect(Rect{x, y, x + 1, y + 1}, Rgb((x * 37) & 255, (y * 53) & 255, (x * 11 + y * 29) & 255));
    p.Present();
    ASSERT_TRUE(served());
    EXPECT_EQ(Differences(p.Pixels(), wanted(), width), "") << "first frame";

    const std::uint64_t sent = p.presenter->PixelsSent();
    p.canvas.FillRect(Rect{7, 5, 10, 9}, Rgb(0, 255, 0));
    p.Present();
    EXPECT_EQ(p.presenter->PixelsSent() - sent, 12 * sentPerPixel);
    ASSERT_TRUE(served());
    EXPECT_EQ(Differences(p.Pixels(), wanted(), width), "") << "second frame";

    XClearArea(p.display, p.window, 0, 0, 0, 0, False);
    p.presenter->Repaint(Rect{0, 0, width, height});
    ASSERT_TRUE(served());
    EXPECT_EQ(Differences(p.Pixels(), wanted(), width), "") << "exposure of the window";

    // A piece of the board that starts and ends inside blocks, and a strip.
    const Rect piece{board.left + 5, board.top + 4, board.right - 1, board.bottom - 2};
    XClearArea(p.display, p.window, 0, 0, 0, 0, False);
    p.presenter->Repaint(piece);
    ASSERT_TRUE(served());
    std::vector<std::uint32_t> partly(static_cast<std::size_t>(width) * height, background);
    const std::vector<std::uint32_t> whole = wanted();
    for (int y = piece.top; y < piece.bottom; ++y)
        for (int x = piece.left; x < piece.right; ++x)
            partly[static_cast<std::size_t>(y) * width + x] = whole[static_cast<std::size_t>(y) * width + x];
    EXPECT_EQ(Differences(p.Pixels(), partly, width), "") << "exposure of a piece";
}

std::uint32_t Rgb24(std::uint32_t rgb) { return rgb; }

std::uint32_t Rgb565(std::uint32_t rgb) {
    return (((rgb >> 19) & 0x1F) << 11) | (((rgb >> 10) & 0x3F) << 5) | ((rgb >> 3) & 0x1F);
}

// The canvas draws into the shared image and the presenter sends exactly
// what the canvas reports: a frame that changed nothing sends nothing.
TEST_F(VemoX11, PresenterSendsOnlyTheChangedPixels) {
    PresentedWindow p(display_, root_);
    ASSERT_TRUE(p.presenter->UsesShm());
    ASSERT_NE(p.presenter->CanvasMemory(), nullptr);
    auto served = [&] {
        XSync(display_, False);
        p.TakeEvents();
        return !p.presenter->Busy();
    };
    p.Present();
    EXPECT_EQ(p.presenter->PixelsSent(), 64u * 48u);
    ASSERT_TRUE(served());
    p.canvas.FillRect(Rect{10, 10, 20, 15}, Rgb(0, 255, 0));
    p.Present();
    EXPECT_EQ(p.presenter->PixelsSent(), 64u * 48u + 50u);
    ASSERT_TRUE(served());
    const std::uint64_t puts = p.presenter->PutCount();
    p.canvas.FillRect(Rect{10, 10, 20, 15}, Rgb(0, 255, 0));
    p.Present();
    EXPECT_EQ(p.presenter->PutCount(), puts);
    EXPECT_FALSE(p.presenter->Busy());
    EXPECT_EQ(p.OnScreen(12, 12), 0x00FF00u);
    EXPECT_EQ(p.OnScreen(25, 12), 0u);
}

// The shared memory of the image and of the fence cannot outlive the
// process: it goes to the server as a file descriptor, which is not kept
// here, or else as System V segments marked for removal before the server
// attaches them (which Linux allows). Either way the frames show, and with
// the presenter the segments are gone.
TEST_F(VemoX11, PresenterSharesOnlyMemoryThatGoesWithIt) {
    auto descriptorsOfMemory = [] {
        int n = 0;
        std::error_code ec;
        for (std::filesystem::directory_iterator it("/proc/self/fd", ec), end; !ec && it != end; it.increment(ec))
            n += std::filesystem::read_symlink(it->path(), ec).string().find("/memfd:") == 0;
        return n;
    };
    for (const bool passFds : {true, false}) {
        SCOPED_TRACE(passFds ? "file descriptor" : "System V");
        {
            PresentedWindow p(display_, root_, passFds);
            ASSERT_TRUE(p.presenter->UsesShm());
            EXPECT_EQ(p.presenter->PassedFd(), passFds);
            EXPECT_EQ(descriptorsOfMemory(), 0);
            const std::vector<Segment> segments = SegmentsMadeBy(getpid());
            ASSERT_EQ(segments.size(), passFds ? 0u : 2u);
            for (const Segment& s : segments) {
                EXPECT_TRUE(s.removing) << "segment " << s.id;
                EXPECT_EQ(s.attached, 2) << "segment " << s.id;  // here and in the server
            }
            p.Present();
            p.canvas.FillRect(Rect{10, 10, 20, 15}, Rgb(0, 255, 0));
            XSync(display_, False);
            p.TakeEvents();
            ASSERT_FALSE(p.presenter->Busy());
            p.Present();
            XSync(display_, False);
            EXPECT_EQ(p.OnScreen(12, 12), 0x00FF00u);
            EXPECT_EQ(p.OnScreen(25, 12), 0u);
        }
        EXPECT_TRUE(SegmentsMadeBy(getpid()).empty());
    }
}

// The server says it has read a frame by filling a pixel of a shared pixmap:
// frames bring nothing back on the connection. A held-up server keeps the
// presenter busy, and a late frame asks for an event to wait on; so too
// where the server blows the stage up from a pixmap.
TEST_F(VemoX11, PresenterIsBusyUntilTheServerHasReadTheFrame) {
    Display* other = XOpenDisplay(DisplayString(display_));
    ASSERT_NE(other, nullptr);
    for (const int scale : {1, 3}) {
        SCOPED_TRACE("scale " + std::to_string(scale));
        PresentedWindow p(display_, root_, true, scale);
        ASSERT_NE(p.presenter->CanvasMemory(), nullptr);
        EXPECT_EQ(p.presenter->ScalesOnServer(), scale > 1);
        p.Present();
        XSync(display_, False);
        EXPECT_FALSE(p.presenter->Busy());
        EXPECT_EQ(XPending(display_), 0) << "a frame brought an event back";

        XGrabServer(other);
        XSync(other, False);
        p.canvas.FillRect(Rect{10, 10, 20, 15}, Rgb(0, 255, 0));
        p.Present();
        XFlush(display_);
        SleepMs(100);
        EXPECT_TRUE(p.presenter->Busy()) << "done before the server read the frame";
        EXPECT_FALSE(p.presenter->AwaitsEvent());
        p.presenter->AskWhenDone();
        EXPECT_TRUE(p.presenter->AwaitsEvent());
        XFlush(display_);
        SleepMs(50);
        EXPECT_TRUE(p.presenter->Busy());
        XUngrabServer(other);
        XSync(other, False);
        EXPECT_TRUE(WaitFor(
            [&] {
                p.TakeEvents();
                return !p.presenter->AwaitsEvent();
            },
            2s));
        EXPECT_FALSE(p.presenter->Busy());
        EXPECT_EQ(p.OnScreen(12 * scale, 12 * scale), 0x00FF00u);
    }
    XCloseDisplay(other);
}

// The server blows a scaled stage up: the canvas draws straight into the
// stage-sized shared image, and only stage pixels are sent.
TEST_F(VemoX11, PresenterHasTheServerBlowTheStageUp) {
    for (const int scale : {2, 3}) {
        SCOPED_TRACE("scale " + std::to_string(scale));
        PresentedWindow p(display_, root_, true, scale, Rect{9, 5, 9 + 101, 5 + 79}, 0xFF00FF);
        ASSERT_TRUE(p.presenter->ScalesOnServer());
        ASSERT_TRUE(p.presenter->PassedFd());
        ASSERT_NE(p.presenter->CanvasMemory(), nullptr);
        EXPECT_EQ(p.canvas.Pixels(), p.presenter->CanvasMemory());
        CheckBlownUpStage(p, scale, 1, Rgb24);
    }
}

// A 16-bit screen: the stage is converted into the stage-sized image, and
// blown up by the server all the same.
TEST_F(VemoX11Depth16, PresenterHasTheServerBlowAConvertedStageUp) {
    PresentedWindow p(display_, root_, true, 2, Rect{3, 2, 3 + 97, 2 + 61}, Rgb565(0xFF00FF));
    ASSERT_TRUE(p.presenter->ScalesOnServer());
    EXPECT_EQ(p.presenter->CanvasMemory(), nullptr);
    CheckBlownUpStage(p, 2, 1, Rgb565);
}

class VemoX11WithoutRender : public VemoX11 {
protected:
    std::vector<std::string> ServerOptions() const override { return {"-extension", "RENDER"}; }
};

// A server without RENDER gets the stage blown up on our side, into a
// window-sized image: the same pixels, s * s of them sent for a stage pixel.
TEST_F(VemoX11WithoutRender, PresenterBlowsTheStageUpItself) {
    PresentedWindow p(display_, root_, true, 3, Rect{9, 5, 9 + 101, 5 + 79}, 0xFF00FF);
    EXPECT_FALSE(p.presenter->ScalesOnServer());
    ASSERT_TRUE(p.presenter->UsesShm());
    EXPECT_EQ(p.presenter->CanvasMemory(), nullptr);
    CheckBlownUpStage(p, 3, 9, Rgb24);
}

}  // namespace
