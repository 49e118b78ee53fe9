// Loading a model by name and drawing it.
#include "graphics/Model.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "core/Engine.h"
#include "core/Error.h"
#include "graphics/LightMap.h"
#include "graphics/ModelBackend.h"
#include "graphics/ModelSolid.h"
#include "graphics/ModelX.h"
#include "packages/Package.h"
#include "platform/FileSearch.h"

namespace rdv {

namespace mb = modelbackend;

namespace {

// The model code's view of the graphics module during a load.
class EngineModelHost final : public ModelHost {
public:
    explicit EngineModelHost(Engine& engine) : engine_(engine) {}
    int32_t LoadTexture(const std::string& n) override { return mb::LoadTexture(engine_, n); }
    int32_t GetShader(const std::string& n) override { return mb::GetShader(engine_, n); }
    int32_t GetModel(const std::string& n) override { return mb::GetModel(engine_, n); }
    std::pair<int, int> TextureSize(int32_t index) override { return mb::TextureSize(engine_, index); }
    bool HasBlendOp() override {
        if (!mb::Device(engine_)) return true;
        return (mb::Caps(engine_).PrimitiveMiscCaps & D3DPMISCCAPS_BLENDOP) != 0;
    }
    void Log(const std::string& message, int colour) override { engine_.log.Write(message, colour); }

private:
    Engine& engine_;
};

void SetAlpha(IDirect3DDevice8& dev, bool on) { dev.SetRenderState(D3DRS_ALPHABLENDENABLE, on ? 1 : 0); }
void SetInvAlpha(IDirect3DDevice8& dev, bool on) {
    dev.SetRenderState(D3DRS_BLENDOP, on ? D3DBLENDOP_REVSUBTRACT : D3DBLENDOP_ADD);
}

void BindTexture(Engine& engine, IDirect3DDevice8& dev, int32_t index) {
    int32_t& cached = mb::CachedTexture(engine);
    if (index == cached) return;
    dev.SetTexture(0, index > 0 ? mb::Texture(engine, index) : nullptr);
    cached = index;
}

// Vertices of one primitive of a list type; 0 for strips and fans, whose
// draws cannot be joined.
int32_t VerticesPerListPrimitive(int32_t type) {
    switch (type) {
    case D3DPT_POINTLIST: return 1;
    case D3DPT_LINELIST: return 2;
    case D3DPT_TRIANGLELIST: return 3;
    default: return 0;
    }
}

void UseEngineFormat(Engine& engine, IDirect3DDevice8& dev) {
    dev.SetVertexShader(kMeshFVF);
    mb::CachedVertexFormat(engine) = kMeshFVF;
}

} // namespace

gfxModel::~gfxModel() = default;

void gfxModel::Release() { vertexBuffer_.reset(); }

void gfxModel::Load(Engine& engine, const std::string& modelName) {
    name = modelName;
    renderMode = kModeNone;
    data_ = ModelData{};
    solids_.clear();
    vertexBuffer_.reset();
    posesUsed_ = 0;
    try {
        std::string type = "tcm";
        int32_t h = OpenPackage(engine, modelName, "models", type);
        if (h == 0)
            RaiseError(ErrFileAccess, "engine->GetModel->LoadModel->Readpackage",
                       "Could not read from package:" + modelName);
        bool open = true;
        auto close = [&] {
            if (open) ClosePackage(engine, h);
            open = false;
        };
        try {
            EngineModelHost host(engine);
            engPackage& pk = Packages(engine);
            LineSource lines = [&pk, h]() -> std::optional<std::string> {
                if (pk.PackageEOF(h)) return std::nullopt;
                return pk.ReadPackageLine(h);
            };
            std::string t = LowerCase(type);
            ModelData loaded;
            if (t == "tcm") {
                ReadTcm(loaded, lines, modelName, host);
            } else if (t == "x" || t == "x  ") {
                close();
                auto path = ResolveNoCase(engine.programFolder, "models/" + modelName + ".x");
                LoadXMesh(loaded, path, host);
            } else if (t == "tco") {
                ReadTco(loaded, lines, modelName, host);
            } else if (t == "t3d") {
                ReadT3d(loaded, lines, modelName, host);
            } else {
                close();
                RaiseError(ErrFileType, "engine->GetModel->LoadModel", "Selected File is not a model file:" + modelName);
            }
            close();
            data_ = std::move(loaded);
            solids_.clear();
            radius_ = 0;
            for (int a = 0; a < 3; ++a) boxMin_[a] = boxMax_[a] = 0;
            for (const MeshVertex& v : data_.vertices) {
                const double d = std::sqrt(double{v.x} * v.x + double{v.y} * v.y + double{v.z} * v.z);
                radius_ = std::isfinite(d) ? std::max(radius_, static_cast<float>(d * (1 + 1e-6))) : INFINITY;
                const float p[3] = {v.x, v.y, v.z};
                for (int a = 0; a < 3; ++a) {
                    boxMin_[a] = std::min(boxMin_[a], p[a]);
                    boxMax_[a] = std::max(boxMax_[a], p[a]);
                }
            }
            CreateVertexBuffer(engine);
            renderMode = data_.renderMode;
        } catch (...) {
            close();
            throw;
        }
    } catch (const EngineError& e) {
        data_ = ModelData{};
    solids_.clear();
        vertexBuffer_.reset();
        renderMode = kModeNone;
        std::string prefix = "Engine->GetModel->LoadModel(" + modelName + ")";
        RethrowWithSource(e, e.source == "RondovarII" ? prefix : prefix + "->" + e.source);
    }
}

void gfxModel::CreateVertexBuffer(Engine& engine) {
    IDirect3DDevice8* dev = mb::Device(engine);
    if (!dev || data_.vertices.empty()) return;
    UINT bytes = static_cast<UINT>(data_.vertices.size() * sizeof(MeshVertex));
    std::shared_ptr<IDirect3DVertexBuffer8> vb;
    if (FAILED(dev->CreateVertexBuffer(bytes, 0, kMeshFVF, D3DPOOL_MANAGED, vb)) || !vb)
        RaiseError(ErrDevice, "engine->GetModel->LoadModel", "Could not create vertex buffer:" + name);
    BYTE* p = nullptr;
    if (FAILED(vb->Lock(0, bytes, &p, 0)) || !p)
        RaiseError(ErrDevice, "engine->GetModel->LoadModel", "Could not fill vertex buffer:" + name);
    std::memcpy(p, data_.vertices.data(), bytes);
    vb->Unlock();
    vertexBuffer_ = vb;
}

D3DXMATRIX ModelPoseMatrix(int mode, float yaw, float pitch, float roll, float sx, float sy, float sz) {
    D3DXMATRIX r, s, first;
    D3DXMatrixRotationYawPitchRoll(&r, yaw, pitch, roll);
    D3DXMatrixScaling(&s, sx, sy, sz);
    if (mode == kModeSimple) D3DXMatrixMultiply(&first, &s, &r);
    else D3DXMatrixMultiply(&first, &r, &s);
    return first;
}

D3DXMATRIX ModelWorldMatrix(int mode, float x, float y, float z, float yaw, float pitch, float roll, float sx,
                            float sy, float sz) {
    return ModelTranslated(ModelPoseMatrix(mode, yaw, pitch, roll, sx, sy, sz), x, y, z);
}

D3DXMATRIX gfxModel::PoseMatrix(float yaw, float pitch, float roll, float sx, float sy, float sz) {
    const float key[6] = {yaw, pitch, roll, sx, sy, sz};
    // Compared bit for bit: -0 and 0 (or two NaNs) may build different
    // matrices.
    for (int i = 0; i < posesUsed_; ++i)
        if (std::memcmp(poses_[i].key, key, sizeof key) == 0) return poses_[i].matrix;
    PoseEntry& e = poses_[nextPose_];
    nextPose_ = (nextPose_ + 1) % 4;
    if (posesUsed_ < 4) ++posesUsed_;
    std::memcpy(e.key, key, sizeof key);
    e.matrix = ModelPoseMatrix(renderMode, yaw, pitch, roll, sx, sy, sz);
    return e.matrix;
}

float gfxModel::DrawBound(int32_t state) const {
    if (renderMode != kModeSimple && renderMode != kModeTextured && renderMode != kModeGrouped) return -1;
    if (data_.shaderIndex > 0 || !vertexBuffer_ || !std::isfinite(radius_)) return -1;
    for (const auto& s : data_.sequences)
        if ((renderMode != kModeGrouped || s.group == state) && s.count > 0) return radius_;
    return -1;
}

bool gfxModel::DrawBox(int32_t state, float min[3], float max[3]) const {
    if (DrawBound(state) < 0) return false;
    for (int a = 0; a < 3; ++a) {
        min[a] = boxMin_[a];
        max[a] = boxMax_[a];
    }
    return true;
}

bool gfxModel::DrawsOpaque(int32_t state) const {
    if (DrawBound(state) < 0) return false;
    for (const auto& s : data_.sequences)
        if ((renderMode != kModeGrouped || s.group == state) && s.alpha) return false;
    return true;
}

bool gfxModel::SolidBox(int32_t state, int axis, float min[3], float max[3]) const {
    if (!DrawsOpaque(state) || axis < 0 || axis > 2) return false;
    auto it = std::find_if(solids_.begin(), solids_.end(),
                           [&](const Solid& s) { return s.state == state && s.axis == axis; });
    if (it == solids_.end()) {
        Solid s{state, axis, false, {}, {}};
        s.solid = SolidBoxOf(data_, renderMode == kModeGrouped, state, axis, s.min, s.max);
        solids_.push_back(s);
        it = solids_.end() - 1;
    }
    if (!it->solid) return false;
    std::copy(it->min, it->min + 3, min);
    std::copy(it->max, it->max + 3, max);
    return true;
}

void gfxModel::DisplayMeshInstances(Engine& engine, int32_t state, const D3DMATRIX* worlds, uint32_t count) {
    if (count == 0 || !DrawsOpaque(state)) return;
    IDirect3DDevice8* dev = mb::Device(engine);
    if (!dev) return;
    if (data_.lightMapped && engine.lightMap)
        engine.lightMap->ApplyLightMap(engine, worlds[0].m[3][0], worlds[0].m[3][1], worlds[0].m[3][2]);
    DrawTcm(engine, state, worlds, count);
}

void gfxModel::SetOptions(Engine& engine) {
    IDirect3DDevice8& dev = *mb::Device(engine);
    if (data_.shaderIndex > 0) {
        mb::SelectShader(engine, data_.shaderIndex);
        UseEngineFormat(engine, dev);
    }
    dev.SetMaterial(&data_.material);
    dev.SetRenderState(D3DRS_AMBIENTMATERIALSOURCE, static_cast<DWORD>(data_.ambientDiffuseSource));
    dev.SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, static_cast<DWORD>(data_.ambientDiffuseSource));
    dev.SetRenderState(D3DRS_EMISSIVEMATERIALSOURCE, static_cast<DWORD>(data_.emissiveSource));
    dev.SetRenderState(D3DRS_SPECULARMATERIALSOURCE, D3DMCS_MATERIAL);
    // Through the texture cache, so that a later BindTexture does not skip
    // a texture that is no longer on the stage. A model that wants no
    // texture (header flag T) takes it off the stage instead of drawing with
    // whatever the previous model left there.
    if (data_.textureIndex > 0) {
        dev.SetTexture(0, mb::Texture(engine, data_.textureIndex));
        mb::CachedTexture(engine) = data_.textureIndex;
    } else if (data_.renderMode == kModeSimple) {
        dev.SetTexture(0, nullptr);
        mb::CachedTexture(engine) = 0;
    }
}

