// PNG and animated GIF output. The GIF is read back by a decoder written
// here from the format's rules, independently of the encoder.

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "platform/soft/gif_encoder.h"
#include "platform/soft/png_io.h"
#include "soft_test_support.h"

using namespace softtest;

namespace {

std::filesystem::path TempPath(const std::string& name) {
    return std::filesystem::temp_directory_path() /
           ("scorvane_soft_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" + name);
}

// Decodes one LZW stream starting at `p` (the minimum code size byte).
std::vector<std::uint8_t> DecodeLzw(const std::vector<std::uint8_t>& file, std::size_t& p) {
    const int minCodeSize = file.at(p++);
    std::vector<std::uint8_t> data;
    while (true) {
        const std::size_t n = file.at(p++);
        if (n == 0) break;
        data.insert(data.end(), file.begin() + static_cast<std::ptrdiff_t>(p),
                    file.begin() + static_cast<std::ptrdiff_t>(p + n));
        p += n;
    }
    const int clear = 1 << minCodeSize, end = clear + 1;
    std::vector<std::vector<std::uint8_t>> dict;
    auto reset = [&] {
        dict.assign(static_cast<std::size_t>(clear + 2), {});
        for (int i = 0; i < clear; ++i) dict[static_cast<std::size_t>(i)] = {static_cast<std::uint8_t>(i)};
    };
    reset();
    int size = minCodeSize + 1;
    std::size_t bit = 0;
    int previous = -1;
    std::vector<std::uint8_t> out;
    while (true) {
        if (bit + static_cast<std::size_t>(size) > data.size() * 8) ADD_FAILURE() << "stream ends without end code";
        if (bit + static_cast<std::size_t>(size) > data.size() * 8) return out;
        int code = 0;
        for (int i = 0; i < size; ++i, ++bit) code |= ((data[bit / 8] >> (bit % 8)) & 1) << i;
        if (code == clear) {
            reset();
            size = minCodeSize + 1;
            previous = -1;
            continue;
        }
        if (code == end) break;
        std::vector<std::uint8_t> entry;
        if (code < static_cast<int>(dict.size())) {
            entry = dict[static_cast<std::size_t>(code)];
        } else if (code == static_cast<int>(dict.size()) && previous >= 0) {
            entry = dict[static_cast<std::size_t>(previous)];
            entry.push_back(entry[0]);
        } else {
            ADD_FAILURE() << "code " << code << " beyond the table of " << dict.size();
            return out;
        }
        out.insert(out.end(), entry.begin(), entry.end());
        if (previous >= 0 && dict.size() < 4096) {
            std::vector<std::uint8_t> added = dict[static_cast<std::size_t>(previous)];
            added.push_back(entry[0]);
            dict.push_back(added);
            if (dict.size() == (std::size_t{1} << size) && size < 12) ++size;
        }
        previous = code;
    }
    return out;
}

struct DecodedGif {
    int width = 0, height = 0;
    bool loops = false;
    std::vector<std::vector<std::uint32_t>> frames;  // the screen after each frame
    std::vector<int> delays;
};

DecodedGif DecodeGif(const std::vector<std::uint8_t>& f) {
    DecodedGif g;
    EXPECT_EQ(std::string(f.begin(), f.begin() + 6), "GIF89a");
    auto u16 = [&](std::size_t at) { return f.at(at) | (f.at(at + 1) << 8); };
    g.width = u16(6);
    g.height = u16(8);
    EXPECT_EQ(f.at(10) & 0x80, 0);  // no global table
    std::vector<std::uint32_t> screen(static_cast<std::size_t>(g.width * g.height), 0);
    std::size_t p = 13;
    int delay = 0;
    while (p < f.size()) {
        const std::uint8_t b = f[p++];
        if (b == 0x3B) return g;
        if (b == 0x21) {
            const std::uint8_t label = f.at(p++);
            if (label == 0xF9) {
                EXPECT_EQ(f.at(p), 4);
                delay = u16(p + 2);
            }
            if (label == 0xFF && f.at(p) == 11 && std::string(f.begin() + static_cast<std::ptrdiff_t>(p + 1),
                                                                 f.begin() + static_cast<std::ptrdiff_t>(p + 12)) ==
                                                          "NETSCAPE2.0")
                g.loops = true;
            while (std::size_t n = f.at(p)) p += n + 1;
            ++p;
            continue;
        }
        EXPECT_EQ(b, 0x2C);
        if (b != 0x2C) return g;
        const int left = u16(p), top = u16(p + 2), w = u16(p + 4), h = u16(p + 6);
        const std::uint8_t packed = f.at(p + 8);
        p += 9;
        EXPECT_TRUE(packed & 0x80);
        const std::size_t tableSize = std::size_t{2} << (packed & 7);
        std::vector<std::uint32_t> table(tableSize);
        for (std::size_t i = 0; i < tableSize; ++i, p += 3)
            table[i] = (static_cast<std::uint32_t>(f.at(p)) << 16) | (f.at(p + 1) << 8) | f.at(p + 2);
        const std::vector<std::uint8_t> indices = DecodeLzw(f, p);
        EXPECT_EQ(indices.size(), static_cast<std::size_t>(w * h));
        EXPECT_LE(left + w, g.width);
        EXPECT_LE(top + h, g.height);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const std::size_t i = static_cast<std::size_t>(y * w + x);
                if (i < indices.size()) screen[static_cast<std::size_t>((top + y) * g.width + left + x)] = table.at(indices[i]);
            }
        g.frames.push_back(screen);
        g.delays.push_back(delay);
    }
    ADD_FAILURE() << "no trailer";
    return g;
}

}  // namespace

