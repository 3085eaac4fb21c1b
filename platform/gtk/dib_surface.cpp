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

Pixbuf PixbufFromDib(const DibImage& image) {
    if (!image.HasBits()) return nullptr;
    const int width = image.GetWidth();
    const int height = image.GetHeight();
    Pixbuf pixbuf(gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, width, height));
    if (!pixbuf) return nullptr;
    guchar* data = gdk_pixbuf_get_pixels(pixbuf.get());
    const int stride = gdk_pixbuf_get_rowstride(pixbuf.get());
    for (int y = 0; y < height; ++y) {
        guchar* p = data + static_cast<std::ptrdiff_t>(y) * stride;
        for (int x = 0; x < width; ++x, p += 3) {
            const ColorRef c = DibPixelAt(image, x, y);
            p[0] = static_cast<guchar>(GetRValue(c));
            p[1] = static_cast<guchar>(GetGValue(c));
            p[2] = static_cast<guchar>(GetBValue(c));
        }
    }
    return pixbuf;
}

CairoSurface LoadResourceSurface(std::uint16_t id) {
    DibImage image;
    if (!image.LoadFromResource(id)) return nullptr;
    return SurfaceFromDib(image);
}
