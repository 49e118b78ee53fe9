#pragma once
// What a model file becomes before it meets the device: vertices, primitive
// runs, parts, material and the references into the resource tables. The
// readers for "tcm", "tco" and "t3d" text fill it from lines, so they can be
// tested on plain text without a device.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/d3d/D3D8.h"

namespace rdv {

// The device vertex format XYZ | NORMAL | DIFFUSE | TEX1.
constexpr uint32_t kMeshFVF = 338;

// One vertex as the device reads it (36 bytes).
struct MeshVertex {
    float x = 0, y = 0, z = 0;
    float nx = 0, ny = 0, nz = 0;
    uint32_t color = 0;  // ARGB
    float u = 0, v = 0;
};
static_assert(sizeof(MeshVertex) == 36, "vertex record must match format 338");

// Primitive types as the device numbers them.
enum MeshPrimitive : int32_t {
    kPointList = 1,
    kLineList = 2,
    kLineStrip = 3,
    kTriangleList = 4,
    kTriangleStrip = 5,
    kTriangleFan = 6,
};

// One run of primitives drawn with one DrawPrimitive.
struct MeshSequence {
    int32_t start = 0;
    int32_t count = 0;               // primitives
    int32_t primitiveType = kTriangleList;
    bool alpha = false;              // A: alpha blending while drawing
    bool reverse = false;            // R: reverse-subtract blending
    int32_t texture = 0;             // texture table index (modes 2, 3, t3d, x)
    int32_t group = 0;               // cache group (mode 3)
    bool flagC = false;              // smooth across all C sequences
    bool flagP = false;              // smooth within this sequence
    int32_t shader = -1;             // t3d polygons: shader index, -1 none
    bool twoSided = false;           // t3d polygons drawn without culling
    int32_t material = -1;           // x subsets: index into ModelData::xMaterials
};

// One part of a composite: a model of the table, the state that shows it
// and how the phase animates it.
struct ModelPart {
    int32_t model = 0;
    int32_t stateKey = 0;
    int32_t kind = 0;
};

using MeshMaterial = D3DMATERIAL8;

// Render modes stored in a model.
enum ModelRenderMode : int {
    kModeNone = 0,      // the load failed; nothing is drawn
    kModeSimple = 1,    // one texture, scale x rotation x translation
    kModeTextured = 2,  // a texture per sequence
    kModeGrouped = 3,   // sequences selected by the state
    kModeX = 240,
    kModeComposite = 241,
    kModeBrush = 242,
};

struct ModelData {
    int renderMode = kModeNone;
    std::vector<MeshVertex> vertices;
    std::vector<MeshSequence> sequences;
    std::vector<ModelPart> parts;          // composites only
    int32_t textureIndex = 0;              // model-wide texture; -1 none wanted (flag T)
    int32_t emissiveSource = 0;            // 0 material, 1 vertex colour
    int32_t ambientDiffuseSource = 1;
    MeshMaterial material;
    std::vector<MeshMaterial> xMaterials;  // ".x" subsets
    int32_t shaderIndex = 0;               // 0 none
    bool lightMapped = true;

    // Render mode 3: per group (0..highest) the first and last sequence that
    // carries it, -1 when the group has none.
    std::vector<std::pair<int32_t, int32_t>> indexCache;
    bool indexCacheContiguous = false;
    bool indexCacheValid = false;
    int32_t lowestGroup = 0;
    int32_t highestGroup = 0;
};

// Where the readers get their lines: one call a line; nullopt once the file
// has ended. Past the end the package reader yields empty lines forever, so
// the readers treat nullopt as an empty line except where a whole missing
// record would otherwise be read from nothing.
using LineSource = std::function<std::optional<std::string>()>;

// What a model file asks of the rest of the graphics module.
class ModelHost {
public:
    virtual ~ModelHost() = default;
    virtual int32_t LoadTexture(const std::string& name) = 0;
    virtual int32_t GetShader(const std::string& name) = 0;
    virtual int32_t GetModel(const std::string& name) = 0;
    // Width and height in texels of a loaded texture (t3d texture mapping).
    virtual std::pair<int, int> TextureSize(int32_t index) = 0;
    // Misc capability BLENDOP of the device.
    virtual bool HasBlendOp() = 0;
    virtual void Log(const std::string& message, int colour) = 0;
};

// Colour texts: "255 128 064 RGB", "064 128 255 BGR" or a plain number.
uint32_t ParseColor(const std::string& text);

// The readers. Errors are raised as engine errors with the sources of the
// model loader (before LoadModel rewrites them).
void ReadTcm(ModelData& model, const LineSource& lines, const std::string& name, ModelHost& host);
void ReadTco(ModelData& model, const LineSource& lines, const std::string& name, ModelHost& host);
void ReadT3d(ModelData& model, const LineSource& lines, const std::string& name, ModelHost& host);

// The steps the tcm reader runs after reading; public for tests and the
// other readers.
void VerifyDriver(ModelData& model, bool hasBlendOp);
void CalcNormals(ModelData& model);
void CreateIndexCache(ModelData& model, int32_t lowest, int32_t highest);

// Vertices a sequence of this type and primitive count uses (64-bit: a
// file's count may be near the 32-bit limit).
int64_t SequenceVertexCount(int32_t primitiveType, int32_t count);

// Makes a line source of a list of lines (tests, generated content).
LineSource LinesFrom(std::vector<std::string> lines);

} // namespace rdv
