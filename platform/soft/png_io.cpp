#include "platform/soft/png_io.h"

#include <png.h>

#include <cstring>

namespace {

void SetError(std::string* error, const std::string& text) {
    if (error) *error = text;
}

// The simplified API keeps its state in a png_image, which must be freed on
// every path once a read or write has begun.
struct ImageGuard {
    png_image& image;
    ~ImageGuard() { png_image_free(&image); }
};

}  // namespace

bool WritePng(const std::string& path, const std::uint32_t* pixels, int width, int height, std::size_t stride,
              std::string* error) {
    if (width <= 0 || height <= 0 || !pixels) {
        SetError(error, "nothing to write: the image is empty");
        return false;
    }
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* row = pixels + static_cast<std::size_t>(y) * stride;
        std::uint8_t* out = &rgb[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 3];
        for (int x = 0; x < width; ++x) {
            out[3 * x] = static_cast<std::uint8_t>(row[x] >> 16);
            out[3 * x + 1] = static_cast<std::uint8_t>(row[x] >> 8);
            out[3 * x + 2] = static_cast<std::uint8_t>(row[x]);
        }
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    ImageGuard guard{image};
    if (!png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), width * 3, nullptr)) {
        SetError(error, std::string("cannot write ") + path + ": " + image.message);
        return false;
    }
    return true;
}

bool ReadPng(const std::string& path, std::vector<std::uint32_t>& pixels, int& width, int& height,
             std::string* error) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    ImageGuard guard{image};
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        SetError(error, std::string("cannot read ") + path + ": " + image.message);
        return false;
    }
    image.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> rgb(PNG_IMAGE_SIZE(image));
    png_color black{0, 0, 0};
    if (!png_image_finish_read(&image, &black, rgb.data(), 0, nullptr)) {
        SetError(error, std::string("cannot read ") + path + ": " + image.message);
        return false;
    }
    width = static_cast<int>(image.width);
    height = static_cast<int>(image.height);
    pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = (static_cast<std::uint32_t>(rgb[3 * i]) << 16) | (static_cast<std::uint32_t>(rgb[3 * i + 1]) << 8) |
                    rgb[3 * i + 2];
    return true;
}
