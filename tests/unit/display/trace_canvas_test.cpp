#include "display/trace_canvas.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "acquire/standings_table.h"
#include "display/board.h"
#include "display/board_layout.h"
#include "display_test_support.h"

namespace {

using namespace displaytest;

TEST(TraceCanvas, LinesForEachDrawingOperation) {
    std::string out;
    TraceCanvas trace(nullptr, out);
    trace.SetBkColor(0x123456);
    trace.SetBkMode(kTransparent);
    trace.DrawText("before any colour", Rect{0, 0, 1, 1}, 0);
    trace.SetTextColor(Rgb(0x12, 0x34, 0x56));
    trace.DrawText("abc", Rect{1, -2, 30, 41}, kDtWordBreak | kDtCenter);
    trace.FillRect(Rect{-5, 6, 7, 8}, Rgb(255, 0, 16));
    trace.WriteLine("frame 3 boxes=2");
    trace.DrawText("", Rect{0, 0, 0, 0}, 18);
    EXPECT_EQ(out,
              "text 0 0 1 1 #000000 0 \"before any colour\"\n"
              "text 1 -2 30 41 #123456 17 \"abc\"\n"
              "fill -5 6 7 8 #FF0010\n"
              "frame 3 boxes=2\n"
              "text 0 0 0 0 #123456 18 \"\"\n");
}

TEST(TraceCanvas, TextIsEscapedByteForByte) {
    const std::string text = std::string("a\\b\"c\td\ne\rf") + '\x01' + '\x1f' + ' ' + '~' + '\x7f' + '\x80' +
                             '\xe9' + '\xff' + std::string(1, '\0') + "z";
    EXPECT_EQ(TraceCanvas::EscapeText(text), "a\\\\b\\\"c\\td\\ne\\rf\\x01\\x1F ~\\x7F\\x80\\xE9\\xFF\\x00z");
    EXPECT_EQ(TraceCanvas::ColorText(Rgb(1, 2, 3)), "#010203");
    EXPECT_EQ(TraceCanvas::ColorText(0xFF000000u | Rgb(0xFE, 0, 0xA)), "#FE000A");
    std::ostringstream stream;
    TraceCanvas trace(nullptr, stream);
    trace.SetTextColor(Rgb(0xAB, 0xCD, 0xEF));
    trace.DrawText("M\xfcller \"1\"", Rect{1, 2, 3, 4}, 16);
    EXPECT_EQ(stream.str(), "text 1 2 3 4 #ABCDEF 16 \"M\\xFCller \\\"1\\\"\"\n");
}

TEST(TraceCanvas, PictureLinesNameTheResourceAndTheSourceTopDown) {
    MemoryResourceStore store;
    store.bitmaps[148] = MakePacked8(144, 48);
    ScopedStore scope(&store);
    DibImage strip;
    ASSERT_TRUE(strip.LoadFromResource(148));
    DibImage anonymous;
    const auto bytes = MakePacked8(20, 20);
    ASSERT_TRUE(anonymous.LoadFromPacked(bytes.data(), bytes.size()));

    std::string out;
    TraceCanvas trace(nullptr, out);
    EXPECT_EQ(strip.PaintSection(trace, Rect{10, 10, 58, 58}, Rect{48, 0, 96, 48}), 48);
    EXPECT_EQ(strip.PaintSection(trace, Rect{0, 0, 20, 20}, Rect{5, 10, 25, 30}), 20);
    anonymous.PaintAt(trace, 5, 7);
    EXPECT_EQ(out,
              "image 148 10 10 58 58 48 0 96 48\n"
              "image 148 0 0 20 20 5 10 25 30\n"
              "stretch 0 5 7 25 27\n");
}

TEST(TraceCanvas, FixedMetricWithoutACanvas) {
    CountingFontFactory fonts;
    std::string out;
    TraceCanvas trace(nullptr, out);
    EXPECT_EQ(trace.GetTextExtent("abc"), (Size{24, 16}));
    LogFont lf;
    lf.lfHeight = -15;
    auto f15 = fonts.CreateFontIndirect(lf);
    lf.lfHeight = 22;
    auto f22 = fonts.CreateFontIndirect(lf);
    lf.lfHeight = 0;
    auto f0 = fonts.CreateFontIndirect(lf);
    EXPECT_EQ(trace.SelectFont(f15.get()), nullptr);
    EXPECT_EQ(trace.GetTextExtent("abc"), (Size{24, 15}));
    EXPECT_EQ(trace.SelectFont(f22.get()), f15.get());
    EXPECT_EQ(trace.GetTextExtent("abcd"), (Size{44, 22}));
    EXPECT_EQ(trace.GetTextExtent(""), (Size{0, 22}));
    trace.SelectFont(f0.get());
    EXPECT_EQ(trace.GetTextExtent("a"), (Size{8, 16}));
    EXPECT_TRUE(out.empty());
}

TEST(TraceCanvas, PassesEverythingToTheWrappedCanvas) {
    CountingFontFactory fonts;
    auto font = fonts.CreateFontIndirect(LogFont{});
    auto other = fonts.CreateFontIndirect(LogFont{});
    RecordingCanvas inner;
    inner.selected = other.get();
    inner.sectionResult = 5;
    std::string out;
    TraceCanvas trace(&inner, out);
    EXPECT_EQ(trace.SelectFont(font.get()), other.get());
    trace.SetTextColor(0x0000FF);
    trace.SetBkColor(7);
    trace.SetBkMode(kOpaque);
    EXPECT_EQ(trace.GetTextExtent("abcd"), inner.GetTextExtent("abcd"));
    trace.DrawText("x", Rect{1, 2, 3, 4}, 16);
    trace.FillRect(Rect{5, 6, 7, 8}, 9);
    const auto bytes = MakePacked8(10, 10);
    DibImage image;
    ASSERT_TRUE(image.LoadFromPacked(bytes.data(), bytes.size()));
    EXPECT_EQ(image.PaintSection(trace, Rect{0, 0, 10, 10}, Rect{0, 0, 10, 10}), 5);
    image.PaintStretched(trace, 0, 0, 3, 3);
    ASSERT_EQ(inner.ops.size(), 8u);
    EXPECT_EQ(inner.ops[0].kind, Op::Select);
    EXPECT_EQ(inner.ops[0].font, font.get());
    EXPECT_EQ(inner.ops[1].kind, Op::TextColor);
    EXPECT_EQ(inner.ops[2].kind, Op::BkColor);
    EXPECT_EQ(inner.ops[2].color, 7u);
    EXPECT_EQ(inner.ops[3].kind, Op::BkMode);
    EXPECT_EQ(inner.ops[3].format, static_cast<unsigned>(kOpaque));
    EXPECT_EQ(inner.ops[4].kind, Op::Text);
    EXPECT_EQ(inner.ops[4].color, 0x0000FFu);
    EXPECT_EQ(inner.ops[5].kind, Op::Fill);
    EXPECT_EQ(inner.ops[6].kind, Op::Section);
    EXPECT_EQ(inner.ops[7].kind, Op::Stretch);
    EXPECT_EQ(inner.ops[7].srcW, 10);
    EXPECT_EQ(out,
              "text 1 2 3 4 #FF0000 16 \"x\"\n"
              "fill 5 6 7 8 #090000\n"
              "image 0 0 0 10 10 0 0 10 10\n"
              "stretch 0 0 0 3 3\n");
}

// The whole board played on the trace alone, as the render tool does it.
std::string TraceBoard(unsigned seed, int frames) {
    CountingFontFactory fonts;
    MemoryResourceStore store;
    AddBoardPictures(store);
    ScopedStore scope(&store);
    StandingsTable table;
    for (int i = 0; i < 19; ++i) {
        StandingsRow r;
        r[2] = i == 0 ? "Team" : "Club " + std::to_string(i) + " \xe9t\xe9";
        for (int c = 3; c < 11; ++c) r[c] = std::to_string(i * c % 37);
        table.Add(r);
    }
    BoardContent content{table, "Not connected to the internet", BoardTitleForChampionship("ger")};
    BoardLayout layout(fonts);
    layout.bounds = Rect{0, 0, 1024, 768};
    layout.SeedRandom(seed);
    std::string out;
    TraceCanvas trace(nullptr, out);
    for (int frame = 0; frame < frames; ++frame) {
        const int boxes = ComposeBoard(layout, trace, content);
        trace.WriteLine("frame " + std::to_string(frame) + " boxes=" + std::to_string(boxes));
    }
    return out;
}

std::uint64_t Fnv1a(const std::string& s) {
    std::uint64_t h = 1469598103934665603ull;
    for (unsigned char c : s) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

TEST(TraceCanvas, BoardTraceIsTheSameOnEveryRunAndPlatform) {
    const std::string a = TraceBoard(42, 1100);
    const std::string b = TraceBoard(42, 1100);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, TraceBoard(43, 1100));
    // The first frame only builds; the second draws the first scene.
    EXPECT_EQ(a.substr(0, a.find('\n')), "frame 0 boxes=0");
    const std::size_t second = a.find("frame 1 boxes=");
    ASSERT_NE(second, std::string::npos);
    const int boxes = std::stoi(a.substr(second + 14));
    const int flyers2 = boxes - (6 + 27 * 19);  // title 2, ball 2, status, web; 3 a cell
    EXPECT_TRUE(flyers2 >= 0 && flyers2 <= 48 && flyers2 % 2 == 0) << boxes;
    EXPECT_NE(a.find("\"Club 3 \\xE9t\\xE9\""), std::string::npos);
    EXPECT_NE(a.find("\"Germany\""), std::string::npos);
    EXPECT_NE(a.find("\"www.scorvane.example\""), std::string::npos);
    EXPECT_NE(a.find("\nimage 148 "), std::string::npos);
    // A golden value: the same on the native build and under Wine.
    EXPECT_EQ(a.size(), 7032290u);
    EXPECT_EQ(Fnv1a(a), 11092796551163797993ull);
}

}  // namespace
