#include "art.h"

namespace art {

namespace {

double Fade(double t) { return t * t * (3 - 2 * t); }

double Lattice(int x, int y, std::uint32_t seed) {
    return Hash01(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), seed);
}

}  // namespace

double Noise(double x, double y, std::uint32_t seed) {
    double fx = std::floor(x), fy = std::floor(y);
    int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    double tx = Fade(x - fx), ty = Fade(y - fy);
    double a = Lattice(ix, iy, seed), b = Lattice(ix + 1, iy, seed);
    double c = Lattice(ix, iy + 1, seed), d = Lattice(ix + 1, iy + 1, seed);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

Picture Render(int width, int height, int n, const Shader& shade) {
    Picture pic;
    pic.width = width;
    pic.height = height;
    pic.pixels.resize(static_cast<std::size_t>(width) * height);
    const double step = 1.0 / n;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            Rgb sum;
            double alphaSum = 0;
            for (int j = 0; j < n; ++j) {
                for (int i = 0; i < n; ++i) {
                    Vec2 p{x + (i + 0.5) * step, y + (j + 0.5) * step};
                    double alpha = 1.0;
                    Rgb c = shade(p, alpha);
                    // Saturate per sample, as film would: a lamp brighter than
                    // white must not bleed over a dark edge inside the pixel.
                    sum = sum + Rgb{Clamp01(c.r), Clamp01(c.g), Clamp01(c.b)};
                    alphaSum += Clamp01(alpha);
                }
            }
            double inv = 1.0 / (n * n);
            auto to8 = [](double v) {
                return static_cast<std::uint8_t>(std::lround(Clamp01(v) * 255.0));
            };
            Rgba8& out = pic.at(x, y);
            out.r = to8(sum.r * inv);
            out.g = to8(sum.g * inv);
            out.b = to8(sum.b * inv);
            out.a = to8(alphaSum * inv);
        }
    }
    return pic;
}

double SdCircle(Vec2 p, Vec2 c, double r) { return Length(p - c) - r; }

double SdEllipse(Vec2 p, Vec2 c, double rx, double ry) {
    Vec2 q{(p.x - c.x) / rx, (p.y - c.y) / ry};
    double k = Length(q);
    if (k == 0) return -std::min(rx, ry);
    // Distance in normalised space scaled by the local stretch: exact on the
    // axes and close enough elsewhere for shapes a few pixels wide.
    Vec2 grad{q.x / rx, q.y / ry};
    double g = Length(grad) / k;
    return (k - 1.0) / g;
}

double SdBox(Vec2 p, Vec2 c, Vec2 h, double radius) {
    Vec2 d{std::fabs(p.x - c.x) - h.x + radius, std::fabs(p.y - c.y) - h.y + radius};
    Vec2 o{std::max(d.x, 0.0), std::max(d.y, 0.0)};
    return Length(o) + std::min(std::max(d.x, d.y), 0.0) - radius;
}

double SdSegment(Vec2 p, Vec2 a, Vec2 b) {
    Vec2 pa = p - a, ba = b - a;
    double l2 = Dot(ba, ba);
    double t = l2 > 0 ? Clamp01(Dot(pa, ba) / l2) : 0.0;
    return Length(pa - ba * t);
}

double SdPolygon(Vec2 p, const std::vector<Vec2>& v) {
    const std::size_t n = v.size();
    double d = Dot(p - v[0], p - v[0]);
    bool inside = false;
    for (std::size_t i = 0, j = n - 1; i < n; j = i, ++i) {
        Vec2 e = v[j] - v[i];
        Vec2 w = p - v[i];
        double l2 = Dot(e, e);
        double t = l2 > 0 ? Clamp01(Dot(w, e) / l2) : 0.0;
        Vec2 b = w - e * t;
        d = std::min(d, Dot(b, b));
        bool c1 = p.y >= v[i].y, c2 = p.y < v[j].y, c3 = e.x * w.y > e.y * w.x;
        if ((c1 && c2 && c3) || (!c1 && !c2 && !c3)) inside = !inside;
    }
    return inside ? -std::sqrt(d) : std::sqrt(d);
}

void AppendArc(std::vector<Vec2>& out, Vec2 c, double rx, double ry, double t0, double t1, int n) {
    for (int i = 0; i <= n; ++i) {
        double t = (t0 + (t1 - t0) * i / n) * kPi / 180.0;
        out.push_back({c.x + rx * std::cos(t), c.y + ry * std::sin(t)});
    }
}

void AppendQuad(std::vector<Vec2>& out, Vec2 q, Vec2 e, int n) {
    Vec2 s = out.back();
    for (int i = 1; i <= n; ++i) {
        double t = static_cast<double>(i) / n, u = 1 - t;
        out.push_back(s * (u * u) + q * (2 * u * t) + e * (t * t));
    }
}

