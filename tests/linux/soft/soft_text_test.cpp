// Text on the software canvas: font resolution, metrics and the sign of the
// height, wiping by redrawing in black, clipping, line breaking and
// alignment as DrawText does them.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>

#include "soft_test_support.h"

using namespace softtest;

namespace {

constexpr std::uint32_t kYellow = 0xFFFF00;
constexpr ColorRef kYellowRef = Rgb(255, 255, 0);

SoftFace& FaceOf(const std::unique_ptr<Font>& font) {
    auto* soft = dynamic_cast<SoftFont*>(font.get());
    EXPECT_NE(soft, nullptr);
    EXPECT_TRUE(soft->IsValid());
    return *soft->Face();
}

// The rectangle the stage draws a text box into (left, centred or right
// aligned at x), two lines high.
Rect StageRect(SoftCanvas& c, const std::string& text, int x, int y, unsigned format) {
    const Size e = c.GetTextExtent(text);
    if (format & kDtCenter) return Rect{x - e.cx / 2, y, x + e.cx / 2 + 2, y + 2 * e.cy + 1};
    if (format & kDtRight) return Rect{x - e.cx - 1, y, x, y + 2 * e.cy + 1};
    return Rect{x, y, x + e.cx + 1, y + 2 * e.cy + 1};
}

// The pixels of `area` on `a` shifted by (dx, dy) equal those on `b`.
void ExpectSameShifted(const SoftCanvas& a, const Rect& area, const SoftCanvas& b, int dx, int dy) {
    int mismatches = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (a.PixelAt(x, y) != b.PixelAt(x + dx, y + dy)) ++mismatches;
    EXPECT_EQ(mismatches, 0);
}

}  // namespace

TEST(SoftFonts, WindowsFacesResolveToInstalledLookAlikes) {
    ASSERT_TRUE(Fonts().IsReady());
    auto sans = MakeFont(-15, "MS Sans Serif");
    auto arial = MakeFont(-22, "Arial", 700);
    auto serif = MakeFont(-15, "Times New Roman");
    EXPECT_EQ(FaceOf(sans).FamilyName(), "Liberation Sans Narrow");
    EXPECT_EQ(FaceOf(arial).FamilyName(), "Liberation Sans");
    EXPECT_NE(FaceOf(arial).FilePath().find("Bold"), std::string::npos) << FaceOf(arial).FilePath();
    EXPECT_EQ(FaceOf(serif).FamilyName(), "Liberation Serif");
    EXPECT_TRUE(std::filesystem::exists(FaceOf(sans).FilePath()));
    // An unknown face falls back on the family bits: 0x12 says roman.
    auto unknown = MakeFont(-15, "No Such Face Anywhere");
    EXPECT_NE(FaceOf(unknown).FamilyName().find("Serif"), std::string::npos) << FaceOf(unknown).FamilyName();
    // Italic without an italic file of its own still gives a valid font.
    auto italic = MakeFont(-12, "MS Sans Serif", 400, true);
    EXPECT_TRUE(italic->IsValid());
}

TEST(SoftFonts, TheTableFontKeepsFiguresAndClubNamesInsideTheirColumns) {
    // The board's columns stand 30 pixels apart, its name column 200.
    auto table = MakeFont(-18, "MS Sans Serif", 700);
    EXPECT_EQ(std::filesystem::path(FaceOf(table).FilePath()).filename(), "LiberationSansNarrow-Bold.ttf");
    SoftCanvas canvas(10, 10);
    canvas.SelectFont(table.get());
    EXPECT_EQ(canvas.GetTextExtent("+44").cx, 25);
    EXPECT_EQ(canvas.GetTextExtent("-17").cx, 21);
    EXPECT_EQ(canvas.GetTextExtent("100").cx, 24);
    EXPECT_EQ(canvas.GetTextExtent("38").cx, 16);
    EXPECT_EQ(canvas.GetTextExtent("Borussia M\xF6nchengladbach").cx, 195);
    EXPECT_EQ(canvas.GetTextExtent("+44").cy, 21);
    EXPECT_EQ(StandInNote(*table), "");
    EXPECT_EQ(StandInNote(*MakeFont(-15, "MS Sans Serif")), "");
    EXPECT_EQ(StandInNote(*MakeFont(-22, "Arial", 700)), "");
    LogFont lf;
    std::strcpy(lf.lfFaceName, "MS Sans Serif");
    EXPECT_EQ(StandInNote(SoftFont(lf, nullptr)), "no installed face can draw MS Sans Serif");
}

