// The static tile models and their textures. Every tile model lies on the
// face plane z = 0 of model space, centred on the origin, filling the
// 1.5 x 1.5 face; its "front" (spikes, fan outlet) points along +z. The
// level turns it onto floors and walls. Pads are thin slabs, seen from both
// sides; ice, force fields and water are drawn with alpha from their
// textures.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "ContentGen.h"

namespace rdv::contentgen {

namespace {

using V = TcmWriter::Vertex;

constexpr float kHalf = 0.75f;  // half a face
constexpr uint32_t kWhite = 0xFFFFFF;

struct P {
    float x, y, z;
};

P Sub(P a, P b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
P Cross(P a, P b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
float Dot(P a, P b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// A quad whose front faces `normal`: the corner order is flipped when the
// given one would face the other way (the model loader takes the front from
// (b - a) x (c - b)).
void Face(TcmWriter& w, P a, P b, P c, P d, P normal, const std::string& kind, const std::string& texture, int group,
          float u0 = 0, float v0 = 0, float u1 = 1, float v1 = 1) {
    V va{a.x, a.y, a.z, kWhite, u0, v0}, vb{b.x, b.y, b.z, kWhite, u1, v0}, vc{c.x, c.y, c.z, kWhite, u1, v1},
        vd{d.x, d.y, d.z, kWhite, u0, v1};
    if (Dot(Cross(Sub(b, a), Sub(c, b)), normal) >= 0) w.Quad(va, vb, vc, vd, kind, texture, group);
    else w.Quad(va, vd, vc, vb, kind, texture, group);
}

// A box from (x0, y0, z0) to (x1, y1, z1); the top and bottom carry the
// whole texture, the sides a thin strip of it.
void Box(TcmWriter& w, float x0, float y0, float z0, float x1, float y1, float z1, const std::string& kind,
         const std::string& texture, int group) {
    Face(w, {x0, y1, z1}, {x1, y1, z1}, {x1, y0, z1}, {x0, y0, z1}, {0, 0, 1}, kind, texture, group);
    Face(w, {x0, y0, z0}, {x1, y0, z0}, {x1, y1, z0}, {x0, y1, z0}, {0, 0, -1}, kind, texture, group);
    Face(w, {x1, y1, z1}, {x1, y0, z1}, {x1, y0, z0}, {x1, y1, z0}, {1, 0, 0}, kind, texture, group, 0, 0, 1, 0.05f);
    Face(w, {x0, y0, z1}, {x0, y1, z1}, {x0, y1, z0}, {x0, y0, z0}, {-1, 0, 0}, kind, texture, group, 0, 0, 1, 0.05f);
    Face(w, {x0, y1, z1}, {x1, y1, z1}, {x1, y1, z0}, {x0, y1, z0}, {0, 1, 0}, kind, texture, group, 0, 0, 1, 0.05f);
    Face(w, {x1, y0, z1}, {x0, y0, z1}, {x0, y0, z0}, {x1, y0, z0}, {0, -1, 0}, kind, texture, group, 0, 0, 1, 0.05f);
}

// A pad filling the face: a slab of the given thickness around z = 0.
void Pad(TcmWriter& w, float thickness, const std::string& kind, const std::string& texture, int group) {
    Box(w, -kHalf, -kHalf, -thickness / 2, kHalf, kHalf, thickness / 2, kind, texture, group);
}

// A plane on z = 0 seen from both sides.
void TwoSided(TcmWriter& w, float half, float z, const std::string& kind, const std::string& texture, int group) {
    Face(w, {-half, half, z}, {half, half, z}, {half, -half, z}, {-half, -half, z}, {0, 0, 1}, kind, texture, group);
    Face(w, {-half, -half, z}, {half, -half, z}, {half, half, z}, {-half, half, z}, {0, 0, -1}, kind, texture, group);
}

// ---------------------------------------------------------------- textures

constexpr int kSize = 64;

uint32_t Hash(uint32_t x, uint32_t y, uint32_t seed) {
    uint32_t h = x * 374761393u + y * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}
// 0..1 noise per texel.
float Noise(int x, int y, uint32_t seed) {
    return static_cast<float>(Hash(static_cast<uint32_t>(x), static_cast<uint32_t>(y), seed) & 0xFFFF) / 65535.0f;
}

uint32_t Rgb(float r, float g, float b, float a = 1.0f) {
    auto c = [](float v) { return static_cast<uint32_t>(std::lround(std::fmin(1.0f, std::fmax(0.0f, v)) * 255)); };
    return (c(a) << 24) | (c(r) << 16) | (c(g) << 8) | c(b);
}

template <class F>
Image Paint(F texel) {
    Image img(kSize, kSize);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) img.Set(x, y, texel(x, y));
    return img;
}

// A dark frame a few texels wide, so neighbouring pads read as tiles.
bool Edge(int x, int y, int w = 2) { return x < w || y < w || x >= kSize - w || y >= kSize - w; }

Image Bricks(float r, float g, float b, int rows, uint32_t seed) {
    return Paint([=](int x, int y) {
        const int h = kSize / rows;
        const int row = y / h;
        const int off = (row % 2) * (h);
        const bool mortar = y % h < 2 || (x + off) % (2 * h) < 2;
        const float n = 0.85f + 0.3f * Noise(x / 3, y / 3, seed);
        if (mortar) return Rgb(0.75f, 0.72f, 0.66f);
        return Rgb(r * n, g * n, b * n);
    });
}

Image Grass(float r, float g, float b, uint32_t seed, bool flowers) {
    return Paint([=](int x, int y) {
        const float n = 0.6f + 0.5f * Noise(x, y, seed);
        if (flowers && Hash(static_cast<uint32_t>(x / 4), static_cast<uint32_t>(y / 4), seed + 7) % 23 == 0 &&
            x % 4 < 2 && y % 4 < 2)
            return Rgb(1.0f, 0.9f, 0.2f);
        if (Edge(x, y)) return Rgb(r * 0.5f, g * 0.5f, b * 0.5f);
        return Rgb(r * n, g * n, b * n);
    });
}

Image Metal(float shade, bool rivets, bool diamond, uint32_t seed) {
    return Paint([=](int x, int y) {
        float v = shade + 0.06f * Noise(x, y, seed) + 0.1f * static_cast<float>(y) / kSize;
        if (diamond && ((x + y) % 8 == 0 || (x - y + 64) % 8 == 0)) v += 0.18f;
        if (rivets) {
            for (int cx : {6, 57})
                for (int cy : {6, 57})
                    if ((x - cx) * (x - cx) + (y - cy) * (y - cy) < 7) v = 0.95f;
        }
        if (Edge(x, y)) v *= 0.5f;
        return Rgb(v, v, v * 1.05f);
    });
}

// Metal with yellow and black hazard marks: the pads that turn gravity.
Image MarkedMetal() {
    return Paint([](int x, int y) {
        if (Edge(x, y, 6)) return ((x + y) / 6) % 2 ? Rgb(0.95f, 0.8f, 0.1f) : Rgb(0.1f, 0.1f, 0.1f);
        const float v = 0.55f + 0.05f * Noise(x, y, 5);
        return Rgb(v, v, v);
    });
}

// An arrow on blue metal; diagonal points to the corner.
Image Arrow(bool diagonal) {
    return Paint([=](int x, int y) {
        float u = (x - 31.5f) / 32.0f, v = (31.5f - y) / 32.0f;  // v up
        if (diagonal) {
            const float a = (u + v) * 0.7071f, b = (v - u) * 0.7071f;
            u = b;
            v = a;
        }
        const bool shaft = std::fabs(u) < 0.15f && v > -0.7f && v < 0.2f;
        const bool head = v >= 0.2f && v < 0.75f && std::fabs(u) < (0.75f - v) * 0.9f;
        if (Edge(x, y)) return Rgb(0.1f, 0.15f, 0.3f);
        if (shaft || head) return Rgb(1.0f, 1.0f, 1.0f);
        return Rgb(0.2f, 0.35f, 0.8f);
    });
}

Image Ice(float alpha, uint32_t seed) {
    return Paint([=](int x, int y) {
        const bool crack = Hash(static_cast<uint32_t>((x + y) / 2), 0, seed) % 9 == 0 && (x * 3 + y) % 11 < 2;
        const float n = 0.85f + 0.15f * Noise(x / 2, y / 2, seed);
        if (Edge(x, y)) return Rgb(0.7f, 0.9f, 1.0f, 0.9f);
        if (crack) return Rgb(1, 1, 1, 0.95f);
        return Rgb(0.65f * n, 0.85f * n, 1.0f * n, alpha);
    });
}

Image Snow(uint32_t seed, bool cover) {
    return Paint([=](int x, int y) {
        const float n = 0.9f + 0.1f * Noise(x, y, seed);
        if (cover && (x / 8 + y / 8) % 2 == 0) return Rgb(0.92f * n, 0.94f * n, 1.0f * n);
        if (Edge(x, y)) return Rgb(0.7f, 0.75f, 0.85f);
        return Rgb(n, n, n);
    });
}

// Cracked stone: the wall that breaks.
Image BreakWall() {
    return Paint([](int x, int y) {
        const float n = 0.75f + 0.25f * Noise(x / 2, y / 2, 31);
        const int d = std::abs(x - y) , e = std::abs(x + y - 63);
        if ((d < 2 && x % 16 < 12) || (e < 2 && y % 20 < 14)) return Rgb(0.1f, 0.08f, 0.06f);
        if (Edge(x, y)) return Rgb(0.3f, 0.25f, 0.2f);
        return Rgb(0.6f * n, 0.5f * n, 0.38f * n);
    });
}

Image Field(float r, float g, float b, int pattern) {
    return Paint([=](int x, int y) {
        float a = 0.35f;
        bool line = false;
        switch (pattern) {
        case 1: line = y % 8 < 2; break;                        // horizontal bands
        case 2: line = (x / 8 + y / 8) % 2 == 0 && x % 8 < 2; break;
        default: line = (x + y) % 10 < 2; break;                 // diagonals
        }
        if (line) a = 0.65f;
        // The device blends by source colour, so the pattern must be in
        // the colour, not only in the alpha: brightness follows alpha.
        if (Edge(x, y, 3)) a = 0.95f;
        const float k = std::sqrt(a);
        return Rgb(r * k, g * k, b * k, a);
    });
}

Image Water() {
    return Paint([](int x, int y) {
        const float w = 0.5f + 0.5f * std::sin((x + 6 * std::sin(y * 0.2f)) * 0.3f);
        return Rgb(0.1f + 0.2f * w, 0.35f + 0.25f * w, 0.85f, 0.5f + 0.15f * w);
    });
}

Image Laser() {
    return Paint([](int x, int y) {
        (void)x;
        const float beam = 0.5f + 0.5f * std::cos((y % 16 - 7.5f) * 0.4f);
        return Rgb(1.0f, 0.15f + 0.5f * beam * beam, 0.1f, 0.25f + 0.6f * beam * beam);
    });
}

Image Solid(float r, float g, float b, uint32_t seed) {
    return Paint([=](int x, int y) {
        const float n = 0.85f + 0.15f * Noise(x, y, seed);
        return Rgb(r * n, g * n, b * n);
    });
}

// Dark grille with the fan's blades.
Image FanGrille() {
    return Paint([](int x, int y) {
        const float u = x - 31.5f, v = y - 31.5f;
        const float r = std::sqrt(u * u + v * v);
        const float a = std::atan2(v, u);
        if (r > 29) return Rgb(0.45f, 0.45f, 0.5f);
        if (std::fmod(r, 6.0f) < 1.2f) return Rgb(0.6f, 0.6f, 0.65f);
        if (std::fmod(a + 3.14159f + r * 0.04f, 1.5708f) < 0.5f) return Rgb(0.75f, 0.8f, 0.9f);
        return Rgb(0.08f, 0.08f, 0.1f);
    });
}

// ---------------------------------------------------------------- models

std::string DiscPad() {
    TcmWriter w(3);
    const char* textures[10] = {"", "tile_wall", "tile_grass", "tile_metal", "tile_markedmetal", "tile_arrow_diag",
                                "tile_arrow", "tile_ice", "tile_snow", "tile_breakwall"};
    for (int group = 1; group <= 9; ++group)
        Pad(w, 0.12f, group == 7 ? "TA" : "T", textures[group], group);
    return w.Text();
}

std::string FloorPad() {
    TcmWriter w(3);
    const char* textures[6] = {"", "tile_brickfloor", "tile_icesheet", "tile_metalfloor", "tile_grassfield",
                               "tile_snowcover"};
    for (int group = 1; group <= 5; ++group)
        Pad(w, 0.04f, group == 2 ? "TA" : "T", textures[group], group);
    return w.Text();
}

// A torus in the face plane.
std::string BallRing() {
    TcmWriter w(2);
    const int segments = 24, sides = 8;
    const float R = 0.62f, r = 0.09f;
    auto at = [&](int i, int j) {
        const float a = 6.28318f * i / segments, b = 6.28318f * j / sides;
        const float rr = R + r * std::cos(b);
        return P{rr * std::cos(a), rr * std::sin(a), r * std::sin(b)};
    };
    for (int i = 0; i < segments; ++i)
        for (int j = 0; j < sides; ++j) {
            const P a = at(i, j), b = at(i + 1, j), c = at(i + 1, j + 1), d = at(i, j + 1);
            const float mid = 6.28318f * (i + 0.5f) / segments, sb = 6.28318f * (j + 0.5f) / sides;
            const P n{std::cos(sb) * std::cos(mid), std::cos(sb) * std::sin(mid), std::sin(sb)};
            Face(w, a, b, c, d, n, "T", "tile_ring", 0, 0, 0, 1, 1);
        }
    return w.Text();
}

// The laser glows through the pixel shader "glow".
std::string LaserModel() {
    TcmWriter w(2, "S", {"glow"});
    const float t = 0.08f;  // emitter bars along two edges, the beam between them
    Box(w, -kHalf, -kHalf, -t, kHalf, -kHalf + 2 * t, t, "T", "tile_laserframe", 0);
    Box(w, -kHalf, kHalf - 2 * t, -t, kHalf, kHalf, t, "T", "tile_laserframe", 0);
    TwoSided(w, kHalf - 0.02f, 0, "TA", "tile_laser", 0);
    return w.Text();
}

std::string SpikeTrap() {
    TcmWriter w(2);
    Pad(w, 0.08f, "T", "tile_spikebase", 0);
    const int n = 3;
    const float cell = 2 * kHalf / n, base = cell * 0.38f, height = 0.45f;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const float cx = -kHalf + cell * (i + 0.5f), cy = -kHalf + cell * (j + 0.5f);
            const P tip{cx, cy, 0.04f + height};
            const P c[4] = {{cx - base, cy - base, 0.04f}, {cx + base, cy - base, 0.04f},
                            {cx + base, cy + base, 0.04f}, {cx - base, cy + base, 0.04f}};
            for (int k = 0; k < 4; ++k) {
                const P a = c[k], b = c[(k + 1) % 4];
                const P out{(a.x + b.x) / 2 - cx, (a.y + b.y) / 2 - cy, base * 0.6f};
                // A triangle as a quad with two corners at the tip.
                Face(w, a, b, tip, tip, out, "T", "tile_spike", 0);
            }
        }
    return w.Text();
}

// The energy pattern races along the field: texel shader "forcefield".
std::string TechField() {
    TcmWriter w(3, "S", {"forcefield"});
    const char* textures[4] = {"", "tile_field1", "tile_field2", "tile_field3"};
    for (int group = 1; group <= 3; ++group) TwoSided(w, kHalf, 0, "TA", textures[group], group);
    return w.Text();
}

std::string AirTrap() {
    TcmWriter w(2);
    Pad(w, 0.1f, "T", "tile_fan", 0);
    // Four blades standing out of the grille towards the front.
    for (int k = 0; k < 4; ++k) {
        const float a = 1.5708f * k + 0.4f, b = a + 0.7f;
        const P hub{0, 0, 0.05f};
        const P p1{0.6f * std::cos(a), 0.6f * std::sin(a), 0.05f};
        const P p2{0.6f * std::cos(b), 0.6f * std::sin(b), 0.22f};
        Face(w, hub, p1, p2, p2, {0, 0, 1}, "T", "tile_fanblade", 0);
        Face(w, hub, p2, p1, p1, {0, 0, -1}, "T", "tile_fanblade", 0);
    }
    return w.Text();
}

// The surface drifts and ripples: texel shader "water".
std::string WaterField() {
    TcmWriter w(2, "S", {"water"});
    TwoSided(w, kHalf, 0, "TA", "tile_water", 0);
    return w.Text();
}

} // namespace

void GenTiles(Output& out) {
    out.WritePng("textures", "tile_wall.png", Bricks(0.7f, 0.25f, 0.15f, 8, 1));
    out.WritePng("textures", "tile_grass.png", Grass(0.25f, 0.7f, 0.2f, 2, false));
    out.WritePng("textures", "tile_metal.png", Metal(0.55f, true, false, 3));
    out.WritePng("textures", "tile_markedmetal.png", MarkedMetal());
    out.WritePng("textures", "tile_arrow_diag.png", Arrow(true));
    out.WritePng("textures", "tile_arrow.png", Arrow(false));
    out.WritePng("textures", "tile_ice.png", Ice(0.7f, 4));
    out.WritePng("textures", "tile_snow.png", Snow(5, false));
    out.WritePng("textures", "tile_breakwall.png", BreakWall());

    out.WritePng("textures", "tile_brickfloor.png", Bricks(0.75f, 0.6f, 0.4f, 4, 6));
    out.WritePng("textures", "tile_icesheet.png", Ice(0.5f, 7));
    out.WritePng("textures", "tile_metalfloor.png", Metal(0.4f, false, true, 8));
    out.WritePng("textures", "tile_grassfield.png", Grass(0.2f, 0.5f, 0.12f, 9, true));
    out.WritePng("textures", "tile_snowcover.png", Snow(10, true));

    out.WritePng("textures", "tile_ring.png", Solid(1.0f, 0.8f, 0.2f, 11));
    out.WritePng("textures", "tile_laser.png", Laser());
    out.WritePng("textures", "tile_laserframe.png", Solid(0.25f, 0.25f, 0.3f, 12));
    out.WritePng("textures", "tile_spikebase.png", Metal(0.3f, true, false, 13));
    out.WritePng("textures", "tile_spike.png", Solid(0.85f, 0.85f, 0.9f, 14));
    out.WritePng("textures", "tile_field1.png", Field(0.3f, 0.6f, 1.0f, 1));
    out.WritePng("textures", "tile_field2.png", Field(0.3f, 1.0f, 0.5f, 2));
    out.WritePng("textures", "tile_field3.png", Field(1.0f, 0.35f, 0.9f, 3));
    out.WritePng("textures", "tile_fan.png", FanGrille());
    out.WritePng("textures", "tile_fanblade.png", Solid(0.8f, 0.85f, 0.95f, 15));
    out.WritePng("textures", "tile_water.png", Water());

    out.WriteText("models", "discpad.tcm", DiscPad());
    out.WriteText("models", "floorpad.tcm", FloorPad());
    out.WriteText("models", "ballring.tcm", BallRing());
    out.WriteText("models", "laser.tcm", LaserModel());
    out.WriteText("models", "spiketrap.tcm", SpikeTrap());
    out.WriteText("models", "techfield.tcm", TechField());
    out.WriteText("models", "airtrap.tcm", AirTrap());
    out.WriteText("models", "waterfield.tcm", WaterField());
}

} // namespace rdv::contentgen
