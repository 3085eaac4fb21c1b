// The board played for a long time exactly as `scorvane render` plays it
// (the same page path, stage, fonts, pictures and canvas), watched from the
// inside: after every scene build it prints the resident memory and what the
// font and picture caches hold against what the boxes on the stage use.
// Run by scripts/soak; not a test.
//
//   soak_board [--frames N] [--size WxH] [--seed S] [--page FILE] [--every K]
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "acquire/fetch_standings.h"
#include "acquire/standings_table.h"
#include "display/board.h"
#include "display/board_layout.h"
#include "display/dib_image.h"
#include "display/font.h"
#include "platform/soft/soft_canvas.h"
#include "platform/soft/soft_font.h"
#include "res/embedded_resources.h"

namespace {

long ResidentKib() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

std::string Ids(const std::set<int>& ids) {
    std::string out;
    for (int id : ids) out += (out.empty() ? "" : ",") + std::to_string(id);
    return out.empty() ? "-" : out;
}

int Usage(const char* message) {
    std::fprintf(stderr, "soak_board: %s\nusage: soak_board [--frames N] [--size WxH] [--seed S] [--page FILE] [--every K]\n",
                 message);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    long frames = 200000, every = 1;
    int width = 1920, height = 1080;
    unsigned seed = 1;
    std::string page;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc) return Usage(("missing value of " + a).c_str());
        const char* v = argv[++i];
        if (a == "--frames") frames = std::atol(v);
        else if (a == "--every") every = std::max(1L, std::atol(v));
        else if (a == "--seed") seed = static_cast<unsigned>(std::strtoul(v, nullptr, 10));
        else if (a == "--page") page = v;
        else if (a == "--size") {
            if (std::sscanf(v, "%dx%d", &width, &height) != 2 || width < 1 || height < 1) return Usage("bad --size");
        } else {
            return Usage(("unknown option " + a).c_str());
        }
    }
    if (!page.empty()) {
        std::ifstream in(page, std::ios::binary);
        if (!in) return Usage("cannot read the page");
        std::string body{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (!ReadStandingsPage(std::move(body))) return Usage("the page could not be parsed");
    }

    InstallEmbeddedResources();
    SoftFontFactory fonts;
    if (!fonts.IsReady()) std::fprintf(stderr, "soak_board: no fonts; texts are not drawn\n");
    BoardLayout layout(fonts);
    layout.bounds = Rect{0, 0, width, height};
    layout.SeedRandom(seed);
    SoftCanvas canvas(width, height);
    canvas.SetChangeTracking(false);
    const BoardContent content{theStandings, "", BoardTitleForChampionship("ger")};

    std::printf("# %d rows, %dx%d, seed %u, %ld frames\n", theStandings.GetSize(), width, height, seed, frames);
    std::printf("# scene frame rss_kib font_cache fonts_on_stage image_cache images_on_stage ids_used_so_far stage_ids\n");
    long scenes = 0, firstSceneRss = 0, maxRss = 0, lastRss = 0, lastRssGrowth = 0, lastImageGrowth = 0;
    std::size_t maxFonts = 0, maxImages = 0, maxExtraImages = 0;
    bool fontsMatch = true, imagesAreUsedOnes = true;
    std::set<int> everCached;
    for (long frame = 1; frame <= frames; ++frame) {
        const int before = ComposeBoard(layout, canvas, content);
        if (before >= 3) continue;
        ++scenes;
        // A scene was built in this frame: what do the boxes on the stage use?
        std::set<const Font*> stageFonts = {layout.defaultFont};
        std::set<int> stageIds;
        for (const LayoutBox& box : layout.Boxes()) {
            if (box.font) stageFonts.insert(box.font);
            if (box.image) stageIds.insert(box.image->resourceId());
        }
        // The cache keeps every picture it ever loaded until it is freed, so
        // what it holds is every id a scene has used so far.
        everCached.insert(stageIds.begin(), stageIds.end());
        const long rss = ResidentKib();
        lastRss = rss;
        // The second build is the moment the first scene has played out.
        if (scenes == 2) firstSceneRss = rss;
        if (scenes >= 2 && rss > maxRss) {
            maxRss = rss;
            lastRssGrowth = scenes;
        }
        maxFonts = std::max(maxFonts, layout.FontCacheSize());
        if (layout.ImageCacheSize() > maxImages) {
            maxImages = layout.ImageCacheSize();
            lastImageGrowth = scenes;
        }
        fontsMatch = fontsMatch && layout.FontCacheSize() == stageFonts.size();
        imagesAreUsedOnes = imagesAreUsedOnes && layout.ImageCacheSize() == everCached.size();
        if (layout.ImageCacheSize() > stageIds.size())
            maxExtraImages = std::max(maxExtraImages, layout.ImageCacheSize() - stageIds.size());
        if (scenes % every == 0 || scenes == 1)
            std::printf("%ld %ld %ld %zu %zu %zu %zu %zu %s\n", scenes, frame, rss, layout.FontCacheSize(),
                        stageFonts.size(), layout.ImageCacheSize(), stageIds.size(), everCached.size(),
                        Ids(stageIds).c_str());
        std::fflush(stdout);
    }
    std::printf("# %ld scenes; resident %ld KiB when the first scene has played, at most %ld KiB after that (+%ld, "
                "last grown at scene %ld), %ld KiB at the last build\n",
                scenes, firstSceneRss, maxRss, maxRss - firstSceneRss, lastRssGrowth, lastRss);
    std::printf("# font cache at most %zu (%s the fonts on the stage at every build); picture cache at most %zu "
                "(reached at scene %ld), at most %zu more than the stage's pictures, %s the pictures used so far\n",
                maxFonts, fontsMatch ? "always" : "NOT always", maxImages, lastImageGrowth, maxExtraImages,
                imagesAreUsedOnes ? "always" : "NOT always");
    layout.FreeResources();
    std::printf("# after FreeResources: font cache %zu, picture cache %zu\n", layout.FontCacheSize(), layout.ImageCacheSize());
    return 0;
}
