#pragma once
// Helpers for the flat models drawn in front of the menu camera (menu,
// font, pointer, arrows, loader, icons).
//
// These models lie in the plane x = 0 and face the camera at -x; model +y is
// screen right and +z screen up. They are full bright: header flags "UL"
// (emissive material, no light map) with white vertices, so every colour
// comes from the texture and the level's lights never change it.
//
// The device blends with source factor SRCCOLOR and destination factor
// INVSRCCOLOR, so a blended texel's brightness is its opacity and dark texels
// vanish. A shape that must show a dark outline over any background is
// therefore drawn in two passes over the same quad:
//   1. "TAR" (reverse subtract) with its silhouette mask m (white where the
//      shape or its outline is): dst' = dst (1 - m) - m^2, black under m;
//   2. "TA" with its colour image s: dst'' = s^2 + dst' (1 - s).
// Where the silhouette covers, dst' is 0 and the result is s^2, so the
// colour image stores sqrt(coverage x colour).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ContentGen.h"

namespace rdv::contentgen {

// A coverage field 0..1, row 0 at the top.
struct Coverage {
    int width = 0, height = 0;
    std::vector<float> v;
    Coverage(int w = 0, int h = 0) : width(w), height(h), v(static_cast<size_t>(w) * h, 0.0f) {}
    float At(int x, int y) const {
        return x < 0 || y < 0 || x >= width || y >= height ? 0.0f : v[static_cast<size_t>(y) * width + x];
    }
    float& Ref(int x, int y) { return v[static_cast<size_t>(y) * width + x]; }
};

// Coverage grown by `radius` pixels (an anti-aliased disc).
Coverage Dilate(const Coverage& c, float radius);

// Coverage of the region where sd(px, py) <= 0, with px, py in pixels
// (0, 0 is the top-left corner of the image), 4 x 4 samples a pixel.
Coverage Rasterize(int w, int h, const std::function<float(float, float)>& sd);

// Signed distance to a polygon (negative inside); points in any winding.
struct Pt {
    float x, y;
};
float PolygonDistance(const std::vector<Pt>& poly, float x, float y);

// A colour 0..1 per channel.
struct Rgbf {
    float r, g, b;
};
uint32_t Argb(Rgbf c, float a = 1.0f);

// The two images of an outlined shape: the silhouette mask (pass 1) and the
// colour image (pass 2) for fill coverage `fill` coloured by colour(x, y)
// over a black outline covering `silhouette`.
Image MaskImage(const Coverage& silhouette);
Image ColourImage(const Coverage& fill, const Coverage& silhouette,
                  const std::function<Rgbf(int, int)>& colour);

// Pastes `tile` into `atlas` with its top-left corner at (x, y).
void Paste(Image& atlas, const Image& tile, int x, int y);

// A rectangle of a texture in texture coordinates.
struct UvRect {
    float u0, v0, u1, v1;
};
UvRect CellUv(const Image& atlas, int x, int y, int w, int h);

// A quad in the plane x from (y0, z0) to (y1, z1) facing -x, with the
// texture rectangle uv on it (u0, v0 at the top left).
void PlaneQuad(TcmWriter& w, float y0, float z0, float y1, float z1, UvRect uv, const std::string& kind,
               const std::string& texture, int group, float x = 0);

// The same quad facing +x (seen from behind), for models the menu may turn
// around; the picture reads mirrored from that side.
void PlaneQuadBack(TcmWriter& w, float y0, float z0, float y1, float z1, UvRect uv, const std::string& kind,
                   const std::string& texture, int group, float x = 0);

// A convex polygon in the plane x = 0 facing -x, as a triangle fan; pts are
// (y, z) in clockwise order as the camera sees them. The texture maps
// linearly: (y, z) -> (u0 + (y - y0) / (y1 - y0) (u1 - u0), v0 + (z1 - z) ...).
void PlaneFan(TcmWriter& w, const std::vector<Pt>& pts, float y0, float z0, float y1, float z1, UvRect uv,
              const std::string& kind, const std::string& texture, int group);

} // namespace rdv::contentgen
