#include "GenShapes.h"

#include <algorithm>
#include <cmath>

namespace rdv::contentgen {

Coverage Dilate(const Coverage& c, float radius) {
    Coverage out(c.width, c.height);
    const int r = static_cast<int>(std::ceil(radius + 0.5f));
    struct Tap {
        int dx, dy;
        float weight;
    };
    std::vector<Tap> taps;
    for (int dy = -r; dy <= r; ++dy)
        for (int dx = -r; dx <= r; ++dx) {
            const float w = std::clamp(radius + 0.5f - std::sqrt(float(dx * dx + dy * dy)), 0.0f, 1.0f);
            if (w > 0) taps.push_back({dx, dy, w});
        }
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x) {
            float m = 0;
            for (const Tap& t : taps) m = std::max(m, c.At(x + t.dx, y + t.dy) * t.weight);
            out.Ref(x, y) = m;
        }
    return out;
}

Coverage Rasterize(int w, int h, const std::function<float(float, float)>& sd) {
    Coverage out(w, h);
    constexpr int kSub = 4;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int in = 0;
            for (int sy = 0; sy < kSub; ++sy)
                for (int sx = 0; sx < kSub; ++sx)
                    if (sd(x + (sx + 0.5f) / kSub, y + (sy + 0.5f) / kSub) <= 0) ++in;
            out.Ref(x, y) = float(in) / (kSub * kSub);
        }
    return out;
}

float PolygonDistance(const std::vector<Pt>& poly, float x, float y) {
    float best = 1e30f;
    bool inside = false;
    for (size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
        const Pt a = poly[j], b = poly[i];
        if ((b.y > y) != (a.y > y) && x < (a.x - b.x) * (y - b.y) / (a.y - b.y) + b.x) inside = !inside;
        const float ex = b.x - a.x, ey = b.y - a.y;
        const float len2 = ex * ex + ey * ey;
        const float t = len2 > 0 ? std::clamp(((x - a.x) * ex + (y - a.y) * ey) / len2, 0.0f, 1.0f) : 0.0f;
        const float dx = x - (a.x + t * ex), dy = y - (a.y + t * ey);
        best = std::min(best, std::sqrt(dx * dx + dy * dy));
    }
    return inside ? -best : best;
}

uint32_t Argb(Rgbf c, float a) {
    auto b = [](float v) { return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255)); };
    return (b(a) << 24) | (b(c.r) << 16) | (b(c.g) << 8) | b(c.b);
}

Image MaskImage(const Coverage& silhouette) {
    Image img(silhouette.width, silhouette.height, 0);
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            const float m = silhouette.At(x, y);
            img.Set(x, y, Argb({m, m, m}, m));
        }
    return img;
}

Image ColourImage(const Coverage& fill, const Coverage& silhouette, const std::function<Rgbf(int, int)>& colour) {
    Image img(fill.width, fill.height, 0);
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            const float f = fill.At(x, y);
            if (f <= 0 && silhouette.At(x, y) <= 0) continue;
            const Rgbf c = colour(x, y);
            img.Set(x, y, Argb({std::sqrt(f * c.r), std::sqrt(f * c.g), std::sqrt(f * c.b)},
                               std::max(f, silhouette.At(x, y))));
        }
    return img;
}

void Paste(Image& atlas, const Image& tile, int x0, int y0) {
    for (int y = 0; y < tile.height; ++y)
        for (int x = 0; x < tile.width; ++x) {
            const uint8_t* p = &tile.rgba[(static_cast<size_t>(y) * tile.width + x) * 4];
            atlas.Set(x0 + x, y0 + y,
                      (uint32_t(p[3]) << 24) | (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | uint32_t(p[2]));
        }
}

UvRect CellUv(const Image& atlas, int x, int y, int w, int h) {
    const float W = float(atlas.width), H = float(atlas.height);
    return {x / W, y / H, (x + w) / W, (y + h) / H};
}

namespace {
constexpr uint32_t kWhite = 0xFFFFFF;
}

void PlaneQuad(TcmWriter& w, float y0, float z0, float y1, float z1, UvRect uv, const std::string& kind,
               const std::string& texture, int group, float x) {
    // Clockwise as the camera at -x sees it: top left, top right, bottom
    // right, bottom left.
    w.Quad({x, y0, z1, kWhite, uv.u0, uv.v0}, {x, y1, z1, kWhite, uv.u1, uv.v0}, {x, y1, z0, kWhite, uv.u1, uv.v1},
           {x, y0, z0, kWhite, uv.u0, uv.v1}, kind, texture, group);
}

void PlaneQuadBack(TcmWriter& w, float y0, float z0, float y1, float z1, UvRect uv, const std::string& kind,
                   const std::string& texture, int group, float x) {
    w.Quad({x, y1, z1, kWhite, uv.u1, uv.v0}, {x, y0, z1, kWhite, uv.u0, uv.v0}, {x, y0, z0, kWhite, uv.u0, uv.v1},
           {x, y1, z0, kWhite, uv.u1, uv.v1}, kind, texture, group);
}

void PlaneFan(TcmWriter& w, const std::vector<Pt>& pts, float y0, float z0, float y1, float z1, UvRect uv,
              const std::string& kind, const std::string& texture, int group) {
    const int start = w.VertexCount();
    for (const Pt& p : pts) {
        const float u = uv.u0 + (p.x - y0) / (y1 - y0) * (uv.u1 - uv.u0);
        const float v = uv.v0 + (z1 - p.y) / (z1 - z0) * (uv.v1 - uv.v0);
        w.Add({0, p.x, p.y, kWhite, u, v});
    }
    w.Sequence(start, static_cast<int>(pts.size()) - 2, kind, texture, group);
}

} // namespace rdv::contentgen
