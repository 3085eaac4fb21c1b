#include <array>

#include "pictures.h"

namespace art {

namespace {

struct Mat3 {
    std::array<double, 9> m{1, 0, 0, 0, 1, 0, 0, 0, 1};
    Vec3 operator*(Vec3 v) const {
        return {m[0] * v.x + m[1] * v.y + m[2] * v.z, m[3] * v.x + m[4] * v.y + m[5] * v.z,
                m[6] * v.x + m[7] * v.y + m[8] * v.z};
    }
    Mat3 operator*(const Mat3& o) const {
        Mat3 r;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) {
                double s = 0;
                for (int k = 0; k < 3; ++k) s += m[i * 3 + k] * o.m[k * 3 + j];
                r.m[i * 3 + j] = s;
            }
        return r;
    }
    Mat3 Transposed() const {
        Mat3 r;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) r.m[i * 3 + j] = m[j * 3 + i];
        return r;
    }
};

Mat3 Rotation(int axis, double degrees) {
    double a = degrees * kPi / 180.0, c = std::cos(a), s = std::sin(a);
    Mat3 r;
    if (axis == 0) r.m = {1, 0, 0, 0, c, -s, 0, s, c};
    if (axis == 1) r.m = {c, 0, s, 0, 1, 0, -s, 0, c};
    if (axis == 2) r.m = {c, -s, 0, s, c, 0, 0, 0, 1};
    return r;
}

// Face planes of the truncated icosahedron: a unit normal and the plane's
// distance from the centre. A direction belongs to the face whose plane the
// ray from the centre meets first.
struct Face {
    Vec3 normal;
    double distance;
    bool pentagon;
};

std::vector<Face> Faces() {
    const double phi = (1 + std::sqrt(5.0)) / 2;
    // Vertices, edge length 2: even permutations of these with all signs.
    std::vector<Vec3> vertices;
    const std::array<std::array<double, 3>, 3> bases{
        {{0, 1, 3 * phi}, {1, 2 + phi, 2 * phi}, {phi, 2, 2 * phi + 1}}};
    for (const auto& b : bases) {
        for (int perm = 0; perm < 3; ++perm) {
            std::array<double, 3> c{b[perm % 3], b[(perm + 1) % 3], b[(perm + 2) % 3]};
            for (int signs = 0; signs < 8; ++signs) {
                Vec3 v{c[0] * ((signs & 1) ? -1 : 1), c[1] * ((signs & 2) ? -1 : 1),
                       c[2] * ((signs & 4) ? -1 : 1)};
                bool dup = false;
                for (const Vec3& w : vertices) dup = dup || Length(w - v) < 1e-9;
                if (!dup) vertices.push_back(v);
            }
        }
    }
    std::vector<Vec3> pent, hex;
    // Pentagon centres point at the icosahedron's vertices, hexagon centres at
    // its faces (the dodecahedron's vertices).
    for (int s1 : {-1, 1})
        for (int s2 : {-1, 1}) {
            pent.push_back({0, double(s1), s2 * phi});
            pent.push_back({double(s1), s2 * phi, 0});
            pent.push_back({s2 * phi, 0, double(s1)});
            hex.push_back({0, s1 * phi, s2 / phi});
            hex.push_back({s1 / phi, 0, s2 * phi});
            hex.push_back({s1 * phi, s2 / phi, 0});
        }
    for (int s = 0; s < 8; ++s)
        hex.push_back({(s & 1) ? -1.0 : 1.0, (s & 2) ? -1.0 : 1.0, (s & 4) ? -1.0 : 1.0});
    std::vector<Face> faces;
    auto add = [&](const std::vector<Vec3>& dirs, bool pentagon) {
        for (Vec3 d : dirs) {
            Vec3 n = Normalize(d);
            double h = 0;
            for (const Vec3& v : vertices) h = std::max(h, Dot(v, n));
            faces.push_back({n, h, pentagon});
        }
    };
    add(pent, true);
    add(hex, false);
    return faces;
}

}  // namespace

