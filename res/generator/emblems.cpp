// Fourteen emblems of invented clubs for the board: shields, roundels, a
// pennant, a banner, each drawn from signed-distance shapes with bevelled
// metal rims on a black ground. Names and initials are made up for this
// program; none belongs to a real club.

#include <array>

#include "pictures.h"

namespace art {

namespace {

using Sdf = std::function<double(Vec2)>;
using Ink = std::function<Rgb(Vec2)>;

Ink Solid(Rgb c) {
    return [c](Vec2) { return c; };
}

// Polished metal: bright at the top, a dark band below the middle, a lighter
// rim again towards the bottom, as a curved gold plate reflects a studio.
Ink Metal(double top, double bottom, Rgb light, Rgb dark) {
    return [=](Vec2 p) {
        double t = Clamp01((p.y - top) / (bottom - top));
        double band = 0.5 + 0.5 * std::cos(t * 2.3 * kPi + 0.4);
        return Mix(dark, light, 0.25 + 0.75 * band);
    };
}
Ink Gold(double top, double bottom) { return Metal(top, bottom, Hex(0xFFF2A8), Hex(0x9A6410)); }
Ink Silver(double top, double bottom) { return Metal(top, bottom, Hex(0xFFFFFF), Hex(0x707884)); }

// One sample's worth of layered drawing.
struct Layers {
    Vec2 p;
    Rgb c;
    double soft = 0.18;

    // Fills the shape; with a bevel, the band of that width inside its edge
    // is lit from the upper left like a raised rim.
    void Fill(const Sdf& f, const Ink& ink, double bevel = 0.0) {
        double d = f(p);
        double a = Cover(d, soft);
        if (a <= 0) return;
        Rgb colour = ink(p);
        if (bevel > 0 && d > -bevel) {
            const double e = 0.2;
            Vec2 g{f({p.x + e, p.y}) - f({p.x - e, p.y}), f({p.x, p.y + e}) - f({p.x, p.y - e})};
            double gl = Length(g);
            if (gl > 1e-9) {
                g = g * (1.0 / gl);
                double slope = 1.0 - Clamp01(-d / bevel);
                Vec3 n = Normalize({g.x * slope * 1.4, g.y * slope * 1.4, 1.0});
                Vec3 light = Normalize({-0.55, -0.65, 0.6});
                double lit = Dot(n, light) / light.z;
                colour = colour * (0.55 + 0.45 * lit);
            }
        }
        Over(c, colour, a);
    }
    void Fill(const Sdf& f, Rgb colour, double bevel = 0.0) { Fill(f, Solid(colour), bevel); }

