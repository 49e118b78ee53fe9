// The flag post "flagpost" (a pole from the floor face with a waving red flag),
// the sky box "skybox" (a large cube seen from inside, blue above, pale at
// the horizon, dark below, lit by its own colours) and two scenery models: "pillar" (a stone column)
// and "tree" (a trunk under a green crown). All surfaces are two-sided so
// that the winding never hides them.
#include <cmath>
#include <string>

#include "ContentGen.h"

namespace rdv::contentgen {

namespace {

using V = TcmWriter::Vertex;

void TwoSided(TcmWriter& w, const V& a, const V& b, const V& c, const V& d) {
    w.Quad(a, b, c, d);
    w.Quad(d, c, b, a);
}

// An axis-aligned box; `top` and `bottom` colour its upper and lower corners.
void Box(TcmWriter& w, float x0, float y0, float z0, float x1, float y1, float z1, uint32_t bottom, uint32_t top) {
    const V p[8] = {{x0, y0, z0, bottom}, {x1, y0, z0, bottom}, {x1, y1, z0, bottom}, {x0, y1, z0, bottom},
                    {x0, y0, z1, top},    {x1, y0, z1, top},    {x1, y1, z1, top},    {x0, y1, z1, top}};
    TwoSided(w, p[0], p[1], p[2], p[3]);
    TwoSided(w, p[4], p[5], p[6], p[7]);
    TwoSided(w, p[0], p[1], p[5], p[4]);
    TwoSided(w, p[1], p[2], p[6], p[5]);
    TwoSided(w, p[2], p[3], p[7], p[6]);
    TwoSided(w, p[3], p[0], p[4], p[7]);
}

} // namespace

void GenFlagpost(Output& out) {
    {
        TcmWriter w(1);
        const float floor = -0.75f;
        Box(w, -0.04f, -0.04f, floor, 0.04f, 0.04f, 0.65f, 0xFF808080u, 0xFFE0E0E0u);
        // The cloth waves across the pole's plane, so that it reads from every
        // side: flat, it vanishes to a line seen along its edge.
        constexpr int kFolds = 6;
        const float length = 0.55f, top = 0.65f, bottom = 0.32f;
        for (int i = 0; i < kFolds; ++i) {
            auto at = [&](int k, float z, bool light) {
                const float t = static_cast<float>(k) / kFolds;
                const float wave = 0.13f * std::sin(3.14159f * 1.5f * t) * t * 1.6f;
                // Folds turned to the light are brighter.
                const uint32_t colour = light ? (k % 2 ? 0xFFFF3030u : 0xFFD81818u) : (k % 2 ? 0xFFC01010u : 0xFF981010u);
                return V{0.04f + length * t, wave, z - 0.06f * t, colour};
            };
            TwoSided(w, at(i, top, true), at(i + 1, top, true), at(i + 1, bottom, false), at(i, bottom, false));
        }
        Box(w, -0.2f, -0.2f, floor, 0.2f, 0.2f, floor + 0.06f, 0xFF404040u, 0xFF606060u);
        out.WriteText("models", "flagpost.tcm", w.Text());
    }
    {
        // Its colours are its own light ("P"): the level's lights are far
        // from the walls and would leave the sky at ambient grey.
        TcmWriter w(1, "PL");
        const float s = 60.0f;
        Box(w, -s, -s, -s, s, s, s, 0xFF202838u, 0xFF3060D0u);
        // A pale band at the horizon: walls only, so that an eye above or
        // below it still sees the sky and the ground.
        const float b = s * 0.99f, lo = -4.0f, hi = 4.0f;
        // It fades into the walls' blue at its top edge.
        const uint32_t low = 0xFF8C9CB8u, high = 0xFF284689u;
        const V c[4][2] = {{{-b, -b, lo, low}, {-b, -b, hi, high}},
                           {{b, -b, lo, low}, {b, -b, hi, high}},
                           {{b, b, lo, low}, {b, b, hi, high}},
                           {{-b, b, lo, low}, {-b, b, hi, high}}};
        for (int i = 0; i < 4; ++i) {
            const int j = (i + 1) % 4;
            TwoSided(w, c[i][0], c[j][0], c[j][1], c[i][1]);
        }
        out.WriteText("models", "skybox.tcm", w.Text());
    }
    {
        TcmWriter w(1);
        Box(w, -0.5f, -0.5f, -0.75f, 0.5f, 0.5f, -0.45f, 0xFF605850u, 0xFF807870u);
        Box(w, -0.3f, -0.3f, -0.45f, 0.3f, 0.3f, 3.0f, 0xFF908878u, 0xFFC0B8A8u);
        Box(w, -0.45f, -0.45f, 3.0f, 0.45f, 0.45f, 3.3f, 0xFF807870u, 0xFFA09890u);
        out.WriteText("models", "pillar.tcm", w.Text());
    }
    {
        TcmWriter w(1);
        Box(w, -0.12f, -0.12f, -0.75f, 0.12f, 0.12f, 0.9f, 0xFF503018u, 0xFF704828u);
        Box(w, -0.6f, -0.6f, 0.6f, 0.6f, 0.6f, 1.6f, 0xFF186020u, 0xFF30A040u);
        Box(w, -0.35f, -0.35f, 1.6f, 0.35f, 0.35f, 2.1f, 0xFF207028u, 0xFF40C050u);
        out.WriteText("models", "tree.tcm", w.Text());
    }
}

} // namespace rdv::contentgen
