// The loading screen "loader" and the campaign icons "icons".
//
// loader: drawn unscaled 2 units in front of the menu camera, where the
// screen spans z -1..1 and y -aspect..aspect; the backdrop covers y -2..2
// (up to a 2:1 screen) and z -1.05..1.05. The title sits in the upper half;
// the lower third stays plain and dark for the two text lines the game
// draws there.
// icons: frame 0 the Training campaign (a ball on a tile), frame 1 the
// Journey campaign (a flag on a mountain path), opaque, centred 1 x 1.
#include <algorithm>
#include <cmath>
#include <string>

#include "GenFont.h"
#include "GenShapes.h"

namespace rdv::contentgen {

namespace {

Rgbf Mix(Rgbf a, Rgbf b, float t) {
    t = std::clamp(t, 0.0f, 1.0f);
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgbf Get(const Image& img, int x, int y) {
    const uint8_t* p = &img.rgba[(static_cast<size_t>(y) * img.width + x) * 4];
    return {p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f};
}

// Paints `c` over the image where `cov` covers, cov's top-left at (x0, y0).
void Stamp(Image& img, const Coverage& cov, int x0, int y0, const std::function<Rgbf(int, int)>& c) {
    for (int y = 0; y < cov.height; ++y)
        for (int x = 0; x < cov.width; ++x) {
            const float a = cov.At(x, y);
            const int px = x0 + x, py = y0 + y;
            if (a <= 0 || px < 0 || py < 0 || px >= img.width || py >= img.height) continue;
            img.Set(px, py, Argb(Mix(Get(img, px, py), c(px, py), a)));
        }
}

// ---------------------------------------------------------------- loader

constexpr float kHalfW = 2.0f, kHalfH = 1.05f;
// 320 texels a unit: about one a pixel at 800 x 600, the loading screen
// slightly magnified above that. Twice that cost 7 MB more for a picture
// shown only while a level loads.
constexpr int kPpu = 320;   // texels a unit

Image LoaderImage(const TrueTypeFont& font) {
    const int W = static_cast<int>(2 * kHalfW * kPpu), H = static_cast<int>(2 * kHalfH * kPpu);
    Image img(W, H);
    auto toY = [](float px) { return px / kPpu - kHalfW; };
    auto toZ = [](float py) { return kHalfH - py / kPpu; };
    const float horizon = -0.12f;
    auto backdrop = [&](float y, float z) {
        Rgbf c;
        if (z > horizon) {
            // Night sky brightening towards a glow on the horizon.
            const float t = (z - horizon) / (kHalfH - horizon);
            c = Mix({0.16f, 0.22f, 0.46f}, {0.02f, 0.04f, 0.12f}, std::pow(t, 0.6f));
            c = Mix(c, {0.55f, 0.42f, 0.55f}, 0.35f * std::exp(-std::fabs(z - horizon) * 9) *
                                                  std::exp(-y * y * 0.35f));
        } else {
            // A floor of tiles running to the horizon, fading into the
            // dark band where the text goes.
            const float depth = 0.3f / (horizon - z + 0.0001f);   // 1 near the text band .. far
            const float across = y * depth * 1.6f;
            const float along = depth * 2.0f;
            const float fu = across - std::floor(across), fv = along - std::floor(along);
            const float g = 0.04f * depth;
            const bool grout = fu < g || fu > 1 - g || fv < 0.06f * depth;
            const bool dark = (static_cast<int>(std::floor(across)) + static_cast<int>(std::floor(along))) & 1;
            c = grout ? Rgbf{0.30f, 0.48f, 0.85f} : dark ? Rgbf{0.08f, 0.12f, 0.26f} : Rgbf{0.14f, 0.20f, 0.38f};
            c = Mix(c, {0.12f, 0.13f, 0.26f}, std::min(1.0f, (depth - 1.0f) * 0.12f));   // haze far away
            const float band = std::clamp((z + 0.42f) / 0.16f, 0.0f, 1.0f);   // dark below z -0.3
            c = Mix({0.015f, 0.02f, 0.05f}, c, band);
        }
        return c;
    };
    // The floor's lines converge at the horizon: 3 x 3 samples a texel
    // keep them from breaking up into noise.
    for (int py = 0; py < H; ++py)
        for (int px = 0; px < W; ++px) {
            const bool onFloor = toZ(py + 1.0f) <= horizon;
            const int n = onFloor ? 3 : 1;
            Rgbf sum{0, 0, 0};
            for (int sy = 0; sy < n; ++sy)
                for (int sx = 0; sx < n; ++sx) {
                    const Rgbf c = backdrop(toY(px + (sx + 0.5f) / n), toZ(py + (sy + 0.5f) / n));
                    sum = {sum.r + c.r, sum.g + c.g, sum.b + c.b};
                }
            img.Set(px, py, Argb({sum.r / (n * n), sum.g / (n * n), sum.b / (n * n)}));
        }
    // A few stars.
    uint32_t seed = 12345;
    auto rnd = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) / 16777216.0f;
    };
    for (int i = 0; i < 160; ++i) {
        const int x = static_cast<int>(rnd() * W), y = static_cast<int>(rnd() * (H * 0.5f));
        const float b = 0.4f + 0.6f * rnd();
        img.Set(x, y, Argb(Mix(Get(img, x, y), {1, 1, 0.9f}, b)));
    }
    // The title: gold letters with a dark outline and a soft drop shadow,
    // narrow enough for a 4:3 screen (|y| < 1.33).
    int baseline = 0;
    const float em = 0.36f * kPpu;
    Coverage title = font.RenderLine("Rondovar II", em, 24, &baseline);
    const float widest = 2.5f * kPpu;
    if (title.width > widest) title = font.RenderLine("Rondovar II", em * widest / title.width, 24, &baseline);
    const int capHeight = static_cast<int>(0.73f * em);
    const Coverage outline = Dilate(title, 0.014f * kPpu);
    const Coverage shadow = Dilate(outline, 0.012f * kPpu);
    const int tx = (W - title.width) / 2;
    // Capitals centred on z = 0.45.
    const int ty = static_cast<int>((kHalfH - 0.45f) * kPpu) - baseline + capHeight / 2;
    const int top = ty + baseline - capHeight, bottom = ty + baseline;
    const int shadowOffset = static_cast<int>(0.025f * kPpu);
    Stamp(img, shadow, tx + shadowOffset, ty + shadowOffset, [](int, int) { return Rgbf{0, 0, 0.02f}; });
    Stamp(img, outline, tx, ty, [](int, int) { return Rgbf{0.05f, 0.03f, 0.01f}; });
    Stamp(img, title, tx, ty, [&](int, int py) {
        const float t = float(py - top) / float(bottom - top);
        return t < 0.5f ? Mix({1.0f, 0.97f, 0.75f}, {1.0f, 0.80f, 0.30f}, t * 2)
                        : Mix({1.0f, 0.80f, 0.30f}, {0.78f, 0.38f, 0.05f}, (t - 0.5f) * 2);
    });
    // A line under the title.
    const int ruleH = kPpu / 32;
    const Coverage rule = Rasterize(W, ruleH, [&](float px, float py) {
        const float dx = std::fabs(px - W / 2.0f) - title.width * 0.40f;
        return std::max(dx, std::fabs(py - ruleH / 2.0f) - ruleH * 0.2f);
    });
    Stamp(img, rule, 0, bottom + static_cast<int>(0.16f * kPpu), [](int, int) { return Rgbf{0.85f, 0.65f, 0.25f}; });
    return img;
}

// ----------------------------------------------------------------- icons

constexpr int kIcon = 128;

// The icon frame: a bevelled border around a picture painted by `scene`
// (y, z in -0.5..0.5, z up).
Image Icon(const std::function<Rgbf(float, float)>& scene) {
    Image img(kIcon, kIcon);
    for (int py = 0; py < kIcon; ++py)
        for (int px = 0; px < kIcon; ++px) {
            const float y = (px + 0.5f) / kIcon - 0.5f, z = 0.5f - (py + 0.5f) / kIcon;
            const float d = 0.5f - std::max(std::fabs(y), std::fabs(z));
            Rgbf c = scene(y, z);
            if (d < 0.015f) c = {0.03f, 0.04f, 0.07f};
            else if (d < 0.05f) c = (z > -y) ? Rgbf{0.75f, 0.82f, 0.95f} : Rgbf{0.25f, 0.32f, 0.5f};
            img.Set(px, py, Argb(c));
        }
    return img;
}

Rgbf TrainingScene(float y, float z) {
    Rgbf c = Mix({0.30f, 0.45f, 0.75f}, {0.62f, 0.78f, 0.95f}, 0.5f - z);   // sky
    // A tile seen from above at an angle: a rhombus.
    const float ty = y / 0.42f, tz = (z + 0.22f) / 0.16f;
    if (std::fabs(ty) + std::fabs(tz) <= 1.0f) {
        const bool check = (std::floor((ty + tz) * 2) + std::floor((ty - tz) * 2));
        c = static_cast<int>(check) % 2 ? Rgbf{0.75f, 0.55f, 0.35f} : Rgbf{0.85f, 0.68f, 0.45f};
    } else if (std::fabs(ty) + std::fabs(tz - 0.6f) <= 1.0f && tz < 0) {
        c = {0.45f, 0.30f, 0.18f};   // the tile's front edges
    }
    // Its shadow and the ball.
    const float sy = y / 0.16f, sz = (z + 0.21f) / 0.05f;
    if (sy * sy + sz * sz < 1) c = Mix(c, {0.1f, 0.08f, 0.05f}, 0.6f);
    const float by = y, bz = z - 0.02f, r = 0.17f;
    const float d2 = by * by + bz * bz;
    if (d2 < r * r) {
        const float nz = std::sqrt(1 - d2 / (r * r));
        const float light = std::clamp((-by * 0.5f + bz * 0.6f) / r * 0.7f + nz * 0.6f, 0.0f, 1.0f);
        c = Mix({0.35f, 0.03f, 0.03f}, {1.0f, 0.35f, 0.25f}, light);
        if (std::hypot(by + 0.06f, bz - 0.07f) < 0.04f) c = {1, 0.9f, 0.85f};
    }
    return c;
}

Rgbf JourneyScene(float y, float z) {
    Rgbf c = Mix({0.25f, 0.40f, 0.70f}, {0.85f, 0.75f, 0.60f}, 0.35f - z);   // evening sky
    // The mountain and its snow cap.
    const float peak = 0.2f - std::fabs(y - 0.05f) * 1.3f;
    if (z < peak) {
        c = Mix({0.22f, 0.35f, 0.22f}, {0.45f, 0.45f, 0.42f}, (z + 0.5f) / 0.8f);
        if (z > peak - 0.12f && z > 0.05f) c = {0.93f, 0.95f, 1.0f};
        // A path winding up to the top.
        const float pathY = 0.05f + 0.18f * std::sin((z + 0.5f) * 11.0f) * (0.2f - z) / 0.7f;
        const float width = 0.012f + 0.045f * (0.2f - z);
        if (std::fabs(y - pathY) < width) c = {0.80f, 0.68f, 0.45f};
    }
    // The flag on the summit.
    const float fy = 0.05f, fz = 0.2f;
    if (std::fabs(y - fy) < 0.012f && z > fz && z < fz + 0.17f) c = {0.15f, 0.12f, 0.1f};
    if (y > fy && y < fy + 0.15f && z < fz + 0.17f && z > fz + 0.08f + (y - fy) * 0.15f) c = {0.9f, 0.12f, 0.1f};
    return c;
}

} // namespace

void GenLoader(Output& out) {
    TrueTypeFont font(kFontPath);
    out.WritePng("textures", "loader.png", LoaderImage(font));
    {
        TcmWriter w(2, "UL");
        PlaneQuad(w, -kHalfW, -kHalfH, kHalfW, kHalfH, {0, 0, 1, 1}, "T", "loader", 0);
        out.WriteText("models", "loader.tcm", w.Text());
    }
    {
        Image atlas(2 * kIcon, kIcon);
        Paste(atlas, Icon(TrainingScene), 0, 0);
        Paste(atlas, Icon(JourneyScene), kIcon, 0);
        out.WritePng("textures", "icons.png", atlas);
        TcmWriter w(3, "UL");
        PlaneQuad(w, -0.5f, -0.5f, 0.5f, 0.5f, CellUv(atlas, 0, 0, kIcon, kIcon), "T", "icons", 0);
        PlaneQuad(w, -0.5f, -0.5f, 0.5f, 0.5f, CellUv(atlas, kIcon, 0, kIcon, kIcon), "T", "icons", 1);
        out.WriteText("models", "icons.tcm", w.Text());
    }
}

} // namespace rdv::contentgen