TEST(SoftFonts, AFaceOtherThanThePlannedStandInIsNamed) {
    // A fontconfig that knows DejaVu only, as on a machine without
    // fonts-liberation.
    const std::filesystem::path dejavu = std::filesystem::path(FaceOf(MakeFont(-15, "DejaVu Sans")).FilePath()).parent_path();
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("soft_fonts_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "fonts.conf") << "<?xml version=\"1.0\"?><fontconfig><dir>" << dejavu.string()
                                      << "</dir><cachedir>" << (dir / "cache").string() << "</cachedir></fontconfig>";
    setenv("FONTCONFIG_FILE", (dir / "fonts.conf").c_str(), 1);
    std::string note;
    {
        SoftFontFactory fonts;
        LogFont lf;
        lf.lfHeight = -18;
        lf.lfWeight = 700;
        std::strcpy(lf.lfFaceName, "MS Sans Serif");
        note = StandInNote(*fonts.CreateFontIndirect(lf));
    }
    unsetenv("FONTCONFIG_FILE");
    std::filesystem::remove_all(dir);
    EXPECT_EQ(note.substr(0, note.find(" (")), "MS Sans Serif is drawn with DejaVu Sans, not Liberation Sans Narrow");
}

TEST(SoftFonts, NegativeHeightIsTheEmPositiveTheCell) {
    auto character = MakeFont(-15, "Arial");
    auto cell = MakeFont(15, "Arial");
    SoftFace& c15 = FaceOf(character);
    SoftFace& p15 = FaceOf(cell);
    // Liberation Sans: win ascent 1854 and descent 434 of 2048 units.
    EXPECT_DOUBLE_EQ(c15.EmPixels(), 15.0);
    EXPECT_EQ(c15.Ascent(), 14);
    EXPECT_EQ(c15.Descent(), 3);
    EXPECT_EQ(c15.Height(), 17);
    EXPECT_EQ(p15.Height(), 15);
    EXPECT_NEAR(p15.EmPixels(), 15.0 * 2048 / (1854 + 434), 1e-9);

    SoftCanvas canvas(50, 50);
    canvas.SelectFont(character.get());
    EXPECT_EQ(canvas.GetTextExtent("Hg").cy, 17);
    canvas.SelectFont(cell.get());
    EXPECT_EQ(canvas.GetTextExtent("Hg").cy, 15);
    const int cellWidth = canvas.GetTextExtent("Hamburg").cx;
    canvas.SelectFont(character.get());
    EXPECT_LT(cellWidth, canvas.GetTextExtent("Hamburg").cx);
}

TEST(SoftFonts, ExtentIsTheSumOfAdvancesAndEmptyTextHasCellHeight) {
    auto font = MakeFont(-18, "MS Sans Serif", 700);
    SoftCanvas canvas(10, 10);
    EXPECT_EQ(canvas.GetTextExtent("abc"), (Size{0, 0}));  // nothing selected, no stock font
    canvas.SelectFont(font.get());
    const Size ab = canvas.GetTextExtent("AB");
    EXPECT_EQ(ab.cx, canvas.GetTextExtent("A").cx + canvas.GetTextExtent("B").cx);
    EXPECT_EQ(canvas.GetTextExtent(""), (Size{0, ab.cy}));
    // '&' is measured like any other byte; only DrawText reads it as a prefix.
    EXPECT_EQ(canvas.GetTextExtent("A&B").cx, ab.cx + canvas.GetTextExtent("&").cx);
    // ISO 8859-1: a byte above 0x7F is a character of its own.
    EXPECT_GT(canvas.GetTextExtent("\xF6").cx, 0);
    EXPECT_EQ(canvas.GetTextExtent("M\xF6nchen").cx,
              canvas.GetTextExtent("M").cx + canvas.GetTextExtent("\xF6").cx + canvas.GetTextExtent("nchen").cx);
}

TEST(SoftFonts, SelectingAnInvalidFontKeepsDrawingWithTheCurrentOne) {
    auto good = MakeFont(-15, "MS Sans Serif");
    LogFont lf;
    SoftFont broken(lf, nullptr);
    SoftCanvas canvas(10, 10);
    EXPECT_EQ(canvas.SelectFont(good.get()), nullptr);
    const Size before = canvas.GetTextExtent("Tor");
    EXPECT_EQ(canvas.SelectFont(&broken), good.get());
    EXPECT_EQ(canvas.GetTextExtent("Tor"), before);
    EXPECT_EQ(canvas.SelectFont(nullptr), &broken);
    EXPECT_EQ(canvas.GetTextExtent("Tor"), before);

    SoftCanvas stocked(10, 10, good.get());
    EXPECT_EQ(stocked.GetTextExtent("Tor"), before);
}

TEST(SoftText, GlyphsAreDrawnWithoutIntermediateShades) {
    auto font = MakeFont(-22, "Arial", 700);
    SoftCanvas canvas(300, 60);
    canvas.SelectFont(font.get());
    canvas.SetBkMode(kTransparent);
    canvas.SetTextColor(kYellowRef);
    canvas.DrawText("Mannschaft @ 1:0", Rect{0, 0, 300, 60}, kDtWordBreak);
    int ink = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 300; ++x) {
            const std::uint32_t p = canvas.PixelAt(x, y);
            ASSERT_TRUE(p == 0 || p == kYellow) << x << "," << y << " " << std::hex << p;
            ink += p == kYellow;
        }
    EXPECT_GT(ink, 200);
}

