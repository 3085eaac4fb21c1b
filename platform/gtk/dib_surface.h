#pragma once
// Pictures of the program as cairo surfaces for GTK.

#include <cairo.h>

#include <cstdint>
#include <memory>

class DibImage;

struct CairoSurfaceDeleter {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
using CairoSurface = std::unique_ptr<cairo_surface_t, CairoSurfaceDeleter>;

// An opaque image surface of the picture's size, each pixel the colour
// DibPixelAt reads; null when nothing is loaded.
CairoSurface SurfaceFromDib(const DibImage& image);

// Loads a bitmap resource and converts it; null when it cannot be loaded.
CairoSurface LoadResourceSurface(std::uint16_t id);
