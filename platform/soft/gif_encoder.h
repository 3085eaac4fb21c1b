#pragma once
// Animated GIF of framebuffer pixels (0x00RRGGBB words), looping forever.
//
// Each frame is stored as the rectangle in which it differs from the one
// before, with a local colour table: the exact colours when that rectangle
// has at most 256, otherwise the 256 most frequent ones, every other colour
// going to its nearest neighbour among them. A frame identical to the one
// before only lengthens the earlier frame's delay. giflib writes the file.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct GifFileType;

class GifEncoder {
public:
    GifEncoder(int width, int height);
    ~GifEncoder();
    GifEncoder(const GifEncoder&) = delete;
    GifEncoder& operator=(const GifEncoder&) = delete;

    int Width() const { return width_; }
    int Height() const { return height_; }

    // `pixels` holds Width() x Height() words, rows `stride` words apart.
    // The delay is in hundredths of a second.
    void AddFrame(const std::uint32_t* pixels, std::size_t stride, int delayCentiseconds);
    std::size_t FramesWritten() const { return framesWritten_; }

    // The whole file; no frame may be added afterwards.
    std::vector<std::uint8_t> Finish();

private:
    static int Append(GifFileType* gif, const unsigned char* bytes, int length);
    void EmitPending();

    int width_;
    int height_;
    GifFileType* gif_ = nullptr;  // open until Finish
    std::vector<std::uint8_t> out_;
    std::vector<std::uint32_t> shown_;    // the frame last written, in its true colours
    std::vector<std::uint32_t> pending_;  // the latest frame, not yet written
    int pendingDelay_ = 0;
    bool hasPending_ = false;
    bool first_ = true;
    bool finished_ = false;
    std::size_t framesWritten_ = 0;
};

bool WriteGif(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string* error = nullptr);