TEST(SoftPng, WrittenPixelsReadBackExactly) {
    SoftCanvas canvas(37, 21);
    canvas.FillRect(Rect{3, 4, 30, 9}, Rgb(12, 200, 77));
    canvas.FillRect(Rect{0, 15, 37, 21}, Rgb(255, 0, 128));
    const auto path = TempPath("round.png");
    std::string error;
    ASSERT_TRUE(WritePng(path.string(), canvas.Pixels(), canvas.Width(), canvas.Height(), canvas.Stride(), &error))
        << error;
    std::vector<std::uint32_t> pixels;
    int w = 0, h = 0;
    ASSERT_TRUE(ReadPng(path.string(), pixels, w, h, &error)) << error;
    EXPECT_EQ(w, 37);
    EXPECT_EQ(h, 21);
    EXPECT_EQ(pixels, Snapshot(canvas));
    std::filesystem::remove(path);

    EXPECT_FALSE(WritePng("/nonexistent-dir/x.png", canvas.Pixels(), 37, 21, canvas.Stride(), &error));
    EXPECT_NE(error.find("/nonexistent-dir/x.png"), std::string::npos) << error;
    EXPECT_FALSE(ReadPng(path.string(), pixels, w, h, &error));
}

// One frame of `indices` as distinct colours, `width` pixels a row; true
// when it decodes to exactly those colours.
::testing::AssertionResult FrameRoundTrips(const std::vector<std::uint8_t>& indices, int width) {
    const int height = static_cast<int>(indices.size() / static_cast<std::size_t>(width));
    std::vector<std::uint32_t> pixels(indices.size());
    for (std::size_t i = 0; i < indices.size(); ++i)
        pixels[i] = static_cast<std::uint32_t>(indices[i]) * 0x010101u;
    GifEncoder gif(width, height);
    gif.AddFrame(pixels.data(), static_cast<std::size_t>(width), 2);
    const DecodedGif g = DecodeGif(gif.Finish());
    if (g.frames.size() != 1) return ::testing::AssertionFailure() << g.frames.size() << " frames";
    if (g.frames[0] != pixels) return ::testing::AssertionFailure() << "pixels differ";
    return ::testing::AssertionSuccess();
}

TEST(SoftGif, FramesOfEveryLengthAndAlphabetDecodeToTheirPixels) {
    std::mt19937 rng(99);
    // Frames of every length around the points where codes widen, small and
    // full alphabets, runs that fill the code table and force clears.
    for (int bits : {2, 3, 8}) {
        for (std::size_t length : {1u, 2u, 3u, 4u, 5u, 7u, 8u, 9u, 15u, 16u, 17u, 100u, 509u, 510u, 511u, 512u,
                                   1000u, 5000u, 70000u}) {
            for (int pattern = 0; pattern < 3; ++pattern) {
                std::vector<std::uint8_t> in(length);
                for (std::size_t i = 0; i < length; ++i) {
                    const unsigned limit = 1u << bits;
                    in[i] = static_cast<std::uint8_t>(pattern == 0   ? rng() % limit
                                                      : pattern == 1 ? (i / 7) % limit
                                                                     : (rng() % 4 == 0 ? rng() % limit : 0));
                }
                const int width = length > 65535 ? 1000 : static_cast<int>(length);
                ASSERT_TRUE(FrameRoundTrips(in, width)) << bits << " bits, length " << length << ", pattern " << pattern;
            }
        }
    }
    // Every length of a frame whose codes keep widening.
    for (std::size_t length = 1; length < 700; ++length) {
        std::vector<std::uint8_t> in(length);
        for (std::size_t i = 0; i < length; ++i) in[i] = static_cast<std::uint8_t>((i * i + i / 3) % 4);
        ASSERT_TRUE(FrameRoundTrips(in, static_cast<int>(length))) << length;
    }
}