TEST(SoftText, DrawingAgainInBlackWipesEveryPixel) {
    struct Case {
        int height;
        const char* face;
        int weight;
        bool italic;
    };
    const Case fonts[] = {{-15, "MS Sans Serif", 400, false}, {-22, "Arial", 700, false},
                          {-18, "MS Sans Serif", 700, false}, {-12, "Times New Roman", 400, true},
                          {20, "DejaVu Sans", 400, false},     {-40, "Arial", 400, true}};
    const unsigned alignments[] = {0, kDtCenter, kDtRight};
    const std::string texts[] = {"Borussia M\xF6nchengladbach", "Pl.", "34:12", "Werder & Bremen", "W  i  d  e"};
    for (const Case& f : fonts) {
        auto font = MakeFont(f.height, f.face, f.weight, f.italic);
        for (unsigned align : alignments) {
            for (const std::string& text : texts) {
                SoftCanvas canvas(400, 120);
                canvas.SelectFont(font.get());
                canvas.SetBkMode(kTransparent);
                const unsigned format = kDtWordBreak | align;
                // A glide of a few frames: wipe at the old place, draw at the new.
                int x = 200, y = 20;
                canvas.SetTextColor(kYellowRef);
                canvas.DrawText(text, StageRect(canvas, text, x, y, format), format);
                ASSERT_GT(CountNot(canvas, 0), 0) << text;
                for (int step = 0; step < 6; ++step) {
                    canvas.SetTextColor(0);
                    canvas.DrawText(text, StageRect(canvas, text, x, y, format), format);
                    x += 3 - step;
                    y += step % 3;
                    canvas.SetTextColor(Rgb(20 * step, 255, 40));
                    canvas.DrawText(text, StageRect(canvas, text, x, y, format), format);
                }
                canvas.SetTextColor(0);
                canvas.DrawText(text, StageRect(canvas, text, x, y, format), format);
                EXPECT_EQ(CountNot(canvas, 0), 0)
                    << f.face << " " << f.height << " align " << align << " \"" << text << "\"";
            }
        }
    }
}