CompositeAngles CompositeAnglesFor(float phase) {
    const double p = phase;
    CompositeAngles a{};
    // pi is the engine's 3.14159; the factors are pi/8, pi/4, pi/2, 3pi/2,
    // 3pi/5, pi/10, pi/5, 8pi/5, pi/16 and pi/32 written out.
    a.a[0] = 0;
    a.a[1] = static_cast<float>(std::sin(p) * 0.39269875);
    a.a[2] = static_cast<float>(std::sin(p + 1.570795) * 0.7853975 - 0.39269875);
    a.a[3] = static_cast<float>(std::sin(p + 4.712385) * 0.7853975 - 0.39269875);
    a.a[4] = static_cast<float>(std::sin(p + 1.884954) * 0.39269875 + 0.314159);
    a.a[5] = static_cast<float>(std::sin(p + 1.884954) * 0.7853975 - 0.628318);
    a.a[6] = static_cast<float>(std::sin(p + 5.026544) * 0.39269875 + 0.314159);
    a.a[7] = static_cast<float>(std::sin(p + 5.026544) * 0.7853975 - 0.628318);
    a.a[8] = static_cast<float>(std::sin(0.7 * p) * 0.196349375 + 0.0981746875);
    a.a[9] = static_cast<float>(std::sin(0.7 * p + 1) * 0.39269875 - 0.196349375);
    a.a[10] = static_cast<float>(std::sin(0.7 * p) * 0.196349375);
    return a;
}

