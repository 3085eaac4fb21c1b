// Draws every bitmap and the icon of the program and writes them as the files
// the resource build embeds: bitmaps/bmpNNN.bmp and vemo.ico under the output
// folder (the repository's res/ folder when regenerating the committed art).

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "output.h"
#include "pictures.h"

namespace {

using namespace art;

const Rgba8 kBlack{0, 0, 0, 255};
const Rgba8 kWhite{255, 255, 255, 255};

// The mask's disc and the ball faces share one geometry, so that the button
// cut along the mask shows ball and nothing but ball.
constexpr Vec2 kDiscCentre{23.0, 23.5};
constexpr double kMaskRadius = 22.45;
constexpr double kBallRadius = 22.7;

Picture Mask() {
    // One sample at each pixel centre: a pixel is either inside or not, and
    // its white is exactly white. Rows 1 to 45 meet the disc, row 0 does not.
    return Render(46, 46, 1, [](Vec2 p, double&) {
        return Length(p - kDiscCentre) < kMaskRadius ? Rgb{0, 0, 0} : Rgb{1, 1, 1};
    });
}

BallStyle YellowBall() {
    BallStyle s;
    s.centre = kDiscCentre;
    s.radius = kBallRadius;
    s.hexPanel = Hex(0xFFD21C);
    s.pentPanel = Hex(0x1B2A78);
    s.seam = Hex(0x6A4A08);
    s.background = {1, 1, 1};
    s.specular = 0.5;
    return s;
}

BallStyle ClassicBall() {
    BallStyle s;
    s.centre = kDiscCentre;
    s.radius = kBallRadius;
    s.background = {0, 0, 0};
    return s;
}

// The pressed face: the same ball pushed into its hollow, darker, its panels
// turned a little towards the lower right.
BallStyle Pressed(BallStyle s) {
    s.exposure = 0.74;
    s.yaw += 3.0;
    s.pitch -= 3.0;
    s.sunken = 0.55;
    s.specular *= 0.6;
    return s;
}

BallStyle Hovered(BallStyle s, double reflex) {
    s.exposure = 1.14;
    s.reflex = reflex;
    return s;
}

// A highlight that saturates to pure white on the white-ground ball would
// take the ground's exact colour; then the face would have a hole wherever a
// caller keys on that colour. Inside the disc the ground colour is nudged.
Picture GroundOutsideOnly(Picture pic, Rgba8 ground, Vec2 centre, double radius) {
    for (int y = 0; y < pic.height; ++y)
        for (int x = 0; x < pic.width; ++x) {
            Rgba8& c = pic.at(x, y);
            if (c == ground && Length(Vec2{x + 0.5, y + 0.5} - centre) < radius) {
                std::uint8_t v = ground.r > 127 ? 254 : 1;
                c = Rgba8{v, v, v, 255};
            }
        }
    return pic;
}

Picture Face(const BallStyle& style) {
    Rgba8 ground{static_cast<std::uint8_t>(std::lround(style.background.r * 255)),
                 static_cast<std::uint8_t>(std::lround(style.background.g * 255)),
                 static_cast<std::uint8_t>(std::lround(style.background.b * 255)), 255};
    return GroundOutsideOnly(Render(48, 48, 8, BallShader(style)), ground, style.centre, style.radius);
}

Indexed Quantized(const Picture& pic, Rgba8 background, double dither = 0.0) {
    QuantizeOptions options;
    options.exact = {background};
    options.dither = dither;
    return Quantize(pic, options);
}

Picture Icon(int size) {
    BallStyle s = ClassicBall();
    s.centre = {size / 2.0, size / 2.0};
    s.radius = size / 2.0 - 0.35;
    s.seamPixels = size > 16 ? 0.6 : 0.45;
    s.premultiplied = true;
    Picture pic = Render(size, size, 8, BallShader(s));
    // Edge pixels keep the ball's own colour: the AND mask decides what shows
    // of the desktop, not a blend with one particular background.
    for (Rgba8& c : pic.pixels) {
        if (c.a == 0) {
            c = Rgba8{0, 0, 0, 0};
            continue;
        }
        double k = 255.0 / c.a;
        c.r = static_cast<std::uint8_t>(std::min(255.0, std::round(c.r * k)));
        c.g = static_cast<std::uint8_t>(std::min(255.0, std::round(c.g * k)));
        c.b = static_cast<std::uint8_t>(std::min(255.0, std::round(c.b * k)));
        if (c.a < 128) {
            c.r = c.g = c.b = 0;
        }
    }
    return pic;
}

struct Job {
    std::string name;
    std::function<bool(const std::filesystem::path&)> run;
};

bool Save(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    if (!WriteFile(path.string(), bytes)) {
        std::fprintf(stderr, "scorvane_artgen: cannot write %s\n", path.string().c_str());
        return false;
    }
    return true;
}

std::filesystem::path BitmapPath(const std::filesystem::path& out, int id) {
    return out / "bitmaps" / ("bmp" + std::to_string(id) + ".bmp");
}

std::vector<Job> Jobs() {
    std::vector<Job> jobs;
    auto bitmap = [&](int id, std::function<std::vector<std::uint8_t>()> make) {
        jobs.push_back({std::to_string(id), [id, make](const std::filesystem::path& out) {
                            return Save(BitmapPath(out, id), make());
                        }});
    };
    bitmap(138, [] { return EncodeBmp1(Mask()); });
    bitmap(140, [] {
        return EncodeBmp8(Quantized(Render(500, 375, 4, StadiumShader()), kBlack, 0.7));
    });
    bitmap(143, [] { return EncodeBmp8(Quantized(Face(YellowBall()), kWhite)); });
    bitmap(146, [] {
        return EncodeBmp8(Quantized(Face(Pressed(YellowBall())), kWhite));
    });
    bitmap(147, [] {
        return EncodeBmp8(Quantized(Face(Hovered(YellowBall(), 0.6)), kWhite));
    });
    bitmap(148, [] { return EncodeBmp8(Quantized(Face(ClassicBall()), kBlack)); });
    bitmap(154, [] {
        return EncodeBmp8(Quantized(Face(Pressed(ClassicBall())), kBlack));
    });
    bitmap(155, [] {
        return EncodeBmp8(Quantized(Face(Hovered(ClassicBall(), 1.0)), kBlack));
    });
    bitmap(153, [] {
        BallStyle s = ClassicBall();
        s.centre = {10, 10};
        s.radius = 9.7;
        s.seamPixels = 0.5;
        return EncodeBmp8(Quantized(Render(20, 20, 8, BallShader(s)), kBlack));
    });
    for (int n = 0; n < 14; ++n) {
        bitmap(156 + n, [n] {
            EmblemSize size = EmblemDimensions(n);
            return EncodeBmp8(Quantized(Render(size.width, size.height, 6, EmblemShader(n)), kBlack));
        });
    }
    jobs.push_back({"icon", [](const std::filesystem::path& out) {
                        std::vector<Picture> pictures{Icon(32), Icon(16)};
                        std::vector<Indexed> images;
                        for (const Picture& pic : pictures) images.push_back(Quantized(pic, kBlack));
                        return Save(out / "vemo.ico", EncodeIco(images, pictures));
                    }});
    return jobs;
}

void Usage(std::FILE* to) {
    std::fprintf(to,
                 "usage: scorvane_artgen [--only NAME]... OUTDIR\n"
                 "Draws the program's artwork and writes OUTDIR/bitmaps/bmpNNN.bmp and\n"
                 "OUTDIR/vemo.ico. NAME is a bitmap id (138, 140, ...) or \"icon\".\n");
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> only;
    std::string outDir;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            Usage(stdout);
            return 0;
        }
        if (arg == "--only" && i + 1 < argc) {
            only.push_back(argv[++i]);
        } else if (!arg.empty() && arg[0] != '-' && outDir.empty()) {
            outDir = arg;
        } else {
            Usage(stderr);
            return 2;
        }
    }
    if (outDir.empty()) {
        Usage(stderr);
        return 2;
    }
    std::error_code ec;
    std::filesystem::path out(outDir);
    std::filesystem::create_directories(out / "bitmaps", ec);
    if (ec) {
        std::fprintf(stderr, "scorvane_artgen: cannot create %s: %s\n", (out / "bitmaps").string().c_str(),
                     ec.message().c_str());
        return 1;
    }
    auto jobs = Jobs();
    for (const std::string& name : only) {
        bool known = false;
        for (const Job& job : jobs) known = known || job.name == name;
        if (!known) {
            std::fprintf(stderr, "scorvane_artgen: no picture named %s\n", name.c_str());
            return 2;
        }
    }
    for (const Job& job : jobs) {
        if (!only.empty() && std::find(only.begin(), only.end(), job.name) == only.end()) continue;
        if (!job.run(out)) return 1;
    }
    return 0;
}
