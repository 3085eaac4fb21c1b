#include "output.h"

#include <array>
#include <cstdio>
#include <map>

namespace art {

namespace {

std::uint32_t Key(const Rgba8& c) { return (c.r << 16) | (c.g << 8) | c.b; }
Rgba8 FromKey(std::uint32_t k) {
    return {static_cast<std::uint8_t>(k >> 16), static_cast<std::uint8_t>(k >> 8),
            static_cast<std::uint8_t>(k), 255};
}

struct Entry {
    std::array<int, 3> c;
    std::uint64_t count;
};

// Perceptual weights for distances: the eye forgives blue errors most.
constexpr std::array<double, 3> kWeight{3.0, 4.0, 2.0};

double Distance(const std::array<double, 3>& a, const std::array<double, 3>& b) {
    double d = 0;
    for (int i = 0; i < 3; ++i) d += kWeight[i] * (a[i] - b[i]) * (a[i] - b[i]);
    return d;
}

struct Box {
    std::size_t begin, end;  // range in the entry list
    int axis = 0;
    double score = 0;
};

void Measure(Box& box, const std::vector<Entry>& entries) {
    std::array<int, 3> lo{255, 255, 255}, hi{0, 0, 0};
    std::uint64_t total = 0;
    for (std::size_t i = box.begin; i < box.end; ++i) {
        for (int k = 0; k < 3; ++k) {
            lo[k] = std::min(lo[k], entries[i].c[k]);
            hi[k] = std::max(hi[k], entries[i].c[k]);
        }
        total += entries[i].count;
    }
    double best = -1;
    for (int k = 0; k < 3; ++k) {
        double range = (hi[k] - lo[k]) * std::sqrt(kWeight[k]);
        if (range > best) {
            best = range;
            box.axis = k;
        }
    }
    // Splitting where a box is both wide and busy lowers the total error the
    // most; boxes of one colour cannot be split.
    box.score = box.end - box.begin > 1 ? best * best * std::sqrt(static_cast<double>(total)) : -1;
}

std::vector<std::array<double, 3>> MedianCut(std::vector<Entry> entries, std::size_t slots) {
    std::vector<std::array<double, 3>> result;
    if (entries.empty() || slots == 0) return result;
    if (entries.size() <= slots) {
        for (const Entry& e : entries) result.push_back({double(e.c[0]), double(e.c[1]), double(e.c[2])});
        return result;
    }
    std::vector<Box> boxes{{0, entries.size()}};
    Measure(boxes[0], entries);
    while (boxes.size() < slots) {
        std::size_t pick = 0;
        for (std::size_t i = 1; i < boxes.size(); ++i)
            if (boxes[i].score > boxes[pick].score) pick = i;
        Box box = boxes[pick];
        if (box.score < 0) break;
        int axis = box.axis;
        std::sort(entries.begin() + box.begin, entries.begin() + box.end,
                  [axis](const Entry& a, const Entry& b) {
                      if (a.c[axis] != b.c[axis]) return a.c[axis] < b.c[axis];
                      return a.c < b.c;
                  });
        std::uint64_t total = 0;
        for (std::size_t i = box.begin; i < box.end; ++i) total += entries[i].count;
        std::uint64_t run = 0;
        std::size_t cut = box.begin + 1;
        for (std::size_t i = box.begin; i < box.end - 1; ++i) {
            run += entries[i].count;
            cut = i + 1;
            if (run * 2 >= total) break;
        }
        Box a{box.begin, cut}, b{cut, box.end};
        Measure(a, entries);
        Measure(b, entries);
        boxes[pick] = a;
        boxes.push_back(b);
    }
    // Seed k-means with the boxes' weighted means, then let the centres settle.
    std::vector<std::array<double, 3>> centres;
    for (const Box& box : boxes) {
        std::array<double, 3> sum{0, 0, 0};
        double n = 0;
        for (std::size_t i = box.begin; i < box.end; ++i) {
            for (int k = 0; k < 3; ++k) sum[k] += entries[i].c[k] * double(entries[i].count);
            n += double(entries[i].count);
        }
        centres.push_back({sum[0] / n, sum[1] / n, sum[2] / n});
    }
    for (int round = 0; round < 6; ++round) {
        std::vector<std::array<double, 3>> sum(centres.size(), {0, 0, 0});
        std::vector<double> n(centres.size(), 0);
        for (const Entry& e : entries) {
            std::array<double, 3> c{double(e.c[0]), double(e.c[1]), double(e.c[2])};
            std::size_t best = 0;
            double bestD = Distance(c, centres[0]);
            for (std::size_t j = 1; j < centres.size(); ++j) {
                double d = Distance(c, centres[j]);
                if (d < bestD) {
                    bestD = d;
                    best = j;
                }
            }
            for (int k = 0; k < 3; ++k) sum[best][k] += c[k] * double(e.count);
            n[best] += double(e.count);
        }
        for (std::size_t j = 0; j < centres.size(); ++j)
            if (n[j] > 0) centres[j] = {sum[j][0] / n[j], sum[j][1] / n[j], sum[j][2] / n[j]};
    }
    return centres;
}

void Put16(std::vector<std::uint8_t>& out, unsigned v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

void PutInfoHeader(std::vector<std::uint8_t>& out, int width, int height, int bits,
                   std::uint32_t imageSize) {
    Put32(out, 40);
    Put32(out, static_cast<std::uint32_t>(width));
    Put32(out, static_cast<std::uint32_t>(height));
    Put16(out, 1);
    Put16(out, static_cast<unsigned>(bits));
    Put32(out, 0);  // BI_RGB
    Put32(out, imageSize);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 0);  // a full table for the bit depth
    Put32(out, 0);
}

void PutFileHeader(std::vector<std::uint8_t>& out, std::uint32_t fileSize, std::uint32_t offset) {
    out.push_back('B');
    out.push_back('M');
    Put32(out, fileSize);
    Put32(out, 0);
    Put32(out, offset);
}

std::uint32_t RowSize(int width, int bits) {
    return static_cast<std::uint32_t>(((width * bits + 31) / 32) * 4);
}

void PutPalette(std::vector<std::uint8_t>& out, const std::vector<Rgba8>& palette) {
    for (const Rgba8& c : palette) {
        out.push_back(c.b);
        out.push_back(c.g);
        out.push_back(c.r);
        out.push_back(0);
    }
}

void PutRows8(std::vector<std::uint8_t>& out, const Indexed& image) {
    std::uint32_t row = RowSize(image.width, 8);
    for (int y = image.height - 1; y >= 0; --y) {
        for (int x = 0; x < image.width; ++x)
            out.push_back(image.index[static_cast<std::size_t>(y) * image.width + x]);
        for (std::uint32_t i = static_cast<std::uint32_t>(image.width); i < row; ++i) out.push_back(0);
    }
}

}  // namespace

Indexed Quantize(const Picture& pic, const QuantizeOptions& options) {
    Indexed out;
    out.width = pic.width;
    out.height = pic.height;
    std::map<std::uint32_t, int> exactSlot;
    std::vector<Rgba8> palette;
    for (const Rgba8& c : options.exact) {
        if (exactSlot.emplace(Key(c), static_cast<int>(palette.size())).second)
            palette.push_back({c.r, c.g, c.b, 255});
    }
    std::map<std::uint32_t, std::uint64_t> histogram;
    for (const Rgba8& c : pic.pixels)
        if (!exactSlot.count(Key(c))) ++histogram[Key(c)];
    std::vector<Entry> entries;
    for (const auto& [k, n] : histogram) {
        Rgba8 c = FromKey(k);
        entries.push_back({{c.r, c.g, c.b}, n});
    }
    auto centres = MedianCut(entries, 256 - palette.size());
    for (const auto& c : centres) {
        palette.push_back({static_cast<std::uint8_t>(std::lround(std::clamp(c[0], 0.0, 255.0))),
                           static_cast<std::uint8_t>(std::lround(std::clamp(c[1], 0.0, 255.0))),
                           static_cast<std::uint8_t>(std::lround(std::clamp(c[2], 0.0, 255.0))), 255});
    }
    const std::size_t firstFree = exactSlot.size();
    auto nearest = [&](const std::array<double, 3>& c) {
        // Ordinary pixels choose among the free slots only, so that nothing
        // but true background lands on a background colour.
        std::size_t best = firstFree < palette.size() ? firstFree : 0;
        double bestD = 1e300;
        for (std::size_t j = (firstFree < palette.size() ? firstFree : 0); j < palette.size(); ++j) {
            std::array<double, 3> p{double(palette[j].r), double(palette[j].g), double(palette[j].b)};
            double d = Distance(c, p);
            if (d < bestD) {
                bestD = d;
                best = j;
            }
        }
        return best;
    };

    const int w = pic.width, h = pic.height;
    out.index.assign(static_cast<std::size_t>(w) * h, 0);
    std::vector<std::array<double, 3>> err(static_cast<std::size_t>(w) * h, {0, 0, 0});
    std::map<std::uint32_t, std::size_t> memo;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            std::size_t i = static_cast<std::size_t>(y) * w + x;
            const Rgba8& c = pic.pixels[i];
            auto ex = exactSlot.find(Key(c));
            if (ex != exactSlot.end()) {
                out.index[i] = static_cast<std::uint8_t>(ex->second);
                continue;
            }
            std::array<double, 3> want{c.r + err[i][0], c.g + err[i][1], c.b + err[i][2]};
            for (double& v : want) v = std::clamp(v, 0.0, 255.0);
            std::size_t best;
            if (options.dither > 0) {
                best = nearest(want);
            } else {
                auto m = memo.find(Key(c));
                best = m != memo.end() ? m->second : (memo[Key(c)] = nearest(want));
            }
            out.index[i] = static_cast<std::uint8_t>(best);
            if (options.dither <= 0) continue;
            std::array<double, 3> e{(want[0] - palette[best].r) * options.dither,
                                    (want[1] - palette[best].g) * options.dither,
                                    (want[2] - palette[best].b) * options.dither};
            auto spread = [&](int dx, int dy, double f) {
                int nx = x + dx, ny = y + dy;
                if (nx < 0 || nx >= w || ny >= h) return;
                std::size_t j = static_cast<std::size_t>(ny) * w + nx;
                if (exactSlot.count(Key(pic.pixels[j]))) return;
                for (int k = 0; k < 3; ++k) err[j][k] += e[k] * f;
            };
            spread(1, 0, 7.0 / 16);
            spread(-1, 1, 3.0 / 16);
            spread(0, 1, 5.0 / 16);
            spread(1, 1, 1.0 / 16);
        }
    }
    palette.resize(256, Rgba8{0, 0, 0, 255});
    out.palette = palette;
    return out;
}