// Composite animation kinds. A1..A10 are the phase angles above (limb
// swings of a walk cycle and slower sways):
//    0        the part is drawn with the composite's own pose
//    1..10    yaw   + A(kind)
//   11..20    pitch + A(kind - 10)
//   -1..-9    roll  + A(-kind)
//   21        z + 0.1 * sin(phase) * sz     (a small bob)
//   22        z + 0.2 * cos(phase) * sz     (a bob a quarter turn later)
//   23        z + 0.4 * sin(phase) * sz     (a large bob)
//   24        z + 0.6 * |sin(phase)| * sz   (a hop that never sinks below rest)
// Offsets scale with the composite's z scale, so a small model bobs little.
PartPose AnimatePart(int32_t kind, float phase, const PartPose& base) {
    PartPose p = base;
    CompositeAngles a = CompositeAnglesFor(phase);
    if (kind >= 1 && kind <= 10) p.yaw += a.a[kind];
    else if (kind >= 11 && kind <= 20) p.pitch += a.a[kind - 10];
    else if (kind >= -9 && kind <= -1) p.roll += a.a[-kind];
    else if (kind == 21) p.z += 0.1f * std::sin(phase) * base.sz;
    else if (kind == 22) p.z += 0.2f * std::cos(phase) * base.sz;
    else if (kind == 23) p.z += 0.4f * std::sin(phase) * base.sz;
    else if (kind == 24) p.z += 0.6f * std::fabs(std::sin(phase)) * base.sz;
    return p;
}

