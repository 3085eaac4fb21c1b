// Golden frames of the whole board: a fixed seed on a fixed page, played on
// the software canvas with the embedded pictures and compared pixel for
// pixel with the committed images. The glyphs come from the installed fonts
// (Debian's fonts-liberation, which scripts/install-deps installs): a machine
// whose "MS Sans Serif" and "Arial" resolve to other files fails here, since
// the board's columns were measured for these faces.
//
// SCORVANE_UPDATE_GOLDEN=1 rewrites the committed images from this run.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "acquire/fetch_standings.h"
#include "acquire/standings_extractor.h"
#include "acquire/standings_table.h"
#include "display/board.h"
#include "display/board_layout.h"
#include "platform/soft/png_io.h"
#include "res/embedded_resources.h"
#include "soft_test_support.h"

using namespace softtest;

namespace {

const std::filesystem::path kGolden = std::filesystem::path(SCORVANE_FIXTURES_DIR) / "golden";

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The fonts the committed images were drawn with.
std::string FontsDiffer() {
    for (auto [height, face, weight, want] :
         {std::tuple{-15, "MS Sans Serif", 400, "LiberationSansNarrow-Regular.ttf"},
          {-18, "MS Sans Serif", 700, "LiberationSansNarrow-Bold.ttf"}, {-22, "Arial", 700, "LiberationSans-Bold.ttf"}}) {
        auto font = MakeFont(height, face, weight);
        auto* soft = dynamic_cast<SoftFont*>(font.get());
        if (!soft || !soft->IsValid()) return std::string("no font for ") + face;
        const std::string file = std::filesystem::path(soft->Face()->FilePath()).filename().string();
        if (file != want) return std::string(face) + " is " + file + ", not " + want;
    }
    return {};
}

void ExpectFrame(const SoftCanvas& canvas, const std::string& name) {
    const std::filesystem::path path = kGolden / name;
    if (const char* update = std::getenv("SCORVANE_UPDATE_GOLDEN"); update && std::string(update) == "1") {
        std::string error;
        ASSERT_TRUE(WritePng(path.string(), canvas.Pixels(), canvas.Width(), canvas.Height(), canvas.Stride(), &error))
            << error;
        return;
    }
    std::vector<std::uint32_t> golden;
    int w = 0, h = 0;
    std::string error;
    ASSERT_TRUE(ReadPng(path.string(), golden, w, h, &error)) << error;
    ASSERT_EQ(w, canvas.Width());
    ASSERT_EQ(h, canvas.Height());
    const std::vector<std::uint32_t> actual = Snapshot(canvas);
    std::size_t differ = 0, first = actual.size();
    for (std::size_t i = 0; i < actual.size(); ++i) {
        if (actual[i] == golden[i]) continue;
        if (differ++ == 0) first = i;
    }
    if (differ > 0) {
        const std::filesystem::path out = std::filesystem::temp_directory_path() / ("actual_" + name);
        WritePng(out.string(), canvas.Pixels(), canvas.Width(), canvas.Height(), canvas.Stride());
        ADD_FAILURE() << differ << " pixels differ from " << path << ", the first at (" << first % w << ", "
                      << first / w << "); this run's frame is in " << out;
    }
}

// theStandings from the committed page, the download's way.
void LoadGoldenStandings() {
    InstallEmbeddedResources();
    StandingsExtractor::ResetSharedState();
    theStandings.RemoveAll();
    ASSERT_TRUE(ReadStandingsPage(ReadFile(kGolden / "ger_standings.html")));
    ASSERT_EQ(theStandings.GetSize(), 21);
}

// Repeated draws left out must not change a pixel.
bool SamePixels(const SoftCanvas& a, const SoftCanvas& b) {
    for (int y = 0; y < a.Height(); ++y) {
        if (std::memcmp(a.Pixels() + y * a.Stride(), b.Pixels() + y * b.Stride(), 4 * static_cast<std::size_t>(a.Width())) != 0)
            return false;
    }
    return true;
}

// Seed 1 played on a 640x480 canvas: frames 150 and 300 are committed.
void ExpectCommittedFrames() {
    if (std::string why = FontsDiffer(); !why.empty()) FAIL() << "fonts differ from the golden run's: " << why;
    ASSERT_NO_FATAL_FAILURE(LoadGoldenStandings());

    BoardLayout layout(Fonts());
    layout.bounds = Rect{0, 0, 640, 480};
    layout.SeedRandom(1);
    SoftCanvas canvas(640, 480);
    const BoardContent content{theStandings, "Not connected to the internet", BoardTitleForChampionship("ger")};
    for (int frame = 1; frame <= 300; ++frame) {
        ComposeBoard(layout, canvas, content);
        // The table standing with the ball falling; then the emblem with the
        // status line fading in.
        if (frame == 150) ExpectFrame(canvas, "board_seed1_frame150.png");
        if (frame == 300) ExpectFrame(canvas, "board_seed1_frame300.png");
    }
    layout.FreeResources();
    theStandings.RemoveAll();
}

}  // namespace

TEST(SoftGolden, BoardFramesOfSeedOneMatchTheCommittedImages) { ExpectCommittedFrames(); }

// The plain loops, all that processors without AVX2 and other architectures
// have, draw the same frames.
TEST(SoftGolden, BoardFramesOfSeedOneMatchTheCommittedImagesWithoutTheWideSteps) {
    const WideStepsBack back;
    SoftCanvas::SetWideSteps(false);
    ExpectCommittedFrames();
}

// A few hundred frames of real scenes on two canvases, one leaving repeated
// draws out and one drawing everything: the same pixels and the same
// reported rectangles after every frame.
TEST(SoftGolden, BoardFramesAreTheSameWithAndWithoutTheSkipOfRepeatedDraws) {
    ASSERT_NO_FATAL_FAILURE(LoadGoldenStandings());
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