TEST(SoftText, NoPixelOutsideTheRectangleEverChanges) {
    auto big = MakeFont(-40, "Arial", 700, true);
    auto small = MakeFont(-15, "MS Sans Serif");
    const Rect rects[] = {{30, 20, 90, 45}, {-10, -10, 40, 30}, {150, 80, 260, 140}, {50, 50, 50, 90}, {70, 60, 60, 80}};
    const unsigned formats[] = {kDtWordBreak,
                                kDtWordBreak | kDtCenter,
                                kDtWordBreak | kDtRight,
                                kDtSingleLine | kDtVCenter | kDtCenter,
                                kDtSingleLine | kDtRight,
                                0};
    const std::string text = "Eintracht Frankfurt\nFortuna & D\xFCsseldorf WWWWWWWWWWWWWW jg";
    for (Font* font : {big.get(), small.get()}) {
        for (const Rect& r : rects) {
            for (unsigned format : formats) {
                for (int mode : {kTransparent, kOpaque}) {
                    SoftCanvas canvas(200, 120);
                    canvas.Clear(Rgb(0x40, 0x40, 0x40));
                    canvas.TakeChangedRects();
                    canvas.SelectFont(font);
                    canvas.SetBkMode(mode);
                    canvas.SetBkColor(Rgb(0, 0, 200));
                    canvas.SetTextColor(Rgb(255, 255, 255));
                    canvas.DrawText(text, r, format);
                    for (int y = 0; y < canvas.Height(); ++y) {
                        for (int x = 0; x < canvas.Width(); ++x) {
                            if (Inside(r, x, y)) continue;
                            ASSERT_EQ(canvas.PixelAt(x, y), 0x404040u)
                                << x << "," << y << " format " << format << " mode " << mode;
                        }
                    }
                }
            }
        }
    }
}

TEST(SoftText, WordBreakPutsTheRestOnASecondLine) {
    auto font = MakeFont(-18, "MS Sans Serif", 700);
    SoftCanvas canvas(300, 80), first(300, 80), second(300, 80);
    for (SoftCanvas* c : {&canvas, &first, &second}) {
        c->SelectFont(font.get());
        c->SetBkMode(kTransparent);
        c->SetTextColor(kYellowRef);
    }
    const Size whole = canvas.GetTextExtent("Hertha Berlin");
    const int cy = whole.cy;
    // One pixel short of the whole text, two lines and one pixel high: the
    // stage's rectangle when the measure and the drawing disagree.
    const Rect r{10, 5, 10 + whole.cx - 1, 5 + 2 * cy + 1};
    canvas.DrawText("Hertha Berlin", r, kDtWordBreak);
    // Left aligned, the blank that fits stays on the first line.
    first.DrawText("Hertha ", Rect{10, 5, 300, 80}, kDtSingleLine);
    second.DrawText("Berlin", Rect{10, 5 + cy, 300, 80}, kDtSingleLine);
    ExpectSameShifted(canvas, Rect{0, 0, 300, 5 + cy}, first, 0, 0);
    ExpectSameShifted(canvas, Rect{0, 5 + cy, 300, 80}, second, 0, 0);
    EXPECT_GT(CountNot(canvas, 0, Rect{0, 5 + cy, 300, 5 + 2 * cy}), 0);

    // Centred: the second line is centred on its own width.
    SoftCanvas centred(300, 80), alone(300, 80);
    for (SoftCanvas* c : {&centred, &alone}) {
        c->SelectFont(font.get());
        c->SetBkMode(kTransparent);
        c->SetTextColor(kYellowRef);
    }
    centred.DrawText("Hertha Berlin", r, kDtWordBreak | kDtCenter);
    const int w = alone.GetTextExtent("Berlin").cx;
    alone.DrawText("Berlin", Rect{(r.left + r.right - w) / 2, 5 + cy, 300, 80}, kDtSingleLine);
    ExpectSameShifted(centred, Rect{0, 5 + cy, 300, 80}, alone, 0, 0);
}