Shader BallShader(const BallStyle& style) {
    static const std::vector<Face> faces = Faces();
    // Turn the ball so that one pentagon faces the viewer, then lean it.
    const Vec3 front = Normalize({0, 1, (1 + std::sqrt(5.0)) / 2});
    Vec3 side = Normalize(Cross({1, 0, 0}, front));
    Vec3 up = Cross(front, side);
    Mat3 align;  // object -> view: front to +z
    align.m = {side.x, side.y, side.z, up.x, up.y, up.z, front.x, front.y, front.z};
    Mat3 toView = Rotation(0, style.pitch) * Rotation(1, style.yaw) * Rotation(2, style.roll) * align;
    Mat3 toObject = toView.Transposed();

    const Vec3 light = Normalize({-0.5, 0.62, 0.62});
    const Vec3 viewer{0, 0, 1};
    const Vec3 halfway = Normalize(light + viewer);
    const Vec3 reflexDir = Normalize({-0.42, 0.5, 0.76});

    return [=](Vec2 p, double& alpha) -> Rgb {
        double dx = (p.x - style.centre.x) / style.radius;
        double dy = -(p.y - style.centre.y) / style.radius;
        double r2 = dx * dx + dy * dy;
        if (r2 >= 1.0) {
            alpha = 0;
            return style.premultiplied ? Rgb{} : style.background;
        }
        Vec3 n{dx, dy, std::sqrt(1.0 - r2)};
        Vec3 q = toObject * n;

        std::size_t best = 0, second = 1;
        double s1 = -1e9, s2 = -1e9;
        for (std::size_t i = 0; i < faces.size(); ++i) {
            double s = Dot(q, faces[i].normal) / faces[i].distance;
            if (s > s1) {
                s2 = s1;
                second = best;
                s1 = s;
                best = i;
            } else if (s > s2) {
                s2 = s;
                second = i;
            }
        }
        Vec3 g = faces[best].normal * (1.0 / faces[best].distance) -
                 faces[second].normal * (1.0 / faces[second].distance);
        Vec3 gt = g - q * Dot(g, q);
        double edgeAngle = (s1 - s2) / std::max(Length(gt), 1e-9);
        double edgePixels = edgeAngle * style.radius;

        Rgb albedo = faces[best].pentagon ? style.pentPanel : style.hexPanel;
        // Panels are stuffed: they bulge between the seams, so light falls off
        // towards the stitching, and the stitching itself is a dark groove.
        double puff = 0.72 + 0.28 * SmoothStep(0.0, 0.16 * style.radius, edgePixels);
        double seam = 1.0 - SmoothStep(style.seamPixels * 0.5, style.seamPixels * 1.25, edgePixels);

        double diffuse = std::max(0.0, Dot(n, light));
        double ambient = 0.40;
        double rim = 1.0 - 0.30 * std::pow(1.0 - n.z, 2.0);
        double bounce = 0.10 * std::max(0.0, -n.y);
        Rgb lit = albedo * ((ambient + 0.72 * diffuse) * puff * rim + bounce);
        Over(lit, style.seam * (0.4 + 0.6 * diffuse), seam);

        double spec = std::pow(std::max(0.0, Dot(n, halfway)), 36.0) * style.specular * (1.0 - 0.6 * seam);
        lit = lit + Rgb{1, 1, 1} * spec;
        if (style.reflex > 0) {
            double broad = std::pow(std::max(0.0, Dot(n, reflexDir)), 10.0);
            double sharp = std::pow(std::max(0.0, Dot(n, reflexDir)), 140.0);
            lit = lit + Rgb{1.0, 1.0, 0.97} * (style.reflex * (0.35 * broad + 1.2 * sharp));
        }
        if (style.sunken > 0) {
            // Light from the upper left is blocked by the rim of the hollow
            // the pressed ball sits in.
            double shadow = SmoothStep(0.55, 1.0, std::sqrt(r2)) * std::max(0.0, 0.3 + dx * -0.6 + dy * 0.6);
            lit = lit * (1.0 - style.sunken * shadow);
        }
        lit = lit * style.exposure;
        alpha = 1;
        return lit;
    };
}

}  // namespace art