    // A soft sheen over the upper part of a shape, as on enamel under glass.
    void Gloss(const Sdf& f, double top, double bottom, double strength) {
        double d = f(p);
        double a = Cover(d + 1.5, soft);
        if (a <= 0) return;
        double t = Clamp01((p.y - top) / (bottom - top));
        c = c + Rgb{1, 1, 1} * (a * strength * (1.0 - t) * (1.0 - t));
    }
};

Sdf Offset(Sdf f, double by) {
    return [f, by](Vec2 p) { return f(p) + by; };
}
Sdf Clip(Sdf a, Sdf b) {
    return [a, b](Vec2 p) { return Intersect(a(p), b(p)); };
}
Sdf Poly(std::vector<Vec2> v) {
    return [v](Vec2 p) { return SdPolygon(p, v); };
}
Sdf Circle(Vec2 c, double r) {
    return [c, r](Vec2 p) { return SdCircle(p, c, r); };
}
Sdf Text(const std::string& s, Vec2 centre, double height, double weight, double spacing = 1.6,
         double slant = 0.0) {
    StrokeText text(s, centre, height, spacing, slant);
    return [text, weight](Vec2 p) { return text.Distance(p) - weight / 2; };
}

std::vector<Vec2> Star(Vec2 c, double outer, double inner, double turn = 0.0) {
    std::vector<Vec2> v;
    for (int i = 0; i < 10; ++i) {
        double r = (i % 2) ? inner : outer;
        double a = (-90.0 + turn + i * 36.0) * kPi / 180.0;
        v.push_back({c.x + r * std::cos(a), c.y + r * std::sin(a)});
    }
    return v;
}

// A heater shield in the box: straight top, sides that run straight down to
// `shoulder` (a fraction of the height) and then curve to the point.
std::vector<Vec2> Shield(double x0, double y0, double w, double h, double shoulder = 0.42,
                         double dip = 0.0) {
    std::vector<Vec2> v;
    double cx = x0 + w / 2, bottom = y0 + h;
    v.push_back({x0, y0});
    if (dip > 0) v.push_back({cx, y0 + dip});
    v.push_back({x0 + w, y0});
    v.push_back({x0 + w, y0 + h * shoulder});
    AppendQuad(v, {x0 + w, y0 + h * 0.82}, {cx, bottom}, 16);
    AppendQuad(v, {x0, y0 + h * 0.82}, {x0, y0 + h * shoulder}, 16);
    return v;
}

Ink Stripes(double x0, double period, Rgb a, Rgb b, bool vertical = true) {
    return [=](Vec2 p) {
        double u = (vertical ? p.x : p.y) - x0;
        return std::fmod(u + period * 1000.0, period * 2) < period ? a : b;
    };
}

Ink Vertical(double top, double bottom, Rgb a, Rgb b) {
    return [=](Vec2 p) { return Mix(a, b, Clamp01((p.y - top) / (bottom - top))); };
}

const Rgb kBlack{0, 0, 0};
const Rgb kWhite = Hex(0xF6F6F2);
const Rgb kRed = Hex(0xC8161E);
const Rgb kNavy = Hex(0x142A6E);
const Rgb kBlue = Hex(0x1E5AC8);
const Rgb kSky = Hex(0x6CB4EC);
const Rgb kGreen = Hex(0x1C8A3C);
const Rgb kYellow = Hex(0xF8CC18);
const Rgb kMaroon = Hex(0x7A1630);
const Rgb kOrange = Hex(0xF07A12);
const Rgb kPurple = Hex(0x5A2890);

constexpr std::array<EmblemSize, 14> kSizes{{
    {100, 100},  // striped shield
    {100, 120},  // shield with a sash
    {100, 100},  // roundel with a ball
    {100, 18},   // banner
    {82, 110},   // halved shield with a chevron, the narrow one
    {100, 64},   // winged oval
    {100, 90},   // diamond
    {100, 159},  // pennant
    {100, 76},   // tower badge
    {100, 100},  // hexagon with a monogram
    {100, 130},  // chevrons and stars
    {100, 45},   // name plate
    {100, 100},  // quartered roundel
    {100, 116},  // crowned shield with a river
}};

Rgb Draw(int n, Vec2 p) {
    Layers L{p, kBlack};
    switch (n) {
    case 0: {  // Kestrel Vale Athletic: red and white stripes, a navy chief.
        static const auto outer = Shield(6, 4, 88, 92);
        Sdf shield = Poly(outer);
        Sdf field = Offset(shield, 5);
        L.Fill(shield, Gold(4, 96), 4.5);
        L.Fill(field, Stripes(11, 9.7, kRed, kWhite));
        Sdf chief = Clip(field, [](Vec2 q) { return SdBox(q, {50, 18}, {50, 11}); });
        L.Fill(chief, Vertical(8, 29, Hex(0x24408E), kNavy));
        L.Fill(Clip(field, [](Vec2 q) { return std::fabs(q.y - 29.5) - 1.2; }), Gold(28, 31));
        L.Fill(Text("KVA", {50, 18.5}, 13, 3.0), Gold(12, 25), 1.2);
        L.Gloss(field, 9, 60, 0.22);
        break;
    }
    case 1: {  // Sporting Club Durnholm: green, a white sash, a red star.
        static const auto outer = Shield(8, 6, 84, 110, 0.5, 5);
        Sdf shield = Poly(outer);
        Sdf field = Offset(shield, 4);
        L.Fill(Offset(shield, -1.5), Silver(4, 118), 3);
        L.Fill(shield, Gold(6, 116), 3.5);
        L.Fill(field, Vertical(10, 110, Hex(0x26A24A), Hex(0x0E5A24)));
        Sdf sash = Clip(field, [](Vec2 q) { return std::fabs((q.x - q.y * 0.78) - 2) / 1.27 - 11; });
        L.Fill(sash, kWhite);
        L.Fill(Clip(field, [](Vec2 q) { return std::fabs(std::fabs((q.x - q.y * 0.78) - 2) / 1.27 - 11) - 1.4; }),
               Gold(10, 110));
        L.Fill(Poly(Star({68, 36}, 13, 5.5)), Vertical(24, 48, Hex(0xF23A30), Hex(0xA00C14)), 2);
        L.Fill(Text("SCD", {26, 72}, 10, 2.6, 1.4), Gold(67, 77), 1.0);
        L.Gloss(field, 10, 70, 0.2);
        break;
    }
    case 2: {  // Orlamund Ball Club: a roundel, a ring of stars, a ball.
        L.Fill(Circle({50, 50}, 47), Gold(3, 97), 4);
        L.Fill(Circle({50, 50}, 42), Vertical(8, 92, Hex(0x2446A8), Hex(0x0E1E5A)));
        for (int i = 0; i < 10; ++i) {
            double a = (i * 36.0 - 90.0) * kPi / 180.0;
            Vec2 c{50 + 35 * std::cos(a), 50 + 35 * std::sin(a)};
            L.Fill(Poly(Star(c, 4.6, 1.9, i * 36.0)), kWhite);
        }
        L.Fill(Circle({50, 50}, 28.5), Gold(21, 79), 2.5);
        BallStyle ball;
        ball.centre = {50, 50};
        ball.radius = 26;
        ball.seamPixels = 0.8;
        static const Shader shade = BallShader(ball);
        double alpha = 1;
        Rgb b = shade(p, alpha);
        Over(L.c, b, alpha * Cover(SdCircle(p, {50, 50}, 26), L.soft));
        break;
    }
    case 3: {  // Ostmarsh: a wide silk banner with swallowtails.
        static const std::vector<Vec2> ribbon{{1, 1.5}, {99, 1.5}, {93, 9}, {99, 16.5}, {1, 16.5}, {7, 9}};
        Sdf band = Poly(ribbon);
        L.Fill(band, Gold(1, 17), 1.2);
        Sdf inner = Offset(band, 1.6);
        L.Fill(inner, [](Vec2 q) {
            // Silk ripples: the cloth catches the light in soft folds.
            double fold = 0.82 + 0.18 * std::cos(q.x * 0.33);
            return Mix(Hex(0xD01E26), Hex(0x8A0A12), Clamp01((q.y - 3) / 13)) * fold;
        });
        L.Fill(Text("OSTMARSH", {50, 9.2}, 9, 1.7, 1.5), kWhite);
        break;
    }
    case 4: {  // Athletic Thornby: halved black and white, a red chevron.
        static const auto outer = Shield(3, 3, 76, 104, 0.48);
        Sdf shield = Poly(outer);
        Sdf field = Offset(shield, 4);
        L.Fill(shield, Silver(3, 107), 3.5);
        L.Fill(field, [](Vec2 q) { return q.x < 41 ? Hex(0x1A1A1E) : kWhite; });
        static const std::vector<Vec2> chevron{{3, 84}, {41, 46}, {79, 84}, {79, 66}, {41, 28}, {3, 66}};
        L.Fill(Clip(field, Poly(chevron)), Vertical(30, 84, Hex(0xE8303A), Hex(0x9A0A16)));
        L.Fill(Clip(field, [](Vec2 q) {
                   static const std::vector<Vec2> c{{3, 84}, {41, 46}, {79, 84}, {79, 66}, {41, 28}, {3, 66}};
                   return std::fabs(SdPolygon(q, c)) - 1.0;
               }),
               Silver(28, 84));
        Sdf chief = Clip(field, [](Vec2 q) { return SdBox(q, {41, 13}, {41, 9}); });
        L.Fill(chief, Vertical(5, 22, Hex(0x24408E), kNavy));
        L.Fill(Clip(field, [](Vec2 q) { return std::fabs(q.y - 22.5) - 1.0; }), Silver(21, 24));
        L.Fill(Text("AT", {41, 13.5}, 11, 2.8, 1.8), Gold(8, 19), 1.0);
        L.Gloss(field, 7, 60, 0.18);
        break;
    }
    case 5: {  // Rothwyn United: an oval between two golden wings.
        for (double side : {-1.0, 1.0}) {
            for (int f = 0; f < 5; ++f) {
                double y = 16 + f * 8.0;
                double len = 34 - f * 5.0;
                Vec2 a{50 + side * 20, y + 4}, b{50 + side * (20 + len), y - 6 + f * 1.2};
                L.Fill([a, b](Vec2 q) { return SdSegment(q, a, b) - 3.4; }, Gold(8, 50), 2.4);
            }
        }
        L.Fill([](Vec2 q) { return SdEllipse(q, {50, 32}, 26, 30); }, Gold(2, 62), 3.5);
        L.Fill([](Vec2 q) { return SdEllipse(q, {50, 32}, 21.5, 25.5); },
               Vertical(6, 58, Hex(0x2A3E9A), Hex(0x0C1650)));
        L.Fill(Text("RU", {50, 33}, 20, 4.2, 1.4), Gold(23, 43), 1.5);
        L.Gloss([](Vec2 q) { return SdEllipse(q, {50, 32}, 21.5, 25.5); }, 7, 40, 0.22);
        break;
    }
    case 6: {  // Lindqvarn IF: a diamond in orange and black.
        static const std::vector<Vec2> diamond{{50, 2}, {98, 45}, {50, 88}, {2, 45}};
        Sdf shape = Poly(diamond);
        L.Fill(shape, Gold(2, 88), 4);
        Sdf field = Offset(shape, 5);
        L.Fill(field, [](Vec2 q) {
            double u = q.x + q.y;
            return std::fmod(u + 1000.0, 22.0) < 11.0 ? kOrange : Hex(0x141416);
        });
        Sdf bar = Clip(field, [](Vec2 q) { return SdBox(q, {50, 45}, {40, 11}, 2); });
        L.Fill(Offset(bar, -1.5), Gold(33, 57), 1.2);
        L.Fill(bar, Hex(0x141416));
        L.Fill(Text("LIF", {50, 45.5}, 14, 3.4, 1.6), kWhite);
        L.Gloss(field, 6, 50, 0.2);
        break;
    }
    case 7: {  // Marrowgate FC: a hanging pennant with tassels.
        L.Fill([](Vec2 q) { return SdBox(q, {50, 5}, {48, 2.6}, 2.6); }, Silver(2, 8), 1.5);
        L.Fill(Circle({2.5, 5}, 2.8), Gold(2, 8), 1.5);
        L.Fill(Circle({97.5, 5}, 2.8), Gold(2, 8), 1.5);
        static const std::vector<Vec2> flag{{6, 8}, {94, 8}, {50, 146}};
        Sdf cloth = Poly(flag);
        // Tassels hang from the point.
        for (int t = -2; t <= 2; ++t) {
            Vec2 a{50, 144}, b{50 + t * 3.0, 158};
            L.Fill([a, b](Vec2 q) { return SdSegment(q, a, b) - 1.0; }, Gold(144, 159));
        }
        L.Fill(cloth, Gold(8, 146), 2.5);
        Sdf inner = Offset(cloth, 3);
        L.Fill(inner, [](Vec2 q) {
            // Sky-blue chevrons down the maroon cloth.
            double v = q.y - std::fabs(q.x - 50) * 0.6;
            bool band = std::fmod(v + 1000.0, 26.0) < 7.0 && q.y > 60;
            return band ? kSky : Vertical(8, 146, Hex(0x9A2040), Hex(0x5A0C22))(q);
        });
        L.Fill(Text("MFC", {50, 22}, 14, 3.4, 1.4), Gold(15, 29), 1.2);
        {
            BallStyle ball;
            ball.centre = {50, 45};
            ball.radius = 11;
            ball.seamPixels = 0.55;
            static const Shader shade = BallShader(ball);
            double alpha = 1;
            Rgb b = shade(p, alpha);
            Over(L.c, b, alpha * Cover(SdCircle(p, {50, 45}, 11), L.soft));
        }
        break;
    }
    case 8: {  // Grenholt: a white tower under a blue sky.
        Sdf plate = [](Vec2 q) { return SdBox(q, {50, 38}, {47, 35}, 9); };
        L.Fill(plate, Gold(3, 73), 4);
        Sdf field = Offset(plate, 4.5);
        L.Fill(field, [](Vec2 q) { return q.y < 52 ? Mix(Hex(0x2C78D0), kSky, Clamp01((q.y - 8) / 44)) : kGreen; });
        static const std::vector<Vec2> tower{{36, 52}, {36, 24}, {34, 24}, {34, 16}, {39, 16}, {39, 20},
                                             {44, 20}, {44, 16}, {49, 16}, {49, 20}, {51, 20}, {51, 16},
                                             {56, 16}, {56, 20}, {61, 20}, {61, 16}, {66, 16}, {66, 24},
                                             {64, 24}, {64, 52}};
        Sdf t = Poly(tower);
        L.Fill(t, Vertical(16, 52, kWhite, Hex(0xB8B8C0)), 1.6);
        // An arched gate and two arrow slits.
        L.Fill([](Vec2 q) { return Union(SdBox(q, {50, 47.5}, {5, 4.5}), SdCircle(q, {50, 43}, 5)); },
               Hex(0x2A2A30));
        L.Fill([](Vec2 q) { return Union(SdBox(q, {42, 30}, {1.2, 3.5}), SdBox(q, {58, 30}, {1.2, 3.5})); },
               Hex(0x2A2A30));
        L.Fill(Clip(field, [](Vec2 q) { return SdBox(q, {50, 62}, {50, 8}); }), Vertical(54, 70, kRed, Hex(0x8A0A12)));
        L.Fill(Text("GH", {50, 62}, 10, 2.6, 1.6), kWhite);
        L.Gloss(field, 6, 50, 0.18);
        break;
    }
    case 9: {  // Tessaly Sporting: a hexagon, a monogram under a star.
        std::vector<Vec2> hex;
        for (int i = 0; i < 6; ++i) {
            double a = (i * 60.0 - 90.0) * kPi / 180.0;
            hex.push_back({50 + 48 * std::cos(a), 50 + 48 * std::sin(a)});
        }
        Sdf shape = Poly(hex);
        L.Fill(shape, Silver(2, 98), 4);
        Sdf field = Offset(shape, 5);
        L.Fill(field, Vertical(8, 92, Hex(0x7A3AB8), Hex(0x2E0E5A)));
        L.Fill(Clip(field, [](Vec2 q) { return std::fabs(q.y - 70) - 6; }), kYellow);
        L.Fill(Poly(Star({50, 24}, 10, 4.2)), Gold(14, 34), 1.8);
        L.Fill(Text("TS", {50, 52}, 22, 5.0, 1.2, 0.15), Vertical(41, 63, kWhite, Hex(0xD0D0DC)), 1.4);
        L.Gloss(field, 8, 55, 0.2);
        break;
    }
    case 10: {  // Harrowdene: three chevrons, three stars.
        static const auto outer = Shield(5, 3, 90, 124, 0.45);
        Sdf shield = Poly(outer);
        L.Fill(shield, Gold(3, 127), 4.5);
        Sdf field = Offset(shield, 5);
        L.Fill(field, Vertical(8, 122, Hex(0xD8222C), Hex(0x86080E)));
        for (int k = 0; k < 3; ++k) {
            double y = 58 + k * 19.0;
            std::vector<Vec2> chev{{8, y + 22}, {50, y - 6}, {92, y + 22}, {92, y + 31}, {50, y + 3}, {8, y + 31}};
            L.Fill(Clip(field, Poly(chev)), Vertical(y - 6, y + 31, kWhite, Hex(0xC8C8D0)), 1.2);
        }
        L.Fill(Clip(field, [](Vec2 q) { return SdBox(q, {50, 22}, {50, 14}); }), kNavy);
        for (int k = 0; k < 3; ++k) L.Fill(Poly(Star({26.0 + k * 24.0, 22}, 9, 3.8)), Gold(13, 31), 1.6);
        L.Gloss(field, 8, 70, 0.2);
        break;
    }
    case 11: {  // Durnholm Vale: a name plate.
        Sdf plate = [](Vec2 q) { return SdBox(q, {50, 22.5}, {48, 20.5}, 6); };
        L.Fill(plate, Gold(2, 43), 3);
        Sdf field = Offset(plate, 3.2);
        L.Fill(field, Vertical(5, 40, Hex(0x1E3A8A), Hex(0x0A1440)));
        L.Fill(Text("DURNHOLM", {50, 28}, 11, 2.4, 1.5), Gold(22, 34), 0.9);
        for (int k = -1; k <= 1; ++k) L.Fill(Poly(Star({50.0 + k * 12.0, 12}, 4.8, 2.0)), kWhite);
        L.Gloss(field, 5, 30, 0.2);
        break;
    }
    case 12: {  // Oldrey Rangers: quartered red and black, a white disc.
        L.Fill(Circle({50, 50}, 47), Gold(3, 97), 4);
        Sdf field = Circle({50, 50}, 42);
        L.Fill(field, [](Vec2 q) {
            bool a = (q.x < 50) == (q.y < 50);
            return a ? Vertical(8, 92, Hex(0xE0262E), Hex(0x960A12))(q) : Hex(0x18181C);
        });
        L.Fill([](Vec2 q) { return std::fabs(SdCircle(q, {50, 50}, 42)) - 0.8; }, Gold(8, 92));
        L.Fill(Circle({50, 50}, 24), Gold(26, 74), 2.5);
        L.Fill(Circle({50, 50}, 20.5), Vertical(30, 70, kWhite, Hex(0xC8CCD4)));
        L.Fill(Text("OR", {50, 50.5}, 17, 4.0, 1.3), kRed, 1.2);
        L.Gloss(field, 8, 55, 0.2);
        break;
    }
    case 13: {  // Wendmouth: a crown above a shield with a river.
        static const std::vector<Vec2> crown{{22, 28}, {18, 10}, {32, 18}, {41, 4}, {50, 15}, {59, 4},
                                             {68, 18}, {82, 10}, {78, 28}};
        L.Fill(Poly(crown), Gold(2, 28), 2);
        for (Vec2 c : {Vec2{18, 10}, Vec2{41, 4}, Vec2{59, 4}, Vec2{82, 10}}) L.Fill(Circle(c, 3), Gold(1, 13), 1.2);
        L.Fill([](Vec2 q) { return SdBox(q, {50, 24}, {26, 3}); }, Hex(0xC8161E));
        static const auto outer = Shield(12, 30, 76, 84, 0.4);
        Sdf shield = Poly(outer);
        L.Fill(shield, Gold(30, 114), 4);
        Sdf field = Offset(shield, 4.5);
        L.Fill(field, [](Vec2 q) { return q.y < 62 ? kGreen : kWhite; });
        L.Fill(Clip(field, [](Vec2 q) { return std::fabs(q.y - (78 + 3.2 * std::sin(q.x * 0.22))) - 5.5; }), kBlue);
        L.Fill(Clip(field, [](Vec2 q) { return std::fabs(q.y - (96 + 3.2 * std::sin(q.x * 0.22 + 1.2))) - 4; }),
               kBlue);
        L.Fill(Poly(Star({50, 46}, 11, 4.6)), Gold(35, 57), 1.8);
        L.Gloss(field, 34, 80, 0.2);
        break;
    }
    default:
        break;
    }
    return L.c;
}

}  // namespace

EmblemSize EmblemDimensions(int n) { return kSizes[static_cast<std::size_t>(n)]; }

Shader EmblemShader(int n) {
    return [n](Vec2 p, double&) { return Draw(n, p); };
}

}  // namespace art