TEST(SoftText, AWordTooLongForTheLineStaysWholeOnItsOwnLine) {
    auto font = MakeFont(-15, "MS Sans Serif");
    SoftCanvas canvas(300, 80), expected(300, 80);
    for (SoftCanvas* c : {&canvas, &expected}) {
        c->SelectFont(font.get());
        c->SetBkMode(kTransparent);
        c->SetTextColor(kYellowRef);
    }
    const int cy = canvas.GetTextExtent("x").cy;
    const Rect r{5, 5, 5 + canvas.GetTextExtent("Tor").cx + 2, 5 + 3 * cy};
    canvas.DrawText("Tor Meisterschaftsrunde Ja", r, kDtWordBreak);
    expected.DrawText("Tor", Rect{5, 5, 300, 80}, kDtSingleLine);
    expected.DrawText("Meisterschaftsrunde", Rect{5, 5 + cy, 300, 80}, kDtSingleLine);
    expected.DrawText("Ja", Rect{5, 5 + 2 * cy, 300, 80}, kDtSingleLine);
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 300; ++x)
            ASSERT_EQ(canvas.PixelAt(x, y), Inside(r, x, y) ? expected.PixelAt(x, y) : 0u) << x << "," << y;
    // The long word is really cut at the right edge.
    EXPECT_GT(CountNot(expected, 0, Rect{r.right, 5 + cy, 300, 5 + 2 * cy}), 0);
}

TEST(SoftText, LineBreaksStartLinesUnlessSingleLine) {
    auto font = MakeFont(-15, "MS Sans Serif");
    auto render = [&](const std::string& text, unsigned format) {
        auto c = std::make_unique<SoftCanvas>(200, 100);
        c->SelectFont(font.get());
        c->SetBkMode(kTransparent);
        c->SetTextColor(kYellowRef);
        c->DrawText(text, Rect{0, 0, 200, 100}, format);
        return c;
    };
    auto twoLines = render("Eins\nZwei", kDtWordBreak);
    auto crlf = render("Eins\r\nZwei", kDtWordBreak);
    auto lfcr = render("Eins\n\rZwei", kDtWordBreak);
    auto crcr = render("Eins\r\rZwei", kDtWordBreak);
    auto expected = render("Eins", kDtSingleLine);
    const int cy = expected->GetTextExtent("x").cy;
    auto line2 = render("Zwei", kDtSingleLine);
    for (auto* c : {twoLines.get(), crlf.get(), lfcr.get()}) {
        ExpectSameShifted(*c, Rect{0, 0, 200, cy}, *expected, 0, 0);
        ExpectSameShifted(*c, Rect{0, cy, 200, 2 * cy}, *line2, 0, -cy);
        EXPECT_EQ(CountNot(*c, 0, Rect{0, 2 * cy, 200, 100}), 0);
    }
    // Two carriage returns are two line ends: an empty line in between.
    EXPECT_EQ(CountNot(*crcr, 0, Rect{0, cy, 200, 2 * cy}), 0);
    ExpectSameShifted(*crcr, Rect{0, 2 * cy, 200, 3 * cy}, *line2, 0, -2 * cy);
    // Single line: everything on the first line.
    auto single = render("Eins\nZwei", kDtSingleLine);
    EXPECT_EQ(CountNot(*single, 0, Rect{0, cy, 200, 100}), 0);
    EXPECT_GT(CountNot(*single, 0, Rect{single->GetTextExtent("Eins").cx + 1, 0, 200, cy}), 0);
}

TEST(SoftText, AlignmentPlacesTheLineWithinTheRectangle) {
    auto font = MakeFont(-22, "Arial", 700);
    auto render = [&](const Rect& r, unsigned format) {
        auto c = std::make_unique<SoftCanvas>(300, 100);
        c->SelectFont(font.get());
        c->SetBkMode(kTransparent);
        c->SetTextColor(kYellowRef);
        c->DrawText("Tabelle", r, format);
        return c;
    };
    const Rect wide{20, 10, 281, 90};
    auto left = render(Rect{0, 0, 300, 100}, kDtSingleLine);
    const Size e = left->GetTextExtent("Tabelle");
    auto centred = render(wide, kDtWordBreak | kDtCenter);
    ExpectSameShifted(*left, Rect{0, 0, 300, 100}, *centred, (wide.left + wide.right - e.cx) / 2, 10);
    auto right = render(wide, kDtWordBreak | kDtRight);
    ExpectSameShifted(*left, Rect{0, 0, 300, 100}, *right, wide.right - e.cx, 10);
    auto middle = render(wide, kDtSingleLine | kDtVCenter | kDtCenter);
    ExpectSameShifted(*left, Rect{0, 0, 300, 100}, *middle, (wide.left + wide.right - e.cx) / 2,
                      10 + (wide.bottom - wide.top) / 2 - e.cy / 2);
    auto bottom = render(wide, kDtSingleLine | kSoftDtBottom);
    ExpectSameShifted(*left, Rect{0, 0, 300, 100}, *bottom, 20, wide.bottom - e.cy);
}