TEST(SoftGif, FramesDecodeToTheCanvasContentsWithTheirDelays) {
    SoftCanvas canvas(64, 40);
    GifEncoder gif(64, 40);
    std::vector<std::vector<std::uint32_t>> expected;
    canvas.FillRect(Rect{5, 5, 20, 20}, Rgb(200, 10, 10));
    gif.AddFrame(canvas.Pixels(), canvas.Stride(), 4);
    expected.push_back(Snapshot(canvas));
    canvas.FillRect(Rect{30, 10, 60, 35}, Rgb(10, 200, 10));
    gif.AddFrame(canvas.Pixels(), canvas.Stride(), 4);
    expected.push_back(Snapshot(canvas));
    // Unchanged twice: folded into the frame before, whose delay grows.
    gif.AddFrame(canvas.Pixels(), canvas.Stride(), 4);
    gif.AddFrame(canvas.Pixels(), canvas.Stride(), 4);
    canvas.FillRect(Rect{5, 5, 20, 20}, 0);
    gif.AddFrame(canvas.Pixels(), canvas.Stride(), 2);
    expected.push_back(Snapshot(canvas));
    const std::vector<std::uint8_t> bytes = gif.Finish();
    EXPECT_EQ(gif.FramesWritten(), 3u);

    const DecodedGif g = DecodeGif(bytes);
    EXPECT_EQ(g.width, 64);
    EXPECT_EQ(g.height, 40);
    EXPECT_TRUE(g.loops);
    ASSERT_EQ(g.frames.size(), 3u);
    EXPECT_EQ(g.delays, (std::vector<int>{4, 12, 2}));
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(g.frames[i], expected[i]) << "frame " << i;
    EXPECT_EQ(bytes.back(), 0x3B);

    const auto path = TempPath("anim.gif");
    std::string error;
    ASSERT_TRUE(WriteGif(path.string(), bytes, &error)) << error;
    EXPECT_EQ(std::filesystem::file_size(path), bytes.size());
    std::filesystem::remove(path);
    EXPECT_FALSE(WriteGif("/nonexistent-dir/a.gif", bytes, &error));
    EXPECT_NE(error.find("/nonexistent-dir/a.gif"), std::string::npos);
}

TEST(SoftGif, MoreThan256ColoursKeepTheMostFrequentExactly) {
    // 300 colours: colour c covers 300 - c pixels, so colours 0..255 are the
    // most frequent and come through unchanged; each other one is shown as
    // its nearest neighbour among those.
    auto colour = [](int c) {
        return static_cast<std::uint32_t>(((c * 5) % 256) << 16 | (c / 2) << 8 | ((c * 3) % 256));
    };
    auto distance = [](std::uint32_t a, std::uint32_t b) {
        int d = 0;
        for (int s = 0; s < 24; s += 8) {
            const int c = static_cast<int>((a >> s) & 0xFF) - static_cast<int>((b >> s) & 0xFF);
            d += c * c;
        }
        return d;
    };
    std::vector<std::uint32_t> pixels;
    for (int c = 0; c < 300; ++c)
        for (int n = 0; n < 300 - c; ++n) pixels.push_back(colour(c));
    const int w = 150;
    const int h = static_cast<int>(pixels.size() / w);
    pixels.resize(static_cast<std::size_t>(w * h));
    GifEncoder gif(w, h);
    gif.AddFrame(pixels.data(), static_cast<std::size_t>(w), 2);
    const DecodedGif g = DecodeGif(gif.Finish());
    ASSERT_EQ(g.frames.size(), 1u);
    const std::vector<std::uint32_t>& shown = g.frames[0];
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        int nearest = 0;
        for (int c = 1; c < 256; ++c)
            if (distance(colour(c), pixels[i]) < distance(colour(nearest), pixels[i])) nearest = c;
        ASSERT_EQ(shown[i], colour(nearest)) << "pixel " << i;
    }
}
