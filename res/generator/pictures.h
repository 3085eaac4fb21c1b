#pragma once
// The pictures themselves, each as a shading function for the renderer.

#include "art.h"

namespace art {

// A sewn football: twelve pentagonal and twenty hexagonal panels of a
// truncated icosahedron on a lit sphere.
struct BallStyle {
    Vec2 centre{23.0, 23.5};
    double radius = 22.6;
    Rgb hexPanel = Hex(0xF4F4F0);
    Rgb pentPanel = Hex(0x151518);
    Rgb seam = Hex(0x202022);
    Rgb background;
    // Orientation in degrees: which panel faces the viewer, and how it leans.
    double yaw = 5, pitch = -7, roll = 6;
    double exposure = 1.0;
    double seamPixels = 0.75;
    double specular = 0.55;
    double reflex = 0.0;       // the mouse-over glint: a window of light on the leather
    double sunken = 0.0;       // a pressed ball: shade from the rim, as if pushed in
    bool premultiplied = false; // icons: answer coverage, colour premultiplied
};
Shader BallShader(const BallStyle& style);

Shader StadiumShader();

// The fourteen club emblems, numbered 0 to 13, with their pixel sizes.
struct EmblemSize {
    int width, height;
};
EmblemSize EmblemDimensions(int n);
Shader EmblemShader(int n);

}  // namespace art