TEST(SoftText, OpaqueModeFillsTheLineCellWithTheBackgroundColour) {
    auto font = MakeFont(-15, "MS Sans Serif");
    SoftCanvas canvas(200, 60);
    canvas.SelectFont(font.get());
    canvas.SetTextColor(kYellowRef);
    canvas.SetBkColor(Rgb(0, 0, 255));
    EXPECT_EQ(canvas.BkMode(), kOpaque);  // a fresh context is opaque
    const Size e = canvas.GetTextExtent("Punkte");
    canvas.DrawText("Punkte", Rect{10, 10, 190, 50}, kDtWordBreak);
    int ink = 0, background = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 200; ++x) {
            const std::uint32_t p = canvas.PixelAt(x, y);
            if (Inside(Rect{10, 10, 10 + e.cx, 10 + e.cy}, x, y)) {
                ASSERT_TRUE(p == kYellow || p == 0x0000FF) << x << "," << y;
                ink += p == kYellow;
                background += p == 0x0000FF;
            } else {
                ASSERT_EQ(p, 0u) << x << "," << y;
            }
        }
    EXPECT_GT(ink, 0);
    EXPECT_GT(background, ink);
}

TEST(SoftText, AmpersandUnderlinesTheNextCharacterUnlessNoPrefix) {
    auto font = MakeFont(-15, "MS Sans Serif");
    auto render = [&](const std::string& text, unsigned format) {
        auto c = std::make_unique<SoftCanvas>(200, 40);
        c->SelectFont(font.get());
        c->SetBkMode(kTransparent);
        c->SetTextColor(kYellowRef);
        c->DrawText(text, Rect{0, 0, 200, 40}, format);
        return c;
    };
    auto prefixed = render("A&Bc", kDtWordBreak);
    auto plain = render("ABc", kDtWordBreak);
    auto& face = *dynamic_cast<SoftFont&>(*font).Face();
    const int underscoreRow = face.Ascent() + 1;
    const int a = face.Advance('A'), b = face.Advance('B');
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 200; ++x) {
            const bool underscore = y == underscoreRow && x >= a && x < a + b - 1;
            ASSERT_EQ(prefixed->PixelAt(x, y), underscore ? kYellow : plain->PixelAt(x, y)) << x << "," << y;
        }
    // "&&" is one ampersand, as is any '&' with kSoftDtNoPrefix; a final '&' stays.
    auto doubled = render("A&&B", kDtWordBreak);
    auto literal = render("A&B", kDtWordBreak | kSoftDtNoPrefix);
    EXPECT_EQ(Snapshot(*doubled), Snapshot(*literal));
    auto trailing = render("AB&", kDtWordBreak);
    auto trailingLiteral = render("AB&", kDtWordBreak | kSoftDtNoPrefix);
    EXPECT_EQ(Snapshot(*trailing), Snapshot(*trailingLiteral));
}

TEST(SoftText, NothingIsDrawnForEmptyTextOrWithoutAFont) {
    auto font = MakeFont(-15, "MS Sans Serif");
    SoftCanvas canvas(50, 50);
    canvas.SetTextColor(kYellowRef);
    canvas.DrawText("Tor", Rect{0, 0, 50, 50}, kDtWordBreak);
    EXPECT_EQ(CountNot(canvas, 0), 0);
    canvas.SelectFont(font.get());
    canvas.DrawText("", Rect{0, 0, 50, 50}, kDtWordBreak);
    EXPECT_EQ(CountNot(canvas, 0), 0);
    EXPECT_TRUE(canvas.TakeChangedRects().empty());
}

