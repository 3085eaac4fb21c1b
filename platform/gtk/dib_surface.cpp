#include "platform/gtk/dib_surface.h"

#include "config/mask_region.h"
#include "display/dib_image.h"

CairoSurface SurfaceFromDib(const DibImage& image) {
    if (!image.HasBits()) return nullptr;
    const int width = image.GetWidth();
    const int height = image.GetHeight();
    CairoSurface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
    cairo_surface_flush(surface.get());
    unsigned char* data = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < width; ++x) {
            const ColorRef c = DibPixelAt(image, x, y);
            row[x] = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
        }
    }
    cairo_surface_mark_dirty(surface.get());
    return surface;
}

CairoSurface LoadResourceSurface(std::uint16_t id) {
    DibImage image;
    if (!image.LoadFromResource(id)) return nullptr;
    return SurfaceFromDib(image);
}
