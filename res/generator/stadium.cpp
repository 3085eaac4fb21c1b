// The settings dialog's background: a floodlit stadium at night, seen from
// high up in a corner of the main stand. A small ray tracer over a handful of
// planes and cylinders, in metres, y up, the centre spot at the origin, the
// pitch 105 m along x and 68 m along z.

#include <array>
#include <optional>

#include "pictures.h"

namespace art {

namespace {

constexpr double kHalfLength = 52.5, kHalfWidth = 34.0;

struct Hit {
    double t = 1e30;
    Vec3 point, normal;
    int kind = 0;
    Vec2 uv;  // surface coordinates where a material needs them
    int side = 0;
};

enum Kind {
    kSky = 0,
    kGround,
    kStand,
    kStandFront,
    kBackWall,
    kRoofUnder,
    kRoofFascia,
    kBoard,
    kMast,
    kLampPanel,
    kGoal,
};

// A stand along one side of the ground: its axis `a` (0 = along x, the long
// sides; 1 = along z, the ends), which way it faces, where its terraces start
// and how far along the side it runs.
struct Stand {
    int axis;       // the coordinate that grows away from the pitch: 2 = z, 0 = x
    double sign;    // +1 or -1: which side of the pitch
    double front;   // distance of the first row from the centre line
    double depth;   // horizontal depth of the terraces
    double halfRun; // half its length along the side
};

constexpr double kRise = 0.72;       // terrace slope, height per horizontal metre
constexpr double kFirstRow = 1.6;    // height of the front row above the pitch
constexpr double kRoofHeight = 27.0;
constexpr double kRoofOverhang = 6.0;

const std::array<Stand, 4> kStands{{
    {2, +1, 41, 30, 84},
    {2, -1, 41, 30, 84},
    {0, +1, 60, 24, 71},
    {0, -1, 60, 24, 71},
}};

struct Floodlight {
    Vec3 head;
    Vec3 aim;  // unit direction the lamps point
    double power;
};

// Four masts in the corners and one behind each end.
using Floodlights = std::array<Floodlight, 6>;

Floodlights MakeFloodlights() {
    Floodlights lights;
    int i = 0;
    for (double sx : {-1.0, 1.0}) {
        for (double sz : {-1.0, 1.0}) {
            Vec3 head{sx * 70.0, 52.0, sz * 55.0};
            Vec3 target{sx * 8.0, 0.0, sz * 4.0};
            lights[i++] = {head, Normalize(target - head), 0.8};
        }
        Vec3 head{sx * 95.0, 50.0, 0.0};
        lights[i++] = {head, Normalize(Vec3{sx * 22.0, 0.0, 0.0} - head), 0.7};
    }
    return lights;
}

// Component access by index for the axis-generic stand code.
double Axis(Vec3 v, int a) { return a == 0 ? v.x : (a == 1 ? v.y : v.z); }

// Distance along the ray to the plane coordinate[a] = value, or nothing.
std::optional<double> PlaneT(Vec3 o, Vec3 d, int a, double value) {
    double den = Axis(d, a);
    if (std::fabs(den) < 1e-12) return std::nullopt;
    double t = (value - Axis(o, a)) / den;
    if (t <= 1e-6) return std::nullopt;
    return t;
}

int RunAxis(const Stand& s) { return s.axis == 2 ? 0 : 2; }

void TryStand(Vec3 o, Vec3 d, const Stand& s, int index, Hit& hit) {
    const int a = s.axis, r = RunAxis(s);
    // Terrace plane: y = kFirstRow + kRise * (sign * coord - front).
    // In terms of w = sign * coord: y - kRise * w = kFirstRow - kRise * front.
    double ow = s.sign * Axis(o, a), dw = s.sign * Axis(d, a);
    double den = d.y - kRise * dw;
    if (std::fabs(den) > 1e-12) {
        double t = (kFirstRow - kRise * s.front - (o.y - kRise * ow)) / den;
        if (t > 1e-6 && t < hit.t) {
            Vec3 p = o + d * t;
            double w = s.sign * Axis(p, a), run = Axis(p, r);
            if (w >= s.front && w <= s.front + s.depth && std::fabs(run) <= s.halfRun) {
                hit.t = t;
                hit.point = p;
                Vec3 n{0, 1, 0};
                double nw = -kRise * s.sign;
                if (a == 2) n.z = nw; else n.x = nw;
                hit.normal = Normalize(n);
                hit.kind = kStand;
                // Along the terrace and up its slope, in metres of slope.
                hit.uv = {run, (w - s.front) * std::sqrt(1 + kRise * kRise)};
                hit.side = index;
            }
        }
    }
    // The wall below the front row.
    if (auto t = PlaneT(o, d, a, s.sign * s.front); t && *t < hit.t) {
        Vec3 p = o + d * *t;
        if (p.y >= 0 && p.y <= kFirstRow && std::fabs(Axis(p, r)) <= s.halfRun) {
            hit.t = *t;
            hit.point = p;
            hit.normal = a == 2 ? Vec3{0, 0, -s.sign} : Vec3{-s.sign, 0, 0};
            hit.kind = kStandFront;
            hit.uv = {Axis(p, r), p.y};
            hit.side = index;
        }
    }
    // The back wall between the top row and the roof.
    double back = s.front + s.depth;
    double topRow = kFirstRow + kRise * s.depth;
    if (auto t = PlaneT(o, d, a, s.sign * back); t && *t < hit.t) {
        Vec3 p = o + d * *t;
        if (p.y >= topRow - 0.1 && p.y <= kRoofHeight && std::fabs(Axis(p, r)) <= s.halfRun) {
            hit.t = *t;
            hit.point = p;
            hit.normal = a == 2 ? Vec3{0, 0, -s.sign} : Vec3{-s.sign, 0, 0};
            hit.kind = kBackWall;
            hit.uv = {Axis(p, r), p.y};
            hit.side = index;
        }
    }
    // The roof: its underside, and the lit fascia along its front edge.
    double roofFront = s.front - kRoofOverhang;
    if (auto t = PlaneT(o, d, 1, kRoofHeight); t && *t < hit.t) {
        Vec3 p = o + d * *t;
        double w = s.sign * Axis(p, a);
        if (w >= roofFront && w <= back + 1 && std::fabs(Axis(p, r)) <= s.halfRun + 1) {
            hit.t = *t;
            hit.point = p;
            hit.normal = {0, d.y > 0 ? -1.0 : 1.0, 0};
            hit.kind = kRoofUnder;
            hit.uv = {Axis(p, r), w - roofFront};
            hit.side = index;
        }
    }
    if (auto t = PlaneT(o, d, a, s.sign * roofFront); t && *t < hit.t) {
        Vec3 p = o + d * *t;
        if (p.y >= kRoofHeight && p.y <= kRoofHeight + 2.2 && std::fabs(Axis(p, r)) <= s.halfRun + 1) {
            hit.t = *t;
            hit.point = p;
            hit.normal = a == 2 ? Vec3{0, 0, -s.sign} : Vec3{-s.sign, 0, 0};
            hit.kind = kRoofFascia;
            hit.uv = {Axis(p, r), p.y - kRoofHeight};
            hit.side = index;
        }
    }
    // Advertising boards in front of the stand.
    double boards = s.front - 3.5;
    if (auto t = PlaneT(o, d, a, s.sign * boards); t && *t < hit.t) {
        Vec3 p = o + d * *t;
        double half = s.axis == 2 ? 48.0 : 30.0;
        if (p.y >= 0 && p.y <= 0.95 && std::fabs(Axis(p, r)) <= half) {
            hit.t = *t;
            hit.point = p;
            hit.normal = a == 2 ? Vec3{0, 0, -s.sign} : Vec3{-s.sign, 0, 0};
            hit.kind = kBoard;
            hit.uv = {Axis(p, r) + half, p.y};
            hit.side = index;
        }
    }
}

void TryMast(Vec3 o, Vec3 d, const Floodlight& f, int index, Hit& hit) {
    // The column: a vertical cylinder under the lamp head, tapering upwards.
    Vec3 base{f.head.x, 0, f.head.z};
    double radius = 0.9;
    double ox = o.x - base.x, oz = o.z - base.z;
    double A = d.x * d.x + d.z * d.z, B = 2 * (ox * d.x + oz * d.z), C = ox * ox + oz * oz - radius * radius;
    double disc = B * B - 4 * A * C;
    if (A > 1e-12 && disc >= 0) {
        double t = (-B - std::sqrt(disc)) / (2 * A);
        if (t > 1e-6 && t < hit.t) {
            Vec3 p = o + d * t;
            if (p.y >= 0 && p.y <= f.head.y - 2.5) {
                hit.t = t;
                hit.point = p;
                hit.normal = Normalize({p.x - base.x, 0, p.z - base.z});
                hit.kind = kMast;
                hit.side = index;
            }
        }
    }
    // The lamp head: a panel facing the pitch, 9 m wide and 5 m high.
    Vec3 n = f.aim * -1.0;
    double den = Dot(d, n);
    if (std::fabs(den) < 1e-12) return;
    double t = Dot(f.head - o, n) / den;
    if (t <= 1e-6 || t >= hit.t) return;
    Vec3 p = o + d * t;
    Vec3 right = Normalize(Cross({0, 1, 0}, n));
    Vec3 up = Cross(n, right);
    double u = Dot(p - f.head, right), v = Dot(p - f.head, up);
    if (std::fabs(u) <= 4.5 && std::fabs(v) <= 2.6) {
        hit.t = t;
        hit.point = p;
        hit.normal = den < 0 ? n : n * -1.0;
        hit.kind = kLampPanel;
        hit.uv = {u, v};
        hit.side = den < 0 ? index : -1 - index;
    }
}

void TryGoals(Vec3 o, Vec3 d, Hit& hit) {
    // Posts and bar as thin boxes: enough to read as goals from up here.
    for (double sx : {-1.0, 1.0}) {
        double x = sx * kHalfLength;
        auto box = [&](Vec3 lo, Vec3 hi) {
            double t0 = 1e-6, t1 = hit.t;
            for (int a = 0; a < 3; ++a) {
                double oa = Axis(o, a), da = Axis(d, a), l = Axis(lo, a), h = Axis(hi, a);
                if (std::fabs(da) < 1e-12) {
                    if (oa < l || oa > h) return;
                    continue;
                }
                double ta = (l - oa) / da, tb = (h - oa) / da;
                if (ta > tb) std::swap(ta, tb);
                t0 = std::max(t0, ta);
                t1 = std::min(t1, tb);
                if (t0 > t1) return;
            }
            hit.t = t0;
            hit.point = o + d * t0;
            hit.normal = {0, 1, 0};
            hit.kind = kGoal;
        };
        const double post = 0.12;
        box({x - post, 0, -3.66 - post}, {x + post, 2.44, -3.66 + post});
        box({x - post, 0, 3.66 - post}, {x + post, 2.44, 3.66 + post});
        box({x - post, 2.44 - post, -3.66}, {x + post, 2.44 + post, 3.66});
    }
}

Hit Trace(Vec3 o, Vec3 d, const Floodlights& lights) {
    Hit hit;
    if (d.y < -1e-9) {
        double t = -o.y / d.y;
        Vec3 p = o + d * t;
        if (std::fabs(p.x) < 110 && std::fabs(p.z) < 90) {
            hit.t = t;
            hit.point = p;
            hit.normal = {0, 1, 0};
            hit.kind = kGround;
        }
    }
    for (std::size_t i = 0; i < kStands.size(); ++i) TryStand(o, d, kStands[i], static_cast<int>(i), hit);
    for (std::size_t i = 0; i < lights.size(); ++i) TryMast(o, d, lights[i], static_cast<int>(i), hit);
    TryGoals(o, d, hit);
    return hit;
}

// True when a roof lies between the point and the lamp head.
bool RoofShadow(Vec3 p, Vec3 lamp) {
    if (p.y >= kRoofHeight) return false;
    double t = (kRoofHeight - p.y) / (lamp.y - p.y);
    Vec3 q = p + (lamp - p) * t;
    for (const Stand& s : kStands) {
        double w = s.sign * Axis(q, s.axis);
        if (w >= s.front - kRoofOverhang && w <= s.front + s.depth + 1 &&
            std::fabs(Axis(q, RunAxis(s))) <= s.halfRun + 1)
            return true;
    }
    return false;
}

// Light arriving from the floodlights: each lamp bank is a broad spot.
double FloodIrradiance(Vec3 p, Vec3 n, const Floodlights& lights, bool shadows) {
    double sum = 0;
    for (const Floodlight& f : lights) {
        Vec3 toLamp = f.head - p;
        double dist2 = Dot(toLamp, toLamp);
        Vec3 l = toLamp * (1.0 / std::sqrt(dist2));
        double cosine = Dot(n, l);
        if (cosine <= 0) continue;
        double spot = Dot(l * -1.0, f.aim);
        double beam = SmoothStep(0.3, 0.8, spot);
        if (beam <= 0) continue;
        if (shadows && RoofShadow(p, f.head)) continue;
        sum += f.power * beam * cosine * 4200.0 / dist2;
    }
    return sum;
}

double LineMask(double x, double z, double width) {
    // Distance to the nearest pitch marking, in metres, then a coverage.
    double d = 1e9;
    auto seg = [&](double x0, double z0, double x1, double z1) {
        d = std::min(d, SdSegment({x, z}, {x0, z0}, {x1, z1}));
    };
    auto circle = [&](double cx, double cz, double r) { d = std::min(d, std::fabs(Length(Vec2{x - cx, z - cz}) - r)); };
    seg(-kHalfLength, -kHalfWidth, kHalfLength, -kHalfWidth);
    seg(-kHalfLength, kHalfWidth, kHalfLength, kHalfWidth);
    seg(-kHalfLength, -kHalfWidth, -kHalfLength, kHalfWidth);
    seg(kHalfLength, -kHalfWidth, kHalfLength, kHalfWidth);
    seg(0, -kHalfWidth, 0, kHalfWidth);
    circle(0, 0, 9.15);
    d = std::min(d, Length(Vec2{x, z}) - 0.25);
    for (double sx : {-1.0, 1.0}) {
        double g = sx * kHalfLength;
        double pa = g - sx * 16.5, ga = g - sx * 5.5;
        seg(g, -20.16, pa, -20.16);
        seg(g, 20.16, pa, 20.16);
        seg(pa, -20.16, pa, 20.16);
        seg(g, -9.16, ga, -9.16);
        seg(g, 9.16, ga, 9.16);
        seg(ga, -9.16, ga, 9.16);
        double spot = g - sx * 11.0;
        d = std::min(d, Length(Vec2{x - spot, z}) - 0.2);
        // The arc outside the penalty area.
        if (sx * (x - pa) < 0) circle(spot, 0, 9.15);
        for (double sz : {-1.0, 1.0})
            if (sx * (x - g) < 0 && sz * (z - sz * kHalfWidth) < 0) circle(g, sz * kHalfWidth, 1.0);
    }
    return Clamp01((width * 0.5 - d) / (width * 0.35) + 0.5);
}

Rgb Sky(Vec3 d) {
    double h = Clamp01(d.y * 3.2);
    Rgb zenith = Hex(0x02040C), mid = Hex(0x07112A), horizon = Hex(0x1A2444);
    Rgb c = h < 0.35 ? Mix(horizon, mid, h / 0.35) : Mix(mid, zenith, (h - 0.35) / 0.65);
    // Thin clouds catching the glow of the town and the floodlights.
    double az = std::atan2(d.x, d.z), el = d.y;
    double cloud = Noise(az * 9.0, el * 26.0, 7) * 0.6 + Noise(az * 23.0, el * 60.0, 8) * 0.4;
    cloud = SmoothStep(0.52, 0.85, cloud) * (1.0 - h) * 0.9;
    Over(c, Hex(0x2A2C46), cloud * 0.55);
    // Stars, thinning out towards the bright horizon.
    double gx = az * 260.0, gy = el * 260.0;
    int cx = static_cast<int>(std::floor(gx)), cy = static_cast<int>(std::floor(gy));
    std::uint32_t hsh = Hash(static_cast<std::uint32_t>(cx), static_cast<std::uint32_t>(cy), 99);
    if ((hsh & 0xFF) < 4 && h > 0.3) {
        double sx = cx + 0.5 + ((hsh >> 8) & 0xFF) / 640.0, sy = cy + 0.5 + ((hsh >> 16) & 0xFF) / 640.0;
        double r = Length(Vec2{gx - sx, gy - sy});
        double bright = (0.2 + ((hsh >> 24) & 0xFF) / 420.0) * (1.0 - cloud);
        c = c + Rgb{0.9, 0.92, 1.0} * (bright * Clamp01(1.0 - r / 0.55) * SmoothStep(0.25, 0.6, h));
    }
    return c;
}

const std::array<std::uint32_t, 10> kShirts{0xC8281E, 0xE8E4DA, 0x1E3C9A, 0xF0C020, 0x202428,
                                            0x2C7A34, 0x8A1A52, 0xD86A18, 0x3A4C68, 0x7A7A80};

Rgb Crowd(Vec2 uv, int side) {
    const double seat = 0.55, row = 0.82;
    double gx = uv.x / seat, gy = uv.y / row;
    int ix = static_cast<int>(std::floor(gx)), iy = static_cast<int>(std::floor(gy));
    double fx = gx - ix, fy = gy - iy;
    // Aisles every 14 m, the concrete steps lighter than the seats.
    double aisle = std::fabs(std::fmod(uv.x + 1000.0 * 14.0 + 7.0, 14.0) - 7.0);
    if (aisle < 0.6) return Mix(Hex(0x5A5C62), Hex(0x3A3C40), fy);
    std::uint32_t h = Hash(static_cast<std::uint32_t>(ix), static_cast<std::uint32_t>(iy),
                           static_cast<std::uint32_t>(side + 17));
    // A concourse crosses the stand halfway up, its front edge lit.
    if (uv.y > 12.0 && uv.y < 13.6) return uv.y < 12.25 ? Hex(0xC8C8B8) : Hex(0x24262A);
    Rgb step = fy > 0.86 ? Hex(0x2A2C30) : Hex(0x4A1E22);  // riser edge, red seats
    if ((h & 0xFF) < 40) return step;  // an empty seat
    Rgb shirt = Hex(kShirts[(h >> 8) % kShirts.size()]);
    // Blocks of the home end wear the colours.
    if (Noise(uv.x * 0.08, uv.y * 0.1, 31 + side) > 0.62 && ((h >> 12) & 3) != 0) shirt = Hex(0xC8281E);
    Rgb head = Mix(Hex(0xC89878), Hex(0x5A3A2A), ((h >> 20) & 0xFF) / 255.0);
    Rgb c = fy < 0.35 && std::fabs(fx - 0.5) < 0.28 ? head : shirt;
    if (fy > 0.86) c = step;
    return c * (0.75 + 0.5 * ((h >> 16) & 0xFF) / 255.0);
}

Rgb BoardColour(double u, int side) {
    // Panels of invented advertisers: flat colours with a bright stripe.
    int panel = static_cast<int>(std::floor(u / 8.0));
    std::uint32_t h = Hash(static_cast<std::uint32_t>(panel), static_cast<std::uint32_t>(side), 5);
    const std::array<std::uint32_t, 6> colours{0x1A50D0, 0xE03A1A, 0x18A040, 0xF0B010, 0xE8E8F0, 0x9020B0};
    Rgb c = Hex(colours[h % colours.size()]);
    double f = u / 8.0 - panel;
    if (std::fabs(f - 0.5) < 0.32 && ((h >> 8) & 1)) c = Mix(c, Rgb{1, 1, 1}, 0.55);
    if (f < 0.03 || f > 0.97) c = c * 0.2;
    return c;
}

struct Camera {
    Vec3 eye, forward, right, up;
    double tanHalf;
    double aspect;
};

Rgb Shade(const Hit& hit, Vec3 dir, const Floodlights& lights) {
    switch (hit.kind) {
    case kGround: {
        Vec3 p = hit.point;
        double irr = FloodIrradiance(p, hit.normal, lights, false);
        bool onPitch = std::fabs(p.x) <= kHalfLength + 2.5 && std::fabs(p.z) <= kHalfWidth + 2.5;
        Rgb grass;
        if (onPitch) {
            int stripe = static_cast<int>(std::floor((p.x + kHalfLength) / 5.25));
            double tone = (stripe & 1) ? 1.0 : 0.80;
            double n = Noise(p.x * 0.9, p.z * 0.9, 3) * 0.12 + Noise(p.x * 0.12, p.z * 0.12, 4) * 0.16;
            grass = Hex(0x2E7A2E) * (tone * (0.86 + n));
            // Worn goalmouths.
            for (double sx : {-1.0, 1.0}) {
                double wear = Clamp01(1.0 - Length(Vec2{(p.x - sx * 49.0) / 5.0, p.z / 4.0}));
                grass = Mix(grass, Hex(0x6A6A34), wear * 0.35);
            }
            double line = LineMask(p.x, p.z, 0.24);
            grass = Mix(grass, Hex(0xF2F4EE), line * 0.9);
        } else {
            grass = Hex(0x1E5222) * (0.8 + 0.2 * Noise(p.x * 0.5, p.z * 0.5, 9));
        }
        return grass * (0.05 + 0.95 * Clamp01(irr));
    }
    case kStand: {
        double irr = FloodIrradiance(hit.point, hit.normal, lights, true);
        Rgb c = Crowd(hit.uv, hit.side);
        c = Mix(Rgb{1, 1, 1} * Luma(c), c, 0.6);
        return c * (0.04 + 0.36 * Clamp01(irr));
    }
    case kStandFront:
        return Hex(0x262A30) * (0.1 + 0.4 * Clamp01(FloodIrradiance(hit.point, hit.normal, lights, false)));
    case kBackWall: {
        // Hospitality boxes along the top of the stand, their windows lit.
        const Stand& s = kStands[hit.side];
        double top = kFirstRow + kRise * s.depth;
        double h = hit.uv.y - top;
        double bay = std::fmod(hit.uv.x + 1000.0 * 5.0, 5.0);
        bool glass = bay > 0.5 && bay < 4.5 && std::fmod(h, 3.4) > 0.9 && std::fmod(h, 3.4) < 2.6 &&
                     h < 2 * 3.4;
        if (!glass) return Hex(0x121318);
        std::uint32_t k = Hash(static_cast<std::uint32_t>(std::floor((hit.uv.x + 1000.0) / 5.0)),
                               static_cast<std::uint32_t>(std::floor(h / 3.4)),
                               static_cast<std::uint32_t>(hit.side));
        if ((k & 7) == 0) return Hex(0x1A1C24);
        return Mix(Hex(0xC89050), Hex(0xE8D0A0), ((k >> 8) & 0xFF) / 255.0) * (0.4 + 0.2 * ((k >> 16) & 1));
    }
    case kRoofUnder: {
        // Steel trusses under the roof, lit faintly from below.
        double truss = std::fabs(std::fmod(hit.uv.x + 1000.0 * 6.0, 6.0) - 3.0) < 0.25 ? 1.5 : 1.0;
        double lamps = std::fabs(hit.uv.y - 1.5) < 0.35 &&
                               std::fabs(std::fmod(hit.uv.x + 1000.0 * 4.0, 4.0) - 2.0) < 0.35
                           ? 1.0 : 0.0;
        if (hit.normal.y > 0) {
            // Seen from above: corrugated sheeting, faintly lit.
            double rib = 0.85 + 0.15 * std::cos(hit.uv.x * 2 * kPi / 1.2);
            return Hex(0x16181E) * rib;
        }
        return Hex(0x0C0D10) * truss + Hex(0xFFE8C0) * (lamps * 0.9);
    }
    case kRoofFascia: {
        double irr = FloodIrradiance(hit.point, hit.normal, lights, false);
        Rgb c = Hex(0x50545C) * (0.12 + 0.35 * Clamp01(irr * 1.5));
        if (hit.uv.y < 0.35) c = c * 0.5;
        // A strip of lamps along the roof's edge.
        if (hit.uv.y > 0.55 && hit.uv.y < 0.85 && std::fmod(hit.uv.x + 1000.0 * 3.0, 3.0) > 0.6)
            c = Rgb{1.2, 1.25, 1.35};
        return c;
    }
    case kBoard: {
        Rgb c = BoardColour(hit.uv.x, hit.side);
        return c * 0.85;
    }
    case kMast: {
        double l = 0.1 + 0.25 * std::max(0.0, Dot(hit.normal, Normalize({0.3, 0.2, 0.9})));
        return Hex(0x6C7078) * l;
    }
    case kLampPanel: {
        if (hit.side < 0) return Hex(0x202226);  // the back of the head
        // Rows of lamps, each a white-hot disc in a dark frame.
        double gu = (hit.uv.x + 4.5) / 1.5, gv = (hit.uv.y + 2.6) / 1.3;
        double fu = gu - std::floor(gu) - 0.5, fv = gv - std::floor(gv) - 0.5;
        double r = Length(Vec2{fu, fv});
        double lamp = Clamp01((0.42 - r) / 0.08);
        return Mix(Hex(0x303238), Rgb{4.0, 3.9, 3.6}, lamp);
    }
    case kGoal:
        return Hex(0xF4F4F4) * 0.9;
    default:
        return Sky(dir);
    }
}

// Light scattered towards the eye by the haze: beams of the lamp banks and a
// halo round each head.
Rgb Haze(Vec3 o, Vec3 d, double tHit, const Floodlights& lights, double jitter) {
    double tEnd = std::min(tHit, 260.0);
    const int steps = 20;
    double sum = 0;
    for (int i = 0; i < steps; ++i) {
        double t = tEnd * (i + jitter) / steps;
        Vec3 p = o + d * t;
        for (const Floodlight& f : lights) {
            Vec3 toP = p - f.head;
            double dist2 = Dot(toP, toP);
            double spot = Dot(toP * (1.0 / std::sqrt(dist2)), f.aim);
            double beam = SmoothStep(0.5, 0.97, spot);
            sum += beam * 60.0 / (dist2 + 30.0);
        }
    }
    sum *= tEnd / steps * 0.025;
    Rgb c = Rgb{0.85, 0.88, 1.0} * sum;
    for (const Floodlight& f : lights) {
        Vec3 toHead = f.head - o;
        double dist = Length(toHead);
        if (dist > tHit + 6.0) continue;  // hidden behind something
        double cosA = Dot(Normalize(toHead), d);
        double ang = std::acos(std::clamp(cosA, -1.0, 1.0));
        // Face-on lamps glare more than ones seen from the side.
        double facing = std::max(0.2, -Dot(Normalize(toHead), f.aim));
        double core = 1.0 / (1.0 + std::pow(ang / 0.006, 2.0));
        double halo = 1.0 / (1.0 + std::pow(ang / 0.05, 2.0));
        c = c + Rgb{1.0, 0.97, 0.9} * (facing * (0.7 * core + 0.18 * halo));
    }
    return c;
}

}  // namespace

Shader StadiumShader() {
    const auto lights = MakeFloodlights();
    Camera cam;
    cam.eye = {-20.0, 25.0, -37.0};
    Vec3 target{25.0, 15.0, 10.0};
    cam.forward = Normalize(target - cam.eye);
    cam.right = Normalize(Cross(cam.forward, {0, 1, 0}));
    cam.up = Cross(cam.right, cam.forward);
    cam.tanHalf = std::tan(38.0 * kPi / 180.0);
    cam.aspect = 375.0 / 500.0;
    return [=](Vec2 p, double&) -> Rgb {
        double u = (p.x / 500.0) * 2.0 - 1.0, v = 1.0 - (p.y / 375.0) * 2.0;
        Vec3 d = Normalize(cam.forward + cam.right * (u * cam.tanHalf) + cam.up * (v * cam.tanHalf * cam.aspect));
        Hit hit = Trace(cam.eye, d, lights);
        Rgb c = hit.kind == kSky ? Sky(d) : Shade(hit, d, lights);
        double jitter = Hash01(static_cast<std::uint32_t>(p.x * 16), static_cast<std::uint32_t>(p.y * 16), 77);
        c = c + Haze(cam.eye, d, hit.kind == kSky ? 1e9 : hit.t, lights, jitter);
        return c;
    };
}

}  // namespace art
