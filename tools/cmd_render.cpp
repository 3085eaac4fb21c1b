// scorvane render: plays the board frame by frame, headless, on the
// software canvas, as the saver window's timer would.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "acquire/fetch_standings.h"
#include "acquire/standings_table.h"
#include "acquire/team_match.h"
#include "app/startup.h"
#include "display/board.h"
#include "display/board_layout.h"
#include "display/font.h"
#include "display/stage_scale.h"
#include "display/trace_canvas.h"
#include "platform/soft/gif_encoder.h"
#include "platform/soft/pixel_scale.h"
#include "platform/soft/png_io.h"
#include "platform/soft/soft_canvas.h"
#include "platform/soft/soft_font.h"
#include "res/embedded_resources.h"
#include "tools/tool_command.h"
#include "tools/tool_util.h"

namespace {

const char kUsage[] =
    "usage: scorvane render [--size WxH] [--scale S] [--frames N] [--seed S]\n"
    "                       [--page FILE]\n"
    "                       [--championship CODE] [--status TEXT] [--team NAME]\n"
    "                       [--out FILE.png|FILE.gif] [--every K] [--trace]\n"
    "\n"
    "Plays N frames of the standings board exactly as the saver does, one per\n"
    "20 ms timer tick, on an offscreen canvas.\n"
    "\n"
    "  --size WxH           screen size in pixels (default 1024x768)\n"
    "  --scale S            auto, 1, 2, 3 or 4 (default 1): the stage is the\n"
    "                       screen size divided by S, and the pictures show\n"
    "                       each of its pixels as an S x S block; auto takes\n"
    "                       the largest S that leaves at least 1280x720. The\n"
    "                       trace is the stage's.\n"
    "  --frames N           frames to play (default 600)\n"
    "  --seed S             seed of the random generator, 0 to 4294967295\n"
    "                       (default 1); the same seed plays the same scenes\n"
    "  --page FILE          a standings page body (- for standard input), read\n"
    "                       like a download: CR and LF removed, then the\n"
    "                       tokenizer and the extractor; without it the board\n"
    "                       has no table\n"
    "  --championship CODE  association code whose name is the title (default\n"
    "                       ger; a code not in the table gives no title)\n"
    "  --status TEXT        the status line, in UTF-8 (default empty)\n"
    "  --team NAME          the club whose row is drawn in gold, as the savers'\n"
    "                       Team setting (UTF-8; says so when it matches no\n"
    "                       club or several)\n"
    "  --out FILE.png       writes the last frame\n"
    "  --out FILE.gif       writes every K-th frame as an animated GIF, each\n"
    "                       shown K times 20 ms (the last frame is always in it)\n"
    "  --every K            frames per GIF frame (default 1)\n"
    "  --trace              prints, for every frame, \"frame N boxes=C\" (C is\n"
    "                       the number of boxes the frame started with) and\n"
    "                       then its drawing operations, one a line:\n"
    "                         text L T R B #RRGGBB FORMAT \"TEXT\"\n"
    "                         fill L T R B #RRGGBB\n"
    "                         image ID DL DT DR DB SL ST SR SB\n"
    "                       Text extents in the trace come from a fixed metric\n"
    "                       (every byte (h + 1) / 2 wide, h high, h the font's\n"
    "                       height), so that a seed gives the same trace on every\n"
    "                       machine whatever its fonts.\n";

constexpr long kMaxSide = 8192;
constexpr long kMaxFrames = 10000000;


// Fonts that are only their description: all the trace's fixed metric reads.
class DescribedFont : public Font {
public:
    explicit DescribedFont(const LogFont& d) : d_(d) {}
    bool IsValid() const override { return true; }
    const LogFont& Description() const override { return d_; }

private:
    LogFont d_;
};

class DescribedFontFactory : public FontFactory {
public:
    std::unique_ptr<Font> CreateFontIndirect(const LogFont& d) override { return std::make_unique<DescribedFont>(d); }
};

bool ParseSize(const std::string& text, int& w, int& h) {
    const std::size_t x = text.find_first_of("xX");
    if (x == std::string::npos) return false;
    long lw = 0, lh = 0;
    if (!ParseInteger(std::string_view(text).substr(0, x), 1, kMaxSide, lw) ||
        !ParseInteger(std::string_view(text).substr(x + 1), 1, kMaxSide, lh))
        return false;
    w = static_cast<int>(lw);
    h = static_cast<int>(lh);
    return true;
}

bool EndsWithNoCase(const std::string& s, const char* suffix) {
    const std::size_t n = std::strlen(suffix);
    if (s.size() < n) return false;
    for (std::size_t i = 0; i < n; ++i) {
        char a = s[s.size() - n + i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (a != suffix[i]) return false;
    }
    return true;
}

// UTF-8 from the command line to the program's ISO 8859-1.
bool ToLatin1(const std::string& utf8, std::string& out, std::string& error) {
    std::u32string points;
    std::size_t bad = 0;
    if (!DecodeUtf8(utf8, points, bad)) {
        error = "--status: not UTF-8 at byte " + std::to_string(bad);
        return false;
    }
    out.clear();
    for (char32_t c : points) {
        if (c > 0xFF) {
            error = "--status: character U+" + [&] {
                char buf[16];
                std::snprintf(buf, sizeof buf, "%04X", static_cast<unsigned>(c));
                return std::string(buf);
            }() + " is not in ISO 8859-1";
            return false;
        }
        out += static_cast<char>(c);
    }
    return true;
}

int Usage(const std::string& message) {
    PrintError("render", message);
    std::fputs("Try 'scorvane render --help'.\n", stderr);
    return kExitUsage;
}

int RunRender(int argc, char** argv) {
    ToolArgs args;
    std::string error;
    if (!args.Parse(argc, argv,
                    {{"--size", true},
                     {"--scale", true},
                     {"--frames", true},
                     {"--seed", true},
                     {"--page", true},
                     {"--championship", true},
                     {"--status", true},
                     {"--team", true},
                     {"--out", true},
                     {"--every", true},
                     {"--trace", false}},
                    error))
        return Usage(error);
    if (args.WantsHelp()) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!args.Operands().empty()) return Usage("unexpected argument '" + args.Operands()[0] + "'");

    int width = 1024, height = 768;
    if (args.Has("--size") && !ParseSize(args.Value("--size"), width, height))
        return Usage("--size: expected WxH with both from 1 to " + std::to_string(kMaxSide) + ", got '" +
                     args.Value("--size") + "'");
    int scaleSetting = 1;
    if (args.Has("--scale") && !ParseStageScale(args.Value("--scale"), scaleSetting))
        return Usage("--scale: expected auto, 1, 2, 3 or 4, got '" + args.Value("--scale") + "'");
    const int scale = StageScaleFor(scaleSetting, Size{width, height});
    const Size stageSize = ScaledStage(Size{width, height}, scale);
    long frames = 600;
    if (args.Has("--frames") && !ParseInteger(args.Value("--frames"), 0, kMaxFrames, frames))
        return Usage("--frames: expected a number from 0 to " + std::to_string(kMaxFrames) + ", got '" +
                     args.Value("--frames") + "'");
    long seed = 1;
    if (args.Has("--seed") && !ParseInteger(args.Value("--seed"), 0, 4294967295L, seed))
        return Usage("--seed: expected a number from 0 to 4294967295, got '" + args.Value("--seed") + "'");
    long every = 1;
    if (args.Has("--every") && !ParseInteger(args.Value("--every"), 1, kMaxFrames, every))
        return Usage("--every: expected a number from 1 to " + std::to_string(kMaxFrames) + ", got '" +
                     args.Value("--every") + "'");
    const std::string out = args.Value("--out");
    const bool png = !out.empty() && EndsWithNoCase(out, ".png");
    const bool gif = !out.empty() && EndsWithNoCase(out, ".gif");
    if (args.Has("--out") && !png && !gif) return Usage("--out: the file name must end in .png or .gif");
    if (args.Has("--every") && !gif) return Usage("--every applies to GIF output only");
    const bool trace = args.Has("--trace");
    std::string status;
    if (!ToLatin1(args.Value("--status"), status, error)) return Usage(error);
    const std::string championship = args.Value("--championship", "ger");
    std::string team;
    if (!ToLatin1(args.Value("--team"), team, error)) return Usage("--team" + error.substr(error.find(':')));

    if (args.Has("--page")) {
        std::string body;
        if (!ReadInput(args.Value("--page"), body, error)) {
            PrintError("render", error);
            return kExitFailure;
        }
        if (!ReadStandingsPage(std::move(body))) {
            PrintError("render", "the page could not be parsed (out of memory)");
            return kExitFailure;
        }
    }
    theStatusText = status;
    InstallEmbeddedResources();
    BoardContent content{theStandings, theStatusText, BoardTitleForChampionship(championship)};
    if (!team.empty()) {
        const TeamMatch match = FindTeam(theStandings, team);
        content.teamRow = match.row;
        if (match.row < 0) PrintError("render", "note: " + Latin1ToUtf8(DescribeTeamMatch(match, team)));
    }
    const Rect bounds{0, 0, stageSize.cx, stageSize.cy};

    // The picture, when one is wanted, comes from a stage on the real canvas;
    // the trace from a twin stage on the fixed metric. Both draw the same
    // random numbers in the same order, so they play the same scenes.
    std::unique_ptr<SoftFontFactory> fonts;
    std::unique_ptr<BoardLayout> stage;
    std::unique_ptr<SoftCanvas> canvas;
    if (!out.empty()) {
        fonts = std::make_unique<SoftFontFactory>();
        if (!fonts->IsReady()) PrintError("render", "no fonts could be loaded; texts are not drawn");
        stage = std::make_unique<BoardLayout>(*fonts);
        if (fonts->IsReady()) {
            for (Font* font : {stage->defaultFont, stage->GetFont(kTableFontSpec), stage->GetFont(kTitleFontSpec)})
                if (const std::string note = StandInNote(*font); !note.empty()) PrintError("render", "note: " + note);
        }
        stage->bounds = bounds;
        stage->SeedRandom(static_cast<unsigned>(seed));
        canvas = std::make_unique<SoftCanvas>(stageSize.cx, stageSize.cy);
        canvas->SetChangeTracking(false);
    }
    DescribedFontFactory describedFonts;
    std::unique_ptr<BoardLayout> traceStage;
    if (trace) {
        traceStage = std::make_unique<BoardLayout>(describedFonts);
        traceStage->bounds = bounds;
        traceStage->SeedRandom(static_cast<unsigned>(seed));
    }

    // The pictures are of the screen: the stage blown up, black where it
    // leaves strips at the right and the bottom.
    std::vector<std::uint32_t> screen;
    if (canvas && scale > 1) screen.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    auto picture = [&]() -> const std::uint32_t* {
        if (scale == 1) return canvas->Pixels();
        BlowUpPixels(canvas->Pixels(), canvas->Stride(), Rect{0, 0, stageSize.cx, stageSize.cy}, scale,
                     screen.data(), static_cast<std::size_t>(width));
        return screen.data();
    };
    const std::size_t pictureStride = scale == 1 && canvas ? canvas->Stride() : static_cast<std::size_t>(width);

    std::unique_ptr<GifEncoder> encoder;
    if (gif) encoder = std::make_unique<GifEncoder>(width, height);
    const int frameDelay = 2;  // hundredths of a second: the saver's 20 ms timer
    int lastBoxes = 0;
    std::string ops;
    for (long frame = 1; frame <= frames; ++frame) {
        if (stage) {
            lastBoxes = ComposeBoard(*stage, *canvas, content);
            canvas->EndFrame();
        }
        if (traceStage) {
            ops.clear();
            TraceCanvas tracer(nullptr, ops);
            lastBoxes = ComposeBoard(*traceStage, tracer, content);
            std::printf("frame %ld boxes=%d\n", frame, lastBoxes);
            std::fwrite(ops.data(), 1, ops.size(), stdout);
        }
        if (encoder && (frame % every == 0 || frame == frames)) {
            const long shown = frame % every == 0 ? every : frame % every;
            encoder->AddFrame(picture(), pictureStride, static_cast<int>(frameDelay * shown));
        }
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        PrintError("render", "cannot write the trace");
        return kExitFailure;
    }

    if (png && !WritePng(out, picture(), width, height, pictureStride, &error)) {
        PrintError("render", error);
        return kExitFailure;
    }
    if (gif) {
        if (frames == 0) encoder->AddFrame(picture(), pictureStride, frameDelay);
        if (!WriteGif(out, encoder->Finish(), &error)) {
            PrintError("render", error);
            return kExitFailure;
        }
    }
    if (!trace) {
        std::printf("played %ld frames on %dx%d", frames, stageSize.cx, stageSize.cy);
        if (scale > 1) std::printf(" at scale %d (%dx%d)", scale, width, height);
        if (frames > 0) std::printf("; the last began with %d boxes", lastBoxes);
        if (!out.empty()) std::printf("; wrote %s", out.c_str());
        std::printf("\n");
    }
    if (stage) stage->FreeResources();
    return 0;
}

}  // namespace

SCORVANE_TOOL_COMMAND(render, "render", "play the board headless into a trace, a PNG or a GIF", RunRender);
