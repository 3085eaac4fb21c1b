// Repeated draws: a text or picture drawn again where it already stands is
// left out and reports nothing, and leaving it out never changes a pixel.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "acquire/fetch_standings.h"
#include "acquire/http_client.h"
#include "acquire/standings_extractor.h"
#include "acquire/standings_table.h"
#include "display/board.h"
#include "display/board_layout.h"
#include "res/embedded_resources.h"
#include "soft_test_support.h"

using namespace softtest;

namespace {

class PageBody : public HttpClient {
public:
    explicit PageBody(std::string body) : body_(std::move(body)) {}
    int Get(const std::string&, int, const std::string&, std::string& body) override {
        body = body_;
        return 200;
    }

private:
    std::string body_;
};

bool SamePixels(const SoftCanvas& a, const SoftCanvas& b) {
    for (int y = 0; y < a.Height(); ++y) {
        if (std::memcmp(a.Pixels() + y * a.Stride(), b.Pixels() + y * b.Stride(), 4 * static_cast<std::size_t>(a.Width())) != 0)
            return false;
    }
    return true;
}

}  // namespace

TEST(SoftSkip, ATextDrawnAgainReportsNothingUntilSomethingIsDrawnOverIt) {
    auto font = MakeFont(-18, "MS Sans Serif", 700);
    SoftCanvas c(200, 60);
    c.SelectFont(font.get());
    c.SetBkMode(kTransparent);
    c.SetTextColor(Rgb(200, 40, 40));
    const Rect box{10, 5, 150, 45};
    c.DrawText("Hamburg", box, kDtWordBreak);
    ASSERT_FALSE(c.TakeChangedRects().empty());
    const std::vector<std::uint32_t> drawn = Snapshot(c);

    // An idle frame: the same text, colour and place again.
    c.DrawText("Hamburg", box, kDtWordBreak);
    EXPECT_TRUE(c.TakeChangedRects().empty());
    EXPECT_EQ(c.SkippedDraws(), 1u);

    // A fill over the first letters; the text drawn again must come back.
    c.FillRect(Rect{0, 0, 30, 60}, 0);
    c.TakeChangedRects();
    c.DrawText("Hamburg", box, kDtWordBreak);
    EXPECT_EQ(c.SkippedDraws(), 1u);
    EXPECT_EQ(Snapshot(c), drawn);
    EXPECT_FALSE(c.TakeChangedRects().empty());

    // Another colour is another draw.
    c.SetTextColor(Rgb(0, 0, 0));
    c.DrawText("Hamburg", box, kDtWordBreak);
    EXPECT_EQ(c.SkippedDraws(), 1u);
    EXPECT_EQ(CountNot(c, 0), 0);
}

TEST(SoftSkip, APictureDrawnAgainReportsNothingAndOnlyChangedPixelsAreReported) {
    // 4 x 2, the right half red, the left half black like the canvas.
    auto picture = MakeDib(4, 2, 8, {0x000000, 0xFF0000}, {0, 0, 1, 1, 0, 0, 1, 1});
    SoftCanvas c(20, 10);
    c.TakeChangedRects();
    c.SetDIBitsToDevice(5, 3, 4, 2, 0, 0, *picture);
    EXPECT_EQ(c.TakeChangedRects(), (std::vector<Rect>{Rect{7, 3, 9, 5}}));
    c.SetDIBitsToDevice(5, 3, 4, 2, 0, 0, *picture);
    EXPECT_TRUE(c.TakeChangedRects().empty());
    EXPECT_EQ(c.SkippedDraws(), 1u);
}

TEST(SoftSkip, UseMemoryDrawsIntoTheGivenRowsAndLeavesThePaddingAlone) {
    std::vector<std::uint32_t> memory(8 * 4, 0xABCDEFu);  // 4 rows of 8 words, 6 of them pixels
    SoftCanvas c(1, 1);
    c.UseMemory(memory.data(), 6, 4, 8);
    EXPECT_EQ(c.Width(), 6);
    EXPECT_EQ(c.Stride(), 8u);
    c.FillRect(Rect{0, 0, 100, 100}, Rgb(1, 2, 3));
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 8; ++x) EXPECT_EQ(memory[y * 8 + x], x < 6 ? 0x010203u : 0xABCDEFu) << x << "," << y;
    }
}

// A few hundred frames of real scenes on two canvases, one leaving repeated
// draws out and one drawing everything: the same pixels and the same
// reported rectangles after every frame.
TEST(SoftSkip, BoardFramesAreTheSameWithAndWithoutTheSkip) {
    InstallEmbeddedResources();
    StandingsExtractor::ResetSharedState();
    theStandings.RemoveAll();
    std::ifstream in(std::filesystem::path(SCORVANE_FIXTURES_DIR) / "golden" / "ger_standings.html", std::ios::binary);
    std::ostringstream page;
    page << in.rdbuf();
    PageBody body(page.str());
    ASSERT_TRUE(FetchStandings(body, "http://page/"));
    ASSERT_EQ(theStandings.GetSize(), 21);
    const BoardContent content{theStandings, "Not connected to the internet", BoardTitleForChampionship("ger")};

    for (unsigned seed : {3u, 11u}) {
        BoardLayout skipping(Fonts()), drawing(Fonts());
        skipping.bounds = drawing.bounds = Rect{0, 0, 800, 600};
        skipping.SeedRandom(seed);
        drawing.SeedRandom(seed);
        SoftCanvas a(800, 600), b(800, 600);
        b.SetSkipRepeatedDraws(false);
        int differing = 0;
        for (int frame = 1; frame <= 650 && differing == 0; ++frame) {
            ComposeBoard(skipping, a, content);
            ComposeBoard(drawing, b, content);
            if (!SamePixels(a, b) || a.TakeChangedRects() != b.TakeChangedRects()) differing = frame;
        }
        EXPECT_EQ(differing, 0) << "seed " << seed << ": the canvases part in frame " << differing;
        // The scene stood still long enough for the skip to matter.
        EXPECT_GT(a.SkippedDraws(), 20000u) << "seed " << seed;
        EXPECT_EQ(b.SkippedDraws(), 0u);
        skipping.FreeResources();
        drawing.FreeResources();
    }
    theStandings.RemoveAll();
}
