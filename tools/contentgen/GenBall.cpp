// The player's ball "ball_y": one textured sphere in four looks, a mode-3
// model whose group is the ball's render mode: 1 in play, 2 once lost, 4
// and 5 the flicker of a ball burnt by a laser. Eight coloured segments
// round the up axis and a band at the equator let a turn be seen.
//
// Radius 1.4 model units: at the ball's scale of 0.25 it is 0.7 across and,
// resting 0.4 below the cell centre, just touches the floor face 0.75 below.
#include <cmath>
#include <cstdint>
#include <string>

#include "ContentGen.h"

namespace rdv::contentgen {

namespace {

using V = TcmWriter::Vertex;

constexpr float kRadius = 1.4f;
constexpr int kRings = 12;      // from pole to pole
constexpr int kSegments = 24;   // round the up axis
constexpr float kPi = 3.14159265f;

uint32_t Argb(int r, int g, int b) {
    return 0xFF000000u | (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) | static_cast<uint32_t>(b);
}

struct Look {
    const char* texture;
    uint32_t a, b, band;
};

// u runs round the up axis, v from the top pole to the bottom one.
Image BallTexture(const Look& look) {
    Image image(64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            uint32_t c = ((x / 8) % 2 == 0) ? look.a : look.b;
            if (y >= 29 && y < 35) c = look.band;
            // A spot at the front (u = 0.25, towards +y) marks the heading.
            const int dx = x - 16, dy = y - 20;
            if (dx * dx + dy * dy < 25) c = look.band;
            image.Set(x, y, c);
        }
    return image;
}

V Point(int ring, int segment, uint32_t rgb) {
    const float theta = kPi * static_cast<float>(ring) / kRings;          // from +z
    const float phi = 2 * kPi * static_cast<float>(segment) / kSegments;  // from +x towards +y
    const float s = std::sin(theta);
    V v{kRadius * s * std::cos(phi), kRadius * s * std::sin(phi), kRadius * std::cos(theta), rgb};
    v.u = static_cast<float>(segment) / kSegments;
    v.v = static_cast<float>(ring) / kRings;
    return v;
}

void Sphere(TcmWriter& w, int& start, const std::string& texture, int group) {
    const uint32_t white = 0xFFFFFFFFu;
    int triangles = 0;
    for (int r = 0; r < kRings; ++r)
        for (int s = 0; s < kSegments; ++s) {
            const V a = Point(r, s, white), b = Point(r, s + 1, white);
            const V c = Point(r + 1, s + 1, white), d = Point(r + 1, s, white);
            // Clockwise as seen from outside (left-handed, +z up).
            for (const V* v : {&a, &c, &b, &a, &d, &c}) w.Add(*v);
            triangles += 2;
        }
    w.Sequence(start, triangles, "T", texture, group);
    start += triangles * 3;
}

} // namespace

void GenBall(Output& out) {
    const Look looks[] = {
        {"ball_play", Argb(230, 150, 30), Argb(40, 90, 200), Argb(250, 245, 230)},
        {"ball_lost", Argb(90, 90, 95), Argb(55, 55, 60), Argb(130, 125, 120)},
        {"ball_burn_a", Argb(255, 80, 20), Argb(255, 200, 40), Argb(255, 255, 200)},
        {"ball_burn_b", Argb(60, 10, 0), Argb(160, 30, 10), Argb(255, 120, 40)},
    };
    const int groups[] = {1, 2, 4, 5};
    TcmWriter w(3);
    int start = 0;
    for (int i = 0; i < 4; ++i) {
        out.WritePng("textures", std::string(looks[i].texture) + ".png", BallTexture(looks[i]));
        Sphere(w, start, looks[i].texture, groups[i]);
    }
    out.WriteText("models", "ball_y.tcm", w.Text());
}

} // namespace rdv::contentgen
