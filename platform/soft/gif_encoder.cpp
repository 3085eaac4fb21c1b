#include "platform/soft/gif_encoder.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <unordered_map>

namespace {

void Put16(std::vector<std::uint8_t>& out, unsigned v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

// Codes are packed from the least significant bit up and cut into data
// sub-blocks of at most 255 bytes.
class CodeWriter {
public:
    explicit CodeWriter(std::vector<std::uint8_t>& out) : out_(out) {}
    void Write(unsigned code, int bits) {
        acc_ |= static_cast<std::uint32_t>(code) << nbits_;
        nbits_ += bits;
        while (nbits_ >= 8) {
            Byte(static_cast<std::uint8_t>(acc_ & 0xFF));
            acc_ >>= 8;
            nbits_ -= 8;
        }
    }
    void Finish() {
        if (nbits_ > 0) Byte(static_cast<std::uint8_t>(acc_ & 0xFF));
        acc_ = 0;
        nbits_ = 0;
        FlushBlock();
        out_.push_back(0);
    }

private:
    void Byte(std::uint8_t b) {
        block_[blockLen_++] = b;
        if (blockLen_ == 255) FlushBlock();
    }
    void FlushBlock() {
        if (blockLen_ == 0) return;
        out_.push_back(static_cast<std::uint8_t>(blockLen_));
        out_.insert(out_.end(), block_, block_ + blockLen_);
        blockLen_ = 0;
    }
    std::vector<std::uint8_t>& out_;
    std::uint32_t acc_ = 0;
    int nbits_ = 0;
    std::uint8_t block_[255] = {};
    int blockLen_ = 0;
};

// String table of the encoder: (prefix code, next index) -> code, open
// addressing; cleared whenever the 4096 codes are used up.
class CodeTable {
public:
    CodeTable() : keys_(kSlots, -1), codes_(kSlots, 0) {}
    void Clear() { std::fill(keys_.begin(), keys_.end(), -1); }
    int Find(int prefix, int next) const {
        const std::int32_t key = (prefix << 8) | next;
        for (std::size_t s = Slot(key);; s = (s + 1) & (kSlots - 1)) {
            if (keys_[s] == key) return codes_[s];
            if (keys_[s] < 0) return -1;
        }
    }
    void Insert(int prefix, int next, int code) {
        const std::int32_t key = (prefix << 8) | next;
        std::size_t s = Slot(key);
        while (keys_[s] >= 0) s = (s + 1) & (kSlots - 1);
        keys_[s] = key;
        codes_[s] = static_cast<std::uint16_t>(code);
    }

private:
    static constexpr std::size_t kSlots = 8192;
    static std::size_t Slot(std::int32_t key) {
        return (static_cast<std::uint32_t>(key) * 2654435761u >> 19) & (kSlots - 1);
    }
    std::vector<std::int32_t> keys_;
    std::vector<std::uint16_t> codes_;
};

int SquaredDistance(std::uint32_t a, std::uint32_t b) {
    int dr = static_cast<int>((a >> 16) & 0xFF) - static_cast<int>((b >> 16) & 0xFF);
    int dg = static_cast<int>((a >> 8) & 0xFF) - static_cast<int>((b >> 8) & 0xFF);
    int db = static_cast<int>(a & 0xFF) - static_cast<int>(b & 0xFF);
    return dr * dr + dg * dg + db * db;
}

}  // namespace

void GifEncoder::EncodeLzw(const std::uint8_t* indices, std::size_t count, int minCodeSize,
                           std::vector<std::uint8_t>& out) {
    out.push_back(static_cast<std::uint8_t>(minCodeSize));
    CodeWriter writer(out);
    const int clear = 1 << minCodeSize;
    const int end = clear + 1;
    int codeSize = minCodeSize + 1;
    int next = clear + 2;
    CodeTable table;
    writer.Write(static_cast<unsigned>(clear), codeSize);
    if (count > 0) {
        int prefix = indices[0];
        for (std::size_t i = 1; i < count; ++i) {
            const int c = indices[i];
            const int found = table.Find(prefix, c);
            if (found >= 0) {
                prefix = found;
                continue;
            }
            writer.Write(static_cast<unsigned>(prefix), codeSize);
            table.Insert(prefix, c, next++);
            // The decoder adds its entries one code later; it widens its
            // codes once the code just added needs one bit more.
            if (next > (1 << codeSize) && codeSize < 12) ++codeSize;
            if (next == 4096) {
                writer.Write(static_cast<unsigned>(clear), codeSize);
                table.Clear();
                codeSize = minCodeSize + 1;
                next = clear + 2;
            }
            prefix = c;
        }
        writer.Write(static_cast<unsigned>(prefix), codeSize);
        // The decoder adds an entry for that last code before it reads the
        // end code, and may widen first.
        if (next >= (1 << codeSize) && codeSize < 12) ++codeSize;
    }
    writer.Write(static_cast<unsigned>(end), codeSize);
    writer.Finish();
}

GifEncoder::GifEncoder(int width, int height)
    : width_(std::clamp(width, 1, 65535)), height_(std::clamp(height, 1, 65535)) {
    for (char c : std::string_view("GIF89a")) out_.push_back(static_cast<std::uint8_t>(c));
    Put16(out_, static_cast<unsigned>(width_));
    Put16(out_, static_cast<unsigned>(height_));
    out_.push_back(0x00);  // no global colour table
    out_.push_back(0);     // background colour index
    out_.push_back(0);     // square pixels
    // Loop forever.
    static const std::uint8_t kLoop[] = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E',
                                         '2',  '.',  '0',  0x03, 0x01, 0x00, 0x00, 0x00};
    for (std::uint8_t b : kLoop) out_.push_back(b);
    const std::size_t n = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
    shown_.assign(n, 0);
    pending_.assign(n, 0);
}

