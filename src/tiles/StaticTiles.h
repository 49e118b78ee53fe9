#pragma once
// The 26 static tile types: one shared object per type, referred to in the
// grid by the negative tile code. Each draws its model on any face it lies
// on and tells the ball what a contact does (effect code, bounce height).
// The types differ only in data, so one class serves them all, driven by a
// row of the family table; the classic class names (fldSolid, fldSpikeP ...)
// name the rows.
#include <cstdint>
#include <memory>
#include <string>

#include "level/Object.h"

namespace rdv {

class Engine;

// How a tile answers GetEffect.
enum class TileEffectRule {
    Constant,       // always `effect`
    SpikePositive,  // s >= 0: 9 (deadly), else 1
    SpikeNegative,  // s > 0: 1, else 9
    FanPositive,    // s < 0: 11 (blows), else 0
    FanNegative,    // s > 0: 11, else 0
};

// How a tile is posed on its face.
enum class TileRenderRule {
    Standard,
    None,           // invisible tiles draw nothing
    Ring,           // half size across the face
    FlipFloor,      // upside down on floors: orientation 0 rotated (pi, 0, 0)
    FlipXWall,      // orientation 1 rotated (-pi/2, pi, 0)
};

struct StaticTileInfo {
    int32_t code;
    const char* section;        // level-file section name
    const char* className;      // fldSolid ...
    const char* model;          // "" for none
    int32_t group;              // first DisplayMesh argument
    TileEffectRule effectRule;
    int32_t effect;             // for TileEffectRule::Constant
    int16_t bounce;
    const char* fullClassName;
    int32_t toolTip;            // language string, -1 for none
    TileRenderRule render;
};

// The family row of tile code 1..26 (std::out_of_range otherwise).
const StaticTileInfo& StaticTileInfoOf(int32_t code);

// Where and how a tile model is drawn on face (x, y, z, orientation).
struct TilePose {
    float x, y, z;
    float yaw, pitch, roll;
    float sx, sy, sz;
};
TilePose StaticTilePose(const StaticTileInfo& info, int32_t x, int32_t y, int32_t z, int16_t orientation);

// Effect code of a static tile for a contact from direction (x, y, z).
int32_t StaticTileEffect(const StaticTileInfo& info, float x, float y, float z);

class fldStaticTile : public LevelObject, public ITile {
public:
    // Takes its model from the model table when graphics is running.
    fldStaticTile(Engine& engine, int32_t code);

    void WriteHeader(LevelWriter& out) override;
    void Render(int32_t x, int32_t y, int32_t z, int16_t orientation) override;
    bool RenderBound(int16_t orientation, FaceBound& bound) override;
    bool RenderBatch(int16_t orientation, FaceBatch& batch) override;
    void RenderCulled(int32_t x, int32_t y, int32_t z, int16_t orientation) override;
    int32_t GetEffect(float& x, float& y, float& z) override;
    int16_t MaxBounceHeight() override { return info_.bounce; }
    std::string ToolTipText() override;
    std::string GetFullClassName() const override { return info_.fullClassName; }
    ITile* AsTile() override { return this; }

    int32_t TileCode() const override { return info_.code; }
    std::string SectionName() const override { return info_.section; }

    const StaticTileInfo& info() const { return info_; }
    int32_t modelIndex() const { return modelIndex_; }

protected:
    std::string HeaderName() const override { return info_.section; }
    std::string ClassName() const override { return info_.className; }

private:
    Engine& engine_;
    const StaticTileInfo& info_;
    int32_t modelIndex_ = 0;
};

// The shared object of tile code 1..26.
std::unique_ptr<LevelObject> MakeStaticTile(Engine& engine, int32_t code);

} // namespace rdv
