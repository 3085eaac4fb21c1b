#include "platform/soft/gif_encoder.h"

#include <gif_lib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unordered_map>

namespace {

int SquaredDistance(std::uint32_t a, std::uint32_t b) {
    int dr = static_cast<int>((a >> 16) & 0xFF) - static_cast<int>((b >> 16) & 0xFF);
    int dg = static_cast<int>((a >> 8) & 0xFF) - static_cast<int>((b >> 8) & 0xFF);
    int db = static_cast<int>(a & 0xFF) - static_cast<int>(b & 0xFF);
    return dr * dr + dg * dg + db * db;
}

}  // namespace

GifEncoder::GifEncoder(int width, int height)
    : width_(std::clamp(width, 1, 65535)), height_(std::clamp(height, 1, 65535)) {
    int error = 0;
    gif_ = EGifOpen(this, &GifEncoder::Append, &error);
    if (gif_ != nullptr) {
        EGifSetGifVersion(gif_, true);
        // No global colour table: every frame brings its own.
        EGifPutScreenDesc(gif_, width_, height_, 1, 0, nullptr);
        // Loop forever.
        static const GifByteType kApplication[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
        static const GifByteType kLoop[] = {0x01, 0x00, 0x00};
        EGifPutExtensionLeader(gif_, APPLICATION_EXT_FUNC_CODE);
        EGifPutExtensionBlock(gif_, sizeof kApplication, kApplication);
        EGifPutExtensionBlock(gif_, sizeof kLoop, kLoop);
        EGifPutExtensionTrailer(gif_);
    }
    const std::size_t n = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
    shown_.assign(n, 0);
    pending_.assign(n, 0);
}

GifEncoder::~GifEncoder() {
    if (gif_ != nullptr) EGifCloseFile(gif_, nullptr);
}

int GifEncoder::Append(GifFileType* gif, const unsigned char* bytes, int length) {
    auto* self = static_cast<GifEncoder*>(gif->UserData);
    self->out_.insert(self->out_.end(), bytes, bytes + length);
    return length;
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

    std::vector<GifColorType> colourTable(std::size_t{1} << tableBits, GifColorType{0, 0, 0});
    for (std::size_t i = 0; i < paletteSize; ++i) {
        colourTable[i] = GifColorType{static_cast<GifByteType>(palette[i] >> 16),
                                      static_cast<GifByteType>(palette[i] >> 8), static_cast<GifByteType>(palette[i])};
    }
    ColorMapObject* colourMap = GifMakeMapObject(1 << tableBits, colourTable.data());
    if (gif_ == nullptr || colourMap == nullptr) {
        GifFreeMapObject(colourMap);
        return;
    }

    // Keep the frame in place, no transparency.
    GraphicsControlBlock control{};
    control.DisposalMode = DISPOSE_DO_NOT;
    control.UserInputFlag = false;
    control.DelayTime = pendingDelay_;
    control.TransparentColor = NO_TRANSPARENT_COLOR;
    GifByteType extension[4];
    const std::size_t extensionSize = EGifGCBToExtension(&control, extension);
    EGifPutExtension(gif_, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(extensionSize), extension);
    // The image descriptor keeps its own copy of the colour table.
    EGifPutImageDesc(gif_, left, top, right - left, bottom - top, false, colourMap);
    GifFreeMapObject(colourMap);
    std::vector<GifPixelType> row(static_cast<std::size_t>(right - left));
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * w + static_cast<std::size_t>(x);
            row[static_cast<std::size_t>(x - left)] = indexOf[pending_[i]];
            shown_[i] = pending_[i];
        }
        EGifPutLine(gif_, row.data(), right - left);
    }
    ++framesWritten_;
}

std::vector<std::uint8_t> GifEncoder::Finish() {
    if (!finished_) {
        EmitPending();
        // Writes the trailer and lets go of the library's state.
        if (gif_ != nullptr) EGifCloseFile(gif_, nullptr);
        gif_ = nullptr;
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