void GifEncoder::AddFrame(const std::uint32_t* pixels, std::size_t stride, int delayCentiseconds) {
    if (finished_) return;
    delayCentiseconds = std::clamp(delayCentiseconds, 0, 65535);
    const std::size_t w = static_cast<std::size_t>(width_);
    bool same = hasPending_;
    for (int y = 0; same && y < height_; ++y)
        same = std::memcmp(&pending_[static_cast<std::size_t>(y) * w], pixels + static_cast<std::size_t>(y) * stride,
                           w * sizeof(std::uint32_t)) == 0;
    if (same && pendingDelay_ + delayCentiseconds <= 65535) {
        pendingDelay_ += delayCentiseconds;
        return;
    }
    EmitPending();
    for (int y = 0; y < height_; ++y)
        std::memcpy(&pending_[static_cast<std::size_t>(y) * w], pixels + static_cast<std::size_t>(y) * stride,
                    w * sizeof(std::uint32_t));
    pendingDelay_ = delayCentiseconds;
    hasPending_ = true;
}

void GifEncoder::EmitPending() {
    if (!hasPending_) return;
    hasPending_ = false;
    const std::size_t w = static_cast<std::size_t>(width_);

    // The rectangle that differs from what is on show; the first frame is
    // written whole so that every pixel is defined.
    int left = 0, top = 0, right = width_, bottom = height_;
    if (!first_) {
        left = width_;
        top = height_;
        right = 0;
        bottom = 0;
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                std::size_t i = static_cast<std::size_t>(y) * w + static_cast<std::size_t>(x);
                if (pending_[i] != shown_[i]) {
                    left = std::min(left, x);
                    right = std::max(right, x + 1);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y + 1);
                }
            }
        }
        if (left >= right) {
            // Nothing changed (a delay too long for one frame): one pixel
            // keeps the timing.
            left = top = 0;
            right = bottom = 1;
        }
    }
    first_ = false;

    std::unordered_map<std::uint32_t, std::size_t> counts;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) ++counts[pending_[static_cast<std::size_t>(y) * w + static_cast<std::size_t>(x)]];
    std::vector<std::pair<std::uint32_t, std::size_t>> colours(counts.begin(), counts.end());
    // Most frequent first, ties by value: the same frames give the same file.
    std::sort(colours.begin(), colours.end(), [](const auto& a, const auto& b) {
        return a.second != b.second ? a.second > b.second : a.first < b.first;
    });
    const std::size_t paletteSize = std::min<std::size_t>(colours.size(), 256);
    std::vector<std::uint32_t> palette(paletteSize);
    std::unordered_map<std::uint32_t, std::uint8_t> indexOf;
    for (std::size_t i = 0; i < paletteSize; ++i) {
        palette[i] = colours[i].first;
        indexOf[palette[i]] = static_cast<std::uint8_t>(i);
    }
    for (std::size_t i = paletteSize; i < colours.size(); ++i) {
        std::size_t best = 0;
        int bestDistance = SquaredDistance(colours[i].first, palette[0]);
        for (std::size_t p = 1; p < paletteSize && bestDistance > 0; ++p) {
            int d = SquaredDistance(colours[i].first, palette[p]);
            if (d < bestDistance) {
                bestDistance = d;
                best = p;
            }
        }
        indexOf[colours[i].first] = static_cast<std::uint8_t>(best);
    }
    int tableBits = 1;
    while ((std::size_t{1} << tableBits) < paletteSize) ++tableBits;

    std::vector<std::uint8_t> indices;
    indices.reserve(static_cast<std::size_t>(right - left) * static_cast<std::size_t>(bottom - top));
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            std::size_t i = static_cast<std::size_t>(y) * w + static_cast<std::size_t>(x);
            indices.push_back(indexOf[pending_[i]]);
            shown_[i] = pending_[i];
        }
    }

    // Graphic control: keep the frame in place, no transparency.
    out_.push_back(0x21);
    out_.push_back(0xF9);
    out_.push_back(4);
    out_.push_back(0x04);
    Put16(out_, static_cast<unsigned>(pendingDelay_));
    out_.push_back(0);
    out_.push_back(0);
    // Image descriptor with a local colour table.
    out_.push_back(0x2C);
    Put16(out_, static_cast<unsigned>(left));
    Put16(out_, static_cast<unsigned>(top));
    Put16(out_, static_cast<unsigned>(right - left));
    Put16(out_, static_cast<unsigned>(bottom - top));
    out_.push_back(static_cast<std::uint8_t>(0x80 | (tableBits - 1)));
    for (std::size_t i = 0; i < (std::size_t{1} << tableBits); ++i) {
        std::uint32_t c = i < paletteSize ? palette[i] : 0;
        out_.push_back(static_cast<std::uint8_t>(c >> 16));
        out_.push_back(static_cast<std::uint8_t>(c >> 8));
        out_.push_back(static_cast<std::uint8_t>(c));
    }
    EncodeLzw(indices.data(), indices.size(), std::max(2, tableBits), out_);
    ++framesWritten_;
}

std::vector<std::uint8_t> GifEncoder::Finish() {
    if (!finished_) {
        EmitPending();
        out_.push_back(0x3B);
        finished_ = true;
    }
    return out_;
}

bool WriteGif(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string* error) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        if (error) *error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = (std::fclose(f) == 0) && ok;
    if (!ok && error) *error = "cannot write " + path + ": " + std::strerror(errno);
    return ok;
}
