#pragma once
// Pictures of the program as cairo surfaces and pixbufs for GTK.

#include <cairo.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstdint>
#include <memory>

class DibImage;

struct CairoSurfaceDeleter {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
using CairoSurface = std::unique_ptr<cairo_surface_t, CairoSurfaceDeleter>;

struct GObjectDeleter {
    void operator()(void* object) const { g_object_unref(object); }
};
using Pixbuf = std::unique_ptr<GdkPixbuf, GObjectDeleter>;

// An opaque image surface of the picture's size, each pixel the colour
// DibPixelAt reads; null when nothing is loaded.
CairoSurface SurfaceFromDib(const DibImage& image);

// The same picture as an opaque pixbuf, for window icons.
Pixbuf PixbufFromDib(const DibImage& image);

// Loads a bitmap resource and converts it; null when it cannot be loaded.
CairoSurface LoadResourceSurface(std::uint16_t id);