std::vector<std::uint8_t> EncodeBmp8(const Indexed& image) {
    std::uint32_t imageSize = RowSize(image.width, 8) * static_cast<std::uint32_t>(image.height);
    std::uint32_t offset = 14 + 40 + 256 * 4;
    std::vector<std::uint8_t> out;
    PutFileHeader(out, offset + imageSize, offset);
    PutInfoHeader(out, image.width, image.height, 8, imageSize);
    PutPalette(out, image.palette);
    PutRows8(out, image);
    return out;
}

std::vector<std::uint8_t> EncodeBmp1(const Picture& pic) {
    std::uint32_t row = RowSize(pic.width, 1);
    std::uint32_t imageSize = row * static_cast<std::uint32_t>(pic.height);
    std::uint32_t offset = 14 + 40 + 2 * 4;
    std::vector<std::uint8_t> out;
    PutFileHeader(out, offset + imageSize, offset);
    PutInfoHeader(out, pic.width, pic.height, 1, imageSize);
    PutPalette(out, {Rgba8{0, 0, 0, 255}, Rgba8{255, 255, 255, 255}});
    for (int y = pic.height - 1; y >= 0; --y) {
        std::vector<std::uint8_t> bytes(row, 0);
        for (int x = 0; x < pic.width; ++x) {
            const Rgba8& c = pic.at(x, y);
            bool white = c.r + c.g + c.b >= 3 * 128;
            if (white) bytes[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        }
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    return out;
}

std::vector<std::uint8_t> EncodeIco(const std::vector<Indexed>& images,
                                    const std::vector<Picture>& alphaSources) {
    std::vector<std::vector<std::uint8_t>> blobs;
    for (std::size_t n = 0; n < images.size(); ++n) {
        const Indexed& image = images[n];
        const Picture& alpha = alphaSources[n];
        std::uint32_t xorSize = RowSize(image.width, 8) * static_cast<std::uint32_t>(image.height);
        std::uint32_t andRow = RowSize(image.width, 1);
        std::uint32_t andSize = andRow * static_cast<std::uint32_t>(image.height);
        std::vector<std::uint8_t> blob;
        // An icon image's header counts the XOR and AND halves together.
        PutInfoHeader(blob, image.width, image.height * 2, 8, xorSize + andSize);
        PutPalette(blob, image.palette);
        PutRows8(blob, image);
        for (int y = image.height - 1; y >= 0; --y) {
            std::vector<std::uint8_t> bytes(andRow, 0);
            for (int x = 0; x < image.width; ++x)
                if (alpha.at(x, y).a < 128) bytes[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
            blob.insert(blob.end(), bytes.begin(), bytes.end());
        }
        blobs.push_back(std::move(blob));
    }
    std::vector<std::uint8_t> out;
    Put16(out, 0);
    Put16(out, 1);
    Put16(out, static_cast<unsigned>(images.size()));
    std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
    for (std::size_t n = 0; n < images.size(); ++n) {
        out.push_back(static_cast<std::uint8_t>(images[n].width));
        out.push_back(static_cast<std::uint8_t>(images[n].height));
        out.push_back(0);  // 256 colours
        out.push_back(0);
        Put16(out, 1);
        Put16(out, 8);
        Put32(out, static_cast<std::uint32_t>(blobs[n].size()));
        Put32(out, offset);
        offset += static_cast<std::uint32_t>(blobs[n].size());
    }
    for (const auto& blob : blobs) out.insert(out.end(), blob.begin(), blob.end());
    return out;
}

bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace art