void gfxModel::DisplayMesh(Engine& engine, int32_t state, float phase, float x, float y, float z, float yaw,
                           float pitch, float roll, float sx, float sy, float sz) {
    // A model whose load failed has no vertex buffer: nothing to draw.
    if (renderMode == kModeNone) return;
    IDirect3DDevice8* dev = mb::Device(engine);
    if (!dev) return;
    if (data_.lightMapped && engine.lightMap) engine.lightMap->ApplyLightMap(engine, x, y, z);

    if (renderMode == kModeComposite) {
        DrawComposite(engine, state, phase, x, y, z, yaw, pitch, roll, sx, sy, sz);
        return;
    }

    const D3DXMATRIX world = ModelTranslated(PoseMatrix(yaw, pitch, roll, sx, sy, sz), x, y, z);
    dev->SetTransform(D3DTS_WORLD, &world);
    switch (renderMode) {
    case kModeX: DrawX(engine); break;
    case kModeBrush: DrawBrush(engine); break;
    case kModeSimple:
    case kModeTextured:
    case kModeGrouped:
        DrawTcm(engine, state);
        if (data_.shaderIndex > 0) mb::DisableShader(engine, data_.shaderIndex);
        break;
    default:
        // Any other mode (a tcm file's unknown one): one point from the
        // start of the vertex list.
        if (!vertexBuffer_) break;
        UseEngineFormat(engine, *dev);
        dev->SetStreamSource(0, vertexBuffer_, sizeof(MeshVertex));
        dev->DrawPrimitive(D3DPT_POINTLIST, 0, 1);
        break;
    }
}

void gfxModel::DrawComposite(Engine& engine, int32_t state, float phase, float x, float y, float z, float yaw,
                             float pitch, float roll, float sx, float sy, float sz) {
    // A composite that lists itself, directly or through another, would
    // recurse without end.
    if (drawing_) return;
    drawing_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{drawing_};
    PartPose base{x, y, z, yaw, pitch, roll, sx, sy, sz};
    for (const auto& part : data_.parts) {
        if (part.stateKey != state) continue;
        gfxModel* m = mb::Model(engine, part.model);
        if (!m) continue;
        PartPose p = AnimatePart(part.kind, phase, base);
        m->DisplayMesh(engine, 1, phase, p.x, p.y, p.z, p.yaw, p.pitch, p.roll, p.sx, p.sy, p.sz);
    }
}

