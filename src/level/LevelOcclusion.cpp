// Finding the grid's solid layers for RenderGrid.
#include <algorithm>
#include <array>
#include <cmath>

#include "core/Engine.h"
#include "graphics/Core.h"
#include "graphics/Model.h"
#include "level/Level.h"

namespace rdv {

namespace {

// The faces' axes: a floor (kFaceZ) lies across z, a kFaceX wall across x.
constexpr int kAxisOf[3] = {2, 0, 1};

struct SolidFace {
    bool solid = false;
    float lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};   // from 1.5 x the cell
    float drawLo = 0, drawHi = 0;                 // along the face's axis
    bool operator==(const SolidFace&) const = default;
};

// The solid box of a tile face from its cell, when the tile draws one
// opaque model whose pose only turns it by quarter turns and scales it
// without mirroring.
SolidFace SolidOf(LevelObject* object, int16_t orientation) {
    SolidFace face;
    FaceBound bound;
    FaceBatch batch;
    if (!object || !object->RenderBound(orientation, bound) || bound.hx < 0 ||
        !object->RenderBatch(orientation, batch) || !batch.model)
        return face;
    const D3DXMATRIX pose = ModelPoseMatrix(batch.model->renderMode, batch.yaw, batch.pitch, batch.roll, batch.sx,
                                            batch.sy, batch.sz);
    const int w = kAxisOf[orientation];
    // Each world axis fed by one model axis, the rest rounding.
    int from[3];
    double largest[3] = {0, 0, 0}, scale = 0;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) scale = std::max(scale, std::fabs(double{pose.m[i][j]}));
    if (!(scale > 0) || !std::isfinite(scale)) return face;
    for (int j = 0; j < 3; ++j) {
        from[j] = -1;
        for (int i = 0; i < 3; ++i) {
            const double a = std::fabs(double{pose.m[i][j]});
            if (a > 1e-4 * scale) {
                if (from[j] >= 0) return face;
                from[j] = i;
                largest[j] = a;
            }
        }
        if (from[j] < 0) return face;
    }
    if (from[0] == from[1] || from[1] == from[2] || from[0] == from[2]) return face;
    if (!(TurnDeterminant(pose.m) > 0)) return face;
    float min[3], max[3];
    if (!batch.model->SolidBox(batch.state, from[w], min, max)) return face;
    const float offset[3] = {batch.dx, batch.dy, batch.dz};
    for (int j = 0; j < 3; ++j) {
        double centre = offset[j], half = 0;
        for (int i = 0; i < 3; ++i) {
            const double c = (double{min[i]} + max[i]) / 2, e = (double{max[i]} - min[i]) / 2;
            centre += c * pose.m[i][j];
            // Only what lies inside the turned box for certain.
            half += i == from[j] ? e * largest[j] : -e * std::fabs(double{pose.m[i][j]});
        }
        if (!(half > 0)) return face;
        face.lo[j] = static_cast<float>(centre - half);
        face.hi[j] = static_cast<float>(centre + half);
    }
    const float boxCentre[3] = {bound.bx, bound.by, bound.bz}, boxHalf[3] = {bound.hx, bound.hy, bound.hz};
    face.drawLo = boxCentre[w] - boxHalf[w];
    face.drawHi = boxCentre[w] + boxHalf[w];
    face.solid = true;
    return face;
}

} // namespace

struct engLevel::OccluderCache {
    std::array<std::array<SolidFace, 3>, kGridTileCodes> solids{};
    uint64_t facesVersion = 0;
    bool built = false;
};

bool engLevel::FindOccluders(IDirect3DDevice8& device, const float eye[3], const D3DMATRIX& view,
                             const D3DMATRIX& projection) {
    // Culling the triangles that face the eye would show a solid's inside.
    DWORD cull = D3DCULL_CCW;
    if (FAILED(device.GetRenderState(D3DRS_CULLMODE, &cull)) || cull == D3DCULL_CW) return false;
    constexpr int32_t kCodes = kGridTileCodes;
    std::array<std::array<SolidFace, 3>, kCodes> solids{};
    bool any = false;
    for (int32_t code = 1; code < kCodes; ++code) {
        LevelObject* object = ResolveObject(-code);
        for (int16_t o = 0; object && o < 3; ++o) {
            solids[static_cast<size_t>(code)][static_cast<size_t>(o)] = SolidOf(object, o);
            any = any || solids[static_cast<size_t>(code)][static_cast<size_t>(o)].solid;
        }
    }
    if (!any) return false;
    // The layers are found again only when the grid or a tile's solid has
    // changed since: painting, loading, a model read again.
    if (!occluders_) occluders_ = std::make_shared<OccluderCache>();
    OccluderCache& cache = *occluders_;
    if (cache.built && cache.facesVersion == facesVersion_ && cache.solids == solids)
        return gridOcclusion_.SetView(eye, view, projection);
    cache.solids = solids;
    cache.facesVersion = facesVersion_;
    cache.built = true;
    gridOcclusion_.Clear();

    const int32_t sizes[3] = {sizeX_, sizeY_, sizeZ_};
    for (int16_t o = 0; o < 3; ++o) {
        const int w = kAxisOf[o], u = (w + 1) % 3, v = (w + 2) % 3;
        const auto& faces = faces_[static_cast<size_t>(o)];
        for (int32_t layer = 0; layer <= sizes[w]; ++layer) {
            gridOcclusion_.BeginLayer(w);
            for (int32_t row = 0; row < sizes[v]; ++row) {
                for (int32_t column = 0; column < sizes[u]; ++column) {
                    int64_t c[3];
                    c[w] = layer;
                    c[u] = column;
                    c[v] = row;
                    const int64_t index = FaceIndex(o, c[0], c[1], c[2]);
                    if (index < 0 || index >= static_cast<int64_t>(faces.size())) continue;
                    const int32_t reference = faces[static_cast<size_t>(index)];
                    if (reference >= 0 || reference <= -kCodes) continue;
                    const SolidFace& s = solids[static_cast<size_t>(-reference)][static_cast<size_t>(o)];
                    if (!s.solid) continue;
                    float lo[3], hi[3];
                    for (int a = 0; a < 3; ++a) {
                        const float at = 1.5f * static_cast<float>(c[a]);
                        lo[a] = at + s.lo[a];
                        hi[a] = at + s.hi[a];
                    }
                    const float at = 1.5f * static_cast<float>(layer);
                    gridOcclusion_.AddCell(column, lo, hi, at + s.drawLo, at + s.drawHi);
                }
                gridOcclusion_.EndRow();
            }
            gridOcclusion_.EndLayer();
        }
    }
    return gridOcclusion_.SetView(eye, view, projection);
}

} // namespace rdv
