// The menu's models: "menu" (buttons, the page panel, small boxes, the info
// label), "rarrow" (arrow buttons and the slider knob) and "gmouse" (the
// pointer). Frames are the groups of render-mode-3 models; all are flat,
// full bright and face the menu camera (see GenShapes.h).
//
// menu:   0 button hovered, 1 button, both bevelled bars 4 x 1 centred on
//         the origin; 2 the page panel, 1 x 1, darkening what lies behind;
//         3 small box off, 4 small box on (checked), 5 info label, 1 x 1.
// rarrow: 0 an arrow pointing right (+y), 1 the same highlighted, 2..11
//         copies of 0, 12 the slider knob, 13 the knob hovered; 1 x 1. Both
//         sides are drawn, so the arrow may be turned around to point left.
// gmouse: a pointer with its tip at the origin, pointing up-left, 1 tall.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "GenFont.h"
#include "GenShapes.h"

namespace rdv::contentgen {

namespace {

Rgbf Mix(Rgbf a, Rgbf b, float t) {
    t = std::clamp(t, 0.0f, 1.0f);
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
Rgbf Scale(Rgbf a, float k) { return {a.r * k, a.g * k, a.b * k}; }
Rgbf Add(Rgbf a, float k) { return {a.r + k, a.g + k, a.b + k}; }

// Colours of the whole menu: cool blue at rest, gold where the pointer is.
struct Palette {
    Rgbf top, bottom;
};
constexpr Palette kRest{{0.30f, 0.43f, 0.70f}, {0.12f, 0.18f, 0.36f}};
constexpr Palette kHot{{1.00f, 0.80f, 0.32f}, {0.82f, 0.46f, 0.08f}};
constexpr Rgbf kRim{0.03f, 0.04f, 0.07f};
constexpr Rgbf kBoxInside{0.07f, 0.09f, 0.16f};

// A bevelled plate: a rectangle of half sizes (hw, hh) with corners cut by
// `chamfer`, painted at `ppu` texels per unit. Light falls from the top left.
Image Plate(float hw, float hh, float chamfer, int ppu, const Palette& p, float bevel = 0.07f) {
    const int W = static_cast<int>(std::lround(2 * hw * ppu)), H = static_cast<int>(std::lround(2 * hh * ppu));
    Image img(W, H, 0xFF000000u);
    const float lx = -0.35f, lz = 0.94f;
    for (int py = 0; py < H; ++py)
        for (int px = 0; px < W; ++px) {
            const float y = (px + 0.5f) / ppu - hw, z = hh - (py + 0.5f) / ppu;
            const float ay = std::fabs(y), az = std::fabs(z);
            // Distance inwards from each edge and that edge's outward normal.
            struct Edge {
                float d, ny, nz;
            } edges[3] = {{hw - ay, y < 0 ? -1.0f : 1.0f, 0},
                          {hh - az, 0, z < 0 ? -1.0f : 1.0f},
                          {(hw + hh - chamfer - ay - az) / 1.41421f, (y < 0 ? -1.0f : 1.0f) * 0.7071f,
                           (z < 0 ? -1.0f : 1.0f) * 0.7071f}};
            const Edge* e = &edges[0];
            for (const Edge& c : edges)
                if (c.d < e->d) e = &c;
            Rgbf c = Mix(p.bottom, p.top, (z + hh) / (2 * hh));
            if (z > 0.25f * hh) c = Add(c, 0.05f);   // a faint gloss on the upper part
            if (e->d < 0.02f) c = kRim;
            else if (e->d < bevel) c = Add(Scale(c, 1.05f), 0.32f * (e->ny * lx + e->nz * lz));
            img.Set(px, py, Argb(c));
        }
    return img;
}

// The outline of the same plate, clockwise as the camera sees it.
std::vector<Pt> PlateOutline(float hw, float hh, float c) {
    return {{-hw + c, hh}, {hw - c, hh}, {hw, hh - c}, {hw, -hh + c},
            {hw - c, -hh}, {-hw + c, -hh}, {-hw, -hh + c}, {-hw, hh - c}};
}

// An outlined shape on a 1 x 1 (or w x h unit) cell: silhouette mask and
// colour image, from a signed distance in units (y right, z up, centred).
struct Sprite {
    Image mask, colour;
};
Sprite MakeSprite(float wUnits, float hUnits, int ppu, float outline,
                  const std::function<float(float, float)>& sdUnits, const std::function<Rgbf(float, float)>& colour,
                  float centreY = 0, float centreZ = 0) {
    const int W = static_cast<int>(std::lround(wUnits * ppu)), H = static_cast<int>(std::lround(hUnits * ppu));
    auto toY = [&](float px) { return px / ppu - wUnits / 2 + centreY; };
    auto toZ = [&](float py) { return hUnits / 2 - py / ppu + centreZ; };
    const Coverage fill = Rasterize(W, H, [&](float px, float py) { return sdUnits(toY(px), toZ(py)); });
    const Coverage sil = Rasterize(W, H, [&](float px, float py) { return sdUnits(toY(px), toZ(py)) - outline; });
    return {MaskImage(sil), ColourImage(fill, sil, [&](int px, int py) {
                return colour(toY(px + 0.5f), toZ(py + 0.5f));
            })};
}

std::function<float(float, float)> PolygonSd(std::vector<Pt> poly) {
    return [poly = std::move(poly)](float y, float z) { return PolygonDistance(poly, y, z); };
}

// Draws a sprite's two passes on a quad; `back` adds the same seen from +x.
void SpriteQuads(TcmWriter& w, float y0, float z0, float y1, float z1, UvRect mask, UvRect colour,
                 const std::string& texture, int group, bool back) {
    PlaneQuad(w, y0, z0, y1, z1, mask, "TAR", texture, group);
    PlaneQuad(w, y0, z0, y1, z1, colour, "TA", texture, group);
    if (!back) return;
    PlaneQuadBack(w, y0, z0, y1, z1, mask, "TAR", texture, group);
    PlaneQuadBack(w, y0, z0, y1, z1, colour, "TA", texture, group);
}

// ------------------------------------------------------------------ menu

void GenMenuModel(Output& out, const TrueTypeFont& font) {
    constexpr int kCell = 128;
    Image atlas(896, 256, 0);
    // Buttons: 4 x 1 bars at 128 texels a unit.
    const float chamfer = 0.16f;
    Paste(atlas, Plate(2, 0.5f, chamfer, 128, kHot), 0, 0);
    Paste(atlas, Plate(2, 0.5f, chamfer, 128, kRest), 0, 128);
    // Panel: a grey darkening mask, then a blue tint with a light border.
    Image shade(kCell, kCell, Argb({0.38f, 0.38f, 0.38f}, 0.6f));
    Image border(kCell, kCell, 0);
    for (int y = 0; y < kCell; ++y)
        for (int x = 0; x < kCell; ++x) {
            const int d = std::min(std::min(x, y), std::min(kCell - 1 - x, kCell - 1 - y));
            // Stored as square roots: the blend shows their squares.
            Rgbf c{0.12f, 0.16f, 0.26f};
            if (d >= 3 && d < 5) c = {0.70f, 0.82f, 1.0f};
            border.Set(x, y, Argb(c, 0.6f));
        }
    Paste(atlas, shade, 512, 0);
    Paste(atlas, border, 640, 0);
    // Small boxes: a dark square plate, the "on" one with a gold tick.
    Image off = Plate(0.5f, 0.5f, 0.1f, kCell, {Add(kBoxInside, 0.12f), kBoxInside}, 0.1f);
    Image on = off;
    const std::vector<Pt> tick{{-0.30f, 0.02f}, {-0.12f, -0.30f}, {0.32f, 0.30f}};
    const Coverage tickCov = Rasterize(kCell, kCell, [&](float px, float py) {
        const float y = px / kCell - 0.5f, z = 0.5f - py / kCell;
        // A thick polyline: distance to its two segments.
        auto seg = [&](Pt a, Pt b) {
            const float ex = b.x - a.x, ey = b.y - a.y;
            const float t = std::clamp(((y - a.x) * ex + (z - a.y) * ey) / (ex * ex + ey * ey), 0.0f, 1.0f);
            return std::hypot(y - a.x - t * ex, z - a.y - t * ey);
        };
        return std::min(seg(tick[0], tick[1]), seg(tick[1], tick[2])) - 0.085f;
    });
    for (int y = 0; y < kCell; ++y)
        for (int x = 0; x < kCell; ++x) {
            const float t = tickCov.At(x, y);
            if (t <= 0) continue;
            const uint8_t* p = &on.rgba[(static_cast<size_t>(y) * kCell + x) * 4];
            const Rgbf under{p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f};
            on.Set(x, y, Argb(Mix(under, Mix(kHot.bottom, kHot.top, 1.0f - float(y) / kCell), t)));
        }
    Paste(atlas, off, 512, 128);
    Paste(atlas, on, 640, 128);
    // Info label: an "i" in a blue disc with a dark outline.
    TrueTypeFont::Glyph glyph = font.Render('i', 80);
    const Sprite info = MakeSprite(
        1, 1, kCell, 0.05f, [](float y, float z) { return std::hypot(y, z) - 0.36f; },
        [&](float y, float z) {
            // The glyph centred in the disc, white over the blue.
            const int gx = static_cast<int>(std::floor((y + 0.5f) * kCell)) - (kCell - glyph.cov.width) / 2;
            const int gy = static_cast<int>(std::floor((0.5f - z) * kCell)) - (kCell - glyph.cov.height) / 2;
            const float g = glyph.cov.At(gx, gy);
            return Mix(Mix(kRest.bottom, Add(kRest.top, 0.1f), z + 0.5f), {1, 1, 1}, g);
        });
    Paste(atlas, info.mask, 768, 0);
    Paste(atlas, info.colour, 768, 128);
    out.WritePng("textures", "menu.png", atlas);

    TcmWriter w(3, "UL");
    const auto bar = PlateOutline(2, 0.5f, chamfer);
    PlaneFan(w, bar, -2, -0.5f, 2, 0.5f, CellUv(atlas, 0, 0, 512, 128), "F", "menu", 0);
    PlaneFan(w, bar, -2, -0.5f, 2, 0.5f, CellUv(atlas, 0, 128, 512, 128), "F", "menu", 1);
    PlaneQuad(w, -0.5f, -0.5f, 0.5f, 0.5f, CellUv(atlas, 512, 0, kCell, kCell), "TAR", "menu", 2);
    PlaneQuad(w, -0.5f, -0.5f, 0.5f, 0.5f, CellUv(atlas, 640, 0, kCell, kCell), "TA", "menu", 2);
    const auto box = PlateOutline(0.5f, 0.5f, 0.1f);
    PlaneFan(w, box, -0.5f, -0.5f, 0.5f, 0.5f, CellUv(atlas, 512, 128, kCell, kCell), "F", "menu", 3);
    PlaneFan(w, box, -0.5f, -0.5f, 0.5f, 0.5f, CellUv(atlas, 640, 128, kCell, kCell), "F", "menu", 4);
    SpriteQuads(w, -0.5f, -0.5f, 0.5f, 0.5f, CellUv(atlas, 768, 0, kCell, kCell),
                CellUv(atlas, 768, 128, kCell, kCell), "menu", 5, false);
    out.WriteText("models", "menu.tcm", w.Text());
}

// ---------------------------------------------------------------- rarrow

void GenArrowModel(Output& out) {
    constexpr int kCell = 128;
    Image atlas(6 * kCell, kCell, 0);
    const std::vector<Pt> arrow{{-0.38f, 0.12f}, {0.0f, 0.12f},   {0.0f, 0.34f}, {0.40f, 0.0f},
                                {0.0f, -0.34f},  {0.0f, -0.12f}, {-0.38f, -0.12f}};
    auto shade = [](const Palette& p) {
        return [p](float, float z) { return Mix(p.bottom, p.top, z / 0.68f + 0.5f); };
    };
    const Palette arrowRest{{0.90f, 0.95f, 1.0f}, {0.45f, 0.62f, 0.90f}};
    const Sprite a0 = MakeSprite(1, 1, kCell, 0.05f, PolygonSd(arrow), shade(arrowRest));
    const Sprite a1 = MakeSprite(1, 1, kCell, 0.05f, PolygonSd(arrow), shade(kHot));
    // The knob: a disc with three grip lines, lit from the top left.
    auto knobSd = [](float y, float z) { return std::hypot(y, z) - 0.36f; };
    auto knob = [](const Palette& p) {
        return [p](float y, float z) {
            Rgbf c = Mix(p.bottom, p.top, (z - y * 0.5f) / 0.72f + 0.5f);
            const float r = std::hypot(y + 0.12f, z - 0.14f);
            c = Add(c, 0.25f * std::max(0.0f, 1.0f - r / 0.16f));   // highlight
            for (float line : {-0.1f, 0.0f, 0.1f})
                if (std::fabs(z - line) < 0.022f && std::fabs(y) < 0.18f) c = Scale(c, 0.45f);
            return c;
        };
    };
    const Sprite k0 = MakeSprite(1, 1, kCell, 0.05f, knobSd, knob(kRest));
    const Sprite k1 = MakeSprite(1, 1, kCell, 0.05f, knobSd, knob(kHot));
    Paste(atlas, a0.mask, 0, 0);
    Paste(atlas, a0.colour, kCell, 0);
    Paste(atlas, a1.colour, 2 * kCell, 0);
    Paste(atlas, k0.mask, 3 * kCell, 0);
    Paste(atlas, k0.colour, 4 * kCell, 0);
    Paste(atlas, k1.colour, 5 * kCell, 0);
    out.WritePng("textures", "rarrow.png", atlas);

    auto cell = [&](int i) { return CellUv(atlas, i * kCell, 0, kCell, kCell); };
    TcmWriter w(3, "UL");
    for (int frame = 0; frame <= 11; ++frame)
        SpriteQuads(w, -0.5f, -0.5f, 0.5f, 0.5f, cell(0), cell(frame == 1 ? 2 : 1), "rarrow", frame, true);
    SpriteQuads(w, -0.5f, -0.5f, 0.5f, 0.5f, cell(3), cell(4), "rarrow", 12, true);
    SpriteQuads(w, -0.5f, -0.5f, 0.5f, 0.5f, cell(3), cell(5), "rarrow", 13, true);
    out.WriteText("models", "rarrow.tcm", w.Text());
}

// ---------------------------------------------------------------- gmouse

void GenPointerModel(Output& out) {
    // The classic arrow: tip at the origin, 1 unit down to the tail.
    const std::vector<Pt> pointer{{0, 0},          {0, -0.80f},     {0.19f, -0.63f}, {0.33f, -0.96f},
                                  {0.46f, -0.90f}, {0.32f, -0.59f}, {0.57f, -0.59f}};
    const float y0 = -0.1f, y1 = 0.7f, z0 = -1.08f, z1 = 0.1f;
    const int ppu = 128;
    const Sprite s = MakeSprite(
        y1 - y0, z1 - z0, ppu, 0.045f, PolygonSd(pointer),
        [](float, float z) { return Mix({0.78f, 0.80f, 0.86f}, {1, 1, 1}, z + 1.0f); }, (y0 + y1) / 2,
        (z0 + z1) / 2);
    Image atlas(2 * s.mask.width, s.mask.height, 0);
    Paste(atlas, s.mask, 0, 0);
    Paste(atlas, s.colour, s.mask.width, 0);
    out.WritePng("textures", "gmouse.png", atlas);
    TcmWriter w(2, "UL");
    SpriteQuads(w, y0, z0, y1, z1, CellUv(atlas, 0, 0, s.mask.width, s.mask.height),
                CellUv(atlas, s.mask.width, 0, s.mask.width, s.mask.height), "gmouse", 0, false);
    out.WriteText("models", "gmouse.tcm", w.Text());
}

} // namespace

void GenMenu(Output& out) {
    TrueTypeFont font(kFontPath);
    GenMenuModel(out, font);
    GenArrowModel(out);
    GenPointerModel(out);
}

} // namespace rdv::contentgen
