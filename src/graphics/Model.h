#pragma once
// A model of the model table (gfxMeshes): loaded from "models" by name,
// drawn by DisplayMesh. Four file kinds: "tcm" (render modes 1, 2, 3),
// "tco" composites (241), "t3d" brushes (242) and ".x" meshes (240).
#include <cstdint>
#include <memory>
#include <string>

#include "graphics/ModelData.h"

namespace rdv {

class Engine;
class IDirect3DVertexBuffer8;

class gfxModel {
public:
    gfxModel() = default;
    virtual ~gfxModel();
    gfxModel(const gfxModel&) = delete;
    gfxModel& operator=(const gfxModel&) = delete;

    // Loads the model file found for `name` (LoadModel). Errors leave with
    // the source "Engine->GetModel->LoadModel(name)->..."; the model then
    // keeps render mode 0 and draws nothing.
    virtual void Load(Engine& engine, const std::string& name);
    // Releases device resources (device loss); the table loads it again.
    virtual void Release();

    void LoadModel(Engine& engine, const std::string& modelName) { Load(engine, modelName); }

    // Draws the model. state picks the group of a render-mode-3 model and the
    // parts of a composite; phase drives composite animation; (x, y, z) is
    // also where the light map is applied. Angles in radians.
    void DisplayMesh(Engine& engine, int32_t state, float phase, float x, float y, float z, float yaw, float pitch,
                     float roll, float sx, float sy, float sz);

    // For drawing only what can be seen: the radius around the model's
    // origin (before scaling) that DisplayMesh(state) draws within, when
    // that draw sets all the device state it draws with and draws
    // something (a tcm model without a shader); -1 otherwise.
    float DrawBound(int32_t state) const;

    // The box around the model's origin (before its pose) that every vertex
    // lies in, where DrawBound gives a radius; false otherwise.
    bool DrawBox(int32_t state, float min[3], float max[3]) const;

    // Whether DisplayMeshInstances can draw `state`: a tcm model without a
    // shader that draws something and blends none of it, so that the order
    // of its draws at different places cannot change the picture.
    bool DrawsOpaque(int32_t state) const;
    // For a state DrawsOpaque accepts: a box around the model's origin
    // (before its pose) that lies inside the solid its triangles enclose, as
    // wide as the model along the axes other than `axis` (see SolidBoxOf).
    // False when the model is not such a solid.
    bool SolidBox(int32_t state, int axis, float min[3], float max[3]) const;
    // The model drawn with each of `count` world matrices (made with
    // ModelTranslated from this model's pose matrix): the picture of
    // DisplayMesh at each place, drawn a sequence at a time for all places.
    // The light map is applied at the first place; the device's world is
    // the last matrix afterwards. Only for a state DrawsOpaque accepts.
    void DisplayMeshInstances(Engine& engine, int32_t state, const D3DMATRIX* worlds, uint32_t count);

    int renderMode = 0;   // 0 draws nothing
    std::string name;

    const ModelData& data() const { return data_; }

private:
    void DrawComposite(Engine& engine, int32_t state, float phase, float x, float y, float z, float yaw,
                       float pitch, float roll, float sx, float sy, float sz);
    // worlds: draw each sequence once for each of `count` world matrices.
    void DrawTcm(Engine& engine, int32_t state, const D3DMATRIX* worlds = nullptr, uint32_t count = 0);
    void DrawBrush(Engine& engine);
    void DrawX(Engine& engine);
    void SetOptions(Engine& engine);
    void CreateVertexBuffer(Engine& engine);

    D3DXMATRIX PoseMatrix(float yaw, float pitch, float roll, float sx, float sy, float sz);

    ModelData data_;
    float radius_ = 0;   // the farthest vertex from the origin
    float boxMin_[3] = {0, 0, 0}, boxMax_[3] = {0, 0, 0};   // and the box of every vertex
    // SolidBox's answers so far, for the data as loaded.
    struct Solid {
        int32_t state;
        int axis;
        bool solid;
        float min[3], max[3];
    };
    mutable std::vector<Solid> solids_;
    // The rotation and scaling of recent draws: a grid draws a model in a
    // few poses at many places.
    struct PoseEntry {
        float key[6];
        D3DXMATRIX matrix;
    };
    PoseEntry poses_[4]{};
    int posesUsed_ = 0, nextPose_ = 0;
    std::shared_ptr<IDirect3DVertexBuffer8> vertexBuffer_;
    bool drawing_ = false;   // a composite that contains itself draws once
};

using gfxMeshes = gfxModel;

// The world matrix of a model draw: rotation x scaling x translation, or
// scaling x rotation x translation for render mode 1.
// Its rotation and scaling part, which the translation multiplies.
D3DXMATRIX ModelPoseMatrix(int renderMode, float yaw, float pitch, float roll, float sx, float sy, float sz);
// pose x translation, the same operations in the same order as
// D3DXMatrixMultiply (so the same bits, signed zeros included). Written out
// with the translation's ones and zeros as constants: a translation matrix
// built in memory and read back a row at a time stalls the processor.
inline D3DXMATRIX ModelTranslated(const D3DXMATRIX& pose, float x, float y, float z) {
    D3DXMATRIX world;
    for (int i = 0; i < 4; ++i) {
        const float a = pose.m[i][0], b = pose.m[i][1], c = pose.m[i][2], d = pose.m[i][3];
        world.m[i][0] = 0.0f + a * 1.0f + b * 0.0f + c * 0.0f + d * x;
        world.m[i][1] = 0.0f + a * 0.0f + b * 1.0f + c * 0.0f + d * y;
        world.m[i][2] = 0.0f + a * 0.0f + b * 0.0f + c * 1.0f + d * z;
        world.m[i][3] = 0.0f + a * 0.0f + b * 0.0f + c * 0.0f + d * 1.0f;
    }
    return world;
}
D3DXMATRIX ModelWorldMatrix(int renderMode, float x, float y, float z, float yaw, float pitch, float roll, float sx,
                            float sy, float sz);

// The ten composite angles A1..A10 of a phase (index 0 unused).
struct CompositeAngles {
    float a[11];
};
CompositeAngles CompositeAnglesFor(float phase);

// How a composite part of the given animation kind moves: the pose passed
// to the part's DisplayMesh.
struct PartPose {
    float x, y, z, yaw, pitch, roll, sx, sy, sz;
};
PartPose AnimatePart(int32_t kind, float phase, const PartPose& base);

} // namespace rdv
