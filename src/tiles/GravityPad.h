#pragma once
// Two scripted tiles that carry one of eight directions: the marked metal
// pad (an arrow; its contact can be a gravity-pad impact) and the angled
// pad, which pushes the ball along its compass direction.
#include "tiles/ScriptedTile.h"

namespace rdv {

class scrGravPad : public scrScriptedTile {
public:
    scrGravPad(Engine& engine, engLevel& level);
    void AssignVar(const std::string& key, const std::string& value) override;
    void WriteHeader(LevelWriter& out) override;
    void Render(int32_t x, int32_t y, int32_t z, int16_t orientation) override;
    int32_t GetEffect(float&, float&, float&) override { return pullImpact ? 2 : 1; }
    int16_t MaxBounceHeight() override { return 7; }
    std::string GetFullClassName() const override { return "System.Tiles.Special.Marked"; }

    // The model group drawn for the current rotation.
    int32_t Group() const { return rotation % 2 == 0 ? 6 : 5; }

    int32_t modelIndex = 0;
    int32_t rotation = 0;   // 0..7
    bool pullImpact = false;

protected:
    std::string HeaderName() const override { return "MarkedMetalSpecial"; }
    std::string ClassName() const override { return "scrGravPad"; }
};

class scrDirectionalPad : public scrScriptedTile {
public:
    scrDirectionalPad(Engine& engine, engLevel& level);
    void AssignVar(const std::string& key, const std::string& value) override;
    void WriteHeader(LevelWriter& out) override;
    void Render(int32_t x, int32_t y, int32_t z, int16_t orientation) override;
    int32_t GetEffect(float&, float&, float&) override { return 5; }
    int16_t MaxBounceHeight() override { return 0; }
    std::string GetFullClassName() const override { return "System.Tiles.Special.Angled"; }
    // The push for a contact from direction (x, y, z), in engine.ParsedVector.
    void GetDirectionVector(float& x, float& y, float& z) override;
    // Sets the across-z direction from the rotation.
    void LoadForcedDir();

    int32_t Group() const { return rotation % 2 == 0 ? style : 0; }

    int32_t modelIndex = 0;
    int32_t rotation = 0;
    int32_t style = 1;  // 1 Wall, 2 Metal, 3 Grass, 4 Ice, 5 Snow
    D3DXVECTOR3 dirX{0, 0, 0}, dirY{0, 0, 0}, dirZ{-1, 0, 0};

protected:
    std::string HeaderName() const override { return "AngledPad"; }
    std::string ClassName() const override { return "scrDirectionalPad"; }
};

// The third turn angle of a pad of rotation index 0..7: a diagonal is drawn
// with the turn of the straight direction before it.
float PadRoll(int32_t rotation);

} // namespace rdv
