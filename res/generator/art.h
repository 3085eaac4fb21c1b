#pragma once
// Shared pieces of the artwork generator: small vector maths, colours, a
// supersampling renderer over shading functions, signed-distance shapes and a
// stroke alphabet for the emblems' initials.
//
// Everything here is deterministic: no clock, no std::random distributions,
// no floating-point contraction (the target is built with -ffp-contract=off),
// so the committed pictures come out byte for byte again.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace art {

constexpr double kPi = 3.14159265358979323846;

struct Vec2 {
    double x = 0, y = 0;
};
inline Vec2 operator+(Vec2 a, Vec2 b) { return {a.x + b.x, a.y + b.y}; }
inline Vec2 operator-(Vec2 a, Vec2 b) { return {a.x - b.x, a.y - b.y}; }
inline Vec2 operator*(Vec2 a, double s) { return {a.x * s, a.y * s}; }
inline double Dot(Vec2 a, Vec2 b) { return a.x * b.x + a.y * b.y; }
inline double Length(Vec2 a) { return std::sqrt(Dot(a, a)); }

struct Vec3 {
    double x = 0, y = 0, z = 0;
};
inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline double Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 Cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double Length(Vec3 a) { return std::sqrt(Dot(a, a)); }
inline Vec3 Normalize(Vec3 a) {
    double l = Length(a);
    return l > 0 ? a * (1.0 / l) : a;
}

// Linear-ish display colour, each channel nominally 0..1 (may exceed 1 before
// the final clamp, which is where light sources saturate).
struct Rgb {
    double r = 0, g = 0, b = 0;
};
inline Rgb operator+(Rgb a, Rgb b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
inline Rgb operator-(Rgb a, Rgb b) { return {a.r - b.r, a.g - b.g, a.b - b.b}; }
inline Rgb operator*(Rgb a, double s) { return {a.r * s, a.g * s, a.b * s}; }
inline Rgb operator*(Rgb a, Rgb b) { return {a.r * b.r, a.g * b.g, a.b * b.b}; }
inline Rgb Mix(Rgb a, Rgb b, double t) { return a + (b - a) * t; }
inline Rgb Hex(std::uint32_t rgb) {
    return {((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0};
}
inline double Luma(Rgb c) { return 0.299 * c.r + 0.587 * c.g + 0.114 * c.b; }

inline double Clamp01(double v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }
inline double SmoothStep(double e0, double e1, double x) {
    double t = Clamp01((x - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}

// Integer hash, used wherever a picture needs "random" detail (stars, crowd):
// the same inputs give the same detail on every run and every machine.
inline std::uint32_t Hash(std::uint32_t a, std::uint32_t b = 0, std::uint32_t c = 0) {
    std::uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u ^ (c + 0x165667B1u) * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h;
}
inline double Hash01(std::uint32_t a, std::uint32_t b = 0, std::uint32_t c = 0) {
    return (Hash(a, b, c) >> 8) * (1.0 / 16777216.0);
}

// Smooth value noise over the plane, for grass, haze and wear.
double Noise(double x, double y, std::uint32_t seed);

struct Rgba8 {
    std::uint8_t r = 0, g = 0, b = 0, a = 255;
    bool operator==(const Rgba8&) const = default;
};

// A finished picture, top-down rows, 8 bits per channel. `a` is used only by
// the icon (its transparency mask); bitmaps ignore it.
struct Picture {
    int width = 0, height = 0;
    std::vector<Rgba8> pixels;
    Rgba8& at(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
    const Rgba8& at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// A shading function answers the colour at a point in pixel coordinates
// (x to the right, y down, pixel (i, j) covering [i, i+1) x [j, j+1)), and may
// report its coverage in `alpha` (1 when left alone).
using Shader = std::function<Rgb(Vec2 p, double& alpha)>;

// Renders by averaging n x n samples per pixel on a regular grid, which is
// what anti-aliases every edge the shader draws.
Picture Render(int width, int height, int n, const Shader& shade);

// Signed distances (negative inside), in pixels.
double SdCircle(Vec2 p, Vec2 c, double r);
double SdEllipse(Vec2 p, Vec2 c, double rx, double ry);  // approximate, fine near the edge
double SdBox(Vec2 p, Vec2 c, Vec2 halfSize, double radius = 0);
double SdSegment(Vec2 p, Vec2 a, Vec2 b);  // unsigned distance to the segment
double SdPolygon(Vec2 p, const std::vector<Vec2>& poly);
inline double Union(double a, double b) { return std::min(a, b); }
inline double Intersect(double a, double b) { return std::max(a, b); }
inline double Subtract(double a, double b) { return std::max(a, -b); }

// Coverage of a sample by a shape at distance d, with an edge softened over
// `soft` pixels (a fraction of a sample keeps edges crisp after averaging).
inline double Cover(double d, double soft = 0.12) { return Clamp01(0.5 - d / soft); }

// Composites `c` over `dst` with coverage `a`.
inline void Over(Rgb& dst, Rgb c, double a) { dst = Mix(dst, c, Clamp01(a)); }

// Polyline helpers for shapes: an elliptic arc from angle t0 to t1 (degrees,
// measured with y down, so 90 is the bottom), n points, appended to `out`.
void AppendArc(std::vector<Vec2>& out, Vec2 c, double rx, double ry, double t0, double t1, int n);
// Quadratic Bezier from the last point of `out` through control q to end e.
void AppendQuad(std::vector<Vec2>& out, Vec2 q, Vec2 e, int n);

// Block capitals drawn as strokes. A glyph sits in a cell 4 units wide and 6
// high; Text() maps cells onto the picture and answers the distance to the
// strokes' centre lines (subtract half the stroke width for a shape).
class StrokeText {
public:
    // `text` centred on `centre`, each glyph `height` pixels high, `spacing`
    // glyph units between glyphs; `slant` leans the glyphs (x += slant * -dy).
    StrokeText(const std::string& text, Vec2 centre, double height, double spacing = 1.6,
               double slant = 0.0);
    double Distance(Vec2 p) const;
    double Width() const { return width_; }

private:
    std::vector<std::pair<Vec2, Vec2>> segments_;
    double width_ = 0;
};

}  // namespace art