TEST(SoftText, RectanglesAtTheEndsOfTheCoordinateRangeDrawNothing) {
    auto font = MakeFont(-15, "MS Sans Serif");
    SoftCanvas canvas(40, 40);
    canvas.SelectFont(font.get());
    canvas.SetTextColor(kYellowRef);
    constexpr int kMax = std::numeric_limits<int>::max();
    constexpr int kMin = std::numeric_limits<int>::min();
    const unsigned formats[] = {kDtWordBreak, kDtWordBreak | kDtCenter, kDtWordBreak | kDtRight,
                                kDtSingleLine | kDtVCenter, kDtSingleLine | kSoftDtBottom};
    const Rect rects[] = {{kMax - 5, kMax - 5, kMax, kMax}, {kMin, kMin, kMin + 5, kMin + 5}, {kMin, kMin, kMax, kMax},
                          {kMin, 10, kMin + 3, kMax}, {kMax - 20, kMin, kMax, kMin + 40}};
    for (const Rect& r : rects)
        for (unsigned format : formats)
            for (int mode : {kTransparent, kOpaque}) {
                canvas.SetBkMode(mode);
                canvas.DrawText("Eins Zwei\nDrei & Vier", r, format);
            }
    // Only the rectangle spanning everything may draw, and only its first
    // lines, at the far top left of the range: nowhere near the canvas.
    EXPECT_EQ(CountNot(canvas, 0), 0);
    canvas.FillRect(Rect{kMin, kMin, kMax, kMax}, Rgb(1, 2, 3));
    EXPECT_EQ(CountNot(canvas, 0x010203), 0);
}

TEST(SoftText, UnderlineAndStrikeOutSpanTheWholeLine) {
    LogFont lf;
    lf.lfHeight = -20;
    lf.lfWeight = 400;
    lf.lfUnderline = 1;
    lf.lfStrikeOut = 1;
    std::strcpy(lf.lfFaceName, "Arial");
    auto font = Fonts().CreateFontIndirect(lf);
    SoftFace& face = FaceOf(font);
    ASSERT_TRUE(face.Underline());
    ASSERT_TRUE(face.StrikeOut());
    SoftCanvas canvas(200, 60);
    canvas.SelectFont(font.get());
    canvas.SetBkMode(kTransparent);
    canvas.SetTextColor(kYellowRef);
    const int width = canvas.GetTextExtent("i i").cx;
    canvas.DrawText("i i", Rect{10, 5, 190, 55}, kDtWordBreak);
    const int baseline = 5 + face.Ascent();
    for (int row : {baseline + face.UnderlineTop(), baseline + face.StrikeOutTop()}) {
        for (int x = 0; x < 200; ++x)
            ASSERT_EQ(canvas.PixelAt(x, row), (x >= 10 && x < 10 + width) ? kYellow : 0u) << x << "," << row;
    }
    EXPECT_GT(face.UnderlineTop(), 0);   // below the baseline
    EXPECT_LT(face.StrikeOutTop(), 0);   // above it
    canvas.SetTextColor(0);
    canvas.DrawText("i i", Rect{10, 5, 190, 55}, kDtWordBreak);
    EXPECT_EQ(CountNot(canvas, 0), 0);
}

TEST(SoftFonts, AverageWidthScalesTheGlyphsHorizontally) {
    LogFont lf;
    lf.lfHeight = -20;
    std::strcpy(lf.lfFaceName, "Arial");
    auto natural = Fonts().CreateFontIndirect(lf);
    lf.lfWidth = 20;
    auto wide = Fonts().CreateFontIndirect(lf);
    lf.lfWidth = 4;
    auto narrow = Fonts().CreateFontIndirect(lf);
    SoftCanvas canvas(10, 10);
    canvas.SelectFont(natural.get());
    const Size n = canvas.GetTextExtent("Meisterschaft");
    canvas.SelectFont(wide.get());
    const Size w = canvas.GetTextExtent("Meisterschaft");
    canvas.SelectFont(narrow.get());
    const Size s = canvas.GetTextExtent("Meisterschaft");
    EXPECT_GT(w.cx, n.cx * 3 / 2);
    EXPECT_LT(s.cx, n.cx * 3 / 4);
    EXPECT_EQ(w.cy, n.cy);
    EXPECT_EQ(s.cy, n.cy);
}

