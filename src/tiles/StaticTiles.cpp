#include "tiles/StaticTiles.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>

#include "core/Engine.h"
#include "core/Error.h"
#include "graphics/Model.h"
#include "graphics/Core.h"
#include "graphics/LightMap.h"

namespace rdv {

namespace {

using E = TileEffectRule;
using R = TileRenderRule;

// The family table, by tile code.
const std::array<StaticTileInfo, 26> kTiles = {{
    {1, "Wall", "fldSolid", "discpad", 1, E::Constant, 1, 3, "System.Tiles.BrickWall", 60, R::Standard},
    {2, "Metal", "fldMetal", "discpad", 3, E::Constant, 1, 7, "System.Tiles.Metal", 64, R::Standard},
    {3, "Grass", "fldGrass", "discpad", 2, E::Constant, 1, 0, "System.Tiles.Grass", 62, R::Standard},
    {4, "Ring", "fldRing", "ballring", 1, E::Constant, 0, 0, "System.Tiles.Ring", -1, R::Ring},
    {5, "MarkedMetal", "fldGravPad", "discpad", 4, E::Constant, 1, 7, "System.Tiles.MarkedMetal", -1, R::Standard},
    {6, "Invisible", "fldInvisible", "", 0, E::Constant, 1, 0, "System.Tiles.Invisible", -1, R::None},
    {7, "Gravity", "fldGravBorder", "", 0, E::Constant, 3, 0, "System.Tiles.GravityRotator", -1, R::None},
    {8, "Ice", "fldIce", "discpad", 7, E::Constant, 4, 3, "System.Tiles.Ice", 66, R::Standard},
    {9, "SlipperyIce", "fldSIce", "discpad", 7, E::Constant, 6, 3, "System.Tiles.SlipperyIce", 68, R::Standard},
    {10, "Snow", "fldSnow", "discpad", 8, E::Constant, 7, 0, "System.Tiles.Snow", -1, R::Standard},
    {11, "Laser", "fldLaser", "laser", 1, E::Constant, 8, 7, "System.Tiles.Laser", -1, R::Standard},
    {12, "SpikeA", "fldSpikeP", "spiketrap", 1, E::SpikePositive, 0, 3, "System.Tiles.Spike.Positive", -1,
     R::FlipFloor},
    {13, "SpikeB", "fldSpikeN", "spiketrap", 1, E::SpikeNegative, 0, 3, "System.Tiles.Spike.Negative", -1,
     R::FlipXWall},
    {14, "BrickFloor", "fldBrickFloor", "floorpad", 1, E::Constant, 1, 3, "System.Tiles.BrickFloor", 61, R::Standard},
    {15, "IceSheet", "fldIceSheet", "floorpad", 2, E::Constant, 4, 3, "System.Tiles.IceSheet", 67, R::Standard},
    {16, "GrassField", "fldGrassField", "floorpad", 4, E::Constant, 1, 0, "System.Tiles.GrassField", 63,
     R::Standard},
    {17, "SlipperyCoat", "fldSIceSheet", "floorpad", 2, E::Constant, 6, 3, "System.Tiles.SlipperyIceSheet", 69,
     R::Standard},
    {18, "MetalFloor", "fldMetalFloor", "floorpad", 3, E::Constant, 1, 7, "System.Tiles.MetalFloor", 65,
     R::Standard},
    {19, "SnowCover", "fldSnowCover", "floorpad", 5, E::Constant, 7, 0, "System.Tiles.SnowCover", -1, R::Standard},
    {20, "ForceField", "fldForceField", "techfield", 1, E::Constant, 1, 1, "System.Tiles.ForceField", -1,
     R::Standard},
    {21, "ForceField2", "fldForceField2", "techfield", 2, E::Constant, 1, 1, "System.Tiles.ForceField2", -1,
     R::Standard},
    {22, "ForceField3", "fldForceField3", "techfield", 3, E::Constant, 1, 1, "System.Tiles.ForceField3", -1,
     R::Standard},
    {23, "BreakWall", "fldBreakWall", "discpad", 9, E::Constant, 10, 3, "System.Tiles.BreakWall", -1, R::Standard},
    // Both fans carry the same full class name.
    {24, "FanA", "fldFanP", "airtrap", 1, E::FanPositive, 0, 100, "System.Tiles.Windfan.Negative", -1, R::FlipXWall},
    {25, "FanB", "fldFanN", "airtrap", 1, E::FanNegative, 0, 100, "System.Tiles.Windfan.Negative", -1, R::FlipFloor},
    {26, "Water", "fldWater", "waterfield", 1, E::Constant, 12, 1, "System.Tiles.Water", -1, R::Standard},
}};

constexpr float kPiF = 3.14159f;
constexpr float kHalfPiF = 3.14159f / 2;

} // namespace

const StaticTileInfo& StaticTileInfoOf(int32_t code) {
    if (code < 1 || code > static_cast<int32_t>(kTiles.size())) throw std::out_of_range("tile code");
    return kTiles[static_cast<size_t>(code - 1)];
}

TilePose StaticTilePose(const StaticTileInfo& info, int32_t x, int32_t y, int32_t z, int16_t orientation) {
    const float cx = 1.5f * static_cast<float>(x), cy = 1.5f * static_cast<float>(y),
                cz = 1.5f * static_cast<float>(z);
    TilePose pose{cx, cy, cz, 0, 0, 0, 1, 1, 1};
    switch (orientation) {
    case kFaceZ:
        pose.z = cz - 0.75f;
        if (info.render == TileRenderRule::FlipFloor) pose.yaw = kPiF;
        if (info.render == TileRenderRule::Ring) pose.sx = pose.sy = 0.5f;
        break;
    case kFaceX:
        pose.x = cx - 0.75f;
        pose.yaw = -kHalfPiF;
        if (info.render == TileRenderRule::FlipXWall) pose.pitch = kPiF;
        if (info.render == TileRenderRule::Ring) pose.sy = pose.sz = 0.5f;
        break;
    default:
        pose.y = cy - 0.75f;
        pose.pitch = kHalfPiF;
        if (info.render == TileRenderRule::Ring) pose.sx = pose.sz = 0.5f;
        break;
    }
    return pose;
}

int32_t StaticTileEffect(const StaticTileInfo& info, float x, float y, float z) {
    const float s = x + y + z;
    switch (info.effectRule) {
    case TileEffectRule::SpikePositive: return s >= 0 ? 9 : 1;
    case TileEffectRule::SpikeNegative: return s > 0 ? 1 : 9;
    case TileEffectRule::FanPositive: return s < 0 ? 11 : 0;
    case TileEffectRule::FanNegative: return s > 0 ? 11 : 0;
    case TileEffectRule::Constant: break;
    }
    return info.effect;
}

fldStaticTile::fldStaticTile(Engine& engine, int32_t code) : engine_(engine), info_(StaticTileInfoOf(code)) {
    // Without graphics (tests, tools that only read levels) the tile still
    // answers every collision question; it just draws nothing.
    if (info_.model[0] == '\0' || !engine_.gfx) return;
    try {
        modelIndex_ = engine_.gfx->GetModel(info_.model);
    } catch (const EngineError& e) {
        // The table keeps the failed model, which draws nothing; the tile
        // goes on answering collisions.
        engine_.log.Write("WARNING: " + e.source + ": " + e.description, 5);
    }
}

void fldStaticTile::WriteHeader(LevelWriter& out) { out.WriteLine(std::string("-") + info_.section); }

void fldStaticTile::Render(int32_t x, int32_t y, int32_t z, int16_t orientation) {
    if (info_.render == TileRenderRule::None || modelIndex_ <= 0 || !engine_.gfx) return;
    gfxModel* model = engine_.gfx->Model(modelIndex_);
    if (!model) return;
    const TilePose p = StaticTilePose(info_, x, y, z, orientation);
    model->DisplayMesh(engine_, info_.group, 0, p.x, p.y, p.z, p.yaw, p.pitch, p.roll, p.sx, p.sy, p.sz);
}

bool fldStaticTile::RenderBound(int16_t orientation, FaceBound& bound) {
    if (info_.render == TileRenderRule::None || modelIndex_ <= 0 || !engine_.gfx) return false;
    const gfxModel* model = engine_.gfx->Model(modelIndex_);
    const float radius = model ? model->DrawBound(info_.group) : -1.0f;
    if (radius < 0) return false;
    // The pose's offset from the cell does not depend on the cell.
    const TilePose p = StaticTilePose(info_, 0, 0, 0, orientation);
    const float scale = std::max({std::fabs(p.sx), std::fabs(p.sy), std::fabs(p.sz)});
    bound = FaceBound{p.x, p.y, p.z, radius * scale};
    float min[3], max[3];
    if (model->DrawBox(info_.group, min, max)) {
        // The model's box turned and scaled by the pose: the box around it.
        const D3DXMATRIX pose = ModelPoseMatrix(model->renderMode, p.yaw, p.pitch, p.roll, p.sx, p.sy, p.sz);
        float centre[3] = {p.x, p.y, p.z}, half[3] = {0, 0, 0};
        for (int i = 0; i < 3; ++i) {
            const float c = (min[i] + max[i]) / 2, e = (max[i] - min[i]) / 2;
            for (int j = 0; j < 3; ++j) {
                centre[j] += c * pose.m[i][j];
                half[j] += e * std::fabs(pose.m[i][j]);
            }
        }
        // A little more for the rounding of the draw's own arithmetic.
        bound.bx = centre[0];
        bound.by = centre[1];
        bound.bz = centre[2];
        bound.hx = half[0] * 1.001f + 1e-4f;
        bound.hy = half[1] * 1.001f + 1e-4f;
        bound.hz = half[2] * 1.001f + 1e-4f;
    }
    return true;
}

bool fldStaticTile::RenderBatch(int16_t orientation, FaceBatch& batch) {
    if (info_.render == TileRenderRule::None || modelIndex_ <= 0 || !engine_.gfx) return false;
    gfxModel* model = engine_.gfx->Model(modelIndex_);
    if (!model || !model->DrawsOpaque(info_.group)) return false;
    const TilePose p = StaticTilePose(info_, 0, 0, 0, orientation);
    batch = FaceBatch{model, info_.group, p.x, p.y, p.z, p.yaw, p.pitch, p.roll, p.sx, p.sy, p.sz};
    return true;
}

void fldStaticTile::RenderCulled(int32_t x, int32_t y, int32_t z, int16_t orientation) {
    if (info_.render == TileRenderRule::None || modelIndex_ <= 0 || !engine_.gfx || !engine_.lightMap) return;
    const gfxModel* model = engine_.gfx->Model(modelIndex_);
    if (!model || model->renderMode == kModeNone || !model->data().lightMapped) return;
    const TilePose p = StaticTilePose(info_, x, y, z, orientation);
    engine_.lightMap->ApplyLightMap(engine_, p.x, p.y, p.z);
}

int32_t fldStaticTile::GetEffect(float& x, float& y, float& z) { return StaticTileEffect(info_, x, y, z); }

std::string fldStaticTile::ToolTipText() {
    if (info_.toolTip < 0) return {};
    const auto index = static_cast<size_t>(info_.toolTip);
    return index < engine_.languageStrings.size() ? engine_.languageStrings[index] : std::string();
}

std::unique_ptr<LevelObject> MakeStaticTile(Engine& engine, int32_t code) {
    return std::make_unique<fldStaticTile>(engine, code);
}

} // namespace rdv