namespace {

using Stroke = std::vector<Vec2>;

std::vector<Stroke> Glyph(char ch) {
    auto arc = [](Vec2 c, double rx, double ry, double t0, double t1) {
        Stroke s;
        AppendArc(s, c, rx, ry, t0, t1, 24);
        return s;
    };
    switch (ch) {
    case 'A':
        return {{{0, 6}, {2, 0}, {4, 6}}, {{0.75, 3.9}, {3.25, 3.9}}};
    case 'B': {
        Stroke s{{0, 3}, {2.4, 3}};
        AppendArc(s, {2.4, 4.5}, 1.6, 1.5, -90, 90, 20);
        s.push_back({0, 6});
        s.push_back({0, 0});
        s.push_back({2.2, 0});
        AppendArc(s, {2.2, 1.5}, 1.5, 1.5, -90, 90, 20);
        s.push_back({0, 3});
        return {s};
    }
    case 'C':
        return {arc({2.1, 3}, 2.1, 3, -40, -320)};
    case 'D': {
        Stroke s{{0, 0}, {1.4, 0}};
        AppendArc(s, {1.4, 3}, 2.6, 3, -90, 90, 20);
        s.push_back({0, 6});
        s.push_back({0, 0});
        return {s};
    }
    case 'E':
        return {{{4, 0}, {0, 0}, {0, 6}, {4, 6}}, {{0, 3}, {3, 3}}};
    case 'F':
        return {{{4, 0}, {0, 0}, {0, 6}}, {{0, 3}, {3, 3}}};
    case 'G': {
        Stroke s = arc({2.1, 3}, 2.1, 3, -40, -360);
        s.push_back({4.2, 3.4});
        return {s, {{2.4, 3.4}, {4.2, 3.4}}};
    }
    case 'H':
        return {{{0, 0}, {0, 6}}, {{4, 0}, {4, 6}}, {{0, 3}, {4, 3}}};
    case 'I':
        return {{{2, 0}, {2, 6}}, {{1, 0}, {3, 0}}, {{1, 6}, {3, 6}}};
    case 'K':
        return {{{0, 0}, {0, 6}}, {{4, 0}, {0, 3.8}}, {{1.5, 2.6}, {4, 6}}};
    case 'L':
        return {{{0, 0}, {0, 6}, {4, 6}}};
    case 'M':
        return {{{0, 6}, {0, 0}, {2, 3.6}, {4, 0}, {4, 6}}};
    case 'N':
        return {{{0, 6}, {0, 0}, {4, 6}, {4, 0}}};
    case 'O':
        return {arc({2, 3}, 2, 3, 0, 360)};
    case 'R': {
        Stroke s{{0, 6}, {0, 0}, {2.3, 0}};
        AppendArc(s, {2.3, 1.55}, 1.7, 1.55, -90, 90, 20);
        s.push_back({0, 3.1});
        return {s, {{1.9, 3.1}, {4, 6}}};
    }
    case 'S': {
        Stroke s;
        AppendArc(s, {2, 1.5}, 1.9, 1.5, -25, -270, 20);
        AppendArc(s, {2, 4.5}, 2, 1.5, -90, 155, 20);
        return {s};
    }
    case 'T':
        return {{{0, 0}, {4, 0}}, {{2, 0}, {2, 6}}};
    case 'U': {
        Stroke s{{0, 0}, {0, 4}};
        AppendArc(s, {2, 4}, 2, 2, 180, 0, 20);
        s.push_back({4, 0});
        return {s};
    }
    case 'V':
        return {{{0, 0}, {2, 6}, {4, 0}}};
    case 'W':
        return {{{0, 0}, {1, 6}, {2, 2.2}, {3, 6}, {4, 0}}};
    case '1':
        return {{{0.8, 1.2}, {2.2, 0}, {2.2, 6}}, {{1, 6}, {3.4, 6}}};
    case '9': {
        Stroke s = arc({2, 2}, 2, 2, 0, 360);
        Stroke t{{4, 2}, {4, 3.6}};
        AppendArc(t, {2, 3.6}, 2, 2.4, 0, 120, 20);
        return {s, t};
    }
    case '0':
        return {arc({2, 3}, 2, 3, 0, 360)};
    default:
        return {};
    }
}

}  // namespace

StrokeText::StrokeText(const std::string& text, Vec2 centre, double height, double spacing,
                       double slant) {
    const double unit = height / 6.0;
    const double advance = 4.0 + spacing;
    width_ = text.empty() ? 0 : (advance * text.size() - spacing) * unit;
    double x0 = centre.x - width_ / 2, y0 = centre.y - height / 2;
    for (std::size_t i = 0; i < text.size(); ++i) {
        for (const Stroke& s : Glyph(text[i])) {
            for (std::size_t k = 1; k < s.size(); ++k) {
                auto map = [&](Vec2 g) {
                    return Vec2{x0 + (advance * i + g.x + slant * (6.0 - g.y)) * unit,
                                y0 + g.y * unit};
                };
                segments_.push_back({map(s[k - 1]), map(s[k])});
            }
        }
    }
}

double StrokeText::Distance(Vec2 p) const {
    double d = 1e9;
    for (const auto& [a, b] : segments_) d = std::min(d, SdSegment(p, a, b));
    return d;
}

}  // namespace art