// Glyphs are inked eight pixels a step where the processor allows, else a
// run at a time. Both must leave the same pixels and report exactly the
// pixels that changed: over backgrounds that already hold some of the ink,
// clipped at every side and at columns inside a glyph, with glyphs wider
// than 64 pixels, and drawn again where they are.
TEST(SoftText, BothWaysOfInkingGiveTheSamePixelsAndReportExactlyTheChange) {
    const WideStepsBack back;
    if (!SoftCanvas::SetWideSteps(true)) GTEST_SKIP() << "the processor has no AVX2";
    const std::unique_ptr<Font> fonts[] = {MakeFont(-15, "MS Sans Serif"), MakeFont(-22, "Arial", 700, true),
                                           MakeFont(-130, "Arial", 700)};
    struct Draw {
        int font;
        const char* text;
        Rect rect;
        unsigned format;
    };
    const Draw draws[] = {
        {0, "Borussia 1-0 Mainz", Rect{3, 4, 190, 60}, kDtWordBreak},
        {0, "Borussia 1-0 Mainz", Rect{3, 4, 190, 60}, kDtWordBreak},  // again: no change
        {1, "Eintracht Frankfurt", Rect{-7, -5, 117, 23}, kDtWordBreak},
        {1, "Wolfsburg", Rect{150, 90, 213, 123}, kDtWordBreak},
        {1, "Hertha BSC", Rect{23, 61, 77, 80}, kDtSingleLine},
        {2, "WM", Rect{-41, -30, 230, 140}, kDtWordBreak | kDtCenter},
        {2, "W", Rect{13, 2, 91, 117}, kDtSingleLine},  // clipped inside the glyph
    };
    constexpr int kW = 200, kH = 120;
    std::vector<std::uint32_t> result[2];
    for (int way = 0; way < 2; ++way) {
        ASSERT_EQ(SoftCanvas::SetWideSteps(way == 0), way == 0);
        SoftCanvas c(kW, kH);
        // Stripes of the ink's colours and of another, so that some pixels
        // of each draw are ink already.
        for (int y = 0; y < kH; y += 3) c.FillRect(Rect{y % 7, y, kW, y + 2}, y % 2 ? Rgb(255, 255, 0) : Rgb(9, 9, 9));
        c.TakeChangedRects();
        c.SetBkMode(kTransparent);
        for (std::size_t i = 0; i < std::size(draws); ++i) {
            const Draw& d = draws[i];
            c.SelectFont(fonts[d.font].get());
            c.SetTextColor(d.font == 2 ? Rgb(9, 9, 9) : Rgb(255, 255, 0));
            const std::vector<std::uint32_t> before = Snapshot(c);
            c.DrawText(d.text, d.rect, d.format);
            const std::vector<std::uint32_t> after = Snapshot(c);
            Rect change{kW, kH, 0, 0};
            for (int y = 0; y < kH; ++y)
                for (int x = 0; x < kW; ++x)
                    if (before[static_cast<std::size_t>(y * kW + x)] != after[static_cast<std::size_t>(y * kW + x)])
                        change = Rect{std::min(change.left, x), std::min(change.top, y), std::max(change.right, x + 1),
                                      std::max(change.bottom, y + 1)};
            const std::vector<Rect> reported = c.TakeChangedRects();
            if (change.IsEmpty()) {
                EXPECT_TRUE(reported.empty()) << "way " << way << ", draw " << i;
                continue;
            }
            ASSERT_EQ(reported.size(), 1u) << "way " << way << ", draw " << i;
            EXPECT_EQ(reported[0].left, change.left) << "way " << way << ", draw " << i;
            EXPECT_EQ(reported[0].top, change.top) << "way " << way << ", draw " << i;
            EXPECT_EQ(reported[0].right, change.right) << "way " << way << ", draw " << i;
            EXPECT_EQ(reported[0].bottom, change.bottom) << "way " << way << ", draw " << i;
        }
        result[way] = Snapshot(c);
    }
    EXPECT_EQ(result[0], result[1]);
}