void gfxModel::DrawTcm(Engine& engine, int32_t state, const D3DMATRIX* worlds, uint32_t count) {
    IDirect3DDevice8& dev = *mb::Device(engine);
    // The sequences drawn: first..last, those of group `state` only when
    // `filter`.
    const auto& seqs = data_.sequences;
    int32_t first = 0, last = static_cast<int32_t>(seqs.size()) - 1;
    bool filter = false;
    if (renderMode == kModeGrouped) {
        if (!data_.indexCacheValid) {
            filter = true;
        } else if (state < 0 || state > data_.highestGroup || state >= static_cast<int32_t>(data_.indexCache.size()) ||
                   data_.indexCache[static_cast<size_t>(state)].first < 0) {
            last = -1;
        } else {
            first = data_.indexCache[static_cast<size_t>(state)].first;
            last = data_.indexCache[static_cast<size_t>(state)].second;
            filter = !data_.indexCacheContiguous;
        }
    }
    SetOptions(engine);
    if (renderMode == kModeSimple) {
        // Mode 1 draws with the engine's format; set it only when another
        // format is current.
        if (mb::CachedVertexFormat(engine) != kMeshFVF) UseEngineFormat(engine, dev);
    } else {
        UseEngineFormat(engine, dev);
    }
    dev.SetStreamSource(0, vertexBuffer_, sizeof(MeshVertex));

    // Sequences that follow one another in the vertex buffer with the same
    // list type, texture and blending are one draw: the device draws the
    // primitives of a draw in order, so the picture is the same, and a tile
    // model's faces cost one call instead of one each.
    const MeshSequence* run = nullptr;
    int32_t runCount = 0;
    auto flush = [&] {
        if (!run) return;
        if (renderMode != kModeSimple) BindTexture(engine, dev, run->texture);
        SetAlpha(dev, run->alpha);
        SetInvAlpha(dev, run->reverse);
        const auto type = static_cast<D3DPRIMITIVETYPE>(run->primitiveType);
        if (worlds) dev.DrawPrimitiveInstanced(type, static_cast<UINT>(run->start), static_cast<UINT>(runCount), worlds, count);
        else dev.DrawPrimitive(type, static_cast<UINT>(run->start), static_cast<UINT>(runCount));
        run = nullptr;
    };
    auto draw = [&](const MeshSequence& s) {
        const int32_t perPrimitive = VerticesPerListPrimitive(s.primitiveType);
        if (run && perPrimitive > 0 && s.primitiveType == run->primitiveType && s.alpha == run->alpha &&
            s.reverse == run->reverse && (renderMode == kModeSimple || s.texture == run->texture) &&
            static_cast<int64_t>(s.start) == static_cast<int64_t>(run->start) + int64_t{runCount} * perPrimitive &&
            s.count >= 0 && runCount <= INT32_MAX - s.count) {
            runCount += s.count;
            return;
        }
        flush();
        run = &s;
        runCount = s.count;
    };

    for (int32_t i = first; i <= last; ++i)
        if (!filter || seqs[static_cast<size_t>(i)].group == state) draw(seqs[static_cast<size_t>(i)]);
    flush();
}

void gfxModel::DrawBrush(Engine& engine) {
    IDirect3DDevice8& dev = *mb::Device(engine);
    UseEngineFormat(engine, dev);
    dev.SetStreamSource(0, vertexBuffer_, sizeof(MeshVertex));
    dev.SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
    dev.SetMaterial(&data_.material);
    dev.SetRenderState(D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL);
    dev.SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL);
    dev.SetRenderState(D3DRS_EMISSIVEMATERIALSOURCE, D3DMCS_MATERIAL);
    dev.SetRenderState(D3DRS_SPECULARMATERIALSOURCE, D3DMCS_MATERIAL);
    int32_t& shader = mb::CachedShader(engine);
    bool twoSided = false;
    for (const auto& s : data_.sequences) {
        BindTexture(engine, dev, s.texture);
        SetAlpha(dev, s.alpha);
        if (s.shader != shader) {
            if (shader > 0) mb::DisableShader(engine, shader);
            if (s.shader > 0) mb::SelectShader(engine, s.shader);
            shader = s.shader;
        }
        // Every polygon shares the brush's one material, set above.
        if (s.twoSided != twoSided) {
            dev.SetRenderState(D3DRS_CULLMODE, s.twoSided ? D3DCULL_NONE : D3DCULL_CCW);
            twoSided = s.twoSided;
        }
        dev.DrawPrimitive(D3DPT_TRIANGLEFAN, static_cast<UINT>(s.start), static_cast<UINT>(s.count));
    }
    if (shader > 0) mb::DisableShader(engine, shader);
    shader = -1;
    dev.SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
}

void gfxModel::DrawX(Engine& engine) {
    IDirect3DDevice8& dev = *mb::Device(engine);
    dev.SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
    SetOptions(engine);
    dev.SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
    // Drawing a subset sets the mesh's own format and stream behind the cache.
    mb::CachedVertexFormat(engine) = 0;
    for (const auto& s : data_.sequences) {
        dev.SetTexture(0, s.texture > 0 ? mb::Texture(engine, s.texture) : nullptr);
        mb::CachedTexture(engine) = s.texture;
        if (s.material >= 0 && s.material < static_cast<int32_t>(data_.xMaterials.size()))
            dev.SetMaterial(&data_.xMaterials[static_cast<size_t>(s.material)]);
        if (engine.flags.meshDrawingOff || s.count <= 0) continue;
        dev.SetVertexShader(kMeshFVF);
        dev.SetStreamSource(0, vertexBuffer_, sizeof(MeshVertex));
        dev.DrawPrimitive(D3DPT_TRIANGLELIST, static_cast<UINT>(s.start), static_cast<UINT>(s.count));
    }
}

} // namespace rdv
